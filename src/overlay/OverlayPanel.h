#pragma once

#include <QRegion>
#include <QWidget>

// A borderless, transparent window that floats above everything, never takes the focus and
// never shows in the taskbar. Higher levels stay stacked above lower ones. Mouse events can be
// let through to the windows below without recreating the window.
class OverlayPanel : public QWidget {
    Q_OBJECT
public:
    OverlayPanel(const QRect& frame, int level);
    ~OverlayPanel() override;

    int level() const { return m_level; }

    // Everywhere, or nowhere: the whole window takes the pointer, or lets it through.
    void setIgnoresMouseEvents(bool ignore);
    bool ignoresMouseEvents() const { return inputRegion().isEmpty(); }
    // Takes the pointer only inside `region` (window coordinates), letting it through elsewhere.
    void setInputRegion(const QRegion& region);
    QRegion inputRegion() const { return m_wholeWindowInput ? QRegion(rect()) : m_input; }

    // The pixels actually drawn. Where the platform cuts windows the window is cut to them, so
    // the rest is truly see-through (not black) and lets the pointer through.
    void setDrawnRegion(const QRegion& drawn);
    QRegion drawnRegion() const { return m_drawn; }
    // The pixels of `picture` that count as drawn: without a compositor those at least half
    // opaque, with one any that is not clear.
    static QRegion drawnRegionOf(const QImage& picture);
    // Without a compositor the X server shows a pixel's stored colour as it is, and a pixel kept
    // half transparent would show darkened: each shows its own colour at full strength instead.
    static void showSolidWithoutCompositor(QImage& picture);

    // Shows the panel without activating it and restacks every panel by level.
    void bringToFront();
    // Unmaps the panel until the next bringToFront: nothing to show, nothing to catch.
    void withdraw();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void applyInputPassThrough();
    void applyShape();
    void keepOnTop(quintptr window, quintptr below);
    static void restackAll();
    static int topLevel();

    int m_level;
    QRegion m_input;
    bool m_wholeWindowInput = true;
    bool m_wanted = false;
    QRegion m_drawn;
};
