#include "session/CommandContext.h"

#include "files/FilePaths.h"
#include "files/LocalTime.h"
#include "files/PerformanceFile.h"
#include "midi/Receiver.h"
#include "midi/Senders.h"
#include "midi/SynthLink.h"
#include "midi/Ui.h"
#include "model/Settings.h"
#include "session/Dialogs.h"
#include "session/EditSession.h"
#include "session/library/LibraryKeeper.h"

#include <ctime>

namespace kw {

Senders& CommandContext::senders() { return session.senders(); }

UserPerfNames& CommandContext::names() { return session.userPerfs(); }

bool CommandContext::outputOpen() { return senders().portOpen(); }

bool CommandContext::bothPortsOpen() { return outputOpen() && inputOpen && inputOpen(); }

bool CommandContext::needOutput()
{
    const std::string why = noSynthText(settings, outputOpen(), false, false);
    if (!why.empty())
        dialogs.inform(why);
    return why.empty();
}

bool CommandContext::needBothPorts()
{
    const std::string why = noSynthText(settings, outputOpen(), inputOpen && inputOpen(), true);
    if (!why.empty())
        dialogs.inform(why);
    return why.empty();
}

bool CommandContext::refuseWhileBusy()
{
    if (!rx.chainRunning() && !readingBank)
        return false;
    rx.status(kTransferRunningText);
    return true;
}

namespace {

// Records a slice reads: a third of a megabyte, well under a frame's time.
constexpr size_t kRecordsPerSlice = 1024;

} // namespace

struct CommandContext::BankRead {
    std::filesystem::path path;
    BankReader reader;
    std::function<void(Result<BankContents>)> done;
};

void CommandContext::readBankInSlices(const std::filesystem::path& path, std::function<void(Result<BankContents>)> done)
{
    auto reader = BankReader::open(path);
    if (!reader) {
        done(reader.error());
        return;
    }
    readingBank = true;
    rx.ui().setBusy(true);
    auto read = std::make_shared<BankRead>(BankRead{path, std::move(*reader), std::move(done)});
    rx.scheduler().after(0, [this, read] { readSlice(read); });
}

void CommandContext::readSlice(const std::shared_ptr<BankRead>& read)
{
    auto end = read->reader.readSome(kRecordsPerSlice);
    if (end && !*end) {
        rx.scheduler().after(0, [this, read] { readSlice(read); });
        return;
    }
    readingBank = false;
    if (!rx.chainRunning())
        rx.ui().setBusy(false);
    if (!end) {
        read->done(end.error());
        return;
    }
    BankContents bank = read->reader.take();
    if (keeper)
        keeper->keepInSlices(bank.records, Source::file(read->path));
    read->done(std::move(bank));
}

void CommandContext::informList(const std::vector<std::string>& lines, const char* between)
{
    constexpr size_t kShown = 10;
    std::string shown, all;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i < kShown)
            shown += (i ? between : "") + lines[i];
        all += (i ? "\n" : "") + lines[i];
    }
    if (lines.size() <= kShown) {
        dialogs.inform(shown);
        return;
    }
    dialogs.inform(shown + between + "and " + groupedNumber(lines.size() - kShown) + " more", all);
}

void CommandContext::reportFileError(const FileError& e)
{
    dialogs.inform(e.message());
}

std::optional<PerformanceRecord> CommandContext::openPerformanceFile()
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
    if (keeper)
        keeper->keep(*record, Source::file(pathFromUtf8(*chosen)));
    // Any 317 bytes are taken, but a byte of 0x80 or more inside a SysEx
    // message would end it early on the synth.
    if (const int cut = record->clampDataTo7Bit())
        rx.report(clampedText(cut));
    return *record;
}

void CommandContext::rememberFolderOf(const std::string& utf8Path)
{
    settings.lastDir = utf8FromPath(folderOf(pathFromUtf8(utf8Path)));
}

std::string CommandContext::localDate()
{
    return localTimeText(std::time(nullptr), "%Y-%m-%d");
}

std::string CommandContext::proposedBankName(const char* stem) const
{
    if (!lastBankName.empty())
        return lastBankName;
    return std::string(stem) + " " + today() + std::string(kBankExtension);
}

std::string clampedText(int bytes)
{
    return std::to_string(bytes) + (bytes == 1 ? " data byte" : " data bytes") + " above 127 cut to 7 bits";
}

} // namespace kw
