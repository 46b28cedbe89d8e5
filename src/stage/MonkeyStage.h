#pragma once

#include "events/Stage.h"
#include "layers/Animation.h"
#include "layers/LayerTree.h"
#include "stage/StageGeometry.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRegion>

#include <functional>
#include <memory>

class ImpactSound;
class Layer;
class LayerHostView;
class OverlayPanel;
class Scheduler;
class Screens;
class Settings;

// The monkey hanging from its vine in the top-right corner: it sways, blinks, can rest in view
// or out of sight above the screen's top edge (and goes there for a fullscreen window), keeps
// still while nobody watches, answers clicks on its own pixels, and for every event drops, swings
// left, slaps, throws sparks and swings back. Geometry is in points, y up.
class MonkeyStage : public QObject, public Stage {
    Q_OBJECT
public:
    static constexpr double impactAt = 0.47;
    static constexpr double returnAt = 1.25;
    static constexpr double longestReturn = 3.2;
    static constexpr int panelLevel = 26;

    // Lays itself out again whenever the screens change. Its window is named "monkeyPanel", its
    // layer tree "monkeyLayers".
    MonkeyStage(
        Settings& settings, Scheduler& scheduler, ImpactSound& sound, Screens& screens, QObject* parent = nullptr);
    ~MonkeyStage() override;

    void layout();
    // The endless sway at rest, as a rotation of the pendulum added to its own.
    static Animation sway(const StageGeometry& geometry);
    void applyVisibility() override;
    // While a fullscreen window has the monkey's screen, it rests out of sight whatever the
    // visibility preference, which holds again once it ends.
    void setSteppedAside(bool aside);
    // While nobody can see it (the screen locked or blanked) it rests still: no sway, no blink,
    // nothing that wakes the app.
    void setUnwatched(bool unwatched);
    void slap(bool money, std::function<void(QPointF)> onImpact, std::function<void()> onDone) override;
    // Stores a new size and lays out at it; refused during a slap, whose motion a new size
    // would tear apart.
    void applyScale(double scale);

    // How long the swing back takes to settle, as the return spring computes it.
    static double returnSettling();

Q_SIGNALS:
    // A click landed on the monkey's own pixels while it was in view.
    void monkeyClicked();

private:
    void createPanel(const QRect& frame);
    void buildGeometry();
    // Idle motion that suits the visibility: sway and pointer catching only while in view, at a calm frame rate.
    void settle();
    // Where the pointer is caught: where the monkey's pixels may be while it sways in view;
    // nowhere while it slaps or hides.
    void catchPointer(bool caught);
    // The window covers the whole stage for a slap, and only the monkey and its vine at rest:
    // fewer pixels to draw, and no window where a compositor ignores input shapes. The layers
    // keep the whole stage's coordinates either way.
    void coverWholeStage();
    void coverRestingMonkey();
    void cover(const QRect& part);
    // Full frame rate for a slap or a drop.
    void hurry();
    void startSway();
    void scheduleBlink();
    void showFrame(const QImage& image);
    void impact(bool money, QPointF handInRoot, QPointF handOnScreen, const std::function<void(QPointF)>& onImpact);
    void returnToRest(const std::function<void()>& onDone);
    void throwSparks(QPointF from, bool money);
    // In view at rest: the preference asks for it and nothing has it step aside.
    bool restsInView() const;
    bool movesAtRest() const;
    double restingY() const;
    // Whether a point in the panel's coordinates lies on one of the monkey's opaque pixels as shown now.
    bool isOverMonkey(QPointF point) const;
    void handleClick(QPointF point);

    Settings& m_settings;
    Scheduler& m_scheduler;
    ImpactSound& m_sound;
    Screens& m_screens;
    LayerTree m_tree;
    std::shared_ptr<Layer> m_pendulum;
    std::shared_ptr<Layer> m_vine;
    std::shared_ptr<Layer> m_monkey;
    QImage m_idleImg;
    QImage m_blinkImg;
    QImage m_slapImg;
    StageGeometry m_geometry = StageGeometry::forScale(4);
    QRectF m_panelFrame; // y up
    QPointer<OverlayPanel> m_panel;
    LayerHostView* m_view = nullptr;
    QRegion m_swayReach;   // stage coordinates (the whole stage's window, y down)
    QRect m_covered;       // the part of the stage the window covers, stage coordinates
    QRect m_stageOnScreen; // the whole stage, screen coordinates for windows
    bool m_busy = false;
    bool m_blinking = false;
    bool m_steppedAside = false;
    bool m_unwatched = false;
};
