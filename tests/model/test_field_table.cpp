#include "model/FieldTable.h"
#include "model/PerformanceImage.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace kw;

namespace {

const std::string kPM = "\xC2\xB1";  // ±

uint8_t defaultByte(BlockKind block, size_t offset)
{
    switch (block) {
    case BlockKind::Common00: return kDefaultCommon00.at(offset);
    case BlockKind::Common30: return kDefaultCommon30.at(offset);
    case BlockKind::Common50: return kDefaultCommon50.at(offset);
    default: return kDefaultLayer.at(offset);
    }
}

const FieldRow& row(const char* name)
{
    const FieldRow* r = findField(name);
    if (!r)
        throw std::runtime_error(std::string("no row ") + name);
    return *r;
}

} // namespace

TEST(FieldTables, DefaultsAreTheStartUpImage)
{
    for (const auto* table : {&layerFieldTable(), &commonFieldTable()})
        for (const FieldRow& r : *table)
            EXPECT_EQ(r.defaultValue, defaultByte(r.block, r.offset)) << r.control;
}

TEST(FieldTables, EveryEditedByteHasAControl)
{
    // Bytes reached through a pair row (second byte) or kept but never edited.
    const std::map<BlockKind, std::set<int>> notOwn = {
        {BlockKind::Layer1, {0x01, 0x06}},
        {BlockKind::Common00, {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,  // name
                               0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B,        // not edited
                               0x1E, 0x1F, 0x20, 0x21, 0x22, 0x23,        // assign banks 2-4
                               0x25, 0x26, 0x27, 0x2A}},
        {BlockKind::Common30, {0x01, 0x03, 0x05, 0x07, 0x09, 0x0B, 0x0D, 0x0F, 0x11, 0x12}},
        {BlockKind::Common50, {0x05}},
    };
    std::map<BlockKind, std::set<int>> owned;
    for (const auto* table : {&layerFieldTable(), &commonFieldTable()})
        for (const FieldRow& r : *table)
            for (int tab = 0; tab < (r.tabStride ? 4 : 1); ++tab)
                owned[r.block].insert(r.offsetFor(tab));
    for (auto [block, length] : {std::pair{BlockKind::Layer1, 41}, {BlockKind::Common00, 46},
                                 {BlockKind::Common30, 23}, {BlockKind::Common50, 9}}) {
        for (int k = 0; k < length; ++k) {
            const bool expectOwned = !notOwn.at(block).count(k) ||
                                     (block == BlockKind::Common00 && k >= 0x1C && k < 0x28);
            EXPECT_EQ(owned[block].count(k) == 1, expectOwned) << int(block) << " offset " << k;
        }
        EXPECT_LT(*owned[block].rbegin(), length);
    }
}

TEST(FieldTables, ControlNamesAreUniqueAndFound)
{
    std::set<std::string> names;
    for (const auto* table : {&layerFieldTable(), &commonFieldTable()})
        for (const FieldRow& r : *table) {
            EXPECT_TRUE(names.insert(r.control).second) << r.control;
            EXPECT_EQ(findField(r.control), &r);
        }
    EXPECT_EQ(findField("NoSuchControl"), nullptr);
    EXPECT_EQ(findField("Label_AEGAtkTime"), nullptr);
    EXPECT_EQ(layerFieldTable().size(), 45u);
}

TEST(FieldTables, EveryPositionSurvivesStoreAndRefresh)
{
    for (const auto* table : {&layerFieldTable(), &commonFieldTable()}) {
        for (const FieldRow& r : *table) {
            switch (r.encoding) {
            case Encoding::Special:
                break;
            case Encoding::CheckBox:
                EXPECT_EQ(r.storedFromPosition(1), r.onValue) << r.control;
                EXPECT_EQ(r.storedFromPosition(0), 0) << r.control;
                EXPECT_EQ(r.positionFromStored(r.onValue), 1) << r.control;
                EXPECT_EQ(r.positionFromStored(0), 0) << r.control;
                break;
            case Encoding::Radio:
                EXPECT_EQ(r.positionFromStored(r.storedFromPosition(1)), 1) << r.control;
                EXPECT_EQ(r.positionFromStored(uint8_t(r.onValue + 1)), 0) << r.control;
                break;
            default:
                for (int p = r.min; p <= r.max; ++p) {
                    const uint8_t s = r.storedFromPosition(p);
                    EXPECT_LE(s, 127) << r.control << " " << p;
                    EXPECT_EQ(r.positionFromStored(s), p) << r.control;
                }
            }
        }
    }
}

