// Transfers from the synth in virtual time: the names request, one or all
// user performances to disk, and what happens when the user cancels, a
// reply never comes, or the disk fails.
#include "SessionFixture.h"

#include "files/BankFile.h"
#include "files/FilePaths.h"
#include "midi/Messages.h"
#include "midi/SynthLink.h"
#include "model/UserPerfList.h"

using namespace kw;
namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

namespace {

// A message of `bytes` bytes on the cable, in microseconds.
long long wireUs(size_t bytes) { return midiWireTime(bytes).count(); }

struct Transfers : kwtest::SessionFixture {
    // Backs up all 128 user performances into `name` in bank format.
    void allToBank(const std::string& name)
    {
        dialogs.asks = {1};
        dialogs.files = {(dir / name).string()};
        bulk.MenuBulkAllPerfHDClick();
    }
    void allToFolder(const fs::path& folder)
    {
        dialogs.asks = {2};
        dialogs.folders = {folder.string()};
        bulk.MenuBulkAllPerfHDClick();
    }
    // Replies to requests for user performance `pp` are lost.
    void loseRepliesFor(int pp)
    {
        synth.drop = [pp](const Bytes& m) { return m.size() == 8 && m[2] == 0x20 && m[4] >= 0x70 && m[5] == pp; };
    }
    Bytes records(const fs::path& bank)
    {
        const Bytes all = kwtest::readAll(bank);
        return all.size() < kBankMagicSize ? Bytes{} : Bytes(all.begin() + kBankMagicSize, all.end());
    }
    // A fetch after a transfer: input still works, the window comes back.
    void fetchStillWorks()
    {
        synth.drop = {};
        session.chooseUserPerf(9);
        runAll();
        EXPECT_FALSE(ui.busy);
        EXPECT_EQ(ui.refreshAllCount, 1);
    }
};

} // namespace

TEST_F(Transfers, NamesRequestFillsEveryLineCutTo16AndReselects)
{
    nameOnSynth(5, "Pan Seq ", 22);
    st.selectedUserPerf = 3;
    bulk.MenuBulkPerfNamesClick();
    EXPECT_TRUE(ui.busy);
    runAll();
    EXPECT_FALSE(ui.busy);
    EXPECT_EQ(entry(5), "006  SQ Pan Seq ");
    EXPECT_EQ(entry(0), "001  DR umTrax2 ") << "the name with its blanks";
    EXPECT_EQ(ui.entries.size(), 128u) << "the window's list follows every line";
    EXPECT_EQ(ui.selectedLine, 3);
    EXPECT_EQ(ui.statuses.end()[-3], "Received User-Performance-Name #128");
    EXPECT_EQ(ui.statuses.end()[-2], "128 of 128 performance names received");
    // One request after the other, each as soon as its reply is in.
    const auto requests = synth.requests();
    ASSERT_EQ(requests.size(), 128u);
    for (size_t i = 1; i < requests.size(); ++i)
        ASSERT_EQ(requests[i].first - requests[i - 1].first, wireUs(8 + 57)) << i;
    EXPECT_EQ(kwtest::hex(requests[127].second), "F0 43 20 4B 70 7F 00 F7");
    EXPECT_EQ(dialogs.log.front(), "progress:Request all Performance-names|Receiving the name of performance 1 of 128|128");
    EXPECT_EQ(dialogs.progressValues.back(), 128);
    EXPECT_EQ(dialogs.log.end()[-2], "progress closed");
    EXPECT_EQ(dialogs.log.back(), "answer:128 of 128 performance names received");

    nameOnSynth(5, "Pan Seq ", 0);
    st.selectedUserPerf = -1;
    ui.selectedLine = 7;
    bulk.MenuBulkPerfNamesClick();
    runAll();
    EXPECT_EQ(entry(5), "006  --   Pan Se");
    EXPECT_EQ(ui.selectedLine, 7) << "nothing selected before, nothing reselected";
}

