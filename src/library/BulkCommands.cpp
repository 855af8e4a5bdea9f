#include "library/BulkCommands.h"

#include "files/BankFile.h"
#include "files/FilePaths.h"
#include "library/BankSend.h"
#include "library/Dialogs.h"
#include "library/EditSession.h"
#include "library/LibraryKeeper.h"
#include "library/ReplaceGuard.h"
#include "library/SendJob.h"
#include "library/Transfers.h"
#include "library/UserPerfNames.h"
#include "midi/Receiver.h"
#include "midi/Ui.h"
#include "model/Cp1252.h"
#include "model/Settings.h"

#include <algorithm>
#include <cctype>
#include <memory>

namespace kw {

namespace {

std::optional<int> chooseUserPerf(LibraryContext& lib, const char* caption, const char* button, int selected)
{
    UserPerfChoice c;
    c.caption = caption;
    c.buttonText = button;
    c.selected = selected;
    c.topIndex = std::max(0, selected);
    c.entries = lib.names().utf8Lines();
    return lib.dialogs.chooseUserPerf(c);
}

// "Stored to user performance 005".
std::string storedText(int dest)
{
    return "Stored to user performance " + entryNumber(dest);
}


std::string capitalized(std::string text)
{
    if (!text.empty())
        text[0] = char(std::toupper(static_cast<unsigned char>(text[0])));
    return text;
}

} // namespace

void BulkCommands::MenuBulkPerfNamesClick()
{
    if (lib_.refuseWhileBusy() || !lib_.needBothPorts())
        return;
    lib_.rx.startChain(std::make_unique<NamesRequest>(lib_.names(), lib_.dialogs));
}

void BulkCommands::MenuBulkSinglePerfSynthClick()
{
    if (lib_.refuseWhileBusy() || !lib_.needOutput())
        return;
    const auto record = lib_.openPerformanceFile();
    if (!record)
        return;
    const auto dest = chooseUserPerf(lib_, "Select dest. Perf", "Send", record->numberInRange());
    if (!dest)
        return;
    replaceUserPerformances(lib_, {*dest}, [this, record = *record, dest = *dest] { sendOne(record, dest); });
}

void BulkCommands::sendOne(const PerformanceRecord& record, int dest)
{
    auto job = std::make_unique<SendJob>();
    job->sendRecord(record, dest, false)
        .atEnd([dest, record, keeper = lib_.keeper](Receiver& rx, const SendJob::End& end) {
            if (!end.why.empty()) {
                rx.answer(capitalized(notSentText(dest, end.blocksOut, end.why)));
                return;
            }
            if (keeper)
                keeper->keep(record, Source::synthUser(dest));
            rx.report(storedText(dest));
        }, true);
    lib_.rx.startChain(std::move(job));
}

void BulkCommands::MenuBulkPerfBankSynthClick()
{
    if (lib_.refuseWhileBusy() || !lib_.needOutput())
        return;
    const auto chosen =
        lib_.dialogs.chooseOpenFile("Select Performance-bank file", kBankFilter, lib_.settings.perfBankDir);
    if (!chosen)
        return;
    lib_.readBankInSlices(pathFromUtf8(*chosen), [this](Result<BankContents> bank) { sendBank(std::move(bank)); });
}

void BulkCommands::sendBank(Result<BankContents> bank)
{
    if (!bank) {
        lib_.reportFileError(bank.error());
        return;
    }
    if (!bank->skipped.empty())
        lib_.informList(bank->skipped);
    const size_t count = bank->records.size();
    if (count > size_t(kUserPerformances)
        && !lib_.dialogs.confirm(kBankSendCaption, manyRecordsQuestion(count, lib_.settings.transferPause())))
        return;
    int cut = 0;
    for (PerformanceRecord& r : bank->records)
        cut += r.clampDataTo7Bit();
    if (cut > 0)
        lib_.rx.report(clampedText(cut));
    std::vector<int> numbers;
    for (const PerformanceRecord& r : bank->records)
        if (r.numberInRange() >= 0)
            numbers.push_back(r.numberInRange());
    auto records = std::make_shared<std::vector<PerformanceRecord>>(std::move(bank->records));
    replaceUserPerformances(lib_, std::move(numbers), [this, records] {
        lib_.rx.startChain(std::make_unique<BankSend>(std::move(*records), lib_.names(), lib_.dialogs));
    });
}

std::string manyRecordsQuestion(size_t records, int pauseMs)
{
    // Seven blocks a record, each followed by the pause, and 317 bytes on
    // a MIDI cable.
    const long long ms = (long long)(records) * (7LL * pauseMs + 317LL * 320 / 1000);
    const long long minutes = (ms + 59999) / 60000;
    std::string time = ms < 60000       ? std::to_string((ms + 999) / 1000) + " s"
                       : minutes < 60 ? std::to_string(minutes) + " min"
                                      : std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) + " min";
    return "This bank holds " + groupedNumber(records) + " performances, more than the synth's 128 (a later one "
           "replaces an earlier one of the same number).\nSending all of them takes about " + time + ". Send them?";
}

