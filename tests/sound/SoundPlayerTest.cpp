#include "sound/SoundPlayer.h"
#include "common/TestEnvironment.h"
#include "sound/Sounds.h"

#include <QAudioSink>
#include <QCoreApplication>
#include <QFile>
#include <QMediaDevices>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

using namespace Qt::StringLiterals;
using TestEnvironment::takeLogMessages;
using TestEnvironment::waitUntil;

namespace {

// The sound server is found once per process, so a child (the death test re-executes this
// binary) plays with a server address that leads nowhere.
TEST(SoundPlayer, OffCreatesNothingAndWithoutAnAudioServerItWarnsOnceAndStaysSilent)
{
    SoundPlayer off;
    off.playImpact(SoundChoice::off);
    EXPECT_TRUE(off.findChildren<QObject*>().isEmpty());
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            qputenv("PULSE_SERVER", "unix:/nonexistent/bonkbell-no-server");
            SoundPlayer player;
            for (SoundChoice choice : {SoundChoice::slap, SoundChoice::pop, SoundChoice::slap})
                player.playImpact(choice);
            std::fprintf(stderr, "logged: %s\n", qPrintable(takeLogMessages().join(u'|')));
            std::_Exit(0);
        },
        testing::ExitedWithCode(0), "logged: WARN no audio output; sounds are off\n");
}

// Records what the player sends to a pipe sink of its own: proof that a clip was heard, end included.
class SoundRecording : public testing::Test {
protected:
    void SetUp() override
    {
        if (QMediaDevices::audioOutputs().isEmpty() || !plugIn())
            GTEST_SKIP() << "no audio server to record from in this session (run through tools/test-session.sh)";
    }
    void TearDown() override { unplug(); }
    // Loads the sink (again) and starts reading it; false when that failed.
    bool plugIn()
    {
        const QString fifo = m_dir.filePath(u"recording"_s);
        m_module = pactl({u"load-module"_s, u"module-pipe-sink"_s, u"file="_s + fifo, u"sink_name="_s + m_name,
            u"format=s16le"_s, u"rate=44100"_s, u"channels=1"_s, u"use_system_clock_for_timing=yes"_s});
        m_reader = m_module.isEmpty() ? -1 : ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
        if (m_reader < 0 || !waitUntil([&] { return !recorder().isNull(); }))
            return false;
        record(100); // what the sink wrote before
        return true;
    }
    // Takes the sink away, as when a device is unplugged or the server goes down.
    void unplug()
    {
        if (m_reader >= 0)
            ::close(std::exchange(m_reader, -1));
        if (!m_module.isEmpty())
            pactl({u"unload-module"_s, std::exchange(m_module, QString())});
        waitUntil([&] { return recorder().isNull(); });
    }
    static QString pactl(const QStringList& arguments)
    {
        QProcess process;
        process.start(u"pactl"_s, arguments);
        const bool ok = process.waitForFinished(5000) && process.exitCode() == 0;
        return ok ? QString::fromUtf8(process.readAllStandardOutput()).trimmed() : QString();
    }
    QAudioDevice recorder() const
    {
        const QList<QAudioDevice> outputs = QMediaDevices::audioOutputs();
        const auto found = std::ranges::find(outputs, m_name.toUtf8(), &QAudioDevice::id);
        return found == outputs.end() ? QAudioDevice() : *found;
    }
    std::vector<qint16> record(int ms)
    {
        std::vector<qint16> samples;
        qint16 chunk[2048];
        waitUntil(
            [&] {
                for (qint64 n; (n = ::read(m_reader, chunk, sizeof chunk)) > 0;)
                    samples.insert(samples.end(), chunk, chunk + n / 2);
                return false;
            },
            ms);
        return samples;
    }

    QTemporaryDir m_dir;
    QString m_name = u"bonkbell_recording_%1"_s.arg(QCoreApplication::applicationPid());
    QString m_module;
    int m_reader = -1;
};

// True when all of `clip`, played at volume 0.85, is somewhere in `recording`.
bool holdsClip(const std::vector<qint16>& recording, const std::vector<float>& clip)
{
    const QByteArray wav = Sounds::wav(clip);
    std::vector<double> expected(clip.size());
    for (size_t i = 0; i < clip.size(); ++i)
        expected[i] = 0.85 * qFromLittleEndian<qint16>(wav.constData() + Sounds::wavHeaderSize + 2 * i);
    const auto close = [](qint16 got, double want) { return std::abs(got - want) <= 2; };
    return !std::ranges::search(recording, expected, close).empty();
}

TEST_F(SoundRecording, EachClipIsHeardWholeOnceThenItsStreamClosesAndAnOutputThatWentAwayIsRetriedOnEachSound)
{
    SoundPlayer player(recorder());
    player.playImpact(SoundChoice::slap);
    std::vector<qint16> recording = record(1000);
    int heard = 0;
    for (int take = 0; take < Sounds::slapTakeCount; ++take)
        heard += holdsClip(recording, Sounds::slapSamples(take));
    EXPECT_EQ(heard, 1);
    // A repeat restarts the clip on the same stream instead of layering a second one.
    for (int i = 0; i < 3; ++i) {
        player.playImpact(SoundChoice::pop);
        QThread::msleep(15);
    }
    recording = record(1000);
    const auto sinks = player.findChildren<QAudioSink*>();
    EXPECT_EQ(sinks.size(), 2);
    EXPECT_TRUE(holdsClip(recording, Sounds::popSamples())); // the last one, whole
    EXPECT_TRUE(waitUntil(
        [&] { return std::ranges::all_of(sinks, [](QAudioSink* s) { return s->state() == QAudio::StoppedState; }); }));
    // A device that went away is never opened, and is played on again once it is back: one
    // warning for each outage, however many sounds it swallows.
    takeLogMessages();
    for (int outage = 0; outage < 2; ++outage) {
        unplug();
        ASSERT_TRUE(recorder().isNull());
        player.playImpact(SoundChoice::pop); // opening a stream on it would block for good
        player.playImpact(SoundChoice::slap);
        EXPECT_EQ(takeLogMessages(), QStringList{u"WARN no audio output; sounds are off"_s});
        ASSERT_TRUE(plugIn());
        player.playImpact(SoundChoice::pop);
        EXPECT_TRUE(holdsClip(record(1000), Sounds::popSamples())) << "outage " << outage;
    }
    EXPECT_TRUE(takeLogMessages().isEmpty());
}

} // namespace
