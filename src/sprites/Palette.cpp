#include "sprites/Palette.h"

#include <array>

namespace {

struct Entry {
    char letter;
    QRgb rgb;
};

constexpr std::array<Entry, 15> colors{{
    {'D', qRgb(58, 32, 14)},    // dark outline
    {'B', qRgb(122, 74, 36)},   // fur
    {'b', qRgb(150, 96, 52)},   // light fur
    {'T', qRgb(236, 190, 140)}, // face and belly
    {'t', qRgb(198, 146, 96)},  // shaded skin
    {'K', qRgb(20, 20, 20)},    // pupils
    {'W', qRgb(255, 255, 255)}, // eye whites
    {'P', qRgb(200, 90, 90)},   // open mouth
    {'G', qRgb(62, 142, 58)},   // vine
    {'g', qRgb(42, 99, 39)},    // vine knot
    {'L', qRgb(98, 190, 80)},   // leaf
    {'Y', qRgb(255, 210, 63)},  // gold
    {'y', qRgb(214, 160, 20)},  // gold shade
    {'O', qRgb(120, 80, 8)},    // gold outline
    {'S', qRgb(255, 246, 190)}, // gold highlight
}};

// A direct lookup by character, built once: rasterising and hit tests call this per pixel.
constexpr std::array<std::optional<QRgb>, 128> table = [] {
    std::array<std::optional<QRgb>, 128> lookup{};
    for (const Entry& entry : colors)
        lookup[size_t(entry.letter)] = entry.rgb;
    return lookup;
}();

} // namespace

namespace Palette {

std::optional<QRgb> color(char letter)
{
    const auto index = static_cast<unsigned char>(letter);
    return index < table.size() ? table[index] : std::nullopt;
}

} // namespace Palette
