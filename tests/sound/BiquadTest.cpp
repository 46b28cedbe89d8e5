#include "sound/Biquad.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

void expectFilter(Biquad filter, const std::vector<float>& coefficients, const std::vector<float>& impulseResponse)
{
    const std::vector<float> actual{filter.b0, filter.b1, filter.b2, filter.a1, filter.a2};
    for (size_t i = 0; i < coefficients.size(); ++i)
        EXPECT_NEAR(actual[i], coefficients[i], 1e-6f) << "coefficient " << i;
    for (size_t i = 0; i < impulseResponse.size(); ++i)
        EXPECT_NEAR(filter.run(i == 0 ? 1.0f : 0.0f), impulseResponse[i], 1e-5f) << "output " << i;
}

// At a sixth of the sample rate cos w0 = 1/2 and sin w0 = sqrt 3/2; with q = sqrt 3/2,
// alpha = 1/2 and a0 = 3/2, so every value is a simple fraction.
TEST(Biquad, MatchesHandWorkedValues)
{
    const float sixth = 44100.0f / 6.0f, q = 0.8660254f;
    expectFilter(Biquad::bandpass(sixth, q, 44100.0f), {1.0f / 3, 0, -1.0f / 3, -2.0f / 3, 1.0f / 3}, {1.0f / 3, 2.0f / 9, -8.0f / 27});
    expectFilter(Biquad::highpass(sixth, q, 44100.0f), {0.5f, -1, 0.5f, -2.0f / 3, 1.0f / 3}, {0.5f, -2.0f / 3, -1.0f / 9});
}

} // namespace
