// Importing files and folders: every kind of file a collection holds, what
// an import counts and lists, a cancel, and a disk that fills up.

#include "MidiBuilder.h"
#include "StoreFixture.h"

#include "files/BankFile.h"
#include "files/MidiFile.h"
#include "files/PerformanceFile.h"
#include "store/Import.h"

using namespace kw;
using namespace kwtest;

namespace {

// The edit buffer's seven dumps of an image: how a song file sets up its sound.
Bytes editBufferDumps(const std::string& name, int category)
{
    PerformanceImage img;
    img.setDefaults();
    for (size_t i = 0; i < 8; ++i)
        img.edit[BlockKind::Common00].data(i) = i < name.size() ? uint8_t(name[i]) : ' ';
    img.edit[BlockKind::Common00].data(8) = uint8_t(category);
    Bytes out;
    for (int i = 0; i < kBlocksPerPerformance; ++i)
        out = cat({out, sysex(i ? 20 : 0, img.edit.at(i).outgoing())});
    return out;
}

struct Shelf {
    TempDir dir;
    fs::path root = dir / "shelf";
    PerformanceRecord alpha = makeRecord(0, 1, "Alpha");
    PerformanceRecord beta = makeRecord(1, 12, "Beta");
    PerformanceRecord gamma = makeRecord(5, 2, "Gamma");
    PerformanceRecord delta = makeRecord(6, 2, "Delta");
    PerformanceRecord eps = makeRecord(11, 4, "Eps");
    PerformanceRecord zeta = makeRecord(12, 5, "Zeta");
    PerformanceRecord theta = makeRecord(20, 8, "Theta");
    PerformanceRecord iota = makeRecord(21, 9, "Iota");
    size_t cutMidiSize = 0;

    Shelf()
    {
        fs::create_directories(root / "sub" / "deeper");
        EXPECT_FALSE(writePerformanceFile(root / "a.SYX", alpha));
        EXPECT_FALSE(writePerformanceFile(root / "sub" / "b.syx", beta));
        // Two performances and the start of a third, as one SysEx file.
        Bytes multi = sysexStream({gamma, delta});
        const PerformanceRecord cut = makeRecord(7, 3, "Cut");
        multi.insert(multi.end(), cut.bytes().begin(), cut.bytes().begin() + 109);
        writeAll(root / "sub" / "deeper" / "multi.SYX", multi);
        // A bank holding a performance kept already (another number), and a damaged one.
        PerformanceRecord flipped = zeta;
        flipped[107] ^= 0x01;
        PerformanceRecord alphaElsewhere = alpha;
        alphaElsewhere.setNumber(10, Checksums::Recompute);
        EXPECT_FALSE(writeBankFile(root / "bank.PFB", std::vector{alphaElsewhere, eps, flipped}));
        // A song: notes in running status on one track; on the other the
        // edit buffer set up, then a user performance in F7 continuations.
        Bytes themes;
        for (int m = 0; m < kBlocksPerPerformance; ++m) {
            const ByteView msg = theta.message(m);
            themes = cat({themes, splitSysex(Bytes(msg.begin(), msg.end()), 10, 16, {0x00, 0xFF, 0x01, 0x02, 'h', 'i'})});
        }
        writeAll(root / "song.MID",
                 cat({header(1, 2),
                      track({{0x00, 0x90, 0x3C, 0x40, 0x10, 0x3E, 0x40, 0x10, 0x3C, 0x00, 0x00, 0xC0, 0x05}, kEndOfTrack}),
                      track({{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}, editBufferDumps("Eta", 7), themes, kEndOfTrack})}));
        const Bytes whole = midiFileBytes(std::vector{iota});
        cutMidiSize = whole.size() - 10;
        writeAll(root / "cut.MID", ByteView(whole).first(cutMidiSize));
        writeAll(root / "readme.txt", view("not read: no performance extension"));
        writeAll(root / "text.SYX", view("hello"));
        fs::create_directory_symlink(root, root / "loop");
        EXPECT_FALSE(writePerformanceFile(dir / "outside.bin", iota));
    }

    std::vector<fs::path> paths() const { return {root, dir / "outside.bin", dir / "missing.SYX"}; }
};

} // namespace

