// The performance library from the commands' side, against the virtual CS1x
// in virtual time: what passes through is kept by itself (and not when the
// setting is off), the list's lines survive a restart, a send into user
// memory asks first and backs up what the library lacks, and the library's
// own commands (audition, open, send, export, import) do what they say.
#include "SessionFixture.h"

#include "files/FilePaths.h"
#include "files/PerformanceFile.h"
#include "files/RecordReader.h"
#include "model/UserPerfList.h"
#include "session/library/LibraryCommands.h"
#include "session/library/LibraryKeeper.h"
#include "session/library/MemoryView.h"
#include "session/library/ReplaceGuard.h"
#include "session/Links.h"
#include "store/FieldsFile.h"
#include "store/PerformanceData.h"
#include "support/RandomRecords.h"

#include <array>
#include <chrono>
#include <map>
#include <numeric>
#include <random>
#include <thread>

using namespace kw;
namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

namespace {

struct Keeping : kwtest::SessionFixture {
    fs::path libraryFile = dir / "library.sqlite";
    std::unique_ptr<LibraryKeeper> keeper;
    std::unique_ptr<LibraryCommands> commands;

    Keeping()
    {
        settings.longDelay = false;
        ui.session = &session;
        restart();
        synth.fillMemory(7);
    }
    // The library as a new run of the program finds it.
    void restart()
    {
        commands.reset();
        keeper.reset();
        keeper = std::make_unique<LibraryKeeper>(settings, clock, [this] { return Store::open(libraryFile); });
        linkKeeper(*keeper, ctx);
        commands = std::make_unique<LibraryCommands>(ctx, *keeper);
    }
    // A library that holds nothing yet.
    void freshLibrary()
    {
        commands.reset();
        keeper.reset();
        for (const char* end : {"", "-wal", "-shm"})
            fs::remove(libraryFile.string() + end);
        restart();
    }
    Store& store() { return *keeper->store(); }
    // Every entry's name with where it was seen, sorted by name.
    Strings kept()
    {
        Strings out;
        const auto ids = store().match("", {});
        const auto rows = store().rows(*ids);
        for (const LibraryRow& r : *rows) {
            const auto seen = store().sightings(r.id);
            for (const std::string& s : *seen)
                out.push_back(r.name + " @ " + s.substr(0, s.find(" (")));
        }
        std::sort(out.begin(), out.end());
        return out;
    }
    PerformanceRecord rec(int pp) const { return *PerformanceRecord::fromBytes(synth.userRecord(pp)); }
    std::string nameOf(int pp) const { return trimBlanks(rec(pp).name()); }
    static Bytes editDataOf(const PerformanceRecord& r)
    {
        BlockSet b(false);
        r.toEdit(b);
        return editData(b);
    }
    bool statusSaid(const std::string& text) const
    {
        return std::find(ui.statuses.begin(), ui.statuses.end(), text) != ui.statuses.end();
    }
    fs::path writeRecord(const std::string& file, int pp)
    {
        EXPECT_FALSE(writePerformanceFile(dir / file, rec(pp)));
        return dir / file;
    }
    int64_t idOf(int pp)
    {
        auto id = store().find(performanceData(rec(pp)));
        return id && *id ? **id : 0;
    }
};

} // namespace

