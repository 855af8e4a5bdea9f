#include "FilesFixture.h"

#include "files/PerformanceFile.h"
#include "support/RecordingPort.h"

#include <random>

using namespace kw;
using kwtest::hex;

namespace {

// Every data byte of every edit block set to some 7-bit value.
PerformanceImage randomImage(unsigned seed)
{
    std::mt19937 rng(seed);
    PerformanceImage img;
    for (int b = 0; b < 7; ++b)
        for (size_t k = 0; k < img.edit.at(b).dataLength(); ++k)
            img.edit.at(b).data(k) = uint8_t(rng() & 0x7F);
    return img;
}

PerformanceRecord damaged(const PerformanceRecord& r, size_t pos, uint8_t value)
{
    PerformanceRecord d = r;
    d[pos] = value;
    return d;
}

} // namespace

TEST(PerformanceRecord, BuiltFromTheImageItIsSevenStampedMessagesForItsNumber)
{
    const PerformanceRecord r = kwtest::makeRecord(0, 22, "Pan Seq");
    ASSERT_EQ(r.bytes().size(), 317u);
    const char* headers[7] = {"F0 43 00 4B 00 2E 70 00 00", "F0 43 00 4B 00 15 70 00 30",
                              "F0 43 00 4B 00 09 70 00 50", "F0 43 00 4B 00 29 71 00 00",
                              "F0 43 00 4B 00 29 72 00 00", "F0 43 00 4B 00 29 73 00 00",
                              "F0 43 00 4B 00 29 74 00 00"};
    const size_t offsets[7] = {0, 57, 89, 109, 161, 213, 265};
    for (int i = 0; i < 7; ++i) {
        const ByteView m = r.message(i);
        EXPECT_EQ(m.data(), r.bytes().data() + offsets[i]);
        EXPECT_EQ(hex(m.first(9)), headers[i]) << i;
        EXPECT_EQ(m.back(), 0xF7);
        EXPECT_EQ(m[m.size() - 2], bulkChecksum(m));
    }
    EXPECT_TRUE(r.faults().empty());
    EXPECT_EQ(r.number(), 0);
    EXPECT_EQ(r.name(), "Pan Seq ");
    EXPECT_EQ(r.shortEntry(), "SQ Pan Seq");

    const PerformanceRecord r9 = kwtest::makeRecord(9, 1, "  Lead 1");
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(r9.message(i)[7], 9);
    EXPECT_EQ(r9.shortEntry(), "PF Lead 1");
    EXPECT_EQ(kwtest::makeRecord(0, 0, "DrumTrx2").shortEntry(), "--   DrumTrx2");
    EXPECT_EQ(kwtest::makeRecord(0, 40, "Odd").shortEntry(), "?? Odd");
}

TEST(PerformanceRecord, ImageToFileToImageKeepsEveryDataByte)
{
    kwtest::TempDir dir;
    for (unsigned seed = 1; seed <= 20; ++seed) {
        PerformanceImage img = randomImage(seed);
        ASSERT_FALSE(writePerformanceFile(dir / "p.SYX", PerformanceRecord::fromEdit(img.edit, 5)));
        auto back = readPerformanceFile(dir / "p.SYX");
        ASSERT_TRUE(back);
        PerformanceImage loaded;
        back->toEdit(loaded.edit);
        for (int b = 0; b < 7; ++b) {
            const size_t stored = b == 1 ? 21 : img.edit.at(b).dataLength();  // common 30 keeps 21 of 23
            for (size_t k = 0; k < stored; ++k)
                ASSERT_EQ(loaded.edit.at(b).data(k), img.edit.at(b).data(k)) << seed << " " << b << " " << k;
        }
    }
}

TEST(PerformanceRecord, OpeningClearsTheTwoEditOnlyBytesOfCommon30)
{
    PerformanceImage img;
    img.setDefaults();
    img.edit[BlockKind::Common30][30] = 0x55;
    img.edit[BlockKind::Common30][31] = 0x66;
    // Arbitrary bytes in the file, even where the record has its checksum and F7.
    Bytes junk(317);
    for (size_t i = 0; i < junk.size(); ++i)
        junk[i] = uint8_t(i * 7 + 3);
    auto r = parsePerformanceFile(junk);
    ASSERT_TRUE(r);
    r->toEdit(img.edit);
    EXPECT_EQ(img.edit[BlockKind::Common30][30], 0);
    EXPECT_EQ(img.edit[BlockKind::Common30][31], 0);
    // Into the transfer image the bytes go exactly as they are in the file.
    r->toTransfer(img.transfer);
    EXPECT_EQ(img.transfer.concatenated(), junk);
    EXPECT_EQ(PerformanceRecord::fromTransfer(img.transfer), *r);
}

