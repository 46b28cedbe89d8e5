#include "sound/Sounds.h"
#include "sound/Biquad.h"

#include <QtEndian>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

float peakOf(const std::vector<float>& samples)
{
    return std::abs(*std::ranges::max_element(samples, {}, [](float a) { return std::abs(a); }));
}

// A slap lasts 180 ms, silent at both ends, peaking just under full scale; each take its own and always
// the same. A pop is shorter, also faded at both ends.
TEST(Sounds, SlapTakesAreDistinctThePopIsShortAndTheWavIsMonoPcmClippedAndTruncatedTowardZero)
{
    std::vector<std::vector<float>> takes;
    for (int take = 0; take < Sounds::slapTakeCount; ++take) {
        const std::vector<float> samples = Sounds::slapSamples(take);
        ASSERT_EQ(samples.size(), 7938u) << "take " << take;
        EXPECT_EQ(peakOf(samples), 0.92f) << "take " << take;
        EXPECT_EQ(std::pair(samples.front(), samples.back()), std::pair(0.0f, 0.0f)) << "take " << take;
        EXPECT_EQ(Sounds::slapSamples(take), samples) << "take " << take;
        for (const auto& other : takes)
            EXPECT_NE(other, samples) << "take " << take;
        takes.push_back(samples);
    }
    EXPECT_EQ(Sounds::slapSamples(5), takes[1]);
    const std::vector<float> pop = Sounds::popSamples();
    EXPECT_LT(pop.size(), 4410u);
    EXPECT_NEAR(peakOf(pop), 0.9f, 1e-6f);
    EXPECT_EQ(std::pair(pop.front(), pop.back()), std::pair(0.0f, 0.0f));
    // The WAV: a header for mono PCM, then the samples clipped and truncated toward zero.
    const QByteArray wav = Sounds::wav({1.0f, 1.5f, -2.0f, 0.5f, -0.5f, 0.00002f, -0.99999f});
    // RIFF, 50, WAVE, "fmt ", 16, PCM, mono, 44100 Hz, 88200 bytes/s, 2 bytes/frame, 16 bits, data, 14.
    EXPECT_EQ(wav.left(44).toHex(),
        "524946463200000057415645666d7420100000000100010044ac0000"
        "885801000200100064617461"
        "0e000000");
    const std::vector<qint16> expected{32767, 32767, -32767, 16383, -16383, 0, -32766};
    ASSERT_EQ(wav.size(), 44 + 14);
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(qFromLittleEndian<qint16>(wav.constData() + 44 + 2 * i), expected[i]) << "sample " << i;
}

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
    expectFilter(Biquad::bandpass(sixth, q, 44100.0f), {1.0f / 3, 0, -1.0f / 3, -2.0f / 3, 1.0f / 3},
        {1.0f / 3, 2.0f / 9, -8.0f / 27});
    expectFilter(
        Biquad::highpass(sixth, q, 44100.0f), {0.5f, -1, 0.5f, -2.0f / 3, 1.0f / 3}, {0.5f, -2.0f / 3, -1.0f / 9});
}

} // namespace
