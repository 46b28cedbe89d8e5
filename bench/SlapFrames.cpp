// Frame pacing during a slap on a real X display: the gaps between frames while the monkey
// drops, swings, slaps and swings back (a frame repaints only when its pixels change).
//   tools/test-session.sh build/bench/slap_frames [slaps]
#include "overlay/LayerHostView.h"
#include "overlay/Screens.h"
#include "sound/ImpactSound.h"
#include "stage/MonkeyStage.h"
#include "support/Log.h"
#include "support/Settings.h"
#include "support/SystemScheduler.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

struct Silence : ImpactSound {
    void playImpact(SoundChoice) override {}
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    silenceLog();
    const int slaps = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    QTemporaryDir dir;
    Settings settings(dir.filePath(QStringLiteral("prefs.conf")));
    Silence silence;
    SystemScreens screens;
    MonkeyStage stage(settings, SystemScheduler::shared(), silence, screens);
    stage.layout();
    LayerHostView* view = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() == QLatin1String("monkeyPanel"))
            view = window->findChild<LayerHostView*>();
    }
    if (!view) {
        std::fprintf(stderr, "no screen to hang the monkey on\n");
        return 1;
    }

    QList<double> gaps;
    double last = -1;
    bool slapping = false;
    // A gap counts only when the frame before it still had something moving; a pause with
    // nothing to animate (the monkey holding still after the slap) is no late frame.
    QObject::connect(view, &LayerHostView::stepped, [&](double time, bool animating) {
        if (slapping && last >= 0)
            gaps.append((time - last) * 1000);
        last = animating ? time : -1;
    });
    int done = 0;
    std::function<void()> next = [&] {
        if (done == slaps) {
            app.quit();
            return;
        }
        slapping = true;
        last = -1;
        stage.slap(
            true, [](QPointF) {},
            [&] {
                slapping = false;
                ++done;
                QTimer::singleShot(300, next);
            });
    };
    QTimer::singleShot(500, next);
    app.exec();

    std::sort(gaps.begin(), gaps.end());
    const auto at = [&](double q) { return gaps.isEmpty() ? 0.0 : gaps[qsizetype(q * (gaps.size() - 1))]; };
    std::printf("slaps %d, frames %lld: gap median %.1f ms, p99 %.1f ms, max %.1f ms\n", slaps, qlonglong(gaps.size()),
        at(0.5), at(0.99), gaps.isEmpty() ? 0.0 : gaps.last());
    return 0;
}
