#include "busy/ScreenLock.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

using namespace Qt::StringLiterals;

namespace {

// Each saver's service, object and interface share one name.
const QString savers[] = {u"org.freedesktop.ScreenSaver"_s, u"org.gnome.ScreenSaver"_s};
const QString login1 = u"org.freedesktop.login1"_s;
const QString sessionInterface = u"org.freedesktop.login1.Session"_s;
const QString dbusProperties = u"org.freedesktop.DBus.Properties"_s;

QString objectOf(const QString& name)
{
    return u'/' + QString(name).replace(u'.', u'/');
}

// Asked without starting a service: reading a state is no reason to launch one.
QDBusPendingCall askQuietly(const QDBusConnection& bus, QDBusMessage call)
{
    call.setAutoStartService(false);
    return bus.asyncCall(call);
}

} // namespace

ScreenLock::ScreenLock(QDBusConnection session, QDBusConnection system, QObject* parent)
    : QObject(parent)
    , m_session(std::move(session))
    , m_system(std::move(system))
{
    auto* owners = new QDBusServiceWatcher(QString(), m_session, QDBusServiceWatcher::WatchForOwnerChange, this);
    owners->setWatchedServices(QStringList(std::begin(savers), std::end(savers)));
    // A saver that comes later is read then; one that goes takes its lock with it.
    connect(owners, &QDBusServiceWatcher::serviceOwnerChanged, this,
        [this](const QString& name, const QString&, const QString& owner) {
            if (owner.isEmpty())
                set(name, false);
            else
                readSaver(name);
        });
    for (const QString& name : savers) {
        m_session.connect(
            name, objectOf(name), name, u"ActiveChanged"_s, this, SLOT(saverActiveChanged(bool, QDBusMessage)));
        readSaver(name);
    }
    if (m_system.isConnected())
        findSession();
}

void ScreenLock::readSaver(const QString& name)
{
    auto* call = new QDBusPendingCallWatcher(
        askQuietly(m_session, QDBusMessage::createMethodCall(name, objectOf(name), name, u"GetActive"_s)), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this, name](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<bool> reply = *call;
        set(name, !reply.isError() && reply.value());
    });
}

void ScreenLock::saverActiveChanged(bool active, const QDBusMessage& message)
{
    set(message.interface(), active);
}

// "auto" is the session this process runs in, or else the user's graphical one. Signals come
// from the session's own object, so its real path is asked for first.
void ScreenLock::findSession()
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        login1, u"/org/freedesktop/login1"_s, u"org.freedesktop.login1.Manager"_s, u"GetSession"_s);
    get << u"auto"_s;
    auto* call = new QDBusPendingCallWatcher(askQuietly(m_system, get), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *call;
        if (reply.isError())
            return;
        m_sessionPath = reply.value().path();
        m_system.connect(login1, m_sessionPath, dbusProperties, u"PropertiesChanged"_s, this,
            SLOT(sessionPropertiesChanged(QString, QVariantMap, QStringList)));
        readLockedHint();
    });
}

void ScreenLock::readLockedHint()
{
    QDBusMessage get = QDBusMessage::createMethodCall(login1, m_sessionPath, dbusProperties, u"Get"_s);
    get << sessionInterface << u"LockedHint"_s;
    auto* call = new QDBusPendingCallWatcher(askQuietly(m_system, get), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *call;
        set(login1, !reply.isError() && reply.value().variant().toBool());
    });
}

void ScreenLock::sessionPropertiesChanged(
    const QString& interface, const QVariantMap& changed, const QStringList& invalidated)
{
    if (interface != sessionInterface)
        return;
    if (changed.contains(u"LockedHint"_s))
        set(login1, changed.value(u"LockedHint"_s).toBool());
    else if (invalidated.contains(u"LockedHint"_s))
        readLockedHint();
}

void ScreenLock::set(const QString& source, bool locked)
{
    const bool was = isOn();
    if (locked)
        m_lockedBy.insert(source);
    else
        m_lockedBy.remove(source);
    if (isOn() != was)
        Q_EMIT changed(isOn());
}
