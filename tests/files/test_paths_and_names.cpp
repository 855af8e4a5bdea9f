#include "FilesFixture.h"

#include "files/FilePaths.h"
#include "files/NamesFile.h"

using namespace kw;
namespace fs = std::filesystem;

TEST(FilePaths, ExtensionIsReplacedOrAppendedAndFolderIsTheParent)
{
    EXPECT_EQ(changeExtension("/music/perf.txt", ".SYX"), fs::path("/music/perf.SYX"));
    EXPECT_EQ(changeExtension("/music/perf", ".SYX"), fs::path("/music/perf.SYX"));
    EXPECT_EQ(changeExtension("/music/names", ".PFN"), fs::path("/music/names.PFN"));
    EXPECT_EQ(changeExtension("/music/bank.pfb", ".PFB"), fs::path("/music/bank.PFB"));
    EXPECT_EQ(changeExtension("/my.banks/Perf", ".PFB"), fs::path("/my.banks/Perf.PFB"));
    EXPECT_EQ(changeExtension("/music/SQ_Pan Seq.x.y", ".SYX"), fs::path("/music/SQ_Pan Seq.x.SYX"));
    EXPECT_EQ(folderOf("/music/banks/a.PFB"), fs::path("/music/banks"));
    EXPECT_EQ(folderOf("/a.PFB"), fs::path("/"));
    const std::string utf8 = "/m\xC3\xBCsik/\xE2\x82\xAC.SYX";  // "müsik/€.SYX"
    EXPECT_EQ(utf8FromPath(pathFromUtf8(utf8)), utf8);
}

TEST(FileNames, PerformanceNamesBecomeSafeNamesInsideTheFolder)
{
    EXPECT_EQ(performanceFileName(22, "Pan Seq "), "SQ_Pan Seq.SYX");
    EXPECT_EQ(performanceFileName(1, "  Lead 1"), "PF_Lead 1.SYX");
    EXPECT_EQ(performanceFileName(0, "DrumTrx2"), "--  _DrumTrx2.SYX");
    EXPECT_EQ(performanceFileName(10, "Keys"), "PI _Keys.SYX");
    EXPECT_EQ(performanceFileName(22, "a/b"), "SQ_a_b.SYX");
    EXPECT_EQ(performanceFileName(22, "a\\b:c*?\""), "SQ_a_b_c___.SYX");
    EXPECT_EQ(performanceFileName(60, "x"), "___x.SYX");  // no abbreviation outside the table
    EXPECT_EQ(performanceFileName(5, "Caf\xE9"), "BA_Caf\xC3\xA9.SYX");
    EXPECT_EQ(performanceFileName(5, std::string("a\0b\x1B", 4)), "BA_a_b_.SYX");

    kwtest::TempDir dir;
    for (const char* evil : {"../x", "..", "/etc/pw", "..\\..", " . ", "a/../..", "\x7F"}) {
        const fs::path p = dir.path() / pathFromUtf8(performanceFileName(13, evil));
        EXPECT_EQ(p.parent_path(), dir.path()) << evil;
        EXPECT_EQ(p.lexically_normal().parent_path(), dir.path()) << evil;
    }
}

