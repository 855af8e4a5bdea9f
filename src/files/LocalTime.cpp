#include "files/LocalTime.h"

#include <ctime>

namespace kw {

std::string localTimeText(int64_t seconds, const char* format)
{
    const std::time_t t = std::time_t(seconds);
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    return std::string(text, std::strftime(text, sizeof text, format, &local));
}

} // namespace kw
