#pragma once

#include <QStringList>

class RevenueCatWatcher;
class StripeWatcher;
class Watcher;
class WatcherAccounts;

// The lines --status prints, made from the watchers of whichever process answers: a running app's
// know how their polls went, the command line's only the stored keys. Both go through here.
namespace StatusLines {
// One line per account: Stripe's, then RevenueCat's, each service's first account first.
QStringList of(const WatcherAccounts& accounts);
// "Stripe (Acme): connected (live mode) — key refused at 14:05: Invalid API Key provided", times in local
// time; `connection` says how it is connected ("live mode").
QString line(const Watcher& watcher, const QString& connection);
// "live mode" or "test mode", after the stored key.
QString stripeMode(const StripeWatcher& stripe);
} // namespace StatusLines
