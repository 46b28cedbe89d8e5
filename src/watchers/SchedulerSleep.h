#pragma once

#include "support/Scheduler.h"

#include <QCoreApplication>

#include <coroutine>

// co_await SchedulerSleep{scheduler, seconds}: resumes the coroutine on the main thread once the
// scheduler's time has moved on by `seconds` (roughly, or `atLeast` that). It always resumes (the
// application object is the timer's context), so a loop that wakes up finds out for itself whether
// it is still wanted.
struct SchedulerSleep {
    Scheduler& scheduler;
    double seconds;
    bool atLeast = false;

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> waiting) const
    {
        auto resume = [waiting] { waiting.resume(); };
        if (atLeast)
            scheduler.afterAtLeast(seconds, QCoreApplication::instance(), resume);
        else
            scheduler.after(seconds, QCoreApplication::instance(), resume);
    }
    void await_resume() const noexcept {}
};
