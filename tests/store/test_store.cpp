// The library itself: one entry per performance, the places it was seen,
// twins, search, the user's edits, and what opening does with a file that
// is no usable library.

#include "StoreFixture.h"

#include "files/FilePaths.h"
#include "model/Cp1252.h"
#include "store/SearchIndex.h"

#include <QStandardPaths>

#include <atomic>
#include <map>
#include <set>
#include <sstream>
#include <thread>

using namespace kw;
using namespace kwtest;

namespace {

SearchFilter filter(const std::function<void(SearchFilter&)>& set)
{
    SearchFilter f;
    set(f);
    return f;
}

RowEdit change(const std::function<void(RowEdit&)>& set)
{
    RowEdit e;
    set(e);
    return e;
}

std::vector<std::string> names(const std::vector<LibraryRow>& rows)
{
    std::vector<std::string> out;
    for (const LibraryRow& r : rows)
        out.push_back(r.name);
    return out;
}

std::vector<std::string> found(Store& s, const std::string& text, const SearchFilter& filter = {})
{
    auto page = s.search(text, filter, 0, 1000);
    EXPECT_TRUE(page) << page.error().text;
    if (!page)
        return {};
    EXPECT_EQ(page->total, page->rows.size());
    return names(page->rows);
}

LibraryRow rowOf(Store& s, int64_t id)
{
    auto rows = s.rows(std::vector<int64_t>{id});
    EXPECT_TRUE(rows && rows->size() == 1);
    return rows && rows->size() == 1 ? (*rows)[0] : LibraryRow();
}

// The same performance as it travels otherwise: another number, another
// device number, its checksums made for those.
PerformanceRecord travelled(PerformanceRecord r, int number, int device)
{
    r.setNumber(number, Checksums::Recompute);
    for (int m = 0; m < kBlocksPerPerformance; ++m)
        r[kRecordMessageOffsets[size_t(m)] + 2] = uint8_t(device);
    return r;
}

} // namespace

TEST(Store, KeepsAPerformanceOnceLetsItsPlacesGrowAndMarksTwinsThatDifferOnlyInName)
{
    TempDir dir;
    int64_t clock = 0;
    Store::Options o;
    o.now = [&] { return clock; };
    auto store = openStore(dir / "library.sqlite", o);
    ASSERT_TRUE(store);

    const PerformanceRecord lead = makeRecord(60, 1, "Lead");
    std::mt19937 rng(5);
    const PerformanceRecord other = randomRecord(rng, 3);
    struct Step {
        PerformanceRecord record;
        Source source;
        bool isNew;
        size_t count;
        int sightings;
        std::string twinOf;
    };
    const std::vector<Step> steps = {
        {lead, Source::file("/lib/a/Lead.SYX"), true, 1, 1, ""},
        // Number, device number and checksums are how it travelled, not what it is.
        {travelled(lead, 4, 3), Source::synthUser(60), false, 1, 2, ""},
        // The same place again is a later date, not another place.
        {lead, Source::file("/lib/a/Lead.SYX"), false, 1, 2, ""},
        // The name counts: another entry, the same sound.
        {makeRecord(60, 1, "Lead 2"), Source::file("/lib/b/Lead 2.SYX"), true, 2, 1, "PF Lead"},
        {makeRecord(60, 11, "Lead"), Source::editor(), true, 3, 1, "PF Lead"},
        {other, Source::file("/lib/b/Other.SYX"), true, 4, 1, ""},
    };
    std::vector<int64_t> ids;
    for (const Step& step : steps) {
        clock += 1000;
        SCOPED_TRACE("step at " + std::to_string(clock) + " from " + step.source.label());
        auto r = store->remember(step.record, step.source);
        ASSERT_TRUE(r) << r.error().text;
        ids.push_back(r->id);
        EXPECT_EQ(r->isNew, step.isNew);
        EXPECT_EQ(*store->count(), step.count);
        const LibraryRow row = rowOf(*store, r->id);
        EXPECT_EQ(row.sightings, step.sightings);
        EXPECT_EQ(row.twinOf, step.twinOf);
    }
    const LibraryRow first = rowOf(*store, ids[0]);
    EXPECT_EQ(first.name, "Lead");
    EXPECT_EQ(first.category, 1);
    EXPECT_EQ(first.firstSeen, 1000);
    EXPECT_EQ(first.whereFrom, "/lib/a/Lead.SYX");
    EXPECT_EQ(first.twinOf, "PF Lead 2");
    EXPECT_EQ(first.twinId, ids[3]);
    EXPECT_EQ(*store->sightings(ids[0]),
              (std::vector<std::string>{"/lib/a/Lead.SYX (" + dateText(1000) + ", last " + dateText(3000) + ")",
                                        "CS1x user 061 (" + dateText(2000) + ")"}));
    // Out again as any user performance, complete with headers and checksums.
    EXPECT_EQ(bytesOf(*store->record(ids[0], 60)), bytesOf(lead));
    EXPECT_EQ(bytesOf(*store->record(ids[0], 4)), bytesOf(travelled(lead, 4, 0)));
    EXPECT_EQ(bytesOf(*store->record(ids[5], 3)), bytesOf(other));

    // Damage is never kept, whoever offers it.
    PerformanceRecord damaged = lead;
    damaged[20] = 0x85;
    EXPECT_FALSE(store->remember(damaged, Source::editor()));
    EXPECT_EQ(*store->count(), 4u);

    // The synth's names as last seen survive the program.
    EXPECT_FALSE(*store->lastSeenUserNames());
    ASSERT_FALSE(store->setLastSeenUserName(5, "006  SQ Pan Seq"));
    store.reset();
    store = openStore(dir / "library.sqlite", o);
    const auto seen = *store->lastSeenUserNames();
    ASSERT_TRUE(seen);
    EXPECT_EQ((*seen)[5], "006  SQ Pan Seq");
    EXPECT_EQ((*seen)[6], "007");
    EXPECT_EQ(*store->integrityCheck(), "ok");
}

