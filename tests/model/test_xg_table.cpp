// The XG table against the fact sheet's four tables, copied here by hand
// row by row: address, size, the values taken, the default and how sure
// the sources are. Nothing below is read from the table under test.

#include "model/XgMemory.h"
#include "model/XgTable.h"

#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <set>
#include <string>

using namespace kw;
using xg::Table;

namespace {

constexpr int kByType = -1;    // "type dependent" / "per note (kit data)"
constexpr int kPerPart = -2;   // differs for part 10, or is the part's number
constexpr int kCommand = -3;   // receive only

// One row of the sheet: the addresses (low byte) first..last it covers,
// `step` apart, each a parameter of `size` bytes.
struct SheetRow {
    Table table;
    int first, last, step, size;
    int min, max, extra;  // extra: one more value taken outside [min, max], or -1
    int def;
    const char* mark;
};

const Table S = Table::System, E = Table::Effect, P = Table::Part, D = Table::Drum;

// Section 2, 3.1, 4 and 5 of the sheet. Multi-byte values as the sheet's
// encodings give them: master tune 0000-07FF, detune 00-FF, effect types
// and variation parameters 1-10 MSB*128+LSB.
const std::vector<SheetRow> kSheet = {
    {S, 0x00, 0x00, 1, 4, 0x000, 0x7FF, -1, 0x400, "✔✔"},
    {S, 0x04, 0x04, 1, 1, 0, 0x7F, -1, 0x7F, "✔✔"},
    {S, 0x06, 0x06, 1, 1, 0x28, 0x58, -1, 0x40, "✔✔"},
    {S, 0x7D, 0x7D, 1, 1, 0, 1, -1, kCommand, "✔✔"},
    {S, 0x7E, 0x7E, 1, 1, 0, 0, -1, kCommand, "✔✔"},
    {S, 0x7F, 0x7F, 1, 1, 0, 0, -1, kCommand, "✔✔"},

    {E, 0x00, 0x00, 1, 2, 0, 0x3FFF, -1, 0x01 * 128, "✔✔"},
    {E, 0x02, 0x0B, 1, 1, 0, 0x7F, -1, kByType, "✔✔"},
    {E, 0x0C, 0x0C, 1, 1, 0, 0x7F, -1, 0x40, "✔✔"},
    {E, 0x0D, 0x0D, 1, 1, 0x01, 0x7F, -1, 0x40, "✔✔"},
    {E, 0x10, 0x15, 1, 1, 0, 0x7F, -1, kByType, "✔✔"},
    {E, 0x20, 0x20, 1, 2, 0, 0x3FFF, -1, 0x41 * 128, "✔✔"},
    {E, 0x22, 0x2B, 1, 1, 0, 0x7F, -1, kByType, "✔✔"},
    {E, 0x2C, 0x2C, 1, 1, 0, 0x7F, -1, 0x40, "✔✔"},
    {E, 0x2D, 0x2D, 1, 1, 0x01, 0x7F, -1, 0x40, "✔✔"},
    {E, 0x2E, 0x2E, 1, 1, 0, 0x7F, -1, 0x00, "✔✔"},
    {E, 0x30, 0x35, 1, 1, 0, 0x7F, -1, kByType, "✔✔"},
    {E, 0x40, 0x40, 1, 2, 0, 0x3FFF, -1, 0x05 * 128, "✔"},
    {E, 0x42, 0x54, 2, 2, 0, 0x3FFF, -1, kByType, "✔✔"},
    {E, 0x56, 0x56, 1, 1, 0, 0x7F, -1, 0x40, "✔"},
    {E, 0x57, 0x57, 1, 1, 0x01, 0x7F, -1, 0x40, "✔"},
    {E, 0x58, 0x58, 1, 1, 0, 0x7F, -1, 0x00, "✔"},
    {E, 0x59, 0x59, 1, 1, 0, 0x7F, -1, 0x00, "✔"},
    {E, 0x5A, 0x5A, 1, 1, 0, 0x01, -1, 0x00, "✔"},
    {E, 0x5B, 0x5B, 1, 1, 0, 0x0F, 0x7F, 0x7F, "✔"},
    {E, 0x5C, 0x5C, 1, 1, 0, 0x7F, -1, 0x40, "✔"},
    {E, 0x5D, 0x5D, 1, 1, 0, 0x7F, -1, 0x40, "✔"},
    {E, 0x5E, 0x5E, 1, 1, 0, 0x7F, -1, 0x40, "✔"},
    {E, 0x5F, 0x5F, 1, 1, 0, 0x7F, -1, 0x40, "✔"},
    {E, 0x60, 0x60, 1, 1, 0, 0x7F, -1, 0x40, "✔"},
    {E, 0x70, 0x75, 1, 1, 0, 0x7F, -1, kByType, "✔"},

    {P, 0x00, 0x00, 1, 1, 0, 0x20, -1, kPerPart, "✔"},
    {P, 0x01, 0x01, 1, 1, 0, 0x7F, -1, kPerPart, "✔"},
    {P, 0x02, 0x02, 1, 1, 0, 0x7F, -1, 0x00, "✔"},
    {P, 0x03, 0x03, 1, 1, 0, 0x7F, -1, 0x00, "✔"},
    {P, 0x04, 0x04, 1, 1, 0, 0x0F, 0x7F, kPerPart, "✔✔"},
    {P, 0x05, 0x05, 1, 1, 0, 0x01, -1, 0x01, "✔✔"},
    {P, 0x06, 0x06, 1, 1, 0, 0x02, -1, 0x01, "✔✔"},
    {P, 0x07, 0x07, 1, 1, 0, 0x03, -1, kPerPart, "✔"},
    {P, 0x08, 0x08, 1, 1, 0x28, 0x58, -1, 0x40, "✔✔"},
    {P, 0x09, 0x09, 1, 2, 0x00, 0xFF, -1, 0x80, "✔✔"},
    {P, 0x0B, 0x0B, 1, 1, 0, 0x7F, -1, 0x64, "✔"},
    {P, 0x0C, 0x0C, 1, 1, 0, 0x7F, -1, 0x40, "✔"},
    {P, 0x0D, 0x0D, 1, 1, 0, 0x7F, -1, 0x40, "✔"},
    {P, 0x0E, 0x0E, 1, 1, 0, 0x7F, -1, 0x40, "✔"},
    {P, 0x0F, 0x0F, 1, 1, 0, 0x7F, -1, 0x00, "✔"},
    {P, 0x10, 0x10, 1, 1, 0, 0x7F, -1, 0x7F, "✔"},
    {P, 0x11, 0x11, 1, 1, 0, 0x7F, -1, 0x7F, "✔"},
    {P, 0x12, 0x12, 1, 1, 0, 0x7F, -1, 0x00, "✔"},
    {P, 0x13, 0x13, 1, 1, 0, 0x7F, -1, 0x28, "✔"},
    {P, 0x14, 0x14, 1, 1, 0, 0x7F, -1, 0x00, "✔"},
    {P, 0x15, 0x15, 1, 1, 0, 0x7F, -1, 0x40, "✔"},
    {P, 0x16, 0x16, 1, 1, 0, 0x7F, -1, 0x40, "✔"},
    {P, 0x17, 0x17, 1, 1, 0, 0x7F, -1, 0x40, "✔"},
    {P, 0x18, 0x18, 1, 1, 0, 0x7F, -1, 0x40, "✔"},
    {P, 0x19, 0x19, 1, 1, 0, 0x7F, -1, 0x40, "✔"},
    {P, 0x1A, 0x1A, 1, 1, 0, 0x7F, -1, 0x40, "✔"},
    {P, 0x1B, 0x1B, 1, 1, 0, 0x7F, -1, 0x40, "✔"},
    {P, 0x1C, 0x1C, 1, 1, 0, 0x7F, -1, 0x40, "✔"},
    {P, 0x1D, 0x1D, 1, 1, 0x28, 0x58, -1, 0x40, "✔"},
    {P, 0x1E, 0x1E, 1, 1, 0, 0x7F, -1, 0x40, "✔"},
    {P, 0x1F, 0x1F, 1, 1, 0, 0x7F, -1, 0x40, "✔"},
    {P, 0x20, 0x20, 1, 1, 0, 0x7F, -1, 0x0A, "✔"},
    {P, 0x21, 0x21, 1, 1, 0, 0x7F, -1, 0x00, "✔"},
    {P, 0x22, 0x22, 1, 1, 0, 0x7F, -1, 0x00, "✔"},
    {P, 0x23, 0x23, 1, 1, 0x28, 0x58, -1, 0x42, "✔"},
    {P, 0x24, 0x24, 1, 1, 0, 0x7F, -1, 0x40, "◐"},
    {P, 0x25, 0x25, 1, 1, 0, 0x7F, -1, 0x40, "◐"},
    {P, 0x26, 0x26, 1, 1, 0, 0x7F, -1, 0x00, "◐"},
    {P, 0x27, 0x27, 1, 1, 0, 0x7F, -1, 0x00, "◐"},
    {P, 0x28, 0x28, 1, 1, 0, 0x7F, -1, 0x00, "◐"},
    {P, 0x30, 0x30, 1, 1, 0, 1, -1, 1, "◐"},
    {P, 0x31, 0x31, 1, 1, 0, 1, -1, 1, "◐"},
    {P, 0x32, 0x32, 1, 1, 0, 1, -1, 1, "◐"},
    {P, 0x33, 0x33, 1, 1, 0, 1, -1, 1, "◐"},
    {P, 0x34, 0x34, 1, 1, 0, 1, -1, 1, "◐"},
    {P, 0x35, 0x35, 1, 1, 0, 1, -1, 1, "◐"},
    {P, 0x36, 0x36, 1, 1, 0, 1, -1, 1, "◐"},
    {P, 0x37, 0x37, 1, 1, 0, 1, -1, 1, "◐"},
    {P, 0x38, 0x38, 1, 1, 0, 1, -1, 1, "◐"},
    {P, 0x39, 0x39, 1, 1, 0, 1, -1, 1, "◐"},
    {P, 0x3A, 0x3A, 1, 1, 0, 1, -1, 1, "◐"},
    {P, 0x3B, 0x3B, 1, 1, 0, 1, -1, 1, "◐"},
    {P, 0x3C, 0x3C, 1, 1, 0, 1, -1, 1, "◐"},
    {P, 0x3D, 0x3D, 1, 1, 0, 1, -1, 1, "◐"},
    {P, 0x3E, 0x3E, 1, 1, 0, 1, -1, 1, "◐"},
    {P, 0x3F, 0x3F, 1, 1, 0, 1, -1, 1, "◐"},
    {P, 0x40, 0x40, 1, 1, 0, 1, -1, 1, "◐"},
    {P, 0x41, 0x4C, 1, 1, 0, 0x7F, -1, 0x40, "◐"},
    {P, 0x4D, 0x4D, 1, 1, 0x28, 0x58, -1, 0x40, "◐"},
    {P, 0x4E, 0x4E, 1, 1, 0, 0x7F, -1, 0x40, "◐"},
    {P, 0x4F, 0x4F, 1, 1, 0, 0x7F, -1, 0x40, "◐"},
    {P, 0x50, 0x50, 1, 1, 0, 0x7F, -1, 0x00, "◐"},
    {P, 0x51, 0x51, 1, 1, 0, 0x7F, -1, 0x00, "◐"},
    {P, 0x52, 0x52, 1, 1, 0, 0x7F, -1, 0x00, "◐"},
    {P, 0x53, 0x53, 1, 1, 0x28, 0x58, -1, 0x40, "✔✔"},
    {P, 0x54, 0x54, 1, 1, 0, 0x7F, -1, 0x40, "✔✔"},
    {P, 0x55, 0x55, 1, 1, 0, 0x7F, -1, 0x40, "✔✔"},
    {P, 0x56, 0x56, 1, 1, 0, 0x7F, -1, 0x00, "✔✔"},
    {P, 0x57, 0x57, 1, 1, 0, 0x7F, -1, 0x00, "✔✔"},
    {P, 0x58, 0x58, 1, 1, 0, 0x7F, -1, 0x00, "✔✔"},
    {P, 0x59, 0x59, 1, 1, 0, 0x5F, -1, 0x10, "✔✔"},
    {P, 0x5A, 0x5A, 1, 1, 0x28, 0x58, -1, 0x40, "✔✔"},
    {P, 0x5B, 0x5B, 1, 1, 0, 0x7F, -1, 0x40, "✔✔"},
    {P, 0x5C, 0x5C, 1, 1, 0, 0x7F, -1, 0x40, "✔✔"},
    {P, 0x5D, 0x5D, 1, 1, 0, 0x7F, -1, 0x00, "✔✔"},
    {P, 0x5E, 0x5E, 1, 1, 0, 0x7F, -1, 0x00, "✔✔"},
    {P, 0x5F, 0x5F, 1, 1, 0, 0x7F, -1, 0x00, "✔✔"},
    {P, 0x60, 0x60, 1, 1, 0, 0x5F, -1, 0x11, "✔✔"},
    {P, 0x61, 0x61, 1, 1, 0x28, 0x58, -1, 0x40, "✔✔"},
    {P, 0x62, 0x62, 1, 1, 0, 0x7F, -1, 0x40, "✔✔"},
    {P, 0x63, 0x63, 1, 1, 0, 0x7F, -1, 0x40, "✔✔"},
    {P, 0x64, 0x64, 1, 1, 0, 0x7F, -1, 0x00, "✔✔"},
    {P, 0x65, 0x65, 1, 1, 0, 0x7F, -1, 0x00, "✔✔"},
    {P, 0x66, 0x66, 1, 1, 0, 0x7F, -1, 0x00, "✔✔"},
    {P, 0x67, 0x67, 1, 1, 0, 0x01, -1, 0x00, "✔✔"},
    {P, 0x68, 0x68, 1, 1, 0, 0x7F, -1, 0x00, "✔✔"},
    {P, 0x69, 0x69, 1, 1, 0, 0x7F, -1, 0x40, "✔✔"},
    {P, 0x6A, 0x6A, 1, 1, 0, 0x7F, -1, 0x40, "✔"},
    {P, 0x6B, 0x6B, 1, 1, 0, 0x7F, -1, 0x40, "✔"},
    {P, 0x6C, 0x6C, 1, 1, 0, 0x7F, -1, 0x40, "✔"},
    {P, 0x6D, 0x6D, 1, 1, 0x01, 0x7F, -1, 0x01, "✔"},
    {P, 0x6E, 0x6E, 1, 1, 0x01, 0x7F, -1, 0x7F, "✔"},

    {D, 0x00, 0x00, 1, 1, 0, 0x7F, -1, 0x40, "✔✔"},
    {D, 0x01, 0x01, 1, 1, 0, 0x7F, -1, 0x40, "✔✔"},
    {D, 0x02, 0x02, 1, 1, 0, 0x7F, -1, kByType, "✔✔"},
    {D, 0x03, 0x03, 1, 1, 0, 0x7F, -1, kByType, "✔✔"},
    {D, 0x04, 0x04, 1, 1, 0, 0x7F, -1, kByType, "✔✔"},
    {D, 0x05, 0x05, 1, 1, 0, 0x7F, -1, kByType, "✔✔"},
    {D, 0x06, 0x06, 1, 1, 0, 0x7F, -1, kByType, "✔✔"},
    {D, 0x07, 0x07, 1, 1, 0, 0x7F, -1, 0x7F, "✔✔"},
    {D, 0x08, 0x08, 1, 1, 0, 0x01, -1, 0x00, "✔✔"},
    {D, 0x09, 0x09, 1, 1, 0, 0x01, -1, kByType, "✔✔"},
    {D, 0x0A, 0x0A, 1, 1, 0, 0x01, -1, 0x01, "✔✔"},
    {D, 0x0B, 0x0B, 1, 1, 0, 0x7F, -1, 0x40, "✔✔"},
    {D, 0x0C, 0x0C, 1, 1, 0, 0x7F, -1, 0x40, "✔✔"},
    {D, 0x0D, 0x0D, 1, 1, 0, 0x7F, -1, 0x40, "✔✔"},
    {D, 0x0E, 0x0E, 1, 1, 0, 0x7F, -1, 0x40, "✔✔"},
    {D, 0x0F, 0x0F, 1, 1, 0, 0x7F, -1, 0x40, "✔✔"},
};

// Rows of the sheet that name addresses without a parameter.
struct Gap {
    Table table;
    int first, last;
};
const std::vector<Gap> kNoParameter = {{S, 0x05, 0x05}, {S, 0x07, 0x7C}, {P, 0x29, 0x2F}};

xg::Mark markOf(const std::string& m)
{
    if (m == "✔✔")
        return xg::Mark::Confirmed;
    if (m == "✔")
        return xg::Mark::Checked;
    if (m == "◐")
        return xg::Mark::Independent;
    return xg::Mark::Single;
}

// The defaults the sheet gives for "type dependent" rows, for the types set
// after XG System On: Hall 1 (3.3, from the maker's table), Chorus 1 and
// Delay L,C,R (3.3, the cross-checks; parameter 12 as the sheet believes).
const std::map<int, int> kEffectDefaults = {
    {0x02, 0x12}, {0x03, 0x0A}, {0x04, 0x08}, {0x05, 0x0D}, {0x06, 0x31},
    {0x07, 0x00}, {0x08, 0x00}, {0x09, 0x00}, {0x0A, 0x00}, {0x0B, 0x00},
    {0x22, 6}, {0x23, 54}, {0x24, 77}, {0x25, 106}, {0x26, 0}, {0x27, 28}, {0x28, 64}, {0x29, 46}, {0x2A, 64},
    {0x2B, 64}, {0x30, 46}, {0x31, 64}, {0x32, 10}, {0x33, 0}, {0x34, 0}, {0x35, 0},
    {0x42, 3333}, {0x44, 1667}, {0x46, 5000}, {0x48, 5000}, {0x4A, 74}, {0x4C, 100}, {0x4E, 10}, {0x50, 0},
    {0x52, 0}, {0x54, 32}, {0x70, 0}, {0x71, 60}, {0x72, 28}, {0x73, 64}, {0x74, 46}, {0x75, 64},
};

std::set<int> takenBy(const xg::Row& r)
{
    std::set<int> s;
    for (int v = -1; v <= 0x4000; ++v)
        if (r.takes(v))
            s.insert(v);
    return s;
}

} // namespace

