#pragma once

#include <QRgb>

#include <optional>

// The fifteen opaque colours of the pixel art, by letter. Any other character is transparent.
namespace Palette {
std::optional<QRgb> color(char letter);
} // namespace Palette
