#include "events/InternetDateTime.h"

namespace {

// Reads `count` decimal digits at `pos`; -1 when any of them is not a digit.
int digits(QStringView text, qsizetype pos, int count)
{
    if (pos + count > text.size())
        return -1;
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const char16_t c = text[pos + i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

bool charAt(QStringView text, qsizetype pos, char16_t expected)
{
    return pos < text.size() && text[pos].unicode() == expected;
}

// Fractional seconds after the dot, as whole milliseconds; advances `pos` past all digits.
std::optional<int> fraction(QStringView text, qsizetype& pos)
{
    const qsizetype start = pos;
    int ms = 0;
    while (pos < text.size() && text[pos].unicode() >= u'0' && text[pos].unicode() <= u'9') {
        if (pos - start < 3)
            ms = ms * 10 + (text[pos].unicode() - u'0');
        ++pos;
    }
    const qsizetype count = pos - start;
    if (count == 0)
        return std::nullopt;
    for (qsizetype i = count; i < 3; ++i)
        ms *= 10;
    return ms;
}

// "Z" or "+hh:mm" / "-hh:mm" ending the text, as seconds east of UTC.
std::optional<int> zoneOffset(QStringView text, qsizetype pos)
{
    if (charAt(text, pos, u'Z'))
        return pos + 1 == text.size() ? std::optional(0) : std::nullopt;
    const bool plus = charAt(text, pos, u'+');
    if (!plus && !charAt(text, pos, u'-'))
        return std::nullopt;
    const int hours = digits(text, pos + 1, 2);
    const int minutes = digits(text, pos + 4, 2);
    if (hours < 0 || hours > 23 || !charAt(text, pos + 3, u':') || minutes < 0 || minutes > 59
        || pos + 6 != text.size())
        return std::nullopt;
    const int seconds = hours * 3600 + minutes * 60;
    return plus ? seconds : -seconds;
}

} // namespace

std::optional<QDateTime> parseInternetDateTime(QStringView text)
{
    const int year = digits(text, 0, 4), month = digits(text, 5, 2), day = digits(text, 8, 2);
    const int hour = digits(text, 11, 2), minute = digits(text, 14, 2), second = digits(text, 17, 2);
    if (year < 0 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0)
        return std::nullopt;
    if (!charAt(text, 4, u'-') || !charAt(text, 7, u'-') || !charAt(text, 10, u'T') || !charAt(text, 13, u':')
        || !charAt(text, 16, u':'))
        return std::nullopt;
    qsizetype pos = 19;
    int ms = 0;
    if (charAt(text, pos, u'.')) {
        ++pos;
        const auto parsed = fraction(text, pos);
        if (!parsed)
            return std::nullopt;
        ms = *parsed;
    }
    const auto offset = zoneOffset(text, pos);
    const QDate date(year, month, day);
    const QTime time(hour, minute, second, ms);
    if (!offset || !date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, Qt::OffsetFromUTC, *offset).toUTC();
}
