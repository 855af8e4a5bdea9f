#pragma once
// What the bank manager window does, without the window: slots filled from
// dropped performance files and loaded banks, a slot auditioned in the
// synth's edit buffer, the bank saved, and around the window's modal run the
// performance being edited kept aside and given back to the synth.

#include "library/BankModel.h"
#include "library/History.h"
#include "library/LibraryContext.h"
#include "model/PerformanceImage.h"

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

    BankManager(LibraryContext& lib, BankModel& bank) : lib_(lib), bank_(bank) {}

    BankModel& bank() { return bank_; }
    const BankModel& bank() const { return bank_; }
    LibraryContext& library() { return lib_; }

    // Around the window's modal run (MenuBulkBankEditClick). Opening keeps
    // the edited performance aside; once the window has closed, a slot that
    // was auditioned is replaced in the synth's edit buffer by that
    // performance again, as the main window still shows it.
    void opening();
    void closed();
    // Whether a slot went to the synth since the window opened.
    bool slotSent() const { return slotSent_; }

    // A performance file dropped on slot `index`: exactly 317 bytes, stored
    // with its seven addresses rewritten for the slot (checksums kept), the
    // line made from `shownName`, the name the file list shows. Errors are
    // reported ("Load-Error : Wrong filesize"); the slot stays as it was.
    bool dropPerformanceFile(int index, const std::string& utf8Path, const std::string& shownName);
    // Files dragged in from the desktop onto slot `index`: each .SYX file
    // (any letter case) as if dropped from the file list, into consecutive
    // slots from `index` on; each .PFB file loaded as "Load Performance-bank"
    // does. Other files are passed over. All errors come in one box.
    void dropFiles(int index, const std::vector<std::string>& utf8Paths);
    // "Load Performance-bank": each valid record into the slot of its number.
    // Answers the slots set, or nothing when the file was refused (reported).
    std::optional<std::vector<int>> loadBank(const std::string& utf8Path);
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
    // Runs `change` on the slots and records what it changed as one step.
    template <class Change>
    auto recorded(const char* what, Change&& change);
    void takeStep(bool back);

    std::optional<FileError> placeFile(int index, const std::string& utf8Path, const std::string& shownName);
    // Adds the lines of records left out to `notes`.
    Result<std::vector<int>> placeBank(const std::string& utf8Path, std::vector<std::string>& notes);
    // A fresh copy of what the main window shows, unless the one taken still is.
    void keepEdited();

    LibraryContext& lib_;
    BankModel& bank_;
    BlockSet backup_{false};
    bool modifiedBefore_ = false;
    bool slotSent_ = false;
    int refreshesAtBackup_ = -1;
    History<BankStep> history_{kHistorySteps, kHistoryBytes};
};

} // namespace kw
