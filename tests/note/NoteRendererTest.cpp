#include "note/NoteRenderer.h"
#include "sprites/Sprites.h"

#include <QDir>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QLocale>

#include <gtest/gtest.h>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

const QString cut = u"…"_s;

MonkeyEvent note(const QString& kind, const QString& headline, std::optional<QString> who = std::nullopt,
    std::optional<QString> detail = std::nullopt, bool test = false)
{
    return {kind, headline, std::move(who), std::move(detail), test, u"2026-12-05T18:54:09Z"_s};
}

const QString longText = u"Jane Doe from the Acme Widget Company of Springfield, paying yearly for the whole team"_s;

TEST(NoteStyle, TestFirstThenTheKindExactly)
{
    const QColor yellow(255, 228, 92), green(155, 229, 155), blue(156, 214, 247), cream(244, 235, 217),
        grey(200, 205, 211);
    const Frame *coin = &Sprites::coin(), *star = &Sprites::star();
    for (const auto& [kind, test, paper, icon] : {std::tuple(u"sale"_s, false, yellow, coin),
             std::tuple(u"onboarding"_s, false, green, star), std::tuple(u"renewal"_s, false, blue, coin),
             std::tuple(u"mobile_renewal"_s, false, blue, coin), std::tuple(u"summary"_s, false, cream, star),
             std::tuple(u"Renewal"_s, false, yellow, coin), std::tuple(u"ONBOARDING"_s, false, yellow, coin),
             std::tuple(u"refund"_s, false, yellow, coin), std::tuple(u"sale"_s, true, grey, coin),
             std::tuple(u"renewal"_s, true, grey, coin), std::tuple(u"onboarding"_s, true, grey, star),
             std::tuple(u"summary"_s, true, grey, star)}) {
        const NoteRenderer::Style style = NoteRenderer::style(note(kind, u"Hi"_s, {}, {}, test));
        EXPECT_TRUE(style.paper == paper && style.icon == icon) << kind.toStdString() << " test " << test;
    }
}

TEST(NoteFonts, MonospacedAtWeightsTheFamilyHas)
{
    const NoteRenderer::Fonts fonts = NoteRenderer::fonts();
    const QString family = QFontInfo(QFontDatabase::systemFont(QFontDatabase::FixedFont)).family();
    QList<int> weights;
    for (const QString& face : QFontDatabase::styles(family))
        weights.append(QFontDatabase::weight(family, face));
    for (const auto& [font, size] : {std::pair(fonts.headline, 15), std::pair(fonts.who, 13),
             std::pair(fonts.detail, 12), std::pair(fonts.time, 11)}) {
        EXPECT_EQ(QFontInfo(font).family(), family);
        EXPECT_TRUE(QFontInfo(font).fixedPitch());
        EXPECT_EQ(font.pixelSize(), size);
        EXPECT_TRUE(weights.contains(font.weight())) << font.weight() << " would be synthetic";
    }
    EXPECT_EQ(fonts.headline.weight(), *std::max_element(weights.begin(), weights.end()));
    EXPECT_GE(fonts.who.weight(), QFont::DemiBold);
    EXPECT_EQ(fonts.detail.weight(), QFont::Normal);
    if (family != u"DejaVu Sans Mono")
        GTEST_SKIP() << "line heights measured for DejaVu Sans Mono only, not " << family.toStdString();
    using NoteRenderer::lineH;
    EXPECT_EQ(std::tuple(lineH(fonts.headline), lineH(fonts.who), lineH(fonts.detail), lineH(fonts.time)),
        std::tuple(18, 16, 14, 13));
}

TEST(NoteLayout, IconSetsTheTextColumnAndTheMinimumHeight)
{
    const NoteRenderer::Layout coin = NoteRenderer::layout(note(u"sale"_s, u"New sale!"_s));
    EXPECT_EQ(std::tuple(coin.iconW, coin.iconH, coin.textX, coin.textW), std::tuple(32, 32, 60, 200));
    EXPECT_EQ(std::tuple(coin.contentH, coin.cardH, coin.size), std::tuple(58, 86, QSizeF(280, 98)));
    const NoteRenderer::Layout star = NoteRenderer::layout(note(u"onboarding"_s, u"Welcome"_s, {}, u"Pro"_s));
    EXPECT_EQ(std::tuple(star.iconW, star.iconH, star.textX, star.textW), std::tuple(36, 36, 64, 196));
    EXPECT_EQ(std::tuple(star.contentH, star.cardH, star.size), std::tuple(62, 90, QSizeF(280, 102)));
}

