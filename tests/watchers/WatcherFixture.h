#pragma once

#include "common/LoopbackServer.h"
#include "common/ManualScheduler.h"
#include "common/MemorySecretStore.h"
#include "common/TestEnvironment.h"
#include "support/Settings.h"
#include "watchers/HttpJson.h"
#include "watchers/Watcher.h"

#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <gmock/gmock.h>

inline void PrintTo(const WatchState& state, std::ostream* os)
{
    *os << statusText(state).toStdString();
}

// While alive, a request that hears nothing for a moment is given up, as after the real time-out.
struct ShortTransferTimeout {
    static constexpr int ms = 300;
    ShortTransferTimeout() { HttpJson::apiSession().setTransferTimeout(ms); }
    ~ShortTransferTimeout() { HttpJson::apiSession().setTransferTimeout(HttpJson::timeoutMs); }
};

// Answers that give a watcher nothing it can use, served where a good answer was expected, with
// the failure's description (empty: the network layer's own words).
struct BrokenAnswer {
    const char* name;
    LoopbackServer::Response response;
    QString description;
};

inline QList<BrokenAnswer> brokenAnswers()
{
    const QString notJSON = QStringLiteral("The answer couldn't be read as JSON.");
    return {
        {"dropped connection", {200, {}, 0, true}, {}},
        {"answer after the time-out", {200, "{}", ShortTransferTimeout::ms * 4},
            QStringLiteral("The request timed out.")},
        {"answer over 4 MiB", {200, QByteArray(HttpJson::maxBodyBytes + 1, ' ')},
            QStringLiteral("The answer was larger than 4 MiB.")},
        {"JSON cut short", {200, R"({"data":[{"id":"ch_)"}, notJSON},
        {"JSON array", {200, "[]"}, notJSON},
        {"HTML sign-in page", {200, "<html><body>Sign in to the Wi-Fi</body></html>"}, notJSON},
    };
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
    void SetUp() override
    {
        TestEnvironment::takeLogMessages();
        server.now = [this] { return scheduler.now(); }; // the service's clock agrees with ours
    }

    WatcherServices services() { return {settings, secrets, scheduler, server.base(), {}, dir.path()}; }
    void collect(Watcher& watcher)
    {
        QObject::connect(
            &watcher, &Watcher::delivered, &watcher, [this](const MonkeyEvent& event) { delivered << event; });
    }
    template <typename T> T run(QCoro::Task<T>&& task) { return QCoro::waitFor(std::move(task)); }
    QStringList headlines() const
    {
        QStringList out;
        std::ranges::transform(delivered, std::back_inserter(out), &MonkeyEvent::headline);
        return out;
    }
    QStringList customers() const
    {
        QStringList out;
        for (const MonkeyEvent& event : delivered)
            out.append(event.who.value_or(QString()));
        return out;
    }
};
