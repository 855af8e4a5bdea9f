#pragma once
// What went wrong with a file, in the words the user sees, plus the file and
// the system's reason so that a message box can name both.

#include "model/Result.h"

#include <filesystem>
#include <optional>
#include <string>
#include <utility>

namespace kw {

enum class FileErrorKind {
    CannotOpen,           // missing, no permission, or a read that failed after opening
    NotAPerformanceFile,  // a performance file of any size but 317 bytes
    WrongFilesize,        // a bank whose records do not fill whole 317-byte units
    TooManyRecords,       // a bank of whole records, more than any reader takes
    NotABank,             // a bank shorter than its magic text or with another text
    CannotSave,           // could not be created, written or put in place
    DamagedMidiFile,      // a Standard MIDI File that cannot be read to its end
};

struct FileError {
    FileErrorKind kind;
    std::filesystem::path path;
    std::string reason;  // from the system ("Permission denied"); may be empty

    // The fixed words of this kind, e.g. "Load-Error : Wrong filesize".
    std::string text() const;
    // text(), then the file and the reason on a line of their own.
    std::string message() const;
};

// Either a value or the error that prevented it.
template <class T>
using Result = BasicResult<T, FileError>;

// Writers answer nothing on success.
using SaveError = std::optional<FileError>;

// The system's text for errno `err`.
std::string systemReason(int err);

} // namespace kw