TEST(NoteLayout, GapsOnlyBetweenTextsThatTakeSpace)
{
    const auto textH = [](const MonkeyEvent& event) {
        const NoteRenderer::Layout box = NoteRenderer::layout(event);
        EXPECT_EQ(box.cardH, std::max(box.textH, box.iconH + 26) + 28);
        return std::tuple(box.textH - box.headH - 8 - box.timeLineH, box.whoH, box.detailH);
    };
    const NoteRenderer::Layout full = NoteRenderer::layout(note(u"sale"_s, u"Sale"_s, u"Jane"_s, u"$49.00"_s));
    EXPECT_EQ(textH(note(u"sale"_s, u"Sale"_s, u"Jane"_s, u"$49.00"_s)),
        std::tuple(6 + full.whoH + 3 + full.detailH, full.whoLineH, full.detailLineH));
    EXPECT_EQ(textH(note(u"sale"_s, u"Sale"_s)), std::tuple(0, 0, 0));
    EXPECT_EQ(textH(note(u"sale"_s, u"Sale"_s, u""_s, u""_s)), std::tuple(0, 0, 0));
    EXPECT_EQ(textH(note(u"sale"_s, u"Sale"_s, u""_s, u"$49.00"_s)), std::tuple(3 + full.detailH, 0, full.detailH));
    EXPECT_EQ(textH(note(u"sale"_s, u"Sale"_s, u"Jane"_s, u""_s)), std::tuple(6 + full.whoH, full.whoH, 0));
    EXPECT_EQ(NoteRenderer::layout(note(u"sale"_s, u""_s)).headH, 0);
}

TEST(NoteLayout, TextsWrapByWordAndLongOnesEndInAnEllipsis)
{
    const NoteRenderer::Layout box = NoteRenderer::layout(note(u"sale"_s, longText, longText, longText));
    EXPECT_EQ(box.headH, box.headLineH);
    ASSERT_EQ(box.headLines.size(), 1);
    EXPECT_TRUE(box.headLines[0].endsWith(cut)) << box.headLines[0].toStdString();
    EXPECT_LE(QFontMetricsF(NoteRenderer::fonts().headline).horizontalAdvance(box.headLines[0]), box.textW);
    for (const auto& [lines, height, lineH] : {std::tuple(box.whoLines, box.whoH, box.whoLineH),
             std::tuple(box.detailLines, box.detailH, box.detailLineH)}) {
        EXPECT_EQ(height, 2 * lineH);
        ASSERT_EQ(lines.size(), 2);
        EXPECT_TRUE(longText.startsWith(lines[0] + u' ')) << "breaks between words: " << lines[0].toStdString();
        EXPECT_TRUE(lines[1].endsWith(cut)) << lines[1].toStdString();
    }
    // Two lines show whole at their own height; a word longer than a line breaks where it must.
    for (const QString& who : {u"Jane Doe of Acme Widgets and Sons"_s, u"janedoe@acmewidgetsandsonsltd.com"_s,
             u"Jane\nAcme"_s}) {
        const NoteRenderer::Layout two = NoteRenderer::layout(note(u"sale"_s, u"Sale"_s, who));
        EXPECT_EQ(two.whoLines.join(QString()).remove(u' '), QString(who).remove(u' ').remove(u'\n'));
        EXPECT_EQ(two.whoLines.size(), 2) << who.toStdString();
        EXPECT_GT(two.whoH, two.whoLineH);
        EXPECT_LE(two.whoH, 2 * two.whoLineH);
    }
}

TEST(NoteTime, EventTimeElseNowInLocalTwelveHourTime)
{
    const QDateTime now = QDateTime::fromString(u"2026-12-05T09:05:00Z"_s, Qt::ISODate);
    MonkeyEvent event = note(u"sale"_s, u"Sale"_s);
    event.at = u"2026-12-05T18:54:09Z"_s;
    const QDateTime local = event.date()->toLocalTime();
    const QString hour = QString::number(local.time().hour() % 12 == 0 ? 12 : local.time().hour() % 12);
    const QString ampm = local.time().hour() < 12 ? QLocale::system().amText() : QLocale::system().pmText();
    EXPECT_EQ(NoteRenderer::timeText(event, now), hour + u':' + local.toString(u"mm"_s) + u' ' + ampm);
    const QString atNow = QLocale::system().toString(now.toLocalTime(), NoteRenderer::timeFormat);
    for (const std::optional<QString>& at : {std::optional<QString>(), std::optional(u"yesterday"_s)}) {
        event.at = at;
        EXPECT_EQ(NoteRenderer::timeText(event, now), atNow);
    }
}

class NotePixels : public testing::TestWithParam<qreal> {
protected:
    // Each point's colour, read from the device pixel under it, within 1 per channel.
    static void expectColours(const QImage& image, const QList<std::tuple<qreal, qreal, QColor>>& points)
    {
        for (const auto& [x, y, colour] : points) {
            const qreal ratio = image.devicePixelRatio();
            const QColor actual = image.pixelColor(int(std::floor(x * ratio)), int(std::floor(y * ratio)));
            for (auto [a, b] : {std::pair(actual.red(), colour.red()), std::pair(actual.green(), colour.green()),
                     std::pair(actual.blue(), colour.blue()), std::pair(actual.alpha(), colour.alpha())})
                EXPECT_NEAR(a, b, 1) << "at " << x << "," << y << ": " << actual.name(QColor::HexArgb).toStdString();
        }
    }
};

