#pragma once
// Windows-1252, the character set of performance names, voice names and the
// names files, to and from the UTF-8 the user interface works in.

#include <string>
#include <string_view>

namespace kw {

// Every byte maps to one character; 0x80-0x9F are the Windows characters
// (0x80 is the euro sign), the five codes Windows leaves undefined (81 8D 8F
// 90 9D) become U+FFFD.
std::string cp1252ToUtf8(std::string_view bytes);
// Characters without a Windows-1252 code, and malformed UTF-8, become '?'.
std::string utf8ToCp1252(std::string_view utf8);

// The UTF-8 bytes of code point `c` added to `out`.
void appendUtf8(std::string& out, char32_t c);

} // namespace kw
