#include "AppProcessTest.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QSettings>
#include <QTest>
#include <gmock/gmock.h>

namespace {

using namespace Qt::StringLiterals;
using TestEnvironment::waitUntil;

// A service of the test's own with one flag the test switches: a screen saver (GetActive,
// ActiveChanged), the notification server (its Inhibited property), or logind (GetSession, the
// session's LockedHint) on a bus standing in for the system one.
struct FakeService : QDBusVirtualObject {
    QDBusConnection bus;
    QString name, path = u'/' + QString(name).replace(u'.', u'/'), session = path + u"/session/_31"_s;
    bool on = false;
    int reads = 0;
    FakeService(const QString& service, QDBusConnection to = QDBusConnection::sessionBus())
        : bus(std::move(to))
        , name(service)
    {
        bus.registerVirtualObject(path, this, QDBusConnection::SubPath);
        bus.registerService(name);
    }
    ~FakeService() override { bus.unregisterService(name); }
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& call, const QDBusConnection& to) override
    {
        ++reads;
        const QVariant session = QVariant::fromValue(QDBusObjectPath(this->session));
        return to.send(call.createReply(call.member() == u"GetSession"_s ? session
                : call.member() == u"Get"_s                              ? QVariant::fromValue(QDBusVariant(on))
                                                                         : QVariant(on)));
    }
    // Tells the new value, or (a property) only that there is one.
    void set(bool value, bool tell = true)
    {
        on = value;
        const bool logind = name.endsWith(u"login1"_s);
        const QString property = logind ? u"LockedHint"_s : u"Inhibited"_s;
        if (name.endsWith(u"ScreenSaver"_s))
            bus.send(QDBusMessage::createSignal(path, name, u"ActiveChanged"_s) << value);
        else
            bus.send(QDBusMessage::createSignal(
                         logind ? session : path, u"org.freedesktop.DBus.Properties"_s, u"PropertiesChanged"_s)
                << (logind ? u"org.freedesktop.login1.Session"_s : name)
                << (tell ? QVariantMap{{property, value}} : QVariantMap())
                << (tell ? QStringList() : QStringList{property}));
    }
};

// Do Not Disturb holds the shows: the notification server's, read at start and followed as it
// changes, and GNOME's show-banners setting; holdWhenBusy turned off ends the hold.
TEST_F(AppProcessTest, DoNotDisturbHoldsTheShowsTillItEnds)
{
    FakeService server(u"org.freedesktop.Notifications"_s);
    server.on = true;
    const auto banners = [&](const char* on) {
        TestEnvironment::writeFile(root.filePath(u"config/glib-2.0/settings/keyfile"_s),
            QByteArray("[org/gnome/desktop/notifications]\nshow-banners=") + on + '\n');
    };
    banners("true");
    TestEnvironment::writeFile(preferences, "[General]\nshownSetup=true\n");
    startApp();
    const QString held = u"holding shows (do not disturb)"_s, resumed = u"resuming shows"_s;
    ASSERT_TRUE(waitUntil([&] { return logMessages().contains(held); })) << logText();
    publish(R"({"kind":"sale","headline":"Held"})");
    QTest::qWait(500);
    EXPECT_TRUE(QFile::exists(inbox + u"/e.json"_s)) << "a held event waits in the inbox";
    server.set(false);
    ASSERT_TRUE(waitUntil([&] { return !logLines(u"^slap: "_s).isEmpty(); })) << logText();
    EXPECT_THAT(
        logLines(u" shows|^slap: "_s), testing::ElementsAre(held, resumed, "slap: sale Held |  |  (sound: slap)"));
    // A server that goes takes its Do Not Disturb along; one that comes is read.
    QDBusConnection bus = QDBusConnection::sessionBus();
    const auto comes = [&](bool inhibited) {
        bus.unregisterService(server.name);
        server.on = inhibited;
        bus.registerService(server.name);
    };
    const std::tuple<std::function<void()>, QString, int> steps[]
        = {{[&] { server.set(true, false); }, held, 2}, {[&] { bus.unregisterService(server.name); }, resumed, 2},
            {[&] {
                 comes(false);
                 waitUntil([&] { return server.reads == 3; }); // read, and found off, before GNOME's turns on
                 banners("false");
             },
                held, 3},
            {[&] { banners("true"); }, resumed, 3}, {[&] { comes(true); }, held, 4},
            {[&] { QSettings(preferences, QSettings::IniFormat).setValue("holdWhenBusy", false); }, resumed,
                4}, // saved anew
            {[&] { TestEnvironment::writeFile(preferences, "[General]\nholdWhenBusy=true\n"); }, held,
                5}}; // edited in place
    for (const auto& [act, line, count] : steps) {
        act();
        ASSERT_TRUE(waitUntil([&] { return logMessages().count(line) == count; })) << line.toStdString() << count;
    }
}