TEST(FieldTables, OutOfRangeBytesSitAtTheNearestEnd)
{
    const FieldRow& atk = row("AEGAtkTime");
    EXPECT_EQ(atk.positionFromStored(0), 127);
    EXPECT_EQ(atk.labelText(atk.positionFromStored(0)), "-63");
    const FieldRow& velLow = row("VelocityLimitLow");
    EXPECT_EQ(velLow.positionFromStored(0), 126);
    EXPECT_EQ(velLow.labelText(126), "1");
    const FieldRow& amod = row("LFOAMod");
    EXPECT_EQ(amod.positionFromStored(0), 95);
    EXPECT_EQ(amod.positionFromStored(127), 33);
    const FieldRow& shift = row("NoteShift");
    EXPECT_EQ(shift.positionFromStored(0), 24);
    EXPECT_EQ(shift.positionFromStored(127), -24);
    EXPECT_EQ(row("PitchBend").positionFromStored(0x7F), 40);
    // A position a control cannot report is clamped before it is stored.
    EXPECT_EQ(atk.storedFromPosition(0), 127);
    EXPECT_EQ(row("PortaOn").positionFromStored(0x55), 1);
}

TEST(FieldTables, LabelsReadAsTheControlsShowThem)
{
    EXPECT_EQ(row("FilterCutoff").storedFromPosition(0), 127);
    EXPECT_EQ(row("FilterCutoff").labelText(0), "63");
    EXPECT_EQ(row("AEGAtkTime").labelText(64), "0");
    EXPECT_EQ(row("AEGSusLevel").labelText(63), "0");
    const FieldRow& rev = row("EffectReverb");
    EXPECT_EQ(rev.labelText(rev.positionFromStored(0x28)), "40");
    const FieldRow& vol = row("CommonVolume");
    EXPECT_EQ(vol.labelText(vol.positionFromStored(0x64)), "100");
    const FieldRow& pb = row("PitchBend");
    EXPECT_EQ(pb.storedFromPosition(40), 0x58);
    EXPECT_EQ(pb.labelText(40), "24");
    EXPECT_EQ(pb.storedFromPosition(88), 0x28);
    EXPECT_EQ(pb.labelText(88), "-24");
    EXPECT_EQ(pb.labelText(pb.positionFromStored(0x42)), "2");
    const FieldRow& low = row("NoteLimitLow");
    EXPECT_EQ(low.labelText(60), "C3");
    EXPECT_EQ(row("NoteLimitHigh").labelText(127), "G8");
    EXPECT_EQ(row("PanPot").labelText(64), "CTR");
    EXPECT_EQ(row("NoteShift").labelText(-5), "+5");
    EXPECT_EQ(row("NoteDetune").labelText(-5, ','), "+0,5 Hz");
    EXPECT_EQ(row("ArpTempo").labelText(40), "240");
    EXPECT_EQ(row("PerformanceType").labelText(3), "");
}

