#pragma once

#include "common/LoopbackServer.h"
#include "common/ManualScheduler.h"
#include "common/MemorySecretStore.h"
#include "common/TestEnvironment.h"
#include "events/MonkeyEvent.h"
#include "support/Settings.h"
#include "watchers/WatchState.h"
#include "watchers/WatcherServices.h"

#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <qcoro/qcorotask.h>

inline void PrintTo(const WatchState& state, std::ostream* os)
{
    *os << statusText(state).toStdString();
}

// A watcher's world for tests: real preferences in a temporary file, keys in memory, a clock the
// test moves, and a loopback server standing in for the service.
class WatcherFixture : public testing::Test {
protected:
    QTemporaryDir dir;
    Settings settings{dir.filePath(QStringLiteral("prefs.conf"))};
    MemorySecretStore secrets;
    ManualScheduler scheduler{QDateTime(QDate(2026, 12, 5), QTime(12, 0), Qt::UTC)};
    LoopbackServer server;
    QList<MonkeyEvent> delivered;

    void SetUp() override { TestEnvironment::takeLogMessages(); }

    WatcherServices services() { return {settings, secrets, scheduler, server.base()}; }
    auto deliver()
    {
        return [this](const MonkeyEvent& event) { delivered.append(event); };
    }

    template <typename T>
    T run(QCoro::Task<T>&& task)
    {
        return QCoro::waitFor(std::move(task));
    }
    void run(QCoro::Task<>&& task) { QCoro::waitFor(std::move(task)); }

    QStringList headlines() const
    {
        QStringList out;
        for (const MonkeyEvent& event : delivered)
            out.append(event.headline);
        return out;
    }
};
