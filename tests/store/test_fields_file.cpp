// The user's fields beside an export: what is written reads back, a file
// that is damaged, hostile or newer is refused whole and named, and an
// import takes the fields without replacing anything the user set.

#include "StoreFixture.h"

#include "files/BankFile.h"
#include "store/FieldsFile.h"
#include "store/Import.h"

#include <sys/stat.h>

using namespace kw;
using namespace kwtest;

namespace {

std::string hex240(uint8_t fill) { return std::string(480, "0123456789abcdef"[fill >> 4]); }

std::string oneEntry(const std::string& members)
{
    return R"({"kind": "Knobwright performance fields", "version": 1, "performances": [{"data": ")" + hex240(0x11)
           + "\"" + members + "}]}";
}

} // namespace

TEST(FieldsFile, WhatIsWrittenReadsBackAndABadFileIsRefusedWhole)
{
    std::mt19937 rng(3);
    std::vector<ExportedFields> entries(2);
    entries[0].data = performanceData(randomRecord(rng, 0));
    entries[0].fields.name = "P\xc3\xa2" "d \xe2\x9c\x93";  // what the synth cannot show
    entries[0].fields.category = 12;
    entries[0].fields.favourite = true;
    entries[0].fields.rating = 5;
    entries[0].fields.tags = std::vector<std::string>{"warm", "say \"hi\"\\", "tab\there", "\x01"};
    entries[0].fields.notes = "two\nlines \xf0\x9f\x8e\xb9";
    entries[1].data = performanceData(randomRecord(rng, 0));
    entries[1].fields.name = "Plain";
    const auto back = parseFields(fieldsText(entries));
    ASSERT_TRUE(back) << back.error();
    ASSERT_EQ(back->size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ((*back)[i].data, entries[i].data);
        const RowEdit &a = (*back)[i].fields, &b = entries[i].fields;
        EXPECT_EQ(a.name, b.name);
        EXPECT_EQ(a.category, b.category);
        EXPECT_EQ(a.favourite, b.favourite);
        EXPECT_EQ(a.rating, b.rating);
        EXPECT_EQ(a.tags, b.tags);
        EXPECT_EQ(a.notes, b.notes);
    }

    const std::string head = R"({"kind": "Knobwright performance fields", "version": 1, "performances": )";
    const std::pair<std::string, std::string> refused[] = {
        {"", "not JSON: the file ends where a value should be at byte 0"},
        {std::string(100000, '['), "not JSON: nested too deeply at byte 8"},
        {head + "[]} x", "not JSON: something follows the value at byte 76"},
        {head + "[1e999]}", "not JSON: a number out of range at byte 73"},
        {R"({"kind": "Knobwright performance fields", "version": 2, "performances": []})",
         "made by a newer Knobwright (version 2)"},
        {R"({"kind": "Knobwright performance fields", "version": "1", "performances": []})", "'version' is not a version"},
        {R"({"kind": "something else", "version": 1})", "no Knobwright fields file"},
        {"[1, 2]", "not an object"},
        {head + "{}}", "'performances' is not a list"},
        {head + "[7]}", "performance 1: is not an object"},
        {head + R"([{"data": "00"}]})", "performance 1: 'data' is not 240 bytes in hex"},
        {head + R"([{"data": ")" + hex240(0x80) + R"("}]})", "performance 1: 'data' holds a byte of 0x80 or more"},
        {oneEntry(R"(, "rating": 7)"), "performance 1: 'rating' is not 0 to 5"},
        {oneEntry(R"(, "rating": 2.5)"), "performance 1: 'rating' is not 0 to 5"},
        {oneEntry(R"(, "category": -1)"), "performance 1: 'category' is not 0 to 22"},
        {oneEntry(R"(, "favourite": "yes")"), "performance 1: 'favourite' is not true or false"},
        {oneEntry(R"(, "tags": "warm")"), "performance 1: 'tags' is not a list"},
        {oneEntry(R"(, "tags": [3])"), "performance 1: a tag is not text"},
        {oneEntry(R"(, "name": ")" + std::string(300, 'x') + "\""), "performance 1: 'name' is longer than 256 bytes"},
        {oneEntry(", \"name\": \"\xff\""), "not JSON: a string is not UTF-8 at byte 575"},
        {oneEntry(R"(, "name": "\ud800")"), "not JSON: a string holds half a character at byte 581"},
    };
    for (const auto& [text, why] : refused) {
        SCOPED_TRACE(text.substr(0, 120));
        const auto r = parseFields(text);
        ASSERT_FALSE(r);
        EXPECT_EQ(r.error(), why);
    }

    // A file too large, or no file at all, is not read.
    TempDir dir;
    const fs::path big = dir.path() / "big.knobwright.json";
    writeAll(big, Bytes{'{'});
    fs::resize_file(big, kFieldsMaxBytes + 1);
    EXPECT_EQ(readFieldsFile(big).error(), "too large (16,777,217 bytes; at most 16,777,216)");
    ASSERT_EQ(::mkfifo((dir.path() / "pipe.knobwright.json").c_str(), 0644), 0);
    EXPECT_FALSE(readFieldsFile(dir.path() / "pipe.knobwright.json"));
}

