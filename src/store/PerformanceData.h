#pragma once
// A performance as the library keeps it: the data bytes of its seven blocks
// and nothing else. Addresses, device number, checksums and framing are how
// a performance travels, not what it is, so one sound fetched from user
// performance 5 and loaded from a file addressed to 61 is one entry.

#include "files/PerformanceRecord.h"

#include <array>
#include <cstdint>
#include <string>

namespace kw {

// 46 + 21 + 9 + 4 * 41: the data bytes of the seven user-form blocks.
inline constexpr size_t kPerformanceDataSize = 240;
inline constexpr size_t kDataNameOffset = 0;      // eight bytes, Windows-1252, blank padded
inline constexpr size_t kDataCategoryOffset = 8;  // 0..22

using PerformanceData = std::array<uint8_t, kPerformanceDataSize>;

// The data bytes of a record's seven messages, in message order.
PerformanceData performanceData(const PerformanceRecord& record);
// The record of `data` as user performance `number` (0..127), headers,
// checksums and end bytes complete (device number 0, as the editor sends).
PerformanceRecord recordFromData(const PerformanceData& data, int number);

// The performance's identity: all its data, name and category included.
uint64_t dataHash(const PerformanceData& data);
// What one hears: all but the name and the category, neither of which
// changes a note. Two performances with one sound hash and different names
// are twins.
uint64_t soundHash(const PerformanceData& data);
bool sameSound(const PerformanceData& a, const PerformanceData& b);

// The eight name bytes as stored, and the category byte.
std::string dataName(const PerformanceData& data);
int dataCategory(const PerformanceData& data);

} // namespace kw
