// The bank manager without its window, against the virtual CS1x in virtual
// time: slots filled by drops and banks, auditions and the restore after
// them, saving, the marks of unsaved slots and the question at exit.
#include "BankFixture.h"

#include "support/RandomRecords.h"

using namespace kw;
namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

namespace {

struct Bank : kwtest::BankFixture {
    std::vector<int> changedSlots() const
    {
        std::vector<int> out;
        for (int i = 0; i < kUserPerformances; ++i)
            if (model.changed(i))
                out.push_back(i);
        return out;
    }
    Bytes synthEditData() const { return editData(synth.synth.editBuffer()); }
};

} // namespace

TEST_F(Bank, ADroppedFileTakesTheSlotsAddressesAndKeepsEverythingElse)
{
    const PerformanceRecord r = kwtest::randomRecords({9}, 1)[0];
    ASSERT_TRUE(manager.dropPerformanceFile(4, file("SQ_Pan Seq.SYX", r), "SQ_Pan Seq.SYX"));
    const PerformanceRecord& slot = model.slot(4);
    for (size_t at : {6, 63, 95, 115, 167, 219, 271}) {
        EXPECT_EQ(slot[at + 1], 0x04) << at;
        EXPECT_EQ(slot[at], r[at]) << "the address's other two bytes stay";
        EXPECT_EQ(slot[at + 2], r[at + 2]);
    }
    EXPECT_EQ(slot[6], 0x70);
    EXPECT_EQ(slot[115], 0x71);
    EXPECT_EQ(slot[271], 0x74);
    size_t differing = 0;
    for (size_t i = 0; i < PerformanceRecord::kSize; ++i)
        differing += slot[i] != r[i];
    EXPECT_EQ(differing, 7u) << "the seven numbers, and not the checksums";
    EXPECT_EQ(model.entry(4), "005  SQ Pan Seq");
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST(BankEntries, AFileNameBecomesTheSlotsLineByTheFixedRule)
{
    EXPECT_EQ(droppedEntry(0, "SQ_Pan Seq.SYX"), "001  SQ Pan Seq");
    EXPECT_EQ(droppedEntry(127, "PF_Grand.syx"), "128  PF Grand");
    // Cut to 15 first, then four off: a long name loses more than ".SYX".
    EXPECT_EQ(droppedEntry(9, "SQ_Pan Sequence1.SYX"), "010  SQ Pan Sequ");
    // Characters, not bytes: an umlaut counts once and is never split.
    EXPECT_EQ(droppedEntry(1, "SQ_Über.SYX"), "002  SQ Über");
    EXPECT_EQ(droppedEntry(1, "PF_ÄÖÜäöüßÄÖÜ.SYX"), "002  PF ÄÖÜäöüßÄ");
    // Too short for a third character: nothing to blank, nothing broken.
    EXPECT_EQ(droppedEntry(2, "ab.SYX"), "003  ab");
    EXPECT_EQ(droppedEntry(2, ".SYX"), "003  ");
    EXPECT_EQ(droppedEntry(2, "x"), "003  ");

    BankModel m;
    EXPECT_EQ(m.entry(0), "001");
    EXPECT_EQ(m.entry(127), "128");
    m.put(3, PerformanceRecord{}, "004  SQ Pan Sequence");
    m.put(4, PerformanceRecord{}, "005  ÄÖÜÄÖÜÄÖÜÄÖÜÄÖÜ");
    m.cutEntries();
    EXPECT_EQ(m.entry(3), "004  SQ Pan Seq");
    EXPECT_EQ(m.entry(4), "005  ÄÖÜÄÖÜÄÖÜÄ");
    EXPECT_EQ(m.entry(0), "001");
}

TEST_F(Bank, ARefusedDropLeavesTheSlotAndItsLineAlone)
{
    const PerformanceRecord r = kwtest::randomRecords({2}, 2)[0];
    ASSERT_TRUE(manager.dropPerformanceFile(2, file("a.SYX", r), "a.SYX"));
    const PerformanceRecord before = model.slot(2);

    kwtest::writeAll(dir / "bank.PFB", Bytes(400));
    EXPECT_FALSE(manager.dropPerformanceFile(2, (dir / "bank.PFB").string(), "bank.PFB"));
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0], "Load-Error : Wrong filesize\n" + (dir / "bank.PFB").string() + ": 400 bytes");

    EXPECT_FALSE(manager.dropPerformanceFile(2, (dir / "gone.SYX").string(), "gone.SYX"));
    ASSERT_EQ(dialogs.boxes.size(), 2u);
    EXPECT_EQ(dialogs.boxes[1].rfind("Load-Error : Unable to open file\n" + (dir / "gone.SYX").string(), 0), 0u);
    EXPECT_EQ(model.slot(2), before);
    EXPECT_EQ(model.entry(2), "003  a");
}

