#include "watchers/StripeWatcher.h"

#include "keychain/SecretStore.h"
#include "support/Log.h"
#include "support/Scheduler.h"
#include "support/Settings.h"
#include "watchers/StripeCharge.h"

#include <QJsonArray>
#include <array>

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

StripeWatcher::StripeWatcher(WatcherServices services, bool autostart, QObject* parent)
    : Watcher(u"Stripe"_s, keychainAccount(), normalSeconds, std::move(services), parent)
{
    setKey(m_services.secrets.read(keychainAccount()));
    if (key() && autostart)
        startLoop();
}

bool StripeWatcher::isTestMode() const
{
    return key() && key()->startsWith(u"rk_test_"_s);
}

QCoro::Task<RequestResult<QJsonObject>> StripeWatcher::get(const QString& path, const StringMap& query, const QString& key)
{
    return getJSON(m_services.base, path, query,
        {{u"Authorization"_s, u"Bearer "_s + key}, {u"Stripe-Version"_s, apiVersion()}});
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
    for (const auto& probe : probes) {
        const auto answer = co_await get(probe.first, probeQuery, key);
        if (!self)
            co_return u"Bonkbell is quitting."_s;
        if (answer.ok())
            continue;
        restoreStateAfterFailedConnect();
        if (const auto* refused = std::get_if<APIError>(&answer.error()))
            co_return StripeCharge::explain(*refused, probe.second);
        co_return u"Couldn't reach Stripe: "_s + std::get<TransportError>(answer.error()).description;
    }
    if (auto refusal = storeKey(key)) {
        restoreStateAfterFailedConnect();
        co_return refusal;
    }
    rebaseline();
    log(u"stripe: connected (%1 mode)"_s.arg(isTestMode() ? u"test"_s : u"live"_s));
    startLoop();
    co_return std::nullopt;
}

void StripeWatcher::rebaseline()
{
    m_services.settings.set(Preferences::stripeSince, m_services.scheduler.now().toSecsSinceEpoch());
    m_services.settings.set(Preferences::stripeSeen, QStringList());
}

QCoro::Task<RequestResult<QList<QJsonObject>>> StripeWatcher::fetchNewCharges(const QString& key, const QSet<QString>& seen)
{
    const QPointer<StripeWatcher> self(this);
    const QString since = QString::number(m_services.settings.get(Preferences::stripeSince));
    QList<QJsonObject> charges;
    StringMap query;
    query.insert(u"limit"_s, QString::number(pageSize));
    query.insert(u"created[gte]"_s, since);
    for (int page = 0; page < maxPages; ++page) {
        const auto answer = co_await get(u"v1/charges"_s, query, key);
        if (!self || !answer.ok())
            co_return RequestResult<QList<QJsonObject>>::failure(answer);
        const QJsonArray data = answer.value().value("data"_L1).toArray();
        for (const QJsonValue& charge : data) {
            if (charge.isObject())
                charges.append(charge.toObject());
        }
        // Page back only while the oldest charge of this page is still new.
        const QJsonValue oldest = data.isEmpty() ? QJsonValue() : data.last().toObject().value("id"_L1);
        if (answer.value().value("has_more"_L1) != QJsonValue(true) || !oldest.isString() || seen.contains(oldest.toString()))
            break;
        query.insert(u"starting_after"_s, oldest.toString());
    }
    co_return charges;
}

QCoro::Task<> StripeWatcher::pollOnce(PollTicket ticket)
{
    if (!key()) {
        setState(WatchState::off());
        co_return;
    }
    const QString key = *this->key();
    const QStringList stored = m_services.settings.get(Preferences::stripeSeen).value_or(QStringList());
    QSet<QString> seen(stored.begin(), stored.end());

    const auto charges = co_await fetchNewCharges(key, seen);
    if (!ticket)
        co_return;
    if (!charges.ok()) {
        if (const auto* refused = std::get_if<APIError>(&charges.error()))
            markRejected(StripeCharge::explain(*refused, u"Charges"_s));
        else
            markUnreachable(std::get<TransportError>(charges.error()));
        co_return;
    }

    // The service lists newest first; announce oldest first.
    QStringList newIds;
    for (auto it = charges.value().crbegin(); it != charges.value().crend(); ++it) {
        if (!StripeCharge::isAnnounceable(*it, seen))
            continue;
        const QString id = it->value("id"_L1).toString();
        seen.insert(id);
        const MonkeyEvent event = co_await describe(*it, key);
        if (!ticket)
            break;
        newIds.append(id);
        deliver(event);
    }
    if (!ticket) {
        // Stopped mid-way: what was announced stays announced, if the watcher is still there.
        if (!newIds.isEmpty() && this == ticket.watcher())
            remember(newIds);
        co_return;
    }
    remember(newIds);
    markOK();
}

void StripeWatcher::remember(const QStringList& newIds)
{
    if (newIds.isEmpty())
        return;
    QStringList ids = m_services.settings.get(Preferences::stripeSeen).value_or(QStringList()) + newIds;
    if (ids.size() > seenLimit)
        ids = ids.mid(ids.size() - seenLimit);
    m_services.settings.set(Preferences::stripeSeen, ids);
}

QCoro::Task<MonkeyEvent> StripeWatcher::describe(QJsonObject charge, QString key)
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
    co_return StripeCharge::describe(charge, invoice, m_services.scheduler.now());
}