TEST(FieldsFile, AnImportTakesTheFieldsAndLeavesWhatTheUserSetAlone)
{
    TempDir dir;
    const fs::path d = dir.path();
    auto from = openStore(d / "from.sqlite");
    ASSERT_TRUE(from);
    const auto records = randomRecords({0, 0, 0}, 17);
    std::vector<int64_t> ids;
    for (const PerformanceRecord& r : records)
        ids.push_back(from->remember(r, Source::file("/x/a.SYX"))->id);
    RowEdit set;
    set.name = "Caf\xc3\xa9";
    set.favourite = true;
    set.rating = 4;
    set.tags = std::vector<std::string>{"warm", "Bass"};
    set.notes = "for the intro";
    ASSERT_FALSE(from->edit(std::vector<int64_t>{ids[0], ids[1]}, set));
    // Exported as the library window and the files tool do.
    std::vector<PerformanceRecord> written;
    for (size_t i = 0; i < ids.size(); ++i)
        written.push_back(*from->record(ids[i], int(i)));
    fs::create_directories(d / "out");
    ASSERT_FALSE(writeBankFile(d / "out" / "bank.PFB", written));
    ASSERT_FALSE(writeFieldsFile(fieldsFileFor(d / "out" / "bank.PFB"), exportedFields(*from->rows(ids), written)));
    // Damaged and hostile ones beside it are named and passed over.
    writeAll(d / "out" / "cut.knobwright.json", bytesOf(std::string("{\"kind\": \"Knob")));
    writeAll(d / "out" / "deep.knobwright.json", bytesOf(std::string(50000, '[')));

    // Into a library that holds the second one already, renamed and rated
    // by its user.
    auto to = openStore(d / "to.sqlite");
    ASSERT_TRUE(to);
    const int64_t mine = to->remember(written[1], Source::editor())->id;
    RowEdit own;
    own.name = "Mine";
    own.rating = 1;
    own.tags = std::vector<std::string>{"WARM", "live"};
    ASSERT_FALSE(to->edit(std::vector<int64_t>{mine}, own));
    const ImportResult r = importPaths(*to, std::vector<fs::path>{d / "out"});
    EXPECT_EQ(r.performances, 3u);
    EXPECT_EQ(r.damaged, (std::vector<std::string>{
                             (d / "out" / "cut.knobwright.json").string()
                                 + ": not JSON: a string is not closed at byte 14; its fields were not taken",
                             (d / "out" / "deep.knobwright.json").string()
                                 + ": not JSON: nested too deeply at byte 8; its fields were not taken"}));
    const auto first = to->find(performanceData(written[0]));
    ASSERT_TRUE(first && *first);
    const LibraryRow a = to->rows(std::vector<int64_t>{**first})->front();
    EXPECT_EQ(a.name, "Caf\xc3\xa9") << "the name as typed, not as the synth shows it";
    EXPECT_TRUE(a.favourite);
    EXPECT_EQ(a.rating, 4);
    EXPECT_EQ(a.tags, (std::vector<std::string>{"Bass", "warm"}));
    EXPECT_EQ(a.notes, "for the intro");
    const LibraryRow b = to->rows(std::vector<int64_t>{mine})->front();
    EXPECT_EQ(b.name, "Mine");
    EXPECT_EQ(b.rating, 1);
    EXPECT_TRUE(b.favourite) << "not set here: filled";
    EXPECT_EQ(b.tags, (std::vector<std::string>{"Bass", "WARM", "live"})) << "added to, its own spelling kept";
    EXPECT_EQ(b.notes, "for the intro");
    const auto third = to->find(performanceData(written[2]));
    const LibraryRow c = to->rows(std::vector<int64_t>{**third})->front();
    EXPECT_EQ(c.rating, 0);
    EXPECT_TRUE(c.tags.empty());
}
