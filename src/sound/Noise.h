#pragma once

#include <cstdint>

// White noise in [-1, 1) from a 64-bit linear congruential generator: cheap, and the same
// seed always gives the same sequence on every machine.
class Noise {
public:
    explicit Noise(std::uint64_t seed)
        : m_state(seed)
    {
    }

    float next();

private:
    std::uint64_t m_state;
};
