// The history of edits without any window: undo and redo put the image back
// and send what the synth needs to follow, one gesture is one step, a fetch
// or a file starts anew, compare sends the original and the edit in turn;
// and the bank manager's own history.
#include "BankFixture.h"
#include "midi/HexText.h"
#include "model/VariationPages.h"
#include "support/RestoringMessages.h"

#include <gtest/gtest.h>

#include <random>

using namespace kw;
using kwtest::hex;
using Strings = std::vector<std::string>;

namespace {

const FieldRow& row(const char* control)
{
    const FieldRow* r = findField(control);
    EXPECT_NE(r, nullptr) << control;
    return *r;
}

// What an edit may change: the image and the mute memory.
struct Snapshot {
    BlockSet blocks{false};
    std::array<MuteMemory, 4> mute{};
    bool operator==(const Snapshot& o) const
    {
        for (int i = 0; i < kBlocksPerPerformance; ++i)
            if (!std::equal(blocks.at(i).view().begin(), blocks.at(i).view().end(), o.blocks.at(i).view().begin()))
                return false;
        for (size_t l = 0; l < 4; ++l)
            if (mute[l].savedVolume != o.mute[l].savedVolume || mute[l].muted != o.mute[l].muted)
                return false;
        return true;
    }
};

struct UndoTest : kwtest::BankFixture {
    UndoTest()
    {
        // A performance the synth holds, fetched: the image as received.
        synth.fillMemory(23);
        session.chooseUserPerf(17);
        runAll();
        clearSent();
    }
    void clearSent()
    {
        synth.clear();
        synth.sentAt.clear();
    }
    Snapshot now() const { return {img.edit, st.mute}; }
    Strings sentFrom(size_t first) const
    {
        Strings out;
        for (size_t i = first; i < synth.sent.size(); ++i)
            out.push_back(hex(synth.sent[i]));
        return out;
    }
    // The data bytes the synth's edit buffer holds, and the image's.
    static Bytes data(const BlockSet& set)
    {
        Bytes out;
        for (int i = 0; i < kBlocksPerPerformance; ++i)
            out.insert(out.end(), set.at(i).bytes() + 9, set.at(i).bytes() + set.at(i).size() - 2);
        return out;
    }
    void undoAll()
    {
        while (session.canUndo())
            session.undo();
    }
};

// One random edit as the window makes them, on a random layer, sometimes
// under "Edit all Layers simult.".
void randomEdit(EditSession& session, std::mt19937& rnd)
{
    static const std::vector<const FieldRow*> rows = [] {
        std::vector<const FieldRow*> out;
        for (const auto* table : {&layerFieldTable(), &commonFieldTable()})
            for (const FieldRow& r : *table)
                if (std::string_view(r.control) != "PerformanceName" && std::string_view(r.control).substr(0, 5) != "VPara")
                    out.push_back(&r);
        return out;
    }();
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rnd); };
    session.setEditLayer(pick(1, 4));
    session.setAffectAll(pick(0, 4) == 0);
    switch (pick(0, 19)) {
    case 0: session.mute(pick(1, 4), pick(0, 1)); break;
    case 1: session.setName(std::string(size_t(pick(0, 8)), char(pick('A', 'Z')))); break;
    case 2: session.setVariationValue(pick(0, 5), pick(0, 16383)); break;
    case 3: session.velocityDefaults(); break;
    case 4:
        session.copyLayer();
        session.setEditLayer(pick(1, 4));
        session.pasteLayer();
        break;
    default: {
        const FieldRow& r = *rows[size_t(pick(0, int(rows.size()) - 1))];
        session.apply(r, pick(r.min, r.max), r.tabStride ? pick(0, 3) : 0);
    }
    }
}

} // namespace