TEST_F(Transfers, NamesRequestNeedsBothPortsAndStopsCleanlyOnCancel)
{
    inputOpen = false;
    bulk.MenuBulkPerfNamesClick();
    EXPECT_TRUE(synth.sent.empty());
    EXPECT_EQ(dialogs.boxes, Strings{kNoDeviceChosenText}) << "it says why instead of doing nothing";
    dialogs.boxes.clear();
    inputOpen = true;

    dialogs.cancelAt = 57;
    bulk.MenuBulkPerfNamesClick();
    runAll();
    EXPECT_EQ(synth.requests().size(), 57u) << "the name in flight is finished, then it stops";
    EXPECT_FALSE(ui.busy);
    EXPECT_EQ(dialogs.boxes, Strings{"Transfer cancelled: 57 of 128 performance names received"});
    EXPECT_EQ(entry(56).substr(0, 5), "057  ");
    EXPECT_EQ(entry(57), builtInUserPerfLines()[57]) << "the rest keep their lines";
}

TEST_F(Transfers, AllToDiskInBankFormatEqualsTheSynthsMemory)
{
    synth.fillMemory(1);
    settings.perfBankDir = "/elsewhere";
    ctx.today = [] { return std::string("2025-03-01"); };
    dialogs.asks = {1};
    dialogs.files = {(dir / "backup.txt").string()};
    bulk.MenuBulkAllPerfHDClick();
    EXPECT_EQ(dialogs.log[0], "ask:Please select the format to store the received\nBulk-data on your harddisk|"
                              "Perf.-bank|SysEx files");
    // A dated name, so next month's backup does not replace this one unasked.
    EXPECT_EQ(dialogs.log[1], "save:Save Performance-bank as ...|Performance-banks (*.PFB *.pfb);;All files "
                              "(*)|/elsewhere|CS1x backup 2025-03-01.PFB");
    EXPECT_TRUE(ui.busy);
    EXPECT_EQ(settings.perfBankDir, dir.path().string());
    runAll();
    EXPECT_FALSE(ui.busy);
    const Bytes bank = kwtest::readAll(dir / "backup.PFB");
    ASSERT_EQ(bank.size(), 40590u);
    EXPECT_EQ(std::string(bank.begin(), bank.begin() + 14), "Knobwright PFB");
    EXPECT_TRUE(records(dir / "backup.PFB") == synthMemory()) << "every record as the synth sent it";
    EXPECT_EQ(dir.names(), Strings{"backup.PFB"}) << "no temporary file left";
    EXPECT_EQ(dialogs.boxes, Strings{"128 of 128 performances saved in " + (dir / "backup.PFB").string()});
    EXPECT_EQ(dialogs.progressValues.back(), 128);

    // Seven pauses a performance: after each of its blocks, the last included.
    const auto requests = synth.requests();
    ASSERT_EQ(requests.size(), 128u * 7);
    const int lengths[7] = {57, 32, 20, 52, 52, 52, 52};
    for (size_t i = 1; i < requests.size(); ++i)
        ASSERT_EQ(requests[i].first - requests[i - 1].first, wireUs(8 + lengths[(i - 1) % 7]) + 100'000) << i;

    // The next bank save offers the name used last.
    dialogs.asks = {1};
    bulk.MenuBulkAllPerfHDClick();
    EXPECT_EQ(dialogs.log.back(), "save:Save Performance-bank as ...|Performance-banks (*.PFB *.pfb);;All files "
                                  "(*)|" + dir.path().string() + "|backup.PFB");
}

TEST_F(Transfers, AllToDiskAsSysExFilesKeepsEveryOneInsideTheFolder)
{
    synth.fillMemory(2);
    settings.longDelay = false;
    nameOnSynth(3, "../x", 22);
    nameOnSynth(4, "a/b", 22);
    nameOnSynth(10, "  Lead 1", 1);
    nameOnSynth(11, "Lead 1  ", 1);
    nameOnSynth(12, "DrumTrx2", 0);
    const fs::path folder = dir / "sounds";
    fs::create_directory(folder);
    kwtest::writeAll(folder / "PF_Lead 1.SYX", Bytes{1, 2, 3});  // from an earlier run
    // Links named as performances will be: a dangling one and one to a file
    // of the user's. A write through either would land outside the folder.
    fs::create_directory(dir / "elsewhere");
    kwtest::writeAll(dir / "elsewhere" / "mine.SYX", Bytes{4, 5, 6});
    fs::create_symlink(dir / "elsewhere" / "PWNED.SYX", folder / "SQ_a_b.SYX");
    fs::create_symlink(dir / "elsewhere" / "mine.SYX", folder / "--  _DrumTrx2.SYX");
    allToFolder(folder);
    runAll();
    EXPECT_EQ(settings.lastDir, folder.string());
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    EXPECT_EQ(names.size(), 130u) << "128 performances beside the two links";
    EXPECT_EQ(dir.names(), (Strings{"elsewhere", "sounds"}));
    EXPECT_FALSE(fs::exists(dir / "elsewhere" / "PWNED.SYX")) << "nothing written through a link";
    EXPECT_EQ(kwtest::readAll(dir / "elsewhere" / "mine.SYX"), (Bytes{4, 5, 6}));
    EXPECT_EQ(kwtest::readAll(folder / "SQ_.._x.SYX"), synth.userRecord(3));
    EXPECT_EQ(kwtest::readAll(folder / "SQ_a_b (2).SYX"), synth.userRecord(4));
    EXPECT_EQ(kwtest::readAll(folder / "PF_Lead 1.SYX"), synth.userRecord(10)) << "the earlier file replaced";
    EXPECT_EQ(kwtest::readAll(folder / "PF_Lead 1 (2).SYX"), synth.userRecord(11)) << "the second one kept too";
    EXPECT_EQ(kwtest::readAll(folder / "--  _DrumTrx2 (2).SYX"), synth.userRecord(12));

    // Six pauses a performance: none between the last block and the next one.
    const auto requests = synth.requests();
    ASSERT_EQ(requests.size(), 128u * 7);
    EXPECT_EQ(requests[7].first - requests[6].first, wireUs(8 + 52));
    EXPECT_EQ(requests[6].first - requests[5].first, wireUs(8 + 52) + 10'000);
}

TEST_F(Transfers, CancelAfter40LeavesAValidBankOf40)
{
    synth.fillMemory(3);
    dialogs.cancelAt = 40;
    allToBank("bank.PFB");
    runAll();
    EXPECT_FALSE(ui.busy);
    // Named as what it is, never as the whole backup asked for.
    const fs::path partial = dir / "bank (incomplete, 40 of 128).PFB";
    const Bytes kept = records(partial);
    ASSERT_EQ(kwtest::readAll(partial).size(), 14u + 40 * 317);
    EXPECT_TRUE(kept == synthMemory(40));
    EXPECT_EQ(synth.requests().size(), 40u * 7) << "nothing asked after the performance in flight";
    EXPECT_EQ(dialogs.boxes, Strings{"Transfer cancelled: 40 of 128 performances saved in " + partial.string()});
    EXPECT_EQ(dir.names(), Strings{"bank (incomplete, 40 of 128).PFB"});
}

TEST_F(Transfers, ATimeOutAt70WithTheRetryLostKeepsTheBankOf70AndNames71)
{
    synth.fillMemory(4);
    settings.longDelay = false;
    loseRepliesFor(70);
    allToBank("bank.PFB");
    runAll();
    EXPECT_FALSE(ui.busy);
    const fs::path partial = dir / "bank (incomplete, 70 of 128).PFB";
    ASSERT_EQ(kwtest::readAll(partial).size(), 14u + 70 * 317);
    EXPECT_TRUE(records(partial) == synthMemory(70));
    // Performance 71's first block asked for twice, then the transfer stops.
    const auto requests = synth.requests();
    ASSERT_EQ(requests.size(), 70u * 7 + 2);
    EXPECT_EQ(kwtest::hex(requests.back().second), "F0 43 20 4B 70 46 00 F7");
    EXPECT_EQ(dialogs.boxes, Strings{"Perf. #071 not saved: MIDI-Data receive-timeout!\n70 of 128 performances "
                                     "saved in " + partial.string()});
    fetchStillWorks();
}

TEST_F(Transfers, OneLostOrWrongReplyIsAskedForAgainAndTheBackupCompletes)
{
    synth.fillMemory(5);
    settings.longDelay = false;
    int lost = 0, damaged = 0;
    synth.drop = [&](const Bytes& m) { return m[4] == 0x72 && m[5] == 20 && lost++ == 0; };
    // A reply of the wrong size to performance 30's common 30, once.
    auto deliver = synth.deliver;
    synth.deliver = [&, deliver](const Bytes& reply) {
        if (reply.size() == 32 && reply[7] == 30 && damaged++ == 0) {
            Bytes cut(reply.begin(), reply.end() - 3);
            cut.push_back(0xF7);
            return deliver(cut);
        }
        deliver(reply);
    };
    allToBank("bank.PFB");
    runAll();
    EXPECT_TRUE(records(dir / "bank.PFB") == synthMemory());
    EXPECT_EQ(dialogs.boxes, Strings{"128 of 128 performances saved in " + (dir / "bank.PFB").string()});
    EXPECT_EQ(synth.requests().size(), 128u * 7 + 2);
}

TEST_F(Transfers, TwoWrongRepliesStopTheTransferAndSayWhy)
{
    settings.longDelay = false;
    auto deliver = synth.deliver;
    synth.deliver = [&, deliver](const Bytes& reply) {
        if (reply.size() == 52 && reply[6] == 0x73 && reply[7] == 2) {
            Bytes cut(reply.begin(), reply.end() - 2);
            cut.push_back(0xF7);
            return deliver(cut);
        }
        deliver(reply);
    };
    allToFolder(dir.path());
    runAll();
    EXPECT_FALSE(ui.busy);
    EXPECT_EQ(dir.names(), (Strings{"DR_umTrax2.SYX", "SQ_Pan Seq.SYX"})) << "no half performance on disk";
    EXPECT_EQ(dialogs.boxes, Strings{"Perf. #003 not saved: Receive-Error - Wrong blocksize\n"
                                     "2 of 128 performances saved in " + dir.path().string()});
}

TEST_F(Transfers, AnEarlierBankIsReplacedOnlyByACompleteOne)
{
    synth.fillMemory(6);
    settings.longDelay = false;
    const Bytes earlier = bankBytes(std::vector<PerformanceRecord>(3, kwtest::makeRecord(1, 2, "Old")));
    kwtest::writeAll(dir / "bank.PFB", earlier);
    dialogs.cancelAt = 5;
    allToBank("bank.PFB");
    runAll();
    EXPECT_EQ(kwtest::readAll(dir / "bank.PFB"), earlier);
    const fs::path partial = dir / "bank (incomplete, 5 of 128).PFB";
    EXPECT_EQ(records(partial), synthMemory(5));
    EXPECT_EQ(dialogs.boxes, Strings{"Transfer cancelled: 5 of 128 performances saved in " + partial.string()
                                     + " (bank.PFB was left as it was)"});

    // A transfer that stops before one performance is whole leaves no file.
    dialogs.boxes.clear();
    loseRepliesFor(0);
    allToBank("other.PFB");
    runAll();
    EXPECT_EQ(dir.names(), (Strings{"bank (incomplete, 5 of 128).PFB", "bank.PFB"}));

    synth.drop = {};
    dialogs.cancelAt = -1;
    allToBank("bank.PFB");
    runAll();
    EXPECT_TRUE(records(dir / "bank.PFB") == synthMemory());
}

TEST_F(Transfers, AFileErrorStopsTheTransferCleanlyAndInputKeepsWorking)
{
    settings.longDelay = false;
    const fs::path folder = dir / "gone";
    fs::create_directory(folder);
    allToFolder(folder);
    // The folder disappears (a stick pulled out) after ten performances.
    clock.advance(1);
    while (synth.requests().size() < 10 * 7 + 1)
        clock.advance(1);
    fs::remove_all(folder);
    runAll();
    EXPECT_FALSE(ui.busy);
    EXPECT_EQ(synth.requests().size(), 11u * 7) << "nothing asked after the failed write";
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].substr(0, dialogs.boxes[0].find('\n')), "Save-Error : Unable to save file");
    EXPECT_NE(dialogs.boxes[0].find((folder / "SQ_uelchy.SYX").string()), std::string::npos) << dialogs.boxes[0];
    EXPECT_NE(dialogs.boxes[0].find("No such file or directory"), std::string::npos);
    EXPECT_NE(dialogs.boxes[0].find("10 of 128 performances saved"), std::string::npos);
    fetchStillWorks();
}

