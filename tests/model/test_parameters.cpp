#include "model/Parameters.h"

#include "model/Cp1252.h"
#include "model/EffectTables.h"
#include "model/FieldTable.h"
#include "model/NameTables.h"
#include "model/PerformanceImage.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

using namespace kw;

namespace {

using ByteKey = std::pair<BlockKind, int>;

const Parameter& param(const char* key)
{
    const Parameter* p = findParameter(key);
    if (!p)
        throw std::runtime_error(std::string("no parameter ") + key);
    return *p;
}

PerformanceImage defaultImage()
{
    PerformanceImage img;
    img.setDefaults();
    return img;
}

// The data bytes of the seven edit blocks, for comparing whole images.
std::vector<uint8_t> dataOf(const PerformanceImage& img)
{
    std::vector<uint8_t> d;
    for (int b = 0; b < kBlocksPerPerformance; ++b)
        for (size_t k = 0; k < img.edit.at(b).dataLength(); ++k)
            d.push_back(img.edit.at(b).data(k));
    return d;
}

// Any 7-bit bytes, as a dump or a file may bring them.
PerformanceImage noiseImage(std::mt19937& rng)
{
    PerformanceImage img = defaultImage();
    for (int b = 0; b < kBlocksPerPerformance; ++b)
        for (size_t k = 0; k < img.edit.at(b).dataLength(); ++k)
            img.edit.at(b).data(k) = uint8_t(rng() & 0x7F);
    return img;
}

int randomValue(const Parameter& p, const PerformanceImage& img, std::mt19937& rng)
{
    if (p.offScale && rng() % 8 == 0)
        return *p.offScale;
    const ParamRange r = p.rangeIn(img);
    return r.min + int(rng() % unsigned(r.max - r.min + 1));
}

// Noise in the bytes no parameter has, every parameter set through the list
// to a value its control could set.
PerformanceImage randomImage(std::mt19937& rng)
{
    PerformanceImage img = noiseImage(rng);
    for (const Parameter& p : performanceParameters()) {  // a parameter comes after the one it depends on
        if (p.kind == ParamKind::Text) {
            std::string name;
            for (int i = 0; i < 8; ++i)
                name += char(0x20 + rng() % 95);
            p.setName(img, name);
        } else {
            p.set(img, randomValue(p, img, rng));
        }
    }
    return img;
}

// Every byte 7-bit, and none changed but the parameter's own.
void expectOnlyOwnBytesChanged(const Parameter& p, const PerformanceImage& before, const PerformanceImage& after)
{
    for (int b = 0; b < kBlocksPerPerformance; ++b)
        for (size_t k = 0; k < before.edit.at(b).dataLength(); ++k) {
            ASSERT_LE(after.edit.at(b).data(k), 0x7F) << p.key;
            if (after.edit.at(b).data(k) == before.edit.at(b).data(k))
                continue;
            bool own = false;
            for (const ParamByte& pb : p.bytes)
                own |= pb.block == BlockKind(b) && pb.offset == k;
            ASSERT_TRUE(own) << p.key << " wrote block " << b << " offset " << k;
        }
}

// Which bits of which bytes the controls of the field tables read. The rows
// that stand for more than their own byte are listed here by hand.
std::map<ByteKey, uint8_t> bitsTheControlsRead()
{
    const std::map<std::string, int> width = {
        {"PerformanceName", 8}, {"PatchBankNumber", 2}, {"NoteDetune", 2}, {"ArpTempo", 2},
        {"ArpTempoMidi", 2},    {"ReverbType", 2},      {"ChorusType", 2}, {"VariType", 2},
        {"VPara1", 2},          {"VPara2", 2},          {"VPara3", 2},     {"VPara4", 2},
        {"VPara5", 2},          {"VPara10", 2},
    };
    const std::set<std::string> oneBit = {"ArpModeOn", "ArpModeHold", "ArpModeSplit"};
    std::map<ByteKey, uint8_t> read;
    for (const auto* table : {&layerFieldTable(), &commonFieldTable()})
        for (const FieldRow& r : *table) {
            const auto w = width.find(r.control);
            EXPECT_TRUE(r.encoding != Encoding::Special || w != width.end() || oneBit.count(r.control)
                        || std::string(r.control) == "RandomPan")
                << r.control << ": an odd row this test does not know";
            const int n = w == width.end() ? 1 : w->second;
            const uint8_t mask = oneBit.count(r.control) ? r.onValue : 0x7F;
            std::vector<BlockKind> blocks{r.block};
            if (r.isLayer())
                blocks = {BlockKind::Layer1, BlockKind::Layer2, BlockKind::Layer3, BlockKind::Layer4};
            for (BlockKind b : blocks)
                for (int tab = 0; tab < (r.tabStride ? assignBank::kBanks : 1); ++tab)
                    for (int i = 0; i < n; ++i)
                        read[{b, r.offsetFor(tab) + i}] |= mask;
        }
    return read;
}

} // namespace

