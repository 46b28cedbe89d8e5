#include "cli/StatusLines.h"

#include "watchers/RevenueCatWatcher.h"
#include "watchers/StripeWatcher.h"
#include "watchers/WatcherAccounts.h"

using namespace Qt::StringLiterals;

namespace {

QString hhmm(const QDateTime& at)
{
    return at.toLocalTime().toString(u"hh:mm"_s);
}

QString problemText(const WatchProblem& problem, const QString& service)
{
    const QString at = hhmm(problem.at);
    // Kept to one line whatever the service sent.
    const QString message = problem.message.simplified();
    if (!problem.answered)
        return u"can't reach %1 since %2: %3"_s.arg(service, at, message);
    switch (problem.status) {
    case 0: // answered with something that could not be read
        return u"unreadable answer at %1: %2"_s.arg(at, message);
    case 401:
        return u"key refused at %1: %2"_s.arg(at, message);
    case 403:
        return u"key lacks a permission at %1: %2"_s.arg(at, message);
    case 429:
        return u"rate limited since %1: %2"_s.arg(at, message);
    default:
        return u"%1 answered HTTP %2 at %3: %4"_s.arg(service, QString::number(problem.status), at, message);
    }
}

// How the polls went; nothing from a watcher that never polls (the command line's).
QString outcome(const Watcher& watcher)
{
    if (const auto& problem = watcher.lastProblem())
        return problemText(*problem, watcher.name());
    if (const auto checked = watcher.lastChecked())
        return u"checked at "_s + hhmm(*checked);
    return watcher.isLooping() ? u"not checked yet"_s : QString();
}

} // namespace

namespace StatusLines {

QStringList of(const WatcherAccounts& accounts)
{
    QStringList lines;
    for (const StripeWatcher* stripe : accounts.stripes())
        lines.append(line(*stripe, stripeMode(*stripe)));
    for (const RevenueCatWatcher* revenueCat : accounts.revenueCats())
        lines.append(line(*revenueCat, u"project "_s + revenueCat->project()));
    return lines;
}

QString line(const Watcher& watcher, const QString& connection)
{
    if (!watcher.isConnected())
        return watcher.name() + u": not connected"_s;
    const QString connected = u"%1: connected (%2)"_s.arg(watcher.name(), connection);
    const QString tail = outcome(watcher);
    return tail.isEmpty() ? connected : connected + u" — "_s + tail;
}

QString stripeMode(const StripeWatcher& stripe)
{
    return stripe.isTestMode() ? u"test mode"_s : u"live mode"_s;
}

} // namespace StatusLines
