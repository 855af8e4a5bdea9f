// The library window's changes without the window: a run of edits and
// deletes on several rows taken back step by step to the rows as they were,
// done again to the rows as they were left, a new edit ending what could be
// done again; and a library that refuses a change leaves no step behind and
// keeps the step it could not undo. What several rows share, as the edit
// strip shows it, and what tags typed over that ask of every row.
#include "files/FilesFixture.h"
#include "session/library/LibraryEdits.h"
#include "store/PerformanceData.h"
#include "support/RandomRecords.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

using namespace kw;
using Strings = std::vector<std::string>;

namespace {

struct LibraryEditsTest : ::testing::Test {
    kwtest::TempDir dir;
    std::unique_ptr<Store> store;
    Store* current = nullptr;  // what the edits see: the test may swap it
    int changes = 0;
    LibraryEdits edits{[this] { return current; }, [this] { ++changes; }};
    std::vector<int64_t> ids;

    void SetUp() override
    {
        auto opened = Store::open(dir / "library.sqlite");
        ASSERT_TRUE(opened) << opened.error().text;
        store = std::move(*opened);
        current = store.get();
        const auto records = kwtest::randomRecords({0, 1, 2, 3, 4, 5}, 11);
        for (const PerformanceRecord& r : records) {
            auto kept = store->remember(r, Source::synthUser(r.number()));
            ASSERT_TRUE(kept) << kept.error().text;
            ids.push_back(kept->id);
        }
    }

    // Every row the library shows, every field of each: two states are
    // equal only when nothing at all differs.
    std::string state()
    {
        auto rows = store->rows(ids);
        EXPECT_TRUE(rows);
        std::ostringstream out;
        for (const LibraryRow& r : *rows) {
            out << r.id << " '" << r.name << "' c" << r.category << " f" << r.favourite << " r" << r.rating << " [";
            for (const std::string& t : r.tags)
                out << t << ";";
            out << "] '" << r.notes << "' " << r.whereFrom << " s" << r.sightings << " @" << r.firstSeen << " twin "
                << r.twinOf << "/" << r.twinId << "\n";
        }
        return out.str();
    }
    std::vector<int64_t> pick(std::initializer_list<size_t> rows) const
    {
        std::vector<int64_t> out;
        for (size_t r : rows)
            out.push_back(ids[r]);
        return out;
    }
};

RowEdit tags(std::vector<std::string> t)
{
    RowEdit e;
    e.tags = std::move(t);
    return e;
}

} // namespace

