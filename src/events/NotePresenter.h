#pragma once

#include "events/MonkeyEvent.h"

#include <QPointF>

#include <functional>

// What the playback queue needs from the paper note.
class NotePresenter {
public:
    virtual ~NotePresenter() = default;

    // Shows the note for `event` at `handAt` for about `seconds`; calls `onClose` once when it has gone.
    virtual void show(const MonkeyEvent& event, QPointF handAt, double seconds, std::function<void()> onClose) = 0;
};
