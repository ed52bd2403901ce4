#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// Internet mail as the reminder sends it: one HTML part, base64, in GB2312 when the text
// allows it and GB18030 otherwise, headers folded and non-ASCII text as RFC 2047 encoded-words.
namespace Mail {

struct Address
{
    QString name;    // display name, may be empty
    QString address; // local@domain, ASCII (an international domain is stored in its ACE form)

    QByteArray envelope() const { return address.toLatin1(); } // for MAIL FROM / RCPT TO
};

// Reads "a@b.cn" or "名字 <a@b.cn>". Throws Error with a message in Chinese when the text is no
// usable address (line breaks, blanks or brackets in the address, non-ASCII local part, ...).
Address parseAddress(const QString& text);

// Reads a recipient text: addresses separated by commas (also "，" and ";"); empty entries
// are skipped. Throws Error when an entry is not usable or no address is given.
QList<Address> parseAddressList(const QString& text);

struct Message
{
    Address from;
    QList<Address> to;
    QString subject;
    QString htmlBody;
    QDateTime date;    // the Date header
    QString messageId; // without angle brackets; made up from the date and the sender when empty
    bool highPriority = true;
};

// "gb2312" when every character of the subject, body and display names is in GB2312,
// else "GB18030" (which holds every character), so nothing is replaced on the way.
QByteArray charsetFor(const Message& message);

// Encodes `text` as a run of encoded-words ("=?gb2312?B?...?="), split on character
// boundaries so that no word is longer than 75 characters.
QList<QByteArray> encodedWords(QStringView text, const QByteArray& charset);

// The complete message: headers and base64 body, lines ending in CRLF.
QByteArray compose(const Message& message);

// Date header text, e.g. "Thu, 05 Sep 2013 09:00:00 +0800".
QByteArray dateHeader(const QDateTime& at);

} // namespace Mail
