#include "overlay/ScreenSpace.h"

#include <QGuiApplication>
#include <QScreen>

ScreenSpace ScreenSpace::current()
{
    const QScreen* primary = QGuiApplication::primaryScreen();
    return ScreenSpace(primary ? primary->geometry().height() : 0);
}

QRectF ScreenSpace::toQt(const QRectF& upward) const
{
    return QRectF(upward.x(), m_primaryHeight - upward.y() - upward.height(), upward.width(), upward.height());
}

QRectF ScreenSpace::fromQt(const QRectF& downward) const
{
    return QRectF(downward.x(), m_primaryHeight - downward.y() - downward.height(), downward.width(), downward.height());
}
