#pragma once
// What the bank manager window does, without the window: slots filled from
// dropped performance files and loaded banks, a slot auditioned in the
// synth's edit buffer, the bank saved, and around the window's modal run the
// performance being edited kept aside and given back to the synth.

#include "model/PerformanceImage.h"
#include "session/Audition.h"
#include "session/BankModel.h"
#include "session/CommandContext.h"
#include "session/History.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kw {

// Asked as the program ends while slots hold changes that were not saved.
inline constexpr const char* kUnsavedBankQuestion =
    "The Performance-bank is unsaved.\nSave it before quitting?";

// One step of the bank manager's history: the slots a drop, a Delete, a
// Clear all or a loaded bank changed, as they stood before and after.
struct BankStep {
    struct Slot {
        int index;
        BankModel::SlotState before, after;
    };
    std::string what;  // "Clear all", for the Undo and Redo entries
    std::vector<Slot> changed;

    bool mergeWith(const BankStep&) { return false; }  // each is one step
    bool empty() const { return changed.empty(); }
    size_t bytes() const;
};

class BankManager {
public:
    // The history keeps this many steps, fewer when they hold more bytes.
    static constexpr size_t kHistorySteps = 10000;
    static constexpr size_t kHistoryBytes = 64u << 20;

    BankManager(CommandContext& ctx, BankModel& bank) : ctx_(ctx), bank_(bank) {}

    BankModel& bank() { return bank_; }
    const BankModel& bank() const { return bank_; }
    CommandContext& library() { return ctx_; }

    // Around the window's modal run (MenuBulkBankEditClick). Opening keeps
    // the edited performance aside; once the window has closed, a slot that
    // was auditioned is replaced in the synth's edit buffer by that
    // performance again, as the main window still shows it.
    void opening();
    void closed();
    // Whether a slot went to the synth since the window opened.
    bool slotSent() const { return audition_.sent(); }

    // A performance file dropped on slot `index`: exactly 317 bytes, stored
    // with its seven addresses rewritten for the slot (checksums kept), the
    // line made from `shownName`, the name the file list shows. Errors are
    // reported ("Load-Error : Wrong filesize"); the slot stays as it was.
    bool dropPerformanceFile(int index, const std::string& utf8Path, const std::string& shownName);
    // Files dragged in from the desktop onto slot `index`: each .SYX file
    // (any letter case) as if dropped from the file list, into consecutive
    // slots from `index` on; each .PFB file loaded as "Load Performance-bank"
    // does, in the order given. Other files are passed over. All errors come
    // in one box. Banks are read a slice at a time: `done` runs once all is in.
    void dropFiles(int index, const std::vector<std::string>& utf8Paths, std::function<void()> done = {});
    // Entries of the performance library dragged onto slot `index`: into
    // consecutive slots from there, as many as fit (the rest is said), one
    // step of the history. Answers how many were placed.
    int dropFromLibrary(int index, const std::vector<int64_t>& ids);
    // "Load Performance-bank": each valid record into the slot of its number,
    // the file read a slice at a time. `done` gets the slots set, or nothing
    // when the file was refused (reported).
    void loadBank(const std::string& utf8Path, std::function<void(std::optional<std::vector<int>>)> done);
    // A slot dragged onto another: its performance goes to slot `to`,
    // renumbered for it, and what `to` held goes back to `from` the same way
    // (an empty slot stays empty). The two swap rather than push the slots
    // in between along: the other slots keep their numbers, and nothing
    // falls off the end of the bank. One step of the history ("Move").
    // False when there is nothing to move.
    bool moveSlot(int from, int to);
    // "Delete": slot `index` emptied, its line the bare number.
    void deleteSlot(int index);
    // "Clear all": every slot emptied.
    void clearAll();
    // "Save Performance-bank": the occupied slots, in slot order, written
    // atomically under a name the user picks. True once written.
    bool save();

    // The bank's own history. An undo puts the slots a step changed back as
    // they were, lines and unsaved marks with them (a mark a save has
    // cleared since stays cleared: the bank file holds what it holds).
    bool canUndo() const { return history_.toUndo() != nullptr; }
    bool canRedo() const { return history_.toRedo() != nullptr; }
    std::string undoText() const { return canUndo() ? history_.toUndo()->what : std::string(); }
    std::string redoText() const { return canRedo() ? history_.toRedo()->what : std::string(); }
    void undo();
    void redo();
    // "Send to CS1x": an occupied slot into the synth's edit buffer (data
    // bytes cut to 7 bits), with the transfer pause between the blocks.
    void audition(int index);

    // As the program ends: true when it may. With changes not saved, asks
    // once whether to save them first; backing out of the question or of the
    // save dialog keeps the program running.
    bool mayQuit();

    // Whether a file name is one the drops take, and as which.
    static bool isPerformanceFileName(const std::string& utf8Name);
    static bool isBankFileName(const std::string& utf8Name);

private:
    // What a change does to the slots is recorded as one step: the slots as
    // they stood before it, then `record` once it is done.
    std::vector<BankModel::SlotState> slotsNow() const;
    void record(const char* what, std::vector<BankModel::SlotState> before);
    void takeStep(bool back);

    std::optional<FileError> placeFile(int index, const std::string& utf8Path, const std::string& shownName);
    bool refuseWhileReading();
    struct Drop;
    // The next file of a drop, and the ones after it.
    void dropNext(const std::shared_ptr<Drop>& drop);

    CommandContext& ctx_;
    BankModel& bank_;
    Audition audition_{ctx_};
    History<BankStep> history_{kHistorySteps, kHistoryBytes};
};

} // namespace kw
