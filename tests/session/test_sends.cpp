// Sends to the synth as scheduled jobs, in virtual time: a performance file
// into the edit buffer or a user performance, a whole bank, and the edit
// stored into a user performance. Message order and pauses as the synth
// needs them, never a blocked window, and a program change from the synth
// waits for the send to end.
#include "SessionFixture.h"

#include "files/BankFile.h"
#include "files/PerformanceFile.h"
#include "midi/Messages.h"
#include "support/RandomRecords.h"

#include <random>

using namespace kw;
namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

namespace {

struct Sends : kwtest::SessionFixture {
    // The data bytes of a record, without headers and checksums.
    static Bytes dataOf(ByteView record)
    {
        Bytes out;
        for (int i = 0; i < 7; ++i) {
            const size_t at = kRecordMessageOffsets[size_t(i)], len = kRecordMessageLengths[size_t(i)];
            out.insert(out.end(), record.begin() + long(at + 9), record.begin() + long(at + len - 2));
        }
        return out;
    }
};

} // namespace

TEST_F(Sends, ABankSentAndFetchedBackIsTheSameInEveryDataByte)
{
    const auto sent = kwtest::randomBank(7);
    ASSERT_FALSE(writeBankFile(dir / "in.PFB", sent));
    settings.longDelay = false;
    st.selectedUserPerf = 12;
    dialogs.files = {(dir / "in.PFB").string()};
    bulk.MenuBulkPerfBankSynthClick();
    EXPECT_EQ(dialogs.log[0], "open:Select Performance-bank file|Performance-banks (*.PFB *.pfb);;All files (*)|"
                                  + dir.path().string());
    EXPECT_TRUE(ui.busy) << "busy from the first slice read";
    clock.advance(0);
    EXPECT_TRUE(ui.busy);
    EXPECT_TRUE(ui.outLamp) << "lime while the bank goes out";
    EXPECT_EQ(ui.selectedLine, -1);
    EXPECT_EQ(st.selectedUserPerf, -1);
    runAll();
    EXPECT_FALSE(ui.busy);
    EXPECT_FALSE(ui.outLamp);
    EXPECT_EQ(dialogs.progressValues.back(), 128);
    EXPECT_EQ(dialogs.boxes, Strings{"128 of 128 performances sent"}) << "the result in a box the user closes";
    EXPECT_EQ(entry(0), "001  " + sent[0].shortEntry());
    EXPECT_EQ(ui.statuses.end()[-2], "128 of 128 performances sent");
    // Seven blocks a performance, the transfer pause after every one.
    const auto g = gaps();
    ASSERT_EQ(g.size(), 128u * 7 - 1);
    EXPECT_TRUE(std::all_of(g.begin(), g.end(), [](long long ms) { return ms == 10; }));
    EXPECT_EQ(addresses()[7], "70 01 00");

    dialogs.asks = {1};
    dialogs.files = {(dir / "back.PFB").string()};
    bulk.MenuBulkAllPerfHDClick();
    runAll();
    EXPECT_EQ(dialogs.answers.back(), "128 of 128 performances saved in " + (dir / "back.PFB").string());
    const Bytes back = kwtest::readAll(dir / "back.PFB");
    ASSERT_EQ(back.size(), 40590u);
    for (int pp = 0; pp < 128; ++pp)
        ASSERT_EQ(dataOf(ByteView(back).subspan(14 + size_t(pp) * 317, 317)), dataOf(sent[size_t(pp)].bytes())) << pp;
}

TEST_F(Sends, ABankGoesToTheNumbersItsRecordsCarryInFileOrder)
{
    // Two records for performance 3: both go out, the later one stays.
    auto records = kwtest::randomRecords({3, 7, 3}, 8);
    // A record numbered past 128 and a byte of 0x80 or more in another.
    PerformanceRecord wild = records[1];
    wild[7] = 0x90;
    records.push_back(wild);
    records[1][100] = 0xC5;
    ASSERT_FALSE(writeBankFile(dir / "in.PFB", records));
    dialogs.files = {(dir / "in.PFB").string()};
    bulk.MenuBulkPerfBankSynthClick();
    clock.advance(0);
    EXPECT_EQ(dialogs.boxes, Strings{"Performance-bank record 4 skipped: number out of range"});
    EXPECT_EQ(ui.statuses.front(), "1 data byte above 127 cut to 7 bits");
    runAll();
    EXPECT_EQ(addresses().size(), 21u);
    EXPECT_EQ(addresses()[0], "70 03 00");
    EXPECT_EQ(addresses()[7], "70 07 00");
    EXPECT_EQ(synth.userRecord(3), Bytes(records[2].bytes().begin(), records[2].bytes().end()));
    EXPECT_EQ(synth.synth.user(7).at(2).data(100 - 89 - 9), 0x45);
    EXPECT_EQ(entry(3), "004  " + records[2].shortEntry());
    EXPECT_EQ(entry(7), "008  " + records[1].shortEntry());
}