TEST_F(Bank, ALoadedBankSetsOnlyTheSlotsItsRecordsName)
{
    const PerformanceRecord kept = kwtest::randomRecords({0}, 3)[0];
    ASSERT_TRUE(manager.dropPerformanceFile(0, file("k.SYX", kept), "k.SYX"));
    const PerformanceRecord first = kwtest::makeRecord(3, 22, "Pan Seq ");
    const PerformanceRecord later = kwtest::makeRecord(3, 1, "  Grand ");
    const PerformanceRecord seven = kwtest::makeRecord(7, 0, "Init    ");
    const auto set = load(bankFile("b.PFB", {first, seven, later}));
    ASSERT_TRUE(set);
    EXPECT_EQ(*set, (std::vector<int>{3, 7}));
    EXPECT_EQ(model.slot(3), later) << "the later record of one number wins";
    EXPECT_EQ(model.slot(7), seven);
    EXPECT_EQ(model.entry(3), "004  PF Grand");
    EXPECT_EQ(model.entry(7), "008  --   Init");
    for (int i = 0; i < kUserPerformances; ++i)
        if (i != 0 && i != 3 && i != 7) {
            ASSERT_FALSE(model.occupied(i)) << i;
            ASSERT_EQ(model.entry(i), entryNumber(i));
        }
    EXPECT_EQ(model.entry(0), "001  k") << "a slot the bank does not name keeps its content";

    // A record numbered beyond the 128 slots is left out and said so.
    Bytes bytes = bankBytes(std::vector<PerformanceRecord>{kwtest::makeRecord(5, 2, "Five    ")});
    bytes[14 + 7] = 0x85;
    kwtest::writeAll(dir / "odd.PFB", bytes);
    ASSERT_TRUE(load((dir / "odd.PFB").string()));
    EXPECT_EQ(dialogs.boxes, Strings{"Performance-bank record 1 skipped: number out of range"});
    EXPECT_FALSE(model.occupied(5));

    // A file that is no bank changes nothing.
    kwtest::writeAll(dir / "bad.PFB", kwtest::view("Knobwright pfb"));
    EXPECT_FALSE(load((dir / "bad.PFB").string()));
    EXPECT_EQ(dialogs.boxes.back(), "Load-Error : Not a valid Performance-bank file\n" + (dir / "bad.PFB").string());
    EXPECT_EQ(model.slot(3), later);
}

