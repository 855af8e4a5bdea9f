#pragma once
// What the edit session and the commands say when the synth cannot be
// reached or is busy, and what undo, redo and compare did: one wording
// wherever it is said.

#include <string>

namespace kw {

struct Settings;

// What a command that moves data to or from the synth says while a transfer
// that leaves the window usable is still running.
inline constexpr const char* kTransferRunningText = "Transfer running - please wait";
// What a command that sends to the synth says when it cannot.
inline constexpr const char* kNoOutputText =
    "No MIDI output is open, so nothing was sent.\nChoose the synth's MIDI port in File › Preferences.";
// What a command that fetches from the synth says when its output is open
// but its input is not.
inline constexpr const char* kNoInputText =
    "No MIDI input is open, so the synth cannot answer.\nChoose the synth's MIDI port in File › Preferences.";

// Compare switched to the performance the edit started from: the one the
// editor started with, the one last fetched from the synth, or the one last
// opened from a file or the library.
inline constexpr const char* kComparingStartText = "Comparing with the performance the editor started with";
inline constexpr const char* kComparingFetchedText = "Comparing with the performance as fetched";
inline constexpr const char* kComparingLoadedText = "Comparing with the performance as loaded";
// Compare pressed again: the edit sounds again.
inline constexpr const char* kBackToEditText = "Back to the edited performance";
// What an undo or a redo changed, by the name of its step ("Filter Cutoff
// (Layer 2)").
inline std::string undoneText(const std::string& step) { return "Undone: " + step; }
inline std::string redoneText(const std::string& step) { return "Redone: " + step; }

// Why a command that needs the synth cannot run, or empty when it can: no
// device chosen at all (kNoDeviceChosenText, as the status line says), or
// the chosen output (and, for a fetch, input) not open.
std::string noSynthText(const Settings& settings, bool outputOpen, bool inputOpen, bool fetches);

} // namespace kw
