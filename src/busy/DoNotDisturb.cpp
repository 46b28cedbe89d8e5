#include "busy/DoNotDisturb.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

#include <gio/gio.h>

using namespace Qt::StringLiterals;

namespace {

const QString service = u"org.freedesktop.Notifications"_s;
const QString path = u"/org/freedesktop/Notifications"_s;
const QString properties = u"org.freedesktop.DBus.Properties"_s;
const char* const bannersSchema = "org.gnome.desktop.notifications";

} // namespace

DoNotDisturb::DoNotDisturb(QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_server(new QDBusServiceWatcher(service, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this))
{
    m_bus.connect(service, path, properties, u"PropertiesChanged"_s, this,
        SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
    // A server that comes later is read then; one that goes takes its Do Not Disturb with it.
    connect(m_server, &QDBusServiceWatcher::serviceOwnerChanged, this,
        [this](const QString&, const QString&, const QString& owner) {
            if (owner.isEmpty())
                set(m_inhibited, false);
            else
                readInhibited();
        });
    readInhibited();

    // Only where the schema is installed: GSettings aborts on an unknown one. Its change signal
    // comes through GLib's main loop, which Qt's event loop runs.
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema = source ? g_settings_schema_source_lookup(source, bannersSchema, TRUE) : nullptr;
    if (schema && g_settings_schema_has_key(schema, "show-banners")) {
        m_banners = g_settings_new_full(schema, nullptr, nullptr);
        const auto heard = +[](GSettings* settings, const char*, gpointer self) {
            auto* dnd = static_cast<DoNotDisturb*>(self);
            dnd->set(dnd->m_bannersOff, !g_settings_get_boolean(settings, "show-banners"));
        };
        g_signal_connect(m_banners, "changed::show-banners", G_CALLBACK(heard), this);
        m_bannersOff = !g_settings_get_boolean(m_banners, "show-banners");
    }
    if (schema)
        g_settings_schema_unref(schema);
}

DoNotDisturb::~DoNotDisturb()
{
    if (m_banners) {
        g_signal_handlers_disconnect_by_data(m_banners, this);
        g_object_unref(m_banners);
    }
}

// Asked without starting a server: reading a property is no reason to launch one.
void DoNotDisturb::readInhibited()
{
    QDBusMessage get = QDBusMessage::createMethodCall(service, path, properties, u"Get"_s);
    get << service << u"Inhibited"_s;
    get.setAutoStartService(false);
    auto* call = new QDBusPendingCallWatcher(m_bus.asyncCall(get), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *call;
        // A server without the property answers with an error: no Do Not Disturb from it.
        set(m_inhibited, !reply.isError() && reply.value().variant().toBool());
    });
}

void DoNotDisturb::propertiesChanged(
    const QString& interface, const QVariantMap& changed, const QStringList& invalidated)
{
    if (interface != service)
        return;
    if (changed.contains(u"Inhibited"_s))
        set(m_inhibited, changed.value(u"Inhibited"_s).toBool());
    else if (invalidated.contains(u"Inhibited"_s))
        readInhibited();
}

void DoNotDisturb::set(bool& source, bool on)
{
    const bool was = isOn();
    source = on;
    if (isOn() != was)
        Q_EMIT changed(isOn());
}
