#pragma once

#include <cstddef>
#include <cstdint>

// Identity flags of a camera, from its model name; they choose the family of
// its parameter set. A colour camera is one with ModelColor set.
enum ModelFlag : std::uint32_t {
    ModelMono = 1,   // the model name does not contain "CR"
    ModelColor = 2,  // the model name contains "CR"
    ModelH280 = 16,  // a monochrome model whose name contains "H280"
};

// The three families of parameter definitions. What each family has, and the
// register it has it in, is said once, by the columns of the setting table
// (params/SettingTable.h).
enum class Family : std::uint8_t { Standard, Color, H280 };
inline constexpr std::size_t kFamilyCount = 3;

// The H280 bit is tested first, then the colour bit.
constexpr Family FamilyOf(std::uint32_t flags) {
    if ((flags & ModelH280) != 0) {
        return Family::H280;
    }
    return (flags & ModelColor) != 0 ? Family::Color : Family::Standard;
}

// A set of families, one bit each.
enum class Families : std::uint8_t {
    None = 0,
    Standard = 1 << static_cast<int>(Family::Standard),
    Color = 1 << static_cast<int>(Family::Color),
    H280 = 1 << static_cast<int>(Family::H280),
    NotColor = Standard | H280,
    NotH280 = Standard | Color,
    Every = Standard | Color | H280,
};

constexpr bool Includes(Families set, Family family) {
    return (static_cast<unsigned>(set) & (1u << static_cast<unsigned>(family))) != 0;
}
