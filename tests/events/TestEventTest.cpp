#include "events/TestEvent.h"

#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;

TEST(TestEvent, EachKindHasItsSampleStampedAsGiven)
{
    const QDateTime at(QDate(2026, 12, 5), QTime(6, 54, 9), Qt::UTC);
    // test is false, not absent: "Show test events" never filters these and the note shows no stamp.
    const auto sample = [](const QString& kind, const QString& headline, const QString& who, const QString& detail) {
        return MonkeyEvent{kind, headline, who, detail, false, u"2026-12-05T06:54:09Z"_s};
    };
    for (const MonkeyEvent& expected : {
             sample(u"sale"_s, u"New sale!"_s, u"Test Monkey (Banana Co.)"_s, u"$49.00 · test slap"_s),
             sample(u"onboarding"_s, u"New signup!"_s, u"Test Monkey (Banana Co.)"_s, u"Just finished signing up"_s),
             sample(u"renewal"_s, u"Renewal!"_s, u"Recurring payment"_s, u"$12.00 CAD"_s)}) {
        const auto event = testEvent(expected.kind, at);
        EXPECT_TRUE(event == expected) << (event ? event->encode() : QByteArray("none")).toStdString();
    }
    EXPECT_FALSE(testEvent(u"summary"_s, at));
}

} // namespace