TEST_F(Sends, AnEmptyBankSendsNothingAndBadBanksAreReported)
{
    kwtest::writeAll(dir / "empty.PFB", kwtest::view("Knobwright PFB"));
    kwtest::writeAll(dir / "short.PFB", kwtest::view("Knobwright PF"));
    kwtest::writeAll(dir / "odd.PFB", kwtest::view("Knobwright PFB!"));
    dialogs.files = {(dir / "empty.PFB").string(), (dir / "short.PFB").string(), (dir / "odd.PFB").string(),
                     (dir / "none.PFB").string()};
    st.selectedUserPerf = 4;
    bulk.MenuBulkPerfBankSynthClick();
    runAll();
    EXPECT_EQ(ui.outLampOn, 1) << "lime, and back to green";
    EXPECT_FALSE(ui.outLamp);
    EXPECT_EQ(ui.selectedLine, -1);
    EXPECT_TRUE(synth.sent.empty());
    EXPECT_EQ(dialogs.boxes, Strings{"0 of 0 performances sent"});
    dialogs.boxes.clear();
    for (int i = 0; i < 3; ++i) {
        bulk.MenuBulkPerfBankSynthClick();
        clock.advance(0);
    }
    ASSERT_EQ(dialogs.boxes.size(), 3u);
    EXPECT_EQ(dialogs.boxes[0], "Load-Error : Not a valid Performance-bank file\n" + (dir / "short.PFB").string());
    EXPECT_EQ(dialogs.boxes[1], "Load-Error : Wrong filesize\n" + (dir / "odd.PFB").string());
    EXPECT_EQ(dialogs.boxes[2].substr(0, 32), "Load-Error : Unable to open file");
    EXPECT_TRUE(synth.sent.empty());
}

