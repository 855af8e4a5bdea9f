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
#include <sstream>
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
        {{lib, "library"}, 2, "", "knobwright-files: library: no subcommand (import, search, export, diff, similar, info, tag or untag)\n" + kTry},
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

namespace {

// A performance file as another program writes it, byte by byte: the seven
// bulk dumps of user performance 1 with their checksums, from the 240 data
// bytes (name first, then the category).
Bytes handMade(const std::vector<uint8_t>& data)
{
    const int lengths[] = {46, 21, 9, 41, 41, 41, 41};
    const uint8_t addresses[][2] = {{0x70, 0x00}, {0x70, 0x30}, {0x70, 0x50}, {0x71, 0}, {0x72, 0}, {0x73, 0}, {0x74, 0}};
    Bytes out;
    size_t at = 0;
    for (int m = 0; m < 7; ++m) {
        Bytes body = {0x00, uint8_t(lengths[m]), addresses[m][0], 0x00, addresses[m][1]};
        body.insert(body.end(), data.begin() + ptrdiff_t(at), data.begin() + ptrdiff_t(at) + lengths[m]);
        at += size_t(lengths[m]);
        int sum = 0;
        for (const uint8_t b : body)
            sum += b;
        out.insert(out.end(), {0xF0, 0x43, 0x00, 0x4B});
        out.insert(out.end(), body.begin(), body.end());
        out.push_back(uint8_t(-sum & 0x7F));
        out.push_back(0xF7);
    }
    return out;
}

std::vector<uint8_t> renamed(std::vector<uint8_t> d, const std::string& name)
{
    for (size_t i = 0; i < 8; ++i)
        d[i] = uint8_t(i < name.size() ? name[i] : ' ');
    return d;
}

} // namespace

