#pragma once

#include <QStringList>

#include <optional>

// The command line's questions to a running app, over the session bus.
namespace RunningApp {
// Long enough for a busy app's event loop, short enough that nobody waits on a stuck one.
inline constexpr int answerTimeoutMs = 2000;

// The lines the running app's --status prints; none when no app answers in time (none runs,
// there is no session bus, or it is stuck).
std::optional<QStringList> statusLines();
} // namespace RunningApp
