#pragma once
// Entries of the common page's fixed lists; the stored value is the index.
// Texts are shown exactly as they stand, inner blanks included.

#include <array>

namespace kw {

const std::array<const char*, 23>& performanceTypeItems();  // `PerformanceType`
const std::array<const char*, 30>& assign1ParaItems();      // `Assign1Para`
const std::array<const char*, 30>& assign2ParaItems();      // `Assign2Para`

} // namespace kw
