#include "common/ManualScheduler.h"

#include <cmath>

void ManualScheduler::after(double seconds, const QObject* context, std::function<void()> action)
{
    afterAtLeast(seconds * (1 - looseEarly), context, std::move(action));
}

void ManualScheduler::afterAtLeast(double seconds, const QObject* context, std::function<void()> action)
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
        if (const Task& task = node.mapped(); !task.hasContext || task.context)
            task.action();
    }
    m_nowMs = target;
}
