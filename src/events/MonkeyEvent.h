#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <optional>

// The one record every event source hands to the playback queue. A plain value.
struct MonkeyEvent {
    QString kind;
    QString headline;
    std::optional<QString> who;
    std::optional<QString> detail;
    std::optional<bool> test;
    std::optional<QString> at;
    // The money itself, when the source knows it: in currency units, with an ISO 4217 code. Lets
    // a note that sums many events say how much they came to.
    std::optional<double> amount = std::nullopt;
    std::optional<QString> currency = std::nullopt;

    bool isTest() const { return test.value_or(false); }
    // Everything but the two kinds that carry no money, compared case-sensitively.
    bool isMoney() const;
    // The instant `at` names, when it is an RFC 3339 date-time with a zone.
    std::optional<QDateTime> date() const;

    // An event stamped with `at` (the current time unless given); "test" is always present.
    static MonkeyEvent now(QString kind, QString headline, std::optional<QString> who = std::nullopt,
        std::optional<QString> detail = std::nullopt, bool test = false,
        const QDateTime& at = QDateTime::currentDateTimeUtc());

    // Strict decoding of one JSON object; none on any violation (no partial event).
    static std::optional<MonkeyEvent> decode(const QByteArray& json);
    static std::optional<MonkeyEvent> fromJson(const QJsonObject& object);

    // Compact JSON; absent fields are left out, never written as null.
    QByteArray encode() const;
    QJsonObject toJson() const;

    bool operator==(const MonkeyEvent&) const = default;

    // How the detail of RevenueCat's growth events begins ("RevenueCat · $129.99 today"): the
    // day's takings keep its figure apart from single sales by it.
    static constexpr QStringView revenueCatDetail = u"RevenueCat · ";
};
