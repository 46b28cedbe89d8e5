#include "sound/Sounds.h"

#include <QCryptographicHash>
#include <QtEndian>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

float peakOf(const std::vector<float>& samples)
{
    return std::abs(*std::max_element(samples.begin(), samples.end(), [](float a, float b) { return std::abs(a) < std::abs(b); }));
}

TEST(SlapSamples, EveryTakeIsShapedAlike)
{
    for (int take = 0; take < Sounds::slapTakeCount; ++take) {
        const std::vector<float> samples = Sounds::slapSamples(take);
        ASSERT_EQ(samples.size(), 7938u) << "take " << take;
        EXPECT_EQ(peakOf(samples), 0.92f) << "take " << take;
        EXPECT_EQ(samples.front(), 0.0f) << "take " << take;
        EXPECT_EQ(samples.back(), 0.0f) << "take " << take;
    }
}

TEST(SlapSamples, EachTakeIsReproducibleAndDistinct)
{
    std::vector<std::vector<float>> takes;
    for (int take = 0; take < Sounds::slapTakeCount; ++take) {
        takes.push_back(Sounds::slapSamples(take));
        EXPECT_EQ(Sounds::slapSamples(take), takes.back()) << "take " << take;
        for (int other = 0; other < take; ++other)
            EXPECT_NE(takes[other], takes.back()) << "takes " << other << " and " << take;
    }
    EXPECT_EQ(Sounds::slapSamples(5), takes[1]);
}

// Pins the arithmetic: any change in the noise, the filters, the envelopes or their order shows.
TEST(SlapSamples, TakeZeroIsExactlyAsBefore)
{
    const std::vector<float> samples = Sounds::slapSamples(0);
    EXPECT_EQ(samples[1], 0x1.a09c5p-6f); // 0.0254279
    EXPECT_EQ(samples[100], 0x1.960bd4p-1f); // 0.793059
    EXPECT_EQ(samples[700], 0x1.70ef6p-2f); // 0.360288, after the second hit begins
    EXPECT_EQ(samples[3000], 0x1.ba8a1cp-9f); // 0.00337631
    const QByteArrayView bytes(reinterpret_cast<const char*>(samples.data()), qsizetype(samples.size() * sizeof(float)));
    EXPECT_EQ(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex(),
        "f1c3a64a1d053f5efec0b505e2da7c04e5089ae23028a4f8a73c36930bb45e67");
}

TEST(Wav, HeaderOfATake)
{
    const QByteArray wav = Sounds::wav(Sounds::slapSamples(0));
    EXPECT_EQ(wav.size(), 15920);
    // RIFF, 15912, WAVE, "fmt ", 16, PCM, mono, 44100 Hz, 88200 bytes/s, 2 bytes/frame, 16 bits, data, 15876.
    EXPECT_EQ(wav.left(44).toHex(), "52494646283e000057415645666d7420100000000100010044ac0000"
                                     "885801000200100064617461043e0000");
}

TEST(Wav, SamplesClipAndTruncateTowardZero)
{
    const QByteArray wav = Sounds::wav({1.0f, 1.5f, -2.0f, 0.5f, -0.5f, 0.00002f, -0.99999f});
    const std::vector<qint16> expected{32767, 32767, -32767, 16383, -16383, 0, -32766};
    ASSERT_EQ(wav.size(), 44 + 14);
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(qFromLittleEndian<qint16>(wav.constData() + 44 + 2 * i), expected[i]) << "sample " << i;
}

TEST(PopSamples, ShortAndFadedAtBothEnds)
{
    const std::vector<float> samples = Sounds::popSamples();
    EXPECT_LT(samples.size(), 4410u);
    EXPECT_NEAR(peakOf(samples), 0.9f, 1e-6f);
    EXPECT_EQ(samples.front(), 0.0f);
    EXPECT_EQ(samples.back(), 0.0f);
}

} // namespace