TEST_F(Bank, FilesFromTheDesktopFillSlotsFromTheOneUnderTheMouse)
{
    const auto r = kwtest::randomRecords({40, 41, 42, 43}, 4);
    const std::string bank = bankFile("two.pfb", {kwtest::makeRecord(10, 3, "Banked  ")});
    kwtest::writeAll(dir / "notes.txt", kwtest::view("hello"));
    kwtest::writeAll(dir / "short.syx", Bytes(12));
    drop(125, {file("PF_One.SYX", r[0]), (dir / "notes.txt").string(), (dir / "short.syx").string(),
                            file("BA_Two.syx", r[1]), bank, file("SQ_Three.SYX", r[2]), file("LD_Four.SYX", r[3])});
    EXPECT_EQ(model.entry(125), "126  PF One");
    EXPECT_EQ(model.entry(126), "127  BA Two") << "a refused file leaves no gap";
    EXPECT_EQ(model.entry(127), "128  SQ Three");
    EXPECT_EQ(model.slot(127)[7], 127);
    EXPECT_EQ(model.entry(10), "011  OR Banked") << "a bank goes by its own numbers";
    ASSERT_EQ(dialogs.boxes.size(), 1u) << "one box for all that went wrong";
    EXPECT_EQ(dialogs.boxes[0], "Load-Error : Wrong filesize\n" + (dir / "short.syx").string()
                                    + ": 12 bytes\n\nNo slot after 128 for: LD_Four.SYX");
}

TEST_F(Bank, TheAuditionGoesToTheEditBufferAndClosingGivesTheEditBack)
{
    manager.opening();
    manager.audition(5);
    manager.closed();
    runAll();
    EXPECT_TRUE(synth.sent.empty()) << "an empty slot sends nothing, and closing then neither";

    const Bytes before = editData(img.edit);
    st.modified = false;
    PerformanceRecord r = kwtest::randomRecords({0}, 5)[0];
    r[9 + 3] = 0xC1;  // a byte a file may hold but the synth must never see
    r[265 + 9 + 40] = 0xFF;
    ASSERT_TRUE(manager.dropPerformanceFile(5, file("r.SYX", r), "r.SYX"));

    manager.opening();
    manager.audition(5);
    EXPECT_EQ(ui.statusLine, "2 data bytes above 127 cut to 7 bits");
    EXPECT_TRUE(ui.outLamp) << "lime while it goes out";
    EXPECT_TRUE(ui.busy);
    runAll();
    EXPECT_FALSE(ui.outLamp) << "green again";
    EXPECT_TRUE(manager.slotSent());
    EXPECT_EQ(addresses(), (Strings{"60 00 00", "60 00 30", "60 00 50", "60 01 00", "60 02 00", "60 03 00",
                                    "60 04 00"}));
    EXPECT_EQ(gaps(), (std::vector<long long>(6, 100)));
    PerformanceRecord clamped = r;
    clamped.clampDataTo7Bit();
    BlockSet expected(false);
    clamped.toEdit(expected);
    EXPECT_EQ(synthEditData(), editData(expected));
    EXPECT_EQ(editData(img.edit), editData(expected));
    EXPECT_EQ(ui.refreshAllCount, 0) << "the window keeps showing the performance it showed";
    EXPECT_EQ(model.slot(5), manager.bank().slot(5));
    EXPECT_EQ(model.slot(5)[12], 0xC1) << "the slot keeps the file's bytes";

    synth.sent.clear();
    synth.sentAt.clear();
    manager.closed();
    runAll();
    EXPECT_EQ(addresses(), (Strings{"60 00 00", "60 00 30", "60 00 50", "60 01 00", "60 02 00", "60 03 00",
                                    "60 04 00"}));
    EXPECT_EQ(gaps(), (std::vector<long long>(6, 100)));
    EXPECT_EQ(editData(img.edit), before);
    EXPECT_EQ(synthEditData(), before);
    EXPECT_FALSE(st.modified) << "as unedited as before the window opened";
    EXPECT_FALSE(manager.slotSent());
}

TEST_F(Bank, ClosingDuringAnAuditionAndOpeningAgainStillGivesBackTheEdit)
{
    const Bytes before = editData(img.edit);
    ASSERT_TRUE(manager.dropPerformanceFile(1, file("r.SYX", kwtest::randomRecords({0}, 12)[0]), "r.SYX"));
    manager.opening();
    manager.audition(1);
    clock.advance(150);
    manager.closed();
    EXPECT_EQ(editData(img.edit), before) << "the image is the window's again at once";
    manager.opening();
    runAll();
    manager.audition(1);
    runAll();
    manager.closed();
    runAll();
    EXPECT_EQ(synthEditData(), before);
}