TEST(XgTable, EveryRowOfTheSheetIsBuiltAsTheSheetGivesIt)
{
    std::map<Table, int> sheetRows, built;
    std::set<const xg::Row*> matched;
    for (const SheetRow& s : kSheet) {
        ++sheetRows[s.table];
        bool all = true;
        for (int low = s.first; low <= s.last; low += s.step) {
            const xg::Row* r = xg::rowAt(s.table, uint8_t(low));
            const std::string where = std::string(xg::tableName(s.table)) + " " + std::to_string(low);
            if (!r) {
                ADD_FAILURE() << "no row at " << where;
                all = false;
                continue;
            }
            matched.insert(r);
            EXPECT_EQ(r->size, s.size) << where;
            std::set<int> sheet;
            for (int v = s.min; v <= s.max; ++v)
                sheet.insert(v);
            if (s.extra >= 0)
                sheet.insert(s.extra);
            EXPECT_EQ(takenBy(*r), sheet) << where;
            EXPECT_EQ(r->mark, markOf(s.mark)) << where;
            EXPECT_EQ(r->command, s.def == kCommand) << where;
            if (s.def >= 0) {
                EXPECT_EQ(r->defaultFor(0), s.def) << where;
            }
            if (s.def == kByType) {
                const auto it = s.table == E ? kEffectDefaults.find(low) : kEffectDefaults.end();
                if (it != kEffectDefaults.end())
                    EXPECT_EQ(r->defaultFor(0), it->second) << where;
                else
                    EXPECT_EQ(r->defaultFor(0), std::nullopt) << where << ": the sheet gives no default";
            }
        }
        built[s.table] += all;
    }
    for (const Gap& g : kNoParameter)
        for (int low = g.first; low <= g.last; ++low)
            EXPECT_EQ(xg::rowAt(g.table, uint8_t(low)), nullptr) << xg::tableName(g.table) << " " << low;
    for (const xg::Row& r : xg::rows())
        EXPECT_TRUE(matched.count(&r)) << "a row the sheet lacks: " << xg::tableName(r.table) << " " << r.name;

    // The report: rows of the sheet with a parameter, built.
    for (Table t : {S, E, P, D}) {
        std::cout << "[ coverage ] " << xg::tableName(t) << ": " << built[t] << " / " << sheetRows[t]
                  << " rows of the sheet built\n";
        EXPECT_EQ(built[t], sheetRows[t]);
    }
    EXPECT_EQ(sheetRows[S] + sheetRows[E] + sheetRows[P] + sheetRows[D], 6 + 25 + 92 + 16);
}

