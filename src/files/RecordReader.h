#pragma once
// Every performance a file holds, whatever kind of file holds it, with what
// is wrong with each: the reader of imports. Performance files and banks go
// through the files tool's verdict (checkFileBytes()); SysEx files of other
// lengths and Standard MIDI Files are read as streams of bulk dumps, where a
// performance is its seven blocks addressed to one user performance, or the
// seven blocks of an edit-buffer dump.

#include "files/FileCheck.h"

#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace kw {

enum class RecordSource { PerformanceFile, Bank, SysexStream, MidiFile };

struct FoundRecord {
    // In user form; an edit-buffer dump is addressed to user performance 1.
    PerformanceRecord record;
    // Empty for a sound record; else what is wrong, naming the record:
    // "record 6 (SQ Pan Seq): bad checksum in message 3",
    // "damaged performance: bad checksum in message 3".
    std::string damage;
};

struct FileRecords {
    RecordSource kind = RecordSource::PerformanceFile;
    std::vector<FoundRecord> records;  // file order
    // Damage that left no record behind, e.g. "dump of performance 6 (SQ
    // Pan Seq): messages 4-7 missing".
    std::vector<std::string> problems;

    size_t damaged() const;
};

// Bulk dumps among any other messages, assembled into performances. A block
// that comes again before its performance is complete, or a first block,
// ends the performance it would have joined; what is incomplete at the end
// is a problem.
FileRecords recordsFromMessages(std::span<const Bytes> messages);

// By content, not by name: a bank (its magic text), a MIDI file ("MThd", or
// RIFF "RMID"), a performance file (317 bytes), a stream of SysEx messages
// (anything else that opens with F0). Anything else is NotAPerformanceFile
// with its size as the reason; a damaged MIDI file is DamagedMidiFile.
Result<FileRecords> recordsFromBytes(ByteView bytes);
// The same for a file; a file too large for any of these kinds is refused by
// its size and first bytes without being read.
Result<FileRecords> readRecords(const std::filesystem::path& path);

// The extensions whose files an import of a folder reads (.SYX, .PFB, .MID,
// .MIDI, .SMF, .RMI, in any letter case).
bool hasRecordExtension(const std::filesystem::path& path);

} // namespace kw
