#pragma once

#include "watchers/WatcherServices.h"

#include <QList>
#include <QObject>

#include <memory>
#include <optional>
#include <variant>
#include <vector>

class RevenueCatWatcher;
class Settings;
class StripeWatcher;
class Watcher;

// Every account of both services: each service's first, unlabelled one always (it keeps the
// keyring item, preferences and files of a single-account setup), then the labelled ones the
// preferences list. Each has its own watcher, so its own key, schedule, cursor, seen list and
// backoff; no fault or sale of one reaches another.
class WatcherAccounts : public QObject {
    Q_OBJECT
public:
    enum class Service { stripe, revenueCat };

    WatcherAccounts(WatcherServices stripe, WatcherServices revenueCat, bool autostart, QObject* parent = nullptr);
    ~WatcherAccounts() override;

    StripeWatcher& stripe() const;
    RevenueCatWatcher& revenueCat() const;
    // The first account, then the labelled ones in the order they were connected.
    QList<StripeWatcher*> stripes() const;
    QList<RevenueCatWatcher*> revenueCats() const;
    QList<Watcher*> all() const;
    // The account of that label (the first for an empty one), or null.
    Watcher* find(Service service, const QString& label) const;

    // A watcher for a new labelled account, or why there can be none (a bad or taken label). It
    // is listed in the preferences by `keep` once connected.
    std::variant<Watcher*, QString> open(Service service, const QString& label);
    void keep(Watcher& watcher);
    // Forgets the key; a labelled account also goes from the list with its preferences and files.
    // False when no account has that label.
    bool disconnect(Service service, const QString& label);

    // Reads the list and every key again (another process may have changed them).
    void reload();

    static QString serviceName(Service service);

Q_SIGNALS:
    // Accounts came or went.
    void changed();

private:
    struct Account {
        std::unique_ptr<Settings> settings;
        std::unique_ptr<Watcher> watcher;
    };
    std::vector<Account>& accounts(Service service);
    const std::vector<Account>& accounts(Service service) const;
    WatcherServices& base(Service service) { return service == Service::stripe ? m_stripeBase : m_revenueCatBase; }
    Watcher& add(Service service, const QString& label);
    QStringList listed(Service service) const;
    void setListed(Service service, const QStringList& labels);
    // Brings the watchers in line with the list: new labels get one, gone labels lose theirs.
    bool follow(Service service);
    // With more than one account connected, each note says whose sale it is.
    void updateShownLabels();

    WatcherServices m_stripeBase;
    WatcherServices m_revenueCatBase;
    bool m_autostart;
    std::vector<Account> m_stripes;
    std::vector<Account> m_revenueCats;
};
