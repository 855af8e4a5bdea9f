#include "model/Settings.h"

#include <limits>

namespace kw {

std::optional<long long> parseSettingInteger(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size())
        return std::nullopt;
    long long value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        value = value * base + digit;
        if (value > std::numeric_limits<unsigned>::max())
            return std::nullopt;  // what a 32-bit reader would reject
    }
    return negative ? -value : value;
}

bool flagFromText(const std::optional<std::string>& text)
{
    if (!text)
        return true;
    const auto v = parseSettingInteger(*text);
    return v ? *v != 0 : true;
}

} // namespace kw
