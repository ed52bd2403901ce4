#include "remind/ReminderMail.h"

#include "store/BidiControls.h"
#include "store/DateText.h"

namespace ReminderMail {

const QString kSeparator = QStringLiteral("<br>---------------------------------<br>");

QString subject(const QList<DueSoonCard>& dueSoon)
{
    const DueSoonCard first = dueSoon.value(0);
    return withoutBidiControls(first.name) + QStringLiteral("-还款日为:") +
           DateText::format(first.repaymentDate);
}

QString body(const QList<DueSoonCard>& dueSoon)
{
    QString text;
    for (const DueSoonCard& card : dueSoon) {
        text += QStringLiteral("卡名：") + withoutBidiControls(card.name).toHtmlEscaped() +
                QStringLiteral("<br>") + QStringLiteral("卡号:") +
                (QStringLiteral("尾号") + card.numberLast4).toHtmlEscaped() + QStringLiteral("<br>") +
                QStringLiteral("还款日期：<span class=\"STYLE3\">") + DateText::format(card.repaymentDate) +
                QStringLiteral("<br>") + QStringLiteral("</span>剩下还款天数:") +
                QString::number(card.daysLeft) + kSeparator;
    }
    return text;
}

} // namespace ReminderMail
