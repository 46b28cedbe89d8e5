#pragma once

#include <QImage>
#include <QList>
#include <QObject>
#include <QRegion>

#include <memory>

class QScreen;
class QWidget;
class WaylandConnection;

// What overlay windows need from the windowing system: whether a compositor blends translucent
// windows (and news when one starts or stops), cutting a window to a shape, and letting the
// pointer through a window. Each windowing system with its own needs is one file.
class OverlayPlatform : public QObject {
    Q_OBJECT
public:
    // The one for the windowing system this process runs on, made on first use.
    static OverlayPlatform& shared();

    // How the overlays are shown, for the log ("x11", "wayland layer-shell"); empty for plain Qt windows.
    virtual QString name() const { return {}; }
    // Takes in a new overlay panel of stacking level `level`, where the windowing system shows
    // panels some way of its own.
    virtual void adopt(QWidget*, int) {}
    // Device pixels per point of what shows on `screen`: Qt's own, or more where the windowing
    // system shows the overlays sharper than Qt's windows.
    virtual qreal pixelsPerPoint(const QScreen* screen) const;

    // Without a compositor, clear pixels show black: windows are then cut to what they draw.
    virtual bool isComposited() const = 0;
    // Whether windows are cut to the pixels they draw: where nothing blends clear pixels away,
    // and where a cut is the only way to let the pointer through (see the X11 one).
    virtual bool cutsToDrawn() const { return !isComposited(); }
    // Cuts the window to `shape`; an empty shape is the whole window.
    virtual void setShape(QWidget* window, const QRegion& shape);
    // Lets the pointer through to the windows below, without recreating the window.
    virtual void setPassThrough(QWidget* window, bool on);
    // Takes the pointer only inside `region` (window coordinates) and lets it through elsewhere;
    // an empty region lets it through everywhere. Where the windowing system cannot cut input to
    // a region, a region takes the whole window.
    virtual void setInputRegion(QWidget* window, const QRegion& region);
    // Whether a region takes the whole window because the desktop hands a window every click
    // in its box whatever its shapes (some Wayland compositors, to XWayland windows).
    virtual bool takesClicksInWholeBox() const { return false; }

    // One picture of a window, and the shape the window takes while it shows (none: not cut).
    struct Pose {
        QImage picture;
        QRegion shape;
    };
    // Pictures of one window kept by the windowing system, each shown with a copy instead of an
    // upload. While a sheet shows, the window's own repaints are held back: exposed parts get
    // the sheet's picture again.
    class PoseSheet {
    public:
        virtual ~PoseSheet() = default;
        // Shows `pose`, copying only `area` of it (window coordinates): the window keeps the rest.
        virtual void show(int pose, QRect area) = 0;
        // Stops holding back the window's own repaints and gives the window its own shape back
        // (the sheet stays for later).
        virtual void release() = 0;
    };
    // Whether this windowing system can keep pictures for a window at all.
    virtual bool keepsPoses() const { return false; }
    // The sheet for `window` (pictures the size of the window), or none where the windowing
    // system keeps no pictures; then the window paints every frame itself.
    virtual std::unique_ptr<PoseSheet> makePoseSheet(QWidget* window, const QList<Pose>& poses);

    // Whether the active window is fullscreen on the monkey's screen (a presentation, a call, a
    // game); false where the windowing system does not tell.
    virtual bool isFullscreenActive() const { return false; }

Q_SIGNALS:
    void compositedChanged(bool composited);
    // A window of another program was mapped or restacked: now directly above `below`, or on
    // top of everything when `below` is 0. Only for windows the window manager manages.
    void windowRestacked(quintptr window, quintptr below);
    void fullscreenActiveChanged(bool on);

protected:
    using QObject::QObject;
};

// The X11 one, or none when this process does not talk to an X server (X11OverlayPlatform.cpp).
std::unique_ptr<OverlayPlatform> makeX11OverlayPlatform();
// Layer surfaces over `wayland`, whose compositor offers them (LayerShellOverlayPlatform.cpp).
std::unique_ptr<OverlayPlatform> makeLayerShellOverlayPlatform(std::unique_ptr<WaylandConnection> wayland);
