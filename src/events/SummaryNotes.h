#pragma once

#include "events/MonkeyEvent.h"

#include <QDateTime>
#include <QList>

#include <optional>

// The notes that stand for many events at once, so that every event is counted in some note.
namespace SummaryNotes {

// "3 sales", "1 renewal"; none for a count of 0.
std::optional<QString> count(const QString& noun, qsizetype n);

// Events that came too late to play one by one: "While you were away", counted by kind.
MonkeyEvent whileAway(const QList<MonkeyEvent>& stale, const QDateTime& now);

// The tail of a burst: "37 more sales · 2 more renewals", with the money summed per currency
// ("$1,234.00 · €56.00"); test events count, their money does not.
MonkeyEvent andMore(const QList<MonkeyEvent>& folded, const QDateTime& now);

} // namespace SummaryNotes
