#pragma once

#include <QDate>
#include <QString>
#include <memory>
#include <optional>

class QLockFile;

// Reader/writer of a GBK (code page 936) initialisation file with the classic profile
// semantics: [section] lines and key=value lines, keys matched without regard to case,
// surrounding blanks dropped, texts at most 2047 characters, integers in decimal or hex
// ("0x1E", "$1E"), booleans as integers, dates as date text. Every read opens the file;
// every write rewrites it atomically (temporary file, flush, rename; mode 0600) and leaves
// other sections and keys as they were. A refused write throws Error("Unable to write to <path>").
class IniFile
{
public:
    explicit IniFile(QString path) : m_path(std::move(path)) {}
    QString path() const { return m_path; }

    QString readText(const QString& section, const QString& key, const QString& missing = {}) const;
    int readInt(const QString& section, const QString& key, int missing) const;
    bool readBool(const QString& section, const QString& key, bool missing) const;
    QDate readDate(const QString& section, const QString& key, QDate missing) const;

    void writeText(const QString& section, const QString& key, const QString& value);
    void writeInt(const QString& section, const QString& key, int value);
    void writeBool(const QString& section, const QString& key, bool value);
    void writeDate(const QString& section, const QString& key, QDate value);

    // The file contents `bytes` with `key` of `section` set to `value`; every other byte stays
    // as it was. Throws Error when a name or the value holds a line break.
    static QByteArray withValue(const QByteArray& bytes, const QString& section, const QString& key,
                                const QString& value);
    // The value of `key` in the contents `bytes`, blanks dropped; nullopt when missing.
    static std::optional<QString> valueIn(const QByteArray& bytes, const QString& section,
                                          const QString& key);

    // The file's write turn, held while it lives: a read-decide-write sequence (such as the
    // daily mail's look at senddate) runs as one step against other processes. Writes by the
    // same thread meanwhile go ahead. Throws Error("Unable to write to <path>") when another
    // holder keeps the turn for more than a few seconds.
    class Turn
    {
    public:
        explicit Turn(const IniFile& file);
        ~Turn();
        Turn(const Turn&) = delete;
        Turn& operator=(const Turn&) = delete;

    private:
        QString m_target;
        std::unique_ptr<QLockFile> m_lock;
    };

private:
    QString m_path;
};
