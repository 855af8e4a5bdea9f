#pragma once
// knobwright-files: the command-line tool for sound libraries, on the same
// format code as the editor.

#include <functional>
#include <iosfwd>
#include <map>
#include <string>
#include <vector>

namespace kw {

// A command of the tool that lives in a layer above files/ (the library's
// commands, on the store): what it is given and the tool's ways of saying
// things, so its messages and exit statuses are the other commands'.
struct ToolCall {
    std::vector<std::string> args;  // after the command's name
    bool force = false;
    std::string library;  // --library FILE, or empty
    bool json = false;    // --json: what is printed, as JSON
    std::istream& in;
    std::ostream& out;
    std::ostream& err;

    // "knobwright-files: WHAT" and the hint to --help; answers 2.
    int usageError(const std::string& what) const;
    // "knobwright-files: SHOWN: WHAT" on standard error, after standard
    // output is flushed.
    void report(const std::string& shown, const std::string& what) const;
};
using ToolCommand = std::function<int(const ToolCall&)>;

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
// With commands of other layers, by name (the program's main() adds the
// library's).
int runFilesTool(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err,
                 const std::map<std::string, ToolCommand>& more);

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
