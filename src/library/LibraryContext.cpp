#include "library/LibraryContext.h"

#include "files/FilePaths.h"
#include "files/PerformanceFile.h"
#include "library/Dialogs.h"
#include "library/EditSession.h"
#include "midi/Receiver.h"
#include "midi/Senders.h"
#include "model/Settings.h"

namespace kw {

Senders& LibraryContext::senders() { return session.senders(); }

UserPerfNames& LibraryContext::names() { return session.userPerfs(); }

bool LibraryContext::outputOpen() { return senders().portOpen(); }

bool LibraryContext::bothPortsOpen() { return outputOpen() && inputOpen && inputOpen(); }

bool LibraryContext::needOutput()
{
    if (outputOpen())
        return true;
    dialogs.inform(kNoOutputText);
    return false;
}

bool LibraryContext::refuseWhileBusy()
{
    if (!rx.chainRunning())
        return false;
    rx.status(kTransferRunningText);
    return true;
}

void LibraryContext::reportFileError(const FileError& e)
{
    dialogs.inform(e.message());
}

std::optional<PerformanceRecord> LibraryContext::openPerformanceFile()
{
    const auto chosen = dialogs.chooseOpenFile("Select User-Performance file", kSysExFilter, settings.lastDir);
    if (!chosen)
        return std::nullopt;
    auto record = readPerformanceFile(pathFromUtf8(*chosen));
    if (!record) {
        reportFileError(record.error());
        return std::nullopt;
    }
    rememberFolderOf(*chosen);
    // Any 317 bytes are taken, but a byte of 0x80 or more inside a SysEx
    // message would end it early on the synth.
    if (const int cut = record->clampDataTo7Bit())
        rx.report(clampedText(cut));
    return *record;
}

void LibraryContext::rememberFolderOf(const std::string& utf8Path)
{
    settings.lastDir = utf8FromPath(folderOf(pathFromUtf8(utf8Path)));
}

std::string clampedText(int bytes)
{
    return std::to_string(bytes) + (bytes == 1 ? " data byte" : " data bytes") + " above 127 cut to 7 bits";
}

} // namespace kw