TEST_F(LibraryEditsTest, UndoneToTheStartRedoneToTheEndAndANewEditEndsRedo)
{
    struct Action {
        const char* what;  // the step's name on the Undo button
        std::function<LibraryEdits::Outcome(LibraryEdits&)> run;
    };
    RowEdit several;  // more than one field at once: undo must put all back
    several.favourite = true;
    several.notes = "bright";
    const std::vector<Action> actions = {
        {"tags of 3 performances", [&](LibraryEdits& e) { return e.edit(pick({0, 1, 2}), tags({"warm", "bass"})); }},
        {"rating of 2 performances", [&](LibraryEdits& e) { RowEdit r; r.rating = 4; return e.edit(pick({1, 3}), r); }},
        {"rename", [&](LibraryEdits& e) { return e.rename(ids[1], "Renamed"); }},
        {"delete of 2 performances", [&](LibraryEdits& e) { return e.remove(pick({1, 4})); }},
        // Over rows both tagged before and untouched: each gets its own back.
        {"tags of 3 performances", [&](LibraryEdits& e) { return e.edit(pick({0, 3, 5}), tags({"pad"})); }},
        {"favourite of 2 performances", [&](LibraryEdits& e) { return e.edit(pick({2, 5}), several); }},
        {"category of 1 performance", [&](LibraryEdits& e) { RowEdit c; c.category = 7; return e.edit(pick({0}), c); }},
        {"delete of 1 performance", [&](LibraryEdits& e) { return e.remove(pick({0})); }},
        // One tag on, one off (whatever its letter case), the rest each row's own.
        {"tags of 3 performances", [&](LibraryEdits& e) {
             RowEdit t;
             t.addTags = {"Dark", "pad"};
             t.removeTags = {"WARM"};
             return e.edit(pick({2, 3, 5}), t);
         }},
    };

    std::vector<std::string> states = {state()};
    for (const Action& a : actions) {
        SCOPED_TRACE(a.what);
        const LibraryEdits::Outcome o = a.run(edits);
        ASSERT_TRUE(o.done) << o.problem;
        EXPECT_EQ(edits.undoText(), a.what);
        EXPECT_FALSE(edits.canRedo());
        states.push_back(state());
        EXPECT_NE(states.back(), states[states.size() - 2]) << "the step changed nothing";
    }
    EXPECT_EQ(*store->count(), 3u);
    const auto tagsOf = [&](size_t row) { return store->rows(pick({row}))->at(0).tags; };
    EXPECT_EQ(tagsOf(2), (std::vector<std::string>{"Dark", "bass", "pad"}));
    EXPECT_EQ(tagsOf(3), (std::vector<std::string>{"Dark", "pad"}));

    for (size_t i = actions.size(); i-- > 0;) {
        SCOPED_TRACE(actions[i].what);
        const LibraryEdits::Outcome o = edits.undo();
        ASSERT_TRUE(o.done) << o.problem;
        EXPECT_EQ(state(), states[i]);
        EXPECT_EQ(edits.redoText(), actions[i].what);
    }
    EXPECT_FALSE(edits.canUndo());
    EXPECT_FALSE(edits.undo().done);
    EXPECT_EQ(*store->count(), 6u);

    for (size_t i = 0; i < actions.size(); ++i) {
        SCOPED_TRACE(actions[i].what);
        const LibraryEdits::Outcome o = edits.redo();
        ASSERT_TRUE(o.done) << o.problem;
        EXPECT_EQ(state(), states[i + 1]);
        EXPECT_EQ(o.removed, std::string(actions[i].what).starts_with("delete"));
    }
    EXPECT_FALSE(edits.canRedo());
    EXPECT_FALSE(edits.redo().done);

    // Two back, then something new: what was undone can no longer come back.
    ASSERT_TRUE(edits.undo().done);
    ASSERT_TRUE(edits.undo().done);
    EXPECT_EQ(state(), states[actions.size() - 2]);
    ASSERT_TRUE(edits.edit(pick({3}), tags({"new"})).done);
    EXPECT_FALSE(edits.canRedo());
    EXPECT_FALSE(edits.redo().done);
    ASSERT_TRUE(edits.undo().done);
    EXPECT_EQ(state(), states[actions.size() - 2]);
    EXPECT_EQ(edits.undoText(), actions[actions.size() - 3].what);
    // Rows went or came back at every delete, undo and redo; plain edits
    // are the window's own to show.
    EXPECT_EQ(changes, 2 + int(actions.size()) * 2 + 2 + 1);
}

