#pragma once
// The single-performance file: one 317-byte record and nothing else.

#include "files/FileError.h"
#include "files/PerformanceRecord.h"

#include <filesystem>
#include <string_view>

namespace kw {

inline constexpr std::string_view kPerformanceExtension = ".SYX";

// Any 317 bytes make a performance file; no header, address or checksum is
// examined (damaged files still load and are repaired by the senders' stamps).
// Any other size is NotAPerformanceFile (with an empty path).
Result<PerformanceRecord> parsePerformanceFile(ByteView bytes);
// Looks at the size before reading, so a large wrong file is refused at once.
Result<PerformanceRecord> readPerformanceFile(const std::filesystem::path& path);
// Written atomically under exactly `path` (callers choose the extension).
SaveError writePerformanceFile(const std::filesystem::path& path, const PerformanceRecord& record);

} // namespace kw
