// Cost of one frame of the monkey stage: stepping the layer tree (sampling every presentation
// value) and painting it into a window-sized image, with heap allocations counted per frame.
#include "layers/Layer.h"
#include "layers/LayerPainter.h"
#include "layers/LayerTree.h"
#include "support/SystemScheduler.h"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<std::size_t> allocations{0};
}

void* operator new(std::size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}

void operator delete(void* memory) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}

namespace {

using namespace Qt::StringLiterals;

constexpr double frameSeconds = 1.0 / 60;

QImage pixelArt(QRgb ink)
{
    QImage art(32, 32, QImage::Format_ARGB32);
    art.fill(Qt::transparent);
    for (int y = 0; y < 32; ++y) {
        for (int x = (y * 7) % 5; x < 32; x += 3)
            art.setPixel(x, y, ink);
    }
    return art;
}

// A 413×480 root, a pendulum swung to one side and swaying on top of that, and two pictures
// on it scaled ×4.
struct Stage {
    LayerTree tree{SystemScheduler::shared()};
    QImage window{413, 480, QImage::Format_ARGB32_Premultiplied};
    double time = 0;

    Stage()
    {
        const auto& root = tree.root();
        root->setFrame(QRectF(0, 0, 413, 480));
        const auto pendulum = Layer::create();
        pendulum->setAnchorPoint(QPointF(0.5, 1));
        pendulum->setFrame(QRectF(140, 80, 128, 400));
        pendulum->setRotation(0.3);
        root->addSublayer(pendulum);
        for (const auto& [frame, ink] :
            {std::pair(QRectF(0, 0, 128, 128), 0xff8b5a2bu), std::pair(QRectF(0, 272, 128, 128), 0xff3f7f3fu)}) {
            const auto picture = Layer::create();
            picture->setFrame(frame);
            picture->setContents(pixelArt(ink));
            pendulum->addSublayer(picture);
        }
        pendulum->addAnimation(Animation::keyframe(LayerProperty::rotationZ, {0, 0.12, 0, -0.12, 0}, 2.4)
                                   .setRepeatForever(true)
                                   .setAdditive(true)
                                   .setTimingFunctions(QList<TimingFunction>(4, TimingFunction::easeInEaseOut())),
            u"sway"_s);
        time = tree.now();
        tree.step(time);
    }

    void step()
    {
        time += frameSeconds;
        benchmark::DoNotOptimize(tree.step(time));
    }

    void paint(QPainter& painter)
    {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(window.rect(), Qt::transparent);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        LayerPainter::paint(painter, *tree.root(), time, window.size(), 1);
    }
};

void countAllocations(benchmark::State& state, std::size_t before)
{
    state.counters["allocs/frame"]
        = benchmark::Counter(double(allocations - before), benchmark::Counter::kAvgIterations);
}

void stepFrame(benchmark::State& state)
{
    Stage stage;
    const std::size_t before = allocations;
    for (auto _ : state)
        stage.step();
    countAllocations(state, before);
}
BENCHMARK(stepFrame);

void paintFrame(benchmark::State& state)
{
    Stage stage;
    QPainter painter(&stage.window);
    const std::size_t before = allocations;
    for (auto _ : state) {
        stage.time += frameSeconds;
        stage.paint(painter);
    }
    countAllocations(state, before);
}
BENCHMARK(paintFrame);

void wholeFrame(benchmark::State& state)
{
    Stage stage;
    QPainter painter(&stage.window);
    const std::size_t before = allocations;
    for (auto _ : state) {
        stage.step();
        stage.paint(painter);
    }
    countAllocations(state, before);
}
BENCHMARK(wholeFrame);

} // namespace
