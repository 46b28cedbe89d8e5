#pragma once

#include "keychain/SecretStore.h"

#include <QHash>

// A SecretStore in memory for tests of code that keeps keys, with the keychain's failure
// behaviour on demand.
class MemorySecretStore final : public SecretStore {
public:
    std::optional<QString> read(const QString& account) override;
    std::optional<QString> save(const QString& text, const QString& account) override;
    void remove(const QString& account) override { m_items.remove(account); }

    // While set, every save fails with this reason and keeps the earlier item, as the keychain does.
    void failSavesWith(std::optional<QString> reason) { m_saveFailure = std::move(reason); }
    // While locked, reads give none although items stay stored, as with a locked keyring.
    void setLocked(bool locked) { m_locked = locked; }
    // What is stored, by account, regardless of the lock.
    const QHash<QString, QString>& items() const { return m_items; }

private:
    QHash<QString, QString> m_items;
    std::optional<QString> m_saveFailure;
    bool m_locked = false;
};
