#include "events/MonkeyEvent.h"
#include "common/QtPrinters.h"
#include "events/TestEvent.h"

#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;

TEST(MonkeyEventDecoding, AcceptsWellTypedObjectsAndRejectsAnyViolationWhole)
{
    const auto decode = [](const char* json) { return MonkeyEvent::decode(QByteArray(json)); };
    for (const char* json : {R"({"kind":"tapdance","headline":""})",
             R"({"kind":"s","headline":"h","who":null,"detail":null,"test":null,"at":null})",
             R"({"kind":"sale","headline":"h","who":"w","detail":"d","test":true,"at":"2026-12-05T06:54:09Z"})",
             R"({"kind":"sale","headline":"h","extra":[1,2],"Kind":5})",
             R"({"kind":"sale","headline":"h","amount":49.5,"currency":"eur"})"})
        EXPECT_TRUE(decode(json).has_value()) << json;
    for (const char* json : {R"({"kind":"sale"})", R"({"headline":"h"})", R"({"kind":null,"headline":"h"})",
             R"({"kind":"sale","headline":7})", R"({"kind":"sale","headline":"h","test":"true"})",
             R"({"kind":"sale","headline":"h","test":1})", R"({"kind":"sale","headline":"h","who":42})",
             R"({"kind":"sale","headline":"h","at":1733381649})", R"([{"kind":"sale","headline":"h"}])", R"("sale")",
             R"({"kind":"sale","headline":"h"} trailing)", R"({"kind":"sale","headline":"h")", "",
             R"({"kind":"sale","headline":"h","amount":"49.50"})", R"({"kind":"sale","headline":"h","currency":978})"})
        EXPECT_FALSE(decode(json).has_value()) << json;
    // Null means absent; values are kept as given.
    const auto event
        = decode(R"({"kind":"sale","headline":"  New sale!  ","who":null,"detail":"$5","test":false,"at":null})");
    ASSERT_TRUE(event);
    EXPECT_EQ(*event, (MonkeyEvent{u"sale"_s, u"  New sale!  "_s, {}, u"$5"_s, false, {}}));
    EXPECT_FALSE(event->isTest());
}

TEST(MonkeyEventFields,
    DatesParseWithAZoneKindsAreMoneyUnlessOnboardingOrSummaryEncodingRoundTripsAndTestEventsAreSamples)
{
    const QDateTime expected(QDate(2026, 12, 5), QTime(6, 54, 9), Qt::UTC);
    const auto dateOf = [](const char* at) {
        return MonkeyEvent{u"sale"_s, u"h"_s, {}, {}, {}, QString::fromLatin1(at)}.date();
    };
    for (const auto& [at, ms] :
        {std::pair("2026-12-05T06:54:09Z", 0), {"2026-12-05T08:54:09+02:00", 0}, {"2026-12-04T23:24:09-07:30", 0},
            {"2026-12-05T06:54:09.25Z", 250}, {"2026-12-05T06:54:09.123456789Z", 123}})
        EXPECT_EQ(dateOf(at), expected.addMSecs(ms)) << at;
    for (const char* bad : {"2026-12-05", "2026-12-05 06:54:09Z", "2026-12-05T06:54:09", "yesterday",
             "2026-12-05T06:54:09+0200", "2026-13-05T06:54:09Z", "2026-02-30T06:54:09Z", "2026-12-05T24:00:00Z",
             "2026-12-05T06:54:09.Z", "2026-12-05T06:54:09Zjunk", "2026-12-05t06:54:09z", ""})
        EXPECT_FALSE(dateOf(bad).has_value()) << bad;
    EXPECT_FALSE(MonkeyEvent{}.date().has_value());
    for (const auto& [kind, money] : {std::pair("sale", true), {"mobile_renewal", true}, {"whatever", true},
             {"Onboarding", true}, {"SUMMARY", true}, {"onboarding", false}, {"summary", false}})
        EXPECT_EQ((MonkeyEvent{QString::fromLatin1(kind), {}, {}, {}, {}, {}}.isMoney()), money) << kind;
    // Encoding omits absent fields and round-trips.
    EXPECT_EQ((MonkeyEvent{u"sale"_s, u"h"_s, {}, {}, {}, {}}.encode()), R"({"headline":"h","kind":"sale"})");
    const QDateTime at(QDate(2026, 12, 5), QTime(6, 54, 9, 700), Qt::UTC);
    const MonkeyEvent stamped = MonkeyEvent::now(
        u"sale"_s, u"New sale!"_s, u"Test Monkey (Banana Co.)"_s, u"$49.00 · test slap"_s, false, at);
    EXPECT_EQ(stamped.at, u"2026-12-05T06:54:09Z"_s);
    const QByteArray json = stamped.encode();
    EXPECT_TRUE(json.contains("\"test\":false")) << json.constData();
    EXPECT_FALSE(json.contains('\n'));
    EXPECT_EQ(MonkeyEvent::decode(json), stamped);
    MonkeyEvent priced = stamped;
    priced.amount = 49.5;
    priced.currency = u"eur"_s;
    EXPECT_EQ(MonkeyEvent::decode(priced.encode()), priced);
    // Each kind of test event has its sample, stamped as given.
    const char* const samples[][4] = {{"sale", "New sale!", "Test Monkey (Banana Co.)", "$49.00 · test slap"},
        {"onboarding", "New signup!", "Test Monkey (Banana Co.)", "Just finished signing up"},
        {"renewal", "Renewal!", "Recurring payment", "$12.00 CAD"}};
    for (const auto& [kind, headline, who, detail] : samples) {
        // test is false, not absent: "Show test events" never filters these and the note shows no stamp.
        const MonkeyEvent sample{
            kind, headline, QString::fromUtf8(who), QString::fromUtf8(detail), false, u"2026-12-05T06:54:09Z"_s};
        EXPECT_TRUE(testEvent(sample.kind, expected) == sample) << kind;
    }
    EXPECT_FALSE(testEvent(u"summary"_s, expected));
}

} // namespace
