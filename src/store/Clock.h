#pragma once

#include <QDate>
#include <QDateTime>

// Where "today" comes from. Logic takes a Clock so tests can set any date.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    QDate today() const { return now().date(); }

    // The wall clock of this machine.
    static const Clock& system();
};

// A clock that says what it is told; for tests, demos and benchmarks.
class FixedClock : public Clock
{
public:
    explicit FixedClock(QDateTime at = QDateTime(QDate(2013, 9, 5), QTime(9, 0))) : m_at(std::move(at)) {}
    explicit FixedClock(QDate day) : m_at(day, QTime(9, 0)) {}
    QDateTime now() const override { return m_at; }
    void set(QDateTime at) { m_at = std::move(at); }
    void setDate(QDate day) { m_at = QDateTime(day, m_at.time()); }
    void advanceDays(int days) { m_at = m_at.addDays(days); }

private:
    QDateTime m_at;
};
