#pragma once

#include "events/MonkeyEvent.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QStringList>

// The last notes shown, newest first, for the tray's Recent submenu: each with when it was shown
// and where the hand was, so it can be shown there again. Kept in a file across restarts; a
// damaged file starts the list afresh.
class RecentShows : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype kept = 10;

    struct Show {
        QDateTime shownAt;
        MonkeyEvent event;
        QPointF handAt;
    };

    explicit RecentShows(QString file, QObject* parent = nullptr);

    void add(const Show& show);
    const QList<Show>& shows() const { return m_shows; }
    // One per show: "14:05  New sale! · Jane · $49.00", in local time.
    QStringList titles() const;

Q_SIGNALS:
    void changed();

private:
    void load();
    void save() const;

    QString m_file;
    QList<Show> m_shows;
};
