#include "events/TestEvent.h"

using namespace Qt::StringLiterals;

std::optional<MonkeyEvent> testEvent(const QString& kind, const QDateTime& at)
{
    // test stays false, so "Show test events" does not filter them and the note carries no stamp.
    const auto event = [&](const QString& headline, const QString& who, const QString& detail) {
        return MonkeyEvent::now(kind, headline, who, detail, false, at);
    };
    if (kind == u"sale"_s)
        return event(u"New sale!"_s, u"Test Monkey (Banana Co.)"_s, u"$49.00 · test slap"_s);
    if (kind == u"onboarding"_s)
        return event(u"New signup!"_s, u"Test Monkey (Banana Co.)"_s, u"Just finished signing up"_s);
    if (kind == u"renewal"_s)
        return event(u"Renewal!"_s, u"Recurring payment"_s, u"$12.00 CAD"_s);
    return std::nullopt;
}
