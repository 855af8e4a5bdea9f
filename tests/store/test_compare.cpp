// What Compare lists and what "Find similar" ranks by, against the list of
// parameters itself: the fast tables agree with the parameters one by one,
// the lines name exactly what differs, and the library ranks by them.

#include "StoreFixture.h"

#include "store/SoundDistance.h"

#include <algorithm>
#include <cmath>

using namespace kw;
using namespace kwtest;

namespace {

PerformanceData dataOf(const PerformanceRecord& r) { return performanceData(r); }

// Where a parameter's first byte lies among the 240 data bytes.
size_t offsetOf(const std::string& key)
{
    const Parameter* p = findParameter(key);
    EXPECT_NE(p, nullptr) << key;
    size_t at = 0;
    for (int b = 0; b < int(p->bytes[0].block); ++b)
        at += blockInfo(BlockKind(int(BlockKind::UserCommon00) + b)).dataLength;
    return at + p->bytes[0].offset;
}

// A byte no parameter reads, if there is one.
size_t unreadOffset()
{
    std::vector<bool> read(kPerformanceDataSize);
    for (const Parameter& p : performanceParameters())
        for (const ParamByte& b : p.bytes) {
            size_t at = 0;
            for (int k = 0; k < int(b.block); ++k)
                at += blockInfo(BlockKind(int(BlockKind::UserCommon00) + k)).dataLength;
            if (at + b.offset < read.size())
                read[at + b.offset] = true;
        }
    const auto unread = std::find(read.begin(), read.end(), false);
    EXPECT_NE(unread, read.end()) << "every byte is a parameter's";
    return size_t(unread - read.begin());
}

std::vector<std::string> lines(const PerformanceData& a, const PerformanceData& b)
{
    std::vector<std::string> out;
    for (const Difference& d : dataDifferences(a, b))
        out.push_back(differenceLine(d));
    return out;
}

} // namespace

TEST(SoundDistance, TheTablesAgreeWithTheParametersOneByOne)
{
    std::mt19937 rng(11);
    for (int round = 0; round < 400; ++round) {
        PerformanceData a = dataOf(randomRecord(rng, 0));
        if (round % 4 == 3) {
            // A variation type the tables know (random bytes rarely name one).
            PerformanceImage img = imageFromData(a);
            const Parameter* type = findParameter("variation.type");
            type->set(img, int(rng() % uint32_t(type->max + 1)));
            a = dataFromEdit(img.edit);
        }
        PerformanceData b = dataOf(randomRecord(rng, 0));
        if (round % 2) {
            // Near ones keep the variation type, so its parameters count too.
            b = a;
            for (int k = 0, n = 1 + int(rng() % 6); k < n; ++k)
                b[9 + rng() % (kPerformanceDataSize - 9)] = uint8_t(rng() % 128);
            b[offsetOf("variation.param1") + rng() % 12] = uint8_t(rng() % 128);
        }
        const double fast = SoundDistance(a).to(b), slow = SoundDistance::between(a, b);
        SCOPED_TRACE("round " + std::to_string(round));
        EXPECT_NEAR(fast, slow, 1e-4);
        EXPECT_NEAR(SoundDistance(b).to(a), fast, 1e-4) << "not symmetric";
        EXPECT_EQ(SoundDistance(a).to(a), 0);
        // Something that counts differs exactly when the distance is not 0
        // (name and category, which Compare lists, do not count).
        const auto listed = dataDifferences(a, b);
        const bool soundDiffers = std::any_of(listed.begin(), listed.end(), [](const Difference& d) {
            return d.parameter->key != "name" && d.parameter->key != "category";
        });
        EXPECT_EQ(fast > 0, soundDiffers) << (listed.empty() ? "" : differenceLine(listed.front()));
    }
}

