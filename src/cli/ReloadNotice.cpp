#include "cli/ReloadNotice.h"

#include <QDBusConnection>
#include <QDBusMessage>

using namespace Qt::StringLiterals;

namespace {

// Receives the bus signal and forwards it to the callback.
class ReloadReceiver : public QObject {
    Q_OBJECT
public:
    ReloadReceiver(QObject* parent, std::function<void()> onReload)
        : QObject(parent), m_onReload(std::move(onReload))
    {
    }

public Q_SLOTS:
    void reload() { m_onReload(); }

private:
    std::function<void()> m_onReload;
};

} // namespace

namespace ReloadNotice {

void post()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    bus.send(QDBusMessage::createSignal(u"/"_s, QString::fromLatin1(interface), QString::fromLatin1(member)));
    bus.call(QDBusMessage::createMethodCall(
        u"org.freedesktop.DBus"_s, u"/org/freedesktop/DBus"_s, u"org.freedesktop.DBus"_s, u"GetId"_s));
}

bool subscribe(QObject* context, std::function<void()> onReload)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    auto* receiver = new ReloadReceiver(context, std::move(onReload));
    // Any sender: the notice comes from the command line's own unique name. The bus API takes
    // its receiver by slot name, hence the one string-based connection of the code.
    return bus.connect(QString(), u"/"_s, QString::fromLatin1(interface), QString::fromLatin1(member), receiver, SLOT(reload()));
}

} // namespace ReloadNotice

#include "ReloadNotice.moc"
