#pragma once

#include "events/NotePresenter.h"

#include <QObject>

class Scheduler;

// Keeps a note "up" for its time without drawing it, until the overlay exists.
class StandInNote final : public QObject, public NotePresenter {
    Q_OBJECT
public:
    explicit StandInNote(Scheduler& scheduler, QObject* parent = nullptr);

    void show(const MonkeyEvent& event, QPointF handAt, double seconds, std::function<void()> onClose) override;

private:
    Scheduler& m_scheduler;
};
