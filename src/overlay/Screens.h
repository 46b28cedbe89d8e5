#pragma once

#include <QList>
#include <QObject>
#include <QPointF>
#include <QRect>
#include <QRectF>

class QScreen;

// The screens as the overlays see them, in points with y upward from the bottom of the primary
// screen: each screen's frame, usable area and pixel density, the pointer, and the way back to
// Qt's window coordinates. Says when any of it changes. Tests hand in screens of their own.
class Screens : public QObject {
    Q_OBJECT
public:
    struct Area {
        QRectF frame;
        // What panels, docks and bars leave free.
        QRectF visible;
        // Device pixels per point.
        qreal devicePixelRatio = 1;
    };

    using QObject::QObject;

    // Every screen, the primary first: the monkey hangs there. Empty without screens.
    virtual QList<Area> areas() const = 0;

    // A rectangle given y up, as Qt places a window: from the top-left of the primary screen, y down.
    QRect toWindow(const QRectF& upward) const;

Q_SIGNALS:
    // A screen came or went, or one moved, resized or changed its usable area.
    void changed();
};

// The screens Qt knows, followed as they come, go and change.
class SystemScreens : public Screens {
    Q_OBJECT
public:
    explicit SystemScreens(QObject* parent = nullptr);

    QList<Area> areas() const override;

private:
    void follow(QScreen* screen);
};
