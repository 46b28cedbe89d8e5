#include "events/TestEvent.h"

#include <gtest/gtest.h>

namespace {

TEST(TestEvent, EachKindHasItsSampleStampedAsGiven)
{
    const QDateTime at(QDate(2026, 12, 5), QTime(6, 54, 9), Qt::UTC);
    const char* const samples[][4] = {{"sale", "New sale!", "Test Monkey (Banana Co.)", "$49.00 · test slap"},
        {"onboarding", "New signup!", "Test Monkey (Banana Co.)", "Just finished signing up"},
        {"renewal", "Renewal!", "Recurring payment", "$12.00 CAD"}};
    for (const auto& [kind, headline, who, detail] : samples) {
        // test is false, not absent: "Show test events" never filters these and the note shows no stamp.
        const MonkeyEvent expected{kind, headline, QString::fromUtf8(who), QString::fromUtf8(detail), false,
            QStringLiteral("2026-12-05T06:54:09Z")};
        EXPECT_TRUE(testEvent(expected.kind, at) == expected) << kind;
    }
    EXPECT_FALSE(testEvent(QStringLiteral("summary"), at));
}

} // namespace
