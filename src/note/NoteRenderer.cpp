#include "note/NoteRenderer.h"

#include "note/NoteText.h"
#include "sprites/Sprites.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace NoteRenderer {

namespace {

constexpr QColor testPaper{200, 205, 211};
constexpr QColor onboardingPaper{155, 229, 155};
constexpr QColor renewalPaper{156, 214, 247};
constexpr QColor summaryPaper{244, 235, 217};
constexpr QColor salePaper{255, 228, 92};

QColor withAlpha(QColor colour, qreal alpha)
{
    colour.setAlphaF(float(alpha));
    return colour;
}

QColor blended(const QColor& colour, const QColor& toward, qreal fraction)
{
    const auto mix = [fraction](float from, float to) { return from + (to - from) * float(fraction); };
    return QColor::fromRgbF(
        mix(colour.redF(), toward.redF()), mix(colour.greenF(), toward.greenF()), mix(colour.blueF(), toward.blueF()));
}

// The monospaced family behind the system's fixed font (it is often an alias such as
// "monospace"), with the weights of its upright faces.
struct FontFamily {
    QString name;
    QList<int> weights;
};

const FontFamily& fontFamily()
{
    static const FontFamily family = [] {
        FontFamily found{QFontInfo(QFontDatabase::systemFont(QFontDatabase::FixedFont)).family(), {}};
        for (const QString& face : QFontDatabase::styles(found.name)) {
            if (!QFontDatabase::italic(found.name, face))
                found.weights.append(QFontDatabase::weight(found.name, face));
        }
        std::sort(found.weights.begin(), found.weights.end());
        return found;
    }();
    return family;
}

// The lightest weight the family has from `wanted` up, else its heaviest; asking for a weight it
// lacks would get a synthetic one.
int weightFrom(const QList<int>& weights, int wanted)
{
    if (weights.isEmpty())
        return wanted;
    const auto found = std::lower_bound(weights.begin(), weights.end(), wanted);
    return found == weights.end() ? weights.back() : *found;
}

QFont fontOf(const QString& family, int pixelSize, int weight)
{
    QFont font(family);
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::Weight(weight));
    return font;
}

// The note's texts, measured at its text width, with the numbers they give.
struct Measured {
    Style look;
    Layout layout;
    NoteText head;
    NoteText who;
    NoteText detail;
};

void measureTexts(const MonkeyEvent& event, Measured& note)
{
    const Fonts font = fonts();
    Layout& box = note.layout;
    box.headLineH = lineH(font.headline);
    box.whoLineH = lineH(font.who);
    box.detailLineH = lineH(font.detail);
    box.timeLineH = lineH(font.time);
    note.head = NoteText(event.headline, font.headline, ink, box.textW, 1);
    if (event.who)
        note.who = NoteText(*event.who, font.who, ink, box.textW, 2);
    if (event.detail)
        note.detail = NoteText(*event.detail, font.detail, withAlpha(ink, 0.8), box.textW, 2);
    box.headH = note.head.height();
    box.whoH = note.who.height();
    box.detailH = note.detail.height();
    box.headLines = note.head.lines();
    box.whoLines = note.who.lines();
    box.detailLines = note.detail.lines();
}

Measured measure(const MonkeyEvent& event)
{
    Measured note;
    note.look = style(event);
    Layout& box = note.layout;
    box.iconW = note.look.icon->width() * p;
    box.iconH = note.look.icon->height() * p;
    box.textX = box.iconW + 16 + 12;
    box.textW = width - box.textX - 16;
    measureTexts(event, note);
    box.textH
        = box.headH + (box.whoH > 0 ? 6 + box.whoH : 0) + (box.detailH > 0 ? 3 + box.detailH : 0) + 8 + box.timeLineH;
    box.contentH = std::max(box.textH, box.iconH + 26);
    box.cardH = box.contentH + 28;
    box.size = QSizeF(width + p, box.cardH + 12);
    return note;
}

// A rectangle with a p × p square cut from each corner: the union of its two insets.
QPainterPath notched(const QRectF& rect)
{
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    path.addRect(rect.adjusted(p, 0, -p, 0));
    path.addRect(rect.adjusted(0, p, 0, -p));
    return path;
}

// Shadow, outline, paper and the bevel: lit from the top left, shaded to the bottom right.
void drawCard(QPainter& painter, const QRectF& card, const QColor& paper)
{
    painter.fillPath(notched(card.translated(p, p)), QColor::fromRgbF(0, 0, 0, 0.28f));
    painter.fillPath(notched(card), outline);
    const QRectF inner = card.adjusted(p, p, -p, -p);
    painter.fillRect(inner, paper);
    const QColor light = blended(paper, Qt::white, 0.5);
    painter.fillRect(QRectF(inner.left(), inner.top(), inner.width() - p, p), light);
    painter.fillRect(QRectF(inner.left(), inner.top(), p, inner.height() - p), light);
    const QColor shade = blended(paper, Qt::black, 0.2);
    painter.fillRect(QRectF(inner.left() + p, inner.bottom() - p, inner.width() - p, p), shade);
    painter.fillRect(QRectF(inner.right() - p, inner.top() + p, p, inner.height() - p), shade);
}

