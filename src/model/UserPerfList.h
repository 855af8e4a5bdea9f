#pragma once
// The 128 user performances as the editor and the virtual synth know them
// before any names have been received or loaded.

#include <array>
#include <cstdint>
#include <string>

namespace kw {

inline constexpr int kUserPerformances = 128;

// Full list lines: "001  DR umTrax2" .. "128  CO EuroKit" (number, two blanks,
// category abbreviation, a blank, the name).
const std::array<std::string, kUserPerformances>& builtInUserPerfLines();

struct BuiltInUserPerf {
    uint8_t category;           // index into the category table (0..22)
    std::array<char, 8> name;   // padded with blanks, as stored at 0x00-0x07
};
// Category and name of each built-in line, for the virtual synth's start memory.
const std::array<BuiltInUserPerf, kUserPerformances>& builtInUserPerfs();

} // namespace kw
