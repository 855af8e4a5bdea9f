#pragma once
// The three effect type lists of common block 30 and the (MSB, LSB) pairs
// the synth stores for them, with each variation type's default parameters.

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace kw::fx {

struct EffectType {
    const char* name;
    uint8_t msb, lsb;
};

inline constexpr int kVariParams = 6;  // variation parameters 1, 2, 3, 4, 5 and 10

struct VariationType {
    const char* name;
    uint8_t msb, lsb;
    std::array<uint16_t, kVariParams> defaults;  // 14-bit values, P1..P5, P10
};

std::span<const EffectType> reverbTypes();      // 12 entries, `ReverbType`
std::span<const EffectType> chorusTypes();      // 12 entries, `ChorusType`
std::span<const VariationType> variationTypes();  // 44 entries, `VariType`

// Index of the entry whose pair equals (msb, lsb); none when the pair is not
// in the table (it can come with a received dump or a loaded file).
std::optional<int> reverbIndexOf(uint8_t msb, uint8_t lsb);
std::optional<int> chorusIndexOf(uint8_t msb, uint8_t lsb);
std::optional<int> variationIndexOf(uint8_t msb, uint8_t lsb);

} // namespace kw::fx