// A field forgotten in the list, a byte claimed twice or a byte no control
// reads would each show here.
TEST(Parameters, EveryBitAControlReadsBelongsToExactlyOneParameter)
{
    const std::map<ByteKey, uint8_t> read = bitsTheControlsRead();
    std::map<ByteKey, uint8_t> owned;
    for (const Parameter& p : performanceParameters())
        for (const ParamByte& b : p.bytes) {
            const ByteKey k{b.block, b.offset};
            EXPECT_LT(size_t(b.offset), blockInfo(b.block).dataLength) << p.key;
            EXPECT_EQ(owned[k] & b.mask, 0) << p.key << " claims a bit another parameter has, offset " << int(b.offset);
            owned[k] |= b.mask;
        }
    EXPECT_EQ(owned, read);
    EXPECT_FALSE(owned.count({BlockKind::Common00, 0x16})) << "unused bytes are no parameter";
    EXPECT_FALSE(owned.count({BlockKind::Common30, 0x12}));
    EXPECT_FALSE(owned.count({BlockKind::Common50, 0x05}));
}

TEST(Parameters, ListShape)
{
    const auto& all = performanceParameters();
    std::set<std::string> keys, names;
    std::map<int, int> perLayer;
    std::set<std::string> fixed;
    for (const Parameter& p : all) {
        EXPECT_TRUE(keys.insert(p.key).second) << p.key;
        EXPECT_TRUE(names.insert(p.name).second) << p.name;
        EXPECT_EQ(p.layer != 0, p.name.rfind("Layer " + std::to_string(p.layer) + " ", 0) == 0) << p.name;
        EXPECT_NE(findField(p.control), nullptr) << p.key;
        EXPECT_LE(p.min, p.max) << p.key;
        if (p.dependsOn) {
            EXPECT_LT(p.dependsOn, &p) << p.key << " comes before what it depends on";
        }
        ++perLayer[p.layer];
        if (p.fixed)
            fixed.insert(p.key);
    }
    EXPECT_EQ(perLayer[1], perLayer[2]);
    EXPECT_EQ(perLayer[1], perLayer[4]);
    std::set<std::string> expectFixed = {"name", "category", "volume"};
    for (int l = 1; l <= 4; ++l)
        for (const char* k : {"on", "noteLimit.low", "noteLimit.high", "velocityLimit.low", "velocityLimit.high"})
            expectFixed.insert("layer" + std::to_string(l) + "." + k);
    EXPECT_EQ(fixed, expectFixed);
    EXPECT_EQ(param("layer3.voice").dependsOn, &param("layer3.bank"));
    EXPECT_EQ(param("variation.param10").dependsOn, &param("variation.type"));

    // The start-up performance reads as its defaults.
    const PerformanceImage img = defaultImage();
    for (const Parameter& p : all)
        EXPECT_EQ(p.value(img), p.defaultValue) << p.key;
    EXPECT_EQ(param("name").text(img), "InitPerf");
    EXPECT_EQ(param("arp.tempo").text(img), "140");
}

