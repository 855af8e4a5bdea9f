#pragma once
#include "model/Block.h"

#include <string>

namespace kw {

// "F0 43 10 4B": bytes as upper-case hex pairs, for traces and reports.
std::string hexText(ByteView bytes);

} // namespace kw
