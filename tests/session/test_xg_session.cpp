// XG edits on their one path: into the copy, out to the instrument at once,
// into the history; undo and redo take the instrument along.

#include "midi/OutputPort.h"
#include "midi/Senders.h"
#include "midi/VirtualCs1x.h"
#include "session/XgSession.h"
#include "support/RecordingPort.h"

#include <gtest/gtest.h>

using namespace kw;
using kwtest::bytes;
using kwtest::hex;
using xg::Table;

namespace {

// The virtual CS1x as the output, answering at once.
class SynthPort : public kwtest::RecordingPort {
public:
    VirtualCs1x synth;
    std::vector<Bytes> replies;
    int send(ByteView m) override
    {
        const int r = RecordingPort::send(m);
        for (Bytes& reply : synth.handle(m))
            replies.push_back(std::move(reply));
        return r;
    }
};

struct XgSessionTest : ::testing::Test {
    PerformanceImage img;
    EditorState st;
    SynthPort port;
    Senders senders{img, st, port};
    XgSession xg{senders};

    void SetUp() override { st.sendEnable = true; }
    static xg::Param part(int low, int p) { return {xg::rowAt(Table::Part, uint8_t(low)), p}; }
    static xg::Param effect(int low) { return {xg::rowAt(Table::Effect, uint8_t(low))}; }
    int synthHolds(const xg::Param& p) const { return port.synth.xg().value(p); }
};

} // namespace

TEST_F(XgSessionTest, EditsReachTheInstrumentAndUndoAndRedoTakeItAlong)
{
    port.synth.setToneMode(ToneMode::Multi);
    xg.setMultiMode(true);
    const xg::Param volume = part(0x0B, 4);
    const xg::Param reverbReturn = effect(0x0C);

    // One gesture of three positions is one step.
    for (int v : {110, 120, 127})
        EXPECT_EQ(xg.apply(volume, v), XgSession::Outcome::Done);
    xg.endGesture();
    EXPECT_EQ(hex(port.sent.back()), "F0 43 10 4C 08 04 0B 7F F7");
    EXPECT_EQ(xg.apply(reverbReturn, 0x20), XgSession::Outcome::Done);
    xg.endGesture();
    EXPECT_EQ(hex(port.sent.back()), "F0 43 10 4C 02 01 0C 20 F7");
    EXPECT_EQ(xg.historySize(), 2u);
    EXPECT_EQ(xg.undoText(), "Reverb Return");
    EXPECT_EQ(synthHolds(volume), 127);
    EXPECT_EQ(synthHolds(reverbReturn), 0x20);

    xg.undo();
    EXPECT_EQ(synthHolds(reverbReturn), 0x40);
    EXPECT_EQ(xg.undoText(), "Volume (Part 5)");
    xg.undo();
    EXPECT_EQ(synthHolds(volume), 100) << "back to where the gesture began";
    EXPECT_FALSE(xg.canUndo());
    EXPECT_EQ(xg.memory(), port.synth.xg());
    xg.redo();
    xg.redo();
    EXPECT_EQ(synthHolds(volume), 127);
    EXPECT_EQ(synthHolds(reverbReturn), 0x20);
    EXPECT_EQ(xg.memory(), port.synth.xg());
    EXPECT_FALSE(st.modified) << "the XG side is no part of the performance";
}

TEST_F(XgSessionTest, WhatTheInstrumentWouldIgnoreOrRefuseIsNeitherSentNorRecorded)
{
    const std::vector<std::tuple<xg::Param, int, XgSession::Outcome>> cases = {
        {effect(0x0C), 0x20, XgSession::Outcome::NotInMode},     // Performance mode: no effects
        {part(0x0B, 0), 0x20, XgSession::Outcome::NotInMode},    // nor parts 1-4
        {part(0x0B, 3), 0x20, XgSession::Outcome::NotInMode},
        {part(0x0B, 4), 0x80, XgSession::Outcome::NotTaken},
        {part(0x08, 4), 0x27, XgSession::Outcome::NotTaken},     // note shift -25
        {part(0x0B, 4), 100, XgSession::Outcome::Unchanged},
        {{xg::rowAt(Table::System, 0x7E)}, 0, XgSession::Outcome::NotTaken},  // a command is no parameter
    };
    const xg::Memory before = xg.memory();
    for (const auto& [p, v, outcome] : cases)
        EXPECT_EQ(xg.apply(p, v), outcome) << p.name() << " " << v;
    EXPECT_TRUE(port.sent.empty());
    EXPECT_FALSE(xg.canUndo());
    EXPECT_EQ(xg.memory(), before);

    EXPECT_EQ(xg.apply(part(0x0B, 4), 0x20), XgSession::Outcome::Done);
    EXPECT_EQ(synthHolds(part(0x0B, 4)), 0x20) << "parts 5-16 play beside the performance";
}

TEST_F(XgSessionTest, RepliesFillTheCopyWithoutAStepAndWrongOnesChangeNothing)
{
    port.synth.handle(bytes("F0 43 10 4C 08 06 13 55 F7"));  // part 7 reverb send, set on the instrument
    const xg::Param send7 = part(0x13, 6);
    ASSERT_TRUE(senders.xgRequest(send7));
    ASSERT_EQ(port.replies.size(), 1u);
    EXPECT_EQ(xg.takeReply(send7, port.replies[0]).match, xg::ReplyCheck::Match::Reply);
    EXPECT_EQ(xg.value(send7), 0x55);
    EXPECT_FALSE(xg.canUndo());

    const xg::Memory held = xg.memory();
    const xg::ReplyCheck wrong = xg.takeReply(part(0x13, 4), port.replies[0]);
    EXPECT_EQ(wrong.match, xg::ReplyCheck::Match::Wrong);
    EXPECT_EQ(wrong.why, "XG reply to part 5 Reverb Send: a reply for part 7, not asked");
    EXPECT_EQ(xg.memory(), held);
}
