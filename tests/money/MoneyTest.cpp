#include "money/Money.h"

#include <gtest/gtest.h>

TEST(Money, FallsBackToTwoDecimalsAndTheCode)
{
    EXPECT_EQ(formatMoney(19.5, QStringLiteral("xyz")), QStringLiteral("19.50 XYZ"));
}
