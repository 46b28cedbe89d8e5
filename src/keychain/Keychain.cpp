#include "keychain/Keychain.h"

QString Keychain::service()
{
    return QStringLiteral("com.bonkbell.mac");
}

std::optional<QString> Keychain::read(const QString&)
{
    return std::nullopt;
}

std::optional<QString> Keychain::save(const QString&, const QString&)
{
    return QStringLiteral("not implemented yet");
}

void Keychain::remove(const QString&)
{
}
