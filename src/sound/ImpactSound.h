#pragma once

#include "support/SoundChoice.h"

// What the monkey stage calls when the hand lands, and the menu calls to preview a choice.
class ImpactSound {
public:
    virtual ~ImpactSound() = default;

    // Plays `choice` now, on the main thread; `off` does nothing. Never blocks for long and
    // never fails towards the caller.
    virtual void playImpact(SoundChoice choice) = 0;
};
