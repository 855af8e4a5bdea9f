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

size_t BankStep::bytes() const
{
    size_t n = sizeof(BankStep) + what.capacity() + changed.capacity() * sizeof(Slot);
    for (const Slot& s : changed)
        n += s.before.entry.capacity() + s.after.entry.capacity();
    return n;
}

template <class Change>
auto BankManager::recorded(const char* what, Change&& change)
{
    std::vector<BankModel::SlotState> before;
    before.reserve(kUserPerformances);
    for (int i = 0; i < kUserPerformances; ++i)
        before.push_back(bank_.state(i));
    auto result = change();
    BankStep step{what, {}};
    for (int i = 0; i < kUserPerformances; ++i) {
        BankModel::SlotState after = bank_.state(i);
        if (!(after == before[size_t(i)]))
            step.changed.push_back({i, std::move(before[size_t(i)]), std::move(after)});
    }
    history_.record(std::move(step));
    history_.seal();
    return result;
}

void BankManager::undo()
{
    takeStep(true);
}

void BankManager::redo()
{
    takeStep(false);
}

void BankManager::takeStep(bool back)
{
    const BankStep* step = back ? history_.toUndo() : history_.toRedo();
    if (!step)
        return;
    for (const BankStep::Slot& s : step->changed) {
        BankModel::SlotState target = back ? s.before : s.after;
        // What a save wrote since stays the mark's measure.
        const BankModel::SlotState now = bank_.state(s.index);
        if (!(now.baseline == (back ? s.after : s.before).baseline))
            target.baseline = now.baseline;
        bank_.restore(s.index, target);
    }
    back ? history_.undone() : history_.redone();
}

void BankManager::deleteSlot(int index)
{
    if (index < 0 || index >= kUserPerformances)
        return;
    recorded("Delete", [&] {
        bank_.clear(index);
        return true;
    });
}

void BankManager::clearAll()
{
    recorded("Clear all", [&] {
        bank_.clearAll();
        return true;
    });
}

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
    if (auto e = recorded("Drop", [&] { return placeFile(index, utf8Path, shownName); })) {
        lib_.reportFileError(*e);
        return false;
    }
    return true;
}

Result<std::vector<int>> BankManager::placeBank(const std::string& utf8Path, std::vector<std::string>& notes)
{
    auto contents = readBankFile(pathFromUtf8(utf8Path));
    if (!contents)
        return contents.error();
    notes.insert(notes.end(), contents->skipped.begin(), contents->skipped.end());
    return bank_.load(contents->records);
}

std::optional<std::vector<int>> BankManager::loadBank(const std::string& utf8Path)
{
    std::vector<std::string> notes;
    auto set = recorded("Load Performance-bank", [&] { return placeBank(utf8Path, notes); });
    if (!set) {
        lib_.reportFileError(set.error());
        return std::nullopt;
    }
    if (!notes.empty())
        lib_.dialogs.inform(joined(notes, "\n"));
    return *set;
}

void BankManager::dropFiles(int index, const std::vector<std::string>& utf8Paths)
{
    if (index < 0 || index >= kUserPerformances)
        return;
    std::vector<std::string> notes;
    std::vector<std::string> leftOut;
    // However many files, one drop is one step.
    recorded("Drop", [&] {
        int next = index;
        for (const std::string& path : utf8Paths) {
            const std::string name = utf8FromPath(pathFromUtf8(path).filename());
            if (isBankFileName(name)) {
                if (auto set = placeBank(path, notes); !set)
                    notes.push_back(set.error().message());
            } else if (isPerformanceFileName(name)) {
                if (next >= kUserPerformances)
                    leftOut.push_back(name);
                else if (auto e = placeFile(next, path, name))
                    notes.push_back(e->message());
                else
                    ++next;
            }
        }
        return true;
    });
    if (!leftOut.empty())
        notes.push_back("No slot after " + entryNumber(kUserPerformances - 1) + " for: " + joined(leftOut, ", "));
    if (!notes.empty())
        lib_.dialogs.inform(joined(notes, "\n\n"));
}

bool BankManager::save()
{
    const auto chosen =
        lib_.dialogs.chooseSaveFile(kSaveBankTitle, kBankFilter, lib_.settings.perfBankDir, lib_.lastBankName);
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
