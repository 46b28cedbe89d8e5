#pragma once

#include <QDateTime>
#include <QObject>

#include <functional>

// The one source of time and of delayed work. Everything that waits asks a Scheduler,
// so tests can replace it with one they advance by hand.
class Scheduler {
public:
    virtual ~Scheduler();

    // The current instant, in UTC.
    virtual QDateTime now() const = 0;

    // Seconds on a steady clock that never jumps, for animations and frame timing.
    virtual double uptime() const = 0;

    // Runs `action` on the main thread `seconds` from now. Not cancellable: the action is
    // dropped when `context` has been destroyed by then, which is how callers hold themselves weakly.
    // A long wait may end up to 5 % early or late: idle waits share wake-ups.
    virtual void after(double seconds, const QObject* context, std::function<void()> action) = 0;

    // As after(), but never before `seconds` have passed: for a wait a service asked of us.
    virtual void afterAtLeast(double seconds, const QObject* context, std::function<void()> action) = 0;
};
