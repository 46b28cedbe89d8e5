#include "cli/CLI.h"

#include "cli/StatusLines.h"
#include "events/Inbox.h"
#include "events/InboxFile.h"
#include "support/AppIdentity.h"
#include "support/Log.h"
#include "support/Scheduler.h"
#include "watchers/RevenueCatWatcher.h"
#include "watchers/StripeWatcher.h"
#include "watchers/WatcherAccounts.h"

#include <QJsonDocument>

#include <variant>

using namespace Qt::StringLiterals;

namespace {

using Service = WatcherAccounts::Service;

void say(QTextStream& out, const QString& line)
{
    out << line << '\n';
    out.flush();
}

// The first line of standard input, without its line break.
std::optional<QString> readKey(const CLI::Context& context)
{
    const QString line = context.in.readLine();
    if (line.isEmpty()) {
        say(context.out, u"Pipe the key in on stdin."_s);
        return std::nullopt;
    }
    return line;
}

// The first account for no label, else a new labelled one; null after saying why not.
Watcher* accountToConnect(WatcherAccounts& accounts, Service service, const QString& label, const CLI::Context& context)
{
    if (label.isEmpty())
        return service == Service::stripe ? static_cast<Watcher*>(&accounts.stripe()) : &accounts.revenueCat();
    auto opened = accounts.open(service, label);
    if (const auto* refusal = std::get_if<QString>(&opened)) {
        say(context.out, *refusal);
        return nullptr;
    }
    return std::get<Watcher*>(opened);
}

QCoro::Task<int> connectStripe(WatcherAccounts& accounts, const QStringList& arguments, const CLI::Context& context)
{
    if (arguments.size() > 2) {
        say(context.out, u"Say at most a label: --connect-stripe [LABEL]"_s);
        co_return CLI::usageError;
    }
    auto* stripe
        = static_cast<StripeWatcher*>(accountToConnect(accounts, Service::stripe, arguments.value(1), context));
    if (!stripe)
        co_return CLI::usageError;
    const auto key = readKey(context);
    if (!key)
        co_return CLI::usageError;
    if (const auto refusal = co_await stripe->connect(*key)) {
        say(context.out, *refusal);
        co_return CLI::refused;
    }
    accounts.keep(*stripe);
    say(context.out, u"%1 connected (%2)."_s.arg(stripe->name(), StatusLines::stripeMode(*stripe)));
    context.postReload();
    co_return CLI::ok;
}

// [PROJECT] [--label LABEL], in either order; none when the words say something else.
std::optional<std::pair<QString, QString>> projectAndLabel(QStringList words)
{
    QString label;
    if (const qsizetype at = words.indexOf(u"--label"_s); at >= 0) {
        if (at + 1 >= words.size())
            return std::nullopt;
        label = words.takeAt(at + 1);
        words.removeAt(at);
    }
    if (words.size() > 1 || (!words.isEmpty() && words.front().startsWith(u'-')))
        return std::nullopt;
    return std::pair(words.value(0), label);
}

QCoro::Task<int> connectRevenueCat(WatcherAccounts& accounts, const QStringList& arguments, const CLI::Context& context)
{
    const auto words = projectAndLabel(arguments.mid(1));
    if (!words) {
        say(context.out, u"Say the project and the label like this: --connect-revenuecat [PROJECT] [--label LABEL]"_s);
        co_return CLI::usageError;
    }
    auto* revenueCat
        = static_cast<RevenueCatWatcher*>(accountToConnect(accounts, Service::revenueCat, words->second, context));
    if (!revenueCat)
        co_return CLI::usageError;
    const auto key = readKey(context);
    if (!key)
        co_return CLI::usageError;
    if (const auto refusal = co_await revenueCat->connect(*key, words->first)) {
        say(context.out, *refusal);
        co_return CLI::refused;
    }
    accounts.keep(*revenueCat);
    say(context.out, u"%1 connected (project %2)."_s.arg(revenueCat->name(), revenueCat->project()));
    context.postReload();
    co_return CLI::ok;
}

int disconnect(WatcherAccounts& accounts, const QStringList& arguments, const CLI::Context& context)
{
    const QString which = arguments.value(1);
    const QString service = which.section(u':', 0, 0);
    const QString label = which.section(u':', 1);
    const bool known = service == u"stripe"_s || service == u"revenuecat"_s;
    if (!known || arguments.size() > 2 || (which.contains(u':') && label.isEmpty())) {
        say(context.out, u"Say which: --disconnect stripe[:LABEL] | revenuecat[:LABEL]"_s);
        return CLI::usageError;
    }
    const Service chosen = service == u"stripe"_s ? Service::stripe : Service::revenueCat;
    if (!accounts.disconnect(chosen, label)) {
        say(context.out, u"No %1 account is labelled “%2”."_s.arg(WatcherAccounts::serviceName(chosen), label));
        return CLI::refused;
    }
    say(context.out, u"Disconnected."_s);
    context.postReload();
    return CLI::ok;
}

int status(const WatcherAccounts& accounts, const CLI::Context& context)
{
    // A running app knows how its polls went; without one, the stored keys are all there is.
    const auto answer = context.askStatus();
    for (const QString& line : answer ? *answer : StatusLines::of(accounts))
        say(context.out, line);
    return CLI::ok;
}

// An event to publish, or why there is none.
using Outgoing = std::variant<MonkeyEvent, QString>;

// Decoded as the inbox decodes its files; parsed again only to say what is wrong.
Outgoing eventFromJson(const QByteArray& json)
{
    if (auto event = MonkeyEvent::decode(json))
        return *event;
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        return u"Standard input is not JSON: %1 at offset %2."_s.arg(error.errorString()).arg(error.offset);
    if (!document.isObject())
        return u"Standard input is not one JSON object."_s;
    return u"Not an event: \"kind\" and \"headline\" must be strings, \"who\", \"detail\" and \"at\" strings or null, "
           u"\"test\" true, false or null."_s;
}

Outgoing eventFromWords(const QStringList& arguments)
{
    if (arguments.size() < 3)
        return u"Say what happened: --send KIND HEADLINE [WHO [DETAIL]] | --send - (one JSON event on stdin)"_s;
    const auto word
        = [&arguments](qsizetype i) { return i < arguments.size() ? std::optional(arguments[i]) : std::nullopt; };
    return MonkeyEvent{arguments[1], arguments[2], word(3), word(4), {}, {}};
}

// What --send publishes: the event as given, stamped now when it carries no time.
Outgoing eventToSend(const QStringList& arguments, const CLI::Context& context)
{
    Outgoing outgoing
        = arguments.value(1) == u"-"_s ? eventFromJson(context.in.readAll().toUtf8()) : eventFromWords(arguments);
    auto* event = std::get_if<MonkeyEvent>(&outgoing);
    if (!event)
        return outgoing;
    if (!event->at)
        event->at = isoStamp(context.scheduler.now());
    // Said now rather than found in rejected/ later.
    if (event->encode().size() > InboxFile::maxBytes)
        return u"The event is larger than the inbox reads (1 MiB)."_s;
    return outgoing;
}

int send(const QStringList& arguments, const CLI::Context& context)
{
    const Outgoing outgoing = eventToSend(arguments, context);
    if (const auto* refusal = std::get_if<QString>(&outgoing)) {
        say(context.err, *refusal);
        return CLI::usageError;
    }
    if (const auto error = Inbox::publish(std::get<MonkeyEvent>(outgoing), context.inbox)) {
        say(context.err, u"Could not write the event to %1: %2"_s.arg(context.inbox, *error));
        return CLI::refused;
    }
    return CLI::ok;
}

} // namespace