TEST_F(UndoTest, HundredRandomEditsUndoneSendTheOldValuesInReverseAndRedoneSendThemAgain)
{
    for (unsigned seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        session.chooseUserPerf(int(seed));  // a history of its own for each
        runAll();
        std::mt19937 rnd(seed);
        const Snapshot start = now();
        struct Step {
            Snapshot before;
            std::vector<Bytes> sent;
        };
        std::vector<Step> steps;
        for (int i = 0; i < 100; ++i) {
            Snapshot before = now();
            const size_t first = synth.sent.size();
            randomEdit(session, rnd);
            session.endGesture();
            if (now() == before)
                continue;  // nothing to undo (the value it had, or a copy)
            steps.push_back({std::move(before), {synth.sent.begin() + long(first), synth.sent.end()}});
        }
        ASSERT_GT(steps.size(), 70u);
        ASSERT_EQ(session.historySize(), steps.size());
        const Snapshot edited = now();
        EXPECT_EQ(data(synth.synth.editBuffer()), data(img.edit));

        // Each undo sends what its edit sent, with the values from before it.
        size_t first = synth.sent.size();
        undoAll();
        Strings expected;
        for (auto s = steps.rbegin(); s != steps.rend(); ++s)
            for (const Bytes& m : s->sent)
                expected.push_back(hex(kwtest::withValuesOf(m, s->before.blocks)));
        EXPECT_EQ(sentFrom(first), expected);
        EXPECT_TRUE(now() == start);
        EXPECT_EQ(data(synth.synth.editBuffer()), data(start.blocks));

        // Each redo sends exactly what its edit sent.
        first = synth.sent.size();
        while (session.canRedo())
            session.redo();
        expected.clear();
        for (const Step& s : steps)
            for (const Bytes& m : s.sent)
                expected.push_back(hex(m));
        EXPECT_EQ(sentFrom(first), expected);
        EXPECT_TRUE(now() == edited);
    }
}

TEST_F(UndoTest, OneGestureOfOneControlIsOneStep)
{
    const uint8_t old = img.edit.layer(2).data(0x11);
    session.setEditLayer(2);
    for (int p = 0; p < 50; ++p)  // a drag through 50 positions
        session.apply(row("FilterCutoff"), p == 49 ? 10 : p);
    EXPECT_EQ(session.historySize(), 1u);
    EXPECT_EQ(session.undoText(), "Filter Cutoff (Layer 2)");
    clearSent();
    session.undo();
    EXPECT_EQ(sentFrom(0), Strings{"F0 43 10 4B 60 02 11 " + hexByte(old) + " F7"});
    session.redo();
    EXPECT_EQ(img.edit.layer(2).data(0x11), 127 - 10);

    // Another control in the same gesture is a step of its own, and typing
    // the name is one step however many letters.
    session.endGesture();
    for (const char* typed : {"S", "So", "Sof", "Soft"})
        session.setName(typed);
    session.endGesture();
    EXPECT_EQ(session.historySize(), 2u);
    EXPECT_EQ(session.undoText(), "Performance Name");

    // A drag that ends where it began leaves nothing to undo, and the same
    // bar dragged again later is a new step.
    const size_t before = session.historySize();
    const int at = session.position(row("LFOSpeed"));
    session.apply(row("LFOSpeed"), at == 1 ? 2 : 1);
    session.apply(row("LFOSpeed"), at);
    session.endGesture();
    EXPECT_EQ(session.historySize(), before);
    session.apply(row("FilterCutoff"), 30);
    session.endGesture();
    session.apply(row("FilterCutoff"), 31);
    EXPECT_EQ(session.historySize(), before + 2);
}

