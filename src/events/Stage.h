#pragma once

#include <QPointF>

#include <functional>

// What the playback queue needs from the monkey on screen.
class Stage {
public:
    virtual ~Stage() = default;

    // Swings in and slaps. `onImpact` fires once with the hand's screen point when the hand
    // hits (never when there is no screen); `onDone` fires once when the motion has ended.
    virtual void slap(bool money, std::function<void(QPointF handAt)> onImpact, std::function<void()> onDone) = 0;

    // Moves the monkey to the rest height the visibility preference asks for.
    virtual void applyVisibility() = 0;
};