TEST(FieldTables, AddressesPairsAndAssignTabs)
{
    EXPECT_EQ(row("AEGAtkTime").addressLow(), 0x13);
    EXPECT_EQ(row("VariOnCho").addressLow(), 0x46);
    EXPECT_EQ(row("FCVariCtl").addressLow(), 0x43);
    EXPECT_EQ(row("PortaTime").addressLow(), 0x58);
    EXPECT_EQ(row("ChorusType").addressLow(), 0x32);
    EXPECT_EQ(row("VPara10").addressLow(), 0x40);
    const FieldRow& para = row("Assign2Para");
    EXPECT_EQ(para.addressLow(2), 0x21);
    EXPECT_EQ(para.pairOffset(2), 0x20);
    EXPECT_EQ(row("Assign2Layer4").pairOffset(3), 0x22);
    EXPECT_EQ(row("Assign2Layer4").onValue, 3);
    EXPECT_EQ(row("Assign2Level").addressLow(3), 0x27);
    for (int t = 0; t < assignBank::kBanks; ++t) {
        EXPECT_EQ(para.offsetFor(t), assignBank::paraOffset(t));
        EXPECT_EQ(row("Assign2Layer1").offsetFor(t), assignBank::layerOffset(t));
        EXPECT_EQ(row("Assign2Level").offsetFor(t), assignBank::levelOffset(t));
        // Each bank starts on its own layer: bank t+1 on layer t+1.
        EXPECT_EQ(kDefaultCommon00[assignBank::layerOffset(t)], t);
    }
    EXPECT_EQ(effectPair::variationParaOffset(1), 0x06);
    EXPECT_EQ(effectPair::variationParaOffset(5), 0x0E);
    EXPECT_EQ(effectPair::variationParaOffset(10), 0x10);
    EXPECT_EQ(effectPair::variationParaOffset(6), -1);
    EXPECT_EQ(row("VPara5").offset, effectPair::variationParaOffset(5));
    EXPECT_EQ(effectPair::split14(0x3FFF), std::make_pair(uint8_t(0x7F), uint8_t(0x7F)));
    EXPECT_EQ(effectPair::split14(200), std::make_pair(uint8_t(1), uint8_t(72)));
    EXPECT_EQ(effectPair::join14(1, 72), 200);
}

TEST(LabelRules, ShiftShowsSemitonesFromTheBarsPointOfView)
{
    EXPECT_EQ(shiftLabel(0), kPM + "0");
    EXPECT_EQ(shiftLabel(-5), "+5");
    EXPECT_EQ(shiftLabel(3), "-3");
    EXPECT_EQ(shiftLabel(-24), "+24");
    EXPECT_EQ(shiftLabel(24), "-24");
}

TEST(LabelRules, DetuneNibblesAndHertz)
{
    EXPECT_EQ(detune::nibbles(0), std::make_pair(uint8_t(0x08), uint8_t(0x00)));
    EXPECT_EQ(detune::nibbles(128), std::make_pair(uint8_t(0x00), uint8_t(0x00)));
    EXPECT_EQ(detune::nibbles(-127), std::make_pair(uint8_t(0x0F), uint8_t(0x0F)));
    EXPECT_EQ(detune::label(0), kPM + "0 Hz");
    EXPECT_EQ(detune::label(128), "-12.8 Hz");
    EXPECT_EQ(detune::label(-127), "+12.7 Hz");
    EXPECT_EQ(detune::label(-5), "+0.5 Hz");
    EXPECT_EQ(detune::label(-120), "+12 Hz");
    EXPECT_EQ(detune::label(10), "-1 Hz");
    EXPECT_EQ(detune::label(1), "-0.1 Hz");
    EXPECT_EQ(detune::label(128, ','), "-12,8 Hz");
    EXPECT_EQ(detune::label(-5, std::string_view("\xD9\xAB")), "+0\xD9\xAB" "5 Hz");
    for (int p = -127; p <= 128; ++p) {
        const auto [hi, lo] = detune::nibbles(p);
        EXPECT_LE(hi, 0x0F);
        EXPECT_LE(lo, 0x0F);
        EXPECT_EQ(detune::position(hi, lo), p);
    }
    // Bytes no control could have written land at the bar's ends.
    EXPECT_EQ(detune::position(0x10, 0x00), -127);
    EXPECT_EQ(detune::position(0x7F, 0x7F), -127);
    const FieldRow& d = row("NoteDetune");
    EXPECT_EQ(d.defaultValue, detune::nibbles(0).first);
    EXPECT_EQ(kDefaultLayer[detune::kLowOffset], detune::nibbles(0).second);
}

