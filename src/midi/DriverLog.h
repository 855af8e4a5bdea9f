#pragma once
// The MIDI drivers' libraries print to the terminal on their own: libjack a
// handful of lines ("Cannot connect to server socket ...") for every client
// it fails to open, ALSA's library a line when there is no sequencer, RtMidi
// a paragraph when an API does not start. Their words go to the log category
// "knobwright.driver" instead, off unless asked for:
//
//     QT_LOGGING_RULES="knobwright.driver=true" knobwright
//
// What matters to the user the program says itself, in its own words.

#include <QLoggingCategory>

#include <sstream>
#include <string>

namespace kw {

Q_DECLARE_LOGGING_CATEGORY(driverLog)

// Sets the libraries' printers. Call before the first driver is asked;
// calling again does nothing.
void routeDriverMessages();
// A driver's own words, one log line for each of their lines.
void logDriverText(const char* driver, const std::string& text);

// While it lives, what is written to std::cerr goes to the log: RtMidi
// writes there when an API does not start, before an error callback can be
// set. For the UI thread only, around such calls.
class CerrToLog {
public:
    explicit CerrToLog(const char* driver);
    ~CerrToLog();
    CerrToLog(const CerrToLog&) = delete;
    CerrToLog& operator=(const CerrToLog&) = delete;

private:
    const char* driver_;
    std::ostringstream captured_;
    std::streambuf* old_;
};

} // namespace kw
