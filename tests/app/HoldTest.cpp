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

const QString service = u"org.freedesktop.Notifications"_s, path = u"/org/freedesktop/Notifications"_s;

// A notification server of the test's own on the session bus, with Do Not Disturb switched by the test.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
    Q_PROPERTY(bool Inhibited READ isInhibited)
public:
    bool inhibited = true;
    int reads = 0;
    bool isInhibited()
    {
        ++reads;
        return inhibited;
    }
    FakeNotifications()
    {
        QDBusConnection::sessionBus().registerObject(path, this, QDBusConnection::ExportAllProperties);
        QDBusConnection::sessionBus().registerService(service);
    }
    ~FakeNotifications() override { QDBusConnection::sessionBus().unregisterService(service); }
    // Tells the new value, or only that there is one.
    void inhibit(bool on, bool tell = true)
    {
        inhibited = on;
        QDBusMessage changed
            = QDBusMessage::createSignal(path, u"org.freedesktop.DBus.Properties"_s, u"PropertiesChanged"_s);
        changed << service << (tell ? QVariantMap{{u"Inhibited"_s, on}} : QVariantMap())
                << (tell ? QStringList() : QStringList{u"Inhibited"_s});
        QDBusConnection::sessionBus().send(changed);
    }
};

// Do Not Disturb holds the shows: the notification server's, read at start and followed as it
// changes, and GNOME's show-banners setting; holdWhenBusy turned off ends the hold.
TEST_F(AppProcessTest, DoNotDisturbHoldsTheShowsTillItEnds)
{
    FakeNotifications server;
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
    server.inhibit(false);
    ASSERT_TRUE(waitUntil([&] { return !logLines(u"^slap: "_s).isEmpty(); })) << logText();
    EXPECT_THAT(
        logLines(u" shows|^slap: "_s), testing::ElementsAre(held, resumed, "slap: sale Held |  |  (sound: slap)"));
    // A server that goes takes its Do Not Disturb along; one that comes is read.
    QDBusConnection bus = QDBusConnection::sessionBus();
    const auto comes = [&](bool inhibited) {
        bus.unregisterService(service);
        server.inhibited = inhibited;
        bus.registerService(service);
    };
    const std::tuple<std::function<void()>, QString, int> steps[]
        = {{[&] { server.inhibit(true, false); }, held, 2}, {[&] { bus.unregisterService(service); }, resumed, 2},
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

// A screen saver of the test's own on the session bus, or logind on a bus of the test's own
// standing in for the system one: says whether the screen is locked, and tells when that changes.
struct FakeLock : QDBusVirtualObject {
    QDBusConnection bus;
    QString name, path = u'/' + QString(name).replace(u'.', u'/'), session = path + u"/session/_31"_s;
    bool locked = false;
    FakeLock(QDBusConnection on, const QString& service)
        : bus(std::move(on))
        , name(service)
    {
        bus.registerVirtualObject(path, this, QDBusConnection::SubPath);
        bus.registerService(name);
    }
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& call, const QDBusConnection& to) override
    {
        // A saver's GetActive, logind's GetSession and its session's LockedHint.
        const QVariant session = QVariant::fromValue(QDBusObjectPath(this->session));
        return to.send(call.createReply(call.member() == u"GetSession"_s ? session
                : call.member() == u"Get"_s                              ? QVariant::fromValue(QDBusVariant(locked))
                                                                         : QVariant(locked)));
    }
    void lock(bool on)
    {
        locked = on;
        if (name.endsWith(u"login1"_s))
            bus.send(QDBusMessage::createSignal(session, u"org.freedesktop.DBus.Properties"_s, u"PropertiesChanged"_s)
                << u"org.freedesktop.login1.Session"_s << QVariantMap{{u"LockedHint"_s, on}} << QStringList());
        else
            bus.send(QDBusMessage::createSignal(path, name, u"ActiveChanged"_s) << on);
    }
};

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
    QDBusConnection session = QDBusConnection::sessionBus();
    FakeLock freedesktop(session, u"org.freedesktop.ScreenSaver"_s), gnome(session, u"org.gnome.ScreenSaver"_s),
        logind(QDBusConnection::connectToBus(env.value(u"DBUS_SYSTEM_BUS_ADDRESS"_s), u"system"_s),
            u"org.freedesktop.login1"_s);
    gnome.locked = true;
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
    gnome.lock(false);
    ASSERT_TRUE(logged(resumed, 1)) << logText();
    const long swaying = wakeups();
    freedesktop.lock(true);
    ASSERT_TRUE(logged(held, 2)) << logText();
    EXPECT_LT(wakeups(), 6) << "the monkey moves on a locked screen, " << swaying << " wakeups unlocked";
    publish(R"({"kind":"sale","headline":"Held"})");
    QTest::qWait(500);
    EXPECT_TRUE(QFile::exists(inbox + u"/e.json"_s)) << "a held event waits in the inbox";
    freedesktop.lock(false);
    ASSERT_TRUE(logged(u"slap: sale Held |  |  (sound: slap)"_s, 1)) << logText();
    // logind's hint; a saver that goes takes its lock along, one that comes is read.
    const std::tuple<std::function<void()>, QString, int> steps[]
        = {{[&] { logind.lock(true); }, held, 3}, {[&] { logind.lock(false); }, resumed, 3},
            {[&] { gnome.lock(true); }, held, 4}, {[&] { session.unregisterService(gnome.name); }, resumed, 4},
            {[&] { session.registerService(gnome.name); }, held, 5}};
    for (const auto& [act, line, count] : steps) {
        act();
        ASSERT_TRUE(logged(line, count)) << line.toStdString() << count;
    }
    EXPECT_GT(swaying, 10);
    QDBusConnection::disconnectFromBus(u"system"_s);
    daemon.kill();
    daemon.waitForFinished();
    session.unregisterService(freedesktop.name);
}

} // namespace

#include "HoldTest.moc"
