#include "events/MonkeyEvent.h"

#include "events/InternetDateTime.h"
#include "support/Log.h"

#include <QJsonDocument>
#include <QJsonValue>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// An optional string field: absent or null is none, a string is kept, anything else fails.
bool readOptionalString(const QJsonObject& object, QLatin1StringView key, std::optional<QString>& out)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isString())
        return false;
    out = value.toString();
    return true;
}

bool readOptionalBool(const QJsonObject& object, QLatin1StringView key, std::optional<bool>& out)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isBool())
        return false;
    out = value.toBool();
    return true;
}

// An optional amount: a finite number, or absent or null.
bool readOptionalAmount(const QJsonObject& object, QLatin1StringView key, std::optional<double>& out)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isDouble() || !std::isfinite(value.toDouble()))
        return false;
    out = value.toDouble();
    return true;
}

} // namespace

bool MonkeyEvent::isMoney() const
{
    return kind != u"onboarding" && kind != u"summary";
}

std::optional<QDateTime> MonkeyEvent::date() const
{
    if (!at)
        return std::nullopt;
    return parseInternetDateTime(*at);
}

MonkeyEvent MonkeyEvent::now(QString kind, QString headline, std::optional<QString> who, std::optional<QString> detail,
    bool test, const QDateTime& at)
{
    return MonkeyEvent{std::move(kind), std::move(headline), std::move(who), std::move(detail), test, isoStamp(at)};
}

std::optional<MonkeyEvent> MonkeyEvent::decode(const QByteArray& json)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return fromJson(document.object());
}

std::optional<MonkeyEvent> MonkeyEvent::fromJson(const QJsonObject& object)
{
    const QJsonValue kind = object.value("kind"_L1);
    const QJsonValue headline = object.value("headline"_L1);
    if (!kind.isString() || !headline.isString())
        return std::nullopt;
    MonkeyEvent event{kind.toString(), headline.toString(), {}, {}, {}, {}};
    if (!readOptionalString(object, "who"_L1, event.who) || !readOptionalString(object, "detail"_L1, event.detail)
        || !readOptionalString(object, "at"_L1, event.at) || !readOptionalBool(object, "test"_L1, event.test)
        || !readOptionalAmount(object, "amount"_L1, event.amount)
        || !readOptionalString(object, "currency"_L1, event.currency))
        return std::nullopt;
    return event;
}

QJsonObject MonkeyEvent::toJson() const
{
    QJsonObject object{{"kind"_L1, kind}, {"headline"_L1, headline}};
    if (who)
        object.insert("who"_L1, *who);
    if (detail)
        object.insert("detail"_L1, *detail);
    if (test)
        object.insert("test"_L1, *test);
    if (at)
        object.insert("at"_L1, *at);
    if (amount)
        object.insert("amount"_L1, *amount);
    if (currency)
        object.insert("currency"_L1, *currency);
    return object;
}

QByteArray MonkeyEvent::encode() const
{
    return QJsonDocument(toJson()).toJson(QJsonDocument::Compact);
}
