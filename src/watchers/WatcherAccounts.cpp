#include "watchers/WatcherAccounts.h"

#include "support/AccountLabel.h"
#include "support/Settings.h"
#include "watchers/RevenueCatWatcher.h"
#include "watchers/StripeWatcher.h"

#include <QFile>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

template <typename W> QList<W*> watchersOf(const auto& accounts)
{
    QList<W*> out;
    for (const auto& account : accounts)
        out.append(static_cast<W*>(account.watcher.get()));
    return out;
}

} // namespace

WatcherAccounts::WatcherAccounts(WatcherServices stripe, WatcherServices revenueCat, bool autostart, QObject* parent)
    : QObject(parent)
    , m_stripeBase(std::move(stripe))
    , m_revenueCatBase(std::move(revenueCat))
    , m_autostart(autostart)
{
    add(Service::stripe, {});
    add(Service::revenueCat, {});
    follow(Service::stripe);
    follow(Service::revenueCat);
    updateShownLabels();
}

WatcherAccounts::~WatcherAccounts() = default;

QString WatcherAccounts::serviceName(Service service)
{
    return service == Service::stripe ? u"Stripe"_s : u"RevenueCat"_s;
}

std::vector<WatcherAccounts::Account>& WatcherAccounts::accounts(Service service)
{
    return service == Service::stripe ? m_stripes : m_revenueCats;
}

const std::vector<WatcherAccounts::Account>& WatcherAccounts::accounts(Service service) const
{
    return service == Service::stripe ? m_stripes : m_revenueCats;
}

StripeWatcher& WatcherAccounts::stripe() const
{
    return static_cast<StripeWatcher&>(*m_stripes.front().watcher);
}

RevenueCatWatcher& WatcherAccounts::revenueCat() const
{
    return static_cast<RevenueCatWatcher&>(*m_revenueCats.front().watcher);
}

QList<StripeWatcher*> WatcherAccounts::stripes() const
{
    return watchersOf<StripeWatcher>(m_stripes);
}

QList<RevenueCatWatcher*> WatcherAccounts::revenueCats() const
{
    return watchersOf<RevenueCatWatcher>(m_revenueCats);
}

QList<Watcher*> WatcherAccounts::all() const
{
    return watchersOf<Watcher>(m_stripes) + watchersOf<Watcher>(m_revenueCats);
}

Watcher* WatcherAccounts::find(Service service, const QString& label) const
{
    for (const Account& account : accounts(service)) {
        const QString own = account.watcher->label();
        if (own.isEmpty() ? label.isEmpty() : AccountLabel::same(own, label))
            return account.watcher.get();
    }
    return nullptr;
}

Watcher& WatcherAccounts::add(Service service, const QString& label)
{
    const WatcherServices& shared = base(service);
    Account account;
    if (!label.isEmpty())
        account.settings = std::make_unique<Settings>(shared.settings.fileName(), label);
    const WatcherServices own{account.settings ? *account.settings : shared.settings, shared.secrets, shared.scheduler,
        shared.base, shared.inbox, shared.stateDir, label};
    if (service == Service::stripe)
        account.watcher = std::make_unique<StripeWatcher>(own, m_autostart);
    else
        account.watcher = std::make_unique<RevenueCatWatcher>(own, m_autostart);
    Watcher& watcher = *account.watcher;
    QObject::connect(&watcher, &Watcher::keyChanged, this, &WatcherAccounts::updateShownLabels);
    accounts(service).push_back(std::move(account));
    return watcher;
}

std::variant<Watcher*, QString> WatcherAccounts::open(Service service, const QString& label)
{
    if (const auto problem = AccountLabel::problem(label))
        return *problem;
    if (find(service, label))
        return u"A %1 account labelled “%2” is already there. To replace it, disconnect it first: "
               u"bonkbell --disconnect %3"_s.arg(
                   serviceName(service), label, AccountLabel::scoped(serviceName(service).toLower(), label));
    return &add(service, label);
}

QStringList WatcherAccounts::listed(Service service) const
{
    const auto& preference = service == Service::stripe ? Preferences::stripeAccounts : Preferences::rcAccounts;
    QStringList labels;
    // A label edited into the file by hand is taken only when it could have been given.
    for (const QString& label : m_stripeBase.settings.get(preference).value_or(QStringList())) {
        const bool taken = std::ranges::any_of(labels, [&](const QString& l) { return AccountLabel::same(l, label); });
        if (!AccountLabel::problem(label) && !taken)
            labels.append(label);
    }
    return labels;
}

void WatcherAccounts::setListed(Service service, const QStringList& labels)
{
    const auto& preference = service == Service::stripe ? Preferences::stripeAccounts : Preferences::rcAccounts;
    if (labels.isEmpty())
        m_stripeBase.settings.remove(preference);
    else
        m_stripeBase.settings.set(preference, labels);
}

void WatcherAccounts::keep(Watcher& watcher)
{
    const Service service = qobject_cast<StripeWatcher*>(&watcher) ? Service::stripe : Service::revenueCat;
    QStringList labels = listed(service);
    if (!watcher.label().isEmpty() && !labels.contains(watcher.label()))
        setListed(service, labels << watcher.label());
}

bool WatcherAccounts::disconnect(Service service, const QString& label)
{
    Watcher* watcher = find(service, label);
    if (!watcher)
        return false;
    watcher->disconnect();
    if (watcher->label().isEmpty())
        return true;
    QStringList labels = listed(service);
    labels.removeIf([&](const QString& l) { return AccountLabel::same(l, label); });
    setListed(service, labels);
    auto& list = accounts(service);
    const auto gone = std::ranges::find_if(list, [&](const Account& a) { return a.watcher.get() == watcher; });
    gone->settings->forgetAccount();
    if (service == Service::stripe)
        QFile::remove(StripeWatcher::seenFile(base(service).stateDir, watcher->label()));
    list.erase(gone);
    updateShownLabels();
    Q_EMIT changed();
    return true;
}

bool WatcherAccounts::follow(Service service)
{
    const QStringList labels = listed(service);
    auto& list = accounts(service);
    const auto before = list.size();
    // Never the first: it has no label and is always there.
    const auto unlisted
        = [&](const Account& a) { return !a.watcher->label().isEmpty() && !labels.contains(a.watcher->label()); };
    std::erase_if(list, unlisted);
    bool changed = list.size() != before;
    for (const QString& label : labels) {
        if (!find(service, label)) {
            add(service, label);
            changed = true;
        }
    }
    return changed;
}

void WatcherAccounts::reload()
{
    const bool stripesChanged = follow(Service::stripe);
    const bool revenueCatsChanged = follow(Service::revenueCat);
    for (Watcher* watcher : all())
        watcher->reload();
    updateShownLabels();
    if (stripesChanged || revenueCatsChanged)
        Q_EMIT changed();
}

void WatcherAccounts::updateShownLabels()
{
    const QList<Watcher*> watchers = all();
    const bool several = std::ranges::count_if(watchers, [](const Watcher* w) { return w->isConnected(); }) > 1;
    for (Watcher* watcher : watchers) {
        const QString own = watcher->label().isEmpty() ? watcher->name() : watcher->label();
        watcher->setShownLabel(several ? own : QString());
    }
}
