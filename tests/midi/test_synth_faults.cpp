// The virtual CS1x misbehaving on purpose: each fault does what it says, is
// counted, and the same seed replays the same faults.

#include "midi/Messages.h"
#include "midi/VirtualBackend.h"
#include "support/RecordingPort.h"
#include "support/VirtualScheduler.h"

#include <gtest/gtest.h>

using namespace kw;
using kwtest::hex;

namespace {

struct Cable : ::testing::Test {
    kwtest::VirtualScheduler sched;
    VirtualCs1x synth;
    std::vector<Bytes> got;
    std::vector<long long> at;
    SynthCable cable{synth, sched, [this](const Bytes& m) {
                         got.push_back(m);
                         at.push_back(sched.nowMicros());
                     }};

    // Asks for every block of the edit buffer, `times` times over.
    void askEverything(int times = 1)
    {
        for (int n = 0; n < times; ++n)
            for (int k = 0; k < kBlocksPerPerformance; ++k)
                cable.received(msg::dumpRequest(BlockKind(k)));
        sched.runAll();
    }
    static bool wellFormedBlock(const Bytes& m)
    {
        return m.size() >= 12 && m[0] == 0xF0 && m.back() == 0xF7 && size_t(m[5]) + 11 == m.size()
               && bulkChecksum(m) == m[m.size() - 2];
    }
};

} // namespace

TEST_F(Cable, WithoutFaultsEveryReplyComesWholeInOrderOneAfterTheOther)
{
    askEverything();
    ASSERT_EQ(got.size(), 7u);
    long long previous = 0;
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_TRUE(wellFormedBlock(got[i])) << i;
        EXPECT_EQ(got[i], synth.handle(msg::dumpRequest(BlockKind(i)))[0]) << i;
        EXPECT_EQ(at[i] - previous, midiWireTime(8 + got[i].size()).count()) << "each after its own wire time";
        previous = at[i];
    }
    EXPECT_EQ(cable.counts().replies, 7);
    EXPECT_EQ(cable.counts().handled, 7);
}

TEST_F(Cable, EachFaultDoesWhatItSaysAndIsCounted)
{
    cable.setFaults({.drop = 1});
    askEverything();
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(cable.counts().dropped, 7);

    cable.setFaults({.wrongLength = 1});
    askEverything();
    ASSERT_EQ(got.size(), 7u);
    for (size_t i = 0; i < got.size(); ++i) {
        const size_t right = blockInfo(BlockKind(i)).length();
        EXPECT_NE(got[i].size(), right) << i;
        EXPECT_LE(got[i].size(), right + 3);
        EXPECT_GE(got[i].size() + 3, right);
        EXPECT_EQ(got[i].front(), 0xF0);
        EXPECT_EQ(got[i].back(), 0xF7) << "still one whole SysEx message";
    }
    EXPECT_EQ(cable.counts().wrongLength, 7);

    got.clear();
    cable.setFaults({.badChecksum = 1});
    askEverything();
    ASSERT_EQ(got.size(), 7u);
    for (const Bytes& m : got) {
        EXPECT_NE(bulkChecksum(m), m[m.size() - 2]);
        EXPECT_EQ(m.size(), size_t(m[5]) + 11) << "the length stays right";
        for (const uint8_t b : ByteView(m).subspan(1, m.size() - 2))
            EXPECT_LT(b, 0x80);
    }
    // The identity reply carries no checksum to spoil.
    cable.received(msg::kIdentityRequest);
    sched.runAll();
    EXPECT_EQ(hex(got.back()), hex(msg::kIdentityReply));
    EXPECT_EQ(cable.counts().badChecksum, 7);
}

TEST_F(Cable, LateMessagesKeepTheirOrderAndPanelMessagesAreNeverDamaged)
{
    cable.setFaults({.drop = 1, .lateMs = 3000, .badChecksum = 1, .seed = 7});
    cable.sendOwn(synth.selectOnPanel(5));
    cable.sendOwn({{0xB0, 74, 10}});
    sched.runAll();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(hex(got[0]), "C0 05");
    EXPECT_EQ(hex(got[1]), "B0 4A 0A");
    EXPECT_EQ(cable.counts().dropped, 0);

    got.clear();
    at.clear();
    cable.setFaults({.lateMs = 3000, .seed = 7});
    askEverything(3);
    ASSERT_EQ(got.size(), 21u);
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(blockInfo(BlockKind(i % 7)).length(), got[i].size()) << "order kept";
    EXPECT_GT(cable.counts().late, 15);
    EXPECT_GT(at.back(), 21 * 3000 / 4) << "held back well beyond the wire time";
}

