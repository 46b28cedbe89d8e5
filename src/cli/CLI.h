#pragma once

#include <QStringList>
#include <QTextStream>

// The executable started with arguments: one verb, output on `out`, an exit code.
namespace CLI {
inline constexpr int ok = 0;
inline constexpr int refused = 1;
inline constexpr int usageError = 2;

QString usageLine();

// `arguments` excludes the program path and holds at least one entry.
int run(const QStringList& arguments, QTextStream& out);
} // namespace CLI
