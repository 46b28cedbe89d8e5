// Costs on the road of an event: decoding its JSON, and one inbox pass over a full directory.
#include "events/Inbox.h"
#include "events/MonkeyEvent.h"
#include "support/SystemScheduler.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

const QByteArray typicalEvent = R"json({"kind":"sale","headline":"New sale!","who":"Jane Doe (Acme Inc.)",)json"
                                R"json("detail":"$49.00 · Pro plan","test":false,"at":"2026-12-05T06:54:09Z"})json";

void decodeEvent(benchmark::State& state)
{
    for (auto _ : state) {
        auto event = MonkeyEvent::decode(typicalEvent);
        benchmark::DoNotOptimize(event);
        benchmark::DoNotOptimize(event->date());
    }
    state.SetBytesProcessed(state.iterations() * typicalEvent.size());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(decodeEvent);

void fill(const QString& dir, int count)
{
    for (int i = 0; i < count; ++i) {
        QFile file(QStringLiteral("%1/%2.json").arg(dir).arg(i, 8, 10, QChar(u'0')));
        file.open(QIODevice::WriteOnly);
        file.write(typicalEvent);
    }
}

// Read, decode and delete every file of a full inbox, delivered as one batch.
void scanFullInbox(benchmark::State& state)
{
    const int count = int(state.range(0));
    QTemporaryDir dir;
    qsizetype delivered = 0;
    Inbox inbox(dir.path(), SystemScheduler::shared());
    // Each file goes once its event is done with, here at once.
    QObject::connect(&inbox, &Inbox::eventsArrived, [&](const Inbox::Batch& batch, const QStringList& files) {
        delivered += batch.size();
        inbox.release(files);
    });
    for (auto _ : state) {
        state.PauseTiming();
        fill(dir.path(), count);
        state.ResumeTiming();
        inbox.scan();
    }
    if (delivered != count * qsizetype(state.iterations()))
        state.SkipWithError("not every file was delivered");
    state.SetItemsProcessed(delivered);
}
BENCHMARK(scanFullInbox)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
