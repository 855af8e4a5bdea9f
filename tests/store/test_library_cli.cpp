// knobwright-files library ... as a shell user and a script run it: the
// built program as a child process, and killed in the middle of an import.

#include "MidiBuilder.h"
#include "StoreFixture.h"

#include "files/BankFile.h"
#include "files/MidiFile.h"
#include "files/PerformanceFile.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

using namespace kw;
using namespace kwtest;

namespace {

const std::string kTry = "Try 'knobwright-files --help'.\n";

std::string commandLine(const std::vector<std::string>& args)
{
    std::string line;
    for (const std::string& a : args)
        line += a + " ";
    return line;
}

PerformanceRecord numbered(PerformanceRecord r, int number)
{
    r.setNumber(number, Checksums::Recompute);
    return r;
}

// Another sound than the defaults every record of makeRecord() shares.
PerformanceRecord ownSound(PerformanceRecord r)
{
    r[kRecordNameOffset + 20] ^= 0x11;
    return numbered(r, r.number());
}

} // namespace

TEST(LibraryCli, ImportSearchAndExportSayWhatTheyDidWithTheToolsExitStatuses)
{
    TempDir dir;
    const fs::path d = dir.path();
    fs::create_directories(d / "shelf");
    const PerformanceRecord alpha = makeRecord(0, 12, "AlphaPad");
    const PerformanceRecord beta = ownSound(makeRecord(1, 5, "Beta"));
    const PerformanceRecord delta = makeRecord(2, 12, "Delta");
    PerformanceRecord gamma = makeRecord(2, 1, "Gamma");
    gamma[107] ^= 1;
    ASSERT_FALSE(writePerformanceFile(d / "shelf" / "a.SYX", alpha));
    ASSERT_FALSE(writeBankFile(d / "shelf" / "bank.PFB", std::vector{beta, gamma}));
    writeAll(d / "shelf" / "song.mid", midiFileBytes(std::vector{delta}));
    writeAll(d / "junk.sqlite", view("not a library"));
    const std::string lib = "--library=lib.sqlite";
    const std::string damaged = "knobwright-files: shelf/bank.PFB: record 3 (PF Gamma): bad checksum in message 3\n";
    struct Row {
        std::vector<std::string> args;
        int status;
        std::string out, err;
    };
    const std::vector<Row> rows = {
        {{lib, "library", "import", "shelf"}, 1, "3 files: 3 performances, 3 new, 0 already in the library, 1 damaged\n", damaged},
        {{"library", "import", "--library", "lib.sqlite", "shelf"}, 1,
         "3 files: 3 performances, 0 new, 3 already in the library, 1 damaged\n", damaged},
        {{lib, "library", "import", "shelf/a.SYX", "missing.SYX"}, 2,
         "1 file: 1 performance, 0 new, 1 already in the library, 1 damaged\n",
         "knobwright-files: missing.SYX: cannot read: No such file or directory\n"},
        {{lib, "library", "search", "pad"}, 0,
         "PD AlphaPad  " + (d / "shelf" / "a.SYX").string() + "  (same sound as PD Delta)\nPD Delta  "
             + (d / "shelf" / "song.mid").string() + "  (same sound as PD AlphaPad)\n",
         ""},
        {{lib, "library", "search", "BA", "beta"}, 0, "BA Beta  " + (d / "shelf" / "bank.PFB").string() + "\n", ""},
        {{lib, "library", "search", "gamma"}, 1, "", "knobwright-files: lib.sqlite: nothing matches 'gamma'\n"},
        {{lib, "library", "export", "pad", "pads.PFB"}, 0, "", ""},
        {{lib, "library", "export", "", "all.MID"}, 0, "", ""},
        {{lib, "library", "export", "zzz", "none.PFB"}, 1, "",
         "knobwright-files: lib.sqlite: nothing matches 'zzz'; none.PFB not written\n"},
        {{lib, "library", "export", "pad", "shelf"}, 2, "", "knobwright-files: shelf: cannot write: Is a directory\n"},
        // A file of the user's named as the library is refused and left as
        // it is; a library that is not there is not made by a search.
        {{"--library", "junk.sqlite", "library", "search"}, 2, "",
         "knobwright-files: junk.sqlite: cannot open the library: The library junk.sqlite cannot be used: it is damaged "
         "(file is not a database); it was left as it is\n"},
        {{"--library", "none/lib.sqlite", "library", "search"}, 2, "",
         "knobwright-files: none/lib.sqlite: cannot open the library: there is no library at none/lib.sqlite\n"},
        {{lib, "library"}, 2, "", "knobwright-files: library: no subcommand (import, search or export)\n" + kTry},
        {{lib, "library", "list"}, 2, "", "knobwright-files: library: unknown subcommand 'list'\n" + kTry},
        {{lib, "library", "import"}, 2, "", "knobwright-files: library import: no files or folders\n" + kTry},
        {{lib, "library", "export", "pad"}, 2, "", "knobwright-files: library export: no output file\n" + kTry},
        {{"library", "search", "--library"}, 2, "", "knobwright-files: option '--library' needs a value\n" + kTry},
        {{"--library=", "library", "search"}, 2, "", "knobwright-files: option '--library' needs a value\n" + kTry},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(commandLine(row.args));
        const Ran r = runTool(d, row.args);
        EXPECT_EQ(r.status, row.status) << describe(r);
        EXPECT_EQ(r.out, row.out);
        EXPECT_EQ(r.err, row.err);
    }
    EXPECT_EQ(readAll(d / "pads.PFB"), bankBytes(std::vector{numbered(alpha, 0), numbered(delta, 1)}));
    const auto all = readMidiSysex(readAll(d / "all.MID"));
    ASSERT_TRUE(all);
    std::vector<Bytes> expected;
    for (const auto& r : {numbered(alpha, 0), numbered(beta, 1), numbered(delta, 2)})
        for (int m = 0; m < kBlocksPerPerformance; ++m)
            expected.emplace_back(r.message(m).begin(), r.message(m).end());
    EXPECT_EQ(*all, expected);
    EXPECT_FALSE(fs::exists(d / "none.PFB"));
    EXPECT_EQ(readAll(d / "junk.sqlite"), bytesOf("not a library"));
    EXPECT_FALSE(fs::exists(d / "junk.sqlite.bad"));
    EXPECT_FALSE(fs::exists(d / "none"));

    // More than a bank holds: the first 128 by name, and it says so.
    const std::vector<PerformanceRecord> many = randomRecords(std::vector<int>(130, 3), 29);
    ASSERT_FALSE(writeBankFile(d / "many.PFB", many));
    ASSERT_EQ(runTool(d, {lib, "library", "import", "many.PFB"}).status, 0);
    const Ran big = runTool(d, {lib, "library", "export", "", "big.PFB"});
    EXPECT_EQ(big.status, 1) << describe(big);
    EXPECT_EQ(big.err, "knobwright-files: big.PFB: '' finds 133 performances; the first 128 by name were written\n");
    auto bank = parseBank(readAll(d / "big.PFB"));
    ASSERT_TRUE(bank);
    EXPECT_EQ(bank->records.size(), 128u);

    // A damaged file named to forge a line and a colour is named harmlessly.
    fs::create_directories(d / "hostile");
    ASSERT_FALSE(writeBankFile(d / "hostile" / "evil\n\x1b[31mred\xc2\x9b.PFB", std::vector{gamma}));
    const Ran hostile = runTool(d, {lib, "library", "import", "hostile"});
    EXPECT_EQ(hostile.status, 1) << describe(hostile);
    EXPECT_EQ(hostile.err, "knobwright-files: hostile/evil??[31mred?.PFB: record 3 (PF Gamma): bad checksum in message 3\n");

    // Without --library: where the editor keeps its data.
    ::setenv("XDG_DATA_HOME", (d / "data").c_str(), 1);
    const Ran home = runTool(d, {"library", "import", "shelf/a.SYX"});
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(home.status, 0) << describe(home);
    EXPECT_TRUE(fs::exists(d / "data" / "Knobwright" / "library.sqlite"));
}

