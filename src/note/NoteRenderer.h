#pragma once

#include "events/MonkeyEvent.h"
#include "sprites/Frame.h"

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QStringList>
#include <QStringView>

// The paper note the monkey slaps onto the screen, drawn as an image. Every call measures and
// draws afresh; only the font family and the locale are looked up once. Lengths are points,
// origin top-left, y down.
namespace NoteRenderer {

// The frame's pixel unit: insets, strips, the shadow offset, points per icon sprite pixel.
inline constexpr qreal p = 4;
// Width of the card (the image adds the shadow's 4 points).
inline constexpr qreal width = 276;
inline constexpr QColor ink{42, 23, 8};
inline constexpr QColor outline{58, 32, 14};
inline constexpr QColor stampColour{196, 40, 40};
// Hour without padding, minutes, and the locale's own AM/PM text as it writes it ("Ap" keeps
// its case, where "a" would force lower case).
inline constexpr QStringView timeFormat = u"h:mm Ap";

// The note's colours for one event.
struct Style {
    QColor paper;
    const Frame* icon = nullptr;
};

// Test events first, then the kind, compared case-sensitively.
Style style(const MonkeyEvent& event);

// The platform's monospaced font in the note's four roles, sized in pixels (1 point = 1 logical
// pixel) at weights the family really has, so nothing is emboldened synthetically. The family
// and its weights are looked up once.
struct Fonts {
    QFont headline; // 15, the heaviest weight
    QFont who;      // 13, the lightest weight from semibold up
    QFont detail;   // 12, regular
    QFont time;     // 11, the lightest weight from bold up; also the TEST label
};
Fonts fonts();

// ceil(ascent + descent + leading): the height one line of `font` is given.
qreal lineH(const QFont& font);

// What one note measures; the drawing follows these numbers.
struct Layout {
    qreal iconW = 0;
    qreal iconH = 0;
    qreal textX = 0;
    qreal textW = 0;
    qreal headLineH = 0;
    qreal whoLineH = 0;
    qreal detailLineH = 0;
    qreal timeLineH = 0;
    qreal headH = 0;   // 0 for an empty text, else its wrapped height capped at one line
    qreal whoH = 0;    // capped at two lines
    qreal detailH = 0; // capped at two lines
    qreal textH = 0;
    qreal contentH = 0;
    qreal cardH = 0;
    QSizeF size; // the image: the card, the tape's upper half above it, the shadow
    // The lines each block shows; a line cut short ends in "…".
    QStringList headLines;
    QStringList whoLines;
    QStringList detailLines;

    QRectF card() const { return {0, 8, width, cardH}; }
    QRectF inner() const { return card().adjusted(p, p, -p, -p); }
};

Layout layout(const MonkeyEvent& event);

// The time the note shows: the event's own time, or `now` when it has none, in local time.
QString timeText(const MonkeyEvent& event, const QDateTime& now = QDateTime::currentDateTime());

// The note at `devicePixelRatio` device pixels per point, marked with that ratio so it is
// placed by its size in points and stays sharp.
QImage image(const MonkeyEvent& event, qreal devicePixelRatio, const QDateTime& now = QDateTime::currentDateTime());

} // namespace NoteRenderer
