#include "ui/TrayIcon.h"

#include "sprites/Sprites.h"

#include <QPainter>
#include <QPixmap>

#include <algorithm>

namespace TrayIcon {

namespace {

// Whole sprite pixels look crispest; take them when they still fill nine tenths of the width,
// else stretch to the full width (uneven pixels, but no tiny icon in a 22 px panel).
double pixelFactor(int size, int spriteWidth)
{
    const int whole = size / spriteWidth;
    if (whole >= 1 && whole * spriteWidth * 10 >= size * 9)
        return whole;
    return double(size) / spriteWidth;
}

} // namespace

QImage render(int size)
{
    const Frame& head = Sprites::menuIcon();
    const QImage scaled = Sprites::scaledImage(head, pixelFactor(size, std::max(head.width(), head.height())));
    QImage canvas(size, size, QImage::Format_RGBA8888_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.drawImage(QPoint((size - scaled.width()) / 2, (size - scaled.height()) / 2), scaled);
    return canvas;
}

QIcon icon()
{
    QIcon icon;
    for (const int size : sizes)
        icon.addPixmap(QPixmap::fromImage(render(size)));
    return icon;
}

} // namespace TrayIcon
