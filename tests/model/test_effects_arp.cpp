#include "model/Arpeggiator.h"
#include "model/AssignLists.h"
#include "model/EffectTables.h"
#include "model/PerformanceImage.h"
#include "model/VariationPages.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

using namespace kw;

TEST(EffectTables, ListsAndPairs)
{
    ASSERT_EQ(fx::reverbTypes().size(), 12u);
    ASSERT_EQ(fx::chorusTypes().size(), 12u);
    ASSERT_EQ(fx::variationTypes().size(), 44u);
    EXPECT_STREQ(fx::reverbTypes()[11].name, "Basement");
    EXPECT_STREQ(fx::chorusTypes()[10].name, "Flanger 2");
    EXPECT_STREQ(fx::variationTypes()[41].name, "2-Band EG (Stereo)");
    EXPECT_STREQ(fx::variationTypes()[43].name, "THRU");

    // Lookup on refresh relies on the pairs being distinct within each table.
    auto distinct = [](auto rows) {
        std::set<std::pair<int, int>> seen;
        for (const auto& r : rows)
            if (!seen.insert({r.msb, r.lsb}).second)
                return false;
        return true;
    };
    EXPECT_TRUE(distinct(fx::reverbTypes()));
    EXPECT_TRUE(distinct(fx::chorusTypes()));
    EXPECT_TRUE(distinct(fx::variationTypes()));

    for (size_t i = 0; i < fx::variationTypes().size(); ++i) {
        const auto& t = fx::variationTypes()[i];
        EXPECT_EQ(fx::variationIndexOf(t.msb, t.lsb), int(i));
    }
    EXPECT_EQ(fx::reverbIndexOf(0x13, 0x00), 11);
    EXPECT_EQ(fx::chorusIndexOf(0x43, 0x01), 10);
    EXPECT_FALSE(fx::reverbIndexOf(0x05, 0x00).has_value());
    EXPECT_FALSE(fx::chorusIndexOf(0x41, 0x03).has_value());
    EXPECT_FALSE(fx::variationIndexOf(0x7F, 0x7F).has_value());
}

TEST(EffectTables, StartUpImageNamesKnownTypes)
{
    PerformanceImage img;
    img.setDefaults();
    const BulkBlock& c30 = img.edit[BlockKind::Common30];
    EXPECT_EQ(fx::reverbIndexOf(c30.data(0), c30.data(1)), 1);     // Hall 1
    EXPECT_EQ(fx::chorusIndexOf(c30.data(2), c30.data(3)), 1);     // Chorus 1
    EXPECT_EQ(fx::variationIndexOf(c30.data(4), c30.data(5)), 9);  // Delay L-C-R
}

TEST(EffectTables, VariationDefaultsFitTheirPagesAndSplitIntoPairs)
{
    // Delay L-C-R's defaults as they travel: 1A 05, 0D 03, 27 08, 27 08, 00 4A, 00 20.
    const std::pair<uint8_t, uint8_t> expected[] = {
        {0x1A, 0x05}, {0x0D, 0x03}, {0x27, 0x08}, {0x27, 0x08}, {0x00, 0x4A}, {0x00, 0x20}};
    const auto& lcr = fx::variationTypes()[9];
    for (int s = 0; s < fx::kVariParams; ++s)
        EXPECT_EQ(vari::split14(lcr.defaults[size_t(s)]), expected[s]) << s;

    // A default outside its bar's range would be clamped on screen and lost
    // at the next touch; every enabled parameter's default must fit.
    for (int i = 0; i < 44; ++i) {
        const auto& page = vari::page(i);
        for (int s = 0; s < vari::kSlots; ++s) {
            const auto& spec = page[size_t(s)];
            const int d = fx::variationTypes()[size_t(i)].defaults[size_t(s)];
            if (!spec.enabled())
                continue;
            // Plate's diffusion default (20) is kept as the type table gives
            // it: the synth gets it unchanged, the label says 20.
            if (i == 8 && s == 1)
                continue;
            EXPECT_GE(d, spec.min) << i << "/" << s;
            EXPECT_LE(d, spec.max) << i << "/" << s;
        }
    }
}

