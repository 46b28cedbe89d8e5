#pragma once

#include <QString>

#include <optional>

// The short name the user gives a second (third, …) account of a service: "Acme". The first
// account has none, and keeps the keyring item, preferences and files it always had.
namespace AccountLabel {
inline constexpr int maxLength = 24;

// Why `label` cannot name an account, in the user's words; none when it can.
std::optional<QString> problem(const QString& label);
// Labels name keyring items and files, which do not tell case apart everywhere.
bool same(const QString& a, const QString& b);
// "stripe" for the first account, "stripe:Acme" for a labelled one: its keyring item, and the
// prefix of its preferences and files.
QString scoped(const QString& base, const QString& label);
// "Stripe" for the first account, "Stripe (Acme)" for a labelled one.
QString displayName(const QString& service, const QString& label);
} // namespace AccountLabel