TEST_F(UndoTest, EveryKindOfStepSaysWhatItChanges)
{
    struct Case {
        std::function<void(EditSession&)> edit;
        std::string text;
    };
    const Case cases[] = {
        {[](EditSession& s) { s.setEditLayer(3); s.apply(row("AEGAtkTime"), 5); }, "Amp EG Attack (Layer 3)"},
        {[](EditSession& s) { s.setAffectAll(true); s.apply(row("PanPot"), 5); }, "Pan (All Layers)"},
        {[](EditSession& s) { s.apply(row("NoteDetune"), 40); }, "Detune (Layer 1)"},
        {[](EditSession& s) { s.setEditLayer(2); s.velocityDefaults(); }, "Velocity Defaults (Layer 2)"},
        {[](EditSession& s) { s.copyLayer(); s.setEditLayer(4); s.pasteLayer(); }, "Paste Layer (Layer 4)"},
        {[](EditSession& s) { s.apply(row("PatchVoiceNumber"), 77); }, "Voice (Layer 1)"},
        {[](EditSession& s) { s.apply(row("PatchBankNumber"), 3); }, "Bank (Layer 1)"},
        {[](EditSession& s) { s.setEditLayer(2); s.apply(row("LayerOn"), 0); }, "Layer Off (Layer 2)"},
        {[](EditSession& s) { s.mute(3, true); }, "Mute Layer 3"},
        {[](EditSession& s) { s.apply(row("Assign2Level"), 40, 2); }, "Assign Knob 2 Sense (Param. 3)"},
        {[](EditSession& s) { s.apply(row("CommonVolume"), 3); }, "Volume"},
        {[](EditSession& s) { s.setVariationValue(5, 1234); }, "Variation Parameter 10"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        session.setEditLayer(1);
        session.setAffectAll(false);
        c.edit(session);
        session.endGesture();
        EXPECT_EQ(session.undoText(), c.text);
        session.undo();
        EXPECT_EQ(session.redoText(), c.text);
        session.redo();
    }
    EXPECT_EQ(session.historySize(), std::size(cases));

    // Every control of the field tables has words of its own.
    for (const auto* table : {&layerFieldTable(), &commonFieldTable()})
        for (const FieldRow& r : *table)
            EXPECT_NE(fieldTitle(r), r.control);
}

TEST_F(UndoTest, UndoingShowsTheLayerItChangesAndSendsOnlyThatLayer)
{
    // Each layer its own cutoff, then all four set at once.
    for (int l = 1; l <= 4; ++l)
        img.edit.layer(l).data(0x11) = uint8_t(10 * l);
    session.setAffectAll(true);
    session.apply(row("FilterCutoff"), 0);
    session.endGesture();
    session.setAffectAll(false);
    session.setEditLayer(3);
    session.apply(row("FilterResonance"), 0);
    session.endGesture();
    session.setEditLayer(1);
    clearSent();
    session.undo();
    EXPECT_EQ(st.editLayer, 3);
    session.setEditLayer(2);
    session.undo();
    // Each layer gets its own old value back, in layer order.
    EXPECT_EQ(sentFrom(1), (Strings{"F0 43 10 4B 60 01 11 0A F7", "F0 43 10 4B 60 02 11 14 F7",
                                    "F0 43 10 4B 60 03 11 1E F7", "F0 43 10 4B 60 04 11 28 F7"}));
    EXPECT_EQ(st.editLayer, 2);  // all four changed: the layer shown stays
    EXPECT_GE(ui.showImageCount, 2);
}

TEST_F(UndoTest, MuteAndItsMemoryComeBackAsTheyWere)
{
    session.setEditLayer(2);
    session.apply(row("LayerVolume"), 27);   // volume 100
    session.endGesture();
    session.mute(2, true);                   // silent, 100 kept aside
    session.endGesture();
    session.apply(row("LayerVolume"), 57);   // 70 kept aside, still silent
    session.endGesture();
    clearSent();
    session.undo();
    EXPECT_EQ(st.mute[1].savedVolume, 100);
    EXPECT_TRUE(st.mute[1].muted);
    session.undo();
    EXPECT_FALSE(st.mute[1].muted);
    EXPECT_EQ(img.edit.layer(2).data(0x07), 100);
    EXPECT_EQ(sentFrom(0), (Strings{"F0 43 10 4B 60 02 07 00 F7", "F0 43 10 4B 60 02 07 64 F7"}));
    session.redo();
    session.redo();
    EXPECT_EQ(st.mute[1].savedVolume, 70);
    EXPECT_EQ(img.edit.layer(2).data(0x07), 0);
}

TEST_F(UndoTest, AFetchOrAFileStartsANewHistoryAndSaysSoOnlyWhenStepsWereDropped)
{
    session.apply(row("FilterCutoff"), 3);
    session.endGesture();
    session.apply(row("CommonVolume"), 3);
    session.chooseUserPerf(40);  // asks first: the edit would be lost
    ASSERT_EQ(dialogs.questions.size(), 1u);
    runAll();
    EXPECT_FALSE(session.canUndo());
    EXPECT_FALSE(session.canRedo());
    EXPECT_EQ(std::count(ui.statuses.begin(), ui.statuses.end(), "Undo history cleared (2 steps)"), 1);
    const Bytes fetched = data(img.edit);
    clearSent();
    session.undo();
    EXPECT_TRUE(synth.sent.empty());
    EXPECT_EQ(data(img.edit), fetched);

    // Nothing dropped, nothing said.
    ui.statuses.clear();
    session.chooseUserPerf(41);
    runAll();
    for (const std::string& s : ui.statuses)
        EXPECT_EQ(s.find("Undo history"), std::string::npos) << s;

    // A performance file opened is a new start too.
    session.apply(row("FilterCutoff"), 9);
    const std::string path = file("opened.SYX", kwtest::randomRecords({5}, 7)[0]);
    dialogs.files.push_back(path);
    SessionFixture::file.MenuFileOpenActPerfClick();
    runAll();
    EXPECT_FALSE(session.canUndo());
    EXPECT_EQ(std::count(ui.statuses.begin(), ui.statuses.end(), "Undo history cleared (1 step)"), 1);
}

TEST_F(UndoTest, EditsWithTheOutputClosedAreUndoneAsWell)
{
    const Snapshot start = now();
    synth.open = false;
    session.apply(row("FilterCutoff"), 3);
    session.endGesture();
    session.mute(4, true);
    session.endGesture();
    session.undo();
    session.undo();
    EXPECT_TRUE(now() == start);
    synth.open = true;
    clearSent();
    session.redo();
    EXPECT_EQ(sentFrom(0), Strings{"F0 43 10 4B 60 01 11 7C F7"});
}

TEST_F(UndoTest, BackAtWhatTheSynthStoresNothingIsModified)
{
    EXPECT_FALSE(st.modified);
    session.apply(row("FilterCutoff"), 3);
    session.endGesture();
    EXPECT_TRUE(st.modified);
    session.undo();
    EXPECT_FALSE(st.modified);  // a switch asks nothing: nothing would be lost
    session.redo();
    EXPECT_TRUE(st.modified);

    // "Save changes to User-Perf" makes the edit what is stored.
    dialogs.userPerfs.push_back(17);
    bulk.SaveToSynthClick();
    runAll();
    EXPECT_FALSE(st.modified);
    session.undo();
    EXPECT_TRUE(st.modified);
    session.redo();
    EXPECT_FALSE(st.modified);
}

TEST_F(UndoTest, CompareSendsTheOriginalThenTheEditAndRefusesEditsMeanwhile)
{
    const Bytes original = data(img.edit);
    session.setEditLayer(2);
    session.apply(row("FilterCutoff"), 3);
    session.endGesture();
    session.mute(3, true);
    session.endGesture();
    const Snapshot edited = now();
    const bool modified = st.modified;

    clearSent();
    session.compare();
    EXPECT_TRUE(session.comparing());
    EXPECT_EQ(data(img.edit), original);
    EXPECT_EQ(st.mute[2].muted, false);
    runAll();
    EXPECT_EQ(addresses(), (Strings{"60 00 00", "60 00 30", "60 00 50", "60 01 00", "60 02 00", "60 03 00",
                                    "60 04 00"}));
    EXPECT_EQ(gaps(), std::vector<long long>(6, settings.transferPause()));
    EXPECT_EQ(data(synth.synth.editBuffer()), original);

    // Refused, and said so: nothing changes, nothing is sent.
    clearSent();
    session.apply(row("FilterCutoff"), 100);
    session.mute(1, true);
    session.undo();
    EXPECT_TRUE(synth.sent.empty());
    EXPECT_EQ(data(img.edit), original);
    EXPECT_EQ(ui.statusLine, "Comparing with the original - press Compare to edit again");
    // The edit is still what "Save" stores.
    EXPECT_EQ(data(session.editedImage()), data(edited.blocks));

    session.compare();
    runAll();
    EXPECT_FALSE(session.comparing());
    EXPECT_TRUE(now() == edited);
    EXPECT_EQ(addresses().size(), 7u);
    EXPECT_EQ(data(synth.synth.editBuffer()), data(edited.blocks));
    EXPECT_EQ(st.modified, modified);
    session.undo();
    EXPECT_TRUE(st.mute[2].muted == false);

    // Not while a transfer runs.
    session.chooseUserPerf(3);
    session.compare();
    EXPECT_FALSE(session.comparing());
    runAll();
}

TEST_F(UndoTest, CompareSaysWhetherItComparesWithAFetchOrWithWhatWasLoaded)
{
    session.apply(row("FilterCutoff"), 3);
    session.compare();
    EXPECT_EQ(ui.statusLine, "Comparing with the performance as fetched");
    runAll();
    session.compare();
    runAll();

    const std::string path = file("opened.SYX", kwtest::randomRecords({5}, 7)[0]);
    dialogs.files.push_back(path);
    SessionFixture::file.MenuFileOpenActPerfClick();
    runAll();
    session.apply(row("FilterCutoff"), 3);
    session.compare();
    EXPECT_EQ(ui.statusLine, "Comparing with the performance as loaded");
    runAll();
    session.compare();
    EXPECT_EQ(ui.statusLine, "Back to the edited performance");
    runAll();
}

TEST_F(UndoTest, TheHistoryKeepsTheNewestTenThousandSteps)
{
    session.setAffectAll(true);
    for (int i = 0; i < int(EditSession::kHistorySteps) + 50; ++i) {
        session.apply(row(i % 2 ? "FilterCutoff" : "FilterResonance"), i % 128);
        session.endGesture();
        if (i == 49) {
            ASSERT_EQ(session.historySize(), 50u);
        }
    }
    EXPECT_EQ(session.historySize(), EditSession::kHistorySteps);
    EXPECT_LT(session.historyBytes(), 5u << 20);
    undoAll();
    // Back to the 50th edit, not further.
    EXPECT_EQ(img.edit.layer(4).data(0x11), 127 - 49);
    EXPECT_EQ(img.edit.layer(4).data(0x12), 127 - 48);
}

// ---------------------------------------------------------------------------
// The bank manager

TEST_F(UndoTest, ABankStepGivesBackTheSlotsTheirLinesAndTheirMarks)
{
    // A bank loaded into slots 1..4, unmarked; then twenty files dropped,
    // a bank among them that is read a slice at a time.
    const auto loaded = kwtest::randomRecords({0, 1, 2, 3}, 3);
    ASSERT_TRUE(load(bankFile("four.PFB", loaded)));
    EXPECT_EQ(manager.undoText(), "Load Performance-bank");
    std::vector<std::string> files;
    const auto records = kwtest::randomRecords(std::vector<int>(20, 0), 4);
    for (size_t i = 0; i < records.size(); ++i)
        files.push_back(file("drop" + std::to_string(i) + ".SYX", records[i]));
    files.insert(files.begin() + 10, bankFile("hundred.PFB", kwtest::randomRecords({100}, 5)));
    bool dropDone = false;
    manager.dropFiles(2, files, [&] { dropDone = true; });
    // Half a drop is no step to undo.
    manager.undo();
    EXPECT_TRUE(model.occupied(3));
    clock.advance(0);
    ASSERT_TRUE(dropDone);
    struct Shown {
        BankSlots records;
        std::vector<std::string> entries;
        std::vector<bool> marks;
    };
    auto shown = [&] {
        Shown s{model.contents(), {}, {}};
        for (int i = 0; i < kUserPerformances; ++i) {
            s.entries.push_back(model.entry(i));
            s.marks.push_back(model.changed(i));
        }
        return s;
    };
    const Shown dropped = shown();
    EXPECT_TRUE(dropped.marks[21]);
    EXPECT_TRUE(dropped.records[100].occupied());
    EXPECT_FALSE(dropped.marks[0]);

    manager.clearAll();
    EXPECT_EQ(manager.undoText(), "Clear all");
    manager.undo();
    Shown back = shown();
    EXPECT_EQ(back.records, dropped.records);
    EXPECT_EQ(back.entries, dropped.entries);
    EXPECT_EQ(back.marks, dropped.marks);
    EXPECT_EQ(manager.undoText(), "Drop");
    manager.undo();
    back = shown();
    for (int i = 0; i < kUserPerformances; ++i)
        EXPECT_EQ(back.records[size_t(i)].occupied(), i < 4) << i;
    EXPECT_FALSE(model.anyChanged());
    manager.redo();
    manager.redo();
    EXPECT_EQ(shown().records, BankSlots{});

    // Delete is one step; a save since an undone load keeps its marks cleared.
    manager.undo();
    manager.deleteSlot(21);
    manager.undo();
    EXPECT_EQ(model.contents(), dropped.records);
    dialogs.files.push_back((dir / "saved.PFB").string());
    ASSERT_TRUE(manager.save());
    manager.undo();  // the drop
    EXPECT_FALSE(model.occupied(21));
    EXPECT_TRUE(model.changed(21));  // the bank on disk holds it
}

TEST_F(UndoTest, AnAuditionGivesBackTheEditAndItsHistoryUnlessEditedOver)
{
    session.apply(row("FilterCutoff"), 3);
    session.endGesture();
    manager.dropPerformanceFile(0, file("a.SYX", kwtest::randomRecords({0}, 9)[0]), "a.SYX");
    const Bytes edited = data(img.edit);
    for (bool editedOver : {false, true}) {
        SCOPED_TRACE(editedOver);
        manager.opening();
        manager.audition(0);
        runAll();
        // The synth holds the slot: there is no edit to compare with.
        session.compare();
        EXPECT_FALSE(session.comparing());
        if (editedOver) {
            session.apply(row("CommonVolume"), 9);
            session.endGesture();
        }
        manager.closed();
        runAll();
        EXPECT_EQ(data(img.edit), edited);
        EXPECT_EQ(data(synth.synth.editBuffer()), edited);
        EXPECT_EQ(session.canUndo(), !editedOver);
    }
    // The first time the synth held the edit again and the step still led
    // to it; the second time a step was taken on the slot's image.
    EXPECT_FALSE(session.canUndo());
    EXPECT_EQ(std::count(ui.statuses.begin(), ui.statuses.end(), "Undo history cleared (2 steps)"), 1);
}

// ---------------------------------------------------------------------------
// The history itself, with steps that are plain numbers

namespace {

struct NumberStep {
    int n = 0;
    size_t size = 0;
    bool mergeWith(const NumberStep&) { return false; }
    bool empty() const { return false; }
    size_t bytes() const { return size; }
};

// The steps an undo would take back, newest first.
std::vector<int> undoable(History<NumberStep> h)
{
    std::vector<int> out;
    while (const NumberStep* s = h.toUndo()) {
        out.push_back(s->n);
        h.undone();
    }
    return out;
}

} // namespace

TEST(History, TheOldestStepsGoFirstWhicheverLimitTheyReach)
{
    struct Case {
        size_t maxSteps, maxBytes;
        std::vector<size_t> sizes;  // of steps 1, 2, 3, ...
        std::vector<int> kept;      // newest first
    };
    const Case cases[] = {
        {3, 1000, {1, 1, 1, 1, 1}, {5, 4, 3}},
        {10, 10, {4, 4, 4, 1, 1, 6}, {6, 5, 4}},
        // Room made by bytes while the ring still grows, then filled again.
        {6, 10, {8, 1, 1, 1, 1, 1, 1, 1}, {8, 7, 6, 5, 4, 3}},
        {4, 10, {20}, {1}},  // a step too big alone is still kept
    };
    for (const Case& c : cases) {
        History<NumberStep> h(c.maxSteps, c.maxBytes);
        for (size_t i = 0; i < c.sizes.size(); ++i)
            h.record({int(i + 1), c.sizes[i]});
        EXPECT_EQ(undoable(h), c.kept);
    }

    // A new step after undos drops the steps undone, and the state stored
    // among them can no longer be reached.
    History<NumberStep> h(10);
    for (int i = 1; i <= 3; ++i)
        h.record({i, 1});
    h.markClean();
    h.undone();
    h.undone();
    EXPECT_FALSE(h.atClean());
    h.record({9, 1});
    EXPECT_EQ(undoable(h), (std::vector<int>{9, 1}));
    h.redone();
    EXPECT_FALSE(h.atClean());
}