TEST_F(Keeping, WhatPassesThroughIsKeptOnceWithWhereItWasSeen)
{
    const fs::path syx = writeRecord("one.SYX", 3);
    struct Way {
        const char* what;
        std::function<void()> act;
        Strings expected;
    };
    const std::vector<Way> ways = {
        {"fetch", [&] { session.chooseUserPerf(5); }, {nameOf(5) + " @ CS1x user 006"}},
        {"open a file", [&] {
             dialogs.files = {syx.string()};
             file.MenuFileOpenActPerfClick();
         },
         {nameOf(3) + " @ " + syx.string()}},
        {"back up one", [&] {
             dialogs.userPerfs = {9};
             dialogs.folders = {dir.path().string()};
             bulk.MenuBulkSinglePerfHDClick();
         },
         {nameOf(9) + " @ CS1x user 010"}},
        {"send a file", [&] {
             dialogs.files = {syx.string()};
             dialogs.userPerfs = {20};
             bulk.MenuBulkSinglePerfSynthClick();
         },
         {nameOf(3) + " @ " + syx.string(), nameOf(3) + " @ CS1x user 021"}},
    };
    for (const Way& w : ways) {
        SCOPED_TRACE(w.what);
        freshLibrary();
        w.act();
        runAll();
        Strings expected = w.expected;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(kept(), expected);
    }
    // Off, nothing goes in by itself; the user's own command still keeps.
    freshLibrary();
    settings.keepInLibrary = false;
    session.chooseUserPerf(5);
    dialogs.userPerfs = {9};
    dialogs.folders = {dir.path().string()};
    bulk.MenuBulkSinglePerfHDClick();
    runAll();
    EXPECT_EQ(*store().count(), 0u);
    commands->keepEdited();
    EXPECT_EQ(kept(), Strings{nameOf(5) + " @ Kept from the editor"});
    EXPECT_TRUE(statusSaid("Kept in the library: " + trimBlanks(rec(5).categoryAbbreviation()) + " " + nameOf(5)));
}

TEST_F(Keeping, TheListSurvivesARestartAndABankIsKeptInSlices)
{
    // Lines received as the list shows them before any request (the
    // factory's names) must come back too, not as bare numbers.
    for (int pp : {2, 4, 127}) {
        const BuiltInUserPerf& b = builtInUserPerfs()[size_t(pp)];
        nameOnSynth(pp, std::string(b.name.begin(), b.name.end()), b.category);
    }
    bulk.MenuBulkPerfNamesClick();
    runAll();
    const NameLines seen = session.userPerfs().lines();
    ASSERT_NE(seen, UserPerfNames().lines());
    keeper->flush();
    restart();
    UserPerfNames fresh;
    loadNamesAtStart(fresh, {}, dialogs, keeper.get());
    EXPECT_EQ(fresh.lines(), seen);

    // A bank of 1,000 records: kept a slice at a time, every one of them.
    std::vector<int> numbers(1000);
    for (int i = 0; i < 1000; ++i)
        numbers[size_t(i)] = i % 128;
    const auto records = kwtest::randomRecords(numbers, 3);
    ASSERT_FALSE(writeBankFile(dir / "big.PFB", records));
    size_t keptWhenRead = 0;
    ctx.readBankInSlices(dir / "big.PFB", [&](Result<BankContents>) { keptWhenRead = *store().count(); });
    runAll();
    EXPECT_LT(keptWhenRead, 1000u) << "a bank is not kept in one go";
    EXPECT_EQ(*store().count(), 1000u);
}

