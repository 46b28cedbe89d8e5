#include "sprites/Sprites.h"

#include "sprites/Palette.h"

#include <QPainter>

#include <cmath>

namespace Sprites {

const Frame& idle()
{
    static const Frame frame{{
        "................DDDD..",
        "................DttD..",
        "....DDDDDDDDDDD.DttD..",
        "....DbbbbbbbbbD.DbbD..",
        "....DBBBBBBBBBD.DBBD..",
        "..DDDBBWKBWKBBDDDBBD..",
        "..DtDBTKKTKKTBDtDBBD..",
        "..DtDTTTtTtTTTDtDBBD..",
        "..DDDTTDTTTDTTDDDBBD..",
        "....DTTTDDDTTTD.DBBD..",
        "....DBTTTTTTTBD.DBBD..",
        "....DDDDDDDDDDDBBBBD..",
        "....DDDDbbBBBBBBBBBD..",
        "....DBBDbbBTTBBBBDDD..",
        "....DBBDbbTTTTBBD.....",
        "....DBBDbbTTTTBBD.....",
        "....DBBDbbTTTTBBD.....",
        "....DBBDbbTTTTBBD.....",
        "....DBBDbbTTTTBBD.....",
        "....DBBDbbBTTBBBDDD...",
        "....DttDbbBBBBBBD..DD.",
        "....DttDDDDDDDDDD..D.D",
        "....DDDDBBD.DBBD...D.D",
        ".......DBBD.DBBD....D.",
        ".......DBBD.DBBD......",
        ".......DttD.DttD......",
        ".......DDDD.DDDD......",
        "......................",
    }};
    return frame;
}

const Frame& blink()
{
    static const Frame frame = idle().withRows({
        {5, "..DDDBBTTBTTBBDDDBBD.."},
        {6, "..DtDBTDDTDDTBDtDBBD.."},
    });
    return frame;
}

const Frame& slap()
{
    static const Frame frame = idle().withRows({
        {8, "..DDDTTTDPDTTTDDDBBD.."},
        {9, "....DTTTDPDTTTD.DBBD.."},
        {12, "DDDDDDDDDbBBBBBBBBBD.."},
        {13, "DttBBBBBBbBTTBBBBDDD.."},
        {14, "DttBBBBBBbTTTTBBD....."},
        {15, "DDDDDDDDDbTTTTBBD....."},
        {16, ".......DbbTTTTBBD....."},
        {17, ".......DbbTTTTBBD....."},
        {18, ".......DbbTTTTBBD....."},
        {19, ".......DbbBTTBBBDDD..."},
        {20, ".......DbbBBBBBBD..DD."},
        {21, ".......DDDDDDDDDD..D.D"},
        {22, ".......DBBD.DBBD...D.D"},
    });
    return frame;
}

const Frame& menuIcon()
{
    static const Frame frame{{
        "..DDDDDDDDDDD..",
        "..DbbbbbbbbbD..",
        "..DBBBBBBBBBD..",
        "DDDBBWKBWKBBDDD",
        "DtDBTKKTKKTBDtD",
        "DtDTTTtTtTTTDtD",
        "DDDTTDTTTDTTDDD",
        "..DTTTDDDTTTD..",
        "..DBTTTTTTTBD..",
        "..DDDDDDDDDDD..",
    }};
    return frame;
}

const Frame& coin()
{
    static const Frame frame{{
        "..OOOO..",
        ".OYYYYO.",
        "OYSYYYyO",
        "OYYYYYyO",
        "OYYYYYyO",
        "OYYYYyyO",
        ".OyyyyO.",
        "..OOOO..",
    }};
    return frame;
}

const Frame& star()
{
    static const Frame frame{{
        "....O....",
        "...OYO...",
        "OOOOYOOOO",
        "OYYYSYYYO",
        ".OYYYYYO.",
        "..OYYYO..",
        ".OYYOYYO.",
        ".OYO.OYO.",
        ".OO...OO.",
    }};
    return frame;
}

Frame vine(int height)
{
    Frame frame;
    frame.rows.reserve(size_t(std::max(height, 0)));
    for (int y = 0; y < height; ++y) {
        std::string row = ".GG.";
        if (y % 3 == 0)
            row[1] = 'g';
        if (y % 3 == 2)
            row[2] = 'g';
        if (y % 13 == 4 || y % 13 == 5)
            row[0] = 'L';
        if (y % 17 == 11 || y % 17 == 12)
            row[3] = 'L';
        frame.rows.push_back(std::move(row));
    }
    return frame;
}

QImage image(const Frame& frame)
{
    // Every pixel is either opaque or zero, so the values are already premultiplied.
    if (frame.width() == 0 || frame.height() == 0)
        return {};
    QImage bitmap(frame.width(), frame.height(), QImage::Format_RGBA8888_Premultiplied);
    bitmap.fill(Qt::transparent);
    for (int y = 0; y < frame.height(); ++y) {
        const std::string& row = frame.rows[size_t(y)];
        for (int x = 0; x < int(row.size()); ++x) {
            if (const auto rgb = Palette::color(row[size_t(x)]))
                bitmap.setPixel(x, y, *rgb | 0xff000000u);
        }
    }
    return bitmap;
}

QImage scaledImage(const Frame& frame, double pointsPerPixel, qreal devicePixelRatio)
{
    const double factor = pointsPerPixel * devicePixelRatio;
    const QSize size(int(std::lround(frame.width() * factor)), int(std::lround(frame.height() * factor)));
    QImage scaled(size.expandedTo(QSize(1, 1)), QImage::Format_RGBA8888_Premultiplied);
    scaled.fill(Qt::transparent);
    QPainter painter(&scaled);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QRectF(QPointF(0, 0), QSizeF(size)), image(frame));
    painter.end();
    scaled.setDevicePixelRatio(devicePixelRatio);
    return scaled;
}

} // namespace Sprites
