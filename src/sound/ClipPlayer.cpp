#include "sound/ClipPlayer.h"

#include "sound/Sounds.h"

#include <QAudioFormat>
#include <QAudioSink>

namespace {

// The sink reports Idle once it has handed the last bytes to the server, while the server
// still holds up to its latency in queue; stopping then would cut the end off. Trailing
// silence makes sure that what is cut is silence, and the grace period covers servers with
// a longer queue than the one measured.
constexpr int trailingSilenceMs = 250;
constexpr int stopGraceMs = 250;

QAudioFormat pcmFormat()
{
    QAudioFormat format;
    format.setSampleRate(Sounds::sampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

} // namespace

ClipPlayer::ClipPlayer(const QByteArray& wav, float volume, QObject* parent)
    : QObject(parent)
    , m_pcm(wav.mid(Sounds::wavHeaderSize))
    , m_volume(volume)
{
    m_pcm.append(QByteArray(2 * Sounds::sampleRate * trailingSilenceMs / 1000, '\0'));
    m_buffer.setBuffer(&m_pcm);
    m_buffer.open(QIODevice::ReadOnly);
    m_stopTimer.setSingleShot(true);
    m_stopTimer.setInterval(stopGraceMs);
    connect(&m_stopTimer, &QTimer::timeout, this, &ClipPlayer::stopIfDone);
}

ClipPlayer::~ClipPlayer()
{
    // Before the buffer it reads from goes: children are only deleted after the members.
    delete m_sink;
}

bool ClipPlayer::play(const QAudioDevice& device)
{
    useDevice(device);
    m_stopTimer.stop();
    // Restarting rather than layering: a quick second slap cuts the first one short.
    m_sink->stop();
    m_buffer.seek(0);
    m_sink->start(&m_buffer);
    return m_sink->error() == QAudio::NoError && m_sink->state() != QAudio::StoppedState;
}

void ClipPlayer::useDevice(const QAudioDevice& device)
{
    if (m_sink && m_device == device)
        return;
    if (m_sink) {
        // Deleted later: the sink's destructor runs the event loop, which must not happen here.
        m_sink->disconnect(this);
        m_sink->stop();
        m_sink->deleteLater();
    }
    m_device = device;
    m_sink = new QAudioSink(device, pcmFormat(), this);
    m_sink->setVolume(m_volume);
    connect(m_sink, &QAudioSink::stateChanged, this, &ClipPlayer::onStateChanged);
}

void ClipPlayer::onStateChanged(QAudio::State state)
{
    if (state == QAudio::IdleState)
        m_stopTimer.start();
}

void ClipPlayer::stopIfDone()
{
    // Idle with data left is an underrun that resolves itself; only the real end stops.
    if (m_sink->state() == QAudio::IdleState && m_buffer.atEnd())
        m_sink->stop();
}
