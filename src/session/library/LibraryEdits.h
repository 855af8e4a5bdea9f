#pragma once
// The changes the user makes to library rows (category, rating, favourite
// mark, tags, notes, name; deleting them) with their Undo and Redo, without
// a window. One user action is one step, however many rows it touched; a
// failure comes back as the words the window shows.

#include "session/History.h"
#include "store/Store.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kw {

// Why a name is refused: what the synth can hold.
inline constexpr const char* kNameRule = "a name holds at most 8 characters, letters, digits and ASCII signs";

// One user action on the library: a delete, or one change to many rows.
struct LibraryStep {
    std::string what;  // "delete of 2 performances", "rename"
    std::vector<int64_t> ids;
    bool removal = false;
    RowEdit edit;                    // an edit: what redo sets again
    std::vector<LibraryRow> before;  // an edit: the rows as undo puts them back

    // Each action stays a step of its own, even two alike in a row: the
    // user takes them back one by one.
    bool mergeWith(const LibraryStep&) { return false; }
    bool empty() const { return ids.empty(); }
    size_t bytes() const { return sizeof(LibraryStep); }
};

// What the fields of several rows have in common, as the edit strip shows
// it: a value every row shares, or none where they differ (mixed), so that
// a field the user leaves alone changes no row.
struct SharedFields {
    // Marks a tag only some of the rows have: "pad*".
    static constexpr char kSomeMark = '*';

    size_t rows = 0;
    std::optional<int> category, rating;
    std::optional<bool> favourite;
    std::optional<std::string> notes;
    std::vector<std::string> tags;      // on every row, as the first spells it
    std::vector<std::string> someTags;  // on some rows only

    void add(const LibraryRow& row);
    // "bass, warm, pad*": the shared tags, then the others marked.
    std::string tagText() const;
    // What `text` typed over tagText() asks of every row: a tag typed is put
    // on all, a tag taken out taken off all (a marked one too), a marked one
    // left as it is stays on the rows that have it. Nothing set: no change.
    RowEdit tagsTyped(const std::string& text) const;
};

class LibraryEdits {
public:
    // Steps kept for Undo; the oldest go first.
    static constexpr size_t kSteps = 100;

    struct Outcome {
        bool done = false;
        // Why not, as the window says it ("Not deleted: the disk is full");
        // empty when there was nothing to do.
        std::string problem;
        // The rows the step touched (back again, after an undo of a delete).
        std::vector<int64_t> ids;
        // They are gone: a delete, or one done again.
        bool removed = false;
    };

    // `store` gives the library, opened when first asked (null: it cannot
    // be). `changed` hears of rows that went or came back, so that what
    // shows the library reads it anew.
    explicit LibraryEdits(std::function<Store*()> store, std::function<void()> changed = {});

    // Whether rows can be changed at all (a library opened read-only cannot).
    bool writable();

    Outcome remove(const std::vector<int64_t>& ids);
    // What `edit` sets, on every row of `ids`, as one step.
    Outcome edit(const std::vector<int64_t>& ids, const RowEdit& edit);
    // A name the synth cannot hold is refused (kNameRule says why).
    Outcome rename(int64_t id, const std::string& name);

    Outcome undo();
    Outcome redo();
    bool canUndo() const { return history_.toUndo() != nullptr; }
    bool canRedo() const { return history_.toRedo() != nullptr; }
    // The step's own words, "" when there is none.
    std::string undoText() const;
    std::string redoText() const;

private:
    // Puts back (or sets again) what `step` changed; nothing when it worked.
    StoreStatus apply(Store& s, const LibraryStep& step, bool back);
    Outcome record(LibraryStep step);

    std::function<Store*()> store_;
    std::function<void()> changed_;
    History<LibraryStep> history_{kSteps};
};

} // namespace kw
