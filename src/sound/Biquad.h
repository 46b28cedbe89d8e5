#pragma once

// A second-order IIR filter in direct form I, coefficients normalised so a0 = 1.
// Everything is single precision on purpose: the synthesized takes must come out
// bit-identical on every run.
class Biquad {
public:
    // Band-pass with a constant 0 dB peak gain, centred on `frequency` Hz.
    static Biquad bandpass(float frequency, float q, float sampleRate);
    static Biquad highpass(float frequency, float q, float sampleRate);

    float run(float x);

    float b0 = 0, b1 = 0, b2 = 0, a1 = 0, a2 = 0;

private:
    float m_x1 = 0, m_x2 = 0, m_y1 = 0, m_y2 = 0;
};
