#include "sound/Sounds.h"

#include "sound/SlapTake.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>

namespace Sounds {

namespace {

constexpr float rate = float(sampleRate);
constexpr float twoPi = 6.283185f;
constexpr int slapLength = 7938;
constexpr int fadeLength = 882;

void saturate(std::vector<float>& samples)
{
    // Soft clipping rounds off the noise peaks; the divisor is tanh(1.2), so ±1 stays ±1.
    for (float& s : samples)
        s = std::tanh(1.2f * s) / 0.83365464f;
}

void fadeOut(std::vector<float>& samples, int length)
{
    const int n = int(samples.size());
    for (int j = 0; j < length && j < n; ++j)
        samples[n - 1 - j] *= float(j) / float(length);
}

void normalise(std::vector<float>& samples, float peak)
{
    float largest = 0.0f;
    for (float s : samples)
        largest = std::max(largest, std::abs(s));
    if (largest == 0.0f)
        return;
    for (float& s : samples)
        s = s / largest * peak;
}

qint16 toPcm(float x)
{
    if (x >= 1.0f)
        return 32767;
    return qint16(std::max(x, -1.0f) * 32767.0f);
}

void appendTag(QByteArray& out, const char* tag)
{
    out.append(tag, 4);
}

template <typename T> void appendLittleEndian(QByteArray& out, T value)
{
    char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof(T));
}

} // namespace

std::vector<float> slapSamples(int take)
{
    SlapTake voice(take);
    std::vector<float> samples(slapLength);
    for (int i = 0; i < slapLength; ++i)
        samples[i] = voice.sample(i);
    saturate(samples);
    fadeOut(samples, fadeLength);
    normalise(samples, 0.92f);
    return samples;
}

std::vector<float> popSamples()
{
    // 40 ms of sine falling from 900 Hz towards 380 Hz, a 1 ms attack and a fast decay.
    constexpr int length = 1764;
    std::vector<float> samples(length);
    float phase = 0.0f;
    for (int i = 0; i < length; ++i) {
        const float t = float(i) / rate;
        phase += twoPi * (380.0f + 520.0f * std::exp(-t / 0.006f)) / rate;
        samples[i] = std::exp(-t / 0.009f) * std::min(t / 0.001f, 1.0f) * std::sin(phase);
    }
    fadeOut(samples, 441);
    normalise(samples, 0.9f);
    return samples;
}

QByteArray wav(const std::vector<float>& samples)
{
    const auto dataSize = quint32(2 * samples.size());
    QByteArray out;
    out.reserve(wavHeaderSize + int(dataSize));
    appendTag(out, "RIFF");
    appendLittleEndian<quint32>(out, 36 + dataSize);
    appendTag(out, "WAVE");
    appendTag(out, "fmt ");
    appendLittleEndian<quint32>(out, 16);
    appendLittleEndian<quint16>(out, 1); // PCM
    appendLittleEndian<quint16>(out, 1); // mono
    appendLittleEndian<quint32>(out, sampleRate);
    appendLittleEndian<quint32>(out, sampleRate * 2); // bytes per second
    appendLittleEndian<quint16>(out, 2);              // bytes per frame
    appendLittleEndian<quint16>(out, 16);             // bits per sample
    appendTag(out, "data");
    appendLittleEndian<quint32>(out, dataSize);
    for (float s : samples)
        appendLittleEndian<qint16>(out, toPcm(s));
    return out;
}

} // namespace Sounds