TEST(AssignLists, Targets)
{
    EXPECT_STREQ(assign::knob1Targets().front(), "Off");
    EXPECT_STREQ(assign::knob1Targets().back(), "Oscillator Pitch");
    EXPECT_STREQ(assign::knob2Targets()[10], "Filter Cutoff Frequency");
    EXPECT_STREQ(assign::knob2Targets().back(), "Pitch-EG Release Level");
    EXPECT_EQ(assign::layerOffset(2), 0x20);
    EXPECT_EQ(assign::targetOffset(3), 0x23);
    EXPECT_EQ(assign::levelOffset(3), 0x27);
}

TEST(ArpTempo, PositionsToStoredPairs)
{
    struct Case { int position; uint8_t hi, lo; int bpm; };
    const Case cases[] = {
        {40, 0x01, 0x49, 240}, {114, 0x00, 0x7F, 166}, {113, 0x01, 0x00, 167}, {240, 0x00, 0x01, 40},
        {10, 0x01, 0x49, 240},  // beyond the bar is the bar's end
    };
    for (const auto& c : cases) {
        const int v = arp::tempoValueFromPosition(c.position);
        EXPECT_EQ(arp::tempoBytes(v), std::make_pair(c.hi, c.lo)) << c.position;
        EXPECT_EQ(arp::bpm(v), c.bpm);
        // And the refresh puts the bar back where it was.
        if (c.position >= 40) {
            EXPECT_EQ(arp::tempoView(c.hi, c.lo).position, c.position);
        }
    }
}

TEST(ArpTempo, StoredPairsToView)
{
    const auto midi = arp::tempoView(0, 0);
    EXPECT_TRUE(midi.midiClock);
    EXPECT_EQ(midi.position, 140);
    EXPECT_EQ(midi.bpm, 140);

    const auto start = arp::tempoView(0x00, 0x65);
    EXPECT_FALSE(start.midiClock);
    EXPECT_EQ(start.bpm, 140);
    EXPECT_EQ(start.position, 140);

    const auto high = arp::tempoView(0x01, 0x7F);  // 255: beyond 240 BPM
    EXPECT_EQ(high.position, 40);
    EXPECT_EQ(high.bpm, 255 + 39);
}

TEST(ArpMode, BytesAndBoxes)
{
    using B = arp::ModeBoxes;
    EXPECT_EQ(arp::modeByte(B{false, false, true}), 0);
    EXPECT_EQ(arp::modeByte(B{true, false, true}), 1);
    EXPECT_EQ(arp::modeByte(B{false, true, true}), 2);
    EXPECT_EQ(arp::modeByte(B{false, false, false}), 4);
    EXPECT_EQ(arp::modeByte(B{true, false, false}), 5);
    EXPECT_EQ(arp::modeByte(B{false, true, false}), 6);
    // "On" wins: ticking Hold while On is ticked changes nothing.
    EXPECT_EQ(arp::modeByte(B{true, true, false}), 5);
    EXPECT_EQ(arp::normalised(B{true, true, true}), (B{true, false, true}));

    for (uint8_t b : {0, 1, 2, 4, 5, 6})
        EXPECT_EQ(arp::modeByte(arp::modeBoxes(b)), b);
    // Bit 0 and bit 1 both set: shown as On only. Higher bits are ignored
    // on display and dropped at the next edit.
    EXPECT_EQ(arp::modeBoxes(3), (B{true, false, true}));
    EXPECT_EQ(arp::modeByte(arp::modeBoxes(0x7D)), 5);
}

TEST(ArpLists, Entries)
{
    EXPECT_STREQ(arp::typeItems()[9], "UpDown B Oct 1");
    EXPECT_STREQ(arp::typeItems().back(), "Bass Line D");
    EXPECT_STREQ(arp::subdivItems()[7], "1 / 16");
    EXPECT_STREQ(arp::subdivItems().front(), "3 / 8");
    EXPECT_STREQ(arp::subdivItems().back(), "1 / 32");
}
