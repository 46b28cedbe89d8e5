#include "events/PlaybackDriver.h"

#include "events/NotePresenter.h"
#include "events/Stage.h"
#include "events/SummaryNotes.h"
#include "support/Log.h"
#include "support/Scheduler.h"
#include "support/Settings.h"

#include <QPointer>
#include <QStringList>

#include <algorithm>

using namespace Qt::StringLiterals;

// One event on its way across the screen. Each callback is honoured once, whatever the
// stage or the note do, so two shows can never overlap.
struct PlaybackDriver::Show {
    MonkeyEvent event;
    QStringList files;
    double noteSeconds = 0;
    bool impacted = false;
    bool stageDone = false;
    bool noteDone = false;
    bool over = false;
};

PlaybackDriver::PlaybackDriver(
    Settings& settings, Scheduler& scheduler, Stage& stage, NotePresenter& notes, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_scheduler(scheduler)
    , m_stage(stage)
    , m_notes(notes)
{
}

PlaybackDriver::~PlaybackDriver() = default;

void PlaybackDriver::receive(const QList<MonkeyEvent>& events, const QStringList& files)
{
    QStringList dropped;
    for (qsizetype i = 0; i < events.size(); ++i) {
        const MonkeyEvent& event = events[i];
        const QStringList kept = i < files.size() ? QStringList{files[i]} : QStringList();
        if (event.isTest() && !m_settings.showTests()) {
            log(u"skipped test-account event (hidden in menu): %1"_s.arg(event.headline));
            dropped += kept;
        } else {
            m_queue.append(Queued{event, kept, Queued::Fold::none, {}});
        }
    }
    if (!dropped.isEmpty())
        Q_EMIT released(dropped);
    updateHold();
    playOn();
}

void PlaybackDriver::setHeld(std::optional<QString> reason)
{
    m_wanted = std::move(reason);
    updateHold();
    playOn();
}

void PlaybackDriver::updateHold()
{
    const std::optional<QString> hold = m_settings.holdWhenBusy() ? m_wanted : std::nullopt;
    if (hold == m_hold)
        return;
    // A new reason during a hold is shown in the menu but not logged again.
    if (hold.has_value() != m_hold.has_value())
        log(hold ? u"holding shows (%1)"_s.arg(*hold) : u"resuming shows"_s);
    m_hold = hold;
    Q_EMIT holdChanged(hold.value_or(QString()));
}

// Staleness is judged when events may play: those that aged past it while held fold with the rest.
void PlaybackDriver::playOn()
{
    if (m_hold)
        return;
    rollUpStale();
    playNext();
    rollUpBurst();
}

void PlaybackDriver::rollUpStale()
{
    const QDateTime now = m_scheduler.now();
    Queued summary{{}, {}, Queued::Fold::away, {}};
    m_queue.removeIf([&](const Queued& queued) {
        const auto date = queued.event.date();
        const bool old = queued.fold == Queued::Fold::none && date && date->msecsTo(now) > qint64(staleAfter * 1000.0);
        if (old) {
            summary.folded.append(queued.event);
            summary.files += queued.files;
        }
        return old;
    });
    if (summary.folded.isEmpty())
        return;
    log(u"%1 event(s) older than 6h rolled into one summary note"_s.arg(summary.folded.size()));
    // A summary still waiting takes the new ones in: one note however they trickle in.
    m_queue.removeIf([&](const Queued& queued) {
        if (queued.fold != Queued::Fold::away)
            return false;
        summary.folded = queued.folded + summary.folded;
        summary.files = queued.files + summary.files;
        return true;
    });

    summary.event = SummaryNotes::whileAway(summary.folded, now);
    m_queue.append(summary);
}

// More waiting than a few shows can play soon: the rest, with what an earlier burst left, is
// counted in one note at the end, so a burst of any size is over in well under two minutes.
void PlaybackDriver::rollUpBurst()
{
    const auto isMore = [](const Queued& queued) { return queued.fold == Queued::Fold::more; };
    const auto singles = std::count_if(
        m_queue.begin(), m_queue.end(), [](const Queued& queued) { return queued.fold == Queued::Fold::none; });
    const bool pending = std::any_of(m_queue.begin(), m_queue.end(), isMore);
    if (singles <= burstShows + (pending ? 0 : 1))
        return;
    Queued summary{{}, {}, Queued::Fold::more, {}};
    qsizetype kept = 0;
    m_queue.removeIf([&](const Queued& queued) {
        if (queued.fold == Queued::Fold::none && kept < burstShows) {
            ++kept;
            return false;
        }
        if (queued.fold == Queued::Fold::away)
            return false;
        summary.folded += isMore(queued) ? queued.folded : QList<MonkeyEvent>{queued.event};
        summary.files += queued.files;
        return true;
    });
    // Logged when the note is made; its slap line tells how many it came to.
    if (!pending)
        log(u"%1 waiting event(s) rolled into one note"_s.arg(summary.folded.size()));
    summary.event = SummaryNotes::andMore(summary.folded, m_scheduler.now());
    m_queue.append(summary);
}

void PlaybackDriver::playNext()
{
    if (m_playing || m_hold || m_queue.isEmpty())
        return;
    m_playing = true;
    auto show = std::make_shared<Show>();
    Queued next = m_queue.takeFirst();
    show->event = std::move(next.event);
    show->files = std::move(next.files);
    const MonkeyEvent& event = show->event;

    log(u"slap: %1%2 %3 | %4 | %5 (sound: %6)"_s.arg(event.kind, event.isTest() ? u" [TEST]"_s : QString(),
        event.headline, event.who.value_or(QString()), event.detail.value_or(QString()),
        rawValue(m_settings.soundChoice())));
    show->noteSeconds = m_queue.size() >= 2 ? busyNoteSeconds : m_settings.noteSeconds();
    const bool money = event.isMoney() && !event.isTest();

    QPointer<PlaybackDriver> self(this);
    auto onImpact = [self, show](QPointF handAt) {
        if (!self || show->impacted || show->stageDone)
            return;
        show->impacted = true;
        self->m_notes.show(show->event, handAt, show->noteSeconds, [self, show] {
            show->noteDone = true;
            if (self)
                self->finish(show);
        });
    };
    auto onDone = [self, show] {
        show->stageDone = true;
        // A slap without an impact (no screen) shows no note, so nothing is left to wait for.
        if (!show->impacted)
            show->noteDone = true;
        if (self)
            self->finish(show);
    };
    m_stage.slap(money, std::move(onImpact), std::move(onDone));
}

void PlaybackDriver::finish(const std::shared_ptr<Show>& show)
{
    if (show->over || !show->stageDone || !show->noteDone)
        return;
    show->over = true;
    m_playing = false;
    if (!show->files.isEmpty())
        Q_EMIT released(show->files);
    m_scheduler.after(pauseBetweenShows, this, [this] { playNext(); });
}

void PlaybackDriver::setMonkeyHidden(bool hidden, const QString& reason)
{
    m_settings.setAlwaysVisible(!hidden);
    m_stage.applyVisibility();
    log(hidden ? u"monkey hidden (%1)"_s.arg(reason) : u"monkey shown (%1)"_s.arg(reason));
}
