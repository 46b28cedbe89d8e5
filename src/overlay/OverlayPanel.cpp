#include "overlay/OverlayPanel.h"

#include "overlay/CompositorWatch.h"

#include <QWindow>

#include <algorithm>

namespace {
QList<OverlayPanel*>& panels()
{
    static QList<OverlayPanel*> all;
    return all;
}
} // namespace

OverlayPanel::OverlayPanel(const QRect& frame, int level)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus
                           | Qt::NoDropShadowWindowHint)
    , m_level(level)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(frame);
    panels().append(this);
    connect(&CompositorWatch::shared(), &CompositorWatch::changed, this, [this] { applyShape(); });
}

OverlayPanel::~OverlayPanel()
{
    panels().removeAll(this);
}

void OverlayPanel::setIgnoresMouseEvents(bool ignore)
{
    if (ignore == m_ignoresMouse)
        return;
    m_ignoresMouse = ignore;
    applyInputPassThrough();
}

void OverlayPanel::applyInputPassThrough()
{
    // Toggled on the native window: changing the widget's flags would hide and re-show it.
    if (QWindow* window = windowHandle())
        window->setFlag(Qt::WindowTransparentForInput, m_ignoresMouse);
}

void OverlayPanel::setDrawnRegion(const QRegion& drawn)
{
    if (drawn == m_drawn)
        return;
    m_drawn = drawn;
    if (!CompositorWatch::shared().isRunning())
        applyShape();
}

void OverlayPanel::applyShape()
{
    const bool composited = CompositorWatch::shared().isRunning();
    if (composited)
        clearMask();
    else if (!m_drawn.isEmpty())
        setMask(m_drawn);
    // With nothing drawn and nothing to blend with, the only clear window is no window.
    const bool visible = m_wanted && (composited || !m_drawn.isEmpty());
    if (visible != isVisible())
        setVisible(visible);
}

void OverlayPanel::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // A window manager that takes the window over after it was mapped forgets earlier input state.
    applyInputPassThrough();
}

void OverlayPanel::bringToFront()
{
    m_wanted = true;
    applyShape();
    restackAll();
}

void OverlayPanel::restackAll()
{
    QList<OverlayPanel*> ordered = panels();
    std::stable_sort(ordered.begin(), ordered.end(), [](const OverlayPanel* a, const OverlayPanel* b) { return a->level() < b->level(); });
    for (OverlayPanel* panel : ordered) {
        if (panel->isVisible())
            panel->raise();
    }
}
