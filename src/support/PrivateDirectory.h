#pragma once

#include <QString>

#include <optional>

// Creates `path` and any missing parents with owner-only permissions (0700).
// An existing directory is left as it is. Returns the system's error description on failure.
std::optional<QString> makePrivateDirectory(const QString& path);