TEST(XgTable, PartTenIsTheDrumPartAndEachPartHearsItsOwnChannel)
{
    for (int part = 0; part < xg::kParts; ++part) {
        const bool drums = part == 9;
        EXPECT_EQ(xg::rowAt(P, 0x00)->defaultFor(part), drums ? 0x00 : 0x02) << part;
        EXPECT_EQ(xg::rowAt(P, 0x01)->defaultFor(part), drums ? 0x7F : 0x00) << part;
        EXPECT_EQ(xg::rowAt(P, 0x07)->defaultFor(part), drums ? 0x02 : 0x00) << part;
        EXPECT_EQ(xg::rowAt(P, 0x04)->defaultFor(part), part) << part;
    }
}

// Every value a row takes goes into bytes the row's coding allows and comes
// back the same; every value it does not take builds nothing.
TEST(XgTable, ValuesGoIntoBytesAndBackForEveryRow)
{
    for (const xg::Row& r : xg::rows()) {
        for (int v = -2; v <= 0x4001; ++v) {
            const auto d = xg::encode(r, v);
            ASSERT_EQ(d.has_value(), r.takes(v)) << r.name << " " << v;
            if (!d)
                continue;
            ASSERT_EQ(d->size(), r.size) << r.name;
            for (const uint8_t b : *d)
                ASSERT_LE(b, r.coding == xg::Coding::Nibbles ? 0x0F : 0x7F) << r.name << " " << v;
            ASSERT_EQ(xg::decode(r, *d), v) << r.name;
        }
    }
    // The sheet's encodings: master tune 0 cent is 00 04 00 00, detune 0 Hz 08 00.
    EXPECT_EQ(xg::encode(*xg::rowAt(S, 0x00), 0x400), (std::vector<uint8_t>{0x00, 0x04, 0x00, 0x00}));
    EXPECT_EQ(xg::encode(*xg::rowAt(P, 0x09), 0x80), (std::vector<uint8_t>{0x08, 0x00}));
    EXPECT_EQ(xg::encode(*xg::rowAt(E, 0x40), 0x07 * 128), (std::vector<uint8_t>{0x07, 0x00}));
    // A nibble above 0F and a byte of 80 or more read as nothing.
    EXPECT_EQ(xg::decode(*xg::rowAt(P, 0x09), std::vector<uint8_t>{0x10, 0x00}), std::nullopt);
    EXPECT_EQ(xg::decode(*xg::rowAt(P, 0x0B), std::vector<uint8_t>{0x80}), std::nullopt);
    EXPECT_EQ(xg::decode(*xg::rowAt(P, 0x0B), std::vector<uint8_t>{0x10, 0x00}), std::nullopt);
}

