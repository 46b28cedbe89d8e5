#pragma once

#include "sound/ImpactSound.h"

#include <QAudioDevice>
#include <QObject>

#include <optional>
#include <vector>

class ClipPlayer;

// Plays the impact sounds on the system's audio output. Nothing is synthesized and no audio
// stream is opened until the first sound is asked for. Without an audio output a sound is
// skipped and the next one tries again, so sounds come back with a restarted sound server;
// one warning is logged per outage, not per sound.
class SoundPlayer : public QObject, public ImpactSound {
    Q_OBJECT
public:
    // Plays on the default output, following it when the user changes it.
    explicit SoundPlayer(QObject* parent = nullptr);
    // Plays on `device` only.
    explicit SoundPlayer(const QAudioDevice& device, QObject* parent = nullptr);

    void playImpact(SoundChoice choice) override;

private:
    ClipPlayer* clipFor(SoundChoice choice);
    ClipPlayer* randomSlap();
    QAudioDevice outputDevice() const;
    void noteOutcome(bool played);

    std::optional<QAudioDevice> m_fixedDevice;
    std::vector<ClipPlayer*> m_slaps;
    ClipPlayer* m_pop = nullptr;
    bool m_outage = false;
};
