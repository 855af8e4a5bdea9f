#pragma once
// Targets of the two assignable knobs; the stored value is the entry index.

#include <array>
#include <cstdint>

namespace kw::assign {

inline constexpr int kTargets = 30;
const std::array<const char*, kTargets>& knob1Targets();  // `Assign1Para`
const std::array<const char*, kTargets>& knob2Targets();  // `Assign2Para`

// Assign knob 1's target lives at 0x28 of common block 00. Assign knob 2 has
// four banks (tab t = 0..3): layer and target as one pair, then a sensitivity.
inline constexpr uint8_t kKnob1Offset = 0x28;
inline constexpr int kBanks = 4;
inline constexpr uint8_t layerOffset(int tab) { return uint8_t(0x1C + 2 * tab); }
inline constexpr uint8_t targetOffset(int tab) { return uint8_t(0x1D + 2 * tab); }
inline constexpr uint8_t levelOffset(int tab) { return uint8_t(0x24 + tab); }

} // namespace kw::assign
