#pragma once
// What the user adds to a performance travels with an export: its name
// (as typed, where the synth shows only ASCII), category, tags, rating,
// favourite mark and notes go into a small JSON file beside the exported
// file, and an import of that file into another library takes them back.
// A performance in it is known by its data, exactly as the export wrote it,
// so the file fits whatever else the folder holds.

#include "files/FileError.h"
#include "store/PerformanceData.h"
#include "store/Store.h"

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kw {

// "Pads.PFB" -> "Pads.PFB.knobwright.json".
inline constexpr std::string_view kFieldsSuffix = ".knobwright.json";
std::filesystem::path fieldsFileFor(const std::filesystem::path& exported);
// For files exported into a folder one by one: "STEM.knobwright.json" in
// `folder`, or "STEM (2).knobwright.json" and on when that is taken.
std::filesystem::path freeFieldsFile(const std::filesystem::path& folder, const std::string& stem);
bool isFieldsFile(const std::filesystem::path& path);

// The version this program writes; a file of a higher one is refused.
inline constexpr int kFieldsVersion = 1;
// Larger files are refused unread: one entry takes about 600 bytes.
inline constexpr uint64_t kFieldsMaxBytes = 16u << 20;

struct ExportedFields {
    PerformanceData data{};  // as the export wrote it
    RowEdit fields;          // what the user set (every member but name may be unset)
};

// The fields of `rows`, written as `records` (the same order).
std::vector<ExportedFields> exportedFields(std::span<const LibraryRow> rows,
                                           std::span<const PerformanceRecord> records);

std::string fieldsText(std::span<const ExportedFields> entries);
// Every entry, or why the whole file is refused: not JSON, nested too
// deeply, a member of the wrong type or out of range ("performance 3:
// 'rating' is not 0 to 5"), or made by a newer Knobwright.
BasicResult<std::vector<ExportedFields>, std::string> parseFields(std::string_view text);
// parseFields() of a file; one larger than kFieldsMaxBytes, or no regular
// file, is refused without being read.
BasicResult<std::vector<ExportedFields>, std::string> readFieldsFile(const std::filesystem::path& path);
SaveError writeFieldsFile(const std::filesystem::path& path, std::span<const ExportedFields> entries);

} // namespace kw