TEST(Store, AnEntryRenamedHereAndExportedComesBackAsItselfNotAsATwin)
{
    TempDir dir;
    const fs::path path = dir / "library.sqlite";
    auto store = openStore(path);
    ASSERT_TRUE(store);
    const PerformanceRecord lead = makeRecord(60, 1, "Lead");
    const int64_t id = store->remember(lead, Source::file("/syx/Lead.SYX"))->id;
    ASSERT_FALSE(store->edit(std::vector{id}, change([](RowEdit& e) { e.name = "Solo"; })));
    const PerformanceData solo = performanceData(*store->record(id, 5));
    ASSERT_EQ(dataName(solo), "Solo    ") << "the export carries the library's name";
    EXPECT_EQ(*store->find(solo), id);

    const auto with = [](PerformanceData d, size_t at, uint8_t value) {
        d[at] = value;
        return d;
    };
    struct Offer {
        const char* what;
        PerformanceData data;
        bool itself;  // else a new entry, a twin of it
    };
    const Offer offers[] = {
        {"the export", solo, true},
        {"the performance as first seen", performanceData(lead), true},
        {"the export under another category", with(solo, kDataCategoryOffset, 2), false},
        {"the export with one sound byte more", with(solo, 100, uint8_t(solo[100] ^ 1)), false},
        {"the export's sound under another name", with(solo, 0, 'X'), false},
        // The twin just kept holds these bytes exactly: it is found first.
        {"the export under another category, again", with(solo, kDataCategoryOffset, 2), false},
    };
    size_t count = 1;
    std::set<int64_t> twins;
    for (const Offer& offer : offers) {
        SCOPED_TRACE(offer.what);
        const auto r = store->remember(offer.data, Source::editor());
        ASSERT_TRUE(r) << r.error().text;
        if (offer.itself) {
            EXPECT_EQ(r->id, id);
            EXPECT_FALSE(r->isNew);
        } else {
            EXPECT_NE(r->id, id);
            count += twins.insert(r->id).second;
        }
        EXPECT_EQ(*store->count(), count);
    }
    EXPECT_EQ(rowOf(*store, id).sightings, 2) << "the file, and kept from the editor";

    // Given another category too, exported by the files tool and imported
    // again by it: already in the library.
    ASSERT_FALSE(store->edit(std::vector{id}, change([](RowEdit& e) {
        e.category = 12;
        e.tags = std::vector<std::string>{"mine"};
    })));
    const Ran exported = runTool(dir.path(), {"--library", path.string(), "library", "export", "mine", "solo.SYX"});
    ASSERT_EQ(exported.status, 0) << describe(exported);
    const Ran imported = runTool(dir.path(), {"--library", path.string(), "library", "import", "solo.SYX"});
    EXPECT_EQ(imported.out, "1 file: 1 performance, 0 new, 1 already in the library, 0 damaged\n") << describe(imported);
    EXPECT_EQ(*store->count(), count);

    // Removed, its export brings it back as the user left it.
    const PerformanceData padSolo = performanceData(*store->record(id, 0));
    ASSERT_FALSE(store->remove(std::vector{id}));
    EXPECT_FALSE(*store->find(padSolo));
    const auto back = store->remember(padSolo, Source::editor());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->id, id);
    EXPECT_TRUE(back->isNew) << "new to what the user sees";
    EXPECT_EQ(rowOf(*store, id).name, "Solo");
    EXPECT_EQ(*store->count(), count);
}

