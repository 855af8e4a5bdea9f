#pragma once
// One row per edited parameter: where it lives, the control that edits it,
// and the three small rules between control position, stored byte and label.
// Handlers, refreshes and knob following all read the same row.

#include "model/Block.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kw {

// Position -> stored byte (and back).
enum class Encoding : uint8_t {
    Inverted127,   // stored = 127 - position
    Inverted128,   // stored = 128 - position
    Inverted64,    // stored = 64 - position (note shift)
    Direct,        // stored = position (horizontal bars, lists)
    CheckBox,      // stored = onValue when checked, else 0; refresh: checked when stored != 0
    Radio,         // one button of a radio group: stored = onValue when clicked;
                   // refresh: checked when stored == onValue
    Special,       // handled by its own functions next to the table (detune, pan
                   // random, name, bank, tempo, mode byte, effect pairs, variation pairs)
};

// Position -> label text.
enum class LabelRule : uint8_t {
    None,
    Number127,     // 127 - position
    Number63,      // 63 - position
    Number64,      // 64 - position
    Stored,        // the stored byte (= position for Direct)
    StoredMinus64, // stored - 64
    Shift,         // "±0", "+n", "-n"
    Detune,        // "±0 Hz", "+0.5 Hz", "-12.8 Hz" (decimal separator of the user's locale)
    Pan,           // "CTR", "L-n", "R-n"
    NoteName,      // note name table
    ItemText,      // the list entry's text (labelText() returns "" for these)
    Tempo,         // BPM of the arpeggiator tempo bar: 280 - position
};

// How an edit reaches the synth.
enum class SendKind : uint8_t {
    LayerParam,    // layer fan-out of one parameter change
    LayerBulk,     // the edit layer's block(s) as bulk dumps (detune, bank)
    Param,         // one-byte parameter change to the field's address
    Param2,        // two-byte change to the pair's first address (offset + pairDelta)
    Bulk,          // the whole block as a bulk dump
    None,
};

struct FieldRow {
    const char* control;     // objectName of the control
    BlockKind block;         // Common00/30/50, or Layer1 meaning "a layer block"
    uint8_t offset;          // data offset in the block (tab 0 for the assign banks)
    int min, max;            // control range
    Encoding encoding;
    LabelRule label;
    SendKind send;
    uint8_t defaultValue;    // start-up byte at `offset` (tab 0 for the assign banks)
    uint8_t onValue = 1;     // CheckBox: value when checked; Radio: the button's value
    int8_t pairDelta = 0;    // Param2: the pair starts at offset + pairDelta
    uint8_t tabStride = 0;   // assign banks: field of tab t is at offset + t * tabStride

    bool isLayer() const { return block == BlockKind::Layer1; }
    // Data offset of the field for assign-bank tab `tab` (0..3); other rows ignore it.
    uint8_t offsetFor(int tab = 0) const { return uint8_t(offset + tab * tabStride); }
    // Parameter address low byte of the field (block address low + offset).
    uint8_t addressLow(int tab = 0) const;
    // Offset of the first byte of the two-byte pair that carries this field.
    uint8_t pairOffset(int tab = 0) const { return uint8_t(offsetFor(tab) + pairDelta); }

    // Only meaningful for the track-bar, list, check-box and radio encodings;
    // Special rows go through their own functions below. A position outside
    // [min, max] is clamped first, as the control would never report it.
    uint8_t storedFromPosition(int position) const;
    // Inverse of storedFromPosition, clamped to [min, max] as the control would.
    // CheckBox: 1 when checked, 0 when not. Radio: 1 when this button is checked.
    int positionFromStored(uint8_t stored) const;
    // Label text for a position; `decimalSeparator` only matters for Detune.
    // ItemText and None give "" (lists show their own item).
    std::string labelText(int position, std::string_view decimalSeparator = ".") const;
    std::string labelText(int position, char decimalSeparator) const
    {
        return labelText(position, std::string_view(&decimalSeparator, 1));
    }
};

const std::vector<FieldRow>& layerFieldTable();
const std::vector<FieldRow>& commonFieldTable();
// nullptr when no row has that control name (layer rows first, then common).
const FieldRow* findField(std::string_view control);

