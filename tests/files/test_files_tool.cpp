#include "FilesFixture.h"

#include "files/BankFile.h"
#include "files/FilesTool.h"
#include "files/PerformanceFile.h"

#include <sstream>

using namespace kw;
namespace fs = std::filesystem;

namespace {

struct ToolRun {
    int code;
    std::string out, err;
};

ToolRun tool(std::vector<std::string> args)
{
    std::ostringstream out, err;
    const int code = runFilesTool(args, out, err);
    return {code, out.str(), err.str()};
}

// Files as the editor writes them: two performances and a bank of both.
struct Library {
    kwtest::TempDir dir;
    PerformanceRecord panSeq = kwtest::makeRecord(5, 22, "Pan Seq ");
    PerformanceRecord drums = kwtest::makeRecord(0, 0, "DrumTrx2");
    std::string perf = (dir / "SQ_Pan Seq.SYX").string();
    std::string bank = (dir / "two.PFB").string();

    Library()
    {
        EXPECT_FALSE(writePerformanceFile(perf, panSeq));
        EXPECT_FALSE(writeBankFile(bank, std::vector{drums, panSeq}));
    }
    std::string damagedCopy(const std::string& from, size_t pos, uint8_t value)
    {
        Bytes b = kwtest::readAll(from);
        b[pos] = value;
        const std::string to = from + ".damaged";
        kwtest::writeAll(to, b);
        return to;
    }
};

} // namespace

TEST(FilesTool, HelpAndWrongCommandLines)
{
    const ToolRun help = tool({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("  info FILE..."), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("renumber IN.SYX N OUT.SYX"), std::string::npos);
    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {"list"}, {"info"}, {"extract", "a", "1"}, {"renumber", "a", "0", "b"},
             {"renumber", "a", "129", "b"}, {"renumber", "a", "5x", "b"}, {"extract", "a", "-1", "b"}}) {
        const ToolRun r = tool(args);
        EXPECT_EQ(r.code, 2);
        EXPECT_TRUE(r.out.empty());
        EXPECT_NE(r.err.find("--help"), std::string::npos);
    }
}

TEST(FilesTool, InfoListsRecordsAsTheBankManagerShowsThem)
{
    Library lib;
    const ToolRun r = tool({"info", lib.perf, lib.bank});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, lib.perf + ": performance file\n006  SQ Pan Seq\n" + lib.bank
                         + ": performance bank, 2 records\n001  --   DrumTrx2\n006  SQ Pan Seq\n");
    EXPECT_EQ(r.err, "");
}

TEST(FilesTool, InfoNamesTheFaultsOfDamagedCopies)
{
    Library lib;
    // Checksum of message 3 (at 89 + 18) flipped.
    const std::string flipped = lib.damagedCopy(lib.perf, 107, lib.panSeq[107] ^ 0x01);
    ToolRun r = tool({"info", flipped});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, flipped + ": performance file\n006  SQ Pan Seq  bad checksum in message 3\n");

    // The F7 of message 1 lost in the second record of the bank, and another number in message 5.
    Bytes bank = kwtest::readAll(lib.bank);
    bank[14 + 317 + 56] = 0x00;
    bank[14 + 317 + 168] = 0x09;
    kwtest::writeAll(lib.bank, bank);
    r = tool({"info", lib.bank});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, lib.bank + ": performance bank, 2 records\n001  --   DrumTrx2\n006  SQ Pan Seq  "
                                "bad framing in message 1; number differs in message 5; bad checksum in message 5\n");

    // A file that lost a byte is no performance file at all; nor is a cut bank a bank.
    Bytes perf = kwtest::readAll(lib.perf);
    perf.pop_back();
    kwtest::writeAll(lib.perf, perf);
    bank.resize(bank.size() - 100);
    kwtest::writeAll(lib.bank, bank);
    r = tool({"info", lib.perf, lib.bank, (lib.dir / "missing.PFB").string()});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "knobwright-files: " + lib.perf + ": not a performance file or bank (316 bytes)\nknobwright-files: "
                         + lib.bank + ": damaged bank: it ends 217 bytes into a record\nknobwright-files: "
                         + (lib.dir / "missing.PFB").string() + ": cannot read: No such file or directory\n");
}

