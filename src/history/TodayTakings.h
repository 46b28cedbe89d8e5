#pragma once

#include "events/MonkeyEvent.h"

#include <QDate>
#include <QList>
#include <QObject>
#include <QSet>
#include <QStringList>

class Scheduler;

// Today's takings for the tray: sales and renewals counted as they reach the queue (a burst's
// folded ones too), each once by its inbox file even when a crash delivers it again, summed per
// currency; RevenueCat's growth apart, as the service reports it; test events never. Kept in a
// file for today only, and started afresh at local midnight.
class TodayTakings : public QObject {
    Q_OBJECT
public:
    TodayTakings(QString file, Scheduler& scheduler, QObject* parent = nullptr);

    // `files[i]` names events[i]. Events made before today's local midnight belong to a day
    // whose total is gone, and are not counted.
    void count(const QList<MonkeyEvent>& events, const QStringList& files);

    // "Today: $1,234.00 · 12 sales" per currency, then "RevenueCat today: +$59.98"; none
    // before the first sale of the day.
    QStringList lines() const;

Q_SIGNALS:
    // After a count and at midnight.
    void changed();

private:
    struct Counted {
        QString name;
        QString kind;
        QString currency; // upper case; empty when the event named no money
        double amount = 0;
        bool revenueCat = false;
    };

    static std::optional<Counted> counted(const MonkeyEvent& event, const QString& name);
    QDate today() const;
    void startDay();
    void scheduleMidnight();
    void load();
    void save() const;

    QString m_file;
    Scheduler& m_scheduler;
    QDate m_day;
    QList<Counted> m_counted;
    QSet<QString> m_names;
};
