#pragma once
// knobwright-files: the command-line tool for sound libraries, on the same
// format code as the editor.

#include <iosfwd>
#include <string>
#include <vector>

namespace kw {

// Runs one command line (without the program name) and answers the exit
// status: 0 done, 1 a damaged record found (info, extract, unpack) or no
// such performance (extract), 2 a file unreadable, invalid or not written,
// damaged input pack was not forced to take, a wrong command line, or a
// stop by a signal. A FILE or OUT of "-" is `in` or `out`; a stream that
// fails ends the run with 2 (the caller that owns the stream says why). A
// stream whose reading throws (with exceptions(badbit) set) has its
// exception's text reported.
int runFilesTool(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err);
// Without standard input.
int runFilesTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// For the program's main(): SIGINT, SIGTERM and SIGHUP (unless ignored when
// the program started, as nohup leaves them) stop the tool at its next step
// instead of killing it: the file being written is dropped and named with
// the reason. SIGXFSZ is ignored, so a write beyond `ulimit -f` fails with
// "File too large" and is reported like any other.
void catchStopSignals();
// The signal that asked the tool to stop, or 0.
int stopSignal();
// "Interrupt", "Terminated", "Hangup".
std::string signalText(int signal);

} // namespace kw