TEST_F(Transfers, ABankThatCannotBeCreatedIsReportedBeforeAnythingIsAsked)
{
    dialogs.asks = {1};
    dialogs.files = {(dir / "missing" / "bank.PFB").string()};
    bulk.MenuBulkAllPerfHDClick();
    runAll();
    EXPECT_TRUE(synth.requests().empty());
    EXPECT_FALSE(ui.busy);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].rfind("Save-Error : Unable to save file\n" + (dir / "missing" / "bank.PFB").string(), 0),
              0u)
        << dialogs.boxes[0];
}

TEST_F(Transfers, SingleToDiskLeavesTheWindowUsableAndQueuesAFetch)
{
    nameOnSynth(5, "Pan Seq ", 22);
    dialogs.userPerfs = {5};
    dialogs.folders = {dir.path().string()};
    bulk.MenuBulkSinglePerfHDClick();
    EXPECT_EQ(dialogs.log[0], "userperf:Select Dest|Request|-1|0");
    EXPECT_EQ(dialogs.log[1], "folder:Select dest. path|" + dir.path().string());
    EXPECT_FALSE(ui.busy);
    clock.advance(300);  // two blocks in
    // Another transfer is refused while this one runs.
    bulk.MenuBulkPerfNamesClick();
    EXPECT_EQ(ui.statusLine, kTransferRunningText);

    // Meanwhile the user clicks a line and the synth sends a program change:
    // each fetch waits for the transfer; only the newest is made.
    session.chooseUserPerf(2);
    core.dispatcher.handle({0xC0, 0x08});
    runAll();

    std::vector<std::string> asked;
    for (const auto& r : synth.requests())
        asked.push_back(kwtest::hex(r.second).substr(12, 8));
    EXPECT_EQ(asked, (Strings{"70 05 00", "70 05 30", "70 05 50", "71 05 00", "72 05 00", "73 05 00", "74 05 00",
                              "60 00 00", "60 00 30", "60 00 50", "60 01 00", "60 02 00", "60 03 00", "60 04 00"}));
    EXPECT_EQ(kwtest::readAll(dir / "SQ_Pan Seq.SYX"), synth.userRecord(5));
    EXPECT_EQ(st.selectedUserPerf, 8);
    EXPECT_EQ(ui.refreshAllCount, 1);
    EXPECT_FALSE(ui.busy);
    EXPECT_EQ(dir.names(), Strings{"SQ_Pan Seq.SYX"});
}

TEST_F(Transfers, SingleToDiskAsksNothingMoreWithoutAChoiceOrBothPorts)
{
    bulk.MenuBulkSinglePerfHDClick();  // chooser cancelled
    dialogs.userPerfs = {3};
    inputOpen = false;
    bulk.MenuBulkSinglePerfHDClick();
    EXPECT_EQ(dialogs.log,
              (Strings{"userperf:Select Dest|Request|-1|0", "inform:" + std::string(kNoDeviceChosenText)}));
    EXPECT_TRUE(synth.sent.empty());
}
