#pragma once

#include <QString>
#include <QStringList>

// A preference key with its type and its registered default: returned while the user has
// stored nothing under the key, and never written to the store.
template <typename T> struct Preference {
    const char* key;
    T registeredDefault;
};

// A key whose absence means something of its own, so it has no registered default.
template <typename T> struct OptionalPreference {
    const char* key;
};

// Every preference of the application, in one place.
namespace Preferences {
inline constexpr Preference<bool> sound{"sound", true};
inline constexpr Preference<bool> showTests{"showTests", true};
inline constexpr Preference<bool> alwaysVisible{"alwaysVisible", true};
inline constexpr Preference<double> scale{"scale", 4.0};
inline constexpr Preference<double> noteSeconds{"noteSeconds", 8.0};
inline constexpr OptionalPreference<QString> soundChoice{"soundChoice"};
inline constexpr Preference<bool> shownSetup{"shownSetup", false};
// Whether shows wait while the user is busy (a fullscreen window, Do Not Disturb).
inline constexpr Preference<bool> holdWhenBusy{"holdWhenBusy", true};
} // namespace Preferences

// The sales watchers' own keys.
namespace Preferences {
inline constexpr Preference<qint64> stripeSince{"stripe.since", 0};
inline constexpr OptionalPreference<QStringList> stripeSeen{"stripe.seen"};
// `created` of the newest charge listed so far: later polls list only from shortly before it.
inline constexpr Preference<qint64> stripeListedUntil{"stripe.listedUntil", 0};
inline constexpr OptionalPreference<QStringList> stripeUnsettled{"stripe.unsettled"};
inline constexpr OptionalPreference<QString> rcProject{"rc.project"};
inline constexpr OptionalPreference<QString> rcDay{"rc.day"};
inline constexpr Preference<double> rcRevenue{"rc.revenue", 0.0};
inline constexpr Preference<double> rcSubs{"rc.subs", 0.0};
} // namespace Preferences

// The labelled accounts besides the first, in the order they were connected. Each keeps the
// keys above under its own prefix ("stripe:Acme.since").
namespace Preferences {
inline constexpr OptionalPreference<QStringList> stripeAccounts{"stripe.accounts"};
inline constexpr OptionalPreference<QStringList> rcAccounts{"rc.accounts"};
} // namespace Preferences