TEST(LibraryCli, ALibraryPathThatIsNoFileIsNamedAndOneThatCannotBeWrittenIsRead)
{
    TempDir dir;
    const fs::path d = dir.path();
    // Runs the tool; one still running after 20 s hangs, and is killed.
    const auto ranWithin = [&](const std::vector<std::string>& args, bool asOtherUser = false) {
        const pid_t pid = startTool(d, args, asOtherUser);
        for (int i = 0; i < 2000; ++i) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                Ran r;
                r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                const Bytes err = readAll(d / ".stderr");
                r.err.assign(err.begin(), err.end());
                return std::optional<Ran>(r);
            }
            ::usleep(10'000);
        }
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        return std::optional<Ran>();
    };
    ASSERT_EQ(::mkfifo((d / "pipe.sqlite").c_str(), 0644), 0);
    fs::create_directory(d / "folder.sqlite");
    fs::create_symlink("/dev/zero", d / "zero.sqlite");
    const std::pair<const char*, const char*> notFiles[] = {
        {"pipe.sqlite", "it is a named pipe (FIFO)"},
        {"folder.sqlite", "it is a folder"},
        {"zero.sqlite", "it is a device (through a link)"},
    };
    for (const auto& [name, why] : notFiles) {
        SCOPED_TRACE(name);
        const auto r = ranWithin({"--library", name, "library", "search", "x"});
        ASSERT_TRUE(r) << "it hangs";
        EXPECT_EQ(r->status, 2);
        EXPECT_NE(r->err.find(std::string("cannot be used: ") + why), std::string::npos) << r->err;
    }
    EXPECT_TRUE(fs::is_fifo(d / "pipe.sqlite")) << "nothing moved aside";

    // A library in a folder nobody may write: searched, with a word that it
    // can only be read.
    fs::create_directory(d / "shelf");
    ASSERT_FALSE(writePerformanceFile(d / "a.SYX", makeRecord(0, 12, "AlphaPad")));
    ASSERT_EQ(runTool(d, {"--library", "shelf/library.sqlite", "library", "import", "a.SYX"}).status, 0);
    ASSERT_FALSE(fs::exists(d / "shelf" / "library.sqlite-wal"));
    fs::permissions(d / "shelf", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const auto found = ranWithin({"--library", "shelf/library.sqlite", "library", "search", "alpha"}, true);
    fs::permissions(d / "shelf", fs::perms::owner_write, fs::perm_options::add);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->status, 0) << found->err;
    EXPECT_EQ(readAll(d / ".stdout").size() > 0, true);
    EXPECT_NE(found->err.find("can only be read"), std::string::npos) << found->err;
}