TEST_F(Bank, AnAuditionWaitsForNothingButIsRefusedWhileATransferRuns)
{
    ASSERT_TRUE(manager.dropPerformanceFile(1, file("r.SYX", kwtest::randomRecords({0}, 6)[0]), "r.SYX"));
    manager.opening();
    session.programChange(3);
    ASSERT_TRUE(core.receiver.chainRunning());
    manager.audition(1);
    EXPECT_EQ(ui.statusLine, "Transfer running - please wait");
    runAll();
    EXPECT_TRUE(addresses().empty());
    EXPECT_FALSE(manager.slotSent());
}

TEST_F(Bank, APerformanceFetchedWhileTheWindowIsOpenIsWhatClosingKeeps)
{
    ASSERT_TRUE(manager.dropPerformanceFile(1, file("r.SYX", kwtest::randomRecords({0}, 7)[0]), "r.SYX"));
    manager.opening();
    manager.audition(1);
    runAll();
    // The player picks performance 4 on the synth; the editor follows.
    core.dispatcher.handle({0xC0, 0x03});
    runAll();
    ASSERT_EQ(ui.refreshAllCount, 1);
    const Bytes fetched = editData(img.edit);
    synth.sent.clear();
    manager.closed();
    runAll();
    EXPECT_TRUE(addresses().empty()) << "the synth already holds what the window shows";
    EXPECT_EQ(editData(img.edit), fetched);

    // Auditioning after such a fetch gives back the fetched one.
    manager.opening();
    manager.audition(1);
    runAll();
    core.dispatcher.handle({0xC0, 0x05});
    runAll();
    const Bytes fifth = editData(img.edit);
    manager.audition(1);
    runAll();
    synth.sent.clear();
    manager.closed();
    runAll();
    EXPECT_EQ(addresses().size(), 7u);
    EXPECT_EQ(synthEditData(), fifth);
}

TEST_F(Bank, ASavedBankReopensWithTheSameSlotsByteForByte)
{
    auto records = kwtest::randomRecords({3, 7, 127, 60, 25}, 8);
    // Two that lost their opening F0, one dropped and one from a bank: still performances.
    records[3][0] = records[4][0] = 0x00;
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(manager.dropPerformanceFile(records[size_t(i)].number(), file("x.SYX", records[size_t(i)]), "x.SYX"));
    ASSERT_TRUE(load(bankFile("damaged.PFB", {records[4]})));
    EXPECT_EQ(model.entry(25), "026  " + records[4].shortEntry());
    EXPECT_EQ(changedSlots(), (std::vector<int>{3, 7, 60, 127}));
    ctx.lastBankName = "earlier.PFB";
    dialogs.files = {(dir / "mine").string()};
    ASSERT_TRUE(manager.save());
    EXPECT_EQ(dialogs.log.back(), "save:Save Performance-bank as ...|Performance-banks (*.PFB *.pfb);;All files (*)|"
                                      + dir.path().string() + "|earlier.PFB");
    EXPECT_EQ(ctx.lastBankName, "mine.PFB");
    EXPECT_TRUE(changedSlots().empty());
    EXPECT_EQ(fs::file_size(dir / "mine.PFB"), 14u + 5 * 317);
    EXPECT_EQ(settings.perfBankDir, dir.path().string()) << "saving leaves the folder setting alone";

    BankModel other;
    BankManager reopened(ctx, other);
    ASSERT_TRUE(load((dir / "mine.PFB").string(), &reopened));
    for (int i = 0; i < kUserPerformances; ++i)
        ASSERT_EQ(other.slot(i), model.slot(i)) << i;

    // A folder that refuses the file: the error, no file, the marks stay.
    model.clear(3);
    fs::create_directories(dir / "ro");
    fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::owner_exec);
    if (::access((dir / "ro").c_str(), W_OK) != 0) {
        dialogs.files = {(dir / "ro" / "x.PFB").string()};
        EXPECT_FALSE(manager.save());
        EXPECT_EQ(dialogs.boxes.back().rfind("Save-Error : Unable to save file\n" + (dir / "ro" / "x.PFB").string(), 0),
                  0u);
        EXPECT_FALSE(fs::exists(dir / "ro" / "x.PFB"));
        EXPECT_EQ(changedSlots(), (std::vector<int>{3}));
    }
}

