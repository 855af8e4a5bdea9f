#pragma once
// The eleven values the editor keeps between runs.

#include <optional>
#include <string>

namespace kw {

struct Settings {
    std::string midiIn;
    std::string midiOut;
    std::string lastDir;
    std::string perfBankDir;
    std::string aktPerfList;
    bool showHints = true;
    bool longDelay = true;
    bool synthKnobs = true;
    bool programChanges = true;
    // Once the synth answers on ports just opened, the editor shows what it
    // holds: its edit buffer is fetched.
    bool fetchWhenFound = true;
    // Every performance that passes through (fetched, backed up, opened,
    // loaded, sent) is kept in the performance library, and the list's
    // names survive a restart.
    bool keepInLibrary = true;

    // Pause between two messages of a transfer or request chain, in ms.
    int transferPause() const { return longDelay ? 100 : 10; }
};

// Value names, in the order they are read and written.
inline constexpr const char* kTextSettingNames[] = {"Midi-IN", "Midi-OUT", "Last-Dir", "PerfBank-Dir", "AktPerfList"};
inline constexpr const char* kFlagSettingNames[] = {"ShowHints", "LongDelay", "SynthKnobs", "ProgramChanges",
                                                    "FetchWhenFound", "KeepInLibrary"};

// A stored flag text as an integer: decimal with optional sign, or hexadecimal
// after "0x"/"0X"; nothing else, so "yes" or "" is not a number.
std::optional<long long> parseSettingInteger(const std::string& text);
// Non-zero is on; a text that is no number leaves the default (on).
bool flagFromText(const std::optional<std::string>& text);

} // namespace kw
