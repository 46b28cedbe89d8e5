#pragma once

#include "events/MonkeyEvent.h"
#include "watchers/HttpJson.h"
#include "watchers/UnsettledCharges.h"
#include "watchers/Watcher.h"

// Turns successful, paid Stripe charges into events, polling the charges list every 30 s
// with a restricted read-only key. Only charges created after connecting count.
class StripeWatcher final : public Watcher {
    Q_OBJECT
public:
    static constexpr double normalSeconds = 30.0;
    static constexpr int seenLimit = 500;
    static constexpr int pageSize = 100;
    // More than this many new charges between two polls are announced in part only.
    static constexpr int maxPages = 10;
    // Each poll lists again the charges of this long before the newest one listed, in case the
    // service shows one a little after a newer one.
    static constexpr qint64 listingOverlapSeconds = 300;

    static QString keychainAccount();
    static QString apiVersion();
    // BONKBELL_STRIPE_BASE when set, else the public API.
    static QUrl defaultBase();
    static QUrl createKeyURL();

    StripeWatcher(WatcherServices services, bool autostart = true, QObject* parent = nullptr);

    bool isTestMode() const;

    // Checks the key against the service and stores it. None on success, else why not.
    QCoro::Task<std::optional<QString>> connect(QString keyText);

protected:
    void rebaseline() override;
    QCoro::Task<> pollOnce(PollTicket ticket) override;

private:
    QCoro::Task<RequestResult<QJsonObject>> get(const QString& path, const StringMap& query, const QString& key);
    // The charges created since shortly before the newest one listed last time, newest first.
    QCoro::Task<RequestResult<QList<QJsonObject>>> listCharges(QString key);
    // Fresh copies of the unsettled charges that are due another look, oldest first.
    QCoro::Task<QList<QJsonObject>> lookAgain(UnsettledCharges& unsettled, QList<QJsonObject> listed, QString key);
    QCoro::Task<MonkeyEvent> describe(QJsonObject charge, QString key);
    void remember(const QStringList& newIds);
    void moveListingOn(const QList<QJsonObject>& listed);

    // Announced, but not yet in the stored list: a poll that starts meanwhile (after a reload)
    // must not announce them again.
    QSet<QString> m_announcedUnsaved;
};