TEST(PerformanceRecord, RenumberingRewritesTheSevenAddressesWithOrWithoutChecksums)
{
    const PerformanceRecord original = kwtest::makeRecord(8, 22, "Pan Seq");
    PerformanceRecord dropped = original;
    dropped.setNumber(4, Checksums::Keep);
    const size_t addr[7] = {6, 63, 95, 115, 167, 219, 271};
    const char* expect[7] = {"70 04 00", "70 04 30", "70 04 50", "71 04 00", "72 04 00", "73 04 00", "74 04 00"};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(hex(dropped.bytes().subspan(addr[i], 3)), expect[i]);
        EXPECT_EQ(dropped.message(i)[dropped.message(i).size() - 2], original.message(i)[original.message(i).size() - 2]);
    }
    EXPECT_EQ(dropped.faults().size(), 7u);
    EXPECT_EQ(dropped.faults()[0], "bad checksum in message 1");

    PerformanceRecord renumbered = original;
    renumbered.setNumber(4, Checksums::Recompute);
    EXPECT_TRUE(renumbered.faults().empty());
    EXPECT_EQ(renumbered.number(), 4);
    EXPECT_EQ(renumbered, kwtest::makeRecord(4, 22, "Pan Seq"));
}

TEST(PerformanceRecord, FaultsAreNamedPerMessage)
{
    const PerformanceRecord r = kwtest::makeRecord(3, 5, "Bass");
    // Message 3 starts at 89, its checksum is at 89 + 18.
    EXPECT_EQ(damaged(r, 107, r[107] ^ 0x01).faults(), std::vector<std::string>{"bad checksum in message 3"});
    EXPECT_EQ(damaged(r, 56, 0x00).faults(), std::vector<std::string>{"bad framing in message 1"});
    EXPECT_EQ(damaged(r, 58, 0x41).faults(), std::vector<std::string>{"bad framing in message 2"});  // manufacturer
    EXPECT_EQ(damaged(r, 112, 0x4C).faults(), std::vector<std::string>{"bad framing in message 4"});  // model
    EXPECT_EQ(damaged(r, 2, 0x05).faults().size(), 0u) << "a device number is no fault";
    // A byte count that differs also breaks the checksum sum.
    EXPECT_EQ(damaged(r, 62, 0x17).faults(),
              (std::vector<std::string>{"bad framing in message 2", "bad checksum in message 2"}));
    EXPECT_EQ(damaged(r, 168, 0x09).faults(),
              (std::vector<std::string>{"number differs in message 5", "bad checksum in message 5"}));
    EXPECT_EQ(damaged(r, 20, 0x90).faults(),
              (std::vector<std::string>{"bad data byte in message 1", "bad checksum in message 1"}));
    PerformanceRecord far = r;
    far.setNumber(3, Checksums::Keep);
    far[7] = 0x90;
    EXPECT_EQ(far.numberInRange(), -1);
    EXPECT_EQ(far.faults().front(), "number out of range");
}

TEST(PerformanceRecord, SevenBitGuardCutsDataBytesOnlyAndCountsThem)
{
    Bytes junk(317, 0xFF);
    auto r = PerformanceRecord::fromBytes(junk);
    ASSERT_TRUE(r);
    // 46 + 21 + 9 + 4 * 41 data bytes.
    EXPECT_EQ(r->clampDataTo7Bit(), 240);
    EXPECT_EQ(r->clampDataTo7Bit(), 0);
    for (int i = 0; i < 7; ++i) {
        const ByteView m = r->message(i);
        EXPECT_EQ(m[0], 0xFF);
        EXPECT_EQ(m[9], 0x7F);
        EXPECT_EQ(m[m.size() - 2], 0xFF);
        EXPECT_EQ(m.back(), 0xFF);
    }
    EXPECT_FALSE(PerformanceRecord::fromBytes(Bytes(316)));

    // What the editor writes is 7-bit and consistent even from a bad image.
    PerformanceImage img = randomImage(3);
    img.edit.layer(2).data(5) = 0xC1;
    const PerformanceRecord written = PerformanceRecord::fromEdit(img.edit, 0);
    EXPECT_EQ(written[161 + 9 + 5], 0x41);
    EXPECT_TRUE(written.faults().empty());
}

TEST(PerformanceFile, ExactlyThreeHundredSeventeenBytesOfAnything)
{
    kwtest::TempDir dir;
    for (size_t size : {0u, 316u, 318u, 648u}) {
        kwtest::writeAll(dir / "x.SYX", Bytes(size, 0xF0));
        auto r = readPerformanceFile(dir / "x.SYX");
        ASSERT_FALSE(r);
        EXPECT_EQ(r.error().text(), "This is not a valid Performance-file!");
        EXPECT_EQ(r.error().path, dir / "x.SYX");
    }
    auto missing = readPerformanceFile(dir / "none.SYX");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().kind, FileErrorKind::CannotOpen);
    EXPECT_EQ(missing.error().message(),
              "Load-Error : Unable to open file\n" + (dir / "none.SYX").string() + ": No such file or directory");
    auto folder = readPerformanceFile(dir.path());
    ASSERT_FALSE(folder);
    EXPECT_EQ(folder.error().kind, FileErrorKind::CannotOpen);
}
