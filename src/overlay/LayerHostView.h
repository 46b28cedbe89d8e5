#pragma once

#include <QHash>
#include <QRegion>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <optional>

class LayerTree;
class OverlayPanel;
class PoseLoop;
class Scheduler;

// The content of an overlay panel: draws a layer tree, steps its animations from a frame timer
// that runs only while something moves, repaints only when the pixels would change, and
// reports clicks and hover. Points it reports are in its own coordinates, y upward.
class LayerHostView : public QWidget {
    Q_OBJECT
public:
    static constexpr int frameIntervalMs = 16;
    // Enough for a slow sway, whose pixels move a few times a second.
    static constexpr int calmFrameIntervalMs = 50;
    // Pictures whose drawn regions are remembered; a sway period shows about 150.
    static constexpr int maxRememberedRegions = 512;

    LayerHostView(LayerTree& tree, const Scheduler& clock, OverlayPanel* panel);
    ~LayerHostView() override;

    // Steps and repaints now if the picture changed (the frame timer does this by itself).
    void stepFrame();
    // How often to step while something moves.
    void setFrameInterval(int ms) { m_interval = ms; }
    // Whether a frame (or a pose) is due at all: nothing wakes a still picture.
    bool isMoving() const { return m_frameTimer.isActive(); }

Q_SIGNALS:
    // After each frame step (with whether something still moves), and after each repaint;
    // the time is the frame's on the clock.
    void stepped(double time, bool animating);
    void painted(double time);
    // A press inside the view (its own coordinates, y up); the pointer came in or went out.
    void clicked(QPointF point);
    void hoverChanged(bool inside);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void updateDrawnRegion();
    void cutPanel(const QRegion& drawn);
    double paintTime() const;
    // The tree as it is at `time`, the size of the view.
    QImage picture(double time, qreal devicePixelRatio) const;
    void nextFrame();
    void wake();
    // While the tree only repeats itself, its poses show instead of frames.
    void startPoses();
    void showPose();
    void stopPoses();

    LayerTree& m_tree;
    const Scheduler& m_clock;
    OverlayPanel* m_panel;
    QTimer m_frameTimer;
    double m_time = 0;
    int m_interval = frameIntervalMs;
    quint64 m_shown = 0;
    QRectF m_pendingArea;
    // The drawn region of each picture shown lately: a sway shows the same few pictures over and
    // over, so their regions are worked out once, not every frame.
    QHash<quint64, QRegion> m_drawnRegions;
    // Where a compositor may draw past the cut: the cut to take once the next paint is shown.
    std::optional<QRegion> m_narrowedCut;
    std::unique_ptr<PoseLoop> m_poses;
    bool m_posing = false;
    bool m_posesRefused = false;
};
