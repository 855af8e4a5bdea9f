#pragma once
// One row per edited parameter: where it lives, the control that edits it,
// and the three small rules between control position, stored byte and label.
// Handlers, refreshes and knob following all read the same row.

#include "model/Block.h"

#include <string>
#include <string_view>
#include <vector>

namespace kw {

// Position -> stored byte (and back).
enum class Encoding : uint8_t {
    Inverted127,   // stored = 127 - position
    Inverted128,   // stored = 128 - position
    Inverted64,    // stored = 64 - position (note shift)
    Direct,        // stored = position (horizontal bars, lists, radio groups)
    CheckBox,      // stored = onValue when checked, else 0; refresh: checked when stored != 0
    Special,       // handled by its own functions next to the table (detune, pan,
                   // name, bank, tempo, mode byte, effect pairs, variation pairs)
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
    ItemText,      // the list entry's text
};

// How an edit reaches the synth.
enum class SendKind : uint8_t {
    LayerParam,    // layer fan-out of one parameter change
    LayerBulk,     // the edit layer's block(s) as bulk dumps (detune)
    Param,         // one-byte parameter change to the field's address
    Param2,        // two-byte change to the pair's first address
    Bulk,          // the whole common block as a bulk dump
    None,
};

struct FieldRow {
    const char* control;     // objectName of the control
    BlockKind block;         // Common00/30/50, or Layer1 meaning "a layer block"
    uint8_t offset;          // data offset in the block
    int min, max;            // control range
    Encoding encoding;
    LabelRule label;
    SendKind send;
    uint8_t defaultValue;
    uint8_t onValue = 1;     // CheckBox only

    // Parameter address of the field (layer L given for layer rows).
    uint8_t addressLow() const;
    uint8_t storedFromPosition(int position) const;
    // Inverse of storedFromPosition, clamped to [min, max] as the control would.
    int positionFromStored(uint8_t stored) const;
    // Label text for a position; `decimalSeparator` only matters for Detune.
    std::string labelText(int position, char decimalSeparator = '.') const;
};

const std::vector<FieldRow>& layerFieldTable();
const std::vector<FieldRow>& commonFieldTable();
// nullptr when no row has that control name.
const FieldRow* findField(std::string_view control);

// Odd fields with their own rules.
namespace detune {
// Position -127..128 <-> the two nibbles at 0x05/0x06.
std::pair<uint8_t, uint8_t> nibbles(int position);
int position(uint8_t high, uint8_t low);
std::string label(int position, char decimalSeparator = '.');
} // namespace detune
namespace pan {
// 0 means random; 1..127 left to right.
std::string label(int position);
} // namespace pan
std::string shiftLabel(int position);

} // namespace kw
