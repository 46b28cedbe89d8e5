#include "app/SingleInstance.h"

#include "AppBusAdaptor.h"
#include "AppBusProxy.h"
#include "cli/ReloadNotice.h"
#include "cli/StatusLines.h"
#include "support/AppIdentity.h"
#include "support/Log.h"
#include "support/Paths.h"
#include "support/PrivateDirectory.h"
#include "watchers/WatcherAccounts.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>

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
    const QString name = QString::fromLatin1(AppIdentity::id);
    if (bus.registerService(name)) {
        new AppBusAdaptor(this);
        bus.registerObject(u"/"_s, this);
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
    m_lock = std::make_unique<QLockFile>(dir + u"/"_s + QString::fromLatin1(AppIdentity::id) + u".lock"_s);
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
    // Not waited for: the running app answers when its event loop gets to it.
    AppBusProxy(QString::fromLatin1(AppIdentity::id), u"/"_s, bus).ShowSettings();
    ReloadNotice::flushSessionBus();
}

void SingleInstance::ShowSettings()
{
    Q_EMIT showSettingsRequested();
}

void SingleInstance::reportStatusOf(const WatcherAccounts& accounts)
{
    m_accounts = &accounts;
}

QStringList SingleInstance::Status() const
{
    // Empty before the watchers exist: the command line then prints the stored state.
    if (!m_accounts)
        return {};
    return StatusLines::of(*m_accounts);
}
