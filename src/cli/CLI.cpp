#include "cli/CLI.h"

#include "watchers/RevenueCatWatcher.h"
#include "watchers/StripeWatcher.h"

using namespace Qt::StringLiterals;

namespace {

struct Watchers {
    StripeWatcher stripe;
    RevenueCatWatcher revenueCat;
};

void say(QTextStream& out, const QString& line)
{
    out << line << '\n';
    out.flush();
}

std::optional<QString> readKey(const CLI::Context& context)
{
    const auto line = context.readLine();
    if (!line || line->isEmpty()) {
        say(context.out, u"Pipe the key in on stdin."_s);
        return std::nullopt;
    }
    return line;
}

QString stripeMode(const StripeWatcher& stripe)
{
    return stripe.isTestMode() ? u"test mode"_s : u"live mode"_s;
}

QCoro::Task<int> connectStripe(Watchers& watchers, const CLI::Context& context)
{
    const auto key = readKey(context);
    if (!key)
        co_return CLI::usageError;
    if (const auto refusal = co_await watchers.stripe.connect(*key)) {
        say(context.out, *refusal);
        co_return CLI::refused;
    }
    say(context.out, u"Stripe connected (%1)."_s.arg(stripeMode(watchers.stripe)));
    context.postReload();
    co_return CLI::ok;
}

QCoro::Task<int> connectRevenueCat(Watchers& watchers, const QStringList& arguments, const CLI::Context& context)
{
    const QString project = arguments.value(1);
    const auto key = readKey(context);
    if (!key)
        co_return CLI::usageError;
    if (const auto refusal = co_await watchers.revenueCat.connect(*key, project)) {
        say(context.out, *refusal);
        co_return CLI::refused;
    }
    say(context.out, u"RevenueCat connected (project %1)."_s.arg(watchers.revenueCat.project()));
    context.postReload();
    co_return CLI::ok;
}

int disconnect(Watchers& watchers, const QStringList& arguments, const CLI::Context& context)
{
    const QString service = arguments.value(1);
    if (service == u"stripe"_s) {
        watchers.stripe.disconnect();
    } else if (service == u"revenuecat"_s) {
        watchers.revenueCat.disconnect();
    } else {
        say(context.out, u"Say which: --disconnect stripe | revenuecat"_s);
        return CLI::usageError;
    }
    say(context.out, u"Disconnected."_s);
    context.postReload();
    return CLI::ok;
}

int status(const Watchers& watchers, const CLI::Context& context)
{
    say(context.out, u"Stripe: "_s + (watchers.stripe.isConnected() ? u"connected (%1)"_s.arg(stripeMode(watchers.stripe)) : u"not connected"_s));
    say(context.out, u"RevenueCat: "_s
            + (watchers.revenueCat.isConnected() ? u"connected (project %1)"_s.arg(watchers.revenueCat.project()) : u"not connected"_s));
    return CLI::ok;
}

} // namespace

namespace CLI {

QString usageLine()
{
    return u"Usage: Bonkbell --connect-stripe | --connect-revenuecat [project] | --disconnect stripe|revenuecat | --status"_s;
}

QCoro::Task<int> run(QStringList arguments, Context context)
{
    // Created first, so every verb sees the keys that are stored; they poll nothing.
    Watchers watchers{StripeWatcher(context.stripe, false), RevenueCatWatcher(context.revenueCat, false)};
    const QString verb = arguments.value(0);
    if (verb == u"--connect-stripe"_s)
        co_return co_await connectStripe(watchers, context);
    if (verb == u"--connect-revenuecat"_s)
        co_return co_await connectRevenueCat(watchers, arguments, context);
    if (verb == u"--disconnect"_s)
        co_return disconnect(watchers, arguments, context);
    if (verb == u"--status"_s)
        co_return status(watchers, context);
    say(context.out, usageLine());
    co_return usageError;
}

} // namespace CLI
