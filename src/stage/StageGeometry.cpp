#include "stage/StageGeometry.h"

#include "sprites/Sprites.h"

#include <cmath>

StageGeometry StageGeometry::forScale(double scale)
{
    StageGeometry geometry;
    geometry.S = scale;
    geometry.n = int(std::ceil(900 / scale));
    geometry.vineH = geometry.n * scale;
    geometry.panelSize = QSizeF(cols * scale + swingRoom + 150, panelHeight);
    return geometry;
}

double StageGeometry::restingY(bool alwaysVisible) const
{
    // Visible: the monkey's top 5 sprite pixels below the panel's top. Hidden: its bottom
    // 16 points above the panel's top, out of sight.
    if (alwaysVisible)
        return panelSize.height() + vineH - 7 * S;
    return panelSize.height() + 16 + vineH - 2 * S + rows * S;
}

double StageGeometry::hitAngle() const
{
    return -std::asin(swingRoom / R());
}

QPointF StageGeometry::pendulumAnchor() const
{
    return {Sprites::vineCenterX / cols, 1};
}

double StageGeometry::pendulumX() const
{
    return panelSize.width() - rightMargin - (cols - Sprites::vineCenterX) * S;
}

QRectF StageGeometry::vineFrame() const
{
    return {(Sprites::vineCenterX - 2) * S, rows * S - 2 * S, 4 * S, vineH};
}

QPointF StageGeometry::handInMonkey() const
{
    return {Sprites::slapHand.x() * S, (rows - Sprites::slapHand.y()) * S};
}

QRectF StageGeometry::panelFrame(const QRectF& visibleArea) const
{
    return {visibleArea.right() - panelSize.width(), visibleArea.bottom() - panelSize.height(), panelSize.width(),
        panelSize.height()};
}

QPoint StageGeometry::spritePixel(
    QPointF at, QPointF pivot, double angle, double anchorX, QSizeF bounds, double scale, double spriteHeight)
{
    const double dx = at.x() - pivot.x();
    const double dy = at.y() - pivot.y();
    const double c = std::cos(angle), s = std::sin(angle);
    const double lx = dx * c + dy * s;
    const double ly = dy * c - dx * s;
    return {int(std::floor((lx + anchorX * bounds.width()) / scale)),
        int(std::floor((spriteHeight - (ly + bounds.height())) / scale))};
}
