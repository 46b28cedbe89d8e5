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
    // Unmanaged (override-redirect on X11): no window manager places it, frames it, hides it
    // with its application, lists it in a taskbar or a switcher, keeps it to one workspace or
    // gives it the focus. It stays where it is put, on top.
    : QWidget(nullptr,
        Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus
            | Qt::NoDropShadowWindowHint | Qt::X11BypassWindowManagerHint)
    , m_level(level)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(frame);
    panels().append(this);
    OverlayPlatform::shared().adopt(this, level);
    connect(&OverlayPlatform::shared(), &OverlayPlatform::compositedChanged, this, &OverlayPanel::applyShape);
    connect(&OverlayPlatform::shared(), &OverlayPlatform::windowRestacked, this, &OverlayPanel::keepOnTop);
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
    if (OverlayPlatform::shared().cutsToDrawn())
        applyShape();
}

QRegion OverlayPanel::drawnRegionOf(const QImage& picture)
{
    // Without a compositor a pixel shows fully or not at all; with one, faint pixels blend.
    if (!OverlayPlatform::shared().isComposited())
        return QRegion(QBitmap::fromImage(picture.createAlphaMask()));
    QImage solid = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < solid.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(solid.scanLine(y));
        std::replace_if(
            row, row + solid.width(), [](QRgb pixel) { return pixel != 0; }, qRgba(0, 0, 0, 255));
    }
    return QRegion(QBitmap::fromImage(solid.createAlphaMask()));
}

void OverlayPanel::showSolidWithoutCompositor(QImage& picture)
{
    if (OverlayPlatform::shared().isComposited())
        return;
    picture.convertTo(QImage::Format_ARGB32);
    for (int y = 0; y < picture.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        std::transform(
            row, row + picture.width(), row, [](QRgb pixel) { return qAlpha(pixel) ? pixel | 0xff000000 : 0; });
    }
    // Every pixel is now opaque or clear, the same premultiplied or not.
    picture.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
}

void OverlayPanel::applyShape()
{
    OverlayPlatform& platform = OverlayPlatform::shared();
    const bool cut = platform.cutsToDrawn();
    if (!cut)
        platform.setShape(this, QRegion());
    else if (!m_drawn.isEmpty())
        platform.setShape(this, m_drawn);
    // A window cut to nothing drawn is no window: nothing to see, nothing to catch the pointer.
    const bool visible = m_wanted && (!cut || !m_drawn.isEmpty());
    if (visible == isVisible())
        return;
    setVisible(visible);
    // Mapped only now (on its first drawn frame), it went on top of the panels above its level.
    if (visible)
        restackAll();
}

void OverlayPanel::keepOnTop(quintptr window, quintptr below)
{
    // Some window managers raise their windows over unmanaged ones: go back on top when one
    // lands directly on this panel, or on top of everything while this is the top panel.
    const bool ours = std::any_of(panels().cbegin(), panels().cend(),
        [window](OverlayPanel* panel) { return panel->internalWinId() && quintptr(panel->internalWinId()) == window; });
    if (!isVisible() || ours)
        return;
    const bool onThis = below == quintptr(winId());
    const bool onTop = below == 0 && level() == topLevel();
    if (onThis || onTop)
        restackAll();
}

int OverlayPanel::topLevel()
{
    int top = 0;
    for (const OverlayPanel* panel : panels())
        top = std::max(top, panel->isVisible() ? panel->level() : 0);
    return top;
}

void OverlayPanel::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Input state asked for before the native window existed is applied now that it does.
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
    std::stable_sort(ordered.begin(), ordered.end(),
        [](const OverlayPanel* a, const OverlayPanel* b) { return a->level() < b->level(); });
    for (OverlayPanel* panel : ordered) {
        if (panel->isVisible())
            panel->raise();
    }
}
