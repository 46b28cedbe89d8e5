#pragma once

#include "events/MonkeyEvent.h"

#include <QList>
#include <QObject>
#include <QStringList>

#include <memory>
#include <optional>

class NotePresenter;
class Scheduler;
class Settings;
class Stage;

// The event queue: every event enters through receive, is filtered, folded into a summary when
// stale, queued, and played strictly one at a time. The next show starts 0.4 s after both the
// stage and the note of the current one have finished. While shows are held (the user is busy),
// events wait in the queue and a show already on screen finishes. A burst plays a few shows and
// one note that counts the rest. Events that come from files are given back (released) only once
// they are done with: played, counted in a note that has played, or dropped.
class PlaybackDriver : public QObject {
    Q_OBJECT
public:
    static constexpr double pauseBetweenShows = 0.4;
    static constexpr double busyNoteSeconds = 4.0;
    // Waiting shows beyond this many are counted in one note instead.
    static constexpr qsizetype burstShows = 4;

    PlaybackDriver(
        Settings& settings, Scheduler& scheduler, Stage& stage, NotePresenter& notes, QObject* parent = nullptr);
    ~PlaybackDriver() override;

    // `files[i]` is where events[i] is kept until it is done with (none when shorter).
    void receive(const QList<MonkeyEvent>& events, const QStringList& files = {});
    void setMonkeyHidden(bool hidden, const QString& reason);
    // Why shows should wait now ("fullscreen"), or none. Honoured while the setting
    // holdWhenBusy is on; read again at each call and each receive.
    void setHeld(std::optional<QString> reason);

    // Age in seconds beyond which an event is rolled into the summary.
    double staleAfter = 21600;

    bool isPlaying() const { return m_playing; }
    qsizetype waiting() const { return m_queue.size(); }

Q_SIGNALS:
    // The reason shows are held for, empty once they may play again.
    void holdChanged(const QString& reason);
    // The files of events that are done with.
    void released(const QStringList& files);

private:
    struct Show;
    // A show waiting its turn, with the events it stands for when it is a summary.
    struct Queued {
        MonkeyEvent event;
        QStringList files;
        enum class Fold { none, away, more } fold = Fold::none;
        QList<MonkeyEvent> folded;
    };

    void updateHold();
    void playOn();
    void playNext();
    void finish(const std::shared_ptr<Show>& show);
    void rollUpStale();
    void rollUpBurst();

    Settings& m_settings;
    Scheduler& m_scheduler;
    Stage& m_stage;
    NotePresenter& m_notes;
    QList<Queued> m_queue;
    bool m_playing = false;
    std::optional<QString> m_wanted; // the hold asked for
    std::optional<QString> m_hold;   // the hold in force
};
