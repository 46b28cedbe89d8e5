#include "AppProcessTest.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <gmock/gmock.h>

namespace {

using namespace Qt::StringLiterals;
using TestEnvironment::waitUntil;

const QString service = u"org.freedesktop.Notifications"_s, path = u"/org/freedesktop/Notifications"_s;

// A notification server of the test's own on the session bus, with Do Not Disturb switched by the test.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
    Q_PROPERTY(bool Inhibited MEMBER inhibited)
public:
    bool inhibited = true;
    FakeNotifications()
    {
        QDBusConnection::sessionBus().registerObject(path, this, QDBusConnection::ExportAllProperties);
        QDBusConnection::sessionBus().registerService(service);
    }
    ~FakeNotifications() override { QDBusConnection::sessionBus().unregisterService(service); }
    void inhibit(bool on)
    {
        inhibited = on;
        QDBusMessage changed = QDBusMessage::createSignal(path, u"org.freedesktop.DBus.Properties"_s, u"PropertiesChanged"_s);
        QDBusConnection::sessionBus().send(changed << service << QVariantMap{{u"Inhibited"_s, on}} << QStringList());
    }
};

// Do Not Disturb, read at start and followed as it changes, holds the shows; so does GNOME's
// show-banners setting.
TEST_F(AppProcessTest, DoNotDisturbHoldsTheShowsTillItEnds)
{
    FakeNotifications server;
    const QString banners = root.filePath(u"config/glib-2.0/settings/keyfile"_s);
    TestEnvironment::writeFile(banners, "[org/gnome/desktop/notifications]\nshow-banners=true\n");
    startApp();
    ASSERT_TRUE(waitUntil([&] { return !logLines(u"^holding shows"_s).isEmpty(); })) << logMessages().join(u'\n').toStdString();
    TestEnvironment::writeFile(inbox + u"/.a.tmp"_s, R"({"kind":"sale","headline":"Held"})");
    QFile::rename(inbox + u"/.a.tmp"_s, inbox + u"/a.json"_s);
    ASSERT_TRUE(waitUntil([&] { return !QFile::exists(inbox + u"/a.json"_s); }));
    server.inhibit(false);
    ASSERT_TRUE(waitUntil([&] { return !logLines(u"^slap: "_s).isEmpty(); })) << logMessages().join(u'\n').toStdString();
    EXPECT_THAT(logLines(u" shows|^slap: "_s),
        testing::ElementsAre("holding shows (do not disturb)", "resuming shows", "slap: sale Held |  |  (sound: slap)"));
    TestEnvironment::writeFile(banners, "[org/gnome/desktop/notifications]\nshow-banners=false\n");
    EXPECT_TRUE(waitUntil([&] { return logLines(u"^holding shows \\(do not disturb\\)$"_s).size() == 2; }))
        << logMessages().join(u'\n').toStdString();
}

} // namespace

#include "HoldTest.moc"
