#pragma once

#include "watchers/WatcherServices.h"

#include <QStringList>
#include <QTextStream>

#include <qcoro/qcorotask.h>

#include <functional>
#include <optional>

// The executable started with arguments: one verb, output on a stream, an exit code.
namespace CLI {
inline constexpr int ok = 0;
inline constexpr int refused = 1;
inline constexpr int usageError = 2;

QString usageLine();

// What a run needs from outside; the real process wires stdout, stdin and the session bus.
struct Context {
    QTextStream& out;
    // The first line of standard input without its line break; none at end of input.
    std::function<std::optional<QString>()> readLine;
    WatcherServices stripe;
    WatcherServices revenueCat;
    std::function<void()> postReload;
};

// `arguments` excludes the program path and holds at least one entry.
QCoro::Task<int> run(QStringList arguments, Context context);
} // namespace CLI
