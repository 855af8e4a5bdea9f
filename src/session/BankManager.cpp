#include "session/BankManager.h"

#include "files/FileCheck.h"
#include "files/FilePaths.h"
#include "files/PerformanceFile.h"
#include "midi/Receiver.h"
#include "midi/Ui.h"
#include "model/Cp1252.h"
#include "model/Settings.h"
#include "model/UserPerfList.h"
#include "session/Dialogs.h"
#include "session/EditSession.h"
#include "session/library/LibraryKeeper.h"
#include "session/SendJob.h"

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

std::vector<BankModel::SlotState> BankManager::slotsNow() const
{
    std::vector<BankModel::SlotState> out;
    out.reserve(kUserPerformances);
    for (int i = 0; i < kUserPerformances; ++i)
        out.push_back(bank_.state(i));
    return out;
}

void BankManager::record(const char* what, std::vector<BankModel::SlotState> before)
{
    BankStep step{what, {}};
    for (int i = 0; i < kUserPerformances; ++i) {
        BankModel::SlotState after = bank_.state(i);
        if (!(after == before[size_t(i)]))
            step.changed.push_back({i, std::move(before[size_t(i)]), std::move(after)});
    }
    history_.record(std::move(step));
    history_.seal();
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
    // A bank still being read is half a step: it would be recorded over what
    // the undo put back.
    if (!step || refuseWhileReading())
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

namespace {

// A slot's line for slot `index`: the same text behind the new number.
std::string renumberedEntry(const std::string& entry, int index)
{
    const std::string text = entry.size() > 5 ? entry.substr(5) : std::string();
    return text.empty() ? entryNumber(index) : numberedEntry(index, text);
}

} // namespace

bool BankManager::moveSlot(int from, int to)
{
    const auto inBank = [](int i) { return i >= 0 && i < kUserPerformances; };
    if (!inBank(from) || !inBank(to) || from == to || !bank_.occupied(from) || refuseWhileReading())
        return false;
    auto before = slotsNow();
    const auto place = [this](int index, const BankModel::SlotState& s) {
        if (!s.record.occupied()) {
            bank_.clear(index);
            return;
        }
        PerformanceRecord r = s.record;
        // A record whose checksums held stays sound at its new address; one
        // that came with wrong ones keeps them as it came.
        r.setNumber(index, r.check().checksums == 0 ? Checksums::Recompute : Checksums::Keep);
        bank_.put(index, r, renumberedEntry(s.entry, index));
    };
    place(to, before[size_t(from)]);
    place(from, before[size_t(to)]);
    record("Move", std::move(before));
    return true;
}

void BankManager::deleteSlot(int index)
{
    if (index < 0 || index >= kUserPerformances)
        return;
    auto before = slotsNow();
    bank_.clear(index);
    record("Delete", std::move(before));
}

void BankManager::clearAll()
{
    auto before = slotsNow();
    bank_.clearAll();
    record("Clear all", std::move(before));
}

bool BankManager::isPerformanceFileName(const std::string& utf8Name)
{
    return hasExtension(utf8Name, kPerformanceExtension);
}

bool BankManager::isBankFileName(const std::string& utf8Name)
{
    return hasExtension(utf8Name, kBankExtension);
}

void BankManager::opening() { audition_.begin(); }

void BankManager::closed() { audition_.end(); }

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
    if (ctx_.keeper)
        ctx_.keeper->keep(*record, Source::file(pathFromUtf8(utf8Path)));
    return std::nullopt;
}

bool BankManager::dropPerformanceFile(int index, const std::string& utf8Path, const std::string& shownName)
{
    if (index < 0 || index >= kUserPerformances)
        return false;
    auto before = slotsNow();
    auto e = placeFile(index, utf8Path, shownName);
    record("Drop", std::move(before));
    if (e) {
        ctx_.reportFileError(*e);
        return false;
    }
    return true;
}

