#include "keychain/Keychain.h"

#include "support/AppIdentity.h"
#include "support/Log.h"

#include <QFileInfo>

#include <libsecret/secret.h>

namespace {

// Matching on the schema name (libsecret keeps it as the attribute xdg:schema) limits reads,
// replacements and removals to the items this application wrote.
const SecretSchema* schema()
{
    static const SecretSchema bonkbell = {
        AppIdentity::id,
        SECRET_SCHEMA_NONE,
        {
            {"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
        },
        0,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
    };
    return &bonkbell;
}

GHashTable* attributesFor(const QString& account)
{
    GHashTable* attributes = g_hash_table_new_full(g_str_hash, g_str_equal, nullptr, g_free);
    g_hash_table_insert(attributes, gpointer("service"), g_strdup(Keychain::service().toUtf8().constData()));
    g_hash_table_insert(attributes, gpointer("account"), g_strdup(account.toUtf8().constData()));
    return attributes;
}

// Without a session bus GLib "autolaunches" a bus of its own through dbus-launch. That bus
// never holds the user's keyring, activating a secret service on it can take the full 25 s
// D-Bus timeout per call, and the bus outlives us. So a missing session bus is unreachable.
bool hasSessionBus()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

// The shared connection to the Secret Service, or none with `error` set. It fails only when
// there is no session bus; a bus without a secret service fails at the first call.
SecretService* connectToService(GError** error)
{
    if (!hasSessionBus()) {
        g_set_error_literal(error, G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "No D-Bus session bus");
        return nullptr;
    }
    return secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, error);
}

// Completes "Couldn't save the key to your keyring: <reason>."
QString reasonFor(const GError* error, bool connected)
{
    if (!connected)
        return QStringLiteral("no secret service is running on this desktop (no D-Bus session bus)");
    if (g_error_matches(error, SECRET_ERROR, SECRET_ERROR_IS_LOCKED))
        return QStringLiteral("the keyring is locked");
    if (error->domain == G_DBUS_ERROR) {
        switch (error->code) {
        case G_DBUS_ERROR_SERVICE_UNKNOWN:
        case G_DBUS_ERROR_NAME_HAS_NO_OWNER:
        case G_DBUS_ERROR_SPAWN_EXEC_FAILED:
        case G_DBUS_ERROR_SPAWN_FORK_FAILED:
        case G_DBUS_ERROR_SPAWN_CHILD_EXITED:
        case G_DBUS_ERROR_SPAWN_CHILD_SIGNALED:
        case G_DBUS_ERROR_SPAWN_FAILED:
        case G_DBUS_ERROR_SPAWN_SERVICE_NOT_FOUND:
        case G_DBUS_ERROR_SPAWN_SERVICE_INVALID:
            return QStringLiteral("no secret service is running on this desktop");
        // A secret service started on demand with no login keyring names a default
        // collection that does not exist.
        case G_DBUS_ERROR_UNKNOWN_METHOD:
        case G_DBUS_ERROR_UNKNOWN_OBJECT:
        case G_DBUS_ERROR_UNKNOWN_INTERFACE:
            return QStringLiteral("there is no default keyring to keep it in");
        case G_DBUS_ERROR_NO_REPLY:
        case G_DBUS_ERROR_TIMEOUT:
        case G_DBUS_ERROR_TIMED_OUT:
            return QStringLiteral("the secret service did not answer");
        default:
            break;
        }
    }
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT))
        return QStringLiteral("the secret service did not answer");

    // Anything else in the service's own words, without the D-Bus error name that GDBus
    // prefixes to remote errors, and shaped to sit inside the caller's sentence.
    g_autoptr(GError) copy = g_error_copy(error);
    g_dbus_error_strip_remote_error(copy);
    QString reason = QString::fromUtf8(copy->message).trimmed();
    while (reason.endsWith(u'.'))
        reason.chop(1);
    if (reason.size() > 1 && reason[0].isUpper() && reason[1].isLower())
        reason[0] = reason[0].toLower();
    return reason.isEmpty() ? QStringLiteral("the secret service refused it") : reason;
}

} // namespace

QString Keychain::service()
{
    return QString::fromLatin1(AppIdentity::id);
}

std::optional<QString> Keychain::read(const QString& account)
{
    g_autoptr(GError) error = nullptr;
    g_autoptr(SecretService) secrets = connectToService(&error);
    g_autoptr(GHashTable) attributes = attributesFor(account);
    // No SECRET_SEARCH_UNLOCK: unlocking may show a password prompt, and reads happen unasked.
    g_autolist(SecretItem) items = secrets
        ? secret_service_search_sync(secrets, schema(), attributes, SECRET_SEARCH_LOAD_SECRETS, nullptr, &error)
        : nullptr;

    const auto failed = [&account](int code) {
        log(QStringLiteral("WARN keychain read '%1' failed (OSStatus %2)").arg(account).arg(code));
        return std::nullopt;
    };
    if (error)
        return failed(error->code);
    if (!items)
        return std::nullopt;
    g_autoptr(SecretValue) value = secret_item_get_secret(SECRET_ITEM(items->data));
    // A locked item comes back without its secret and without an error; report it with
    // libsecret's own code for a locked object.
    if (!value)
        return failed(SECRET_ERROR_IS_LOCKED);

    gsize length = 0;
    const gchar* data = secret_value_get(value, &length);
    if (!g_utf8_validate_len(data, length, nullptr))
        return std::nullopt;
    return QString::fromUtf8(data, qsizetype(length));
}

std::optional<QString> Keychain::save(const QString& text, const QString& account)
{
    g_autoptr(GError) error = nullptr;
    g_autoptr(SecretService) secrets = connectToService(&error);
    if (secrets) {
        g_autoptr(GHashTable) attributes = attributesFor(account);
        const QByteArray label = QStringLiteral("Bonkbell (%1)").arg(account).toUtf8();
        QByteArray bytes = text.toUtf8();
        g_autoptr(SecretValue) value = secret_value_new(bytes.constData(), bytes.size(), "text/plain");
        bytes.fill('\0');
        // Storing replaces an item with the same attributes in place, so a failed save leaves
        // the earlier key working; deleting it first would not.
        secret_service_store_sync(
            secrets, schema(), attributes, SECRET_COLLECTION_DEFAULT, label.constData(), value, nullptr, &error);
    }
    if (!error)
        return std::nullopt;
    log(QStringLiteral("ERROR keychain save '%1' failed (OSStatus %2)").arg(account).arg(error->code));
    return reasonFor(error, secrets != nullptr);
}

void Keychain::remove(const QString& account)
{
    g_autoptr(GError) error = nullptr;
    g_autoptr(SecretService) secrets = connectToService(&error);
    if (!secrets)
        return;
    g_autoptr(GHashTable) attributes = attributesFor(account);
    // Nothing to clear and an unreachable store both leave no item this app could use.
    secret_service_clear_sync(secrets, schema(), attributes, nullptr, &error);
}