TEST(LabelRules, PanCentreSidesAndRandom)
{
    EXPECT_EQ(pan::label(64), "CTR");
    EXPECT_EQ(pan::label(65), "R-1");
    EXPECT_EQ(pan::label(127), "R-63");
    EXPECT_EQ(pan::label(63), "L-1");
    EXPECT_EQ(pan::label(1), "L-63");
    const pan::View random = pan::fromStored(0);
    EXPECT_TRUE(random.random);
    EXPECT_EQ(random.position, 64);
    const pan::View left = pan::fromStored(10);
    EXPECT_FALSE(left.random);
    EXPECT_EQ(left.position, 10);
    EXPECT_EQ(pan::fromStored(0xFF).position, 127);
}

TEST(ArpTempo, BarPositionsPairsAndMidiClock)
{
    struct Case { int position; uint8_t hi, lo; const char* bpm; };
    for (Case c : {Case{40, 0x01, 0x49, "240"}, Case{114, 0x00, 0x7F, "166"},
                   Case{113, 0x01, 0x00, "167"}, Case{240, 0x00, 0x01, "40"}}) {
        const int v = tempo::valueFromPosition(c.position);
        EXPECT_EQ(tempo::bytes(v), std::make_pair(c.hi, c.lo)) << c.position;
        const tempo::View view = tempo::fromStored(c.hi, c.lo);
        EXPECT_EQ(view.position, c.position);
        EXPECT_EQ(view.label, c.bpm);
        EXPECT_FALSE(view.midiClock);
    }
    const tempo::View start = tempo::fromStored(kDefaultCommon00[0x29], kDefaultCommon00[0x2A]);
    EXPECT_EQ(start.label, "140");
    const tempo::View clock = tempo::fromStored(0, 0);
    EXPECT_TRUE(clock.midiClock);
    EXPECT_EQ(clock.position, 140);
    EXPECT_EQ(clock.label, "140");
    // Faster than the bar can show: bar at the top, label tells the truth.
    const tempo::View fast = tempo::fromStored(0x01, 0x60);
    EXPECT_EQ(fast.position, 40);
    EXPECT_EQ(fast.label, "263");
}

TEST(ArpMode, OnWinsOverHoldAndSplitIsInverted)
{
    using B = arpMode::Boxes;
    EXPECT_EQ(arpMode::byteFromBoxes(B{false, false, true}), 0);
    EXPECT_EQ(arpMode::byteFromBoxes(B{true, false, false}), 5);
    EXPECT_EQ(arpMode::byteFromBoxes(B{true, false, true}), 1);
    EXPECT_EQ(arpMode::byteFromBoxes(B{false, true, false}), 6);
    EXPECT_EQ(arpMode::byteFromBoxes(B{true, true, true}), 1);
    const B n = arpMode::normalised(B{true, true, false});
    EXPECT_TRUE(n.on);
    EXPECT_FALSE(n.hold);
    for (uint8_t b : {0, 1, 2, 4, 5, 6})
        EXPECT_EQ(arpMode::byteFromBoxes(arpMode::boxesFromByte(b)), b);
    // Unknown bits are ignored on display; on and hold both set shows "On".
    const B odd = arpMode::boxesFromByte(0x7B);
    EXPECT_TRUE(odd.on);
    EXPECT_FALSE(odd.hold);
    EXPECT_TRUE(odd.split);
}

TEST(PerfName, PaddedWithBlanksAndCutToEight)
{
    const auto three = perfName::bytes("Pad");
    EXPECT_EQ(std::string(three.begin(), three.end()), "Pad     ");
    const auto longer = perfName::bytes("Much too long");
    EXPECT_EQ(std::string(longer.begin(), longer.end()), "Much too");
    const auto start = perfName::bytes("InitPerf");
    EXPECT_TRUE(std::equal(start.begin(), start.end(), kDefaultCommon00.begin()));
}