TEST_F(LibraryEditsTest, ARefusedChangeLeavesNoStepAndAFailedUndoKeepsItsStep)
{
    Store::Options readOnly;
    readOnly.readOnly = true;
    auto other = Store::open(dir / "library.sqlite", readOnly);
    ASSERT_TRUE(other) << other.error().text;
    ASSERT_TRUE(edits.remove(pick({2})).done);
    const std::string before = state();

    current = other->get();
    EXPECT_FALSE(edits.writable());
    struct Refused {
        std::function<LibraryEdits::Outcome()> run;
        const char* says;
    };
    const Refused refused[] = {
        {[&] { return edits.remove(pick({0})); }, "Not deleted: "},
        {[&] { return edits.edit(pick({0, 1}), tags({"x"})); }, "Not changed: "},
        {[&] { return edits.rename(ids[0], "Other"); }, "Not changed: "},
        // Names the synth cannot hold, refused before the library is asked.
        {[&] { return edits.rename(ids[0], "NineChars"); }, "Not changed: a name holds at most 8"},
        {[&] { return edits.rename(ids[0], "Caf\xc3\xa9"); }, "Not changed: a name holds at most 8"},
        {[&] { return edits.undo(); }, "Undo failed: "},
    };
    for (const Refused& r : refused) {
        SCOPED_TRACE(r.says);
        const LibraryEdits::Outcome o = r.run();
        EXPECT_FALSE(o.done);
        EXPECT_TRUE(o.problem.starts_with(r.says)) << o.problem;
        EXPECT_GT(o.problem.size(), std::string(r.says).size()) << "and why";
        EXPECT_EQ(edits.undoText(), "delete of 1 performance");
        EXPECT_FALSE(edits.canRedo());
        EXPECT_EQ(state(), before);
    }

    current = store.get();
    EXPECT_TRUE(edits.writable());
    ASSERT_TRUE(edits.undo().done);
    EXPECT_EQ(*store->count(), 6u);
    current = other->get();
    const LibraryEdits::Outcome o = edits.redo();
    EXPECT_TRUE(o.problem.starts_with("Redo failed: ")) << o.problem;
    EXPECT_TRUE(edits.canRedo());
    current = nullptr;  // no library at all: nothing happens, nothing is said
    EXPECT_EQ(edits.redo().problem, "");
    EXPECT_FALSE(edits.writable());
}

TEST(SharedFields, SeveralRowsShowWhatTheyShareAndTypedTagsChangeOnlyWhatWasTypedOver)
{
    const auto row = [](int category, int rating, bool favourite, std::vector<std::string> tags, std::string notes) {
        LibraryRow r;
        r.category = category;
        r.rating = rating;
        r.favourite = favourite;
        r.tags = std::move(tags);
        r.notes = std::move(notes);
        return r;
    };
    SharedFields one;
    one.add(row(12, 3, true, {"bass", "warm"}, "mine"));
    EXPECT_EQ(one.category, 12);
    EXPECT_EQ(one.rating, 3);
    EXPECT_EQ(one.favourite, true);
    EXPECT_EQ(one.notes, "mine");
    EXPECT_EQ(one.tagText(), "bass, warm");

    SharedFields many;
    many.add(row(12, 3, true, {"Warm", "bass"}, "mine"));
    many.add(row(12, 0, false, {"dark", "warm"}, "mine"));
    many.add(row(12, 3, true, {"WARM", "dark", "pad"}, "theirs"));
    EXPECT_EQ(many.category, 12);
    EXPECT_FALSE(many.rating);
    EXPECT_FALSE(many.favourite);
    EXPECT_FALSE(many.notes);
    EXPECT_EQ(many.tagText(), "Warm, bass*, dark*, pad*");

    struct Typed {
        const char* text;
        Strings add, remove;
    };
    const Typed cases[] = {
        {"Warm, bass*, dark*, pad*", {}, {}},
        {"pad*,Warm ,, dark* , bass*, ", {}, {}},
        {"", {}, {"Warm", "bass", "dark", "pad"}},
        {"Warm, bass*, dark*, pad*, soft", {"soft"}, {}},
        // The mark dropped: on all of them; a marked one deleted: off all.
        {"Warm, bass, dark*", {"bass"}, {"pad"}},
        // Another letter case: taken off and put on again as typed.
        {"warm, bass*, dark*, pad*", {"warm"}, {"Warm"}},
        // A mark on a tag no row has is part of the tag.
        {"Warm, bass*, dark*, pad*, new*", {"new*"}, {}},
    };
    for (const Typed& t : cases) {
        SCOPED_TRACE(t.text);
        const RowEdit e = many.tagsTyped(t.text);
        EXPECT_EQ(e.addTags, t.add);
        EXPECT_EQ(e.removeTags, t.remove);
        EXPECT_FALSE(e.tags || e.category || e.rating || e.favourite || e.notes || e.name);
    }
}
