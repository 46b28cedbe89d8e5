#include "common/MemorySecretStore.h"

std::optional<QString> MemorySecretStore::read(const QString& account)
{
    if (m_locked || !m_items.contains(account))
        return std::nullopt;
    return m_items.value(account);
}

std::optional<QString> MemorySecretStore::save(const QString& text, const QString& account)
{
    if (!m_saveFailure)
        m_items.insert(account, text);
    return m_saveFailure;
}
