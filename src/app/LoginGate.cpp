#include "app/LoginGate.h"

#include "store/Settings.h"

QString trimEntry(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 0x20)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 0x20)
        --end;
    return text.mid(begin, end - begin).toString();
}

bool LoginGate::accepts(const QString& typed) const
{
    return m_settings.checkPassword(trimEntry(typed));
}

CardLock::Login LoginGate::login(const QString& typed) const
{
    if (m_lock)
        return m_lock->login(trimEntry(typed));
    return {accepts(typed), {}, false, {}};
}

CardLock::Login LoginGate::openEarlier(const QString& typed, const QString& earlier) const
{
    if (!m_lock)
        return {};
    return m_lock->openEarlier(trimEntry(typed), trimEntry(earlier));
}

bool LoginGate::passwordSet() const
{
    return !m_settings.password().isEmpty();
}
