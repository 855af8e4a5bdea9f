#pragma once
// knobwright-files: the command-line tool for sound libraries, on the same
// format code as the editor.

#include <iosfwd>
#include <string>
#include <vector>

namespace kw {

// Runs one command line (without the program name) and answers the exit
// status: 0 done, 1 a fault found (info) or no such performance (extract),
// 2 a file unreadable, invalid or not written, or a wrong command line.
int runFilesTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace kw
