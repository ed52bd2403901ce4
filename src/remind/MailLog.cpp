#include "remind/MailLog.h"

#include <QFile>

namespace MailLog {

void append(const QString& path, const QDateTime& at, const QString& text)
{
    QFile file(path);
    const bool existed = file.exists();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return;
    if (!existed)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QString line = text;
    line.replace(u'\n', u' ').replace(u'\r', u' ');
    file.write((at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + u' ' + line + u'\n').toUtf8());
}

} // namespace MailLog