TEST(Import, ReadsEveryKindOfFileOnceAndListsWhatIsDamaged)
{
    Shelf shelf;
    const fs::path library = shelf.dir / "library.sqlite";
    auto store = openStore(library);
    ASSERT_TRUE(store);
    const auto paths = shelf.paths();
    std::vector<std::string> progress;
    ImportOptions o;
    o.keepGoing = [&](const ImportProgress& p) {
        progress.push_back(std::to_string(p.filesDone) + "/" + std::to_string(p.filesTotal) + " "
                           + p.current.filename().string());
        return true;
    };
    const ImportResult r = importPaths(*store, paths, o);
    const std::string root = shelf.root.string();
    EXPECT_FALSE(r.stopped);
    EXPECT_FALSE(r.cancelled);
    EXPECT_EQ(r.summary(), "8 files: 9 performances, 8 new, 1 already in the library, 5 damaged");
    EXPECT_EQ(r.outcome(), r.summary());
    EXPECT_EQ(r.damaged, (std::vector<std::string>{
                             (shelf.dir / "missing.SYX").string() + ": cannot read: No such file or directory",
                             root + "/bank.PFB: record 13 (BA Zeta): bad checksum in message 3",
                             root + "/cut.MID: damaged MIDI file: track 1 is cut off at byte " + std::to_string(shelf.cutMidiSize),
                             root + "/text.SYX: not a performance file or bank (5 bytes)",
                             root + "/sub/deeper/multi.SYX: dump of performance 8 (OR Cut): messages 4-7 missing",
                         }));
    // A listing's order, folders after files; links to folders not followed.
    EXPECT_EQ(progress, (std::vector<std::string>{"1/8 a.SYX", "2/8 bank.PFB", "3/8 cut.MID", "4/8 song.MID",
                                                  "5/8 text.SYX", "6/8 b.syx", "7/8 multi.SYX", "8/8 outside.bin"}));

    // Each sound performance is there once, from where it came.
    const std::vector<std::pair<PerformanceRecord, std::string>> kept = {
        {shelf.alpha, root + "/a.SYX"},
        {shelf.beta, root + "/sub/b.syx"},
        {shelf.gamma, root + "/sub/deeper/multi.SYX"},
        {shelf.delta, root + "/sub/deeper/multi.SYX"},
        {shelf.eps, root + "/bank.PFB"},
        {makeRecord(0, 7, "Eta"), root + "/song.MID"},
        {shelf.theta, root + "/song.MID"},
        {shelf.iota, (shelf.dir / "outside.bin").string()},
    };
    EXPECT_EQ(*store->count(), kept.size());
    for (const auto& [record, from] : kept) {
        SCOPED_TRACE(record.shortEntry());
        const auto id = *store->find(performanceData(record));
        ASSERT_TRUE(id);
        EXPECT_EQ(store->rows(std::vector{*id})->at(0).whereFrom, from);
    }
    EXPECT_EQ(store->rows(std::vector{**store->find(performanceData(shelf.alpha))})->at(0).sightings, 2)
        << "the bank's copy is a second sighting";
    SearchFilter byImport;
    byImport.importId = r.importId;
    EXPECT_EQ(store->match("", byImport)->size(), kept.size());
    const auto imports = *store->imports();
    ASSERT_EQ(imports.size(), 1u);
    EXPECT_EQ(imports[0].what, root + ", " + (shelf.dir / "outside.bin").string() + ", " + (shelf.dir / "missing.SYX").string());
    EXPECT_EQ(imports[0].outcome, r.summary());
    EXPECT_GT(imports[0].finished, 0);

    // Again: nothing new, every sighting a second one.
    const ImportResult again = importPaths(*store, paths);
    EXPECT_EQ(again.summary(), "8 files: 9 performances, 0 new, 9 already in the library, 5 damaged");
    EXPECT_EQ(*store->count(), kept.size());
}

TEST(Import, ACancelKeepsTheFilesReadSoFarAndAFullDiskStopsWithTheReason)
{
    Shelf shelf;
    {
        auto store = openStore(shelf.dir / "cancelled.sqlite");
        ImportOptions o;
        o.keepGoing = [](const ImportProgress& p) { return p.filesDone < 3; };
        const ImportResult r = importPaths(*store, shelf.paths(), o);
        EXPECT_TRUE(r.cancelled);
        EXPECT_EQ(r.outcome(), "3 files: 3 performances, 2 new, 1 already in the library, 3 damaged; cancelled after 3 of 8 files");
        EXPECT_EQ(*store->count(), 2u);
        EXPECT_EQ((*store->imports())[0].outcome, r.outcome());
    }

    // Many small files into a library that may not grow beyond a few pages.
    TempDir many;
    std::map<std::string, PerformanceRecord> expected;
    std::vector<PerformanceRecord> records = randomRecords(std::vector<int>(400, 1), 17);
    for (size_t i = 0; i < records.size(); ++i) {
        const fs::path file = many / ("p" + std::to_string(1000 + i) + ".SYX");
        ASSERT_FALSE(writePerformanceFile(file, records[i]));
        expected[file.string()] = records[i];
    }
    const fs::path library = shelf.dir / "full.sqlite";
    Store::Options capped;
    capped.maxPages = 40;
    auto store = openStore(library, capped);
    ImportOptions small;
    small.batchFiles = 10;
    small.batchTime = std::chrono::hours(1);
    const ImportResult r = importPaths(*store, std::vector{many.path()}, small);
    ASSERT_TRUE(r.stopped);
    EXPECT_EQ(r.stopped->kind, StoreError::Kind::Full);
    EXPECT_GT(r.files, 0u);
    EXPECT_LT(r.files, 400u);
    EXPECT_EQ(r.files % 10, 0u) << "whole batches, nothing of the one that failed";
    EXPECT_EQ(r.outcome(), r.summary() + "; stopped after " + std::to_string(r.files) + " of 400 files: the disk is full");
    EXPECT_EQ(*store->count(), r.fresh);
    expectWholeFilesOnly(*store, library, expected);

    // With room again, the rest comes in and what was kept stays.
    store.reset();
    store = openStore(library);
    const ImportResult rest = importPaths(*store, std::vector{many.path()});
    EXPECT_EQ(rest.fresh, 400 - r.fresh);
    EXPECT_EQ(*store->count(), 400u);
    expectWholeFilesOnly(*store, library, expected);
}
