#include "session/BulkCommands.h"

#include "files/BankFile.h"
#include "files/FilePaths.h"
#include "midi/Receiver.h"
#include "midi/Ui.h"
#include "model/Cp1252.h"
#include "model/Settings.h"
#include "session/BankSend.h"
#include "session/Dialogs.h"
#include "session/EditSession.h"
#include "session/library/LibraryKeeper.h"
#include "session/library/ReplaceGuard.h"
#include "session/SendJob.h"
#include "session/Transfers.h"
#include "session/UserPerfNames.h"

#include <algorithm>
#include <cctype>
#include <memory>

namespace kw {

namespace {

// Where performances received from the synth are written as files.
constexpr const char* kDestinationFolderTitle = "Select dest. path";

std::optional<int> chooseUserPerf(CommandContext& ctx, const char* caption, const char* button, int selected)
{
    UserPerfChoice c;
    c.caption = caption;
    c.buttonText = button;
    c.selected = selected;
    c.topIndex = std::max(0, selected);
    c.entries = ctx.names().utf8Lines();
    return ctx.dialogs.chooseUserPerf(c);
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
    if (ctx_.refuseWhileBusy() || !ctx_.needBothPorts())
        return;
    ctx_.rx.startChain(std::make_unique<NamesRequest>(ctx_.names(), ctx_.dialogs));
}

void BulkCommands::MenuBulkSinglePerfSynthClick()
{
    if (ctx_.refuseWhileBusy() || !ctx_.needOutput())
        return;
    const auto record = ctx_.openPerformanceFile();
    if (!record)
        return;
    const auto dest = chooseUserPerf(ctx_, "Select dest. Perf", "Send", record->numberInRange());
    if (!dest)
        return;
    replaceUserPerformances(ctx_, {*dest}, [this, record = *record, dest = *dest] { sendOne(record, dest); });
}

void BulkCommands::sendOne(const PerformanceRecord& record, int dest)
{
    auto job = std::make_unique<SendJob>();
    job->sendRecord(record, dest, false)
        .atEnd([dest, record, keeper = ctx_.keeper](Receiver& rx, const SendJob::End& end) {
            if (!end.why.empty()) {
                rx.answer(capitalized(notSentText(dest, end.blocksOut, end.why)));
                return;
            }
            if (keeper)
                keeper->sawInUserMemory(dest, record, SynthMemory::How::Sent);
            rx.report(storedText(dest));
        }, true);
    ctx_.rx.startChain(std::move(job));
}

void BulkCommands::MenuBulkPerfBankSynthClick()
{
    if (ctx_.refuseWhileBusy() || !ctx_.needOutput())
        return;
    const auto chosen =
        ctx_.dialogs.chooseOpenFile("Select Performance-bank file", kBankFilter, ctx_.settings.perfBankDir);
    if (!chosen)
        return;
    ctx_.readBankInSlices(pathFromUtf8(*chosen), [this](Result<BankContents> bank) { sendBank(std::move(bank)); });
}

void BulkCommands::sendBank(Result<BankContents> bank)
{
    if (!bank) {
        ctx_.reportFileError(bank.error());
        return;
    }
    if (!bank->skipped.empty())
        ctx_.informList(bank->skipped);
    const size_t count = bank->records.size();
    if (count > size_t(kUserPerformances)
        && !ctx_.dialogs.confirm(kBankSendCaption, manyRecordsQuestion(count, ctx_.settings.transferPause())))
        return;
    int cut = 0;
    for (PerformanceRecord& r : bank->records)
        cut += r.clampDataTo7Bit();
    if (cut > 0)
        ctx_.rx.report(clampedText(cut));
    std::vector<int> numbers;
    for (const PerformanceRecord& r : bank->records)
        if (r.numberInRange() >= 0)
            numbers.push_back(r.numberInRange());
    auto records = std::make_shared<std::vector<PerformanceRecord>>(std::move(bank->records));
    replaceUserPerformances(ctx_, std::move(numbers), [this, records] {
        auto send = std::make_unique<BankSend>(std::move(*records), ctx_.names(), ctx_.dialogs);
        recordWhereSent(*send, ctx_.keeper);
        ctx_.rx.startChain(std::move(send));
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
    if (ctx_.refuseWhileBusy() || !ctx_.needBothPorts())
        return;
    const auto pp = chooseUserPerf(ctx_, "Select Dest", "Request", -1);
    // The ports may have gone while the user chose.
    if (!pp || !ctx_.needBothPorts())
        return;
    const auto folder = ctx_.dialogs.chooseFolder(kDestinationFolderTitle, ctx_.settings.lastDir);
    if (!folder)
        return;
    ctx_.settings.lastDir = *folder;
    ctx_.rx.startChain(std::make_unique<ToDiskTransfer>(
        ToDiskTransfer::Output{pathFromUtf8(*folder), {}, ctx_.keeper}, *pp, *pp, ctx_.dialogs));
}

void BulkCommands::MenuBulkAllPerfHDClick()
{
    if (ctx_.refuseWhileBusy() || !ctx_.needBothPorts())
        return;
    const int format = ctx_.dialogs.ask("Please select the format to store the received\nBulk-data on your harddisk",
                                        "Perf.-bank", "SysEx files");
    ToDiskTransfer::Output out;
    if (format == 1) {
        const auto chosen =
            ctx_.dialogs.chooseSaveFile(kSaveBankTitle, kBankFilter, ctx_.settings.perfBankDir,
                                        ctx_.proposedBankName("CS1x backup"));
        if (!chosen)
            return;
        out.bankFile = changeExtension(pathFromUtf8(*chosen), kBankExtension);
        ctx_.lastBankName = utf8FromPath(out.bankFile.filename());
        ctx_.settings.perfBankDir = utf8FromPath(folderOf(pathFromUtf8(*chosen)));
    } else if (format == 2) {
        const auto folder = ctx_.dialogs.chooseFolder(kDestinationFolderTitle, ctx_.settings.lastDir);
        if (!folder)
            return;
        ctx_.settings.lastDir = *folder;
        out.folder = pathFromUtf8(*folder);
    } else {
        return;
    }
    out.library = ctx_.keeper;
    ctx_.rx.startChain(std::make_unique<ToDiskTransfer>(std::move(out), 0, kUserPerformances - 1, ctx_.dialogs));
}

void BulkCommands::SaveToSynthClick()
{
    if (ctx_.refuseWhileBusy() || !ctx_.needOutput())
        return;
    const auto dest =
        chooseUserPerf(ctx_, "Select dest.-Perf", "Send", ctx_.session.state().selectedUserPerf);
    if (!dest)
        return;
    // While the original is compared, the edit is still what is stored.
    const PerformanceRecord record = PerformanceRecord::fromEdit(ctx_.session.editedImage(), *dest);
    UserPerfNames& names = ctx_.names();
    auto job = std::make_unique<SendJob>();
    job->sendRecord(record, *dest, false)
        .atEnd([&names, &session = ctx_.session, dest = *dest, record, keeper = ctx_.keeper,
                entry = storedEntry(*dest, record.category(), record.name())](Receiver& rx, const SendJob::End& end) {
            if (!end.why.empty()) {
                // Every block sent counted as an edit; it stays one.
                rx.answer(capitalized(notSentText(dest, end.blocksOut, end.why)));
                return;
            }
            session.markStored();
            names.set(dest, entry);
            if (keeper)
                keeper->sawInUserMemory(dest, record, SynthMemory::How::Stored);
            rx.report(storedText(dest));
        }, true);
    ctx_.rx.startChain(std::move(job));
}

} // namespace kw
