#include "library/BankManager.h"

#include "files/FilePaths.h"
#include "files/PerformanceFile.h"
#include "library/Dialogs.h"
#include "library/EditSession.h"
#include "library/SendJob.h"
#include "midi/Receiver.h"
#include "midi/Ui.h"
#include "model/Settings.h"
#include "model/UserPerfList.h"

#include <algorithm>
#include <cctype>
#include <memory>

namespace kw {

namespace {

bool hasExtension(const std::string& utf8Name, std::string_view extension)
{
    std::string ext = pathFromUtf8(utf8Name).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return ext == extension;
}

std::string joined(const std::vector<std::string>& lines, const char* between)
{
    std::string out;
    for (const std::string& l : lines)
        out += (out.empty() ? "" : between) + l;
    return out;
}

} // namespace

bool BankManager::isPerformanceFileName(const std::string& utf8Name)
{
    return hasExtension(utf8Name, kPerformanceExtension);
}

bool BankManager::isBankFileName(const std::string& utf8Name)
{
    return hasExtension(utf8Name, kBankExtension);
}

void BankManager::opening()
{
    slotSent_ = false;
    refreshesAtBackup_ = -1;
    keepEdited();
}

void BankManager::keepEdited()
{
    // A performance fetched while the window is open (a program change on
    // the synth) is what the main window shows from then on, and so what
    // closing the window must give back.
    if (refreshesAtBackup_ == lib_.session.fullRefreshes())
        return;
    backup_ = lib_.session.image().edit;
    modifiedBefore_ = lib_.session.state().modified;
    refreshesAtBackup_ = lib_.session.fullRefreshes();
    slotSent_ = false;
}

void BankManager::closed()
{
    const bool restore = slotSent_ && refreshesAtBackup_ == lib_.session.fullRefreshes();
    slotSent_ = false;
    if (!restore)
        return;
    // The image holds at once what the main window shows, also while an
    // audition still goes out and the window may open again; the synth gets
    // it in its turn.
    lib_.session.image().edit = backup_;
    const bool modified = modifiedBefore_;
    auto job = std::make_unique<SendJob>();
    job->sendEditImage(false)
        .then([modified](Receiver& rx) {
            // The synth holds again what it held: the edit is as edited as before.
            rx.state().modified = modified;
            return true;
        });
    lib_.rx.startChain(std::move(job));
}

std::optional<FileError> BankManager::placeFile(int index, const std::string& utf8Path, const std::string& shownName)
{
    auto record = readPerformanceFile(pathFromUtf8(utf8Path));
    if (!record) {
        FileError e = record.error();
        if (e.kind == FileErrorKind::NotAPerformanceFile)
            e.kind = FileErrorKind::WrongFilesize;
        return e;
    }
    record->setNumber(index, Checksums::Keep);
    bank_.put(index, *record, droppedEntry(index, shownName));
    return std::nullopt;
}

bool BankManager::dropPerformanceFile(int index, const std::string& utf8Path, const std::string& shownName)
{
    if (index < 0 || index >= kUserPerformances)
        return false;
    if (auto e = placeFile(index, utf8Path, shownName)) {
        lib_.reportFileError(*e);
        return false;
    }
    return true;
}

// Reading a bank from disk talks to no synth, so a transfer may run; only one
// bank is read at a time.
bool BankManager::refuseWhileReading()
{
    if (!lib_.readingBank)
        return false;
    lib_.rx.status(kTransferRunningText);
    return true;
}

void BankManager::loadBank(const std::string& utf8Path, std::function<void(std::optional<std::vector<int>>)> done)
{
    if (refuseWhileReading())
        return;
    lib_.readBankInSlices(pathFromUtf8(utf8Path), [this, done = std::move(done)](Result<BankContents> contents) {
        if (!contents) {
            lib_.reportFileError(contents.error());
            done(std::nullopt);
            return;
        }
        if (!contents->skipped.empty())
            lib_.informList(contents->skipped);
        done(bank_.load(contents->records));
    });
}

struct BankManager::Drop {
    std::vector<std::string> paths;
    size_t nextPath = 0;
    int nextSlot = 0;
    std::vector<std::string> notes;
    std::vector<std::string> leftOut;
    std::function<void()> done;
};

void BankManager::dropFiles(int index, const std::vector<std::string>& utf8Paths, std::function<void()> done)
{
    if (index < 0 || index >= kUserPerformances || refuseWhileReading()) {
        if (done)
            done();
        return;
    }
    dropNext(std::make_shared<Drop>(Drop{utf8Paths, 0, index, {}, {}, std::move(done)}));
}

void BankManager::dropNext(const std::shared_ptr<Drop>& drop)
{
    while (drop->nextPath < drop->paths.size()) {
        const std::string& path = drop->paths[drop->nextPath++];
        const std::string name = utf8FromPath(pathFromUtf8(path).filename());
        if (isBankFileName(name)) {
            lib_.readBankInSlices(pathFromUtf8(path), [this, drop](Result<BankContents> contents) {
                if (!contents) {
                    drop->notes.push_back(contents.error().message());
                } else {
                    drop->notes.insert(drop->notes.end(), contents->skipped.begin(), contents->skipped.end());
                    bank_.load(contents->records);
                }
                dropNext(drop);
            });
            return;
        }
        if (isPerformanceFileName(name)) {
            if (drop->nextSlot >= kUserPerformances)
                drop->leftOut.push_back(name);
            else if (auto e = placeFile(drop->nextSlot, path, name))
                drop->notes.push_back(e->message());
            else
                ++drop->nextSlot;
        }
    }
    if (!drop->leftOut.empty())
        drop->notes.push_back("No slot after " + entryNumber(kUserPerformances - 1) + " for: "
                              + joined(drop->leftOut, ", "));
    if (!drop->notes.empty())
        lib_.informList(drop->notes, "\n\n");
    if (drop->done)
        drop->done();
}

bool BankManager::save()
{
    const auto chosen =
        lib_.dialogs.chooseSaveFile(kSaveBankTitle, kBankFilter, lib_.settings.perfBankDir,
                                        lib_.proposedBankName("Performance-bank"));
    if (!chosen)
        return false;
    const auto path = changeExtension(pathFromUtf8(*chosen), kBankExtension);
    lib_.lastBankName = utf8FromPath(path.filename());
    if (auto e = writeBankFile(path, bank_.contents())) {
        lib_.reportFileError(*e);
        return false;
    }
    bank_.markSaved();
    return true;
}

void BankManager::audition(int index)
{
    if (index < 0 || index >= kUserPerformances || !bank_.occupied(index) || lib_.refuseWhileBusy())
        return;
    keepEdited();
    auto record = std::make_shared<PerformanceRecord>(bank_.slot(index));
    // A slot holds a file's bytes as they were; none of 0x80 or more may
    // reach the synth.
    if (const int cut = record->clampDataTo7Bit())
        lib_.rx.report(clampedText(cut));
    lib_.rx.ui().setLamp(Lamp::Out, true);
    auto job = std::make_unique<SendJob>();
    job->then([this, record](Receiver& rx) {
           record->toEdit(rx.image().edit);
           slotSent_ = true;
           return true;
       })
        .sendEditImage(false)
        .atEnd([](Receiver& rx, const SendJob::End&) { rx.ui().setLamp(Lamp::Out, false); });
    lib_.rx.startChain(std::move(job));
}

bool BankManager::mayQuit()
{
    if (!bank_.anyChanged())
        return true;
    switch (lib_.dialogs.ask(kUnsavedBankQuestion, "Save", "Discard")) {
    case 1: return save();
    case 2: return true;
    default: return false;
    }
}

} // namespace kw
