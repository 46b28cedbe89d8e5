// Renders the app icon, the monkey's head, at the hicolor sizes: sharp pixels, centred on a
// square of transparency.  render-icons <output-dir>  →  <dir>/<size>x<size>/apps/com.bonkbell.mac.png
#include "sprites/Sprites.h"

#include <QDir>
#include <QGuiApplication>
#include <QPainter>

#include <cmath>
#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: render-icons <output-dir>\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const Frame& head = Sprites::menuIcon();
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        // Whole device pixels per sprite pixel where that still fills most of the square.
        const double fit = double(size) / head.width();
        const double whole = std::floor(fit);
        const double perPixel = whole >= 1 && whole / fit >= 0.9 ? whole : fit;
        const QImage scaled = Sprites::scaledImage(head, perPixel);
        QImage icon(size, size, QImage::Format_ARGB32_Premultiplied);
        icon.fill(Qt::transparent);
        QPainter painter(&icon);
        painter.drawImage((size - scaled.width()) / 2, (size - scaled.height()) / 2, scaled);
        painter.end();
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(out).arg(size);
        QDir().mkpath(dir);
        if (!icon.save(dir + QStringLiteral("/com.bonkbell.mac.png"))) {
            std::fprintf(stderr, "could not write %s\n", qPrintable(dir));
            return 1;
        }
    }
    return 0;
}