TEST(Store, SearchFindsEveryWordFiltersSortsAndFollowsEditsFromAnyConnection)
{
    TempDir dir;
    auto store = openStore(dir / "library.sqlite");
    ASSERT_TRUE(store);
    const auto keep = [&](const PerformanceRecord& r, const Source& s, int64_t importId = 0) {
        auto k = store->remember(r, s, importId);
        EXPECT_TRUE(k && k->isNew);
        return k ? k->id : 0;
    };
    const int64_t aurora = keep(makeRecord(0, 12, "Aurora"), Source::file("/x/pads/PD_Aurora.SYX"));
    const int64_t haze = keep(makeRecord(1, 12, "Haze"), Source::file("/x/pads/more/PD_Haze.SYX"));
    const int64_t fridge = keep(makeRecord(2, 5, "Fridge"), Source::synthUser(2));
    const int64_t import = *store->beginImport("/x/keys");
    const int64_t woolitz = keep(makeRecord(3, 1, "Woolitz"), Source::file("/x/keys/PF_Woolitz.SYX"), import);
    ASSERT_TRUE(store->remember(makeRecord(3, 1, "Woolitz"), Source::synthUser(9)));  // and later on the synth
    ASSERT_FALSE(store->edit(std::vector{aurora}, change([](RowEdit& e) { e.rating = 2; })));
    ASSERT_FALSE(store->edit(std::vector{haze, woolitz}, change([](RowEdit& e) { e.favourite = true; e.rating = 4; })));

    struct Row {
        std::string text;
        SearchFilter filter;
        std::vector<std::string> names;
    };
    const std::vector<Row> rows = {
        {"", {}, {"Aurora", "Fridge", "Haze", "Woolitz"}},
        // Name, category ("PD  Synth Pad"), place, any letter case, every word.
        {"pad", {}, {"Aurora", "Haze"}},
        {"PADS  haze", {}, {"Haze"}},
        {"user 003", {}, {"Fridge"}},
        {"bass", {}, {"Fridge"}},
        {"nothing", {}, {}},
        {"", filter([&](SearchFilter& f) { f.category = 12; f.descending = true; }), {"Haze", "Aurora"}},
        {"", filter([&](SearchFilter& f) { f.favouritesOnly = true; }), {"Haze", "Woolitz"}},
        {"", filter([&](SearchFilter& f) { f.importId = import; }), {"Woolitz"}},
        // A folder holds its subfolders, not a folder whose name it begins.
        {"", filter([&](SearchFilter& f) { f.folder = "/x/pads"; }), {"Aurora", "Haze"}},
        {"", filter([&](SearchFilter& f) { f.folder = "/x/pads/"; }), {"Aurora", "Haze"}},
        {"", filter([&](SearchFilter& f) { f.folder = "/x/pa"; }), {}},
        {"haze", filter([&](SearchFilter& f) { f.folder = "/x"; }), {"Haze"}},
        // Where it was seen, any time: the synth, files, the editor; with the other filters.
        {"", filter([&](SearchFilter& f) { f.sourceKind = int(Source::Kind::SynthUser); }), {"Fridge", "Woolitz"}},
        {"", filter([&](SearchFilter& f) { f.sourceKind = int(Source::Kind::File); }), {"Aurora", "Haze", "Woolitz"}},
        {"", filter([&](SearchFilter& f) { f.sourceKind = int(Source::Kind::Editor); }), {}},
        {"o", filter([&](SearchFilter& f) { f.sourceKind = int(Source::Kind::SynthUser); f.importId = import; }), {"Woolitz"}},
        {"", filter([&](SearchFilter& f) { f.sourceKind = int(Source::Kind::SynthUser); f.folder = "/x/pads"; }), {}},
        {"", filter([&](SearchFilter& f) { f.sort = SortKey::Rating; }), {"Fridge", "Aurora", "Haze", "Woolitz"}},
        {"", filter([&](SearchFilter& f) { f.sort = SortKey::Category; f.descending = true; }), {"Haze", "Aurora", "Fridge", "Woolitz"}},
        {"", filter([&](SearchFilter& f) { f.sort = SortKey::WhereFrom; }), {"Woolitz", "Haze", "Aurora", "Fridge"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("'" + row.text + "'");
        EXPECT_EQ(found(*store, row.text), found(*store, row.text)) << "a second search must not differ";
        EXPECT_EQ(found(*store, row.text, row.filter), row.names);
    }
    auto page = store->search("", {}, 1, 2);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->total, 4u);
    EXPECT_EQ(names(page->rows), (std::vector<std::string>{"Fridge", "Haze"}));

    // The user's edits, to several rows at once, reach search and export.
    ASSERT_FALSE(store->edit(std::vector{aurora, haze}, change([](RowEdit& e) { e.tags = std::vector<std::string>{"warm", " Warm ", "", "evening"}; })));
    ASSERT_FALSE(store->edit(std::vector{fridge}, change([](RowEdit& e) { e.name = " Cold Box "; e.category = 17; })));
    ASSERT_FALSE(store->edit(std::vector{woolitz}, change([](RowEdit& e) { e.name = cp1252ToUtf8("\xC9lan"); e.notes = "from Ann"; })));
    EXPECT_EQ(found(*store, "evening warm"), (std::vector<std::string>{"Aurora", "Haze"}));
    EXPECT_EQ(rowOf(*store, haze).tags, (std::vector<std::string>{"evening", "warm"}));
    EXPECT_EQ(found(*store, "fridge"), std::vector<std::string>{});
    EXPECT_EQ(found(*store, "cold drums"), std::vector<std::string>{"Cold Box"});
    EXPECT_EQ(rowOf(*store, woolitz).notes, "from Ann");
    const PerformanceRecord cold = *store->record(fridge, 9);
    EXPECT_EQ(cold.name(), "Cold Box");
    EXPECT_EQ(cold.category(), 17);
    EXPECT_TRUE(cold.check().none());
    // What the synth cannot show becomes '?', never a byte of 0x80 or more.
    EXPECT_EQ(store->record(woolitz, 0)->name(), "?lan    ");
    EXPECT_TRUE(store->record(woolitz, 0)->check().none());

    struct Refused {
        RowEdit edit;
        std::string text;
    };
    const std::vector<Refused> refused = {
        {change([](RowEdit& e) { e.name = "   "; }), "a name cannot be blank"},
        {change([](RowEdit& e) { e.category = 23; }), "no such category"},
        {change([](RowEdit& e) { e.rating = 6; }), "a rating is 0 to 5"},
    };
    for (const Refused& r : refused) {
        const StoreStatus e = store->edit(std::vector{aurora}, r.edit);
        ASSERT_TRUE(e);
        EXPECT_EQ(e->text, r.text);
    }
    EXPECT_EQ(rowOf(*store, aurora).name, "Aurora");
    EXPECT_EQ(rowOf(*store, aurora).rating, 2);

    // Another program (or the import's own connection) changes the file:
    // the next search sees it.
    {
        auto other = openStore(dir / "library.sqlite");
        ASSERT_FALSE(other->edit(std::vector{aurora}, change([](RowEdit& e) { e.name = "Borealis"; })));
        ASSERT_TRUE(other->remember(makeRecord(4, 12, "Dawn"), Source::editor()));
    }
    EXPECT_EQ(found(*store, "pad"), (std::vector<std::string>{"Borealis", "Dawn", "Haze"}));
    EXPECT_EQ(found(*store, "", filter([&](SearchFilter& f) { f.sourceKind = int(Source::Kind::Editor); })),
              std::vector<std::string>{"Dawn"});
}

TEST(Store, AFileThatIsNoUsableLibraryIsMovedAsideWholeAndANewOneStarted)
{
    struct Case {
        std::string name;
        std::function<void(const fs::path&)> make;  // the file as it lies there
        std::string aside;                          // where it must go; empty: stays and is used
        std::string why;                            // the reason said, or what it begins with
        size_t kept = 0;                            // performances in it when it stays
    };
    const auto library = [](const fs::path& p, int version) {
        auto s = openStore(p);
        ASSERT_TRUE(s && s->remember(makeRecord(0, 1, "Kept"), Source::editor()));
        s.reset();
        if (version)
            rawSql(p, "PRAGMA user_version = " + std::to_string(version));
    };
    const std::vector<Case> cases = {
        {"missing", [](const fs::path&) {}, "", ""},
        {"empty", [](const fs::path& p) { writeAll(p, {}); }, "", ""},
        {"this version's", [&](const fs::path& p) { library(p, 0); }, "", "", 1},
        {"version 1's, before removal could be undone",
         [&](const fs::path& p) {
             library(p, 0);
             rawSql(p, "DROP INDEX performances_removed; ALTER TABLE performances DROP COLUMN removed; PRAGMA user_version = 1");
             ASSERT_EQ(rawSql(p, "SELECT count(*) FROM pragma_table_info('performances') WHERE name = 'removed'"), "0");
         },
         "", "", 1},
        {"a journal left by a program killed while it made the file",
         [](const fs::path& p) {
             const pid_t child = ::fork();
             if (child == 0) {
                 sqlite3* db = nullptr;
                 sqlite3_open(p.c_str(), &db);
                 sqlite3_exec(db,
                              "PRAGMA cache_size = 1; BEGIN; CREATE TABLE t (x BLOB); WITH RECURSIVE n(i) AS "
                              "(SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100) INSERT INTO t SELECT randomblob(3000) FROM n;",
                              nullptr, nullptr, nullptr);
                 ::_exit(0);  // no commit, no rollback: the journal stays behind
             }
             ::waitpid(child, nullptr, 0);
             ASSERT_TRUE(fs::exists(p.string() + "-journal"));
         },
         "", ""},
        {"text",
         [](const fs::path& p) {
             writeAll(p, view(std::string(5000, 'x')));
             writeAll(fs::path(p.string() + "-wal"), view("old wal"));
         },
         ".bad", "it is damaged (file is not a database)"},
        {"damaged schema",
         [&](const fs::path& p) {
             library(p, 0);
             Bytes b = readAll(p);
             std::fill(b.begin() + 100, b.begin() + 4096, uint8_t(0x5A));
             writeAll(p, b);
         },
         ".bad", "it is damaged (database disk image is malformed)"},
        {"another program's",
         [](const fs::path& p) { rawSql(p, "CREATE TABLE notes (t TEXT); INSERT INTO notes VALUES ('mine');"); },
         ".bad", "it is not a Knobwright library"},
        {"damage met after opening",
         [&](const fs::path& p) {
             {
                 auto s = openStore(p);
                 ASSERT_FALSE(s->begin());
                 for (const auto& r : randomRecords(std::vector<int>(300, 1), 8))
                     ASSERT_TRUE(s->remember(r, Source::editor()));
                 ASSERT_FALSE(s->commit());
             }
             Bytes b = readAll(p);
             std::fill(b.begin() + 2 * 4096, b.end(), uint8_t(0x5A));
             writeAll(p, b);
             // Its header and schema are sound: it opens, and the damage
             // shows only when the rows are read.
             auto s = openStore(p);
             ASSERT_TRUE(s && s->notes().empty());
             const auto search = s->search("", {}, 0, 10);
             ASSERT_FALSE(search);
             EXPECT_EQ(search.error().kind, StoreError::Kind::Damaged);
         },
         ".bad", "it is damaged ("},
        {"newer", [&](const fs::path& p) { library(p, 99); }, ".newer",
         "it was made by a newer Knobwright (library version 99)"},
        {"aside name taken",
         [](const fs::path& p) {
             writeAll(p, view("junk"));
             writeAll(fs::path(p.string() + ".bad"), view("earlier"));
         },
         ".bad-2", "it is damaged (file is not a database)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const fs::path path = dir / "Knobwright" / "library.sqlite";
        fs::create_directories(path.parent_path());
        c.make(path);
        const bool existed = fs::exists(path);
        const Bytes before = existed ? readAll(path) : Bytes();
        const Bytes wal = readAll(path.string() + "-wal");

        auto store = openStore(path);
        ASSERT_TRUE(store);
        if (c.aside.empty()) {
            EXPECT_TRUE(store->notes().empty());
            EXPECT_EQ(*store->count(), c.kept);
        } else {
            const fs::path aside = path.string() + c.aside;
            ASSERT_EQ(store->notes().size(), 1u);
            const std::string& note = store->notes()[0];
            EXPECT_TRUE(note.starts_with("The library file " + path.string() + " could not be used: " + c.why)) << note;
            EXPECT_TRUE(note.ends_with(". It was moved aside as " + aside.string() + " and a new library was started."))
                << note;
            EXPECT_EQ(readAll(aside), before) << "moved, byte for byte";
            if (!wal.empty()) {
                EXPECT_EQ(readAll(aside.string() + "-wal"), wal) << "its log goes with it";
            }
            EXPECT_EQ(*store->count(), 0u);
        }
        if (c.name == "aside name taken") {
            EXPECT_EQ(readAll(path.string() + ".bad"), bytesOf("earlier"));
        }
        // Whatever lay there, a working library of this version is there now.
        ASSERT_TRUE(store->remember(makeRecord(1, 2, "New"), Source::editor()));
        const std::vector<int64_t> everything = *store->match("", {});
        EXPECT_EQ(everything.size(), (c.aside.empty() ? c.kept : 0) + 1);
        ASSERT_FALSE(store->remove(everything));
        EXPECT_EQ(*store->count(), 0u);
        ASSERT_FALSE(store->restore(everything));
        EXPECT_EQ(*store->count(), everything.size());
        EXPECT_EQ(*store->integrityCheck(), "ok");
        store.reset();
        EXPECT_EQ(rawSql(path, "PRAGMA user_version"), std::to_string(Store::schemaVersion()));
        EXPECT_EQ(rawSql(path, "PRAGMA journal_mode"), "wal");
        auto again = openStore(path);
        ASSERT_TRUE(again);
        EXPECT_TRUE(again->notes().empty()) << "a library this program made is never moved aside";
    }
}

TEST(Store, ASecondWriterWaitsOrSaysTheLibraryIsBusyAndAReadOnlyOneNeverWrites)
{
    TempDir dir;
    const fs::path path = dir / "library.sqlite";
    auto first = openStore(path);
    ASSERT_TRUE(first && first->remember(makeRecord(0, 1, "First"), Source::editor()));

    // A writer that holds the library longer than the other waits.
    Store::Options impatient;
    impatient.busyTimeoutMs = 50;
    auto second = openStore(path, impatient);
    ASSERT_TRUE(second);
    ASSERT_FALSE(first->begin());
    ASSERT_TRUE(first->remember(makeRecord(1, 1, "Held"), Source::editor()));
    auto busy = second->remember(makeRecord(2, 1, "Second"), Source::editor());
    ASSERT_FALSE(busy);
    EXPECT_EQ(busy.error().kind, StoreError::Kind::Busy);
    EXPECT_EQ(busy.error().text, "the library is busy: another program is writing to it");
    EXPECT_EQ(*second->count(), 1u) << "readers go on meanwhile";

    // One that waits long enough gets its turn once the other is done.
    auto patient = openStore(path);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        EXPECT_TRUE(patient->remember(makeRecord(3, 1, "Patient"), Source::editor()));
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(done) << "it waits while the other writes";
    ASSERT_FALSE(first->commit());
    writer.join();
    EXPECT_EQ(*first->count(), 3u);

    Store::Options ro;
    ro.readOnly = true;
    auto reader = openStore(path, ro);
    ASSERT_TRUE(reader);
    EXPECT_TRUE(reader->readOnly());
    EXPECT_EQ(found(*reader, "held"), std::vector<std::string>{"Held"});
    const auto refused = reader->remember(makeRecord(4, 1, "Nope"), Source::editor());
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().kind, StoreError::Kind::ReadOnly);
    EXPECT_TRUE(reader->edit(std::vector<int64_t>{1}, change([](RowEdit& e) { e.rating = 3; })));
    EXPECT_EQ(*first->count(), 3u);
    EXPECT_EQ(*first->integrityCheck(), "ok");
}

TEST(Store, TheDefaultLibraryLiesWhereTheEditorKeepsItsOtherData)
{
    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::string keep = saved ? saved : "";
    for (const char* value : {"/srv/data", "relative/data", ""}) {
        SCOPED_TRACE(value);
        if (*value)
            ::setenv("XDG_DATA_HOME", value, 1);
        else
            ::unsetenv("XDG_DATA_HOME");
        EXPECT_EQ(defaultLibraryPath().string(),
                  QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString()
                      + "/Knobwright/library.sqlite");
    }
    if (saved)
        ::setenv("XDG_DATA_HOME", keep.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
}

TEST(Store, SearchAsOneTypesFindsWhatALookAtEveryRowFinds)
{
    // Names of a few letters, so that words find many rows and a keystroke
    // narrows, widens and narrows again what the one before found; rows
    // change between keystrokes. Each keystroke is looked at through several
    // filters, orders and pages, as the window asks for them.
    std::mt19937 rng(3);
    const std::string letters = "wxyzWXYZ";
    const auto randomName = [&] {
        std::string n;
        for (size_t k = 3 + rng() % 6; k > 0; --k)
            n += letters[rng() % letters.size()];
        return n;
    };
    const auto randomFields = [&](int64_t id) {
        SearchIndex::Fields f;
        f.name = randomName();
        f.category = std::array{0, 1, 5}[rng() % 3];  // categories without w, x, y or z in their names
        f.favourite = rng() % 3 == 0;
        f.rating = int(rng() % 6);
        f.kinds = uint8_t(SearchIndex::kindBit(1) | (rng() % 4 == 0 ? SearchIndex::kindBit(2) : 0));
        f.firstSeen = id % 7;  // many seen at the same second
        return f;
    };
    SearchIndex index;
    std::map<int64_t, SearchIndex::Fields> rows;
    for (int64_t id = 1; id <= 3000; ++id) {
        rows[id] = randomFields(id);
        index.put(id, rows[id]);
    }
    std::vector<int64_t> everyThird, goneIds, pinned;
    for (int64_t id = 0; id < 4000; id += 3)
        everyThird.push_back(id);
    // Rows just changed, shown whatever the search says; some are gone
    // meanwhile, and one never was.
    for (int64_t id = 1; id < 3100; id += 41)
        pinned.push_back(id);
    pinned.push_back(9999);
    struct View {
        SearchFilter filter;
        const std::vector<int64_t>* only;
        size_t offset, limit;
    };
    const std::vector<View> views = {
        {{}, nullptr, 0, SIZE_MAX},
        {filter([](SearchFilter& f) { f.category = 1; f.descending = true; }), nullptr, 0, 10},
        {filter([](SearchFilter& f) { f.favouritesOnly = true; f.sort = SortKey::Category; }), nullptr, 5, 40},
        {filter([](SearchFilter& f) { f.sourceKind = 2; f.sort = SortKey::Rating; f.descending = true; }), nullptr, 0, 25},
        {filter([](SearchFilter& f) { f.sort = SortKey::FirstSeen; }), nullptr, 100, 50},
        {filter([](SearchFilter& f) { f.sort = SortKey::Favourite; f.category = 5; }), &everyThird, 0, 30},
        {{}, nullptr, 2990, 200},
        {filter([&](SearchFilter& f) { f.category = 1; f.pinned = pinned; }), nullptr, 0, 60},
        {filter([&](SearchFilter& f) {
             f.favouritesOnly = true;
             f.sort = SortKey::Rating;
             f.descending = true;
             f.pinned = pinned;
         }), &everyThird, 10, 40},
        {filter([&](SearchFilter& f) { f.sort = SortKey::FirstSeen; f.pinned = pinned; }), nullptr, 0, SIZE_MAX},
    };
    const std::vector<std::string> typed = {"x",      "xy",      "xyz",  "xyzw", "xyzwx", "xyzw", "xyzw ", "xyzw y",
                                            "xyzw yx", "xyzw y", "xyz", "",     "W",     "ww",   "wwx",   "ww",
                                            "yx zw",  "yx zwx",  "yxz"};
    for (size_t k = 0; k < typed.size(); ++k) {
        SCOPED_TRACE("'" + typed[k] + "'");
        if (k % 4 == 3) {
            // Between keystrokes the rows change: one renamed, one gone, one
            // new, one gone before back (as a removal undone).
            const int64_t renamed = int64_t(1 + rng() % 3000), gone = int64_t(1 + rng() % 3000);
            if (rows.count(renamed)) {
                rows[renamed] = randomFields(renamed);
                index.put(renamed, rows[renamed]);
            }
            if (rows.count(gone))
                goneIds.push_back(gone);
            rows.erase(gone);
            index.erase(gone);
            const int64_t added = rows.rbegin()->first + 1;
            rows[added] = randomFields(added);
            index.put(added, rows[added]);
            if (goneIds.size() > 1) {
                const int64_t back = goneIds[goneIds.size() - 2];
                rows[back] = randomFields(back);
                index.put(back, rows[back]);
            }
        }
        for (size_t v = 0; v < views.size(); ++v) {
            SCOPED_TRACE("view " + std::to_string(v));
            const View& view = views[v];
            const SearchFilter& f = view.filter;
            // (sort key, folded name, id) of every row that passes.
            std::vector<std::tuple<int64_t, std::string, int64_t>> expected;
            size_t pinnedOnly = 0;
            for (const auto& [id, row] : rows) {
                const std::string hay = foldCase(row.name);
                bool all = (f.category < 0 || row.category == f.category) && (!f.favouritesOnly || row.favourite)
                           && (f.sourceKind == 0 || (row.kinds & SearchIndex::kindBit(f.sourceKind)))
                           && (!view.only || std::binary_search(view.only->begin(), view.only->end(), id));
                std::istringstream words(foldCase(typed[k]));
                for (std::string w; words >> w;)
                    all = all && hay.find(w) != std::string::npos;
                const int64_t key = f.sort == SortKey::Category    ? row.category
                                    : f.sort == SortKey::Favourite ? row.favourite
                                    : f.sort == SortKey::Rating    ? row.rating
                                    : f.sort == SortKey::FirstSeen ? row.firstSeen
                                                                   : 0;
                const bool pin = std::binary_search(f.pinned.begin(), f.pinned.end(), id);
                pinnedOnly += pin && !all;
                if (all || pin)
                    expected.push_back({key, f.sort == SortKey::FirstSeen ? "" : hay, id});
            }
            std::sort(expected.begin(), expected.end());
            if (f.descending)
                std::reverse(expected.begin(), expected.end());
            std::vector<int64_t> ids;
            for (size_t n = view.offset; n < expected.size() && n - view.offset < view.limit; ++n)
                ids.push_back(std::get<2>(expected[n]));
            const SearchIndex::Page page = index.page(typed[k], f, view.only, view.offset, view.limit);
            EXPECT_EQ(page.total, expected.size());
            EXPECT_EQ(page.pinnedOnly, pinnedOnly);
            EXPECT_EQ(page.ids, ids);
            if (v == 0) {
                EXPECT_EQ(index.match(typed[k], f, nullptr), ids);
            }
        }
    }
}

TEST(Store, ARemovedEntryIsSeenByNothingUntilBroughtBackWholeAndAPurgeDeletesItForGood)
{
    TempDir dir;
    const fs::path path = dir / "library.sqlite";
    // About now: the files tool, on the system clock, purges what was
    // removed a week before it.
    int64_t clock = std::time(nullptr);
    Store::Options o;
    o.now = [&] { return clock; };
    auto store = openStore(path, o);
    ASSERT_TRUE(store);
    const PerformanceRecord leadRecord = makeRecord(60, 1, "Lead"), padRecord = makeRecord(0, 12, "Pad");
    const int64_t early = *store->beginImport("/lib/a");
    const int64_t lead = store->remember(leadRecord, Source::file("/lib/a/Lead.SYX"), early)->id;
    const int64_t twin = store->remember(makeRecord(60, 1, "Lead 2"), Source::synthUser(3))->id;
    const int64_t late = *store->beginImport("/lib/b");
    const int64_t pad = store->remember(padRecord, Source::editor(), late)->id;
    ASSERT_TRUE(store->beginImport("/lib/empty"));
    ASSERT_FALSE(store->edit(std::vector{lead}, change([](RowEdit& e) {
        e.tags = std::vector<std::string>{"warm"};
        e.rating = 4;
        e.notes = "mine";
    })));

    const auto importsShown = [&] {
        std::vector<std::string> out;
        const auto imports = store->imports();
        for (const ImportInfo& i : *imports)
            out.push_back(i.what);
        return out;
    };
    struct Step {
        std::string what;
        std::function<void()> act;
        std::vector<std::string> shown;  // search "", by name
        std::vector<std::string> imports;
        std::string twinOfLead2;  // the first twin not removed (all three sound alike)
        bool leadWhole = false;  // Lead there with the user's fields and both first sightings
    };
    const std::vector<std::string> all = {"Lead", "Lead 2", "Pad"};
    const std::vector<Step> steps = {
        {"nothing yet", [] {}, all, {"/lib/b", "/lib/a"}, "PF Lead", true},
        {"removed here", [&] { ASSERT_FALSE(store->remove(std::vector{lead})); }, {"Lead 2", "Pad"}, {"/lib/b"}, "PD Pad"},
        {"restored", [&] { ASSERT_FALSE(store->restore(std::vector{lead})); }, all, {"/lib/b", "/lib/a"}, "PF Lead", true},
        {"removed by another program",
         [&] { ASSERT_FALSE(openStore(path, o)->remove(std::vector{lead, lead})); }, {"Lead 2", "Pad"}, {"/lib/b"}, "PD Pad"},
        {"kept again", [&] {
             const auto r = store->remember(leadRecord, Source::synthUser(7));
             ASSERT_TRUE(r && r->id == lead);
             EXPECT_TRUE(r->isNew) << "new to what the user sees";
             EXPECT_EQ(rowOf(*store, lead).sightings, 2);
         }, all, {"/lib/b", "/lib/a"}, "PF Lead", true},
        {"removed, searched and rolled back", [&] {
             ASSERT_FALSE(store->begin());
             ASSERT_FALSE(store->remove(std::vector{lead, pad}));
             EXPECT_EQ(found(*store, ""), std::vector<std::string>{"Lead 2"});
             store->rollback();
         }, all, {"/lib/b", "/lib/a"}, "PF Lead", true},
        {"removed here, purged by another program", [&] {
             ASSERT_FALSE(store->remove(std::vector{lead}));
             ASSERT_FALSE(openStore(path, o)->purgeRemoved());
             ASSERT_FALSE(store->restore(std::vector{lead})) << "this program's undo still works";
         }, all, {"/lib/b", "/lib/a"}, "PF Lead", true},
        {"removed and purged", [&] {
             ASSERT_FALSE(store->remove(std::vector{lead, pad}));
             ASSERT_FALSE(store->purgeRemoved());
             const StoreStatus back = store->restore(std::vector{lead, twin});
             ASSERT_TRUE(back);
             EXPECT_EQ(back->text, "1 of 2 performances were deleted for good and cannot be brought back");
             EXPECT_EQ(rawSql(path, "SELECT (SELECT count(*) FROM tags) || ' ' || (SELECT count(*) FROM sightings)"), "0 1")
                 << "its tags and sightings go with it";
         }, {"Lead 2"}, {}, ""},
        {"kept after the purge", [&] {
             const auto r = store->remember(leadRecord, Source::editor());
             ASSERT_TRUE(r && r->isNew);
             EXPECT_NE(r->id, lead);
             EXPECT_EQ(rowOf(*store, r->id).rating, 0) << "a new entry";
         }, {"Lead", "Lead 2"}, {}, "PF Lead"},
    };
    EXPECT_EQ(found(*store, ""), all);  // the search index, built here, must follow every step
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        EXPECT_EQ(found(*store, ""), step.shown);
        const std::vector<std::string> leads(step.shown.begin(), step.shown.end() - (step.shown.back() == "Pad"));
        EXPECT_EQ(found(*store, "lead"), leads);
        EXPECT_EQ(*store->count(), step.shown.size());
        EXPECT_EQ(importsShown(), step.imports);
        EXPECT_EQ(rowOf(*store, twin).twinOf, step.twinOfLead2);
        const auto id = *store->find(performanceData(leadRecord));
        EXPECT_EQ(id.has_value(), step.shown[0] == "Lead");
        if (step.leadWhole) {
            EXPECT_EQ(id, lead);
            const LibraryRow row = rowOf(*store, lead);
            EXPECT_EQ(row.tags, std::vector<std::string>{"warm"});
            EXPECT_EQ(row.rating, 4);
            EXPECT_EQ(row.notes, "mine");
            EXPECT_EQ(row.whereFrom, "/lib/a/Lead.SYX");
            EXPECT_EQ(row.twinOf, "PF Lead 2");
        } else if (!id) {
            EXPECT_TRUE(store->rows(std::vector{lead})->empty());
            EXPECT_FALSE(store->data(lead));
            EXPECT_FALSE(store->record(lead, 0));
        }
        // The command line sees what the window sees.
        const Ran ran = runTool(dir.path(), {"--library", path.string(), "library", "search", "lead"});
        EXPECT_EQ(size_t(std::count(ran.out.begin(), ran.out.end(), '\n')), leads.size()) << describe(ran);
    }

    // What a program that died never purged goes a week later, not sooner.
    const int64_t removedAt = clock, week = 7 * 24 * 3600;
    ASSERT_FALSE(store->remove(std::vector{twin}));
    store.reset();
    for (const int64_t later : {week - 1, week + 1}) {
        SCOPED_TRACE(later);
        clock = removedAt + later;
        store = openStore(path, o);
        ASSERT_TRUE(store);
        EXPECT_EQ(bool(store->restore(std::vector{twin})), later > week);
        clock = removedAt;
        ASSERT_FALSE(store->remove(std::vector{twin}));
        store.reset();
    }
}

TEST(Store, EachKeystrokeShowsWhatAFreshLookShowsWhateverChangedBetween)
{
    // What one connection keeps between keystrokes (the search index, what
    // a folder or an import lets through, rows already read) against a
    // connection that opens the library anew for each look.
    TempDir dir;
    const fs::path path = dir / "library.sqlite";
    auto typing = openStore(path);
    ASSERT_TRUE(typing);
    std::mt19937 rng(11);
    const auto fewLetters = [&] {
        std::string n;
        for (size_t k = 3 + rng() % 5; k > 0; --k)
            n += "wxyz"[rng() % 4];
        return n;
    };
    const int64_t import = *typing->beginImport("/f/1");
    ASSERT_FALSE(typing->begin());
    const std::vector<PerformanceRecord> records = randomRecords(std::vector<int>(1200, 1), 23);
    std::vector<int64_t> ids;
    for (size_t i = 0; i < records.size(); ++i) {
        const Source from = i % 5 == 0   ? Source::synthUser(int(i % 128))
                            : i % 7 == 0 ? Source::editor()
                                         : Source::file("/f/" + std::to_string(i % 3) + "/p" + std::to_string(i) + ".SYX");
        const auto r = typing->remember(records[i], from, i % 3 == 1 ? import : 0);
        ASSERT_TRUE(r && r->isNew);
        ids.push_back(r->id);
        ASSERT_FALSE(typing->edit(std::vector{r->id}, change([&](RowEdit& e) { e.name = fewLetters(); e.favourite = i % 4 == 0; })));
    }
    const int64_t twinA = typing->remember(makeRecord(5, 1, "Twin A"), Source::editor())->id;
    const int64_t twinB = typing->remember(makeRecord(5, 1, "Twin B"), Source::editor())->id;
    ASSERT_FALSE(typing->commit());

    const auto other = [&](const std::function<void(Store&)>& act) {
        auto s = openStore(path);
        act(*s);
    };
    struct Step {
        Step(std::string t, SearchFilter f, size_t o = 0, size_t l = 60, std::function<void()> c = {})
            : text(std::move(t)), filter(std::move(f)), offset(o), limit(l), change(std::move(c))
        {
        }
        std::string text;
        SearchFilter filter;
        size_t offset, limit;
        std::function<void()> change;  // before the look
    };
    const SearchFilter byFolder = filter([](SearchFilter& f) { f.folder = "/f/1"; });
    const SearchFilter byImport = filter([&](SearchFilter& f) { f.importId = import; f.sort = SortKey::Rating; f.descending = true; });
    const std::vector<Step> steps = {
        {"w", {}},
        {"wx", {}},
        {"wxy", {}},
        {"wx", {}},
        {"w", {}, 0, 60, [&] { ASSERT_FALSE(typing->edit(std::vector{twinB}, change([](RowEdit& e) { e.name = "Twin C"; }))); }},
        {"w", {}, 60, 60},
        {"w", byFolder},
        {"w", byFolder, 0, 60, [&] { ASSERT_TRUE(typing->remember(makeRecord(9, 1, "wwww"), Source::file("/f/1/new.SYX"))); }},
        {"w", byFolder, 0, 60, [&] { other([&](Store& s) { ASSERT_TRUE(s.remember(makeRecord(10, 1, "wwwx"), Source::file("/f/1/new2.SYX"))); }); }},
        {"wx", byImport},
        {"wx", byImport, 0, 60, [&] { ASSERT_FALSE(typing->edit(std::vector{ids[1], ids[4]}, change([](RowEdit& e) { e.rating = 5; e.tags = std::vector<std::string>{"zz"}; }))); }},
        {"wx zz", byImport},
        {"wx", filter([](SearchFilter& f) { f.sort = SortKey::Tags; }), 0, 60, [&] { ASSERT_FALSE(typing->remove(std::vector{twinA, ids[2], ids[3]})); }},
        {"wx", filter([](SearchFilter& f) { f.sort = SortKey::WhereFrom; f.favouritesOnly = true; })},
        {"w", filter([](SearchFilter& f) { f.sort = SortKey::Tags; }), 0, 60, [&] { ASSERT_FALSE(typing->restore(std::vector{twinA, ids[2]})); }},
        {"wx", filter([](SearchFilter& f) { f.sort = SortKey::WhereFrom; f.favouritesOnly = true; }), 0, 60, [&] {
             ASSERT_FALSE(typing->edit(std::vector{ids[6], ids[8]}, change([](RowEdit& e) { e.tags = std::vector<std::string>{"aa"}; })));
             ASSERT_FALSE(typing->remove(std::vector{ids[12]}));
             ASSERT_TRUE(typing->remember(makeRecord(11, 1, "wxwx"), Source::file("/a/first.SYX")));
         }},
        {"w", {}, 0, 60, [&] { other([&](Store& s) { ASSERT_FALSE(s.remove(std::vector{twinA, ids[5]})); }); }},
        {"twin", {}, 0, 60, [&] { other([&](Store& s) { ASSERT_FALSE(s.restore(std::vector{twinA})); }); }},
        {"twin", {}, 0, 60, [&] {
             ASSERT_FALSE(typing->begin());
             ASSERT_FALSE(typing->edit(std::vector{twinA}, change([](RowEdit& e) { e.name = "Twin D"; })));
             ASSERT_TRUE(typing->search("twin", {}, 0, 60));
             typing->rollback();
         }},
        {"", filter([](SearchFilter& f) { f.sourceKind = int(Source::Kind::SynthUser); f.descending = true; }), 100, 60},
        {"z", filter([](SearchFilter& f) { f.sort = SortKey::FirstSeen; f.category = 1; }), 0, 1000},
    };
    const auto shown = [](const SearchPage& page) {
        std::ostringstream out;
        out << page.total << " in all\n";
        for (const LibraryRow& r : page.rows) {
            out << r.id << " " << r.name << " " << r.category << " " << r.favourite << " " << r.rating << " [";
            for (const std::string& t : r.tags)
                out << t << ";";
            out << "] " << r.notes << " | " << r.whereFrom << " | " << r.sightings << " " << r.firstSeen << " | "
                << r.twinOf << " " << r.twinId << "\n";
        }
        return out.str();
    };
    for (size_t k = 0; k < steps.size(); ++k) {
        const Step& step = steps[k];
        SCOPED_TRACE("step " + std::to_string(k) + ": '" + step.text + "'");
        if (step.change)
            step.change();
        const auto kept = typing->search(step.text, step.filter, step.offset, step.limit);
        auto fresh = openStore(path);
        const auto anew = fresh->search(step.text, step.filter, step.offset, step.limit);
        ASSERT_TRUE(kept && anew);
        EXPECT_GT(anew->total, 0u);
        EXPECT_EQ(shown(*kept), shown(*anew));
        EXPECT_EQ(*typing->match(step.text, step.filter), *fresh->match(step.text, step.filter));
    }
}
