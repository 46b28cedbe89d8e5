#pragma once

#include "events/MonkeyEvent.h"
#include "watchers/HttpJson.h"
#include "watchers/RevenueCatMetrics.h"
#include "watchers/Watcher.h"

// Turns growth of a RevenueCat project's revenue today into events. The service reports totals,
// so the watcher keeps a per-UTC-day baseline and announces the difference, polling every 60 s.
class RevenueCatWatcher final : public Watcher {
    Q_OBJECT
public:
    using Revenue = RevenueCatMetrics::Revenue;

    static constexpr double normalSeconds = 60.0;
    // Growth smaller than a hundredth of the currency unit is not worth a show.
    static constexpr double minimumGrowth = 0.01;

    static QString keychainAccount();
    // BONKBELL_RC_BASE when set, else the public API.
    static QUrl defaultBase();
    static QUrl dashboardURL();

    RevenueCatWatcher(WatcherServices services, bool autostart = true, QObject* parent = nullptr);

    QString project() const;
    void setProject(const QString& project);

    // Checks the key (finding the project when none is given) and stores it. None on success.
    QCoro::Task<std::optional<QString>> connect(QString keyText, QString projectText);

    QCoro::Task<RequestResult<Revenue>> revenue(QString day, QString project, QString key);
    QCoro::Task<RequestResult<double>> activeSubscriptions(QString project, QString key);

    // A day's revenue and the active subscriptions now, fetched one after the other.
    struct Snapshot {
        Revenue revenue;
        double subscriptions = 0;
    };
    QCoro::Task<RequestResult<Snapshot>> snapshot(QString day, QString project, QString key);

protected:
    QCoro::Task<> pollOnce(PollTicket ticket) override;

private:
    QCoro::Task<RequestResult<QJsonObject>> get(const QString& path, const StringMap& query, const QString& key);
    QCoro::Task<RequestResult<QString>> discoverProject(QString key);
    // Compares the day's amount with the stored baseline and announces growth.
    void announceGrowth(const Revenue& today, double subscriptionsNow);
    // False when the growth could not be queued.
    bool announceLateGrowth(const Revenue& yesterday);
    bool announce(const QString& headline, const Revenue& total, double before, const QString& day);
    void record(const RequestError& error);
    static QString failureMessage(const RequestError& error, bool askedForProjectList);
};
