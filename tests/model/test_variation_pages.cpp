#include "model/Block.h"
#include "model/VariationPages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

using namespace kw::vari;

namespace {

struct TableCase {
    TableId id;
    size_t length;
    const char* first;
    const char* last;
};

// Integer form of "0,1 + i * span / 127, rounded half up", in tenths, so the
// check does not share the table's arithmetic or its floating-point traps.
std::string roundedDelay(int i, int spanTenths)
{
    const int t = 1 + (2 * i * spanTenths + 127) / 254;
    return std::to_string(t / 10) + "," + std::to_string(t % 10);
}

} // namespace

TEST(DisplayTables, LengthsAndEnds)
{
    const TableCase cases[] = {
        {TableId::ReverbTime, 70, "0,3", "30,0"},
        {TableId::LfoFrequency, 128, "0,00", "39,70"},
        {TableId::DelayOffset, 128, "0,0", "50,0"},
        {TableId::InitialDelay, 128, "0,1", "200,0"},
        {TableId::KaraokeDelay, 128, "0,1", "400,0"},
        {TableId::RoomSize, 45, "0,1", "7,0"},
        {TableId::EqFrequency, 61, "20", "20,0k"},
        {TableId::CutoffOffset, 128, "50", "14,0k"},
        {TableId::EqGain, 25, "-12", "+12"},
        {TableId::EarlyReflectionType, 6, "S-H", "Spr"},
        {TableId::GateType, 2, "Type A", "Type B"},
        {TableId::AmpType, 4, "Off", "Tube"},
        {TableId::InputSelect, 3, "L", "L & R"},
        {TableId::PanDirection, 6, "L <-> R", "L / R"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        const auto t = table(c.id);
        ASSERT_EQ(t.size(), c.length);
        EXPECT_STREQ(t.front(), c.first);
        EXPECT_STREQ(t.back(), c.last);
    }
}

TEST(DisplayTables, InnerEntriesFollowTheirSteps)
{
    const auto rev = table(TableId::ReverbTime);
    EXPECT_STREQ(rev[47], "5,0");
    EXPECT_STREQ(rev[48], "5,5");
    EXPECT_STREQ(rev[57], "10,0");
    EXPECT_STREQ(rev[58], "11,0");
    EXPECT_STREQ(rev[67], "20,0");
    EXPECT_STREQ(rev[68], "25,0");

    const auto off = table(TableId::DelayOffset);
    EXPECT_STREQ(off[100], "10,0");
    EXPECT_STREQ(off[101], "11,1");

    const auto ini = table(TableId::InitialDelay);
    const auto kar = table(TableId::KaraokeDelay);
    for (int i = 0; i < 128; ++i) {
        EXPECT_EQ(ini[size_t(i)], roundedDelay(i, 1999)) << i;
        EXPECT_EQ(kar[size_t(i)], roundedDelay(i, 3999)) << i;
    }
    EXPECT_STREQ(table(TableId::EqGain)[12], "±0");
    EXPECT_EQ(tableBase(TableId::EqGain), 52);
    EXPECT_EQ(tableBase(TableId::EqFrequency), 0);
}

TEST(VariationDisplay, DefaultsOfHall1ReadAsTheManualDoes)
{
    const Page& p = page(1);
    EXPECT_EQ(valueText(p[0], 18), "2,1s");
    EXPECT_EQ(valueText(p[1], 10), "10");
    EXPECT_EQ(valueText(p[2], 8), "12,7ms");
    EXPECT_EQ(valueText(p[3], 13), "90Hz");
    EXPECT_EQ(valueText(p[4], 49), "5,6kHz");
    EXPECT_EQ(valueText(p[5], 40), "D24 > W");
}

TEST(VariationDisplay, TenthsCentredAndDryWet)
{
    const Page& delay = page(9);
    EXPECT_EQ(valueText(delay[0], 3333, ","), "333,3ms");
    EXPECT_EQ(valueText(delay[0], 3333, "."), "333.3ms");
    EXPECT_EQ(valueText(delay[2], 5000, "."), "500ms");
    EXPECT_EQ(valueText(delay[0], 0), "0ms");
    EXPECT_EQ(valueText(delay[4], 74), "10");
    EXPECT_EQ(valueText(delay[4], 1), "-63");
    EXPECT_EQ(valueText(delay[4], 0), "-64");
    EXPECT_EQ(tenths(25, ","), "2,5");
    EXPECT_EQ(tenths(120), "12");
    EXPECT_EQ(dryWet(64), "D = W");
    EXPECT_EQ(dryWet(127), "D < W63");
    EXPECT_EQ(dryWet(1), "D63 > W");
    EXPECT_EQ(dryWet(0), "D64 > W");

    const Page& eq3 = page(40);
    EXPECT_EQ(valueText(eq3[0], 64), "±0dB");
    EXPECT_EQ(valueText(eq3[0], 52), "-12dB");
    EXPECT_EQ(valueText(eq3[3], 25, ","), "2,5");
}

TEST(VariationDisplay, ValuesBeyondATableShowTheBareNumber)
{
    const Page& hall = page(1);
    EXPECT_EQ(valueText(hall[0], 70), "70");
    EXPECT_EQ(valueText(hall[0], 16383), "16383");
    const Page& eq3 = page(40);
    EXPECT_EQ(valueText(eq3[0], 0), "0");    // below the gain table's base
    EXPECT_EQ(valueText(eq3[0], 77), "77");
    EXPECT_EQ(valueText(page(12)[3], 3), "3");  // input select has three entries
}

TEST(VariationPages, EveryTableRangeStaysInsideItsTable)
{
    for (int i = 0; i < 44; ++i) {
        for (int s = 0; s < kSlots; ++s) {
            const ParamSpec& spec = page(i)[size_t(s)];
            SCOPED_TRACE(std::to_string(i) + "/" + std::to_string(s) + " " + spec.name);
            EXPECT_LE(spec.min, spec.max);
            if (spec.rule != Rule::Table)
                continue;
            const int lo = spec.min - tableBase(spec.table);
            const int hi = spec.max - tableBase(spec.table);
            EXPECT_GE(lo, 0);
            EXPECT_LT(size_t(hi), table(spec.table).size());
        }
    }
}

TEST(VariationPages, NamesEnabledStatesAndDryWet)
{
    for (int i : {0, 43, 44, -1}) {
        for (const ParamSpec& spec : page(i)) {
            EXPECT_FALSE(spec.enabled()) << i;
            EXPECT_STREQ(spec.name, "--");
        }
    }
    const std::set<int> withoutDryWet = {0, 33, 34, 40, 41, 43};
    for (int i = 0; i < 44; ++i) {
        const ParamSpec& p10 = page(i)[5];
        EXPECT_EQ(hasDryWet(i), !withoutDryWet.count(i)) << i;
        EXPECT_EQ(p10.enabled(), hasDryWet(i)) << i;
        if (hasDryWet(i)) {
            EXPECT_STREQ(p10.name, "DRY WET");
            EXPECT_EQ(p10.min, 1);
            EXPECT_EQ(p10.max, 127);
        }
    }
    EXPECT_STREQ(page(37)[1].name, "EQ  LOW FREQ");
    EXPECT_STREQ(page(40)[4].name, "EQ  HIGH GAIN");
    EXPECT_STREQ(page(41)[2].name, "EQ  HIGH FREQ");
    EXPECT_EQ(page(41)[2].max, 58);
    EXPECT_FALSE(page(17)[4].enabled());  // karaoke has no parameter 5
    EXPECT_STREQ(page(12)[0].name, "L -> R DELAY");
    EXPECT_EQ(page(11)[0].max, 3550);
}

TEST(VariationValues, PairsRoundTripThroughCommon30)
{
    kw::BulkBlock b(kw::BlockKind::Common30);
    storeValue(b, 0, 3550);
    EXPECT_EQ(b.data(0x06), 0x1B);
    EXPECT_EQ(b.data(0x07), 0x5E);
    storeValue(b, 5, 127);
    EXPECT_EQ(b.data(0x10), 0x00);
    EXPECT_EQ(b.data(0x11), 0x7F);
    EXPECT_EQ(loadValue(b, 0), 3550);
    EXPECT_EQ(loadValue(b, 5), 127);
    EXPECT_EQ(pairOffset(4), 0x0E);
}

// A bar with the toolkit's habits: a minimum above the maximum drags the
// maximum along and the position is clamped. Any such moment is recorded.
namespace {
class CheckedBar : public VariationControl {
public:
    int min = 0, max = 1, pos = 1;
    bool enabled = true;
    std::string name = "--", text = "0";
    int violations = 0;

    int position() const override { return pos; }
    void setMinimum(int v) override
    {
        if (v > max) {
            ++violations;
            max = v;
        }
        min = v;
        pos = std::clamp(pos, min, max);
    }
    void setMaximum(int v) override
    {
        if (v < min) {
            ++violations;
            min = v;
        }
        max = v;
        pos = std::clamp(pos, min, max);
    }
    void setPosition(int v) override { pos = std::clamp(v, min, max); }
    void setEnabled(bool on) override { enabled = on; }
    void setName(const std::string& t) override { name = t; }
    void setValueText(const std::string& t) override { text = t; }
};
} // namespace

TEST(VariationRanges, NoTypeChangeEverPassesMinimumAboveMaximum)
{
    for (int from = 0; from < 44; ++from) {
        for (int to = 0; to < 44; ++to) {
            std::array<CheckedBar, kSlots> bars;
            std::array<VariationControl*, kSlots> ptrs{};
            for (int s = 0; s < kSlots; ++s)
                ptrs[size_t(s)] = &bars[size_t(s)];
            setupPage(ptrs, from);
            // The user leaves the bars anywhere: try both ends.
            for (int end = 0; end < 2; ++end) {
                for (auto& b : bars)
                    b.pos = end ? b.min : b.max;
                setupPage(ptrs, to);
                for (int s = 0; s < kSlots; ++s) {
                    const CheckedBar& b = bars[size_t(s)];
                    const ParamSpec& spec = page(to)[size_t(s)];
                    SCOPED_TRACE(std::to_string(from) + "->" + std::to_string(to) + " slot " + std::to_string(s));
                    ASSERT_EQ(b.violations, 0);
                    EXPECT_EQ(b.min, spec.min);
                    EXPECT_EQ(b.max, spec.max);
                    EXPECT_EQ(b.pos, spec.max);
                    EXPECT_EQ(b.enabled, spec.enabled());
                    EXPECT_EQ(b.name, spec.name);
                    if (!spec.enabled()) {
                        EXPECT_EQ(b.text, "0");
                    }
                }
            }
        }
    }
}

TEST(VariationRanges, SingleRangeChangeFromEverySide)
{
    struct Case { int min, max, pos, newMin, newMax; };
    const Case cases[] = {
        {1, 7150, 7150, 8, 40},   // far above the new range
        {1, 7150, 1, 8, 40},      // below the new minimum
        {0, 1, 1, 52, 76},        // disjoint and above
        {52, 76, 60, 0, 1},       // disjoint and below
        {0, 127, 30, 10, 120},    // inside
    };
    for (const auto& c : cases) {
        CheckedBar b;
        b.min = c.min;
        b.max = c.max;
        b.pos = c.pos;
        setControl(b, c.newMin, c.newMax, false);
        EXPECT_EQ(b.violations, 0);
        EXPECT_EQ(b.min, c.newMin);
        EXPECT_EQ(b.max, c.newMax);
        EXPECT_EQ(b.pos, c.newMax);
        EXPECT_FALSE(b.enabled);
    }
}
