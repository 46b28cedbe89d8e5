#include "layers/Spring.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

TEST(Spring, UnderdampedOvershootsOthersDoNotAndEveryRegimeStartsAtItsVelocity)
{
    const Spring spring(1, 26, 6.2);
    EXPECT_EQ(spring.valueAt(0), 0);
    // The last moment it is 0.1% out, by a fine independent scan.
    const double settling = spring.settlingDuration();
    EXPECT_NEAR(settling, 2.0016, 0.002);
    EXPECT_GT(std::abs(1 - spring.valueAt(settling - 0.005)), Spring::settleEpsilon);
    double highest = 0;
    for (double t = 0; t < 3 * settling; t += 0.001) {
        highest = std::max(highest, spring.valueAt(t));
        if (t >= settling)
            ASSERT_LE(std::abs(1 - spring.valueAt(t)), Spring::settleEpsilon) << t;
    }
    EXPECT_GT(highest, 1.05);
    // Critically damped and overdamped springs approach without overshoot.
    for (const auto& [damped, expected] : {std::pair(Spring(1, 100, 20), 0.92334), std::pair(Spring(1, 100, 50), 3.331)}) {
        EXPECT_NEAR(damped.settlingDuration(), expected, 0.002);
        for (double t = 0.01, previous = 0; t < 5; previous = damped.valueAt(t), t += 0.01) {
            ASSERT_TRUE(std::isfinite(damped.valueAt(t)));
            ASSERT_GE(damped.valueAt(t), previous);
            ASSERT_LE(damped.valueAt(t), 1);
        }
        EXPECT_NEAR(damped.valueAt(damped.settlingDuration()), 1 - Spring::settleEpsilon, 1e-6);
    }
    EXPECT_TRUE(std::isinf(Spring(1, 100, 0).settlingDuration()));
    // The initial velocity is the starting slope in every regime: each form sets its coefficients
    // from it separately.
    for (double damping : {6.2, 2 * std::sqrt(26.0), 30.0}) {
        const Spring kicked(1, 26, damping, 3);
        const double h = 1e-6;
        EXPECT_NEAR(kicked.valueAt(h) / h, 3, 1e-3) << damping;
        EXPECT_NEAR(kicked.valueAt(kicked.settlingDuration() + 1), 1, Spring::settleEpsilon) << damping;
    }
}

} // namespace
