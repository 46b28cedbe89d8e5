#include "watchers/StripeWatcher.h"

#include "keychain/SecretStore.h"
#include "support/AccountLabel.h"
#include "support/Log.h"
#include "support/Scheduler.h"
#include "support/Settings.h"
#include "watchers/StripeCharge.h"

#include <QJsonArray>

#include <algorithm>
#include <array>
#include <iterator>

using namespace Qt::StringLiterals;

QString StripeWatcher::keychainAccount()
{
    return u"stripe"_s;
}

QString StripeWatcher::apiVersion()
{
    return u"2024-06-20"_s;
}

QUrl StripeWatcher::defaultBase()
{
    const QString overridden = qEnvironmentVariable("BONKBELL_STRIPE_BASE");
    return QUrl(overridden.isEmpty() ? u"https://api.stripe.com"_s : overridden);
}

QUrl StripeWatcher::createKeyURL()
{
    return QUrl(u"https://dashboard.stripe.com/apikeys/create?name=Bonkbell"
                u"&permissions%5B%5D=rak_charge_read&permissions%5B%5D=rak_invoice_read"_s);
}

QString StripeWatcher::eventFileName(const QJsonObject& charge, const QString& label)
{
    const QString id = charge.value("id"_L1).toString();
    return u"%1-%2.json"_s.arg(StripeCharge::created(charge) * 1'000'000).arg(label.isEmpty() ? id : label + u'-' + id);
}

QString StripeWatcher::seenFile(const QString& stateDir, const QString& label)
{
    return stateDir.isEmpty() ? QString() : stateDir + u'/' + AccountLabel::scoped(u"stripe"_s, label) + u".seen"_s;
}

StripeWatcher::StripeWatcher(WatcherServices services, bool autostart, QObject* parent)
    : Watcher(AccountLabel::displayName(u"Stripe"_s, services.label),
        AccountLabel::scoped(keychainAccount(), services.label), normalSeconds, services, autostart, parent)
    , m_seen(seenFile(m_services.stateDir, m_services.label))
{
    reload();
}

void StripeWatcher::keyReloaded()
{
    loadSeen();
}

// Earlier versions kept the last 500 ids announced in the preferences: they move to the state
// folder, kept as long as the listing can show them again.
void StripeWatcher::loadSeen()
{
    m_seen.load();
    Settings& settings = m_services.settings;
    const auto stored = settings.get(Preferences::stripeSeen);
    if (!stored)
        return;
    const qint64 listed
        = std::max(settings.get(Preferences::stripeSince), settings.get(Preferences::stripeListedUntil));
    for (const QString& id : *stored) {
        if (!m_seen.contains(id) && !m_seen.add(id, listed))
            return; // kept in the preferences until it can be moved
    }
    settings.remove(Preferences::stripeSeen);
}

bool StripeWatcher::isTestMode() const
{
    return key() && key()->startsWith(u"rk_test_"_s);
}

QCoro::Task<RequestResult<QJsonObject>> StripeWatcher::get(
    const QString& path, const StringMap& query, const QString& key)
{
    return getJSON(
        m_services.base, path, query, {{u"Authorization"_s, u"Bearer "_s + key}, {u"Stripe-Version"_s, apiVersion()}});
}

