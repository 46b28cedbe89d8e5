#pragma once

#include "events/NotePresenter.h"

#include <QObject>

class RecentShows;
class Scheduler;

// Stands between the playback queue and the paper note: every note shown goes into the recent
// list, and a recent one can be shown again at the hand where it was, with no slap and no
// sound, while no other note is up.
class RecordedNotes : public QObject, public NotePresenter {
    Q_OBJECT
public:
    RecordedNotes(NotePresenter& notes, RecentShows& recent, Scheduler& scheduler, QObject* parent = nullptr);

    void show(const MonkeyEvent& event, QPointF handAt, double seconds, std::function<void()> onClose) override;
    // The recent show at `index` (newest first) for `seconds`; false when there is none or a
    // show's note is up, which it would cut short.
    bool showAgain(qsizetype index, double seconds);

private:
    NotePresenter& m_notes;
    RecentShows& m_recent;
    Scheduler& m_scheduler;
    bool m_noteUp = false;
};
