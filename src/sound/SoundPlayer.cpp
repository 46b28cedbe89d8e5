#include "sound/SoundPlayer.h"

#include "sound/ClipPlayer.h"
#include "sound/Sounds.h"
#include "support/Log.h"

#include <QMediaDevices>
#include <QRandomGenerator>

using namespace Qt::StringLiterals;

namespace {

constexpr float volume = 0.85f;

} // namespace

SoundPlayer::SoundPlayer(QObject* parent)
    : QObject(parent)
{
}

SoundPlayer::SoundPlayer(const QAudioDevice& device, QObject* parent)
    : QObject(parent)
    , m_fixedDevice(device)
{
}

void SoundPlayer::playImpact(SoundChoice choice)
{
    if (choice == SoundChoice::off)
        return;
    // Looked up and opened anew on every sound: after a failure the next sound is the retry.
    const QAudioDevice device = outputDevice();
    noteOutcome(!device.isNull() && clipFor(choice)->play(device));
}

ClipPlayer* SoundPlayer::clipFor(SoundChoice choice)
{
    if (choice == SoundChoice::slap)
        return randomSlap();
    if (!m_pop)
        m_pop = new ClipPlayer(Sounds::wav(Sounds::popSamples()), volume, this);
    return m_pop;
}

ClipPlayer* SoundPlayer::randomSlap()
{
    if (m_slaps.empty()) {
        for (int take = 0; take < Sounds::slapTakeCount; ++take)
            m_slaps.push_back(new ClipPlayer(Sounds::wav(Sounds::slapSamples(take)), volume, this));
    }
    return m_slaps[QRandomGenerator::global()->bounded(int(m_slaps.size()))];
}

QAudioDevice SoundPlayer::outputDevice() const
{
    const QAudioDevice wanted = m_fixedDevice.value_or(QMediaDevices::defaultAudioOutput());
    // Qt 6.4 waits forever for a stream on a device that has gone away (unplugged, module
    // unloaded), so only a device the server still lists is ever opened.
    return QMediaDevices::audioOutputs().contains(wanted) ? wanted : QAudioDevice();
}

void SoundPlayer::noteOutcome(bool played)
{
    if (!played && !m_outage)
        log(u"WARN no audio output; sounds are off"_s);
    m_outage = !played;
}