QCoro::Task<std::optional<QString>> StripeWatcher::connect(QString keyText)
{
    const QPointer<StripeWatcher> self(this);
    const QString key = keyText.trimmed();
    if (key.startsWith(u"sk_"_s))
        co_return u"That's a full secret key, which can move money. Bonkbell only needs to read, so please "
                  u"create a restricted key instead (it starts with rk_)."_s;
    if (!key.startsWith(u"rk_live_"_s) && !key.startsWith(u"rk_test_"_s))
        co_return u"Stripe restricted keys start with rk_live_ or rk_test_."_s;

    setState(WatchState::connecting());
    const std::array<std::pair<QString, QString>, 2> probes{
        {{u"v1/charges"_s, u"Charges"_s}, {u"v1/invoices"_s, u"Invoices"_s}}};
    StringMap probeQuery;
    probeQuery.insert(u"limit"_s, u"1"_s);
    // Watching starts when the service says it is now: this computer's clock may be off.
    std::optional<QDateTime> serviceNow;
    for (const auto& probe : probes) {
        const auto answer = co_await get(probe.first, probeQuery, key);
        if (!self)
            co_return u"Bonkbell is quitting."_s;
        serviceNow = serviceNow ? serviceNow : answer.servedAt();
        if (answer.ok())
            continue;
        leaveConnecting();
        if (const auto* refused = std::get_if<APIError>(&answer.error()))
            co_return StripeCharge::explain(*refused, probe.second);
        co_return u"Couldn't reach Stripe: "_s + std::get<TransportError>(answer.error()).description;
    }
    if (auto refusal = storeKey(key)) {
        leaveConnecting();
        co_return refusal;
    }
    startFrom(serviceNow.value_or(m_services.scheduler.now()).toSecsSinceEpoch());
    log(u"%1: connected (%2 mode)"_s.arg(
        AccountLabel::scoped(u"stripe"_s, label()), isTestMode() ? u"test"_s : u"live"_s));
    startWatching();
    co_return std::nullopt;
}

void StripeWatcher::rebaseline()
{
    startFrom(m_services.scheduler.now().toSecsSinceEpoch());
}

void StripeWatcher::startFrom(qint64 since)
{
    Settings& settings = m_services.settings;
    settings.set(Preferences::stripeSince, since);
    settings.remove(Preferences::stripeSeen);
    settings.set(Preferences::stripeListedUntil, qint64(0));
    settings.set(Preferences::stripeUnsettled, QStringList());
    m_seen.clear();
}

qint64 StripeWatcher::listedFrom() const
{
    return std::max(m_services.settings.get(Preferences::stripeSince),
        m_services.settings.get(Preferences::stripeListedUntil) - listingOverlapSeconds);
}

QCoro::Task<RequestResult<QList<QJsonObject>>> StripeWatcher::listCharges(QString key)
{
    const QPointer<StripeWatcher> self(this);
    QList<QJsonObject> charges;
    StringMap query;
    query.insert(u"limit"_s, QString::number(pageSize));
    query.insert(u"created[gte]"_s, QString::number(listedFrom()));
    for (int page = 0; page < maxPages; ++page) {
        const auto answer = co_await get(u"v1/charges"_s, query, key);
        if (!self || !answer.ok())
            co_return RequestResult<QList<QJsonObject>>::failure(answer);
        const QJsonArray data = answer.value().value("data"_L1).toArray();
        for (const QJsonValue& charge : data) {
            if (charge.isObject())
                charges.append(charge.toObject());
        }
        const QJsonValue oldest = data.isEmpty() ? QJsonValue() : data.last().toObject().value("id"_L1);
        if (answer.value().value("has_more"_L1) != QJsonValue(true) || !oldest.isString())
            break;
        query.insert(u"starting_after"_s, oldest.toString());
    }
    co_return charges;
}

QCoro::Task<QList<QJsonObject>> StripeWatcher::lookAgain(
    UnsettledCharges& unsettled, QList<QJsonObject> listed, QString key)
{
    const QPointer<StripeWatcher> self(this);
    QSet<QString> listedIds;
    for (const QJsonObject& charge : listed)
        listedIds.insert(charge.value("id"_L1).toString());
    QList<QJsonObject> fresh;
    for (const QString& id : unsettled.takeDue(listedIds, m_services.scheduler.now().toSecsSinceEpoch())) {
        const auto answer = co_await get(u"v1/charges/"_s + id, StringMap(), key);
        if (!self)
            co_return fresh;
        const auto* refused = answer.ok() ? nullptr : std::get_if<APIError>(&answer.error());
        if (answer.ok())
            fresh.append(answer.value());
        else if (refused && refused->status == 404)
            unsettled.forget(id);
        else
            break; // looked at again later; the listing itself went well
    }
    std::stable_sort(fresh.begin(), fresh.end(),
        [](const QJsonObject& a, const QJsonObject& b) { return StripeCharge::created(a) < StripeCharge::created(b); });
    co_return fresh;
}

