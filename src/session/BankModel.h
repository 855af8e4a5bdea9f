#pragma once
// The bank the bank manager arranges: 128 slots of one performance record
// each and the text of each slot's line. It lives for the whole run, so the
// window finds it as it left it; nothing but "Save Performance-bank" puts it
// on disk. It also knows which slots differ from what was last loaded into
// them or saved, so that quitting does not silently drop an arranged bank.

#include "files/BankFile.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kw {

class BankModel {
public:
    // What a line keeps between two openings of the window, in characters.
    static constexpr size_t kEntryLength = 15;

    // Empty slots, lines "001" to "128", nothing changed.
    BankModel();

    const BankSlots& contents() const { return slots_; }
    const PerformanceRecord& slot(int index) const { return slots_.at(size_t(index)); }
    bool occupied(int index) const { return slot(index).occupied(); }
    // The line of slot `index` (0..127), UTF-8.
    const std::string& entry(int index) const { return entries_.at(size_t(index)); }

    // Whether slot `index` holds something else than after its last load or
    // the last save.
    bool changed(int index) const { return slot(index) != baseline_.at(size_t(index)); }
    bool anyChanged() const;

    // One slot as it stands: what it holds, what it held when last loaded or
    // saved, and its line.
    struct SlotState {
        PerformanceRecord record;
        PerformanceRecord baseline;
        std::string entry;
        bool operator==(const SlotState&) const = default;
    };
    SlotState state(int index) const;
    // Puts a slot back as it stood (an undo or a redo).
    void restore(int index, const SlotState& s);

    // Empty slot, line the bare number.
    void clear(int index);
    void clearAll();
    // A performance into slot `index` (as slotRecord() makes it) with its
    // line as given.
    void put(int index, const PerformanceRecord& record, std::string entry);
    // Each record into the slot of its own number, a later one replacing an
    // earlier one, the line "005  SQ Pan Seq" (uncut) from its category and
    // name. Those slots now count as loaded. Answers the slots set, in slot
    // order.
    std::vector<int> load(std::span<const PerformanceRecord> records);
    // Every slot now counts as saved.
    void markSaved() { baseline_ = slots_; }
    // As the window closes: every line cut to kEntryLength characters.
    void cutEntries();

private:
    BankSlots slots_;
    BankSlots baseline_;
    std::vector<std::string> entries_;
};

// The first `count` characters of UTF-8 `text`.
std::string utf8Left(std::string_view text, size_t count);

// The line of a file dropped on slot `index`: the number, two blanks and the
// file's name (UTF-8) cut to 15 characters, less its last four (the
// extension ".SYX" of a name that short), with its third character blanked,
// so that CC_NAME.SYX, as the transfers name files, reads CC NAME.
std::string droppedEntry(int index, std::string_view fileName);

} // namespace kw