// A locked screen holds the shows and stills the monkey (its main thread sleeps), whichever
// source tells: the session's screen savers, read at start and followed, and logind's lock hint.
TEST_F(AppProcessTest, ALockedScreenHoldsTheShowsAndStillsTheMonkeyTillUnlocked)
{
    QProcess daemon;
    daemon.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
    ASSERT_TRUE(waitUntil([&] { return daemon.canReadLine(); }));
    QProcessEnvironment env = app.processEnvironment();
    env.insert(u"DBUS_SYSTEM_BUS_ADDRESS"_s, QString::fromUtf8(daemon.readLine()).trimmed());
    app.setProcessEnvironment(env);
    FakeService freedesktop(u"org.freedesktop.ScreenSaver"_s), gnome(u"org.gnome.ScreenSaver"_s),
        logind(u"org.freedesktop.login1"_s,
            QDBusConnection::connectToBus(env.value(u"DBUS_SYSTEM_BUS_ADDRESS"_s), u"system"_s));
    gnome.on = true;
    TestEnvironment::writeFile(preferences, "[General]\nshownSetup=true\n");
    startApp();
    const QString held = u"holding shows (screen locked)"_s, resumed = u"resuming shows"_s;
    const auto wakeups = [&] {
        const QRegularExpression count(u"^voluntary_ctxt_switches:\\s*(\\d+)"_s, QRegularExpression::MultilineOption);
        const QString status = u"/proc/%1/status"_s.arg(app.processId());
        const long before = count.match(QString::fromLatin1(TestEnvironment::readFile(status))).captured(1).toLong();
        QTest::qWait(2000);
        return count.match(QString::fromLatin1(TestEnvironment::readFile(status))).captured(1).toLong() - before;
    };
    const auto logged
        = [&](const QString& line, int count) { return waitUntil([&] { return logMessages().count(line) == count; }); };
    ASSERT_TRUE(logged(held, 1)) << logText();
    gnome.set(false);
    ASSERT_TRUE(logged(resumed, 1)) << logText();
    const long swaying = wakeups();
    freedesktop.set(true);
    ASSERT_TRUE(logged(held, 2)) << logText();
    EXPECT_LT(wakeups(), 6) << "the monkey moves on a locked screen, " << swaying << " wakeups unlocked";
    publish(R"({"kind":"sale","headline":"Held"})");
    QTest::qWait(500);
    EXPECT_TRUE(QFile::exists(inbox + u"/e.json"_s)) << "a held event waits in the inbox";
    freedesktop.set(false);
    ASSERT_TRUE(logged(u"slap: sale Held |  |  (sound: slap)"_s, 1)) << logText();
    // logind's hint; a saver that goes takes its lock along, one that comes is read.
    const std::tuple<std::function<void()>, QString, int> steps[]
        = {{[&] { logind.set(true); }, held, 3}, {[&] { logind.set(false); }, resumed, 3},
            {[&] { gnome.set(true); }, held, 4}, {[&] { gnome.bus.unregisterService(gnome.name); }, resumed, 4},
            {[&] { gnome.bus.registerService(gnome.name); }, held, 5}};
    for (const auto& [act, line, count] : steps) {
        act();
        ASSERT_TRUE(logged(line, count)) << line.toStdString() << count;
    }
    EXPECT_GT(swaying, 10);
    daemon.kill();
    daemon.waitForFinished();
}

} // namespace
