#include "sound/SlapTake.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr float rate = 44100.0f;

struct Voicing {
    float bodyFrequency;
    float bodyDecay;
};

// Each take moves the palm's resonance a little so repeated slaps don't sound canned.
constexpr Voicing voicings[4] = {{1350.0f, 0.019f}, {1650.0f, 0.016f}, {1200.0f, 0.022f}, {1900.0f, 0.015f}};

int wrapped(int take)
{
    return (take % 4 + 4) % 4;
}

} // namespace

SlapTake::SlapTake(int take)
    : m_bodyDecay(voicings[wrapped(take)].bodyDecay)
    , m_noise(7919u * std::uint64_t(wrapped(take)) + 24301u)
    , m_body(Biquad::bandpass(voicings[wrapped(take)].bodyFrequency, 0.8f, rate))
    , m_flam(Biquad::bandpass(0.8f * voicings[wrapped(take)].bodyFrequency, 1.2f, rate))
    , m_crack(Biquad::highpass(3200.0f, 0.7f, rate))
{
}

float SlapTake::sample(int i)
{
    const float t = float(i) / rate;
    // The draw order matters: crack noise first, then body noise.
    const float crackNoise = m_noise.next();
    const float bodyNoise = m_noise.next();
    const float attack = std::min(t / 0.0006f, 1.0f);
    const float body = 2.6f * attack * std::exp(-t / m_bodyDecay) * m_body.run(bodyNoise);
    const float crack = 0.9f * attack * std::exp(-t / 0.0022f) * m_crack.run(crackNoise);
    const float flam = flamAt(t);
    const float thump = thumpAt(t);
    return body + crack + flam + thump;
}

float SlapTake::flamAt(float t)
{
    const float since = t - 0.014f;
    // Before the fingers land neither the noise nor the filter advances.
    if (!(since > 0.0f))
        return 0.0f;
    const float noise = m_noise.next();
    return 0.8f * std::exp(-since / 0.009f) * std::min(since / 0.001f, 1.0f) * m_flam.run(noise);
}

float SlapTake::thumpAt(float t)
{
    m_phase = m_phase + 6.283185f * (85.0f + 75.0f * std::exp(-t / 0.018f)) / rate;
    return 0.3f * std::exp(-t / 0.026f) * std::min(t / 0.0015f, 1.0f) * std::sin(m_phase);
}
