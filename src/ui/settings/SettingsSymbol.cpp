#include "ui/settings/SettingsSymbol.h"

#include <QPainter>
#include <QPainterPath>

namespace {

// The drawings live in a 16-unit square; the painter scales them to the widget.
constexpr qreal unit = 16;

void drawCircle(QPainter& painter, const QColor& color)
{
    painter.setPen(QPen(color, 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QRectF(1.75, 1.75, 12.5, 12.5));
}

void drawHourglass(QPainter& painter, const QColor& color)
{
    QPainterPath glass;
    glass.moveTo(4.5, 2.5);
    glass.lineTo(11.5, 2.5);
    glass.cubicTo(11.5, 6, 8.6, 7, 8.6, 8);
    glass.cubicTo(8.6, 9, 11.5, 10, 11.5, 13.5);
    glass.lineTo(4.5, 13.5);
    glass.cubicTo(4.5, 10, 7.4, 9, 7.4, 8);
    glass.cubicTo(7.4, 7, 4.5, 6, 4.5, 2.5);
    painter.setPen(QPen(color, 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(glass);
    painter.drawLine(QPointF(3, 2), QPointF(13, 2));
    painter.drawLine(QPointF(3, 14), QPointF(13, 14));
    // The sand that has run through.
    QPainterPath sand;
    sand.moveTo(5.6, 13);
    sand.cubicTo(6.5, 11.2, 9.5, 11.2, 10.4, 13);
    sand.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawPath(sand);
}

void drawCheckmarkCircle(QPainter& painter, const QColor& color)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(QRectF(1, 1, 14, 14));
    QPainterPath check;
    check.moveTo(4.8, 8.3);
    check.lineTo(7, 10.5);
    check.lineTo(11.3, 5.6);
    painter.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(check);
}

void drawExclamationTriangle(QPainter& painter, const QColor& color)
{
    QPainterPath triangle;
    triangle.moveTo(8, 1.5);
    triangle.lineTo(15, 14);
    triangle.lineTo(1, 14);
    triangle.closeSubpath();
    painter.setPen(QPen(color, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(color);
    painter.drawPath(triangle);
    painter.setPen(QPen(Qt::white, 1.7, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(8, 5.6), QPointF(8, 9.4));
    painter.drawPoint(QPointF(8, 12));
}

} // namespace

SettingsSymbol::SettingsSymbol(QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void SettingsSymbol::setSymbol(Kind kind, const QColor& color)
{
    if (kind == m_kind && color == m_color)
        return;
    m_kind = kind;
    m_color = color;
    update();
}

QSize SettingsSymbol::sizeHint() const
{
    // As tall as the capitals and a little more, like an icon set in the line of text.
    const int side = qRound(fontMetrics().height() * 0.95);
    return {side, side};
}

void SettingsSymbol::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = qMin(width(), height());
    painter.translate((width() - side) / 2, (height() - side) / 2);
    painter.scale(side / unit, side / unit);
    switch (m_kind) {
    case Kind::circle:
        return drawCircle(painter, m_color);
    case Kind::hourglass:
        return drawHourglass(painter, m_color);
    case Kind::checkmarkCircleFill:
        return drawCheckmarkCircle(painter, m_color);
    case Kind::exclamationTriangleFill:
        return drawExclamationTriangle(painter, m_color);
    }
}
