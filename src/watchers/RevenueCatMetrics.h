#pragma once

#include "watchers/RequestResult.h"

#include <QDateTime>
#include <QJsonObject>
#include <QStringList>

#include <optional>

// Reading RevenueCat's metrics answers and wording what they mean.
namespace RevenueCatMetrics {

struct Revenue {
    double amount = 0;
    QString currency;
};

// `value` and `currency` ("USD" when missing) of a revenue answer; none without a numeric value,
// which must not pass for a day without revenue.
std::optional<Revenue> revenue(const QJsonObject& answer);

// The value of the "active_subscriptions" metric of an overview answer; none when it has none.
std::optional<double> activeSubscriptions(const QJsonObject& answer);

// The project ids of a projects answer, in order.
QStringList projectIds(const QJsonObject& answer);

// Whether text can be a project id at all: it becomes one path segment of every request.
bool isPlausibleProjectId(const QString& project);

// "yyyy-MM-dd" of the instant in UTC.
QString utcDay(const QDateTime& at);

// "New subscriber!", "3 new subscribers!" or "New revenue!".
QString headline(double newSubscribers);

QString explain(const APIError& error, bool askedForProjectList);

} // namespace RevenueCatMetrics
