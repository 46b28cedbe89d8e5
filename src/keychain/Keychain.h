#pragma once

#include "keychain/SecretStore.h"

// The user's keyring through the Secret Service (libsecret).
class Keychain final : public SecretStore {
public:
    static QString service();

    std::optional<QString> read(const QString& account) override;
    std::optional<QString> save(const QString& text, const QString& account) override;
    void remove(const QString& account) override;
};