// A strip of tape across the card's top edge, its torn ends a little more see-through.
void drawTape(QPainter& painter, const QRectF& card)
{
    const QRectF tape(card.center().x() - 36, card.top() - 8, 72, 16);
    painter.fillRect(tape, withAlpha(Qt::white, 0.55));
    const QColor ends = withAlpha(Qt::white, 0.35);
    painter.fillRect(QRectF(tape.left(), tape.top(), p, tape.height()), ends);
    painter.fillRect(QRectF(tape.right() - p, tape.top(), p, tape.height()), ends);
}

void drawTexts(QPainter& painter, const Measured& note)
{
    const Layout& box = note.layout;
    qreal y = box.inner().top() + 12;
    note.head.draw(painter, QPointF(box.textX, y));
    y += box.headH;
    if (box.whoH > 0) {
        y += 6;
        note.who.draw(painter, QPointF(box.textX, y));
        y += box.whoH;
    }
    if (box.detailH > 0) {
        y += 3;
        note.detail.draw(painter, QPointF(box.textX, y));
    }
}

void drawTime(QPainter& painter, const QRectF& inner, const QString& time)
{
    const QFont font = fonts().time;
    const QSizeF size = NoteText::naturalSize(time, font);
    const QPointF at(inner.right() - 12 - size.width(), inner.bottom() - 8 - size.height());
    NoteText::drawLine(painter, at, time, font, withAlpha(ink, 0.5));
}

// A red box around "TEST", its bottom level with the bottom of the time. Drawn without
// smoothing: its edges fall between device pixels and would blur.
void drawStamp(QPainter& painter, const QRectF& inner)
{
    const QFont font = fonts().time;
    const QString label = u"TEST"_s;
    const QSizeF size = NoteText::naturalSize(label, font);
    const QRectF stamp(inner.left() + 12, inner.bottom() - 8 - size.height() - 4, size.width() + 10, size.height() + 4);
    painter.setPen(QPen(stampColour, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(stamp);
    NoteText::drawLine(painter, stamp.topLeft() + QPointF(5, 2), label, font, stampColour);
}

QSize deviceSize(const QSizeF& points, qreal ratio)
{
    // Whole points at a whole ratio must not round up a pixel through float error.
    const auto pixels = [ratio](qreal length) { return int(std::ceil(length * ratio - 1e-6)); };
    return {pixels(points.width()), pixels(points.height())};
}

} // namespace

Style style(const MonkeyEvent& event)
{
    if (event.isTest())
        return {testPaper, event.isMoney() ? &Sprites::coin() : &Sprites::star()};
    if (event.kind == u"onboarding")
        return {onboardingPaper, &Sprites::star()};
    if (event.kind == u"renewal" || event.kind == u"mobile_renewal")
        return {renewalPaper, &Sprites::coin()};
    if (event.kind == u"summary")
        return {summaryPaper, &Sprites::star()};
    return {salePaper, &Sprites::coin()};
}

Fonts fonts()
{
    const FontFamily& family = fontFamily();
    const int heaviest = family.weights.isEmpty() ? int(QFont::Black) : family.weights.back();
    return {
        fontOf(family.name, 15, heaviest),
        fontOf(family.name, 13, weightFrom(family.weights, QFont::DemiBold)),
        fontOf(family.name, 12, QFont::Normal),
        fontOf(family.name, 11, weightFrom(family.weights, QFont::Bold)),
    };
}

qreal lineH(const QFont& font)
{
    return NoteText::lineHeight(font);
}

Layout layout(const MonkeyEvent& event)
{
    return measure(event).layout;
}

QString timeText(const MonkeyEvent& event, const QDateTime& now)
{
    // One formatter for every note, set up on first use.
    static const QLocale locale = QLocale::system();
    return locale.toString(event.date().value_or(now).toLocalTime(), timeFormat);
}

QImage image(const MonkeyEvent& event, qreal devicePixelRatio, const QDateTime& now)
{
    const Measured note = measure(event);
    const Layout& box = note.layout;
    QImage picture(deviceSize(box.size, devicePixelRatio), QImage::Format_ARGB32_Premultiplied);
    picture.setDevicePixelRatio(devicePixelRatio);
    picture.fill(Qt::transparent);

    QPainter painter(&picture);
    // Hard pixel edges for the frame and the icon; text keeps its own antialiasing.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.setRenderHint(QPainter::Antialiasing, false);
    drawCard(painter, box.card(), note.look.paper);
    drawTape(painter, box.card());
    const QRectF inner = box.inner();
    painter.drawImage(inner.topLeft() + QPointF(12, 12), Sprites::scaledImage(*note.look.icon, p, devicePixelRatio));
    drawTexts(painter, note);
    drawTime(painter, inner, timeText(event, now));
    if (event.isTest())
        drawStamp(painter, inner);
    return picture;
}

} // namespace NoteRenderer