namespace CLI {

QString usageLine()
{
    return u"Usage: bonkbell --connect-stripe [LABEL] | --connect-revenuecat [PROJECT] [--label LABEL]"
           u" | --disconnect stripe[:LABEL]|revenuecat[:LABEL] | --status"
           u" | --send KIND HEADLINE [WHO [DETAIL]] | --send - | --help | --version"_s;
}

QCoro::Task<int> run(QStringList arguments, Context context)
{
    const QString verb = arguments.value(0);
    // These never touch the keyring, so a script without a session bus can send events.
    if (verb == u"--help"_s || verb == u"-h"_s) {
        say(context.out, usageLine());
        co_return ok;
    }
    if (verb == u"--version"_s) {
        say(context.out, u"bonkbell "_s + QLatin1StringView(AppIdentity::version));
        co_return ok;
    }
    if (verb == u"--send"_s)
        co_return send(arguments, context);
    // Created before the other verbs, so each sees the keys that are stored; they poll nothing.
    WatcherAccounts accounts(context.stripe, context.revenueCat, false);
    if (verb == u"--connect-stripe"_s)
        co_return co_await connectStripe(accounts, arguments, context);
    if (verb == u"--connect-revenuecat"_s)
        co_return co_await connectRevenueCat(accounts, arguments, context);
    if (verb == u"--disconnect"_s)
        co_return disconnect(accounts, arguments, context);
    if (verb == u"--status"_s)
        co_return status(accounts, context);
    say(context.out, usageLine());
    co_return usageError;
}

} // namespace CLI
