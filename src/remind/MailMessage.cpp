#include "remind/MailMessage.h"

#include "store/Error.h"

#include <QRandomGenerator>
#include <QStringEncoder>
#include <QUrl>

namespace Mail {

namespace {

constexpr int kLineLimit = 76;
// Raw bytes per encoded-word: 39 bytes give 52 base64 characters, so a word of
// "=?GB18030?B?" + 52 + "?=" (66 characters) fits behind "Subject: " within 76.
constexpr int kWordBytes = 39;

bool hasLineBreak(QStringView text)
{
    return text.contains(u'\r') || text.contains(u'\n');
}

QString invalidAddress(const QString& text)
{
    return QStringLiteral("邮件地址“%1”无效，请检查后重新输入。").arg(text);
}

bool isAtext(QChar c)
{
    if (c.unicode() <= 32 || c.unicode() >= 127)
        return false;
    return !QStringLiteral("()<>[]:;@\\,\"").contains(c);
}

QString checkedAddress(const QString& raw, const QString& shown)
{
    const qsizetype at = raw.lastIndexOf(u'@');
    if (at <= 0 || at == raw.size() - 1)
        throw Error(invalidAddress(shown));
    const QString local = raw.left(at);
    const QString domain = raw.mid(at + 1);
    for (qsizetype i = 0; i < local.size(); ++i) {
        const QChar c = local[i];
        if (!isAtext(c) && c != u'.')
            throw Error(invalidAddress(shown));
    }
    if (local.startsWith(u'.') || local.endsWith(u'.') || local.contains(QStringLiteral("..")))
        throw Error(invalidAddress(shown));
    // An international domain goes out in its ASCII form.
    const QByteArray ace = QUrl::toAce(domain);
    if (ace.isEmpty())
        throw Error(invalidAddress(shown));
    for (char c : ace) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                        c == '-' || c == '.';
        if (!ok)
            throw Error(invalidAddress(shown));
    }
    // A self-hosted server's own name ("localhost", "mailhost") is a domain too: no dot needed.
    if (ace.startsWith('.') || ace.endsWith('.') || ace.contains("..") || ace.startsWith('-'))
        throw Error(invalidAddress(shown));
    return local + u'@' + QString::fromLatin1(ace);
}

bool isInGb2312(QStringView text)
{
    for (QChar c : text) {
        // The converter maps the private use area into GB2312's empty cells; those are not text.
        if (c.unicode() >= 0xE000 && c.unicode() <= 0xF8FF)
            return false;
    }
    QStringEncoder encoder("GB2312");
    const QByteArray encoded = encoder.encode(text); // the encoder works only when its result is taken
    return encoder.isValid() && !encoder.hasError();
}

QByteArray encodeText(QStringView text, const QByteArray& charset)
{
    QStringEncoder encoder(charset.constData());
    return encoder.encode(text);
}

// Joins tokens into a header, folding before a token that would pass the line limit.
class HeaderLine
{
public:
    explicit HeaderLine(const QByteArray& name) : m_text(name + ':'), m_lineLength(int(name.size()) + 1) {}

    void add(const QByteArray& token)
    {
        if (m_lineLength + 1 + token.size() > kLineLimit && m_tokens > 0) {
            m_text += "\r\n";
            m_lineLength = 0;
        }
        m_text += ' ';
        m_text += token;
        m_lineLength += 1 + int(token.size());
        ++m_tokens;
    }
    QByteArray text() const { return m_text + "\r\n"; }

private:
    QByteArray m_text;
    int m_lineLength = 0;
    int m_tokens = 0;
};

bool needsEncoding(QStringView text)
{
    for (QChar c : text) {
        if (c.unicode() < 32 || c.unicode() >= 127)
            return true;
    }
    return false;
}

// Tokens of one mailbox: the display name (quoted or encoded) and "<address>".
QList<QByteArray> mailboxTokens(const Address& a, const QByteArray& charset)
{
    QList<QByteArray> tokens;
    if (!a.name.isEmpty()) {
        if (needsEncoding(a.name)) {
            tokens = encodedWords(a.name, charset);
        } else {
            QByteArray quoted = a.name.toLatin1();
            quoted.replace('\\', "\\\\").replace('"', "\\\"");
            tokens << '"' + quoted + '"';
        }
        tokens << '<' + a.address.toLatin1() + '>';
    } else {
        tokens << a.address.toLatin1();
    }
    return tokens;
}

void addMailboxes(HeaderLine& header, const QList<Address>& list, const QByteArray& charset)
{
    for (qsizetype i = 0; i < list.size(); ++i) {
        QList<QByteArray> tokens = mailboxTokens(list[i], charset);
        if (i + 1 < list.size())
            tokens.last() += ',';
        for (const QByteArray& t : tokens)
            header.add(t);
    }
}

QByteArray foldedBase64(const QByteArray& data)
{
    const QByteArray b64 = data.toBase64();
    QByteArray out;
    out.reserve(b64.size() + b64.size() / kLineLimit * 2 + 2);
    for (qsizetype i = 0; i < b64.size(); i += kLineLimit) {
        out += b64.mid(i, kLineLimit);
        out += "\r\n";
    }
    return out;
}

} // namespace