TEST(FilesTool, ExtractTakesTheLastRecordOfTheNumber)
{
    Library lib;
    const PerformanceRecord later = kwtest::makeRecord(5, 8, "Brass");
    ASSERT_FALSE(writeBankFile(lib.bank, std::vector{lib.panSeq, lib.drums, later}));
    const std::string out = (lib.dir / "x.SYX").string();
    ToolRun r = tool({"extract", lib.bank, "6", out});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(*readPerformanceFile(out), later);
    r = tool({"extract", lib.bank, "7", (lib.dir / "none.SYX").string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "knobwright-files: " + lib.bank + ": holds no performance 007\n");
    EXPECT_FALSE(fs::exists(lib.dir / "none.SYX"));
    EXPECT_EQ(tool({"extract", lib.perf, "6", out}).code, 2);
}

TEST(FilesTool, PackPlacesByNumberAndWritesNothingOnABadInput)
{
    Library lib;
    const std::string single = (lib.dir / "BR_Brass.SYX").string();
    ASSERT_FALSE(writePerformanceFile(single, kwtest::makeRecord(0, 8, "Brass")));
    const std::string out = (lib.dir / "packed.PFB").string();
    ToolRun r = tool({"pack", out, lib.perf, single, lib.bank});
    EXPECT_EQ(r.code, 0) << r.err;
    auto packed = readBankFile(out);
    ASSERT_TRUE(packed);
    // The bank came last: its DrumTrx2 replaces Brass at 001.
    EXPECT_EQ(packed->records, (std::vector{lib.drums, lib.panSeq}));

    kwtest::writeAll(lib.dir / "broken.PFB", kwtest::view("Knobwright PFB!"));
    r = tool({"pack", out, single, (lib.dir / "broken.PFB").string()});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "knobwright-files: " + (lib.dir / "broken.PFB").string()
                         + ": damaged bank: it ends 1 byte into a record\n");
    EXPECT_EQ(readBankFile(out)->records.size(), 2u) << "the earlier output stays";
    EXPECT_EQ(tool({"pack", (lib.dir / "new.PFB").string(), (lib.dir / "gone.SYX").string()}).code, 2);
    EXPECT_FALSE(fs::exists(lib.dir / "new.PFB"));

    // A record no slot can hold is damage: refused, and left out with a note when forced.
    PerformanceRecord far = kwtest::makeRecord(0, 1, "Far");
    far[7] = 0x80;
    ASSERT_FALSE(writeBankFile(lib.bank, std::vector{far, lib.panSeq}));
    r = tool({"pack", out, lib.bank});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(readBankFile(out)->records.size(), 2u) << "the earlier output stays";
    r = tool({"pack", "--force", out, lib.bank});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.err.ends_with("knobwright-files: " + lib.bank + ": record 129 (PF Far): no slot for its number; left out\n"))
        << r.err;
    EXPECT_EQ(readBankFile(out)->records, std::vector{lib.panSeq});
    ASSERT_FALSE(writePerformanceFile(single, far));
    EXPECT_EQ(tool({"pack", out, single}).code, 2);
}

TEST(FilesTool, UnpackWritesSafeDistinctNamesInsideTheFolder)
{
    Library lib;
    const PerformanceRecord escape = kwtest::makeRecord(1, 13, "../x");
    const PerformanceRecord slash = kwtest::makeRecord(2, 13, "a/b");
    const PerformanceRecord twin = kwtest::makeRecord(3, 22, "Pan Seq");
    ASSERT_FALSE(writeBankFile(lib.bank, std::vector{lib.drums, escape, slash, lib.panSeq, twin}));
    const fs::path out = lib.dir / "out";
    const ToolRun r = tool({"unpack", lib.bank, out.string()});
    EXPECT_EQ(r.code, 0) << r.err;
    const std::vector<std::string> names = {"--  _DrumTrx2.SYX", "FX_.._x.SYX", "FX_a_b.SYX", "SQ_Pan Seq.SYX",
                                            "SQ_Pan Seq (2).SYX"};
    const std::vector<PerformanceRecord> records = {lib.drums, escape, slash, lib.panSeq, twin};
    std::string listed;
    for (size_t i = 0; i < names.size(); ++i) {
        listed += (out / names[i]).string() + "\n";
        EXPECT_EQ(*readPerformanceFile(out / names[i]), records[i]) << names[i];
    }
    EXPECT_EQ(r.out, listed);
    EXPECT_EQ(std::distance(fs::directory_iterator(out), {}), 5);
    EXPECT_EQ(std::distance(fs::directory_iterator(lib.dir.path()), {}), 3);
}

TEST(FilesTool, RenumberAddressesAndRepairsTheChecksumsInPlace)
{
    Library lib;
    const std::string damaged = lib.damagedCopy(lib.perf, 107, 0x00);
    const ToolRun r = tool({"renumber", damaged, "128", damaged});
    EXPECT_EQ(r.code, 0) << r.err;
    auto renumbered = readPerformanceFile(damaged);
    ASSERT_TRUE(renumbered);
    EXPECT_EQ(*renumbered, kwtest::makeRecord(127, 22, "Pan Seq"));
    EXPECT_EQ(tool({"info", damaged}).out, damaged + ": performance file\n128  SQ Pan Seq\n");
    EXPECT_EQ(tool({"renumber", lib.bank, "1", damaged}).code, 2);
}
