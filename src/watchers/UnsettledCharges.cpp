#include "watchers/UnsettledCharges.h"

#include "watchers/StripeCharge.h"

#include <algorithm>

using namespace Qt::StringLiterals;

UnsettledCharges::UnsettledCharges(const QStringList& stored)
{
    for (const QString& text : stored) {
        const QStringList parts = text.split(u' ');
        bool createdOk = false, lookedOk = false;
        Entry entry{parts.value(0), parts.value(1).toLongLong(&createdOk), parts.value(2).toLongLong(&lookedOk)};
        if (parts.size() == 3 && StripeCharge::isPlainId(entry.id) && createdOk && lookedOk)
            m_entries.append(entry);
    }
}

QStringList UnsettledCharges::stored() const
{
    QStringList texts;
    for (const Entry& entry : m_entries)
        texts.append(u"%1 %2 %3"_s.arg(entry.id).arg(entry.created).arg(entry.lookedAt));
    return texts;
}

QStringList UnsettledCharges::takeDue(const QSet<QString>& listed, qint64 now)
{
    m_entries.removeIf([now](const Entry& entry) { return now - entry.created > maxAgeSeconds; });
    QList<Entry*> due;
    for (Entry& entry : m_entries) {
        if (!listed.contains(entry.id) && now - entry.lookedAt >= lookAgainSeconds)
            due.append(&entry);
    }
    std::stable_sort(due.begin(), due.end(), [](const Entry* a, const Entry* b) { return a->lookedAt < b->lookedAt; });
    QStringList ids;
    for (Entry* entry : due.mid(0, maxLooksPerPoll)) {
        entry->lookedAt = now;
        ids.append(entry->id);
    }
    return ids;
}

void UnsettledCharges::update(const QJsonObject& charge, qint64 now)
{
    const QString id = charge.value("id"_L1).toString();
    const auto known
        = std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry& entry) { return entry.id == id; });
    if (!StripeCharge::mayStillSettle(charge)) {
        if (known != m_entries.end())
            m_entries.erase(known);
        return;
    }
    if (known != m_entries.end()) {
        known->lookedAt = now;
        return;
    }
    // Only the service's plain ids are kept (one checked on the way in, not for every listing).
    if (!StripeCharge::isPlainId(id))
        return;
    m_entries.append(Entry{id, StripeCharge::created(charge), now});
    // Beyond the limit the oldest charges, the least likely still to settle, go first.
    std::stable_sort(
        m_entries.begin(), m_entries.end(), [](const Entry& a, const Entry& b) { return a.created < b.created; });
    if (m_entries.size() > limit)
        m_entries.remove(0, m_entries.size() - limit);
}

void UnsettledCharges::forget(const QString& id)
{
    m_entries.removeIf([&](const Entry& entry) { return entry.id == id; });
}