TEST_F(Cable, AVanishedSynthHearsNothingUntilSwitchedOnAgain)
{
    cable.setFaults({.vanishAfter = 3});
    askEverything();
    EXPECT_EQ(got.size(), 3u);
    EXPECT_TRUE(cable.vanished());
    EXPECT_EQ(cable.counts().ignored, 4);
    // A parameter change does not reach it either.
    cable.received(msg::parameterChange(0x60, 1, 0x11, 5));
    EXPECT_NE(synth.editBuffer().layer(1).data(0x11), 5);
    cable.sendOwn(synth.selectOnPanel(3));
    sched.runAll();
    EXPECT_EQ(got.size(), 3u);

    cable.revive();
    EXPECT_FALSE(cable.vanished());
    askEverything();
    EXPECT_EQ(got.size(), 10u);
}

TEST_F(Cable, UnsolicitedMessagesAreValidMidiThatNoRequestAskedFor)
{
    cable.setFaults({.unsolicited = 1, .seed = 3});
    for (int i = 0; i < 200; ++i)
        cable.received(msg::parameterChange(0x60, 1, 0x11, uint8_t(i & 0x7F)));
    sched.runAll();
    EXPECT_EQ(cable.counts().unsolicited, 200);
    EXPECT_GE(got.size(), 200u);
    EXPECT_EQ(cable.counts().replies, 0);
    int programChanges = 0;
    int lastPicked = -1;
    for (const Bytes& m : got) {
        ASSERT_FALSE(m.empty());
        EXPECT_GE(m[0], 0x80) << "starts with a status byte";
        if (m[0] == 0xF0) {
            EXPECT_EQ(m.back(), 0xF7);
            for (size_t i = 1; i + 1 < m.size(); ++i)
                EXPECT_LT(m[i], 0x80) << hex(m);
        } else {
            for (size_t i = 1; i < m.size(); ++i)
                EXPECT_LT(m[i], 0x80) << hex(m);
            // Knob controllers would change the editor's image behind the synth's back.
            if ((m[0] & 0xF0) == 0xB0) {
                EXPECT_TRUE(m[1] < 71 || m[1] > 74) << hex(m);
            }
        }
        if ((m[0] & 0xF0) == 0xC0) {
            ++programChanges;
            lastPicked = m[1];
        }
    }
    ASSERT_GT(programChanges, 0);
    // Picked on the panel: the synth really switched.
    for (size_t i = 0; i < 8; ++i)
        EXPECT_EQ(synth.editBuffer().at(0).data(i), synth.user(lastPicked).at(0).data(i));
}

TEST_F(Cable, TheSameSeedReplaysTheSameFaults)
{
    const SynthFaults faults{.drop = 0.2, .lateMs = 500, .wrongLength = 0.2, .badChecksum = 0.2, .unsolicited = 0.3,
                             .seed = 99};
    auto run = [&](const SynthFaults& f) {
        VirtualCs1x s;
        kwtest::VirtualScheduler clock;
        std::vector<std::pair<long long, std::string>> out;
        SynthCable c(s, clock, [&](const Bytes& m) { out.emplace_back(clock.nowMicros(), hex(m)); });
        c.setFaults(f);
        for (int n = 0; n < 40; ++n)
            c.received(msg::dumpRequest(BlockKind(n % kBlockKinds), n));
        clock.runAll();
        return out;
    };
    const auto first = run(faults);
    EXPECT_EQ(run(faults), first);
    SynthFaults other = faults;
    other.seed = 100;
    EXPECT_NE(run(other), first);
}

TEST_F(Cable, MessagesStillOnTheWireDieWithTheCable)
{
    auto owned = std::make_unique<SynthCable>(synth, sched, [this](const Bytes& m) { got.push_back(m); });
    owned->received(msg::kIdentityRequest);
    EXPECT_EQ(owned->inFlight(), 1u);
    owned.reset();
    sched.runAll();
    EXPECT_TRUE(got.empty());
}
