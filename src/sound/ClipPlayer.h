#pragma once

#include <QAudio>
#include <QAudioDevice>
#include <QBuffer>
#include <QByteArray>
#include <QObject>
#include <QTimer>

class QAudioSink;

// Plays one fixed clip through its own audio sink, in pull mode from memory. The stream to
// the sound server exists only while the clip sounds.
class ClipPlayer : public QObject {
    Q_OBJECT
public:
    // `wav` is a complete image as Sounds::wav() makes it.
    ClipPlayer(const QByteArray& wav, float volume, QObject* parent);
    ~ClipPlayer() override;

    // Starts the clip from the beginning on `device`, cutting it off first if it is still
    // sounding. False when the output could not be opened.
    bool play(const QAudioDevice& device);

private:
    void useDevice(const QAudioDevice& device);
    void onStateChanged(QAudio::State state);
    void stopIfDone();

    QByteArray m_pcm;
    QBuffer m_buffer;
    float m_volume;
    QAudioDevice m_device;
    QAudioSink* m_sink = nullptr;
    QTimer m_stopTimer;
};