// Over random performances: writing back what a parameter reads changes no
// byte; setting one parameter changes only its bytes and shows as exactly
// that one difference (and those of the parameters it gives meaning to).
TEST(Parameters, RandomImagesRoundTripAndDifferOnlyWhereSet)
{
    std::mt19937 rng(20240611);
    for (int round = 0; round < 40; ++round) {
        const PerformanceImage img = randomImage(rng);
        const std::vector<uint8_t> before = dataOf(img);
        ASSERT_TRUE(differences(img, img).empty());
        for (const Parameter& p : performanceParameters()) {
            PerformanceImage same = img;
            p.set(same, p.value(img));
            ASSERT_EQ(dataOf(same), before) << p.key << " round " << round;

            if (p.kind == ParamKind::Text)
                continue;
            PerformanceImage changed = img;
            int v = p.value(img);
            for (int tries = 0; tries < 20 && v == p.value(img); ++tries)
                v = randomValue(p, img, rng);
            if (v == p.value(img))
                continue;  // a range of one value
            p.set(changed, v);
            ASSERT_EQ(p.value(changed), v) << p.key;
            expectOnlyOwnBytesChanged(p, img, changed);
            if (!p.inUse(img))
                continue;  // a variation parameter the type leaves off: no difference to the sound
            const std::vector<Difference> d = differences(img, changed);
            ASSERT_FALSE(d.empty()) << p.key;
            EXPECT_EQ(d.front().parameter, &p) << p.key;
            for (size_t i = 1; i < d.size(); ++i)
                EXPECT_EQ(d[i].parameter->dependsOn, &p) << p.key << " also changed " << d[i].parameter->key;
        }
    }
}

// Bytes no control writes: a parameter reads them as they are, shows them
// as no control would, and writing one back moves it into range and
// touches nothing else.
TEST(Parameters, StrayBytesAreShownAsTheyAreAndWrittenBackInRange)
{
    std::mt19937 rng(7);
    for (int round = 0; round < 40; ++round) {
        const PerformanceImage img = noiseImage(rng);
        for (const Parameter& p : performanceParameters()) {
            PerformanceImage copy = img;
            const int v = p.value(img);
            p.set(copy, v);
            const ParamRange r = p.rangeIn(img);
            if (p.kind == ParamKind::Choice && (v < p.min || v > p.max)) {
                EXPECT_EQ(dataOf(copy), dataOf(img)) << p.key;  // no entry of the list: nothing to write
            } else if (p.kind != ParamKind::Text && v != p.offScale) {
                EXPECT_EQ(p.value(copy), std::clamp(v, r.min, r.max)) << p.key;
            }
            expectOnlyOwnBytesChanged(p, img, copy);
            EXPECT_FALSE(p.text(img).empty()) << p.key;
        }
    }
}

// Every value a control can set reads as a text of its own, so a compare
// never shows "x -> x"; the variation parameters under every type.
TEST(Parameters, ValuesInRangeShowDistinctTexts)
{
    PerformanceImage img = defaultImage();
    const auto distinct = [&](const Parameter& p) {
        std::map<std::string, int> seen;
        const ParamRange r = p.rangeIn(img);
        for (int v = r.min; v <= r.max; ++v) {
            p.set(img, v);
            const std::string t = p.text(img);
            EXPECT_EQ(t.find(kUnknownName), std::string::npos) << p.key << " " << v;
            const auto [it, fresh] = seen.emplace(t, v);
            EXPECT_TRUE(fresh) << p.nameIn(img) << ": " << v << " and " << it->second << " both read " << t;
        }
    };
    for (const Parameter& p : performanceParameters())
        if (p.kind != ParamKind::Text && p.codec != param("variation.param1").codec)
            distinct(p);
    const Parameter& type = param("variation.type");
    for (int t = type.min; t <= type.max; ++t) {
        type.set(img, t);
        for (const Parameter& p : performanceParameters())
            if (p.dependsOn == &type && p.inUse(img)) {
                distinct(p);
            }
    }
}

