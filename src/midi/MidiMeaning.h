#pragma once
// What a MIDI message means, in plain words, for the MIDI monitor: the
// CS1x's parameter changes by the names of the field table, its bulk dumps
// and requests by block and performance, the identity messages, and channel
// and system messages as a player says them.

#include "model/Block.h"

#include <cstdint>
#include <string>

namespace kw {

// The monitor's filter groups.
enum class MessageKind : uint8_t {
    SysEx,       // F0 ... F7
    Note,        // note on and off, key pressure
    Controller,  // controllers, program changes, channel pressure, pitch bend
    Other,       // system common and real-time
};

// Looks at the status byte only: cheap enough for every message.
MessageKind messageKind(ByteView message);

// "Parameter change layer 2 Filter Cutoff = 64", "Bulk dump user common 00
// of 005", "XG part 5 Reverb Send = 40", "Identity reply CS1x", "Note on ch 1 C3 velocity 100",
// "Controller ch 1 Cutoff (74) = 64".
std::string messageMeaning(ByteView message);

// "FilterCutoff" -> "Filter Cutoff", "AEGAtkTime" -> "AEG Atk Time".
std::string spacedName(const char* control);

} // namespace kw
