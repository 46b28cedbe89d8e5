#pragma once

#include <QPointF>
#include <QRectF>

// The stage and the note reason in points with the origin at the bottom-left of the primary
// screen and y upward; Qt places windows from the top-left with y downward. This is the one
// place where the two meet.
class ScreenSpace {
public:
    explicit ScreenSpace(double primaryHeight) : m_primaryHeight(primaryHeight) {}

    // The space of the current primary screen.
    static ScreenSpace current();

    QPointF toQt(QPointF upward) const { return {upward.x(), m_primaryHeight - upward.y()}; }
    QPointF fromQt(QPointF downward) const { return {downward.x(), m_primaryHeight - downward.y()}; }
    QRectF toQt(const QRectF& upward) const;
    QRectF fromQt(const QRectF& downward) const;

private:
    double m_primaryHeight;
};
