#pragma once

#include "support/Scheduler.h"

// The real clock and Qt's single-shot timers on the main thread's event loop.
class SystemScheduler final : public Scheduler {
public:
    QDateTime now() const override;
    double uptime() const override;
    void after(double seconds, const QObject* context, std::function<void()> action) override;
    void afterAtLeast(double seconds, const QObject* context, std::function<void()> action) override;

    static SystemScheduler& shared();
};
