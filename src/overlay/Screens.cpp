#include "overlay/Screens.h"

#include "overlay/OverlayPlatform.h"

#include <QGuiApplication>
#include <QScreen>

namespace {

// Turns a rectangle between y up and y down: the same arithmetic both ways.
QRectF flipped(const QRectF& rect, double primaryHeight)
{
    return QRectF(rect.x(), primaryHeight - rect.y() - rect.height(), rect.width(), rect.height());
}

double primaryHeight()
{
    const QScreen* primary = QGuiApplication::primaryScreen();
    return primary ? primary->geometry().height() : 0;
}

} // namespace

QRect Screens::toWindow(const QRectF& upward) const
{
    const QList<Area> all = areas();
    return flipped(upward, all.isEmpty() ? 0 : all.first().frame.height()).toRect();
}

SystemScreens::SystemScreens(QObject* parent)
    : Screens(parent)
{
    for (QScreen* screen : QGuiApplication::screens())
        follow(screen);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
        follow(screen);
        Q_EMIT changed();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &Screens::changed);
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, &Screens::changed);
}

void SystemScreens::follow(QScreen* screen)
{
    connect(screen, &QScreen::geometryChanged, this, &Screens::changed);
    connect(screen, &QScreen::availableGeometryChanged, this, &Screens::changed);
}

QList<Screens::Area> SystemScreens::areas() const
{
    // Qt keeps the primary screen first.
    const double height = primaryHeight();
    QList<Area> all;
    for (const QScreen* screen : QGuiApplication::screens())
        all.append({flipped(QRectF(screen->geometry()), height), flipped(QRectF(screen->availableGeometry()), height),
            OverlayPlatform::shared().pixelsPerPoint(screen)});
    return all;
}
