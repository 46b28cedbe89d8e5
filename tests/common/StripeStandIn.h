#pragma once

#include "common/LoopbackServer.h"

#include <QJsonObject>
#include <QList>

// Stripe's charges on a loopback server, answered as the service does: newest first, listed
// from created[gte] in pages of `limit` after `starting_after`, each retrievable by its id, with
// every field a real answer carries. Invoices list empty unless a test routes one.
class StripeStandIn {
public:
    explicit StripeStandIn(LoopbackServer& server);

    // Newest first, as the service keeps them.
    QList<QJsonObject> charges;

    // A succeeded, paid charge captured in full, with `changes` set.
    static QJsonObject charge(const QString& id, qint64 created, const QJsonObject& changes = {});
    // `object` with each of `changes` set.
    static QJsonObject with(QJsonObject object, const QJsonObject& changes);
    static QByteArray json(const QJsonObject& object);

    void serve();

private:
    LoopbackServer& m_server;
};
