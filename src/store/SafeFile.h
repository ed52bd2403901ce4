#pragma once

#include <QByteArray>
#include <QString>

// How every file this program writes comes into being: owner-only (0600) whatever the umask,
// first under a random name in the target's folder, created exclusively (so neither a link nor a
// file planted at a guessable name is followed or reused), then renamed into place. A symbolic
// link at the target is refused: writing through it would replace whatever it points at.
namespace SafeFile {

// Throws Error (Chinese) when `target` is a symbolic link.
void refuseLink(const QString& target);

// Writes all of `bytes` to the open descriptor `fd`, going on after interrupted writes. False
// (errno set) when a write fails.
bool writeAll(int fd, const QByteArray& bytes);

// Writes `bytes` to `target` that way, flushed to disk before the rename. Throws Error.
void write(const QString& target, const QByteArray& bytes);

// The same for a file written piece by piece (a large export): nothing shows under `target`
// until commit(); a writer gone without commit() leaves no file behind. Pieces are gathered in a
// small buffer. Every failure throws Error.
class Writer
{
public:
    explicit Writer(const QString& target);
    ~Writer();
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    void write(QByteArrayView bytes);
    void commit(); // flushed to disk, then renamed into place

private:
    void flushBuffer();
    [[noreturn]] void fail(int error);

    QString m_target;
    QByteArray m_name;
    QByteArray m_buffer;
    int m_fd = -1;
};

// For a writer that fills the file itself (SQLite): a new empty 0600 file under a random name
// beside `target`; returns its path. Throws Error.
QString createBeside(const QString& target);
// Renames `temporary` to `target`, refusing a link there; the temporary is removed on failure.
void moveInto(const QString& temporary, const QString& target);

// Creates `path` empty and 0600 when nothing is there yet (not even a link); false when
// something is. Throws Error when it cannot be created.
bool createNew(const QString& path);

} // namespace SafeFile
