#pragma once

#include "watchers/WatcherServices.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <qcoro/qcorotask.h>

#include <functional>
#include <optional>

// The executable started with arguments: one verb, output on a stream, an exit code.
// 1 is a key the service refused or an event that could not be written; 2 a usage error.
namespace CLI {
inline constexpr int ok = 0;
inline constexpr int refused = 1;
inline constexpr int usageError = 2;

QString usageLine();

// What a run needs from outside; the real process wires stdout, stderr, stdin, the session bus
// and the inbox the app reads.
struct Context {
    QTextStream& out;
    // Only why an event was not sent: a script's stdout stays clean.
    QTextStream& err;
    QTextStream& in;
    WatcherServices stripe;
    WatcherServices revenueCat;
    std::function<void()> postReload;
    // The running app's status lines; none when no app answers.
    std::function<std::optional<QStringList>()> askStatus;
    QString inbox;
    // Stamps an event sent without a time.
    Scheduler& scheduler;
};

// `arguments` excludes the program path and holds at least one entry.
QCoro::Task<int> run(QStringList arguments, Context context);
} // namespace CLI
