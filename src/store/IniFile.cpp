#include "store/IniFile.h"

#include "store/DateText.h"
#include "store/Error.h"
#include "store/Gbk.h"
#include "store/SafeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qsizetype kMaxTextLength = 2047;

// One physical line of the file, kept as the bytes it was read with (line end included), so
// that everything we do not change is written back byte for byte, unreadable bytes as well.
struct Line
{
    QByteArray raw;
    enum Kind { Other, Section, Entry } kind = Other;
    QString name;  // section name or key, blanks dropped
    QString value; // entry value, blanks dropped
};

// A line's text without its end. Every carriage return before the end goes with it, so that a
// line reads the same wherever it stands: the last line of a file may end in a bare CR, and a
// write that appends a line break after it must not turn that CR into part of the text (where it
// would, for instance, complete a dangling GBK lead byte into a replacement character).
QByteArray withoutLineEnd(const QByteArray& raw)
{
    qsizetype n = raw.size();
    if (n > 0 && raw[n - 1] == '\n')
        --n;
    while (n > 0 && raw[n - 1] == '\r')
        --n;
    return raw.left(n);
}

Line parseLine(QByteArray raw)
{
    Line line;
    // Decoding the whole line first matters: a GBK trail byte may look like "]" or "[".
    const QString text = Gbk::decode(withoutLineEnd(raw)).trimmed();
    line.raw = std::move(raw);
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u']');
        if (close > 0) {
            line.kind = Line::Section;
            line.name = text.mid(1, close - 1).trimmed();
        }
        return line;
    }
    const qsizetype eq = text.indexOf(u'=');
    if (eq > 0) {
        line.kind = Line::Entry;
        line.name = text.left(eq).trimmed();
        line.value = text.mid(eq + 1).trimmed();
    }
    return line;
}

QList<Line> splitLines(const QByteArray& bytes)
{
    QList<Line> lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        end = end < 0 ? bytes.size() : end + 1;
        lines.append(parseLine(bytes.mid(start, end - start)));
        start = end;
    }
    return lines;
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Index range [begin, end) of the entries of the first section named `section`; begin is
// the header line. nullopt when the section is missing.
struct SectionRange
{
    qsizetype header;
    qsizetype end;
};

std::optional<SectionRange> findSection(const QList<Line>& lines, const QString& section)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].kind != Line::Section || !sameName(lines[i].name, section))
            continue;
        qsizetype end = i + 1;
        while (end < lines.size() && lines[end].kind != Line::Section)
            ++end;
        return SectionRange{i, end};
    }
    return std::nullopt;
}

std::optional<qsizetype> findKey(const QList<Line>& lines, SectionRange range, const QString& key)
{
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        if (lines[i].kind == Line::Entry && sameName(lines[i].name, key))
            return i;
    }
    return std::nullopt;
}

