#pragma once
// The arpeggiator fields of common block 00: pattern and subdivision lists,
// the tempo pair and the mode byte.

#include <array>
#include <cstdint>
#include <utility>

namespace kw::arp {

inline constexpr uint8_t kTempoHighOffset = 0x29;  // pair 0x29/0x2A travels as one change
inline constexpr uint8_t kTempoLowOffset = 0x2A;
inline constexpr uint8_t kTypeOffset = 0x2B;
inline constexpr uint8_t kSubdivOffset = 0x2C;
inline constexpr uint8_t kModeOffset = 0x2D;

inline constexpr int kTypes = 30;
inline constexpr int kSubdivs = 10;
const std::array<const char*, kTypes>& typeItems();      // `ArpeggioType`
const std::array<const char*, kSubdivs>& subdivItems();  // `ArpeggioSubdiv`

// Tempo bar 40..240 with the fastest tempo at the top.
inline constexpr int kTempoMinPosition = 40;
inline constexpr int kTempoMaxPosition = 240;
// Where the bar rests while the tempo follows MIDI clock (and what its label says).
inline constexpr int kMidiClockPosition = 140;
// Tempo value 0 follows MIDI clock; 1..201 is 40..240 BPM.
inline constexpr int kMidiClock = 0;
inline constexpr int kBpmOffset = 39;

// Position (clamped to the bar) -> tempo value 1..201.
int tempoValueFromPosition(int position);
inline int bpm(int tempoValue) { return tempoValue + kBpmOffset; }
// The stored pair: (1 when the value is above 127, value AND 0x7F).
std::pair<uint8_t, uint8_t> tempoBytes(int tempoValue);
int tempoValue(uint8_t high, uint8_t low);

// What the tempo controls show for a stored pair. A value beyond 240 BPM
// puts the bar at its top while the label tells the stored tempo.
struct TempoView {
    int position;
    bool midiClock;
    int bpm;
};
TempoView tempoView(uint8_t high, uint8_t low);

// Mode byte: bit 0 on, bit 1 hold, bit 2 set when split is OFF.
struct ModeBoxes {
    bool on = false;
    bool hold = false;
    bool split = true;
    bool operator==(const ModeBoxes&) const = default;
};
// After a click: "On" and "Hold" exclude each other and "On" wins.
ModeBoxes normalised(ModeBoxes b);
// Byte for the boxes as they stand after normalising; bits above 2 of an
// earlier byte are not carried over.
uint8_t modeByte(ModeBoxes b);
// What the boxes show for a stored byte (bits above 2 ignored).
ModeBoxes modeBoxes(uint8_t byte);

} // namespace kw::arp
