// Records a region of the X screen for make demo: grabs it every interval until a stop file
// appears (or a time limit passes) and writes one PNG per grab with the time it was taken, so the
// animation can be put together later with its real timing.
//   record-screen <out-dir> <width>x<height>+<x>+<y> <interval-ms> <stop-file> <max-seconds>
//   →  <out-dir>/frame-NNNN.png and <out-dir>/times (a line "frame-NNNN.png <ms since start>" each)
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QRegularExpression>
#include <QScreen>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    const auto geometry = QRegularExpression(u"^(\\d+)x(\\d+)\\+(\\d+)\\+(\\d+)$"_s).match(args.value(2));
    if (args.size() != 6 || !geometry.hasMatch() || !app.primaryScreen()) {
        std::fprintf(
            stderr, "usage: record-screen <out-dir> <w>x<h>+<x>+<y> <interval-ms> <stop-file> <max-seconds>\n");
        return 2;
    }
    const QString out = args[1];
    const QRect region(geometry.captured(3).toInt(), geometry.captured(4).toInt(), geometry.captured(1).toInt(),
        geometry.captured(2).toInt());
    const QString stopFile = args[4];
    const qint64 limitMs = args[5].toLongLong() * 1000;

    QFile times(out + u"/times"_s);
    if (!times.open(QIODevice::WriteOnly | QIODevice::Text)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(times.fileName()));
        return 1;
    }
    QTextStream index(&times);
    QElapsedTimer clock;
    clock.start();
    int count = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    // A grab that takes longer than the interval only skips ticks; the times stay true.
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 at = clock.elapsed();
        const QImage frame
            = app.primaryScreen()->grabWindow(0, region.x(), region.y(), region.width(), region.height()).toImage();
        const QString name = u"frame-%1.png"_s.arg(++count, 4, 10, QChar(u'0'));
        // Light compression: the grab has to keep pace, and the frames are only read once.
        frame.save(out + u'/' + name, "PNG", 90);
        index << name << ' ' << at << '\n';
        if (QFile::exists(stopFile) || clock.elapsed() >= limitMs)
            app.quit();
    });
    tick.start(args[3].toInt());
    return app.exec();
}
