#pragma once

#include "events/MonkeyEvent.h"

#include <QDateTime>
#include <QString>

#include <optional>

// The sample events the user fires from the menu ("sale", "onboarding", "renewal") and from the
// settings window's test button ("sale"), stamped `at`. None for any other kind.
std::optional<MonkeyEvent> testEvent(const QString& kind, const QDateTime& at = QDateTime::currentDateTimeUtc());