TEST_F(Sends, CancellingABankSendFinishesThePerformanceInFlight)
{
    ASSERT_FALSE(writeBankFile(dir / "in.PFB", kwtest::randomRecords({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 9)));
    dialogs.files = {(dir / "in.PFB").string()};
    dialogs.cancelAt = 4;
    bulk.MenuBulkPerfBankSynthClick();
    runAll();
    EXPECT_EQ(addresses().size(), 4u * 7) << "whole performances only";
    EXPECT_FALSE(ui.busy);
    EXPECT_EQ(dialogs.boxes, Strings{"Transfer cancelled: 4 of 10 performances sent"});
}

TEST_F(Sends, OnlyWhatReachedAnOpenPortCountsAndAFailedSendSaysSo)
{
    const auto bank = kwtest::randomBank(21);
    ASSERT_FALSE(writeBankFile(dir / "in.PFB", bank));
    const auto record = kwtest::randomRecords({9}, 22)[0];
    ASSERT_FALSE(writePerformanceFile(dir / "p.SYX", record));
    synth.fillMemory(23);
    st.modified = true;
    const std::string reason = "the JACK server has shut down";
    struct Case {
        const char* what;
        void (kw::BulkCommands::*command)();
        long failFrom;  // -1: the output is not open at all
        std::string result;
    };
    const Case cases[] = {
        // 80 blocks went out: eleven performances and three of the twelfth.
        {"bank", &BulkCommands::MenuBulkPerfBankSynthClick, 80,
         "11 of 128 performances sent; performance 012 was cut off: " + reason},
        {"bank, first block", &BulkCommands::MenuBulkPerfBankSynthClick, 0,
         "0 of 128 performances sent; performance 001 was not sent: " + reason},
        {"one file", &BulkCommands::MenuBulkSinglePerfSynthClick, 3, "Performance 021 was cut off: " + reason},
        {"the edit", &BulkCommands::SaveToSynthClick, 6, "Performance 021 was cut off: " + reason},
        {"bank, no output", &BulkCommands::MenuBulkPerfBankSynthClick, -1, kNoOutputText},
        {"one file, no output", &BulkCommands::MenuBulkSinglePerfSynthClick, -1, kNoOutputText},
        {"the edit, no output", &BulkCommands::SaveToSynthClick, -1, kNoOutputText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes memoryBefore = synthMemory();
        std::vector<std::string> linesBefore;
        for (int pp = 0; pp < kUserPerformances; ++pp)
            linesBefore.push_back(entry(pp));
        synth.clear();
        dialogs.boxes.clear();
        dialogs.closeBox();
        synth.open = c.failFrom >= 0;
        // Ports chosen, the output not open (no device chosen is another text).
        settings.midiIn = settings.midiOut = "UM-ONE:MIDI 1";
        synth.failFrom = c.failFrom;
        synth.reason = reason;
        dialogs.files = {(dir / (c.command == &BulkCommands::MenuBulkPerfBankSynthClick ? "in.PFB" : "p.SYX")).string()};
        dialogs.userPerfs = {20};
        (bulk.*c.command)();
        runAll();
        ASSERT_FALSE(dialogs.boxes.empty());
        EXPECT_EQ(dialogs.boxes.front(), c.result);
        EXPECT_EQ(synth.sent.size(), size_t(std::max(0L, c.failFrom + 1))) << "nothing tried after the failure";
        EXPECT_FALSE(ui.busy);
        EXPECT_TRUE(st.modified) << "the edit counts as stored only once all of it is";
        // The synth holds what went out, the list says only that.
        const long whole = std::max(0L, c.failFrom) / 7;
        for (int pp = 0; pp < kUserPerformances; ++pp) {
            const bool banked = c.command == &BulkCommands::MenuBulkPerfBankSynthClick && pp < whole;
            EXPECT_EQ(entry(pp), banked ? numberedEntry(pp, bank[size_t(pp)].shortEntry()) : linesBefore[size_t(pp)])
                << pp;
            if (banked) {
                ASSERT_EQ(dataOf(synth.userRecord(pp)), dataOf(bank[size_t(pp)].bytes())) << pp;
            }
        }
        if (c.failFrom < 0) {
            EXPECT_EQ(synthMemory(), memoryBefore);
            EXPECT_TRUE(dialogs.log.back().rfind("inform:", 0) == 0) << "nothing asked: " << dialogs.log.back();
        }
        dialogs.log.clear();
    }
}

TEST_F(Sends, AHugeBankIsReadInSlicesListedInShortAndSentOnlyWhenTheUserAgrees)
{
    // The largest bank there may be: 65,536 records, all but 128 numbered
    // past the synth's performances.
    std::vector<PerformanceRecord> records = kwtest::randomBank(31);
    PerformanceRecord stray = records[0];
    stray[7] = 0x7F;
    records.resize(65536 - 200, stray);
    for (int i = 0; i < 200; ++i) {
        PerformanceRecord far = records[size_t(i % 128)];
        far[7] = 0x80 + uint8_t(i % 100);
        records.push_back(far);
    }
    ASSERT_FALSE(writeBankFile(dir / "huge.PFB", records));
    for (const bool yes : {false, true}) {
        SCOPED_TRACE(yes ? "sent" : "not sent");
        dialogs.boxes.clear();
        dialogs.details.clear();
        dialogs.files = {(dir / "huge.PFB").string()};
        dialogs.confirms = {yes};
        // The event loop runs between the slices: a timer that keeps coming
        // back at once while the bank is read runs again and again.
        int turns = 0;
        std::function<void()> turn = [&] {
            if (ctx.readingBank) {
                ++turns;
                clock.after(0, turn);
            }
        };
        bulk.MenuBulkPerfBankSynthClick();
        clock.after(0, turn);
        clock.advance(0);
        EXPECT_GE(turns, 32);
        ASSERT_EQ(dialogs.boxes.size(), 1u);
        EXPECT_EQ(dialogs.boxes[0].substr(dialogs.boxes[0].rfind('\n') + 1), "and 190 more");
        EXPECT_EQ(std::count(dialogs.boxes[0].begin(), dialogs.boxes[0].end(), '\n'), 10);
        EXPECT_EQ(std::count(dialogs.details[0].begin(), dialogs.details[0].end(), '\n'), 199) << "the whole list";
        // Asked first how many, then (when agreed) which memories it replaces.
        EXPECT_EQ(dialogs.questions.end()[yes ? -2 : -1],
                  "Performance-Bank (to CS1x): This bank holds 65,336 performances, more than the synth's 128 (a later "
                  "one replaces an earlier one of the same number).\nSending all of them takes about 14 h 33 min. "
                  "Send them?");
        if (!yes) {
            clock.runAll();
            EXPECT_TRUE(synth.sent.empty());
            EXPECT_FALSE(ui.busy);
        }
    }
    clock.advance(10000);
    EXPECT_EQ(addresses().size(), 101u) << "it goes, a block every transfer pause";
    dialogs.cancelAt = 1;
    clock.runAll();
    EXPECT_EQ(dialogs.answers.back().rfind("Transfer cancelled: ", 0), 0u) << dialogs.answers.back();
}

TEST_F(Sends, AProgramChangeDuringASendWaitsForIt)
{
    const auto records = kwtest::randomRecords({0, 1}, 10);
    ASSERT_FALSE(writeBankFile(dir / "in.PFB", records));
    dialogs.files = {(dir / "in.PFB").string()};
    bulk.MenuBulkPerfBankSynthClick();
    clock.advance(350);
    core.dispatcher.handle({0xC0, 0x01});
    EXPECT_TRUE(synth.requests().empty()) << "nothing asked while the bank goes out";
    runAll();
    const auto requests = synth.requests();
    ASSERT_EQ(requests.size(), 7u);
    EXPECT_GT(requests[0].first, dumps().back().first) << "the fetch after the last block";
    EXPECT_EQ(ui.refreshAllCount, 1);
    EXPECT_FALSE(ui.busy);
    EXPECT_EQ(st.selectedUserPerf, 1);
}

TEST_F(Sends, OneFileIntoAUserPerformanceOfTheUsersChoice)
{
    PerformanceRecord r = kwtest::randomRecords({9}, 11)[0];
    ASSERT_FALSE(writePerformanceFile(dir / "p.syx", r));
    dialogs.files = {(dir / "p.syx").string()};
    dialogs.userPerfs = {20};
    settings.lastDir = "/nowhere";
    bulk.MenuBulkSinglePerfSynthClick();
    EXPECT_EQ(dialogs.log[0], "open:Select User-Performance file|SysEx binary (*.SYX *.syx);;All files (*)|/nowhere");
    EXPECT_EQ(dialogs.log[1], "userperf:Select dest. Perf|Send|9|9") << "the file's own number first";
    EXPECT_EQ(dialogs.userPerfChoices[0].entries[9], "010  SQ Cyborg");
    EXPECT_EQ(settings.lastDir, dir.path().string());
    const std::string before = entry(20);
    runAll();
    EXPECT_EQ(addresses(), (Strings{"70 14 00", "70 14 30", "70 14 50", "71 14 00", "72 14 00", "73 14 00",
                                    "74 14 00"}));
    EXPECT_EQ(gaps(), (std::vector<long long>(6, 100)));
    EXPECT_EQ(dataOf(synth.userRecord(20)), dataOf(r.bytes()));
    EXPECT_EQ(entry(20), before) << "the list line stays";
    EXPECT_EQ(ui.statuses.end()[-2], "Stored to user performance 021");

    // Cancelled in the chooser: nothing goes out.
    synth.clear();
    dialogs.files = {(dir / "p.syx").string()};
    bulk.MenuBulkSinglePerfSynthClick();
    runAll();
    EXPECT_TRUE(synth.sent.empty());
    EXPECT_EQ(dialogs.log.size(), 5u) << "open, chooser, replace question; open, chooser";
}

TEST_F(Sends, SavingTheEditIntoAUserPerformanceClearsTheModifiedFlagAfterTheLastBlock)
{
    auto& c00 = img.edit[BlockKind::Common00];
    const char name[] = " Pan Seq";
    for (size_t i = 0; i < 8; ++i)
        c00.data(i) = uint8_t(name[i]);
    c00.data(8) = 22;
    img.edit.layer(2).data(0x11) = 33;
    st.modified = true;
    st.selectedUserPerf = 6;
    dialogs.userPerfs = {4};
    bulk.SaveToSynthClick();
    EXPECT_EQ(dialogs.log[0], "userperf:Select dest.-Perf|Send|6|6");
    EXPECT_TRUE(ui.busy);
    clock.advance(350);
    EXPECT_TRUE(st.modified) << "not stored before every block is out";
    runAll();
    EXPECT_FALSE(st.modified);
    EXPECT_FALSE(ui.busy);
    EXPECT_EQ(entry(4), "005  SQ Pan Seq");
    EXPECT_EQ(addresses().front(), "70 04 00");
    EXPECT_EQ(gaps(), (std::vector<long long>(6, 100)));
    EXPECT_EQ(synth.synth.user(4).layer(2).data(0x11), 33);
    EXPECT_EQ(st.selectedUserPerf, 6);
    EXPECT_EQ(ui.statuses.end()[-2], "Stored to user performance 005");

    // Nothing chosen: nothing sent, the flag stays.
    st.modified = true;
    synth.clear();
    st.selectedUserPerf = -1;
    bulk.SaveToSynthClick();
    EXPECT_EQ(dialogs.log.back(), "userperf:Select dest.-Perf|Send|-1|0");
    runAll();
    EXPECT_TRUE(synth.sent.empty());
    EXPECT_TRUE(st.modified);
}

TEST_F(Sends, OpeningAPerformanceFileSendsItToTheEditBufferThenShowsIt)
{
    // 317 bytes of anything: no header, address or checksum is looked at.
    Bytes junk(317);
    std::mt19937 rng(12);
    for (uint8_t& b : junk)
        b = uint8_t(rng());
    kwtest::writeAll(dir / "junk.SYX", junk);
    img.edit[BlockKind::Common30].data(21) = 9;
    img.edit[BlockKind::Common30].data(22) = 9;
    dialogs.files = {(dir / "junk.SYX").string()};
    file.MenuFileOpenActPerfClick();
    EXPECT_EQ(dialogs.log[0], "open:Select User-Performance file|SysEx binary (*.SYX *.syx);;All files (*)|"
                                  + dir.path().string());
    EXPECT_TRUE(ui.busy);
    int high = 0;
    auto rec = *PerformanceRecord::fromBytes(junk);
    high = rec.clampDataTo7Bit();
    ASSERT_GT(high, 0);
    EXPECT_EQ(ui.statusLine, std::to_string(high) + " data bytes above 127 cut to 7 bits");
    runAll();
    EXPECT_EQ(addresses(), (Strings{"60 00 00", "60 00 30", "60 00 50", "60 01 00", "60 02 00", "60 03 00",
                                    "60 04 00"}));
    EXPECT_EQ(gaps(), (std::vector<long long>(6, 100)));
    EXPECT_EQ(ui.refreshAllCount, 1);
    EXPECT_FALSE(ui.busy);
    EXPECT_EQ(img.edit[BlockKind::Common30].data(21), 0);
    EXPECT_EQ(img.edit[BlockKind::Common30].data(22), 0);
    EXPECT_EQ(img.edit.layer(4).data(5), rec[265 + 9 + 5]);
    for (const Bytes& m : synth.sent)
        for (size_t i = 1; i + 1 < m.size(); ++i)
            ASSERT_LT(m[i], 0x80) << "never a byte of 0x80 or more inside a message";
    EXPECT_EQ(synth.synth.editBuffer().layer(4).data(5), rec[265 + 9 + 5]);

    // A file of another size changes nothing and says so.
    kwtest::writeAll(dir / "short.SYX", Bytes(316));
    dialogs.files = {(dir / "short.SYX").string()};
    settings.lastDir = "/x";
    file.MenuFileOpenActPerfClick();
    EXPECT_EQ(dialogs.boxes.back(), "This is not a valid Performance-file!\n" + (dir / "short.SYX").string() + ": 316 bytes");
    EXPECT_EQ(settings.lastDir, "/x");
}
