#include "library/BulkCommands.h"

#include "files/BankFile.h"
#include "files/FilePaths.h"
#include "library/Dialogs.h"
#include "library/EditSession.h"
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

// "performance 012 was cut off: the JACK server has shut down", or "... was
// not sent: ..." when none of its blocks went out.
std::string notSentText(int dest, const SendJob::End& end)
{
    return "performance " + entryNumber(dest) + (end.blocksOut > 0 ? " was cut off: " : " was not sent: ") + end.why;
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
    if (!lib_.bothPortsOpen() || lib_.refuseWhileBusy())
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
    auto job = std::make_unique<SendJob>();
    job->sendRecord(*record, *dest, false).atEnd([dest = *dest](Receiver& rx, const SendJob::End& end) {
        if (end.why.empty())
            rx.report(storedText(dest));
        else
            rx.answer(capitalized(notSentText(dest, end)));
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
    auto bank = readBankFile(pathFromUtf8(*chosen));
    if (!bank) {
        lib_.reportFileError(bank.error());
        return;
    }
    if (!bank->skipped.empty()) {
        std::string text;
        for (const std::string& line : bank->skipped)
            text += (text.empty() ? "" : "\n") + line;
        lib_.dialogs.inform(text);
    }
    int cut = 0;
    for (PerformanceRecord& r : bank->records)
        cut += r.clampDataTo7Bit();
    if (cut > 0)
        lib_.rx.report(clampedText(cut));

    struct Run {
        std::unique_ptr<Progress> progress;
        int sent = 0;       // performances whose seven blocks all went out
        int total = 0;
        int inFlight = -1;  // the destination of the one going out
    };
    auto run = std::make_shared<Run>();
    run->total = int(bank->records.size());
    run->progress = lib_.dialogs.progress("Performance-Bank (to CS1x)", {}, run->total);
    UserPerfNames& names = lib_.names();
    auto job = std::make_unique<SendJob>();
    job->then([](Receiver& rx) {
        // The list shows what goes where; no line stays selected, as the
        // synth's memory no longer matches what the editor holds.
        rx.state().selectedUserPerf = -1;
        rx.state().shownUserPerf = -1;
        rx.ui().selectUserPerf(-1);
        rx.ui().setLamp(Lamp::Out, true);
        return true;
    });
    for (int i = 0; i < run->total; ++i) {
        const PerformanceRecord& r = bank->records[size_t(i)];
        const int dest = r.numberInRange();
        const std::string entry = r.shortEntry();
        job->then([i, dest, entry, run](Receiver& rx) {
            // Between two performances: a cancel, or the program's end, takes effect here.
            if (run->progress->cancelled() || rx.wrappingUp())
                return false;
            run->inFlight = dest;
            const std::string moving =
                "Transferring Performance #" + std::to_string(dest + 1) + " : " + cp1252ToUtf8(entry);
            run->progress->setText("Sending performance " + std::to_string(i + 1) + " of "
                                   + std::to_string(run->total) + "\n" + moving);
            rx.status(moving);
            return true;
        });
        job->sendRecord(r, dest, false);
        // Only a performance whose every block went out counts, and only
        // its line changes.
        job->then(
            [i, dest, entry, run, &names](Receiver&) {
                run->sent = i + 1;
                run->inFlight = -1;
                run->progress->setValue(run->sent);
                names.set(dest, numberedEntry(dest, entry));
                return true;
            },
            true);
    }
    job->atEnd([run](Receiver& rx, const SendJob::End& end) {
        run->progress->close();
        rx.ui().setLamp(Lamp::Out, false);
        std::string text =
            std::to_string(run->sent) + " of " + std::to_string(run->total) + " performances sent";
        if (!end.why.empty())
            text += run->inFlight >= 0 ? "; " + notSentText(run->inFlight, end) : "; " + end.why;
        else if (run->sent < run->total)
            text = (rx.wrappingUp() ? "Transfer stopped as the program ends: " : "Transfer cancelled: ") + text;
        rx.answer(text);
        rx.report(text);
    }, true);
    lib_.rx.startChain(std::move(job));
}

void BulkCommands::MenuBulkSinglePerfHDClick()
{
    if (lib_.refuseWhileBusy())
        return;
    const auto pp = chooseUserPerf(lib_, "Select Dest", "Request", -1);
    if (!pp || !lib_.bothPortsOpen())
        return;
    const auto folder = lib_.dialogs.chooseFolder(lib_.settings.lastDir);
    if (!folder)
        return;
    lib_.settings.lastDir = *folder;
    lib_.rx.startChain(std::make_unique<ToDiskTransfer>(ToDiskTransfer::Output{pathFromUtf8(*folder), {}}, *pp, *pp,
                                                        lib_.dialogs));
}

void BulkCommands::MenuBulkAllPerfHDClick()
{
    if (!lib_.bothPortsOpen() || lib_.refuseWhileBusy())
        return;
    const int format = lib_.dialogs.ask("Please select the format to store the received\nBulk-data on your harddisk",
                                        "Perf.-bank", "SysEx files");
    ToDiskTransfer::Output out;
    if (format == 1) {
        const auto chosen =
            lib_.dialogs.chooseSaveFile(kSaveBankTitle, kBankFilter, lib_.settings.perfBankDir, lib_.lastBankName);
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
        .atEnd([&names, &session = lib_.session, dest = *dest,
                entry = storedEntry(*dest, record.category(), record.name())](Receiver& rx, const SendJob::End& end) {
            if (!end.why.empty()) {
                // Every block sent counted as an edit; it stays one.
                rx.answer(capitalized(notSentText(dest, end)));
                return;
            }
            session.markStored();
            names.set(dest, entry);
            rx.report(storedText(dest));
        }, true);
    lib_.rx.startChain(std::move(job));
}

} // namespace kw
