#include "sound/Biquad.h"

#include <cmath>

namespace {

struct Angle {
    float cosine;
    float alpha;
};

Angle angleOf(float frequency, float q, float sampleRate)
{
    const float w0 = 6.283185f * frequency / sampleRate;
    return {std::cos(w0), std::sin(w0) / (2.0f * q)};
}

} // namespace

Biquad Biquad::bandpass(float frequency, float q, float sampleRate)
{
    const Angle w = angleOf(frequency, q, sampleRate);
    const float a0 = 1.0f + w.alpha;
    Biquad filter;
    filter.b0 = w.alpha / a0;
    filter.b1 = 0.0f;
    filter.b2 = -w.alpha / a0;
    filter.a1 = -2.0f * w.cosine / a0;
    filter.a2 = (1.0f - w.alpha) / a0;
    return filter;
}

Biquad Biquad::highpass(float frequency, float q, float sampleRate)
{
    const Angle w = angleOf(frequency, q, sampleRate);
    const float a0 = 1.0f + w.alpha;
    Biquad filter;
    filter.b0 = (1.0f + w.cosine) / 2.0f / a0;
    filter.b1 = -(1.0f + w.cosine) / a0;
    filter.b2 = (1.0f + w.cosine) / 2.0f / a0;
    filter.a1 = -2.0f * w.cosine / a0;
    filter.a2 = (1.0f - w.alpha) / a0;
    return filter;
}

float Biquad::run(float x)
{
    const float y = b0 * x + b1 * m_x1 + b2 * m_x2 - a1 * m_y1 - a2 * m_y2;
    m_x2 = m_x1;
    m_x1 = x;
    m_y2 = m_y1;
    m_y1 = y;
    return y;
}