TEST_F(Bank, MarksFollowWhatDiffersFromTheLastLoadOrSave)
{
    const auto r = kwtest::randomRecords({3, 7, 9}, 9);
    ASSERT_TRUE(manager.dropPerformanceFile(20, file("x.SYX", r[2]), "x.SYX"));
    ASSERT_TRUE(load(bankFile("b.PFB", {r[0], r[1]})));
    EXPECT_EQ(changedSlots(), (std::vector<int>{20})) << "loaded slots match their file; the drop does not";
    model.clear(3);
    model.clear(20);
    EXPECT_EQ(changedSlots(), (std::vector<int>{3})) << "emptied again is as at the start";
    model.clearAll();
    EXPECT_EQ(changedSlots(), (std::vector<int>{3, 7}));
    EXPECT_EQ(model.entry(3), "004");
}

TEST_F(Bank, QuittingWithUnsavedSlotsAsksOnce)
{
    EXPECT_TRUE(manager.mayQuit());
    EXPECT_TRUE(dialogs.questions.empty()) << "nothing to lose, nothing asked";

    ASSERT_TRUE(manager.dropPerformanceFile(0, file("x.SYX", kwtest::randomRecords({0}, 10)[0]), "x.SYX"));
    dialogs.asks = {0};
    EXPECT_FALSE(manager.mayQuit()) << "the question closed without an answer: the program stays";
    dialogs.asks = {1};
    dialogs.files = {std::nullopt};
    EXPECT_FALSE(manager.mayQuit()) << "the save dialog cancelled: the program stays";
    EXPECT_EQ(dialogs.questions, Strings(2, kUnsavedBankQuestion));
    EXPECT_EQ(dialogs.log[0], std::string("ask:") + kUnsavedBankQuestion + "|Save|Discard");
    EXPECT_EQ(dialogs.log[2].rfind("save:Save Performance-bank as ...|", 0), 0u);

    dialogs.asks = {1};
    dialogs.files = {(dir / "quit.PFB").string()};
    EXPECT_TRUE(manager.mayQuit());
    EXPECT_EQ(fs::file_size(dir / "quit.PFB"), 14u + 317);

    ASSERT_TRUE(manager.dropPerformanceFile(1, file("y.SYX", kwtest::randomRecords({1}, 11)[0]), "y.SYX"));
    dialogs.asks = {2};
    EXPECT_TRUE(manager.mayQuit()) << "discarded";
    EXPECT_EQ(dialogs.questions.size(), 4u);
}

