#pragma once

#include <QDateTime>
#include <QString>

// Writes one stamped line to standard error and to the log file at Paths::log().
// Never fails towards the caller. Messages that report failures begin with "ERROR " or "WARN ".
void log(const QString& message);

// Turns log() into a no-op for the rest of the process: the command line reports on stdout only.
void silenceLog();

// The line as written: ISO 8601 UTC stamp, two spaces, the message with control characters and
// direction embeddings escaped (so text from events cannot split or forge lines, or turn round the
// rest of one), and a newline.
QByteArray formatLogLine(const QDateTime& at, const QString& message);

// ISO 8601 in UTC without fractional seconds, e.g. 2026-12-05T06:54:09Z.
QString isoStamp(const QDateTime& at);
