#pragma once
#include "model/Block.h"

#include <string>

namespace kw {

// "F0 43 10 4B": bytes as upper-case hex pairs, for traces and reports.
std::string hexText(ByteView bytes);
// One byte as two upper-case hex digits.
std::string hexByte(uint8_t b);

} // namespace kw