TEST_F(Keeping, ReplaceQuestionNamesTheMemoriesAndHowTheEditorKnowsThem)
{
    const std::vector<std::pair<std::vector<int>, std::string>> texts = {
        {{5}, "Replace user performance 006 in the CS1x?"},
        {{60, 61, 62}, "Replace user performances 061-063 in the CS1x?"},
        {{127, 0, 4, 5, 6, 5}, "Replace user performances 001, 005-007 and 128 in the CS1x?"},
    };
    for (const auto& [numbers, text] : texts)
        EXPECT_EQ(replaceQuestion(numbers), text);

    // What the box says of 021 and 022, by what the editor saw of them.
    const fs::path syx = writeRecord("new.SYX", 3);
    const std::string q = "choose:Replace user performances: Replace user performance 021 in the CS1x?\n";
    const std::string offer = "\nBacking up reads it into the library first (about 1 s).|Back up first|Replace|Cancel";
    struct Case {
        const char* what;
        std::function<void()> before;
        std::string said;
    };
    const std::vector<Case> cases = {
        {"never seen", [] {}, q + "The editor has not seen what 021 holds since it found the CS1x." + offer},
        {"read, not kept", [&] {
             settings.keepInLibrary = false;
             session.chooseUserPerf(20);
         },
         q + "The library does not hold what 021 held when the editor last saw it." + offer},
        {"read and kept", [&] { session.chooseUserPerf(20); },
         q + "The library holds what it held when the editor last saw it; a store on the CS1x's own panel since "
             "then cannot be seen." + offer},
        {"read, then the synth found again", [&] {
             session.chooseUserPerf(20);
             runAll();
             keeper->synthMemory().greeted();
         },
         q + "The editor has not seen what 021 holds since it found the CS1x." + offer},
        {"no input", [&] { inputOpen = false; },
         q + "The editor has not seen what 021 holds since it found the CS1x.\nNo backup is possible: the CS1x's "
             "answers cannot come in (no MIDI input).|Replace|Cancel"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        freshLibrary();
        settings.keepInLibrary = true;
        inputOpen = true;
        c.before();
        runAll();
        dialogs.files = {syx.string()};
        dialogs.userPerfs = {20};
        dialogs.chooses = {int(c.said.ends_with("|Back up first|Replace|Cancel")) + 1};  // Cancel
        dialogs.log.clear();
        bulk.MenuBulkSinglePerfSynthClick();
        runAll();
        ASSERT_FALSE(dialogs.log.empty());
        EXPECT_EQ(dialogs.log.back(), c.said);
    }
}

// Whatever the synth holds, and however it came to hold it (read by the
// editor, sent by it, stored on its panel behind the editor's back, the
// synth found again), a send never replaces a memory without the backup
// on offer; the question says which memories the editor has not seen; and
// a backup leaves in the library every sound it replaced.
TEST_F(Keeping, ASendNeverReplacesWhatTheLibraryLacksWithoutOfferingTheBackup)
{
    constexpr int kMemories = 12;  // few, so that operations meet
    std::mt19937 rng(20261210);
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    // What the editor saw in each memory since it last found the synth.
    std::array<std::optional<PerformanceData>, kMemories> seen{};
    int sends = 0, backups = 0, panelStores = 0;
    for (int step = 0; step < 400; ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        switch (pick(6)) {
        case 0: {  // read by the editor
            const int pp = pick(kMemories);
            session.chooseUserPerf(pp);
            runAll();
            seen[size_t(pp)] = performanceData(rec(pp));
            break;
        }
        case 1: {  // stored on the synth's panel: the editor cannot see it
            const int pp = pick(kMemories);
            const PerformanceRecord r = kwtest::randomRecord(rng, pp);
            for (int i = 0; i < kBlocksPerPerformance; ++i)
                synth.synth.handle(r.message(i));
            ++panelStores;
            break;
        }
        case 2:  // the synth was switched off and on, and found again
            keeper->synthMemory().greeted();
            seen.fill(std::nullopt);
            break;
        case 3:
            settings.keepInLibrary = !settings.keepInLibrary;
            break;
        default: {  // a send: one file, or a bank with gaps
            std::vector<int> numbers;
            const bool bank = pick(2) == 0;
            for (int pp = 0; pp < kMemories; ++pp)
                if (bank ? pick(3) == 0 : false)
                    numbers.push_back(pp);
            if (numbers.empty())
                numbers.push_back(pick(kMemories));
            std::vector<PerformanceRecord> records;
            for (int pp : numbers)
                records.push_back(kwtest::randomRecord(rng, pp));
            std::map<int, PerformanceData> before;
            for (int pp : numbers)
                before[pp] = performanceData(rec(pp));
            const int button = pick(3);  // Back up first, Replace, Cancel
            dialogs.log.clear();
            dialogs.chooses = {button};
            if (bank) {
                ASSERT_FALSE(writeBankFile(dir / "send.PFB", records));
                dialogs.files = {(dir / "send.PFB").string()};
                bulk.MenuBulkPerfBankSynthClick();
            } else {
                ASSERT_FALSE(writePerformanceFile(dir / "send.SYX", records.front()));
                dialogs.files = {(dir / "send.SYX").string()};
                dialogs.userPerfs = {numbers.front()};
                bulk.MenuBulkSinglePerfSynthClick();
            }
            runAll();
            ++sends;
            const auto asked = std::find_if(dialogs.log.begin(), dialogs.log.end(), [](const std::string& l) {
                return l.starts_with("choose:Replace user performances: ");
            });
            ASSERT_NE(asked, dialogs.log.end()) << "a send asks first";
            EXPECT_TRUE(asked->ends_with("|Back up first|Replace|Cancel")) << *asked;
            const bool someUnseen = std::any_of(numbers.begin(), numbers.end(),
                                                [&](int pp) { return !seen[size_t(pp)]; });
            EXPECT_EQ(asked->find("has not seen") != std::string::npos, someUnseen) << *asked;
            if (button == 2) {
                for (int pp : numbers)
                    EXPECT_EQ(performanceData(rec(pp)), before[pp]) << "cancelled, yet " << pp << " changed";
                break;
            }
            for (size_t i = 0; i < numbers.size(); ++i) {
                const int pp = numbers[i];
                EXPECT_EQ(performanceData(rec(pp)), performanceData(records[i]));
                seen[size_t(pp)] = performanceData(records[i]);
                if (button == 0) {
                    EXPECT_TRUE(store().find(before[pp])->has_value())
                        << "the backup lost what user performance " << pp + 1 << " held";
                }
            }
            backups += button == 0;
            break;
        }
        }
    }
    EXPECT_GT(sends, 100);
    EXPECT_GT(backups, 20);
    EXPECT_GT(panelStores, 30);
}

TEST_F(Keeping, LibraryCommandsAuditionOpenSendExportAndImport)
{
    session.chooseUserPerf(1);
    runAll();
    const Bytes edited = editData(img.edit);
    for (int pp : {0, 40}) {  // into the library, as backed up
        dialogs.userPerfs = {pp};
        dialogs.folders = {dir.path().string()};
        bulk.MenuBulkSinglePerfHDClick();
        runAll();
    }
    const int64_t one = idOf(0), other = idOf(40);
    ASSERT_TRUE(one && other);

    // Audition plays it; the end gives the edited one back, image and synth.
    commands->windowOpened();
    commands->audition(one);
    runAll();
    EXPECT_EQ(editData(synth.synth.editBuffer()), editDataOf(rec(0)));
    commands->windowClosed();
    runAll();
    EXPECT_EQ(editData(img.edit), edited);
    EXPECT_EQ(editData(synth.synth.editBuffer()), edited);

    // Open makes it the edited performance; nothing comes back later.
    commands->windowOpened();
    commands->audition(other);
    runAll();
    commands->open(one);
    commands->windowClosed();
    runAll();
    EXPECT_EQ(editData(img.edit), editDataOf(rec(0)));
    EXPECT_EQ(editData(synth.synth.editBuffer()), editData(img.edit));

    // Send: into 100 and 101, after the question.
    dialogs.userPerfs = {100};
    dialogs.chooses = {1};
    commands->sendToUser({one, other});
    runAll();
    EXPECT_EQ(performanceData(rec(100)), performanceData(rec(0)));
    EXPECT_EQ(performanceData(rec(101)), performanceData(rec(40)));
    // Recorded where they went, beside where they came from.
    for (const auto& [id, memory] : {std::pair{one, "CS1x user 101"}, std::pair{other, "CS1x user 102"}}) {
        const auto seen = store().sightings(id);
        ASSERT_TRUE(seen);
        EXPECT_TRUE(std::any_of(seen->begin(), seen->end(), [&](const std::string& s) { return s.rfind(memory, 0) == 0; }))
            << memory << " in " << ::testing::PrintToString(*seen);
    }

    // Export in each format reads back as the same two performances.
    const fs::path out = dir / "out";
    fs::create_directories(out);
    struct Format {
        int button;
        std::vector<std::string> files;
    };
    for (const Format& f : std::vector<Format>{{0, {}}, {1, {(out / "x.PFB").string()}}, {2, {(out / "x.MID").string()}}}) {
        SCOPED_TRACE(f.button);
        fs::remove_all(out);
        fs::create_directories(out);
        // A dangling link named as the first file will be: an export never
        // writes through it.
        const auto first = rec(0);
        fs::create_symlink(dir / "PWNED.SYX", out / performanceFileName(first.category(), first.name()));
        dialogs.chooses = {f.button};
        dialogs.folders = {out.string()};
        for (const auto& name : f.files)
            dialogs.files.push_back(name);
        ASSERT_TRUE(commands->exportEntries({one, other}));
        std::vector<PerformanceData> back;
        EXPECT_FALSE(nameTaken(dir / "PWNED.SYX"));
        size_t fieldsFiles = 0;
        for (const auto& e : fs::directory_iterator(out)) {
            if (e.is_symlink())
                continue;
            if (isFieldsFile(e.path())) {
                // What the user added to them, beside them.
                const auto fields = readFieldsFile(e.path());
                EXPECT_TRUE(fields && fields->size() == 2) << (fields ? "" : fields.error());
                ++fieldsFiles;
                continue;
            }
            const auto found = readRecords(e.path());
            ASSERT_TRUE(found);
            for (const FoundRecord& r : found->records)
                back.push_back(performanceData(r.record));
        }
        EXPECT_EQ(fieldsFiles, 1u);
        std::sort(back.begin(), back.end());
        std::vector<PerformanceData> want = {*store().data(one), *store().data(other)};
        std::sort(want.begin(), want.end());
        EXPECT_EQ(back, want);
    }

    // More than the 128 user memories: no bank and no MIDI file, said so.
    const std::vector<int64_t> tooMany(129, one);
    for (const int button : {1, 2}) {
        dialogs.chooses = {button};
        EXPECT_FALSE(commands->exportEntries(tooMany));
        EXPECT_EQ(dialogs.boxes.back().substr(dialogs.boxes.back().find(" holds")),
                  " holds at most 128 performances; 129 performances are selected. Nothing was written.");
    }

    // Import of a folder on its own thread: counted, damaged ones listed.
    const fs::path in = dir / "in";
    fs::create_directories(in / "sub");
    ASSERT_FALSE(writeBankFile(in / "sub" / "b.PFB", kwtest::randomRecords({1, 2, 3}, 11)));
    writeRecord("in/known.SYX", 0);
    kwtest::writeAll(in / "broken.SYX", Bytes(317, 0xF0));
    // Renamed here and exported: it comes back as itself, not as a twin.
    RowEdit renamed;
    renamed.name = "Mine";
    ASSERT_FALSE(store().edit(std::vector{other}, renamed));
    ASSERT_FALSE(writePerformanceFile(in / "mine.SYX", *store().record(other, 0)));
    commands->importPaths({in});
    for (int i = 0; i < 10000 && commands->importing(); ++i) {
        clock.advance(100);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_FALSE(commands->importing());
    EXPECT_TRUE(boxed("4 files: 5 performances, 3 new, 2 already in the library, 1 damaged")) << dialogs.boxes.back();
}

TEST_F(Keeping, EveryFolderChooserIsTitledForWhatItPicks)
{
    dialogs.userPerfs = {0};
    dialogs.folders = {dir.path().string()};
    bulk.MenuBulkSinglePerfHDClick();
    runAll();
    const int64_t kept = idOf(0);
    ASSERT_TRUE(kept);
    const struct {
        std::function<void()> act;
        const char* title;
    } choosers[] = {
        {[&] {
             dialogs.userPerfs = {3};
             bulk.MenuBulkSinglePerfHDClick();
         },
         "Select dest. path"},
        {[&] {
             dialogs.asks = {2};  // SysEx files
             bulk.MenuBulkAllPerfHDClick();
         },
         "Select dest. path"},
        {[&] {
             dialogs.chooses = {0};  // SysEx files
             commands->exportEntries({kept});
         },
         "Choose a folder to export to"},
        {[&] {
             dialogs.chooses = {1};  // a folder
             commands->importChosen();
         },
         "Choose a folder to import"},
    };
    for (const auto& c : choosers) {
        dialogs.log.clear();
        dialogs.folders = {std::nullopt};  // cancelled: nothing runs
        c.act();
        runAll();
        EXPECT_EQ(dialogs.log.back(), std::string("folder:") + c.title + "|" + settings.lastDir);
    }
}

// The synth's memory as the library knows it: a check of every memory shows
// all 128 as read; a send shows as sent; once the synth is found again all
// of it may have changed, and a restart of the program still knows what was
// last seen where; a check finds a store made on the panel and keeps it.
TEST_F(Keeping, TheMemoryViewKnowsWhatItSawAndSaysWhereThatMayNoLongerHold)
{
    auto standings = [&] {
        std::map<std::string, int> byHow;
        for (const MemoryRow& r : commands->memoryRows())
            ++byHow[r.standing.substr(0, r.standing.find_first_of("0123456789"))];
        return byHow;
    };
    using Counts = std::map<std::string, int>;
    EXPECT_EQ(standings(), (Counts{{"Unknown", 128}}));

    commands->fetchToCheck({});  // nothing chosen, nothing done
    std::vector<int> all(kUserPerformances);
    std::iota(all.begin(), all.end(), 0);
    commands->fetchToCheck(all);
    runAll();
    EXPECT_EQ(standings(), (Counts{{"Backed up ", 128}}));
    EXPECT_EQ(dialogs.boxes.back(), "Checked 128 user performances: 0 as the library knew them, 0 changed (kept as "
                                    "new entries), 128 not known before.");
    const std::vector<MemoryRow> rows = commands->memoryRows();
    EXPECT_EQ(rows[6].entry, trimBlanks(rec(6).categoryAbbreviation()) + " " + nameOf(6));
    EXPECT_EQ(rows[6].id, idOf(6));

    const fs::path syx = writeRecord("new.SYX", 3);
    dialogs.files = {syx.string()};
    dialogs.userPerfs = {20};
    dialogs.chooses = {1};  // Replace
    bulk.MenuBulkSinglePerfSynthClick();
    runAll();
    EXPECT_EQ(standings(), (Counts{{"Backed up ", 127}, {"Sent ", 1}}));
    EXPECT_EQ(commands->memoryRows()[20].id, idOf(3));

    keeper->synthMemory().greeted();
    EXPECT_EQ(standings(), (Counts{{"May have changed since ", 128}}));
    EXPECT_EQ(commands->memoryRows()[20].id, idOf(3)) << "the last seen there, not the first";
    restart();
    EXPECT_EQ(standings(), (Counts{{"May have changed since ", 128}}));

    // A store on the panel behind the editor's back, then a check of 005-007.
    const PerformanceRecord panel = kwtest::randomRecords({5}, 77).front();
    for (int i = 0; i < kBlocksPerPerformance; ++i)
        synth.synth.handle(panel.message(i));
    const std::string before = commands->memoryRows()[5].entry;
    dialogs.boxes.clear();
    commands->fetchToCheck({4, 5, 6});
    runAll();
    ASSERT_FALSE(dialogs.boxes.empty());
    EXPECT_EQ(dialogs.boxes.back(), "Checked 3 user performances: 2 as the library knew them, 1 changed (kept as "
                                    "new entries), 0 not known before.");
    EXPECT_EQ(dialogs.details.back(), "006: was " + before + ", now " + trimBlanks(panel.categoryAbbreviation())
                                          + " " + trimBlanks(panel.name()) + "\n");
    EXPECT_TRUE(store().find(performanceData(panel))->has_value());
    EXPECT_EQ(standings(), (Counts{{"May have changed since ", 125}, {"Backed up ", 3}}));
}
