#pragma once
// What a MIDI message means, in plain words, for the MIDI monitor: the
// CS1x's parameter changes by the names of the field table, its bulk dumps
// and requests by block and performance, the identity messages, and channel
// and system messages as a player says them.

#include "model/Block.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kw {

class BlockSet;

// The monitor's filter groups.
enum class MessageKind : uint8_t {
    SysEx,       // F0 ... F7
    Note,        // note on and off, key pressure
    Controller,  // controllers, program changes, channel pressure, pitch bend
    Other,       // system common and real-time
};

// Looks at the status byte only: cheap enough for every message.
MessageKind messageKind(ByteView message);

// What a parameter change's value reads as, beyond the message: a voice is
// named by the bank of its layer, a variation parameter by the variation
// type; the user's decimal separator goes into the values that have one.
struct MeaningContext {
    int bankRow = -1;        // row of the bank table the message's layer is in; -1: not known
    int variationType = -1;  // entry of the variation types; -1: not known
    std::string_view decimalSeparator = ".";
};

// Whether the meaning of `message` depends on the performance: a look at
// its first bytes, cheap enough for every message.
bool needsContext(ByteView message);
// The bank and variation type that `message` is read with, as the edit
// buffer's image `edit` holds them now.
MeaningContext meaningContext(ByteView message, const BlockSet& edit);

// "Parameter change layer 2 Filter Cutoff -34" (the value as the control
// shows it: the label of a bar, the entry of a list, "on" or "off" for a
// check box, the button of a radio group), "Bulk dump common 00 of user
// performance 005", "XG part 5 Reverb Send = 40", "Identity reply CS1x", "Note on ch 1 C3 velocity 100",
// "Controller ch 1 Cutoff (74) = 64". A parameter whose value has no text of
// its own (a byte no entry or button stands for, half of a pair) shows the
// bytes: "Parameter change common Reverb Type, second byte = 64".
std::string messageMeaning(ByteView message, const MeaningContext& context = {});

// "FilterCutoff" -> "Filter Cutoff", "AEGAtkTime" -> "AEG Atk Time".
std::string spacedName(const char* control);

} // namespace kw
