#pragma once

#include <QByteArray>

#include <vector>

// The impact sounds, synthesized rather than shipped as files. Samples are mono floats in
// [-1, 1] at `sampleRate`.
namespace Sounds {

inline constexpr int sampleRate = 44100;
inline constexpr int slapTakeCount = 4;

// One of four slightly different hand slaps (`take` is taken modulo four), 180 ms long.
// Always the same samples for the same take.
std::vector<float> slapSamples(int take);

// A short, soft pop for those who find the slap too much.
std::vector<float> popSamples();

// A complete WAV file image: 16-bit PCM, mono, `sampleRate`.
QByteArray wav(const std::vector<float>& samples);

// Where the PCM starts in what wav() returns.
inline constexpr int wavHeaderSize = 44;

} // namespace Sounds
