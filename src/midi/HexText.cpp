#include "midi/HexText.h"

namespace kw {

std::string hexByte(uint8_t b)
{
    static const char* digits = "0123456789ABCDEF";
    return {digits[b >> 4], digits[b & 15]};
}

std::string hexText(ByteView b)
{
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    s.reserve(b.size() * 3);
    for (size_t i = 0; i < b.size(); ++i) {
        if (i)
            s += ' ';
        s += digits[b[i] >> 4];
        s += digits[b[i] & 15];
    }
    return s;
}

} // namespace kw