QCoro::Task<> StripeWatcher::pollOnce(PollTicket ticket)
{
    if (!key()) {
        setState(WatchState::off());
        co_return;
    }
    const QString key = *this->key();
    const auto listed = co_await listCharges(key);
    if (!ticket)
        co_return;
    if (!listed.ok()) {
        const auto* refused = std::get_if<APIError>(&listed.error());
        recordFailure(listed.error(), refused ? StripeCharge::explain(*refused, u"Charges"_s) : QString());
        co_return;
    }
    const QStringList wasUnsettled = m_services.settings.get(Preferences::stripeUnsettled).value_or(QStringList());
    UnsettledCharges unsettled(wasUnsettled);
    QList<QJsonObject> charges = co_await lookAgain(unsettled, listed.value(), key);
    if (!ticket)
        co_return;
    // Those looked at again settled just now, whenever they were made.
    QSet<QString> settledLate;
    for (const QJsonObject& charge : std::as_const(charges))
        settledLate.insert(charge.value("id"_L1).toString());
    // The service lists newest first; announce oldest first, after the older unsettled ones.
    std::copy(listed.value().crbegin(), listed.value().crend(), std::back_inserter(charges));

    QSet<QString> announced;
    const qint64 now = m_services.scheduler.now().toSecsSinceEpoch();
    for (const QJsonObject& charge : std::as_const(charges)) {
        unsettled.update(charge, now);
        const QString id = charge.value("id"_L1).toString();
        if (m_seen.contains(id) || !StripeCharge::isAnnounceable(charge, announced))
            continue;
        announced.insert(id);
        const QDateTime found = m_services.scheduler.now();
        const QDateTime at = settledLate.contains(id) ? found : StripeCharge::madeAt(charge, found);
        const MonkeyEvent event = co_await describe(charge, at, key);
        if (!ticket)
            co_return;
        // Remembered once it waits in the inbox, and only then: a crash in between plays it from
        // there, and an event that could not be queued is tried again at the next poll.
        if (!m_seen.contains(id) && deliver(event, eventFileName(charge, label())))
            m_seen.add(id, StripeCharge::created(charge));
    }
    // Each write rewrites the preferences file: a quiet poll writes nothing.
    if (unsettled.stored() != wasUnsettled)
        m_services.settings.set(Preferences::stripeUnsettled, unsettled.stored());
    // Nothing made before the next listing starts is listed again.
    m_seen.forgetBefore(moveListingOn(listed.value()) - listingOverlapSeconds);
    markOK();
}

qint64 StripeWatcher::moveListingOn(const QList<QJsonObject>& listed)
{
    // A date far ahead of this clock would hide every charge to come; it is not taken.
    const qint64 latest = m_services.scheduler.now().toSecsSinceEpoch() + 86400;
    const qint64 before = m_services.settings.get(Preferences::stripeListedUntil);
    qint64 newest = before;
    for (const QJsonObject& charge : listed) {
        const qint64 created = StripeCharge::created(charge);
        if (created <= latest)
            newest = std::max(newest, created);
    }
    if (newest != before)
        m_services.settings.set(Preferences::stripeListedUntil, newest);
    return newest;
}

QCoro::Task<MonkeyEvent> StripeWatcher::describe(QJsonObject charge, QDateTime at, QString key)
{
    const QPointer<StripeWatcher> self(this);
    std::optional<QJsonObject> invoice;
    if (const auto id = StripeCharge::invoiceId(charge)) {
        const auto answer = co_await get(u"v1/invoices/"_s + *id, StringMap(), key);
        if (!self)
            co_return MonkeyEvent{};
        if (answer.ok())
            invoice = answer.value();
    }
    co_return StripeCharge::describe(charge, invoice, at);
}
