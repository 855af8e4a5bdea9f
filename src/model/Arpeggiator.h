#pragma once
// Entries of the arpeggiator's pattern and subdivision lists; the stored
// value is the entry index. (Tempo and mode rules sit with the field table.)

#include <array>

namespace kw::arp {

inline constexpr int kTypes = 30;
inline constexpr int kSubdivs = 10;
const std::array<const char*, kTypes>& typeItems();      // `ArpeggioType`
const std::array<const char*, kSubdivs>& subdivItems();  // `ArpeggioSubdiv`

} // namespace kw::arp
