#pragma once

#include <QString>

#include <optional>

// What plays at the moment of impact, stored in the preferences by its raw value.
enum class SoundChoice { slap, pop, off };

QString rawValue(SoundChoice choice);
std::optional<SoundChoice> soundChoiceFromRaw(const QString& raw);
