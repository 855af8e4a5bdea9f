#pragma once
// What the command line asks of the program before it starts. --help and
// --version are answered without a window, without a display and without
// reading or writing the settings; Qt's own options (-platform, -style,
// -reverse, ...) are left to Qt.

#include <QStringList>

#include <optional>
#include <string>

namespace kw {

struct CommandLineAnswer {
    int exitCode = 0;
    std::string out;  // for standard output
    std::string err;  // for standard error
};

// Looks at the arguments as main() gets them, before Qt has taken its own:
// an answer when the program must print it and end instead of starting.
std::optional<CommandLineAnswer> answerBeforeStart(int argc, const char* const* argv);
// The arguments Qt has left (the program's name first): anything there is
// no option of ours, and the program ends with an error instead of starting.
std::optional<CommandLineAnswer> refuseLeftovers(const QStringList& arguments);

} // namespace kw
