#pragma once
// The synth's 128 user memories as the library knows them: for each, the
// entry the editor last knew there, how it knew it and when, and how far
// that still holds. What the editor read or wrote since it last found the
// synth holds, as far as anything on the MIDI cable can tell; what the
// library remembers from before may have changed since (the synth was
// switched off, a store on its panel); a memory never seen is unknown.

#include "session/library/SynthMemory.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kw {

class Store;

struct MemoryRow {
    enum class State { Unknown, Confirmed, MayHaveChanged };
    int number = 0;      // 0..127
    State state = State::Unknown;
    int64_t id = 0;      // the library's entry; 0 when the library lacks it
    std::string entry;   // "SQ Pan Seq" (the library's name where it has one)
    std::string how;     // "Fetched", "Backed up", "Sent", "Stored", "Seen"
    int64_t when = 0;    // seconds since 1970; 0 for an unknown memory
    // "Fetched 2026-12-10 14:03", "May have changed since 2026-12-09 18:40",
    // "Unknown".
    std::string standing;
};

// The 128 rows, in order. `store` may be null (the library cannot be opened):
// then only what the editor saw since it found the synth is known.
std::vector<MemoryRow> memoryRows(const SynthMemory& memory, Store* store);

const char* howText(SynthMemory::How how);

} // namespace kw
