#include "common/StripeStandIn.h"

#include <QJsonArray>
#include <QJsonDocument>

using namespace Qt::StringLiterals;
using namespace StripeAnswers;

StripeStandIn::StripeStandIn(LoopbackServer& server)
    : m_server(server)
{
    serve();
    server.route(u"/v1/invoices"_s, 200, R"({"object":"list","data":[],"has_more":false,"url":"/v1/invoices"})");
}

namespace StripeAnswers {

QJsonObject with(QJsonObject object, const QJsonObject& changes)
{
    for (auto it = changes.begin(); it != changes.end(); ++it)
        object.insert(it.key(), it.value());
    return object;
}

QByteArray json(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// The published example itself is only authorised, never captured.
QJsonObject charge(const QString& id, qint64 created, const QJsonObject& changes)
{
    static const QJsonObject published = LoopbackServer::published(u"stripe-2024-06-20"_s, u"charge"_s);
    const QJsonObject sale{{"id"_L1, id}, {"created"_L1, created}, {"amount"_L1, 1999}, {"amount_captured"_L1, 1999},
        {"captured"_L1, true}, {"livemode"_L1, true}, {"description"_L1, QJsonValue()},
        {"billing_details"_L1, QJsonObject{{"name"_L1, u"Jane "_s + id}, {"email"_L1, QJsonValue()}}}};
    return with(with(published, sale), changes);
}

} // namespace StripeAnswers

QList<QJsonObject>& StripeStandIn::chargesOf(const LoopbackServer::Request& request)
{
    const QByteArray key = request.headers.value("authorization").mid(7); // after "Bearer "
    return accounts.contains(key) ? accounts[key] : charges;
}

void StripeStandIn::serve()
{
    m_server.route(u"/v1/charges"_s, [this](const LoopbackServer::Request& request) {
        if (const QByteArray key = request.headers.value("authorization").mid(7); faults.contains(key))
            return faults.value(key);
        const QList<QJsonObject>& charges = chargesOf(request);
        const qint64 since = request.query.value(u"created[gte]"_s).toLongLong();
        const QString after = request.query.value(u"starting_after"_s);
        QJsonArray page;
        bool started = after.isEmpty(), more = false;
        for (const QJsonObject& c : std::as_const(charges)) {
            if (c.value("created"_L1).toInteger() < since)
                continue;
            if (!started) {
                started = c.value("id"_L1).toString() == after;
                continue;
            }
            if (page.size() == request.query.value(u"limit"_s).toInt()) {
                more = true;
                break;
            }
            page.append(c);
        }
        return LoopbackServer::Response{200,
            json({{"object"_L1, u"list"_s}, {"data"_L1, page}, {"has_more"_L1, more}, {"url"_L1, u"/v1/charges"_s}})};
    });
    m_server.route(u"/v1/charges/"_s, [this](const LoopbackServer::Request& request) {
        for (const QJsonObject& c : std::as_const(chargesOf(request)))
            if (u"/v1/charges/"_s + c.value("id"_L1).toString() == request.path)
                return LoopbackServer::Response{200, json(c)};
        return LoopbackServer::Response{
            404, R"({"error":{"code":"resource_missing","message":"No such charge","type":"invalid_request_error"}})"};
    });
}
