#pragma once

#include "layers/LayerTree.h"
#include "overlay/OverlayPlatform.h"

#include <QHash>
#include <QRect>

#include <memory>
#include <vector>

class OverlayPanel;

// A picture that repeats by itself (a sway), shown from poses made once: the tree's picture at
// each frame step over one period, kept by the windowing system and copied into the panel when
// its step comes, with no stepping, painting or uploading in between. What shows is what the
// frame-by-frame painting would show at the same steps. For a composited panel: the window is
// not recut per pose.
class PoseLoop {
public:
    // Pose sets remembered, e.g. the sway with eyes open and with eyes shut.
    static constexpr int rememberedSets = 3;

    PoseLoop(LayerTree& tree, OverlayPanel& panel);
    ~PoseLoop();

    // Starts showing the loop's poses in the part of the view the panel shows (`viewOffset`:
    // the view's place in the panel). False where the windowing system keeps no pictures.
    bool start(const LayerTree::Loop& loop, double stepSeconds, QPoint viewOffset, QSize viewSize);
    // Shows the pose due at `now`; returns the seconds until the next one differs.
    double show(double now);
    void stop();
    bool isRunning() const { return m_current != nullptr; }

private:
    struct Set {
        std::unique_ptr<OverlayPlatform::PoseSheet> sheet;
        std::vector<int> poseAt; // for each step of the period
        // Each pose's pixels that differ from the pose before it (the last before the first).
        std::vector<QRect> changedArea;
    };
    std::shared_ptr<Set> makeSet(double origin, double period, double step, QPoint viewOffset, QSize viewSize) const;

    LayerTree& m_tree;
    OverlayPanel& m_panel;
    QHash<quint64, std::shared_ptr<Set>> m_sets;
    std::shared_ptr<Set> m_current;
    LayerTree::Loop m_loop;
    double m_step = 0;
    int m_shownPose = -1;
};
