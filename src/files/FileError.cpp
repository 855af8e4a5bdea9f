#include "files/FileError.h"

#include "files/FilePaths.h"

#include <cstring>

namespace kw {

std::string FileError::text() const
{
    switch (kind) {
    case FileErrorKind::CannotOpen: return "Load-Error : Unable to open file";
    case FileErrorKind::NotAPerformanceFile: return "This is not a valid Performance-file!";
    case FileErrorKind::WrongFilesize:
    case FileErrorKind::TooManyRecords: return "Load-Error : Wrong filesize";
    case FileErrorKind::NotABank: return "Load-Error : Not a valid Performance-bank file";
    case FileErrorKind::CannotSave: return "Save-Error : Unable to save file";
    case FileErrorKind::DamagedMidiFile: return "Load-Error : Damaged MIDI file";
    }
    return {};
}

std::string FileError::message() const
{
    std::string m = text();
    if (!path.empty() || !reason.empty())
        m += '\n';
    m += utf8FromPath(path);
    if (!reason.empty())
        m += (path.empty() ? "" : ": ") + reason;
    return m;
}

std::string systemReason(int err)
{
    return std::strerror(err);
}

} // namespace kw
