#include "app/SingleInstance.h"

#include "support/Log.h"
#include "support/Paths.h"
#include "support/PrivateDirectory.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

using namespace Qt::StringLiterals;

SingleInstance::SingleInstance(QObject* parent)
    : QObject(parent)
{
}

SingleInstance::~SingleInstance() = default;

std::optional<qint64> SingleInstance::claim()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return claimWithLockFile();
    const QString name = QString::fromLatin1(busName);
    if (bus.registerService(name)) {
        bus.registerObject(u"/"_s, this, QDBusConnection::ExportScriptableSlots);
        return std::nullopt;
    }
    const auto pid = bus.interface()->servicePid(name);
    return pid.isValid() ? qint64(pid.value()) : 0;
}

std::optional<qint64> SingleInstance::claimWithLockFile()
{
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty())
        dir = Paths::support();
    makePrivateDirectory(dir);
    log(u"WARN no session bus; using a lock file to run once"_s);
    m_lock = std::make_unique<QLockFile>(dir + u"/com.bonkbell.mac.lock"_s);
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock())
        return std::nullopt;
    qint64 pid = 0;
    QString host, app;
    m_lock->getLockInfo(&pid, &host, &app);
    return pid;
}

void SingleInstance::askToShowSettings()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    bus.call(QDBusMessage::createMethodCall(QString::fromLatin1(busName), u"/"_s, QString::fromLatin1(busName), u"ShowSettings"_s),
        QDBus::NoBlock);
    // One round trip, so the call has left before this process exits.
    bus.call(QDBusMessage::createMethodCall(u"org.freedesktop.DBus"_s, u"/org/freedesktop/DBus"_s, u"org.freedesktop.DBus"_s, u"GetId"_s));
}

void SingleInstance::ShowSettings()
{
    if (onShowSettings)
        onShowSettings();
}