TEST(Compare, NamesEveryParameterThatDiffersOnceAndNothingElse)
{
    const PerformanceData base = dataOf(makeRecord(0, 12, "Pan Seq"));
    const auto named = [](PerformanceData d, const std::string& name) {
        for (size_t i = 0; i < 8; ++i)
            d[i] = uint8_t(i < name.size() ? name[i] : ' ');
        return d;
    };
    const auto with = [&](std::vector<std::pair<std::string, uint8_t>> bytes, size_t second = 0) {
        PerformanceData d = base;
        for (const auto& [key, v] : bytes)
            d[offsetOf(key) + second] = v;
        return d;
    };
    struct Case {
        const char* what;
        PerformanceData changed;
        std::vector<std::string> expected;  // each line's start
    };
    PerformanceData tempo = with({{"arp.tempo", 1}});
    tempo[offsetOf("arp.tempo") + 1] = 5;
    PerformanceData unread = base;
    unread[unreadOffset()] ^= 0x15;
    const std::vector<Case> cases = {
        {"the same", base, {}},
        {"a name, a layer-2 byte and a layer-4 byte",
         named(with({{"layer2.cutoff", 30}, {"layer4.resonance", 90}}), "Pan Sq2"),
         {"Name: Pan Seq -> Pan Sq2", "Layer 2 Filter Cutoff: ", "Layer 4 Filter Resonance: "}},
        // A value spread over two bytes is one line.
        {"both bytes of the tempo", tempo, {"Arpeggio Tempo: "}},
        {"the category alone", with({{"category", 3}}), {"Category: "}},
        // Bytes no control reads are no parameter.
        {"a byte no parameter reads", unread, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<std::string> got = lines(base, c.changed);
        ASSERT_EQ(got.size(), c.expected.size()) << ::testing::PrintToString(got);
        for (size_t i = 0; i < got.size(); ++i)
            EXPECT_TRUE(got[i].starts_with(c.expected[i])) << got[i];
    }
    // The values as the controls show them.
    const PerformanceData changed = with({{"layer2.cutoff", 30}});
    const Parameter* cutoff = findParameter("layer2.cutoff");
    EXPECT_EQ(lines(base, changed),
              std::vector<std::string>{"Layer 2 Filter Cutoff: " + cutoff->text(imageFromData(base)) + " -> "
                                       + cutoff->text(imageFromData(changed))});
}

TEST(StoreNearest, RanksTwinsThenTheNearestAndFollowsTheLibrary)
{
    TempDir dir;
    auto store = openStore(dir.path() / "lib.sqlite");
    ASSERT_TRUE(store);
    std::mt19937 rng(5);
    const PerformanceData base = dataOf(randomRecord(rng, 0));
    PerformanceData twin = base, oneByte = base, twoBytes = base;
    twin[0] = twin[0] == 'Q' ? 'R' : 'Q';
    oneByte[offsetOf("layer1.resonance")] ^= 0x01;
    twoBytes[offsetOf("layer1.resonance")] ^= 0x01;
    twoBytes[offsetOf("layer1.cutoff")] ^= 0x40;
    const Source file = Source::file("/x/a.SYX");
    const auto keep = [&](Store& s, const PerformanceData& d) {
        auto r = s.remember(d, file);
        EXPECT_TRUE(r) << r.error().text;
        return r ? r->id : 0;
    };
    const int64_t baseId = keep(*store, base);
    const int64_t farId = keep(*store, dataOf(randomRecord(rng, 0)));
    const int64_t twoId = keep(*store, twoBytes);
    const int64_t oneId = keep(*store, oneByte);
    const int64_t twinId = keep(*store, twin);
    const auto near = store->nearest(base, 10, baseId);
    ASSERT_TRUE(near);
    std::vector<int64_t> order;
    for (const Nearby& n : *near)
        order.push_back(n.id);
    EXPECT_EQ(order, (std::vector<int64_t>{twinId, oneId, twoId, farId}));
    EXPECT_TRUE(near->front().twin);
    EXPECT_EQ(near->front().distance, 0);
    EXPECT_FALSE((*near)[1].twin);
    EXPECT_NEAR((*near)[1].distance, 1.0 / 127, 1e-6);

    // A change, through this connection or another program's, is seen at
    // the next question; what is removed is ranked no more.
    ASSERT_FALSE(store->remove(std::vector<int64_t>{twinId}));
    PerformanceData closer = base;
    closer[offsetOf("layer3.volume")] ^= 0x01;
    auto other = openStore(dir.path() / "lib.sqlite");
    const int64_t closerId = keep(*other, closer);
    const auto again = store->nearest(base, 2, baseId);
    ASSERT_TRUE(again);
    std::vector<int64_t> now;
    for (const Nearby& n : *again)
        now.push_back(n.id);
    EXPECT_EQ(now, (std::vector<int64_t>{std::min(oneId, closerId), std::max(oneId, closerId)}))
        << "two at one step each, by id";
}