TEST(XgTable, ValuesReadAsTheEditorShowsThem)
{
    auto part = [](int low, int p = 4) { return xg::Param{xg::rowAt(P, uint8_t(low)), p}; };
    auto sys = [](Table t, int low) { return xg::Param{xg::rowAt(t, uint8_t(low))}; };
    const xg::Param drum{xg::rowAt(D, 0x03), 0, 1, 36};
    const std::vector<std::tuple<xg::Param, int, std::string>> cases = {
        {sys(S, 0x00), 0x000, "-102.4 cent"}, {sys(S, 0x00), 0x400, "0.0 cent"}, {sys(S, 0x00), 0x7FF, "+102.3 cent"},
        {sys(S, 0x06), 0x28, "-24"},          {sys(S, 0x06), 0x58, "+24"},       {sys(S, 0x04), 0x7F, "127"},
        {sys(E, 0x00), 0x01 * 128, "Hall 1"}, {sys(E, 0x20), 0x41 * 128, "Chorus 1"},
        {sys(E, 0x40), 0x07 * 128, "Echo"},   {sys(E, 0x00), 0x7F * 128 + 5, "?? (127, 5)"},
        {sys(E, 0x0D), 0x01, "L-63"},         {sys(E, 0x0D), 0x40, "CTR"},       {sys(E, 0x0D), 0x7F, "R-63"},
        {sys(E, 0x5B), 0x00, "Part 1"},       {sys(E, 0x5B), 0x7F, "Off"},       {sys(E, 0x5A), 1, "System"},
        {sys(E, 0x5C), 0x00, "-64"},          {sys(E, 0x5C), 0x40, "0"},         {sys(E, 0x5C), 0x7F, "+63"},
        {part(0x04), 0x0F, "Ch 16"},          {part(0x04), 0x7F, "Off"},         {part(0x07), 3, "Drums2"},
        {part(0x09), 0x00, "-12.8 Hz"},       {part(0x09), 0xFF, "+12.7 Hz"},    {part(0x0E), 0, "Random"},
        {part(0x0F), 0, "C-2"},               {part(0x10), 127, "G8"},           {part(0x1E), 0, "-9600 cent"},
        {part(0x1E), 0x7F, "+9450 cent"},     {part(0x3A), 0, "Off"},            {part(0x59), 0x10, "CC 16"},
        {part(0x00), 33, "?? (33)"},          {part(0x03), 0x7F, "128"},         {drum, 0, "Off"},
    };
    for (const auto& [p, v, want] : cases)
        EXPECT_EQ(xg::text(p, v), want) << p.name() << " " << v;

    // The program by the part's bank: the XG voices the performance layers
    // choose from.
    xg::Memory m;
    EXPECT_EQ(xg::text(part(0x03), 0, &m), "001 GrandPno");
    ASSERT_TRUE(m.set(part(0x02), 18));
    EXPECT_EQ(xg::text(part(0x03), 0, &m), "001 MelloGrP");
    EXPECT_EQ(xg::text(part(0x03, 9), 0, &m), "001") << "a drum kit: no voice table holds bank 127";
}

