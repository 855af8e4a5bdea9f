// mutate, morph and breed of knobwright-files: what a batch of sounds made on
// the command line keeps, and the refusals every command shares.

#include "FilesFixture.h"

#include "files/BankFile.h"
#include "files/FilesTool.h"
#include "files/PerformanceFile.h"
#include "model/Explore.h"
#include "support/RandomSounds.h"

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

PerformanceImage imageOf(const fs::path& file, size_t record = 0)
{
    const Bytes b = kwtest::readAll(file);
    const size_t at = b.size() == PerformanceRecord::kSize ? 0 : kBankMagicSize + record * PerformanceRecord::kSize;
    PerformanceImage img;
    img.setDefaults();
    PerformanceRecord::fromBytes(ByteView(b).subspan(at, PerformanceRecord::kSize))->toEdit(img.edit);
    return img;
}

// Two performances as files, far apart in every parameter.
struct Sounds {
    kwtest::TempDir dir;
    std::string a = (dir / "a.SYX").string(), b = (dir / "b.SYX").string();
    PerformanceImage imgA, imgB;

    Sounds()
    {
        std::mt19937 rng(1234);
        for (auto [img, file, number] : {std::tuple{&imgA, &a, 4}, std::tuple{&imgB, &b, 9}}) {
            PerformanceImage made = kwtest::randomSound(rng);
            const PerformanceRecord r = PerformanceRecord::fromEdit(made.edit, number);
            EXPECT_FALSE(writePerformanceFile(*file, r));
            *img = imageOf(*file);  // as a file holds it
        }
    }
    std::string path(const std::string& name) const { return (dir / name).string(); }
};

// Whether everything `locks` and the frame protect is as in `base`, byte
// for byte, bytes no parameter owns included.
void expectFrameKept(const PerformanceImage& out, const PerformanceImage& base, explore::Locks locks)
{
    std::array<std::array<uint8_t, 64>, kBlocksPerPerformance> free{};
    for (const Parameter& p : performanceParameters())
        if (explore::mayChange(p, base, locks))
            for (const ParamByte& b : p.bytes)
                free[size_t(int(b.block))][b.offset] |= b.mask;
    for (int blk = 0; blk < kBlocksPerPerformance; ++blk)
        for (size_t k = 0; k < base.edit.at(blk).dataLength(); ++k)
            EXPECT_EQ((out.edit.at(blk).data(k) ^ base.edit.at(blk).data(k)) & ~free[size_t(blk)][k], 0)
                << "block " << blk << " offset " << k;
}

} // namespace

TEST(SoundTools, MutateKeepsTheFrameAndTheLocksAndRepeatsItsSeed)
{
    Sounds s;
    const std::string out1 = s.path("m1.SYX"), out2 = s.path("m2.SYX");
    const std::vector<std::string> args = {"mutate", s.a, out1, "--seed", "77", "--lock", "layer2",
                                           "--lock", "effects", "--strength", "30"};
    ASSERT_EQ(tool(args).code, 0);
    std::vector<std::string> again = args;
    again[2] = out2;
    ASSERT_EQ(tool(again).code, 0);
    EXPECT_EQ(kwtest::readAll(out1), kwtest::readAll(out2)) << "the same seed, the same file";

    const PerformanceImage m = imageOf(out1);
    const explore::Locks locks = explore::lockBit(explore::Lock::Layer2) | explore::lockBit(explore::Lock::Effects);
    expectFrameKept(m, s.imgA, locks);
    int changed = 0;
    for (const Parameter& p : performanceParameters())
        changed += p.value(m) != p.value(s.imgA);
    EXPECT_GE(changed, 10);
    EXPECT_EQ(kwtest::readAll(out1)[7], 4) << "the performance keeps its number";

    const ToolRun info = tool({"info", out1});
    EXPECT_EQ(info.code, 0) << info.err;

    // Without a seed it names the one it drew, which makes the file again.
    const ToolRun drawn = tool({"mutate", s.a, s.path("m3.SYX")});
    ASSERT_EQ(drawn.code, 0);
    const size_t at = drawn.err.find("seed ");
    ASSERT_NE(at, std::string::npos) << drawn.err;
    const std::string seed = drawn.err.substr(at + 5, drawn.err.find(' ', at + 5) - at - 5);
    ASSERT_EQ(tool({"mutate", s.a, s.path("m4.SYX"), "--seed", seed}).code, 0);
    EXPECT_EQ(kwtest::readAll(s.path("m3.SYX")), kwtest::readAll(s.path("m4.SYX")));
}

