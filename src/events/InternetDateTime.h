#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// Parses an RFC 3339 internet date-time: "2026-12-05T06:54:09Z", "…T08:54:09+02:00",
// optionally with fractional seconds. The zone is required; anything looser gives none.
std::optional<QDateTime> parseInternetDateTime(QStringView text);