// Odd fields with their own rules.
namespace detune {
// Position -127..128 <-> the two nibbles at 0x05/0x06 (d = 128 - position).
inline constexpr uint8_t kHighOffset = 0x05, kLowOffset = 0x06;
std::pair<uint8_t, uint8_t> nibbles(int position);
// 128 - (16 * high + low), clamped to -127..128 as the track bar would.
int position(uint8_t high, uint8_t low);
std::string label(int position, char decimalSeparator = '.');
// For locales whose decimal separator is not one byte (UTF-8 text).
std::string label(int position, std::string_view decimalSeparator);
} // namespace detune

namespace pan {
inline constexpr uint8_t kOffset = 0x0A;
inline constexpr uint8_t kRandom = 0;
inline constexpr int kCentre = 64;
// 1..127 left to right: "L-63" .. "CTR" .. "R-63".
std::string label(int position);
// Refresh: random (stored 0) puts the bar at the centre and checks RandomPan.
struct View { int position; bool random; };
View fromStored(uint8_t stored);
} // namespace pan

std::string shiftLabel(int position);

namespace tempo {
// Arpeggiator tempo at 0x29/0x2A: value 0 follows MIDI clock, 1..201 is 40..240 BPM.
inline constexpr uint8_t kHighOffset = 0x29, kLowOffset = 0x2A;
inline constexpr int kMinPosition = 40, kMaxPosition = 240;
int valueFromPosition(int position);          // 241 - position (position clamped)
std::pair<uint8_t, uint8_t> bytes(int value); // (value > 127, value & 0x7F)
int value(uint8_t high, uint8_t low);         // 128 * high + low
// Refresh: MIDI clock (value 0) shows the bar at 140; otherwise clamped 241 - value.
struct View { int position; bool midiClock; std::string label; };
View fromStored(uint8_t high, uint8_t low);
} // namespace tempo

namespace arpMode {
// Mode byte at 0x2D: bit 0 on, bit 1 hold, bit 2 set when split is off.
inline constexpr uint8_t kOffset = 0x2D;
// "On" wins over "Hold"; the result is what the boxes then show.
struct Boxes { bool on; bool hold; bool split; };
uint8_t byteFromBoxes(Boxes b);
Boxes boxesFromByte(uint8_t byte);
// The boxes after a click: On clears Hold, Hold is refused while On is checked.
Boxes normalised(Boxes b);
} // namespace arpMode

namespace perfName {
inline constexpr uint8_t kOffset = 0x00;
inline constexpr size_t kLength = 8;
// The edit text (Windows-1252 bytes) cut to 8 and padded with blanks.
std::array<uint8_t, kLength> bytes(std::string_view text);
// What the synth can show of a name: printable ASCII.
inline bool storable(char32_t c) { return c >= 0x20 && c <= 0x7E; }
// Whether `utf8` is a name the synth can hold as it is: at most 8
// characters, every one of them storable. A longer one would be cut on
// export, and two names could become one.
bool fits(std::string_view utf8);
} // namespace perfName

namespace assignBank {
// Assign banks 1..4 (tab t = 0..3): layer/parameter pair at 0x1C + 2t, level at 0x24 + t.
inline constexpr int kBanks = 4;
inline uint8_t layerOffset(int tab) { return uint8_t(0x1C + 2 * tab); }
inline uint8_t paraOffset(int tab) { return uint8_t(0x1D + 2 * tab); }
inline uint8_t levelOffset(int tab) { return uint8_t(0x24 + tab); }
} // namespace assignBank

// Two-byte pairs of common block 30: effect types and variation parameters.
namespace effectPair {
// Data offsets (in common block 30) of the MSB of each pair.
inline constexpr uint8_t kReverbType = 0x00, kChorusType = 0x02, kVariType = 0x04;
// VPara1..VPara5 at 0x06..0x0E, VPara10 at 0x10; -1 for any other parameter number.
int variationParaOffset(int para);
// A 14-bit variation value split into its high and low seven bits, and back.
std::pair<uint8_t, uint8_t> split14(int value);
int join14(uint8_t high, uint8_t low);
} // namespace effectPair

} // namespace kw
