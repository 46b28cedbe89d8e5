#include "layers/TimingFunction.h"

#include <gtest/gtest.h>

namespace {

// Values from an independent dense bisection on the Bernstein form; every curve runs from 0 to 1
// without going back, and holds its ends outside [0, 1].
TEST(TimingFunction, NamedAndCustomCurvesMatchReferenceValuesAlsoNearTheEndsOfFlatAndSteepCurves)
{
    const struct { TimingFunction curve; double at25, at50, at75; } references[] = {
        {TimingFunction::easeIn(), 0.0934647, 0.3153568, 0.6218619},
        {TimingFunction::easeOut(), 0.3781381, 0.6846432, 0.9065353},
        {TimingFunction::easeInEaseOut(), 0.1291619, 0.5, 0.8708381},
        {TimingFunction(0.35, 0, 0.25, 1), 0.2635031, 0.7602275, 0.9546166},
    };
    for (const auto& [curve, at25, at50, at75] : references) {
        EXPECT_EQ(curve.valueAt(0), 0);
        EXPECT_NEAR(curve.valueAt(0.25), at25, 1e-6);
        EXPECT_NEAR(curve.valueAt(0.5), at50, 1e-6);
        EXPECT_NEAR(curve.valueAt(0.75), at75, 1e-6);
        EXPECT_NEAR(curve.valueAt(1), 1, 1e-12);
        EXPECT_EQ(curve.valueAt(-0.5), curve.valueAt(0));
        EXPECT_EQ(curve.valueAt(1.5), curve.valueAt(1));
        for (int i = 1; i <= 1000; ++i)
            ASSERT_GE(curve.valueAt(i / 1000.0), curve.valueAt((i - 1) / 1000.0)) << i;
    }
    EXPECT_TRUE(TimingFunction::linear().isLinear());
    EXPECT_EQ(TimingFunction::linear().valueAt(0.3), 0.3);
    EXPECT_EQ(TimingFunction(0.2, 0.2, 0.7, 0.7).valueAt(0.3), 0.3);
    // Where x'(t) vanishes at an end (control x at 0 or 1) Newton stalls; the point on the curve
    // at parameter t must still come back from its x.
    const double controls[][4] = {{0, 1, 1, 0}, {0, 0, 1, 1.0001}, {0.9, 0.1, 1, 0}, {0, 0.8, 0.1, 1}};
    for (const auto& c : controls) {
        const TimingFunction curve(c[0], c[1], c[2], c[3]);
        for (double t : {1e-7, 1e-4, 0.01, 0.3, 0.7, 0.99, 0.9999, 1 - 1e-7}) {
            const double u = 1 - t;
            const double x = 3 * u * u * t * c[0] + 3 * u * t * t * c[2] + t * t * t;
            const double y = 3 * u * u * t * c[1] + 3 * u * t * t * c[3] + t * t * t;
            EXPECT_NEAR(curve.valueAt(x), y, 1e-6) << "curve " << c[0] << ' ' << c[1] << ' ' << c[2] << ' ' << c[3] << " at t=" << t;
        }
    }
}

} // namespace
