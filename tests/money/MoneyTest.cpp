#include "money/Money.h"
#include "common/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;

// formatMoney reads LC_ALL, LC_MONETARY and LANG on every call; each case sets all three.
// ICU puts a no-break space (U+00A0) between the number and a symbol that is letters or follows it.
TEST(Money, FollowsTheCurrencysDecimalsAndTheLocaleChosenByLcAllThenLcMonetaryThenLang)
{
    const std::tuple<const char*, const char*, const char*, double, QString, QString> cases[] = {
        {nullptr, nullptr, "en_US.UTF-8", 19.99, u"usd"_s, u"$19.99"_s},
        {nullptr, nullptr, "en_US.UTF-8", 1234.7, u"jpy"_s, u"¥1,235"_s},
        {nullptr, nullptr, "en_US.UTF-8", 1.5, u"KWD"_s, u"KWD\u00A01.500"_s},
        // ICU takes any three letters as a currency with two decimals; anything else falls back.
        {nullptr, nullptr, "en_US.UTF-8", 19.5, u"xyz"_s, u"XYZ\u00A019.50"_s},
        {nullptr, nullptr, "en_US.UTF-8", 19.5, u"12$"_s, u"19.50 12$"_s},
        {nullptr, nullptr, "en_US.UTF-8", 19.5, u"euro"_s, u"19.50 EURO"_s},
        {nullptr, nullptr, "en_US.UTF-8", 19.5, QString(), u"19.50"_s},
        {nullptr, nullptr, "de_DE.UTF-8@euro", 1234.5, u"EUR"_s, u"1.234,50\u00A0€"_s},
        {nullptr, nullptr, "de_DE.UTF-8@euro", 19.99, u"USD"_s, u"19,99\u00A0$"_s},
        {"", "de_DE.UTF-8", "en_US.UTF-8", 1.5, u"EUR"_s, u"1,50\u00A0€"_s},
        {"en_US.UTF-8", "de_DE.UTF-8", "de_DE.UTF-8", 1.5, u"EUR"_s, u"€1.50"_s},
        // C and POSIX name no region and format like US English, as does no locale at all.
        {nullptr, nullptr, "C.UTF-8", 1234.5, u"USD"_s, u"$1,234.50"_s},
        {nullptr, nullptr, "POSIX", 1234.5, u"USD"_s, u"$1,234.50"_s},
        {nullptr, nullptr, nullptr, 1234.5, u"USD"_s, u"$1,234.50"_s},
    };
    for (const auto& [lcAll, lcMonetary, lang, amount, currency, text] : cases) {
        for (const auto& [name, value] : {std::pair{"LC_ALL", lcAll}, {"LC_MONETARY", lcMonetary}, {"LANG", lang}})
            value ? qputenv(name, value) : qunsetenv(name);
        EXPECT_EQ(formatMoney(amount, currency), text) << (lang ? lang : "no LANG") << ' ' << amount;
    }
}

} // namespace
