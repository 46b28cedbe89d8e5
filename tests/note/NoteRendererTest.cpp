#include "note/NoteRenderer.h"
#include "sprites/Sprites.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QLocale>
#include <gtest/gtest.h>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

MonkeyEvent note(const QString& kind, const QString& headline, std::optional<QString> who = {},
    std::optional<QString> detail = {}, bool test = false)
{
    return {kind, headline, std::move(who), std::move(detail), test, u"2026-12-05T18:54:09Z"_s};
}

TEST(NoteLook, StyleLayoutTimeAndFonts)
{
    // Test events first, then the kind compared exactly: any other spelling looks like a sale.
    const auto look = [](const QString& kind, bool test = false) {
        const NoteRenderer::Style style = NoteRenderer::style(note(kind, u"Hi"_s, {}, {}, test));
        return std::pair(style.paper.rgb(), style.icon);
    };
    for (const auto& kind : {u"Renewal"_s, u"ONBOARDING"_s, u"refund"_s})
        EXPECT_EQ(look(kind), look(u"sale"_s)) << kind.toStdString();
    EXPECT_EQ(look(u"mobile_renewal"_s), look(u"renewal"_s));
    EXPECT_NE(look(u"renewal"_s), look(u"sale"_s));
    EXPECT_EQ(look(u"renewal"_s, true), look(u"sale"_s, true));
    EXPECT_EQ(look(u"onboarding"_s, true), std::pair(look(u"sale"_s, true).first, &Sprites::star()));
    // The icon sets the text column and the least height; gaps come only between texts that take space.
    for (const auto& [event, textX, size] : {std::tuple(note(u"sale"_s, u"New sale!"_s), 60, QSizeF(280, 98)),
             std::tuple(note(u"onboarding"_s, u"Welcome"_s, {}, u"Pro"_s), 64, QSizeF(280, 102))}) {
        const NoteRenderer::Layout box = NoteRenderer::layout(event);
        EXPECT_EQ(std::tuple(box.textX, box.textW, box.size), std::tuple(textX, 260 - textX, size));
    }
    const NoteRenderer::Layout full = NoteRenderer::layout(note(u"sale"_s, u"Sale"_s, u"Jane"_s, u"$49.00"_s));
    const qreal who = full.whoLineH, detail = full.detailLineH;
    for (const auto& [whoText, detailText, gaps, whoH, detailH] :
        {std::tuple(u"Jane"_s, u"$49.00"_s, 6 + who + 3 + detail, who, detail), std::tuple(u""_s, u""_s, 0.0, 0.0, 0.0),
            std::tuple(u""_s, u"$49.00"_s, 3 + detail, 0.0, detail), std::tuple(u"Jane"_s, u""_s, 6 + who, who, 0.0)}) {
        const NoteRenderer::Layout box = NoteRenderer::layout(note(u"sale"_s, u"Sale"_s, whoText, detailText));
        EXPECT_EQ(std::tuple(box.textH - box.headH - 8 - box.timeLineH, box.whoH, box.detailH),
            std::tuple(gaps, whoH, detailH));
        EXPECT_EQ(box.cardH, std::max(box.textH, box.iconH + 26) + 28);
    }
    EXPECT_EQ(NoteRenderer::layout(note(u"sale"_s, u"Sale"_s)).textH, full.headH + 8 + full.timeLineH);
    EXPECT_EQ(NoteRenderer::layout(note(u"sale"_s, u""_s)).headH, 0);
    // Texts wrap by word and long ones end in an ellipsis.
    const QString text = u"Jane Doe from the Acme Widget Company of Springfield, paying yearly for the whole team"_s;
    const NoteRenderer::Layout box = NoteRenderer::layout(note(u"sale"_s, text, text, text));
    EXPECT_LE(QFontMetricsF(NoteRenderer::fonts().headline).horizontalAdvance(box.headLines.value(0)), box.textW);
    for (const auto& [lines, height, lineH, count] :
        {std::tuple(box.headLines, box.headH, box.headLineH, 1), std::tuple(box.whoLines, box.whoH, box.whoLineH, 2),
            std::tuple(box.detailLines, box.detailH, box.detailLineH, 2)}) {
        EXPECT_TRUE(height == count * lineH && lines.size() == count && lines.last().endsWith(u'…'))
            << lines.join(u'|').toStdString();
        EXPECT_TRUE(count == 1 || text.startsWith(lines[0] + u' '))
            << "breaks between words: " << lines[0].toStdString();
    }
    // Two lines show whole at their own height; a word longer than a line breaks where it must.
    for (const QString& who : {u"Jane Doe of Acme Widgets and Sons"_s, u"janedoe@acmewidgetsandsonsltd.com"_s}) {
        const NoteRenderer::Layout two = NoteRenderer::layout(note(u"sale"_s, u"Sale"_s, who));
        EXPECT_EQ(two.whoLines.join(QString()).remove(u' '), QString(who).remove(u' '));
        EXPECT_TRUE(two.whoLines.size() == 2 && two.whoH > two.whoLineH && two.whoH <= 2 * two.whoLineH)
            << who.toStdString();
    }
    // A line break in any convention starts one new line: CR LF is one break, not two.
    for (const QString& who : {u"Jane\nAcme"_s, u"Jane\r\nAcme"_s, u"Jane\rAcme"_s})
        EXPECT_EQ(NoteRenderer::layout(note(u"sale"_s, u"Sale"_s, who)).whoLines, QStringList({u"Jane"_s, u"Acme"_s}));
    // Embeddings, overrides and isolates go, so no text turns round what follows it; marks (ICU's, in
    // right-to-left amounts), other scripts and emoji stay.
    const QString rightToLeft = u"\u061c-\u200f١٢ US$ דנה 👩‍💻"_s;
    for (const auto& [who, lines] : {std::pair(u"\u202eJane\u202c · \u2066$5\u2069"_s, QStringList{u"Jane · $5"_s}),
             {rightToLeft, {rightToLeft}}, {u"\u2067\u2069"_s, {}}})
        EXPECT_EQ(NoteRenderer::layout(note(u"sale"_s, u"Sale"_s, who)).whoLines, lines);
    // The time: the event's own, else now, in local twelve-hour time.
    const QDateTime now = QDateTime::fromString(u"2026-12-05T09:05:00Z"_s, Qt::ISODate);
    MonkeyEvent event = note(u"sale"_s, u"Sale"_s);
    const QTime local = event.date()->toLocalTime().time();
    const QString ampm = local.hour() < 12 ? QLocale::system().amText() : QLocale::system().pmText();
    EXPECT_EQ(NoteRenderer::timeText(event, now),
        u"%1:%2 %3"_s.arg((local.hour() + 11) % 12 + 1).arg(local.minute(), 2, 10, QChar(u'0')).arg(ampm));
    for (const std::optional<QString>& at : {std::optional<QString>(), std::optional(u"yesterday"_s)}) {
        event.at = at;
        EXPECT_EQ(NoteRenderer::timeText(event, now),
            QLocale::system().toString(now.toLocalTime(), NoteRenderer::timeFormat));
    }
    // Monospaced fonts at weights the family has.
    const NoteRenderer::Fonts fonts = NoteRenderer::fonts();
    const QString family = QFontInfo(QFontDatabase::systemFont(QFontDatabase::FixedFont)).family();
    QList<int> weights;
    for (const QString& face : QFontDatabase::styles(family))
        weights.append(QFontDatabase::weight(family, face));
    for (const auto& [font, size] : {std::pair(fonts.headline, 15), std::pair(fonts.who, 13),
             std::pair(fonts.detail, 12), std::pair(fonts.time, 11)})
        EXPECT_TRUE(QFontInfo(font).family() == family && QFontInfo(font).fixedPitch() && font.pixelSize() == size
            && weights.contains(font.weight()))
            << size << ": weight " << font.weight() << " would be synthetic";
    EXPECT_EQ(fonts.headline.weight(), *std::max_element(weights.begin(), weights.end()));
    EXPECT_GE(fonts.who.weight(), QFont::DemiBold);
    EXPECT_EQ(fonts.detail.weight(), QFont::Normal);
    if (family != u"DejaVu Sans Mono")
        GTEST_SKIP() << "line heights measured for DejaVu Sans Mono only, not " << family.toStdString();
    using NoteRenderer::lineH;
    EXPECT_EQ(std::tuple(lineH(fonts.headline), lineH(fonts.who), lineH(fonts.detail), lineH(fonts.time)),
        std::tuple(18, 16, 14, 13));
}