TEST(XgTable, AddressesPutThePartAndTheDrumSetupAndNoteWhereTheSheetSays)
{
    const std::vector<std::pair<xg::Param, xg::Address>> cases = {
        {{xg::rowAt(S, 0x04)}, {0x00, 0x00, 0x04}},
        {{xg::rowAt(E, 0x5B)}, {0x02, 0x01, 0x5B}},
        {{xg::rowAt(P, 0x0B), 0}, {0x08, 0x00, 0x0B}},
        {{xg::rowAt(P, 0x6E), 15}, {0x08, 0x0F, 0x6E}},
        {{xg::rowAt(D, 0x00), 0, 0, 13}, {0x30, 0x0D, 0x00}},
        {{xg::rowAt(D, 0x0F), 0, 1, 91}, {0x31, 0x5B, 0x0F}},
    };
    for (const auto& [p, a] : cases) {
        EXPECT_EQ(p.address(), a) << p.name();
        EXPECT_EQ(xg::paramAt(a), p) << p.name();
    }
    // Outside the tables: part 17, notes 12 and 92, a third drum setup, the
    // second byte of a pair, the commands.
    for (const xg::Address a : {xg::Address{0x08, 0x10, 0x0B}, {0x30, 0x0C, 0x00}, {0x30, 0x5C, 0x00},
                                {0x32, 0x20, 0x00}, {0x02, 0x01, 0x01}, {0x08, 0x00, 0x0A}, {0x00, 0x00, 0x7E}})
        EXPECT_EQ(xg::paramAt(a), std::nullopt) << xg::addressText(a);
    EXPECT_EQ(xg::allParams().size(), size_t(3 + 67 + 16 * 103 + 2 * 79 * 16));
}

