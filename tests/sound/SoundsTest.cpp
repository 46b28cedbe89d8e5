#include "sound/Sounds.h"

#include <QtEndian>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

float peakOf(const std::vector<float>& samples) { return std::abs(*std::ranges::max_element(samples, {}, [](float a) { return std::abs(a); })); }

// A slap lasts 180 ms, silent at both ends, peaking just under full scale; each take its own and always
// the same. A pop is shorter, also faded at both ends.
TEST(Sounds, SlapTakesAreDistinctThePopIsShortAndTheWavIsMonoPcmClippedAndTruncatedTowardZero)
{
    std::vector<std::vector<float>> takes;
    for (int take = 0; take < Sounds::slapTakeCount; ++take) {
        const std::vector<float> samples = Sounds::slapSamples(take);
        ASSERT_EQ(samples.size(), 7938u) << "take " << take;
        EXPECT_EQ(peakOf(samples), 0.92f) << "take " << take;
        EXPECT_EQ(samples.front(), 0.0f) << "take " << take;
        EXPECT_EQ(samples.back(), 0.0f) << "take " << take;
        EXPECT_EQ(Sounds::slapSamples(take), samples) << "take " << take;
        for (const auto& other : takes)
            EXPECT_NE(other, samples) << "take " << take;
        takes.push_back(samples);
    }
    EXPECT_EQ(Sounds::slapSamples(5), takes[1]);
    const std::vector<float> pop = Sounds::popSamples();
    EXPECT_LT(pop.size(), 4410u);
    EXPECT_NEAR(peakOf(pop), 0.9f, 1e-6f);
    EXPECT_EQ(pop.front(), 0.0f);
    EXPECT_EQ(pop.back(), 0.0f);
    // The WAV: a header for mono PCM, then the samples clipped and truncated toward zero.
    const QByteArray wav = Sounds::wav({1.0f, 1.5f, -2.0f, 0.5f, -0.5f, 0.00002f, -0.99999f});
    // RIFF, 50, WAVE, "fmt ", 16, PCM, mono, 44100 Hz, 88200 bytes/s, 2 bytes/frame, 16 bits, data, 14.
    EXPECT_EQ(wav.left(44).toHex(), "524946463200000057415645666d7420100000000100010044ac0000"
                                     "885801000200100064617461" "0e000000");
    const std::vector<qint16> expected{32767, 32767, -32767, 16383, -16383, 0, -32766};
    ASSERT_EQ(wav.size(), 44 + 14);
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(qFromLittleEndian<qint16>(wav.constData() + 44 + 2 * i), expected[i]) << "sample " << i;
}

} // namespace