// Each point's colour, read from the device pixel under it, within 1 per channel.
void expectColours(const QImage& image, const QList<std::tuple<qreal, qreal, QColor>>& points)
{
    for (const auto& [x, y, colour] : points) {
        const QColor actual = image.pixelColor(int(x * image.devicePixelRatio()), int(y * image.devicePixelRatio()));
        const auto near = [](int a, int b) { return std::abs(a - b) <= 1; };
        EXPECT_TRUE(near(actual.red(), colour.red()) && near(actual.green(), colour.green())
            && near(actual.blue(), colour.blue()) && near(actual.alpha(), colour.alpha()))
            << "at " << x << "," << y << ": " << actual.name(QColor::HexArgb).toStdString();
    }
}

class NotePixels : public testing::TestWithParam<qreal> {};

TEST_P(NotePixels, FrameShadowTapeIconAndTheTestStamp)
{
    const QImage image = NoteRenderer::image(note(u"sale"_s, u"Sale"_s), GetParam());
    ASSERT_EQ(image.size(), QSize(280, 98) * GetParam());
    EXPECT_EQ(image.devicePixelRatio(), GetParam());
    const QColor clear(0, 0, 0, 0), shadow(0, 0, 0, 71), outline(58, 32, 14), paper(255, 228, 92), red(196, 40, 40);
    // The card spans 0,8 to 276,94 with a 4 × 4 notch at each corner; the shadow is 4 down and right.
    expectColours(image,
        {{1.5, 50, outline}, {50, 9.5, outline}, {274.5, 50, outline}, {50, 92.5, outline}, {1.5, 9.5, clear},
            {274.5, 9.5, clear}, {1.5, 92.5, clear}, {278, 14, clear}, {278, 96, clear}, {6, 96, clear},
            {278, 50, shadow}, {50, 96, shadow}, {274.5, 92.5, shadow}, {16, 76, paper}, {10.5, 84.5, paper},
            {6, 40, QColor(255, 241, 173)}, {100, 88, QColor(204, 182, 74)}, {6, 88, paper},
            {138, 4, QColor(255, 255, 255, 140)}, {103, 4, QColor(255, 255, 255, 180)},
            {138, 10, QColor(166, 155, 147)}});
    // The coin at 16,24, 4 points per sprite pixel, each one solid to its corners.
    const QImage coin = Sprites::image(Sprites::coin());
    for (auto [col, row] : {std::pair(2, 0), std::pair(2, 2), std::pair(6, 3), std::pair(0, 0)}) {
        const QColor expected = coin.pixelColor(col, row).alpha() ? coin.pixelColor(col, row) : paper;
        expectColours(image,
            {{16 + 4 * col + 0.25, 24 + 4 * row + 0.25, expected},
                {16 + 4 * col + 3.75, 24 + 4 * row + 3.75, expected}});
    }
    // A test event's stamp: its left side runs down x = 16, its bottom along y = 82, level with the time's bottom.
    expectColours(
        NoteRenderer::image(note(u"sale"_s, u"Sale"_s, {}, {}, true), GetParam()), {{16, 76, red}, {30, 81.5, red}});
}

INSTANTIATE_TEST_SUITE_P(Ratios, NotePixels, testing::Values(1.0, 2.0));

} // namespace
