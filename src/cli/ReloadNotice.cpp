#include "cli/ReloadNotice.h"

#include "AppBusAdaptor.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>

using namespace Qt::StringLiterals;

namespace {

// The command line's end of the bus interface: its adaptor relays this object's signal.
class ReloadSender : public QObject {
    Q_OBJECT
Q_SIGNALS:
    void reload();
};

} // namespace

namespace ReloadNotice {

void post()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    ReloadSender sender;
    new AppBusAdaptor(&sender);
    if (!bus.registerObject(u"/"_s, &sender))
        return;
    // The adaptor hands the signal to the bus's own thread; the round trip queued behind it
    // makes sure it left before the object goes.
    Q_EMIT sender.reload();
    flushSessionBus();
    bus.unregisterObject(u"/"_s);
}

void flushSessionBus()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected())
        bus.interface()->call(u"GetId"_s);
}

} // namespace ReloadNotice

#include "ReloadNotice.moc"
