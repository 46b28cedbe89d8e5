#pragma once

#include "sound/Biquad.h"
#include "sound/Noise.h"

// One slap before shaping, sample by sample: a band-passed noise body, a high-passed crack
// at the very start, a second softer hit (the fingers landing after the palm) and a low,
// falling thump. Samples must be asked for in order, from 0.
class SlapTake {
public:
    // `take` picks one of four voicings, modulo four.
    explicit SlapTake(int take);

    float sample(int i);

private:
    float flamAt(float t);
    float thumpAt(float t);

    float m_bodyDecay;
    Noise m_noise;
    Biquad m_body;
    Biquad m_flam;
    Biquad m_crack;
    float m_phase = 0.0f;
};
