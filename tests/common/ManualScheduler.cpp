#include "common/ManualScheduler.h"

#include <cmath>

ManualScheduler::ManualScheduler(QDateTime start)
    : m_startMs(start.toMSecsSinceEpoch())
    , m_nowMs(m_startMs)
{
}

double ManualScheduler::uptime() const
{
    return double(m_nowMs - m_startMs) / 1000.0;
}

QDateTime ManualScheduler::now() const
{
    return QDateTime::fromMSecsSinceEpoch(m_nowMs, Qt::UTC);
}

void ManualScheduler::after(double seconds, const QObject* context, std::function<void()> action)
{
    const qint64 due = m_nowMs + std::llround(std::max(0.0, seconds) * 1000.0);
    m_tasks.emplace(std::pair(due, m_sequence++), Task{context, context != nullptr, std::move(action)});
}

void ManualScheduler::advance(double seconds)
{
    const qint64 target = m_nowMs + std::llround(seconds * 1000.0);
    while (!m_tasks.empty() && m_tasks.begin()->first.first <= target) {
        auto node = m_tasks.extract(m_tasks.begin());
        m_nowMs = node.key().first;
        Task& task = node.mapped();
        if (!task.hasContext || task.context)
            task.action();
    }
    m_nowMs = target;
}
