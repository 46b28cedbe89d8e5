#pragma once

#include <QJsonObject>
#include <QList>
#include <QSet>
#include <QStringList>

// Charges that may still become sales: bank debits still pending and payments authorised but not
// captured yet. Newer charges soon push them out of the listing, so they are kept (in the
// preferences, as "id created lastLook" texts) and looked up again now and then until they settle.
class UnsettledCharges {
public:
    static constexpr int limit = 100;
    // Bank debits settle within days; uncaptured payments expire after 7.
    static constexpr qint64 maxAgeSeconds = 30 * 86400;
    static constexpr qint64 lookAgainSeconds = 300;
    static constexpr int maxLooksPerPoll = 3;

    explicit UnsettledCharges(const QStringList& stored);
    QStringList stored() const;
    bool isEmpty() const { return m_entries.isEmpty(); }

    // Up to maxLooksPerPoll ids to look up again (none of `listed`, none looked at in the last
    // lookAgainSeconds), least recently looked at first; they count as looked at from now.
    QStringList takeDue(const QSet<QString>& listed, qint64 now);
    // What a fresh copy of a charge says: kept while it may still become a sale, else forgotten.
    void update(const QJsonObject& charge, qint64 now);
    void forget(const QString& id);

private:
    struct Entry {
        QString id;
        qint64 created = 0;
        qint64 lookedAt = 0;
    };
    QList<Entry> m_entries;
};
