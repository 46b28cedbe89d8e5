#pragma once

#include "common/QtPrinters.h"

#include <QStringList>
#include <functional>

// Every test binary runs in its own temporary HOME with its own XDG directories, set up
// before the first test, so nothing touches the real user's files.
namespace TestEnvironment {
QString root();
// The messages of the log at `path`, stamps stripped.
QStringList logMessages(const QString& path);
// The messages logged since the last call, and forgets them.
QStringList takeLogMessages();
// The bytes of the file at `path`; empty when it cannot be read.
QByteArray readFile(const QString& path);
// Writes `bytes` to `path`, creating parent directories.
void writeFile(const QString& path, const QByteArray& bytes);
// Runs the event loop until `condition` holds or `timeoutMs` passes; returns the condition.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);
} // namespace TestEnvironment