TEST(Parameters, TextsAndLinesReadAsTheControlsShow)
{
    const PerformanceImage a = defaultImage();
    struct Case {
        const char* key;
        int value;
        const char* text;
    };
    const Case cases[] = {
        {"layer2.cutoff", 30, "-34"},
        {"layer2.cutoff", 76, "12"},
        {"layer1.ampEG.attack", 1, "-63"},
        {"layer1.lfo.amplitude", 95, "31"},
        {"layer1.pan", 0, "Random"},
        {"layer1.pan", 1, "L-63"},
        {"layer1.pan", 64, "CTR"},
        {"layer1.noteShift", 52, "-12"},
        {"layer1.noteShift", 64, "\xC2\xB1" "0"},
        {"layer1.detune", 128, "\xC2\xB1" "0 Hz"},
        {"layer1.detune", 140, "+1.2 Hz"},
        {"layer1.noteLimit.low", 60, "C3"},
        {"layer1.velocityLimit.low", 1, "1"},
        {"layer1.variationSend", 1, "On"},
        {"layer1.lfo.wave", 2, "Sample & Hold"},
        {"layer4.lfo.sync", 1, "Retrigger"},
        {"arp.tempo", 0, "MIDI"},
        {"arp.tempo", 1, "40"},
        {"arp.mode", 2, "Hold"},
        {"arp.split", 0, "Off"},
        {"assign2.param3.layer", 1, "Layer 2"},
        {"assign2.param3.sense", 96, "32"},
        {"pitchBend", 88, "24"},
        {"category", 22, "SQ  Sequence"},
        {"reverb.type", 4, "Room 2"},
        {"variation.type", 20, "Chorus 1"},
    };
    for (const Case& c : cases) {
        PerformanceImage img = a;
        param(c.key).set(img, c.value);
        EXPECT_EQ(param(c.key).text(img), c.text) << c.key << " " << c.value;
    }

    // A byte no bar stands for reads as no bar would show it; writing it
    // back puts it in range.
    PerformanceImage b = a;
    b.edit.layer(1).data(0x13) = 0;
    EXPECT_EQ(param("layer1.ampEG.attack").text(b), "?? (0)");
    param("layer1.ampEG.attack").set(b, 0);
    EXPECT_EQ(param("layer1.ampEG.attack").value(b), 1);

    param("layer2.detune").set(b, 140);
    EXPECT_EQ(param("layer2.detune").text(b, ","), "+1,2 Hz");
    EXPECT_EQ(param("layer2.voice").text(b), cp1252ToUtf8(voiceEntry(0, 0)));

    // The mode byte keeps the split bit when the arpeggiator changes, and a
    // byte with both bits reads as the boxes show it: on.
    b.edit[BlockKind::Common00].data(arpMode::kOffset) = 0x03;
    EXPECT_EQ(param("arp.mode").text(b), "On");
    EXPECT_EQ(param("arp.split").text(b), "On");
    param("arp.mode").set(b, 2);
    EXPECT_EQ(b.edit[BlockKind::Common00].data(arpMode::kOffset), 0x02);

    // A pair no table holds is named by its bytes and left alone by a choice outside the list.
    b.edit[BlockKind::Common30].data(effectPair::kReverbType) = 0x05;
    b.edit[BlockKind::Common30].data(effectPair::kReverbType + 1) = 0x03;
    EXPECT_EQ(param("reverb.type").text(b), "?? (5, 3)");
    param("reverb.type").set(b, 12);
    EXPECT_EQ(param("reverb.type").value(b), -1);

    // The variation parameters are named and shown as the type's page does.
    param("variation.type").set(b, 20);  // Chorus 1
    param("variation.param1").set(b, 6);
    EXPECT_EQ(param("variation.param1").nameIn(b), "Variation LFO FREQ");
    EXPECT_EQ(param("variation.param1").text(b), "0,25Hz");
    EXPECT_EQ(param("variation.param1").rangeIn(b).max, 127);
    param("variation.param1").set(b, 9000);
    EXPECT_EQ(param("variation.param1").value(b), 127);
    EXPECT_FALSE(param("variation.param5").inUse(b));

    PerformanceImage c = a;
    param("name").setName(c, "Pan Seq");
    PerformanceImage d = c;
    param("name").setName(d, "Pan Sq2");
    param("layer2.cutoff").set(c, 30);
    param("layer2.cutoff").set(d, 76);
    param("reverb.type").set(c, 2);
    param("reverb.type").set(d, 4);
    std::vector<std::string> lines;
    for (const Difference& diff : differences(c, d))
        lines.push_back(differenceLine(diff));
    EXPECT_EQ(lines, (std::vector<std::string>{"Name: Pan Seq -> Pan Sq2", "Reverb Type: Hall 2 -> Room 2",
                                               "Layer 2 Filter Cutoff: -34 -> 12"}));

    // Another type: each side in its own meaning, under the neutral name.
    param("variation.type").set(c, 20);  // Chorus 1: LFO FREQ
    param("variation.type").set(d, 1);   // Hall 1: REVERB TIME
    const std::vector<Difference> typed = differences(c, d);
    const auto it = std::find_if(typed.begin(), typed.end(),
                                 [](const Difference& x) { return x.parameter == &param("variation.param1"); });
    ASSERT_NE(it, typed.end());
    EXPECT_EQ(it->name, "Variation Parameter 1");
}