TEST(FileNames, SafeNameRules)
{
    EXPECT_EQ(safeFileName(".."), "_");
    EXPECT_EQ(safeFileName("."), "_");
    EXPECT_EQ(safeFileName(""), "_");
    EXPECT_EQ(safeFileName(" .name. "), "name");
    EXPECT_EQ(safeFileName("a  b"), "a  b");
    EXPECT_EQ(safeFileName("CON"), "CON_");
    EXPECT_EQ(safeFileName("lpt1.SYX"), "lpt1_.SYX");
    EXPECT_EQ(safeFileName("COM10.SYX"), "COM10.SYX");
    EXPECT_EQ(safeFileName("\xFF\xC3"), "__");  // not UTF-8
    const std::string longName = std::string(300, 'x') + ".SYX";
    const std::string cut = safeFileName(longName);
    EXPECT_EQ(cut.size(), 200u);
    EXPECT_TRUE(cut.ends_with("x.SYX"));
    const std::string longExtension = safeFileName("a." + std::string(300, 'x') + " .");
    EXPECT_EQ(longExtension.size(), 200u);
    EXPECT_EQ(safeFileName(std::string(199, 'x') + " " + std::string(50, 'y')), std::string(199, 'x'))
        << "a cut that ends in a blank loses it";
    // A cut never splits a character.
    std::string umlauts;
    for (int i = 0; i < 150; ++i)
        umlauts += "\xC3\xBC";
    const std::string cutU = safeFileName("a" + umlauts + ".SYX");
    EXPECT_EQ(cutU.size(), 199u);
    EXPECT_TRUE(cutU.ends_with("\xC3\xBC.SYX"));
}

TEST(FileNames, OneTransferNeverUsesANameTwice)
{
    DistinctNames names;
    EXPECT_EQ(names.claim("SQ_Pan Seq.SYX"), "SQ_Pan Seq.SYX");
    EXPECT_EQ(names.claim("SQ_Pan Seq.SYX"), "SQ_Pan Seq (2).SYX");
    EXPECT_EQ(names.claim("sq_pan seq.syx"), "sq_pan seq (3).syx");
    EXPECT_EQ(names.claim("SQ_Pan Seq (2).SYX"), "SQ_Pan Seq (2) (2).SYX");
    EXPECT_EQ(names.claim("noext"), "noext");
    EXPECT_EQ(names.claim("noext"), "noext (2)");
}

TEST(NamesFile, AlwaysOneHundredTwentyEightEntries)
{
    std::string text;
    for (int i = 1; i <= 50; ++i)
        text += "line " + std::to_string(i) + "\r\n";
    NameLines lines = parseNames(kwtest::view(text));
    EXPECT_EQ(lines[0], "line 1");
    EXPECT_EQ(lines[49], "line 50");
    EXPECT_EQ(lines[50], "051");
    EXPECT_EQ(lines[96], "097");
    EXPECT_EQ(lines[127], "128");

    std::string many;
    for (int i = 1; i <= 130; ++i)
        many += "n" + std::to_string(i) + "\n";
    lines = parseNames(kwtest::view(many));
    EXPECT_EQ(lines[127], "n128");

    // CR LF, CR and LF all end a line; an empty line is an entry; the last
    // line needs no ending.
    lines = parseNames(kwtest::view("a\r\nb\rc\n\nd\r\n\re"));
    EXPECT_EQ((std::vector<std::string>(lines.begin(), lines.begin() + 7)),
              (std::vector<std::string>{"a", "b", "c", "", "d", "", "e"}));
    EXPECT_EQ(lines[7], "008");
    EXPECT_EQ(parseNames({})[0], "001");
}

TEST(NamesFile, WrittenInWindows1252WithCrLfAndReadBackTheSame)
{
    kwtest::TempDir dir;
    std::vector<std::string> lines;
    for (int i = 0; i < 128; ++i)
        lines.push_back(numberedEntry(i, "SQ Caf\xE9 " + std::to_string(i)));
    const fs::path file = changeExtension(dir / "names", kNamesExtension);
    EXPECT_EQ(file.filename(), "names.PFN");
    ASSERT_FALSE(writeNamesFile(file, lines));
    const Bytes raw = kwtest::readAll(file);
    const std::string first = "001  SQ Caf\xE9 0\r\n";
    EXPECT_EQ(std::string(raw.begin(), raw.begin() + long(first.size())), first);
    auto back = readNamesFile(file);
    ASSERT_TRUE(back);
    EXPECT_EQ(std::vector<std::string>(back->begin(), back->end()), lines);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"names.PFN"});
}