// Integer as the platform's profile reader understands it: "0x1E"/"0X1E" (more than two
// characters) and "$1E" are hexadecimal (up to 32 bits, wrapping as the platform does),
// otherwise decimal with an optional sign. Anything else is no number.
std::optional<int> parseProfileInt(QString text)
{
    text = text.trimmed();
    if (text.size() > 2 && (text.startsWith(QLatin1String("0x")) || text.startsWith(QLatin1String("0X"))))
        text = u'$' + text.mid(2);
    qsizetype pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == u'+' || text[pos] == u'-'))
        negative = text[pos++] == u'-';
    const bool hex = pos < text.size() && text[pos] == u'$';
    if (hex)
        ++pos;
    if (pos >= text.size())
        return std::nullopt;
    qint64 value = 0;
    for (; pos < text.size(); ++pos) {
        const char16_t c = text[pos].unicode();
        int digit = -1;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (hex && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (hex && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        if (digit < 0)
            return std::nullopt;
        value = value * (hex ? 16 : 10) + digit;
        if (value > (hex ? qint64(0xFFFFFFFF) : qint64(1) << 31))
            return std::nullopt;
    }
    if (hex)
        value = qint32(quint32(value)); // "$FFFFFFFF" is -1
    if (negative)
        value = -value;
    if (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return int(value);
}

QString systemMessage(int err)
{
    return QString::fromLocal8Bit(strerror(err));
}

[[noreturn]] void refuse(const QString& path)
{
    throw Error(QStringLiteral("Unable to write to %1").arg(path));
}

// Follow a symbolic link to the file it names, so the link stays a link.
QString writeTarget(const QString& path)
{
    QString target = path;
    const QFileInfo info(path);
    if (info.isSymLink())
        target = info.symLinkTarget();
    return QFileInfo(target).absoluteFilePath();
}

// Turns this thread holds, by target path, with their nesting depth.
QHash<QString, int>& heldTurns()
{
    thread_local QHash<QString, int> held;
    return held;
}

// Writes `bytes` to `path` so that the file is either the old one or the new one, never a mix:
// a temporary file beside it, every write and the flush to disk checked, then a rename. The file
// holds the SMTP password and the password digest: it is owner-only (0600) after every write,
// whatever mode the old file had.
void replaceFile(const QString& path, const QByteArray& bytes)
{
    QByteArray templ = QFile::encodeName(path) + ".XXXXXX";
    const int fd = ::mkstemp(templ.data());
    if (fd < 0)
        refuse(path);
    bool ok = SafeFile::writeAll(fd, bytes);
    if (ok)
        ok = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0; // mkstemp's mode, made explicit
    if (ok)
        ok = ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok)
        ok = ::rename(templ.constData(), QFile::encodeName(path).constData()) == 0;
    if (!ok) {
        const int saved = errno;
        ::unlink(templ.constData());
        qWarning("Writing %s failed: %s", qPrintable(path), qPrintable(systemMessage(saved)));
        refuse(path);
    }
    // Make the rename itself durable; a failure here no longer risks the file's contents.
    const int dir =
        ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

void checkPlainLine(const QString& what, const QString& text)
{
    if (text.contains(u'\n') || text.contains(u'\r'))
        throw Error(QStringLiteral("%1不能包含换行符。").arg(what));
}

void checkEntry(const QString& section, const QString& key, const QString& value)
{
    checkPlainLine(QStringLiteral("设置值"), value);
    checkPlainLine(QStringLiteral("设置名"), key);
    checkPlainLine(QStringLiteral("设置名"), section);
}

// The value of `key` in the file at `path`; nullopt when the file, the section or the key is
// missing.
std::optional<QString> lookup(const QString& path, const QString& section, const QString& key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return IniFile::valueIn(file.readAll(), section, key);
}

} // namespace

QString IniFile::readText(const QString& section, const QString& key, const QString& missing) const
{
    auto found = lookup(m_path, section, key);
    if (!found)
        return missing;
    QString value = std::move(*found);
    if (value.size() > kMaxTextLength) {
        qsizetype cut = kMaxTextLength;
        if (value[cut - 1].isHighSurrogate())
            --cut;
        value.truncate(cut);
    }
    return value;
}

int IniFile::readInt(const QString& section, const QString& key, int missing) const
{
    // A key that is missing reads as the default, and so does one that holds no number.
    const auto text = lookup(m_path, section, key);
    return text ? parseProfileInt(*text).value_or(missing) : missing;
}

bool IniFile::readBool(const QString& section, const QString& key, bool missing) const
{
    return readInt(section, key, missing ? 1 : 0) != 0;
}

QDate IniFile::readDate(const QString& section, const QString& key, QDate missing) const
{
    const QString text = readText(section, key);
    if (text.isEmpty())
        return missing;
    return DateText::parse(text).value_or(missing);
}

std::optional<QString> IniFile::valueIn(const QByteArray& bytes, const QString& section, const QString& key)
{
    const QList<Line> lines = splitLines(bytes);
    const auto range = findSection(lines, section);
    if (!range)
        return std::nullopt;
    const auto index = findKey(lines, *range, key);
    if (!index)
        return std::nullopt;
    return lines[*index].value;
}

QByteArray IniFile::withValue(const QByteArray& old, const QString& section, const QString& key,
                              const QString& value)
{
    checkEntry(section, key, value);
    const QByteArray entry = Gbk::encode(QString(key + u'=' + value));
    const QByteArray header = Gbk::encode(QString(u'[' + section + u']'));

    QList<Line> lines = splitLines(old);
    const QByteArray eol = old.contains("\r\n") ? QByteArray("\r\n") : QByteArray("\n");
    const auto range = findSection(lines, section);
    if (range) {
        if (const auto index = findKey(lines, *range, key)) {
            // Keep the key as the file spells it; only the value changes.
            const QByteArray raw = lines[*index].raw;
            const QByteArray ending = raw.mid(withoutLineEnd(raw).size());
            const QByteArray keyBytes = Gbk::encode(lines[*index].name);
            lines[*index].raw = keyBytes + '=' + Gbk::encode(value) + (ending.isEmpty() ? eol : ending);
        } else {
            // A new key goes after the section's last non-blank line.
            qsizetype at = range->end;
            while (at - 1 > range->header && withoutLineEnd(lines[at - 1].raw).trimmed().isEmpty())
                --at;
            if (!lines[at - 1].raw.endsWith('\n'))
                lines[at - 1].raw += eol;
            lines.insert(at, Line{entry + eol, Line::Entry, key, value});
        }
    } else {
        if (!lines.isEmpty()) {
            if (!lines.last().raw.endsWith('\n'))
                lines.last().raw += eol;
            if (!withoutLineEnd(lines.last().raw).trimmed().isEmpty())
                lines.append(Line{eol, Line::Other, {}, {}});
        }
        lines.append(Line{header + eol, Line::Section, section, {}});
        lines.append(Line{entry + eol, Line::Entry, key, value});
    }

    QByteArray bytes;
    for (const Line& line : lines)
        bytes += line.raw;
    return bytes;
}

void IniFile::writeText(const QString& section, const QString& key, const QString& value)
{
    // Bad names or values are refused before the file is touched.
    checkEntry(section, key, value);

    const QString target = writeTarget(m_path);
    // The window and a scheduled "--remind" may write at the same moment; each rewrites the
    // whole file, so they take turns or one of them would undo the other's key.
    const Turn turn(*this);

    QByteArray old;
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(target).constData(), &st) == 0) {
        // A file its owner made read-only stays as it is, even for a user who could replace it.
        if (!S_ISREG(st.st_mode) || !(st.st_mode & S_IWUSR))
            refuse(target);
        QFile file(target);
        if (!file.open(QIODevice::ReadOnly))
            refuse(target);
        old = file.readAll();
        if (file.error() != QFileDevice::NoError)
            refuse(target);
    } else if (errno != ENOENT) {
        refuse(target);
    }
    replaceFile(target, withValue(old, section, key, value));
}

void IniFile::writeInt(const QString& s, const QString& k, int v)
{
    writeText(s, k, QString::number(v));
}

void IniFile::writeBool(const QString& s, const QString& k, bool v)
{
    writeText(s, k, v ? QStringLiteral("1") : QStringLiteral("0"));
}

void IniFile::writeDate(const QString& s, const QString& k, QDate v)
{
    writeText(s, k, DateText::format(v));
}

IniFile::Turn::Turn(const IniFile& file) : m_target(writeTarget(file.path()))
{
    int& depth = heldTurns()[m_target];
    if (depth++ > 0)
        return; // this thread has it already
    m_lock = std::make_unique<QLockFile>(m_target + QStringLiteral(".lock"));
    m_lock->setStaleLockTime(10000);
    if (!m_lock->tryLock(5000)) {
        m_lock.reset();
        if (--depth == 0)
            heldTurns().remove(m_target);
        refuse(m_target);
    }
}

IniFile::Turn::~Turn()
{
    if (--heldTurns()[m_target] == 0)
        heldTurns().remove(m_target);
}
