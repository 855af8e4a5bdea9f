#pragma once
// The performance-names file: the 128 lines of the user-performance list in
// Windows-1252, each ended by CR LF.

#include "files/FileError.h"
#include "model/Block.h"
#include "model/UserPerfList.h"

#include <array>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace kw {

inline constexpr std::string_view kNamesExtension = ".PFN";
// A names file is about 2.5 KB; reading stops here, long before line 128 of
// any sensible file.
inline constexpr uint64_t kNamesSizeLimit = 1 << 20;

// Lines as Windows-1252 bytes, exactly 128 of them.
using NameLines = std::array<std::string, kUserPerformances>;

// The file's lines (ended by CR LF, CR or LF) for the first 128 entries; a
// shorter file leaves the rest as bare numbers ("097"), lines beyond 128 are
// ignored, so every command still finds 128 entries.
NameLines parseNames(ByteView bytes);
Result<NameLines> readNamesFile(const std::filesystem::path& path);

// Each line followed by CR LF.
Bytes namesBytes(std::span<const std::string> lines);
// Written atomically under exactly `path`.
SaveError writeNamesFile(const std::filesystem::path& path, std::span<const std::string> lines);

} // namespace kw