int BankManager::dropFromLibrary(int index, const std::vector<int64_t>& ids)
{
    Store* store = ctx_.keeper ? ctx_.keeper->store() : nullptr;
    if (index < 0 || index >= kUserPerformances || ids.empty() || !store)
        return 0;
    auto before = slotsNow();
    int placed = 0;
    std::string problem;
    for (size_t i = 0; i < ids.size(); ++i) {
        const int slot = index + int(i);
        if (slot >= kUserPerformances) {
            problem = groupedNumber(ids.size() - i) + " of " + groupedNumber(ids.size())
                      + " performances did not fit below slot 128.";
            break;
        }
        auto r = store->record(ids[i], slot);
        if (!r) {
            problem = "The library cannot give the performance: " + r.error().text;
            break;
        }
        bank_.put(slot, *r, numberedEntry(slot, cp1252ToUtf8(r->shortEntry())));
        ++placed;
    }
    record("Drop from library", std::move(before));
    if (!problem.empty())
        ctx_.dialogs.inform(problem);
    return placed;
}

// Reading a bank from disk talks to no synth, so a transfer may run; only one
// bank is read at a time.
bool BankManager::refuseWhileReading()
{
    if (!ctx_.readingBank)
        return false;
    ctx_.rx.status(kTransferRunningText);
    return true;
}

void BankManager::loadBank(const std::string& utf8Path, std::function<void(std::optional<std::vector<int>>)> done)
{
    if (refuseWhileReading())
        return;
    ctx_.readBankInSlices(pathFromUtf8(utf8Path), [this, done = std::move(done)](Result<BankContents> contents) {
        if (!contents) {
            ctx_.reportFileError(contents.error());
            done(std::nullopt);
            return;
        }
        if (!contents->skipped.empty())
            ctx_.informList(contents->skipped);
        auto before = slotsNow();
        auto set = bank_.load(contents->records);
        record("Load Performance-bank", std::move(before));
        done(std::move(set));
    });
}

struct BankManager::Drop {
    std::vector<std::string> paths;
    size_t nextPath = 0;
    int nextSlot = 0;
    std::vector<std::string> notes;
    std::vector<std::string> leftOut;
    std::function<void()> done;
    // However many files, one drop is one step.
    std::vector<BankModel::SlotState> before;
};

void BankManager::dropFiles(int index, const std::vector<std::string>& utf8Paths, std::function<void()> done)
{
    if (index < 0 || index >= kUserPerformances || refuseWhileReading()) {
        if (done)
            done();
        return;
    }
    dropNext(std::make_shared<Drop>(Drop{utf8Paths, 0, index, {}, {}, std::move(done), slotsNow()}));
}

void BankManager::dropNext(const std::shared_ptr<Drop>& drop)
{
    while (drop->nextPath < drop->paths.size()) {
        const std::string& path = drop->paths[drop->nextPath++];
        const std::string name = utf8FromPath(pathFromUtf8(path).filename());
        if (isBankFileName(name)) {
            ctx_.readBankInSlices(pathFromUtf8(path), [this, drop](Result<BankContents> contents) {
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
    record("Drop", std::move(drop->before));
    if (!drop->leftOut.empty())
        drop->notes.push_back("No slot after " + entryNumber(kUserPerformances - 1) + " for: "
                              + joined(drop->leftOut, ", "));
    if (!drop->notes.empty())
        ctx_.informList(drop->notes, "\n\n");
    if (drop->done)
        drop->done();
}

bool BankManager::save()
{
    const auto chosen =
        ctx_.dialogs.chooseSaveFile(kSaveBankTitle, kBankFilter, ctx_.settings.perfBankDir,
                                        ctx_.proposedBankName("Performance-bank"));
    if (!chosen)
        return false;
    const auto path = changeExtension(pathFromUtf8(*chosen), kBankExtension);
    ctx_.lastBankName = utf8FromPath(path.filename());
    if (auto e = writeBankFile(path, bank_.contents())) {
        ctx_.reportFileError(*e);
        return false;
    }
    bank_.markSaved();
    return true;
}

void BankManager::audition(int index)
{
    if (index < 0 || index >= kUserPerformances || !bank_.occupied(index))
        return;
    audition_.play(bank_.slot(index));
}

bool BankManager::mayQuit()
{
    if (!bank_.anyChanged())
        return true;
    switch (ctx_.dialogs.ask(kUnsavedBankQuestion, "Save", "Discard")) {
    case 1: return save();
    case 2: return true;
    default: return false;
    }
}

} // namespace kw
