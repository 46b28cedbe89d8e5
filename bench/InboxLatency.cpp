// How soon a published event file reaches the queue through the directory watch: an event file
// renamed into place, then the time until the inbox hands it over, 100 times.
#include "events/Inbox.h"
#include "support/Log.h"
#include "support/SystemScheduler.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    silenceLog();
    QTemporaryDir dir;
    QElapsedTimer clock;
    QList<double> latencies;
    Inbox inbox(dir.path(), SystemScheduler::shared());
    QObject::connect(&inbox, &Inbox::eventsArrived, [&](const Inbox::Batch&, const QStringList& files) {
        latencies.append(clock.nsecsElapsed() / 1e6);
        inbox.release(files);
    });
    inbox.start();

    int sent = 0;
    std::function<void()> publish = [&] {
        if (sent == 100) {
            app.quit();
            return;
        }
        const QString name = QStringLiteral("%1/%2.json").arg(dir.path()).arg(sent++, 4, 10, QChar(u'0'));
        QFile file(dir.path() + QStringLiteral("/.next.tmp"));
        file.open(QIODevice::WriteOnly);
        file.write(R"({"kind":"sale","headline":"New sale!"})");
        file.close();
        clock.start();
        QFile::rename(file.fileName(), name);
        QTimer::singleShot(30, publish);
    };
    QTimer::singleShot(100, publish);
    app.exec();

    std::sort(latencies.begin(), latencies.end());
    std::printf("inbox watch: %lld events, median %.2f ms, p95 %.2f ms, max %.2f ms\n", qlonglong(latencies.size()),
        latencies[latencies.size() / 2], latencies[qsizetype(latencies.size() * 0.95)], latencies.last());
    return 0;
}