TEST(LibraryCli, DiffSimilarInfoAndTagsOnFilesMadeElsewhere)
{
    TempDir dir;
    const fs::path d = dir.path();
    std::mt19937 rng(23);
    std::vector<uint8_t> pan(240);
    for (uint8_t& b : pan)
        b = uint8_t(rng() % 128);
    pan = renamed(pan, "Pan Seq");
    pan[8] = 12;
    // Layer 2 begins at 117, layer 4 at 199: the cutoff is the 18th byte of
    // a layer, the resonance the 19th.
    std::vector<uint8_t> sq2 = renamed(pan, "Pan Sq2");
    sq2[117 + 17] = uint8_t((sq2[117 + 17] + 20) % 128);
    sq2[199 + 18] = uint8_t((sq2[199 + 18] + 5) % 128);
    std::vector<uint8_t> near = pan;  // one step of layer 3's volume
    near[158 + 7] = uint8_t(near[158 + 7] ^ 1);
    std::vector<uint8_t> far(240);
    for (uint8_t& b : far)
        b = uint8_t(rng() % 128);
    far = renamed(far, "Far Away");
    writeAll(d / "pan.syx", handMade(pan));
    writeAll(d / "sq2.syx", handMade(sq2));
    writeAll(d / "near.syx", handMade(near));
    writeAll(d / "far.syx", handMade(far));
    writeAll(d / "twin.syx", handMade(renamed(pan, "Pan Twin")));
    fs::create_directories(d / "copy");
    writeAll(d / "copy" / "again.syx", handMade(pan));
    Bytes cut = handMade(pan);
    cut.resize(300);
    writeAll(d / "cut.syx", cut);
    Bytes two = handMade(pan);
    const Bytes second = handMade(far);
    two.insert(two.end(), second.begin(), second.end());
    writeAll(d / "two.syx", two);

    const std::string lib = "--library=lib.sqlite";
    const std::string cutoff = "Layer 2 Filter Cutoff: ", resonance = "Layer 4 Filter Resonance: ";
    struct Row {
        std::vector<std::string> args;
        int status;
        std::string out;  // every line's start, "" for none
        std::string err;
    };
    const std::vector<Row> before = {
        // Files alone need no library.
        {{lib, "library", "diff", "pan.syx", "sq2.syx"}, 1, "Name: Pan Seq -> Pan Sq2\n" + cutoff + "\n" + resonance + "\n", ""},
        {{lib, "library", "diff", "pan.syx", "copy/again.syx"}, 0, "", ""},
        {{lib, "library", "diff", "cut.syx", "pan.syx"}, 2, "",
         "knobwright-files: cut.syx: dump of performance 1 (PD Pan Seq): message 7 missing\n"},
        {{lib, "library", "diff", "pan.syx", "two.syx"}, 2, "",
         "knobwright-files: two.syx: holds 2 performances; name a file of one\n"},
        {{lib, "library", "diff", "pan.syx"}, 2, "", "knobwright-files: library diff: two performances are needed\n" + kTry},
        {{lib, "library", "similar", "pan", "0"}, 2, "",
         "knobwright-files: library similar: '0' is no number of performances\n" + kTry},
        {{lib, "library", "search", "--json"}, 2, "", "knobwright-files: option '--json' is for library info only\n" + kTry},
        {{lib, "info", "--json", "pan.syx"}, 2, "", "knobwright-files: option '--json' is for library info only\n" + kTry},
    };
    const auto check = [&](const Row& row) {
        SCOPED_TRACE(commandLine(row.args));
        const Ran r = runTool(d, row.args);
        EXPECT_EQ(r.status, row.status) << describe(r);
        // Values are the controls' texts: each line is checked up to them.
        std::istringstream got(r.out), want(row.out);
        std::string g, w;
        while (std::getline(want, w)) {
            ASSERT_TRUE(std::getline(got, g)) << "missing: " << w;
            EXPECT_TRUE(g.starts_with(w)) << g;
        }
        EXPECT_FALSE(std::getline(got, g)) << "more: " << g;
        EXPECT_EQ(r.err, row.err);
    };
    for (const Row& row : before)
        check(row);

    ASSERT_EQ(runTool(d, {lib, "library", "import", "pan.syx", "sq2.syx", "near.syx", "far.syx", "copy", "twin.syx"}).status, 0);
    const std::vector<Row> after = {
        {{lib, "library", "diff", "pan seq pan.syx", "Pan Sq2"}, 1, "Name: Pan Seq -> Pan Sq2\n" + cutoff + "\n" + resonance + "\n", ""},
        {{lib, "library", "diff", "pan", "far.syx"}, 2, "",
         "knobwright-files: lib.sqlite: 'pan' matches 4 performances (PD Pan Seq " + (d / "pan.syx").string()
             + "; PD Pan Seq " + (d / "near.syx").string() + "; PD Pan Sq2 " + (d / "sq2.syx").string()
             + "; ...); add a word of the one meant\n"},
        {{lib, "library", "diff", "zzz", "far.syx"}, 2, "", "knobwright-files: lib.sqlite: nothing matches 'zzz'\n"},
        // The twin, the one-byte variation, the three bytes; a file the
        // library holds is not its own neighbour.
        {{lib, "library", "similar", "pan.syx", "3"}, 0,
         "0.000  PD Pan Twin  " + (d / "twin.syx").string() + "  (same sound)\n0.008  PD Pan Seq  "
             + (d / "near.syx").string() + "\n0.197  PD Pan Sq2  " + (d / "sq2.syx").string() + "\n",
         ""},
        {{lib, "library", "similar", "pan seq near", "1"}, 0, "0.008  PD Pan Seq  " + (d / "pan.syx").string() + "\n", ""},
        {{lib, "library", "tag", "pan", "warm", "Pad"}, 0,
         "PD Pan Seq  Pad, warm\nPD Pan Seq  Pad, warm\nPD Pan Sq2  Pad, warm\nPD Pan Twin  Pad, warm\n", ""},
        {{lib, "library", "tag", "pan", "WARM"}, 0, "", ""},  // nothing new: nothing said
        {{lib, "library", "untag", "sq2", "pad"}, 0, "PD Pan Sq2  warm\n", ""},
        {{lib, "library", "tag", "pan", "a,b"}, 2, "",
         "knobwright-files: library tag: 'a,b' is no tag (tags are not blank and hold no comma)\n" + kTry},
    };
    for (const Row& row : after)
        check(row);

    // Every place it was seen, with its date.
    const Ran info = runTool(d, {lib, "library", "info", "pan seq pan.syx"});
    EXPECT_EQ(info.status, 0) << describe(info);
    EXPECT_NE(info.out.find("\n  " + (d / "pan.syx").string() + " ("), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("\n  " + (d / "copy" / "again.syx").string() + " ("), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Tags: Pad, warm\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Twins:\n  PD Pan Twin  " + (d / "twin.syx").string() + "\nVersions:\n  0.008  PD Pan Seq  "
                            + (d / "near.syx").string() + "\n"),
              std::string::npos)
        << info.out;

    // Tags travel: exported, imported into a fresh library, there again.
    fs::create_directories(d / "out");
    ASSERT_EQ(runTool(d, {lib, "library", "export", "pan", "out/pans.PFB"}).status, 0);
    EXPECT_TRUE(fs::exists(d / "out" / "pans.PFB.knobwright.json"));
    ASSERT_EQ(runTool(d, {"--library=fresh.sqlite", "library", "import", "out"}).status, 0);
    const Ran moved = runTool(d, {"--library=fresh.sqlite", "--json", "library", "info", "sq2"});
    EXPECT_EQ(moved.status, 0) << describe(moved);
    EXPECT_NE(moved.out.find("\"tags\": [\"warm\"]"), std::string::npos) << moved.out;
    const Ran warm = runTool(d, {"--library=fresh.sqlite", "library", "search", "warm"});
    EXPECT_EQ(std::count(warm.out.begin(), warm.out.end(), '\n'), 4) << describe(warm);
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
