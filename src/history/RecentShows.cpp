#include "history/RecentShows.h"

#include "history/StateFile.h"

#include <QJsonArray>
#include <QJsonObject>

using namespace Qt::StringLiterals;

RecentShows::RecentShows(QString file, QObject* parent)
    : QObject(parent)
    , m_file(std::move(file))
{
    load();
}

void RecentShows::add(const Show& show)
{
    m_shows.prepend(show);
    if (m_shows.size() > kept)
        m_shows.resize(kept);
    save();
    Q_EMIT changed();
}

QStringList RecentShows::titles() const
{
    QStringList titles;
    for (const Show& show : m_shows) {
        QStringList parts{show.event.headline};
        for (const auto& part : {show.event.who, show.event.detail})
            if (part && !part->isEmpty())
                parts.append(*part);
        titles.append(show.shownAt.toLocalTime().toString(u"HH:mm"_s) + u"  "_s + parts.join(u" · "_s));
    }
    return titles;
}

void RecentShows::load()
{
    // Entries that do not read back are left out; a hand that does not is the screen's corner,
    // where the note is kept on screen all the same.
    for (const QJsonValue value : StateFile::read(m_file).array()) {
        const QJsonObject entry = value.toObject();
        const QDateTime shownAt = QDateTime::fromString(entry.value("shownAt"_L1).toString(), Qt::ISODateWithMs);
        const auto event = MonkeyEvent::fromJson(entry.value("event"_L1).toObject());
        const QJsonArray hand = entry.value("handAt"_L1).toArray();
        if (shownAt.isValid() && event && m_shows.size() < kept)
            m_shows.append(Show{shownAt, *event, QPointF(hand[0].toDouble(), hand[1].toDouble())});
    }
}

void RecentShows::save() const
{
    QJsonArray shows;
    for (const Show& show : m_shows)
        shows.append(QJsonObject{{"shownAt"_L1, show.shownAt.toUTC().toString(Qt::ISODateWithMs)},
            {"event"_L1, show.event.toJson()}, {"handAt"_L1, QJsonArray{show.handAt.x(), show.handAt.y()}}});
    StateFile::write(m_file, QJsonDocument(shows));
}
