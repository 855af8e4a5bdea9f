#pragma once
// What the edit session and the commands say when the synth cannot be
// reached or is busy: one wording wherever it is said.

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

// Why a command that needs the synth cannot run, or empty when it can: no
// device chosen at all (kNoDeviceChosenText, as the status line says), or
// the chosen output (and, for a fetch, input) not open.
std::string noSynthText(const Settings& settings, bool outputOpen, bool inputOpen, bool fetches);

} // namespace kw
