#pragma once
// The verdict on a file of performances as a librarian needs it: what kind
// of file it is, every record in it and what is wrong with each. Stricter
// than the editor's readers, which take any 317 bytes as a performance and
// place whatever a bank holds: a tool that builds banks must not take a
// fragment of another file for a performance.

#include "files/FileError.h"
#include "files/PerformanceRecord.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kw {

enum class FileKind { Performance, Bank };

struct CheckedRecord {
    PerformanceRecord record;
    RecordFaults faults;
};

struct CheckedFile {
    FileKind kind = FileKind::Performance;
    std::vector<CheckedRecord> records;  // file order
    // Numbers a bank holds more than once, e.g.
    // "record 61 appears twice; the later one wins".
    std::vector<std::string> notes;

    size_t damaged() const;
};

// A file that opens with the bank's magic text is a bank and must hold whole
// records, kBankMaxRecords at most; any other file must be exactly one
// record. The error kinds: NotAPerformanceFile (neither; the reason is the
// size), WrongFilesize (the reason says where the bank breaks off),
// TooManyRecords; the path is left empty.
Result<CheckedFile> checkFileBytes(ByteView bytes);
// The same for a file on disk; a file too large for any bank is judged by
// its size and first bytes without being read. CannotOpen when it cannot
// be read.
Result<CheckedFile> checkFile(const std::filesystem::path& path);
// The verdict from the size and the first bytes alone, for input whose end
// is not known yet: what checkFileBytes() would refuse a file of `size`
// bytes for, or nothing.
std::optional<FileError> checkFileSize(ByteView head, uint64_t size);

// An error in the words of a command line, after "PROGRAM: PATH: ":
// "cannot read: No such file or directory", "cannot write: File too
// large", "too many records (65,536 at most)" (the editor's boxes keep their
// own texts, FileError::text()).
std::string plainText(const FileError& e);

// "31,490".
std::string groupedNumber(uint64_t n);

// Windows-1252 text from a file of unknown origin (a name, an abbreviation)
// as UTF-8 that cannot steer a terminal: control characters become '?'.
std::string printable(std::string_view cp1252);

} // namespace kw
