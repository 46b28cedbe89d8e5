#pragma once

#include "events/MonkeyEvent.h"
#include "watchers/HttpJson.h"
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
    // The charges since the watermark, newest first, paging back while none of a page was seen.
    QCoro::Task<RequestResult<QList<QJsonObject>>> fetchNewCharges(const QString& key, const QSet<QString>& seen);
    QCoro::Task<MonkeyEvent> describe(QJsonObject charge, QString key);
    void remember(const QStringList& newIds);
};
