#pragma once

#include <QString>

#include <optional>

// Where the service keys live, keyed by account ("stripe", "revenuecat"). The watchers take it
// through their constructor so tests can hand them another store.
class SecretStore {
public:
    virtual ~SecretStore();

    // The stored text, or none (nothing stored, store locked or unreachable). Never prompts.
    virtual std::optional<QString> read(const QString& account) = 0;

    // Stores `text`, replacing any earlier item. Returns none on success, else a short
    // user-facing reason, e.g. "no secret service is running".
    virtual std::optional<QString> save(const QString& text, const QString& account) = 0;

    // Removes the item if there is one.
    virtual void remove(const QString& account) = 0;
};
