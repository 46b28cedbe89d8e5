#pragma once

#include "support/Preferences.h"
#include "support/SoundChoice.h"

#include <QSettings>
#include <QVariant>

#include <optional>

// The user's preferences in a per-user INI file. Every read goes to the file (another
// process, the command line, may have changed it); every write is flushed at once.
class Settings {
public:
    explicit Settings(const QString& file);
    // A labelled account's view of the same file: "stripe.since" is read and written as
    // "stripe:Acme.since"; keys without a service prefix are shared.
    Settings(const QString& file, QString account);

    // The application's preferences at Paths::preferences, opened on first use.
    static Settings& shared();

    template <typename T> T get(const Preference<T>& preference) const
    {
        return convert<T>(raw(preference.key)).value_or(preference.registeredDefault);
    }

    template <typename T> std::optional<T> get(const OptionalPreference<T>& preference) const
    {
        return convert<T>(raw(preference.key));
    }

    template <typename T> void set(const Preference<T>& preference, const T& value)
    {
        store(preference.key, QVariant::fromValue(value));
    }

    template <typename T> void set(const OptionalPreference<T>& preference, const T& value)
    {
        store(preference.key, QVariant::fromValue(value));
    }

    template <typename T> void remove(const OptionalPreference<T>& preference) { erase(preference.key); }

    SoundChoice soundChoice() const;
    void setSoundChoice(SoundChoice choice);
    bool showTests() const { return get(Preferences::showTests); }
    void setShowTests(bool on) { set(Preferences::showTests, on); }
    bool alwaysVisible() const { return get(Preferences::alwaysVisible); }
    void setAlwaysVisible(bool on) { set(Preferences::alwaysVisible, on); }
    double scale() const { return get(Preferences::scale); }
    void setScale(double factor) { set(Preferences::scale, factor); }
    // Read-only here: the user may still change it by editing the file.
    double noteSeconds() const { return get(Preferences::noteSeconds); }
    bool holdWhenBusy() const { return get(Preferences::holdWhenBusy); }

    QString fileName() const { return m_store.fileName(); }
    // Removes every key of this view's account; nothing for the unlabelled view.
    void forgetAccount();

private:
    QString scopedKey(const char* key) const;
    std::optional<QVariant> raw(const char* key) const;
    void store(const char* key, const QVariant& value);
    void erase(const char* key);

    template <typename T> static std::optional<T> convert(const std::optional<QVariant>& value);

    mutable QSettings m_store;
    QString m_account;
};

template <> std::optional<bool> Settings::convert<bool>(const std::optional<QVariant>& value);
template <> std::optional<double> Settings::convert<double>(const std::optional<QVariant>& value);
template <> std::optional<QString> Settings::convert<QString>(const std::optional<QVariant>& value);
template <> std::optional<qint64> Settings::convert<qint64>(const std::optional<QVariant>& value);
template <> std::optional<QStringList> Settings::convert<QStringList>(const std::optional<QVariant>& value);
