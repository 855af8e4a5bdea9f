#include "midi/DriverLog.h"

#include <cstdarg>
#include <cstdio>
#include <iostream>
#include <mutex>

#if KW_HAVE_JACK
#include <jack/jack.h>
#endif
#if KW_HAVE_ALSA
#include <alsa/asoundlib.h>
#endif

namespace kw {

Q_LOGGING_CATEGORY(driverLog, "knobwright.driver", QtWarningMsg)

void logDriverText(const char* driver, const std::string& text)
{
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            qCInfo(driverLog, "%s: %.*s", driver, int(end - start), text.data() + start);
        start = end + 1;
    }
}

namespace {

#if KW_HAVE_JACK
// Called on the JACK library's threads too; the log is thread-safe.
void jackSays(const char* text) { logDriverText("JACK", text ? text : ""); }
#endif

#if KW_HAVE_ALSA
void alsaSays(const char* file, int line, const char* function, int err, const char* fmt, ...)
{
    char text[512];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    std::string s = std::string(file ? file : "?") + ":" + std::to_string(line) + ":(" + (function ? function : "?")
                    + ") " + text;
    if (err != 0)
        s += std::string(": ") + snd_strerror(err);
    logDriverText("ALSA", s);
}
#endif

} // namespace

void routeDriverMessages()
{
    static std::once_flag once;
    std::call_once(once, [] {
#if KW_HAVE_JACK
        jack_set_error_function(&jackSays);
        jack_set_info_function(&jackSays);
#endif
#if KW_HAVE_ALSA
        snd_lib_error_set_handler(&alsaSays);
#endif
    });
}

CerrToLog::CerrToLog(const char* driver) : driver_(driver), old_(std::cerr.rdbuf(captured_.rdbuf())) {}

CerrToLog::~CerrToLog()
{
    std::cerr.rdbuf(old_);
    logDriverText(driver_, captured_.str());
}

} // namespace kw
