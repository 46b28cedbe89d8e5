#include "ui/settings/SettingsMonkey.h"

#include "sprites/Sprites.h"

#include <QPainter>

#include <cmath>

SettingsMonkey::SettingsMonkey(const Frame& frame, double pointsPerPixel, QWidget* parent)
    : QWidget(parent)
    , m_frame(frame)
    , m_pointsPerPixel(pointsPerPixel)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize SettingsMonkey::sizeHint() const
{
    return {int(std::ceil(m_frame.width() * m_pointsPerPixel)), int(std::ceil(m_frame.height() * m_pointsPerPixel))};
}

void SettingsMonkey::paintEvent(QPaintEvent*)
{
    // Re-rasterised only when the window moves to a screen of another scale.
    const qreal ratio = devicePixelRatioF();
    if (m_image.isNull() || m_image.devicePixelRatio() != ratio)
        m_image = Sprites::scaledImage(m_frame, m_pointsPerPixel, ratio);
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), m_image);
}
