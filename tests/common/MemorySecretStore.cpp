#include "common/MemorySecretStore.h"

std::optional<QString> MemorySecretStore::read(const QString& account)
{
    return m_items.contains(account) ? std::optional(m_items.value(account)) : std::nullopt;
}

std::optional<QString> MemorySecretStore::save(const QString& text, const QString& account)
{
    m_items.insert(account, text);
    return std::nullopt;
}
