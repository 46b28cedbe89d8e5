#include "overlay/OverlayPanel.h"

#include "overlay/OverlayPlatform.h"

#include <QBitmap>

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
    connect(&OverlayPlatform::shared(), &OverlayPlatform::compositedChanged, this, &OverlayPanel::applyShape);
}

OverlayPanel::~OverlayPanel()
{
    panels().removeAll(this);
}

void OverlayPanel::setIgnoresMouseEvents(bool ignore)
{
    if (ignore)
        setInputRegion(QRegion());
    else if (!m_wholeWindowInput) {
        m_wholeWindowInput = true;
        applyInputPassThrough();
    }
}

void OverlayPanel::setInputRegion(const QRegion& region)
{
    if (!m_wholeWindowInput && region == m_input)
        return;
    m_wholeWindowInput = false;
    m_input = region;
    applyInputPassThrough();
}

void OverlayPanel::applyInputPassThrough()
{
    if (m_wholeWindowInput)
        OverlayPlatform::shared().setPassThrough(this, false);
    else
        OverlayPlatform::shared().setInputRegion(this, m_input);
}

void OverlayPanel::setDrawnRegion(const QRegion& drawn)
{
    if (drawn == m_drawn)
        return;
    m_drawn = drawn;
    if (!OverlayPlatform::shared().isComposited())
        applyShape();
}

QRegion OverlayPanel::drawnRegionOf(const QImage& picture)
{
    return QRegion(QBitmap::fromImage(picture.createAlphaMask()));
}

void OverlayPanel::applyShape()
{
    OverlayPlatform& platform = OverlayPlatform::shared();
    const bool composited = platform.isComposited();
    if (composited)
        platform.setShape(this, QRegion());
    else if (!m_drawn.isEmpty())
        platform.setShape(this, m_drawn);
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

void OverlayPanel::withdraw()
{
    m_wanted = false;
    applyShape();
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
