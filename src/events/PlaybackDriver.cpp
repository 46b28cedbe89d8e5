#include "events/PlaybackDriver.h"

#include "events/NotePresenter.h"
#include "events/Stage.h"
#include "support/Log.h"
#include "support/Scheduler.h"
#include "support/Settings.h"

#include <QPointer>
#include <QStringList>

using namespace Qt::StringLiterals;

// One event on its way across the screen. Each callback is honoured once, whatever the
// stage or the note do, so two shows can never overlap.
struct PlaybackDriver::Show {
    MonkeyEvent event;
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

std::optional<QString> PlaybackDriver::summary(const QString& noun, qsizetype count)
{
    if (count == 0)
        return std::nullopt;
    return u"%1 %2%3"_s.arg(count).arg(noun, count == 1 ? QString() : u"s"_s);
}

void PlaybackDriver::receive(const QList<MonkeyEvent>& events)
{
    for (const MonkeyEvent& event : events) {
        if (event.isTest() && !m_settings.showTests())
            log(u"skipped test-account event (hidden in menu): %1"_s.arg(event.headline));
        else
            m_queue.append(event);
    }
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
    const QDateTime now = m_scheduler.now();
    QList<MonkeyEvent> stale;
    m_queue.removeIf([&](const MonkeyEvent& event) {
        const auto date = event.date();
        const bool old = date && date->msecsTo(now) > qint64(staleAfter * 1000.0);
        if (old)
            stale.append(event);
        return old;
    });
    if (!stale.isEmpty())
        rollUp(stale);
    playNext();
}

void PlaybackDriver::rollUp(const QList<MonkeyEvent>& stale)
{
    log(u"%1 event(s) older than 6h rolled into one summary note"_s.arg(stale.size()));
    const auto count = [&](auto matches) { return std::count_if(stale.begin(), stale.end(), matches); };
    const auto sales = count([](const MonkeyEvent& e) { return e.kind.endsWith(u"sale"); });
    const auto onboardings = count([](const MonkeyEvent& e) { return e.kind == u"onboarding"; });
    const auto renewals = count([](const MonkeyEvent& e) { return e.kind.endsWith(u"renewal"); });

    QStringList parts;
    for (const auto& part :
        {summary(u"sale"_s, sales), summary(u"onboarding"_s, onboardings), summary(u"renewal"_s, renewals)}) {
        if (part)
            parts.append(*part);
    }
    const QString who = parts.isEmpty() ? u"%1 events"_s.arg(stale.size()) : parts.join(u" · "_s);
    m_queue.append(MonkeyEvent::now(
        u"summary"_s, u"While you were away"_s, who, u"Older than 6 hours"_s, false, m_scheduler.now()));
}

void PlaybackDriver::playNext()
{
    if (m_playing || m_hold || m_queue.isEmpty())
        return;
    m_playing = true;
    auto show = std::make_shared<Show>();
    show->event = m_queue.takeFirst();
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
    m_scheduler.after(pauseBetweenShows, this, [this] { playNext(); });
}

void PlaybackDriver::setMonkeyHidden(bool hidden, const QString& reason)
{
    m_settings.setAlwaysVisible(!hidden);
    m_stage.applyVisibility();
    log(hidden ? u"monkey hidden (%1)"_s.arg(reason) : u"monkey shown (%1)"_s.arg(reason));
}
