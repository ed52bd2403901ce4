#include "remind/ReminderMail.h"

#include "store/BidiControls.h"
#include "store/CardSecrets.h"
#include "store/DateText.h"
#include "store/Query.h"

namespace ReminderMail {

const QString kSeparator = QStringLiteral("<br>---------------------------------<br>");

QString subject(const Query& dueSoon)
{
    // The list's first card is the most urgent one, wherever the reminder window stands.
    const QVariant name = dueSoon.valueAt(0, dueSoon.fieldIndex(QStringLiteral("c_name")));
    const QVariant date = dueSoon.valueAt(0, dueSoon.fieldIndex(QStringLiteral("c_re_date")));
    return withoutBidiControls(name.toString()) + QStringLiteral("-还款日为:") +
           DateText::format(date.typeId() == QMetaType::QDate ? date.toDate() : QDate());
}

QString numberShown(const QString& cardNumber)
{
    return QStringLiteral("尾号") + CardSecrets::lastFour(cardNumber);
}

QString body(Query& dueSoon)
{
    QString text;
    dueSoon.first();
    while (!dueSoon.eof()) {
        text += QStringLiteral("卡名：") +
                withoutBidiControls(dueSoon.textValue(QStringLiteral("c_name"))).toHtmlEscaped() +
                QStringLiteral("<br>") + QStringLiteral("卡号:") +
                (QStringLiteral("尾号") + CardSecrets::lastFourOf(dueSoon)).toHtmlEscaped() +
                QStringLiteral("<br>") + QStringLiteral("还款日期：<span class=\"STYLE3\">") +
                DateText::format(dueSoon.dateValue(QStringLiteral("c_re_date"))) + QStringLiteral("<br>") +
                QStringLiteral("</span>剩下还款天数:") +
                QString::number(dueSoon.intValue(QStringLiteral("i_xyr"))) + kSeparator;
        dueSoon.next();
    }
    dueSoon.first();
    return text;
}

} // namespace ReminderMail
