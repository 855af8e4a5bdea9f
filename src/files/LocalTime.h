#pragma once
// Dates as the user reads them, in the computer's time zone: the dates the
// library shows and the one a new bank's name proposes. Beside the files
// (not in the model, which is standard C++ only) because the time zone is
// the system's.

#include <cstdint>
#include <string>

namespace kw {

// `seconds` since 1970 in local time, as strftime writes `format`
// ("%Y-%m-%d %H:%M": "2024-05-01 14:03"); at most 31 characters.
std::string localTimeText(int64_t seconds, const char* format);

} // namespace kw
