// One paper note rendered at a device pixel ratio of 2: measuring, the frame, the icon and the
// texts. The note is rendered once per slap, on the main thread, so it should stay within a frame.
#include "note/NoteRenderer.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

void renderNote(benchmark::State& state, const MonkeyEvent& event)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(NoteRenderer::image(event, 2.0));
}

void BM_SaleNote(benchmark::State& state)
{
    renderNote(state, {u"sale"_s, u"New sale!"_s, u"Jane Doe (Acme)"_s, u"$49.00"_s, false, u"2026-12-05T18:54:09Z"_s});
}
BENCHMARK(BM_SaleNote)->Unit(benchmark::kMillisecond);

void BM_LongTestNote(benchmark::State& state)
{
    const QString text = u"Jane Doe from the Acme Widget Company of Springfield, paying yearly for the team"_s;
    renderNote(state, {u"renewal"_s, text, text, text, true, std::nullopt});
}
BENCHMARK(BM_LongTestNote)->Unit(benchmark::kMillisecond);

} // namespace

// Fonts need a GUI application; without a display it runs on the offscreen platform.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
