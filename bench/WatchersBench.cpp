// What a Stripe poll costs the app: a busy poll that announces 100 charges (each with its invoice)
// and the idle poll of a quiet day, repeated to show that memory does not grow. The loopback
// server runs on its own thread, so the CPU column is the watcher's own cost.
#include "common/LoopbackServer.h"
#include "keychain/SecretStore.h"
#include "support/Log.h"
#include "support/Settings.h"
#include "support/SystemScheduler.h"
#include "watchers/StripeWatcher.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <latch>

namespace {

using namespace Qt::StringLiterals;

class FixedSecretStore final : public SecretStore {
public:
    std::optional<QString> read(const QString&) override { return u"rk_live_bench"_s; }
    std::optional<QString> save(const QString&, const QString&) override { return std::nullopt; }
    void remove(const QString&) override {}
};

// Charges newest first, as the service answers them (every published field). `fresh`: each request
// brings 100 new ones; else the same quiet day, one sale a minute for the last 100 minutes.
QByteArray chargesPage(int batch, bool fresh, qint64 createdSince)
{
    static const QJsonObject published = LoopbackServer::published(u"stripe-2024-06-20"_s, u"charge"_s);
    static const qint64 start = QDateTime::currentSecsSinceEpoch();
    QJsonArray data;
    for (int i = 100; i >= 1; --i) {
        const qint64 created = fresh ? start + batch * 100 + i : start - (100 - i) * 60;
        if (created < createdSince)
            continue;
        QJsonObject charge = published;
        for (const auto& [key, value] :
            {std::pair("id"_L1, QJsonValue(fresh ? u"ch_%1_%2"_s.arg(batch).arg(i) : u"ch_quiet_%1"_s.arg(i))),
                {"created"_L1, created}, {"amount"_L1, 4900}, {"amount_captured"_L1, 4900}, {"captured"_L1, true},
                {"livemode"_L1, true}, {"invoice"_L1, u"in_%1"_s.arg(i)}})
            charge.insert(key, value);
        charge.insert("billing_details"_L1, QJsonObject{{"name"_L1, u"Customer %1"_s.arg(i)}});
        data.append(charge);
    }
    return QJsonDocument(
        QJsonObject{{"object"_L1, u"list"_s}, {"data"_L1, data}, {"has_more"_L1, false}, {"url"_L1, u"/v1/charges"_s}})
        .toJson(QJsonDocument::Compact);
}

// The server and its thread, for the life of the benchmark program.
class ServerThread {
public:
    ServerThread()
    {
        std::latch ready(1);
        m_anchor.moveToThread(&m_thread);
        m_thread.start();
        QMetaObject::invokeMethod(&m_anchor, [&] {
            m_server = new LoopbackServer;
            QJsonObject published = LoopbackServer::published(u"stripe-2024-06-20"_s, u"invoice"_s);
            published.insert("billing_reason"_L1, u"subscription_create"_s);
            const QByteArray invoice = QJsonDocument(published).toJson(QJsonDocument::Compact);
            m_server->route(u"/v1/charges"_s, [this](const LoopbackServer::Request& request) {
                // Over thousands of polls a list of every request would grow the memory being measured.
                m_server->requests.clear();
                ++m_requests;
                return LoopbackServer::Response{
                    200, chargesPage(m_batch++, m_fresh.load(), request.query.value(u"created[gte]"_s).toLongLong())};
            });
            for (int i = 1; i <= 100; ++i)
                m_server->route(u"/v1/invoices/in_%1"_s.arg(i), 200, invoice);
            m_base = m_server->base();
            ready.count_down();
        });
        ready.wait();
    }
    ~ServerThread()
    {
        QMetaObject::invokeMethod(
            &m_anchor, [this] { delete m_server; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    QUrl base() const { return m_base; }
    void setFresh(bool fresh) { m_fresh = fresh; }
    // Requests for the charges list so far.
    int listings() const { return m_requests; }

private:
    QThread m_thread;
    QObject m_anchor;
    LoopbackServer* m_server = nullptr;
    QUrl m_base;
    int m_batch = 0;
    std::atomic<bool> m_fresh{true};
    std::atomic<int> m_requests{0};
};

ServerThread* server = nullptr;

long residentKiB()
{
    QFile status(u"/proc/self/status"_s);
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

struct Harness {
    QTemporaryDir dir;
    Settings settings{dir.filePath(u"prefs.conf"_s)};
    FixedSecretStore secrets;
    qsizetype delivered = 0;
    // As in the app: each sale queued as a file in the inbox, what was announced kept on disk.
    StripeWatcher watcher{WatcherServices{settings, secrets, SystemScheduler::shared(), server->base(),
                              dir.filePath(u"inbox"_s), dir.path()},
        false};
    Harness()
    {
        QObject::connect(&watcher, &Watcher::delivered, [this] { ++delivered; });
    }
};

void pollAnnouncing100Charges(benchmark::State& state)
{
    server->setFresh(true);
    Harness harness;
    for (auto _ : state)
        QCoro::waitFor(harness.watcher.pollNow());
    if (harness.delivered != 100 * qsizetype(state.iterations()))
        state.SkipWithError("not every charge was announced");
    state.SetItemsProcessed(harness.delivered);
}
BENCHMARK(pollAnnouncing100Charges)->Unit(benchmark::kMillisecond)->Iterations(20);

void quietPoll(benchmark::State& state)
{
    server->setFresh(false);
    Harness harness;
    QCoro::waitFor(harness.watcher.pollNow()); // the first poll announces the quiet day's charges
    const long before = residentKiB();
    const int listingsBefore = server->listings();
    for (auto _ : state) {
        QCoro::waitFor(harness.watcher.pollNow());
        // What the application's own event loop does between polls.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    state.counters["listings/poll"] = double(server->listings() - listingsBefore) / double(state.iterations());
    state.counters["rss_growth_KiB"] = double(residentKiB() - before);
    state.counters["rss_KiB"] = double(residentKiB());
}
BENCHMARK(quietPoll)->Unit(benchmark::kMicrosecond)->Iterations(10000);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    silenceLog(); // keep the benchmark's lines out of the user's log
    ServerThread thread;
    server = &thread;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
