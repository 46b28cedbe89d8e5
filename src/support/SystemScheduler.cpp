#include "support/SystemScheduler.h"

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cmath>

QDateTime SystemScheduler::now() const
{
    return QDateTime::currentDateTimeUtc();
}

double SystemScheduler::uptime() const
{
    static const QElapsedTimer started = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return double(started.nsecsElapsed()) / 1e9;
}

namespace {

double clampedMs(double seconds)
{
    return std::isnan(seconds) ? 0.0 : std::clamp(seconds * 1000.0, 0.0, double(INT32_MAX));
}

} // namespace

void SystemScheduler::after(double seconds, const QObject* context, std::function<void()> action)
{
    // Sub-second steps of a show must land on time; coarse timers may be 5 % early or late.
    const int ms = int(std::lround(clampedMs(seconds)));
    const Qt::TimerType type = ms < 2000 ? Qt::PreciseTimer : Qt::CoarseTimer;
    QTimer::singleShot(ms, type, context, std::move(action));
}

void SystemScheduler::afterAtLeast(double seconds, const QObject* context, std::function<void()> action)
{
    // A precise timer never fires before its interval; rarely used, so its missed chances to
    // share a wake-up cost nothing worth saving.
    QTimer::singleShot(int(std::ceil(clampedMs(seconds))), Qt::PreciseTimer, context, std::move(action));
}

SystemScheduler& SystemScheduler::shared()
{
    static SystemScheduler scheduler;
    return scheduler;
}
