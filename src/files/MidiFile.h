#pragma once
// Standard MIDI Files as a librarian meets them: songs and dump files whose
// System Exclusive events hold performances. Only the SysEx events matter
// here; notes, controllers and meta events are read past.

#include "files/FileError.h"
#include "files/PerformanceRecord.h"

#include <span>
#include <string_view>
#include <vector>

namespace kw {

inline constexpr std::string_view kMidiExtension = ".MID";
// Far beyond a song with its performances (128 of them are about 41 KB);
// larger files are refused by their size instead of being read into memory.
inline constexpr uint64_t kMidiSizeLimit = 4u << 20;

// Every whole System Exclusive message (F0 ... F7) of a type 0, 1 or 2 file,
// or of such a file wrapped in a RIFF "RMID" chunk, in the order a player
// sends them: by time across the tracks of a type 0 or 1 file (track order
// for equal times), track after track in a type 2 file. A message may come
// as an F0 event and F7 continuation events; an F7 event that continues
// nothing but holds F0 ... is taken as a message too (some sequencers write
// them so), other escapes are skipped. A message left unfinished at the end
// of its track is dropped.
//
// Damage refuses the whole file (DamagedMidiFile, the reason in words, with
// the byte offset where it was found): no header, a format beyond 2, a
// track cut off or missing, an event that runs past its track, a delta time
// or length of more than four bytes, a data byte without a status, a status
// byte that has no place in a file (F1 ... FE but F7), a channel message
// whose data bytes hold a status.
//
// With `keep`, a message it says no to is dropped as soon as it is whole,
// so a file of countless empty or foreign messages costs no memory for them.
using SysexFilter = bool (*)(ByteView message);
Result<std::vector<Bytes>> readMidiSysex(ByteView file, SysexFilter keep = nullptr);

// A type 0 file of one track that sends each performance as its seven bulk
// dumps, addressed as the records are, with 100 ms before every dump after
// the first (the pause a CS1x needs to store a block, whatever the player).
Bytes midiFileBytes(std::span<const PerformanceRecord> records);

} // namespace kw
