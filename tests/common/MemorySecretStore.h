#pragma once

#include "keychain/SecretStore.h"

#include <QHash>

// A SecretStore in memory for tests of code that keeps keys; saves fail with `refusal` while it is set.
class MemorySecretStore final : public SecretStore {
public:
    std::optional<QString> refusal;
    std::optional<QString> read(const QString& account) override
    {
        return m_items.contains(account) ? std::optional(m_items.value(account)) : std::nullopt;
    }
    std::optional<QString> save(const QString& text, const QString& account) override
    {
        if (!refusal)
            m_items.insert(account, text);
        return refusal;
    }
    void remove(const QString& account) override { m_items.remove(account); }

private:
    QHash<QString, QString> m_items;
};
