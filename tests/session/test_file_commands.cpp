// The File menu: the edited performance to a .SYX file and the
// user-performance list to and from a names file, with every failure
// reported and nothing lost.
#include "SessionFixture.h"

#include "files/NamesFile.h"
#include "files/PerformanceFile.h"
#include "model/Cp1252.h"
#include "model/UserPerfList.h"

using namespace kw;
namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

namespace {

struct FileMenu : kwtest::SessionFixture {
    void name(const std::string& name8, int category)
    {
        auto& c = img.edit[BlockKind::Common00];
        for (size_t i = 0; i < 8; ++i)
            c.data(i) = uint8_t(name8[i]);
        c.data(8) = uint8_t(category);
    }
};

} // namespace

TEST_F(FileMenu, SavingTheActualPerformanceProposesItsNameAndWrites317Bytes)
{
    name(" Pan Seq", 22);
    img.edit.layer(3).data(0x10) = 0x8F;  // no byte of 0x80 or more reaches a file
    dialogs.files = {(dir / "sub" / "x").string(), (dir / "perf.txt").string()};
    fs::create_directory(dir / "sub");
    file.MenuFileSaveActPerfClick();
    EXPECT_EQ(dialogs.log[0], "save:Save actual Performance as ...|SysEx binary (*.SYX *.syx);;All files (*)|"
                                  + dir.path().string() + "|SQ_Pan Seq.SYX");
    EXPECT_EQ(settings.lastDir, (dir / "sub").string());
    const Bytes saved = kwtest::readAll(dir / "sub" / "x.SYX");
    ASSERT_EQ(saved.size(), 317u);
    const auto r = *PerformanceRecord::fromBytes(saved);
    EXPECT_TRUE(r.faults().empty());
    EXPECT_EQ(r.number(), 0) << "nothing selected: performance 0";
    EXPECT_EQ(r[265 - 52 + 9 + 0x10], 0x0F);

    st.selectedUserPerf = 41;
    name("DrumTrx2", 0);
    file.MenuFileSaveActPerfClick();
    EXPECT_EQ(dialogs.log[1].substr(dialogs.log[1].rfind('|')), "|--  _DrumTrx2.SYX");
    const auto r2 = *readPerformanceFile(dir / "perf.SYX");
    EXPECT_EQ(r2.number(), 41);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(r2.message(i)[7], 41);
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(FileMenu, ASaveThatFailsKeepsTheOldFileAndSaysWhy)
{
    kwtest::writeAll(dir / "old.SYX", Bytes{1, 2, 3});
    kwtest::writeAll(dir / "afile", Bytes{1});
    dialogs.files = {(dir / "afile" / "p.SYX").string(), (dir / "old.SYX").string()};
    file.MenuFileSaveActPerfClick();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0], "Save-Error : Unable to save file\n" + (dir / "afile" / "p.SYX").string()
                                    + ": Not a directory");
    {
        kwtest::FileSizeLimit limit(100);
        file.MenuFileSaveActPerfClick();
    }
    ASSERT_EQ(dialogs.boxes.size(), 2u);
    EXPECT_EQ(dialogs.boxes[1], "Save-Error : Unable to save file\n" + (dir / "old.SYX").string() + ": File too large");
    EXPECT_EQ(kwtest::readAll(dir / "old.SYX"), (Bytes{1, 2, 3}));
    EXPECT_EQ(dir.names(), (Strings{"afile", "old.SYX"}));
}

TEST_F(FileMenu, NamesGoToAFileAndBackInWindows1252WithCrLf)
{
    session.userPerfs().set(2, "003  SQ Caf\xE9");
    dialogs.files = {(dir / "names").string()};
    file.MenuFileSavePerfNamesClick();
    EXPECT_EQ(dialogs.log[0], "save:Save Performance-names as ...|Performance-name files (*.PFN *.pfn);;All files "
                              "(*)|" + dir.path().string() + "|");
    EXPECT_EQ(settings.aktPerfList, (dir / "names.PFN").string());
    const Bytes saved = kwtest::readAll(dir / "names.PFN");
    const std::string text(saved.begin(), saved.end());
    EXPECT_EQ(text.substr(0, 34), "001  DR umTrax2\r\n002  SQ Pan Seq\r\n");
    EXPECT_NE(text.find("003  SQ Caf\xE9\r\n"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 128);

    // A file of 50 lines (LF only, from another tool) fills 50 and numbers the rest.
    std::string fifty;
    for (int i = 0; i < 50; ++i)
        fifty += entryNumber(i) + "  XX Line" + std::to_string(i) + "\n";
    kwtest::writeAll(dir / "fifty.pfn", kwtest::view(fifty));
    dialogs.files = {(dir / "fifty.pfn").string()};
    settings.lastDir = "/x";
    file.MenuFileOpenPerfNamesClick();
    EXPECT_EQ(dialogs.log[1], "open:Select Performance-name file|Performance-name files (*.PFN *.pfn);;All files "
                              "(*)|/x");
    EXPECT_EQ(entry(49), "050  XX Line49");
    EXPECT_EQ(entry(50), "051");
    EXPECT_EQ(entry(127), "128");
    EXPECT_EQ(ui.entries.back(), (std::pair<int, std::string>{127, "128"})) << "the window's list follows";
    EXPECT_EQ(settings.aktPerfList, (dir / "fifty.pfn").string());
    EXPECT_EQ(settings.lastDir, dir.path().string());

    // Back to the saved one: every line as it was.
    dialogs.files = {(dir / "names.PFN").string()};
    file.MenuFileOpenPerfNamesClick();
    EXPECT_EQ(entry(2), "003  SQ Caf\xE9");
    EXPECT_EQ(entry(127), builtInUserPerfLines()[127]);
    EXPECT_EQ(session.userPerfs().utf8Lines()[2], "003  SQ Caf\xC3\xA9");
}

TEST_F(FileMenu, NamesFilesThatCannotBeReadOrWrittenChangeNothingAndAreReported)
{
    settings.aktPerfList = "/keep.PFN";
    dialogs.files = {(dir / "none.PFN").string(), (dir / "no" / "n.PFN").string()};
    file.MenuFileOpenPerfNamesClick();
    file.MenuFileSavePerfNamesClick();
    ASSERT_EQ(dialogs.boxes.size(), 2u);
    EXPECT_EQ(dialogs.boxes[0], "Load-Error : Unable to open file\n" + (dir / "none.PFN").string()
                                    + ": No such file or directory");
    EXPECT_EQ(dialogs.boxes[1].substr(0, 33), "Save-Error : Unable to save file\n");
    EXPECT_EQ(settings.aktPerfList, "/keep.PFN");
    EXPECT_EQ(entry(0), builtInUserPerfLines()[0]);
    EXPECT_TRUE(ui.entries.empty());
}
