#pragma once

#include "common/LoopbackServer.h"

// Stripe's answers, as the service words them.
namespace StripeAnswers {
// A succeeded, paid charge captured in full, with every field a real one carries and `changes` set.
QJsonObject charge(const QString& id, qint64 created, const QJsonObject& changes = {});
QJsonObject with(QJsonObject object, const QJsonObject& changes);
QByteArray json(const QJsonObject& object);
} // namespace StripeAnswers

// Stripe's charges on a loopback server, answered as the service does: newest first, listed
// from created[gte] in pages of `limit` after `starting_after`, each retrievable by its id.
// Invoices list empty unless a test routes one. Several accounts at once: a request is answered
// from the account of the key it carries.
class StripeStandIn {
public:
    explicit StripeStandIn(LoopbackServer& server);

    QList<QJsonObject> charges;
    // Other accounts' charges, by key; a key not here is answered from `charges`.
    QMap<QByteArray, QList<QJsonObject>> accounts;
    // An account's trouble, by key: answered instead of its charges.
    QMap<QByteArray, LoopbackServer::Response> faults;

    void serve();

private:
    QList<QJsonObject>& chargesOf(const LoopbackServer::Request& request);
    LoopbackServer& m_server;
};
