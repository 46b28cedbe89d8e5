#include "stage/StageGeometry.h"

#include "sprites/Sprites.h"

#include <QRegion>

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

QRegion StageGeometry::swayReach() const
{
    // Found with the click's own hit test; worked out once per layout.
    const StageGeometry& g = *this;
    const QPointF pivot(g.pendulumX(), g.restingY(true));
    const double a = g.swayAmplitude(), height = g.panelSize.height(), margin = 2 * g.swayAmplitude() * g.R() + g.S;
    const QRectF reach(g.pendulumX() - g.cols * g.S - margin, height - (g.rows + 7) * g.S - margin,
        2 * (g.cols * g.S + margin), (g.rows + 7) * g.S + margin);
    const Frame& idle = Sprites::idle();
    const int left = std::max(0, int(reach.left())), right = std::min(int(g.panelSize.width()), int(reach.right()) + 1);
    QRegion region;
    for (int y = std::max(0, int(height - reach.bottom())); y < std::min(int(height), int(height - reach.top()) + 1);
         ++y) {
        int runStart = -1;
        for (int x = left; x <= right; ++x) {
            const QPointF at(x + 0.5, height - (y + 0.5));
            bool covered = false;
            for (double angle : {-a, -a / 2, 0.0, a / 2, a}) {
                const QPoint cell = StageGeometry::spritePixel(at, pivot, angle, g.pendulumAnchor().x(),
                    g.pendulumBounds().size(), g.S, StageGeometry::rows * g.S);
                covered = covered || (x < right && idle.isOpaque(cell.x(), cell.y()));
            }
            if (covered && runStart < 0)
                runStart = x;
            if (!covered && runStart >= 0) {
                region += QRect(runStart, y, x - runStart, 1);
                runStart = -1;
            }
        }
    }
    return region;
}
