#include "sound/Noise.h"

float Noise::next()
{
    m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
    // The low bits of an LCG are poorly mixed; take sixteen from the upper half.
    const auto bits = static_cast<std::uint16_t>((m_state >> 40) & 0xFFFF);
    return static_cast<float>(bits) / 32767.5f - 1.0f;
}
