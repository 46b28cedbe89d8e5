#include "keychain/Keychain.h"

#include <gtest/gtest.h>

TEST(Keychain, ServiceIsTheApplicationId)
{
    EXPECT_EQ(Keychain::service(), QStringLiteral("com.bonkbell.mac"));
}