void BulkCommands::MenuBulkSinglePerfHDClick()
{
    if (lib_.refuseWhileBusy() || !lib_.needBothPorts())
        return;
    const auto pp = chooseUserPerf(lib_, "Select Dest", "Request", -1);
    // The ports may have gone while the user chose.
    if (!pp || !lib_.needBothPorts())
        return;
    const auto folder = lib_.dialogs.chooseFolder(lib_.settings.lastDir);
    if (!folder)
        return;
    lib_.settings.lastDir = *folder;
    lib_.rx.startChain(std::make_unique<ToDiskTransfer>(
        ToDiskTransfer::Output{pathFromUtf8(*folder), {}, lib_.keeper}, *pp, *pp, lib_.dialogs));
}

void BulkCommands::MenuBulkAllPerfHDClick()
{
    if (lib_.refuseWhileBusy() || !lib_.needBothPorts())
        return;
    const int format = lib_.dialogs.ask("Please select the format to store the received\nBulk-data on your harddisk",
                                        "Perf.-bank", "SysEx files");
    ToDiskTransfer::Output out;
    if (format == 1) {
        const auto chosen =
            lib_.dialogs.chooseSaveFile(kSaveBankTitle, kBankFilter, lib_.settings.perfBankDir,
                                        lib_.proposedBankName("CS1x backup"));
        if (!chosen)
            return;
        out.bankFile = changeExtension(pathFromUtf8(*chosen), kBankExtension);
        lib_.lastBankName = utf8FromPath(out.bankFile.filename());
        lib_.settings.perfBankDir = utf8FromPath(folderOf(pathFromUtf8(*chosen)));
    } else if (format == 2) {
        const auto folder = lib_.dialogs.chooseFolder(lib_.settings.lastDir);
        if (!folder)
            return;
        lib_.settings.lastDir = *folder;
        out.folder = pathFromUtf8(*folder);
    } else {
        return;
    }
    out.library = lib_.keeper;
    lib_.rx.startChain(std::make_unique<ToDiskTransfer>(std::move(out), 0, kUserPerformances - 1, lib_.dialogs));
}

void BulkCommands::SaveToSynthClick()
{
    if (lib_.refuseWhileBusy() || !lib_.needOutput())
        return;
    const auto dest =
        chooseUserPerf(lib_, "Select dest.-Perf", "Send", lib_.session.state().selectedUserPerf);
    if (!dest)
        return;
    // While the original is compared, the edit is still what is stored.
    const PerformanceRecord record = PerformanceRecord::fromEdit(lib_.session.editedImage(), *dest);
    UserPerfNames& names = lib_.names();
    auto job = std::make_unique<SendJob>();
    job->sendRecord(record, *dest, false)
        .atEnd([&names, &session = lib_.session, dest = *dest, record, keeper = lib_.keeper,
                entry = storedEntry(*dest, record.category(), record.name())](Receiver& rx, const SendJob::End& end) {
            if (!end.why.empty()) {
                // Every block sent counted as an edit; it stays one.
                rx.answer(capitalized(notSentText(dest, end.blocksOut, end.why)));
                return;
            }
            session.markStored();
            names.set(dest, entry);
            if (keeper)
                keeper->keep(record, Source::synthUser(dest));
            rx.report(storedText(dest));
        }, true);
    lib_.rx.startChain(std::move(job));
}

} // namespace kw