Address parseAddress(const QString& text)
{
    if (hasLineBreak(text))
        throw Error(QStringLiteral("邮件地址中不能含有换行。"));
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        throw Error(QStringLiteral("邮件地址不能为空。"));
    Address result;
    const qsizetype open = trimmed.lastIndexOf(u'<');
    if (open >= 0) {
        if (!trimmed.endsWith(u'>'))
            throw Error(invalidAddress(trimmed));
        QString name = trimmed.left(open).trimmed();
        if (name.size() >= 2 && name.startsWith(u'"') && name.endsWith(u'"'))
            name = name.mid(1, name.size() - 2);
        result.name = name;
        result.address = checkedAddress(trimmed.mid(open + 1, trimmed.size() - open - 2).trimmed(), trimmed);
    } else {
        result.address = checkedAddress(trimmed, trimmed);
    }
    return result;
}

QList<Address> parseAddressList(const QString& text)
{
    QString unified = text;
    unified.replace(u'，', u',').replace(u';', u',').replace(u'；', u',');
    QList<Address> result;
    for (const QString& part : unified.split(u',')) {
        if (!part.trimmed().isEmpty())
            result << parseAddress(part);
    }
    if (result.isEmpty())
        throw Error(text.trimmed().isEmpty() ? QStringLiteral("没有填写收件人Email。")
                                             : QStringLiteral("没有找到任何邮件地址。"));
    return result;
}

QByteArray charsetFor(const Message& message)
{
    QString all = message.subject + message.htmlBody + message.from.name;
    for (const Address& a : message.to)
        all += a.name;
    return isInGb2312(all) ? QByteArrayLiteral("gb2312") : QByteArrayLiteral("GB18030");
}

QList<QByteArray> encodedWords(QStringView text, const QByteArray& charset)
{
    QList<QByteArray> words;
    const QByteArray head = "=?" + charset + "?B?";
    QByteArray chunk;
    auto flush = [&] {
        if (!chunk.isEmpty())
            words << head + chunk.toBase64() + "?=";
        chunk.clear();
    };
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype len = (text[i].isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        const QByteArray bytes = encodeText(text.mid(i, len), charset);
        if (chunk.size() + bytes.size() > kWordBytes)
            flush();
        chunk += bytes;
        i += len;
    }
    flush();
    if (words.isEmpty())
        words << head + "?=";
    return words;
}

QByteArray dateHeader(const QDateTime& at)
{
    static const char* const days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate d = at.date();
    const QTime t = at.time();
    const int offsetMinutes = at.offsetFromUtc() / 60;
    const int absOffset = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    return QString::asprintf("%s, %02d %s %04d %02d:%02d:%02d %c%02d%02d", days[d.dayOfWeek() - 1], d.day(),
                             months[d.month() - 1], d.year(), t.hour(), t.minute(), t.second(),
                             offsetMinutes < 0 ? '-' : '+', absOffset / 60, absOffset % 60)
        .toLatin1();
}

QByteArray compose(const Message& message)
{
    if (message.to.isEmpty())
        throw Error(QStringLiteral("没有填写收件人Email。"));
    QList<Address> everyone = message.to;
    everyone << message.from;
    for (const Address& a : everyone) {
        if (hasLineBreak(a.name) || hasLineBreak(a.address))
            throw Error(QStringLiteral("邮件地址中不能含有换行。"));
    }
    const QByteArray charset = charsetFor(message);

    QString messageId = message.messageId;
    if (messageId.isEmpty()) {
        const QString domain = message.from.address.mid(message.from.address.lastIndexOf(u'@') + 1);
        messageId = QStringLiteral("%1.%2@%3")
                        .arg(message.date.toMSecsSinceEpoch())
                        .arg(QRandomGenerator::global()->generate64(), 0, 16)
                        .arg(domain.isEmpty() ? QStringLiteral("velmora.localhost") : domain);
    }
    if (hasLineBreak(messageId) || messageId.contains(u'>') || messageId.contains(u' '))
        throw Error(QStringLiteral("邮件标识无效。"));

    QByteArray out;
    out += "Date: " + dateHeader(message.date) + "\r\n";
    HeaderLine from("From");
    addMailboxes(from, {message.from}, charset);
    out += from.text();
    HeaderLine to("To");
    addMailboxes(to, message.to, charset);
    out += to.text();
    HeaderLine subject("Subject");
    for (const QByteArray& word : encodedWords(message.subject, charset))
        subject.add(word);
    out += subject.text();
    out += "Message-ID: <" + messageId.toLatin1() + ">\r\n";
    out += "MIME-Version: 1.0\r\n";
    out += "Content-Type: text/html; charset=\"" + charset + "\"\r\n";
    out += "Content-Transfer-Encoding: base64\r\n";
    if (message.highPriority) {
        out += "X-Priority: 1\r\n";
        out += "Importance: High\r\n";
    }
    out += "X-Mailer: Velmora\r\n";
    out += "\r\n";
    out += foldedBase64(encodeText(message.htmlBody, charset));
    return out;
}

} // namespace Mail