TEST(LibraryCli, AnImportKilledAtAnyMomentLeavesAnIntactLibraryOfWholeFiles)
{
    // KW_KILL_TRIES=20 KW_KILL_FILES=10000 for the long version
    // (scripts/kill-import.sh).
    const int tries = std::getenv("KW_KILL_TRIES") ? std::atoi(std::getenv("KW_KILL_TRIES")) : 3;
    const int count = std::getenv("KW_KILL_FILES") ? std::atoi(std::getenv("KW_KILL_FILES")) : 1500;
    const unsigned seed = std::getenv("KW_KILL_SEED") ? unsigned(std::atoi(std::getenv("KW_KILL_SEED")))
                                                      : unsigned(std::random_device()());
    SCOPED_TRACE("KW_KILL_SEED=" + std::to_string(seed));
    TempDir dir;
    const fs::path files = dir / "files";
    fs::create_directories(files);
    std::map<std::string, PerformanceRecord> expected;
    const std::vector<PerformanceRecord> records = randomRecords(std::vector<int>(size_t(count), 0), 41);
    for (int i = 0; i < count; ++i) {
        const fs::path f = files / ("f" + std::to_string(100000 + i) + ".SYX");
        ASSERT_FALSE(writePerformanceFile(f, records[size_t(i)]));
        expected[f.string()] = records[size_t(i)];
    }
    // How long a whole import takes here, so the kills fall inside one.
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(runTool(dir.path(), {"--library", "timing.sqlite", "library", "import", "files"}).status, 0);
    const auto whole = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);

    // Every other try kills an import into a new library within its first
    // 10 ms, while the file is being made; the others kill, at any moment,
    // imports into one library that earlier kills left behind.
    std::mt19937 rng(seed);
    const fs::path library = dir / "library.sqlite";
    for (int t = 0; t < tries; ++t) {
        SCOPED_TRACE("try " + std::to_string(t + 1));
        const bool early = t % 2 == 1;
        const fs::path target = early ? dir / ("new-" + std::to_string(t) + ".sqlite") : library;
        const auto moment = early ? std::chrono::microseconds(rng() % 10000)
                                  : std::chrono::microseconds(rng() % uint64_t(whole.count() + 1));
        const pid_t child = startTool(dir.path(), {"--library", target.string(), "library", "import", "files"});
        std::this_thread::sleep_for(moment);
        ::kill(child, SIGKILL);
        finishTool(dir.path(), child);
        auto store = openStore(target);
        ASSERT_TRUE(store);
        EXPECT_TRUE(store->notes().empty()) << store->notes()[0];
        expectWholeFilesOnly(*store, target, expected);
    }
    const Ran last = runTool(dir.path(), {"--library", library.string(), "library", "import", "files"});
    EXPECT_EQ(last.status, 0) << describe(last);
    auto store = openStore(library);
    EXPECT_EQ(*store->count(), size_t(count));
    expectWholeFilesOnly(*store, library, expected);
}
