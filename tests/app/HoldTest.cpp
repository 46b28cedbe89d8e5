#include "AppProcessTest.h"

#include <QDBusConnection>
#include <QDBusMessage>
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

} // namespace

#include "HoldTest.moc"