TEST_F(Bank, MovedSlotsSwapWithWhatTheyLandOnAndEveryPerformanceKeepsItsDataAndTakesItsSlotsNumber)
{
    // Ten from a bank, sound; one dropped from a file of another number,
    // whose checksums were made for that number and stay as they came.
    const std::vector<int> loaded = {0, 5, 6, 20, 21, 64, 100, 101, 126, 127};
    ASSERT_TRUE(load(bankFile("b.PFB", kwtest::randomRecords(loaded, 21))));
    const PerformanceRecord foreign = kwtest::randomRecords({90}, 22)[0];
    ASSERT_TRUE(manager.dropPerformanceFile(40, file("PF_Odd.SYX", foreign), "PF_Odd.SYX"));
    ASSERT_NE(model.slot(40).check().checksums, 0);

    // What a slot holds apart from where it is: its data and its line's text.
    const auto content = [](const PerformanceRecord& r) {
        PerformanceRecord c = r;
        c.setNumber(0, Checksums::Recompute);
        return c;
    };
    const auto holdings = [&] {
        std::vector<std::pair<Bytes, std::string>> out;
        for (int i = 0; i < kUserPerformances; ++i)
            if (model.occupied(i)) {
                const PerformanceRecord c = content(model.slot(i));
                out.push_back({Bytes(c.bytes().begin(), c.bytes().end()), model.entry(i).substr(5)});
            }
        std::sort(out.begin(), out.end());
        return out;
    };
    const auto slotsNow = [&] {
        std::vector<BankModel::SlotState> out;
        for (int i = 0; i < kUserPerformances; ++i)
            out.push_back(model.state(i));
        return out;
    };
    const auto held = holdings();
    const auto start = slotsNow();
    const auto checksums = [](const PerformanceRecord& r) {
        Bytes out;
        for (size_t i = 0; i < 7; ++i)
            out.push_back(r[kRecordMessageOffsets[i] + kRecordMessageLengths[i] - 2]);
        return out;
    };
    const Bytes foreignChecksums = checksums(model.slot(40));

    std::mt19937 rng(7);
    int moves = 0;
    for (int round = 0; round < 300; ++round) {
        // Mostly a slot that holds something; now and then any slot.
        std::vector<int> occupied;
        for (int i = 0; i < kUserPerformances; ++i)
            if (model.occupied(i))
                occupied.push_back(i);
        const int from = round % 4 == 0 ? int(rng() % kUserPerformances) : occupied[rng() % occupied.size()];
        const int to = round % 5 == 0 ? occupied[rng() % occupied.size()] : int(rng() % kUserPerformances);
        const auto before = slotsNow();
        const bool moved = manager.moveSlot(from, to);
        ASSERT_EQ(moved, from != to && before[size_t(from)].record.occupied()) << from << " -> " << to;
        if (!moved) {
            ASSERT_EQ(slotsNow(), before) << "nothing to move changes nothing";
            continue;
        }
        ++moves;
        const auto after = slotsNow();
        for (int i = 0; i < kUserPerformances; ++i) {
            if (i != from && i != to) {
                ASSERT_EQ(after[size_t(i)], before[size_t(i)]) << "only the two slots change";
            }
        }
        ASSERT_EQ(content(after[size_t(to)].record), content(before[size_t(from)].record));
        ASSERT_EQ(after[size_t(from)].record.occupied(), before[size_t(to)].record.occupied());
        ASSERT_EQ(manager.undoText(), "Move");
    }
    ASSERT_GT(moves, 100);
    EXPECT_EQ(holdings(), held) << "no performance lost, none doubled";
    for (int i = 0; i < kUserPerformances; ++i) {
        EXPECT_EQ(model.entry(i).substr(0, 3), entryNumber(i));
        if (!model.occupied(i))
            continue;
        const PerformanceRecord& r = model.slot(i);
        EXPECT_EQ(r.numberInRange(), i);
        const bool isForeign = content(r) == content(foreign);
        EXPECT_EQ(r.check().checksums != 0, isForeign) << "slot " << i;
        if (isForeign) {
            EXPECT_EQ(checksums(r), foreignChecksums);
        }
    }

    // Each move is one step: all undone is the bank as it was, marks and all.
    const auto moved = slotsNow();
    for (int i = 0; i < moves; ++i)
        manager.undo();
    EXPECT_EQ(slotsNow(), start);
    EXPECT_EQ(manager.undoText(), "Drop");
    for (int i = 0; i < moves; ++i)
        manager.redo();
    EXPECT_EQ(slotsNow(), moved);
}