TEST_P(NotePixels, FrameShadowTapeAndIcon)
{
    const QImage image = NoteRenderer::image(note(u"sale"_s, u"Sale"_s), GetParam());
    ASSERT_EQ(image.size(), QSize(280, 98) * GetParam());
    EXPECT_EQ(image.devicePixelRatio(), GetParam());
    const QColor clear(0, 0, 0, 0), shadow(0, 0, 0, 71), outline(58, 32, 14), paper(255, 228, 92);
    // The card spans 0,8 to 276,94 with a 4 × 4 notch at each corner; the shadow is 4 down and right.
    expectColours(image, {{1.5, 50, outline}, {50, 9.5, outline}, {274.5, 50, outline}, {50, 92.5, outline},
        {1.5, 9.5, clear}, {274.5, 9.5, clear}, {1.5, 92.5, clear}, {278, 14, clear}, {278, 96, clear},
        {6, 96, clear}, {278, 50, shadow}, {50, 96, shadow}, {274.5, 92.5, shadow},
        {10.5, 84.5, paper}, {6, 40, QColor(255, 241, 173)}, {100, 88, QColor(204, 182, 74)}, {6, 88, paper},
        {138, 4, QColor(255, 255, 255, 140)}, {103, 4, QColor(255, 255, 255, 180)}, {138, 10, QColor(166, 155, 147)}});
    // The coin at 16,24, 4 points per sprite pixel, each one solid to its corners.
    const QImage coin = Sprites::image(Sprites::coin());
    for (auto [col, row] : {std::pair(2, 0), std::pair(2, 2), std::pair(6, 3), std::pair(0, 0)}) {
        const QColor expected = coin.pixelColor(col, row).alpha() ? coin.pixelColor(col, row) : paper;
        expectColours(image, {{16 + 4 * col + 0.25, 24 + 4 * row + 0.25, expected},
            {16 + 4 * col + 3.75, 24 + 4 * row + 3.75, expected}});
    }
}

TEST_P(NotePixels, TestEventsCarryTheStamp)
{
    // Its left side runs down x = 16, its bottom along y = 82, level with the time's bottom.
    const QColor red(196, 40, 40);
    expectColours(NoteRenderer::image(note(u"sale"_s, u"Sale"_s, {}, {}, true), GetParam()), {{16, 76, red}, {30, 81.5, red}});
    expectColours(NoteRenderer::image(note(u"sale"_s, u"Sale"_s), GetParam()), {{16, 76, QColor(255, 228, 92)}});
}

INSTANTIATE_TEST_SUITE_P(Ratios, NotePixels, testing::Values(1.0, 2.0));

} // namespace

// Not a check: writes one note of every look into $BONKBELL_NOTE_SAMPLES at ratios 1 and 2.
//   noterenderer_tests --gtest_also_run_disabled_tests --gtest_filter='NoteSamples.*'
TEST(NoteSamples, DISABLED_Write)
{
    const QString dir = qEnvironmentVariable("BONKBELL_NOTE_SAMPLES");
    ASSERT_FALSE(dir.isEmpty()) << "set BONKBELL_NOTE_SAMPLES to a directory";
    QDir().mkpath(dir);
    const QList<std::pair<QString, MonkeyEvent>> samples{
        {u"sale"_s, note(u"sale"_s, u"New sale!"_s, u"Jane Doe (Acme)"_s, u"$49.00"_s)},
        {u"onboarding"_s, note(u"onboarding"_s, u"New signup"_s, u"sam@example.com"_s, u"Pro trial"_s)},
        {u"renewal"_s, note(u"renewal"_s, u"Renewed"_s, u"Acme Inc."_s, u"$99.00 / year"_s)},
        {u"mobile_renewal"_s, note(u"mobile_renewal"_s, u"App Store renewal"_s, u"Pocket Planner"_s, u"$4.99"_s)},
        {u"summary"_s, note(u"summary"_s, u"While you were away"_s, {}, u"3 sales, $147.00 and 2 signups"_s)},
        {u"test-money"_s, note(u"sale"_s, u"New sale!"_s, u"Test Customer"_s, u"$1.00"_s, true)},
        {u"test-onboarding"_s, note(u"onboarding"_s, u"New signup"_s, u"test@example.com"_s, {}, true)},
        {u"long"_s, note(u"sale"_s, longText, longText, longText)},
        {u"empty-who"_s, note(u"sale"_s, u"New sale!"_s, u""_s, u"$12.00"_s)},
        {u"headline-only"_s, note(u"sale"_s, u"New sale!"_s)},
    };
    for (const auto& [name, event] : samples) {
        for (int ratio : {1, 2})
            EXPECT_TRUE(NoteRenderer::image(event, ratio).save(u"%1/%2@%3x.png"_s.arg(dir, name).arg(ratio)));
    }
}