TEST(SoundTools, MorphEndsAreTheTwoSoundsInTheFirstOnesName)
{
    Sounds s;
    ASSERT_EQ(tool({"morph", s.a, s.b, "0", s.path("0.SYX")}).code, 0);
    EXPECT_EQ(kwtest::readAll(s.path("0.SYX")), kwtest::readAll(s.a)) << "0 % is A, byte for byte";

    ASSERT_EQ(tool({"morph", s.a, s.b, "100", s.path("100.SYX")}).code, 0);
    const PerformanceImage whole = imageOf(s.path("100.SYX"));
    expectFrameKept(whole, s.imgA, 0);
    const int loud = explore::loudestLayer(s.imgA);
    for (const Parameter& p : performanceParameters())
        if (explore::mayChange(p, s.imgA, 0) && !(loud && p.key.ends_with(".volume"))) {
            EXPECT_EQ(p.value(whole), p.value(s.imgB)) << p.key;
        }
    EXPECT_EQ(findParameter("name")->text(whole), findParameter("name")->text(s.imgA));

    ASSERT_EQ(tool({"morph", s.a, s.b, "50", s.path("50.SYX"), "--lock", "layer1"}).code, 0);
    for (const Parameter& p : performanceParameters())
        if (p.layer == 1) {
            EXPECT_EQ(p.value(imageOf(s.path("50.SYX"))), p.value(s.imgA)) << p.key;
        }
    EXPECT_EQ(tool({"info", s.path("0.SYX"), s.path("50.SYX"), s.path("100.SYX")}).code, 0);
}

TEST(SoundTools, BreedWritesABankOfChildrenThatRepeatsItsSeed)
{
    Sounds s;
    const std::string bank = s.path("kids.PFB");
    ASSERT_EQ(tool({"breed", s.a, s.b, "--count", "5", bank, "--seed", "3"}).code, 0);
    ASSERT_EQ(tool({"breed", s.a, s.b, "--count", "5", s.path("again.PFB"), "--seed", "3"}).code, 0);
    EXPECT_EQ(kwtest::readAll(bank), kwtest::readAll(s.path("again.PFB")));
    const ToolRun info = tool({"info", bank});
    EXPECT_EQ(info.code, 0) << info.err;
    EXPECT_NE(info.out.find("5 records"), std::string::npos) << info.out;
    for (size_t i = 0; i < 5; ++i) {
        const PerformanceImage child = imageOf(bank, i);
        expectFrameKept(child, s.imgA, 0);
        EXPECT_LT(explore::distance(child, s.imgA) + explore::distance(child, s.imgB),
                  2 * explore::distance(s.imgA, s.imgB));
    }
}

// Refused as every command refuses: exit 2, the file and the reason named,
// nothing written; never an output over an input.
TEST(SoundTools, RefusalsNameTheFileAndWriteNothing)
{
    Sounds s;
    const Bytes before = kwtest::readAll(s.a);
    const ToolRun over = tool({"mutate", s.a, s.a, "--seed", "1"});
    EXPECT_EQ(over.code, 2);
    EXPECT_NE(over.err.find("it is an input"), std::string::npos) << over.err;
    EXPECT_EQ(kwtest::readAll(s.a), before);
    fs::create_symlink(s.a, s.path("link.SYX"));
    EXPECT_EQ(tool({"morph", s.a, s.b, "20", s.path("link.SYX")}).code, 2);
    EXPECT_EQ(kwtest::readAll(s.a), before);

    Bytes damaged = before;
    damaged[20] ^= 0x01;  // a checksum no longer fits
    kwtest::writeAll(s.path("bad.SYX"), damaged);
    const ToolRun bad = tool({"breed", s.b, s.path("bad.SYX"), s.path("out.PFB"), "--seed", "1"});
    EXPECT_EQ(bad.code, 2);
    EXPECT_NE(bad.err.find("bad.SYX"), std::string::npos) << bad.err;
    EXPECT_NE(bad.err.find("checksum"), std::string::npos) << bad.err;
    kwtest::writeAll(s.path("short.SYX"), ByteView(before).first(100));
    const ToolRun cut = tool({"mutate", s.path("short.SYX"), s.path("out.SYX")});
    EXPECT_EQ(cut.code, 2);
    EXPECT_NE(cut.err.find("short.SYX"), std::string::npos) << cut.err;
    EXPECT_FALSE(fs::exists(s.path("out.SYX")));
    EXPECT_FALSE(fs::exists(s.path("out.PFB")));

    for (const auto& args : std::vector<std::vector<std::string>>{
             {"mutate", s.a, "x.SYX", "--lock", "layer5"},
             {"mutate", s.a, "x.SYX", "--strength", "0"},
             {"mutate", s.a, "x.SYX", "--strength", "101"},
             {"mutate", s.a, "x.SYX", "--count", "3"},
             {"morph", s.a, s.b, "101", "x.SYX"},
             {"morph", s.a, s.b, "50", "x.SYX", "--seed", "1"},
             {"breed", s.a, s.b, "x.PFB", "--count", "0"},
             {"breed", s.a, "x.PFB", "--seed", "-1"},
             {"info", s.a, "--seed", "1"},
             {"mutate", s.a}}) {
        const ToolRun r = tool(args);
        EXPECT_EQ(r.code, 2) << args[0] << " " << args.back();
        EXPECT_NE(r.err.find("--help"), std::string::npos) << r.err;
    }
}