TEST(XgMemory, ADumpThatDoesNotFitChangesNothing)
{
    const auto system = xg::blockAt({0x00, 0x00, 0x00});
    const auto part5 = xg::blockAt({0x08, 0x04, 0x00});
    const auto variation = xg::blockAt({0x02, 0x01, 0x40});
    ASSERT_TRUE(system && part5 && variation);
    const xg::Memory fresh;
    // The sheet's worked example: the system block at its defaults.
    EXPECT_EQ(fresh.block(*system), (std::vector<uint8_t>{0x00, 0x04, 0x00, 0x00, 0x7F, 0x00, 0x40}));

    const std::vector<std::pair<xg::BlockAt, std::vector<uint8_t>>> refused = {
        {*system, {0x00, 0x04, 0x00, 0x00, 0x7F, 0x00, 0x59}},  // transpose +25
        {*system, {0x00, 0x08, 0x00, 0x00}},                     // master tune 0800
        {*system, {0x00, 0x04, 0x00}},                            // master tune cut off
        {*system, std::vector<uint8_t>(8, 0)},                    // longer than the block
        {*system, {}},
        {*part5, {0x21}},                                         // 33 elements
        {*variation, {0x05, 0x00, 0x1A}},                         // parameter 1 cut off
    };
    for (const auto& [at, data] : refused) {
        xg::Memory m;
        EXPECT_FALSE(m.takeBlock(at, data).empty()) << at.block->name << " " << data.size();
        EXPECT_EQ(m, fresh) << at.block->name;
    }
    xg::Memory m;
    EXPECT_EQ(m.takeBlock(*system, std::vector<uint8_t>{0x00, 0x04, 0x00, 0x0A, 0x64, 0x00, 0x34}), "");
    EXPECT_EQ(m.value({xg::rowAt(S, 0x00)}), 0x40A);
    EXPECT_EQ(m.value({xg::rowAt(S, 0x04)}), 100);
    EXPECT_EQ(m.value({xg::rowAt(S, 0x06)}), 0x34);
}
