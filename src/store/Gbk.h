#pragma once

#include <QByteArray>
#include <QString>

// Text in code page 936 (GBK), as System.ini and the reminder mail carry it.
// Qt's encoder would put "?" in place of a character the code page lacks; we refuse instead,
// so nothing the user typed is silently changed on the way to a file or a mail.
namespace Gbk {

// The first character of `text` that code page 936 cannot represent, or an empty string.
QString firstUnencodable(QStringView text);

// Encodes `text`; throws Error with a message in Chinese naming the offending character.
QByteArray encode(QStringView text);

// Decodes bytes; bytes that are no valid GBK never fail (they turn into replacement characters).
QString decode(QByteArrayView bytes);

} // namespace Gbk
