#include "common/QtPrinters.h"
#include "money/Money.h"

#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;

// formatMoney reads these on every call; each test sets all three, so none leaks into the next.
void useLocale(const char* lcAll, const char* lcMonetary, const char* lang)
{
    for (const auto& [name, value] : {std::pair{"LC_ALL", lcAll}, {"LC_MONETARY", lcMonetary}, {"LANG", lang}})
        value ? qputenv(name, value) : qunsetenv(name);
}

// ICU puts a no-break space (U+00A0) between the number and a symbol that is letters or
// follows the number.
TEST(Money, UsesTheCurrencysOwnDecimalsAndRounds)
{
    useLocale(nullptr, nullptr, "en_US.UTF-8");
    EXPECT_EQ(formatMoney(19.99, u"USD"_s), u"$19.99"_s);
    EXPECT_EQ(formatMoney(19.99, u"usd"_s), u"$19.99"_s);
    EXPECT_EQ(formatMoney(0, u"USD"_s), u"$0.00"_s);
    EXPECT_EQ(formatMoney(1234567.891, u"USD"_s), u"$1,234,567.89"_s);
    EXPECT_EQ(formatMoney(19.999, u"USD"_s), u"$20.00"_s);
    EXPECT_EQ(formatMoney(500, u"jpy"_s), u"¥500"_s);
    EXPECT_EQ(formatMoney(1234.7, u"JPY"_s), u"¥1,235"_s);
    EXPECT_EQ(formatMoney(1.5, u"KWD"_s), u"KWD\u00A01.500"_s);
}

TEST(Money, FollowsTheLocaleChosenByLcAllThenLcMonetaryThenLang)
{
    useLocale(nullptr, nullptr, "de_DE.UTF-8@euro");
    EXPECT_EQ(formatMoney(1234.5, u"EUR"_s), u"1.234,50\u00A0€"_s);
    EXPECT_EQ(formatMoney(19.99, u"USD"_s), u"19,99\u00A0$"_s);
    useLocale("", "de_DE.UTF-8", "en_US.UTF-8");
    EXPECT_EQ(formatMoney(1.5, u"EUR"_s), u"1,50\u00A0€"_s);
    useLocale("en_US.UTF-8", "de_DE.UTF-8", "de_DE.UTF-8");
    EXPECT_EQ(formatMoney(1.5, u"EUR"_s), u"€1.50"_s);
}

TEST(Money, CAndPosixAndNoLocaleFormatLikeUsEnglish)
{
    for (const char* name : {"C.UTF-8", "POSIX", static_cast<const char*>(nullptr)}) {
        useLocale(nullptr, nullptr, name);
        EXPECT_EQ(formatMoney(1234.5, u"USD"_s), u"$1,234.50"_s) << (name ? name : "unset");
    }
}

TEST(Money, UnknownCodesShowTheCodeAndMalformedOnesFallBack)
{
    useLocale(nullptr, nullptr, "en_US.UTF-8");
    // ICU takes any three letters as a currency with two decimals.
    EXPECT_EQ(formatMoney(19.5, u"xyz"_s), u"XYZ\u00A019.50"_s);
    EXPECT_EQ(formatMoney(19.5, u"12$"_s), u"19.50 12$"_s);
    EXPECT_EQ(formatMoney(19.5, u"euro"_s), u"19.50 EURO"_s);
    EXPECT_EQ(formatMoney(19.5, QString()), u"19.50"_s);
}

} // namespace
