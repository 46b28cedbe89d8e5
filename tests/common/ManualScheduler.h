#pragma once

#include "support/Scheduler.h"

#include <QPointer>

#include <map>

// A scheduler whose time moves only when a test advances it; due actions run in order of
// their due time (then of scheduling), each seeing now() at its own due time.
class ManualScheduler final : public Scheduler {
public:
    explicit ManualScheduler(QDateTime start = QDateTime(QDate(2026, 12, 5), QTime(12, 0), Qt::UTC))
        : m_startMs(start.toMSecsSinceEpoch())
        , m_nowMs(m_startMs)
    {
    }
    QDateTime now() const override { return QDateTime::fromMSecsSinceEpoch(m_nowMs, Qt::UTC); }
    double uptime() const override { return double(m_nowMs - m_startMs) / 1000.0; }
    void after(double seconds, const QObject* context, std::function<void()> action) override;
    void afterAtLeast(double seconds, const QObject* context, std::function<void()> action) override;
    void advance(double seconds);
    // after() ends waits this fraction early, as Qt's coarse timers may; afterAtLeast() keeps time.
    double looseEarly = 0;
    std::size_t pending() const { return m_tasks.size(); }

private:
    struct Task {
        QPointer<const QObject> context;
        bool hasContext;
        std::function<void()> action;
    };
    qint64 m_startMs, m_nowMs;
    quint64 m_sequence = 0;
    std::map<std::pair<qint64, quint64>, Task> m_tasks;
};
