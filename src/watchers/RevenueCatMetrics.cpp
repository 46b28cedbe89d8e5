#include "watchers/RevenueCatMetrics.h"

#include <QJsonArray>
#include <QRegularExpression>

#include <cmath>

using namespace Qt::StringLiterals;

namespace RevenueCatMetrics {

std::optional<Revenue> revenue(const QJsonObject& answer)
{
    const QJsonValue value = answer.value("value"_L1);
    const QJsonValue currency = answer.value("currency"_L1);
    if (!value.isDouble())
        return std::nullopt;
    return Revenue{value.toDouble(), currency.isString() ? currency.toString() : u"USD"_s};
}

std::optional<double> activeSubscriptions(const QJsonObject& answer)
{
    for (const QJsonValue& metric : answer.value("metrics"_L1).toArray()) {
        if (metric.toObject().value("id"_L1) != u"active_subscriptions"_s)
            continue;
        const QJsonValue value = metric.toObject().value("value"_L1);
        return value.isDouble() ? std::optional(value.toDouble()) : std::nullopt;
    }
    return std::nullopt;
}

QStringList projectIds(const QJsonObject& answer)
{
    QStringList ids;
    for (const QJsonValue& item : answer.value("items"_L1).toArray()) {
        const QJsonValue id = item.toObject().value("id"_L1);
        if (id.isString())
            ids.append(id.toString());
    }
    return ids;
}

bool isPlausibleProjectId(const QString& project)
{
    static const QRegularExpression idPattern(u"^[A-Za-z0-9_-]+$"_s);
    return idPattern.match(project).hasMatch();
}

QString utcDay(const QDateTime& at)
{
    return at.toUTC().date().toString(Qt::ISODate);
}

QString headline(double newSubscribers)
{
    const double n = std::round(newSubscribers);
    // Formatted as a double: a count from the service may be far beyond any integer type.
    if (n >= 2)
        return u"%1 new subscribers!"_s.arg(QString::number(n, 'f', 0));
    return n == 1 ? u"New subscriber!"_s : u"New revenue!"_s;
}

QString explain(const APIError& error, bool askedForProjectList)
{
    switch (error.status) {
    case 401:
        return u"RevenueCat didn't accept this key. Check it's a V2 secret key that hasn't been deleted."_s;
    case 403:
        return askedForProjectList
            ? u"This key can't list projects. Enter your project ID instead (from the dashboard address)."_s
            : u"This key needs the \"Charts & metrics → overview: Read\" permission."_s;
    case 404:
        return u"RevenueCat can't find that project ID."_s;
    case 429:
        return u"RevenueCat is rate-limiting this key. Bonkbell will slow down and retry."_s;
    default:
        return u"RevenueCat said: "_s + error.message;
    }
}

} // namespace RevenueCatMetrics
