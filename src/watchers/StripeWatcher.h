#pragma once

#include "events/MonkeyEvent.h"
#include "watchers/HttpJson.h"
#include "watchers/SeenCharges.h"
#include "watchers/UnsettledCharges.h"
#include "watchers/Watcher.h"

// Turns successful, paid Stripe charges into events, polling the charges list every 30 s
// with a restricted read-only key. Only charges created after connecting count.
class StripeWatcher final : public Watcher {
    Q_OBJECT
public:
    static constexpr double normalSeconds = 30.0;
    static constexpr int pageSize = 100;
    // A listing stops after this many pages (a million charges within a few minutes).
    static constexpr int maxPages = 10'000;
    // Each poll lists again the charges of this long before the newest one listed, in case the
    // service shows one a little after a newer one.
    static constexpr qint64 listingOverlapSeconds = 300;

    static QString keychainAccount();
    static QString apiVersion();
    // BONKBELL_STRIPE_BASE when set, else the public API.
    static QUrl defaultBase();
    static QUrl createKeyURL();
    // The inbox file of a charge's event: named by when it was made, so events play in order, and
    // by its id, so a charge is never queued twice; a labelled account's also by its label, as two
    // accounts' ids need not differ.
    static QString eventFileName(const QJsonObject& charge, const QString& label = {});

    StripeWatcher(WatcherServices services, bool autostart = true, QObject* parent = nullptr);

    bool isTestMode() const;

    // Checks the key against the service and stores it. None on success, else why not.
    QCoro::Task<std::optional<QString>> connect(QString keyText);

    // Where what was announced is remembered, in the state folder.
    static QString seenFile(const QString& stateDir, const QString& label = {});

protected:
    void rebaseline() override;
    void keyReloaded() override;
    QCoro::Task<> pollOnce(PollTicket ticket) override;

private:
    QCoro::Task<RequestResult<QJsonObject>> get(const QString& path, const StringMap& query, const QString& key);
    // The charges created since shortly before the newest one listed last time, newest first.
    QCoro::Task<RequestResult<QList<QJsonObject>>> listCharges(QString key);
    // Fresh copies of the unsettled charges that are due another look, oldest first.
    QCoro::Task<QList<QJsonObject>> lookAgain(UnsettledCharges& unsettled, QList<QJsonObject> listed, QString key);
    QCoro::Task<MonkeyEvent> describe(QJsonObject charge, QDateTime at, QString key);
    // Watching starts at `since`, a time of the service's clock.
    void startFrom(qint64 since);
    // `created` of the newest charge listed so far, after `listed`.
    qint64 moveListingOn(const QList<QJsonObject>& listed);
    // Where the next listing starts: shortly before the newest charge listed so far.
    qint64 listedFrom() const;
    void loadSeen();

    SeenCharges m_seen;
};
