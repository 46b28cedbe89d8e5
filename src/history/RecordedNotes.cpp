#include "history/RecordedNotes.h"

#include "history/RecentShows.h"
#include "support/Log.h"
#include "support/Scheduler.h"

#include <QPointer>

using namespace Qt::StringLiterals;

RecordedNotes::RecordedNotes(NotePresenter& notes, RecentShows& recent, Scheduler& scheduler, QObject* parent)
    : QObject(parent)
    , m_notes(notes)
    , m_recent(recent)
    , m_scheduler(scheduler)
{
}

void RecordedNotes::show(const MonkeyEvent& event, QPointF handAt, double seconds, std::function<void()> onClose)
{
    m_recent.add({m_scheduler.now(), event, handAt});
    m_noteUp = true;
    QPointer<RecordedNotes> self(this);
    m_notes.show(event, handAt, seconds, [self, onClose = std::move(onClose)] {
        if (self)
            self->m_noteUp = false;
        if (onClose)
            onClose();
    });
}

bool RecordedNotes::showAgain(qsizetype index, double seconds)
{
    if (m_noteUp || index < 0 || index >= m_recent.shows().size())
        return false;
    const RecentShows::Show& show = m_recent.shows().at(index);
    log(u"note shown again: %1"_s.arg(show.event.headline));
    // Not recorded again: the list keeps what the queue played.
    m_notes.show(show.event, show.handAt, seconds, {});
    return true;
}
