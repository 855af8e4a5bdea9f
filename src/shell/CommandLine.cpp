#include "shell/CommandLine.h"

#include <cstring>
#include <set>

#ifndef KW_VERSION
#define KW_VERSION "unknown"
#endif

namespace kw {

namespace {

constexpr const char* kUsage =
    "Usage: knobwright [OPTION]...\n"
    "An editor and librarian for the Yamaha CS1x synthesizer: every parameter of the\n"
    "performance being played, the 128 user performances, performance files (.SYX)\n"
    "and banks (.PFB).\n"
    "\n"
    "  -h, --help     show this text and end\n"
    "  -v, --version  show the version and end\n"
    "\n"
    "Qt's standard options work too, among them -platform NAME, -style NAME,\n"
    "-reverse and -qwindowgeometry WxH+X+Y.\n"
    "\n"
    "The MIDI ports are chosen in File > Preferences. The settings live in\n"
    "~/.config/Orsk Inc./Knobwright.conf. What the JACK and ALSA libraries say\n"
    "goes to the log, which is quiet unless asked:\n"
    "  QT_LOGGING_RULES=\"knobwright.driver=true\" knobwright\n"
    "\n"
    "See also: knobwright-sim(1), knobwright-files(1).\n";

// Qt's options that take the next argument as their value: that value is
// never one of ours, even when it reads "--help".
bool takesValue(const char* arg)
{
    static const std::set<std::string> withValue = {
        "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "geometry", "qwindowtitle",
        "title", "qwindowicon", "icon", "display", "name", "style", "stylesheet", "session", "qwindowscreen"};
    if (arg[0] != '-')
        return false;
    const char* name = arg[1] == '-' ? arg + 2 : arg + 1;
    return withValue.count(name) != 0;
}

bool isHelp(const char* a)
{
    return std::strcmp(a, "-h") == 0 || std::strcmp(a, "--help") == 0 || std::strcmp(a, "-?") == 0
           || std::strcmp(a, "-help") == 0;
}

bool isVersion(const char* a)
{
    return std::strcmp(a, "-v") == 0 || std::strcmp(a, "--version") == 0;
}

} // namespace

std::optional<CommandLineAnswer> answerBeforeStart(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--") == 0)
            break;
        if (isHelp(a))
            return CommandLineAnswer{0, kUsage, {}};
        if (isVersion(a))
            return CommandLineAnswer{0, std::string("knobwright ") + KW_VERSION + "\n", {}};
        if (takesValue(a))
            ++i;
    }
    return std::nullopt;
}

std::optional<CommandLineAnswer> refuseLeftovers(const QStringList& arguments)
{
    QString first;
    for (qsizetype i = 1; i < arguments.size() && first.isEmpty(); ++i)
        if (arguments.at(i) != QLatin1String("--"))
            first = arguments.at(i);
    if (first.isEmpty())
        return std::nullopt;
    const std::string what = first.startsWith(QLatin1Char('-')) ? "unknown option" : "unexpected argument";
    return CommandLineAnswer{2, {},
                             "knobwright: " + what + " '" + first.toStdString()
                                 + "'\nTry 'knobwright --help' for the options.\n"};
}

} // namespace kw
