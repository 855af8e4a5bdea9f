#include "CoreFixture.h"
#include "midi/Senders.h"
#include "support/RecordingPort.h"

#include <gtest/gtest.h>

using namespace kw;
using kwtest::hex;

namespace {
struct SendersTest : ::testing::Test {
    PerformanceImage img;
    EditorState st;
    kwtest::RecordingPort port;
    int lamps = 0, timeouts = 0;
    std::vector<std::string> boxes;
    Senders senders{img, st, port};

    void SetUp() override
    {
        setDefaults(img, st);
        senders.setHooks({[this] { ++lamps; }, [this](const Request&, int) { ++timeouts; },
                          [this](const std::string& t) { boxes.push_back(t); }});
    }
    std::string sent(size_t i) const { return hex(port.sent.at(i)); }
};
} // namespace

TEST_F(SendersTest, AffectAllFansOutToLayersOneToFourInOrder)
{
    st.editLayer = 3;
    st.affectAll = true;
    senders.writeLayerField(0x11, 0x7F);
    ASSERT_EQ(port.sent.size(), 4u);
    for (int l = 0; l < 4; ++l)
        EXPECT_EQ(sent(size_t(l)), "F0 43 10 4B 60 0" + std::to_string(l + 1) + " 11 7F F7");
    EXPECT_TRUE(st.modified);
    EXPECT_EQ(lamps, 4);

    port.clear();
    st.affectAll = false;
    senders.writeLayerField(0x13, 0x01);
    ASSERT_EQ(port.sent.size(), 1u);
    EXPECT_EQ(sent(0), "F0 43 10 4B 60 03 13 01 F7");
}

TEST_F(SendersTest, ClosedPortSendsNothingAndLeavesModifiedAlone)
{
    port.open = false;
    senders.parameterChange(0x60, 0x00, 0x09, 0x10);
    senders.parameterChange2(0x60, 0x00, 0x29, 0x01, 0x00);
    senders.bulk(BlockKind::Common00);
    senders.editLayerBlocks(true);
    senders.startupMessage();
    senders.request(Request::of(BlockKind::Common00));
    senders.selectUserPerformance(3);
    EXPECT_TRUE(port.sent.empty());
    EXPECT_FALSE(st.modified);
    EXPECT_TRUE(senders.pending().isNone());
    EXPECT_EQ(lamps, 0);
    EXPECT_EQ(timeouts, 0);
    // The image is still written by an edit.
    senders.writeLayerField(0x07, 0x11);
    EXPECT_EQ(img.edit.layer(1).data(0x07), 0x11);
}

TEST_F(SendersTest, SendDisabledDropsEditsButNotRequests)
{
    st.sendEnable = false;
    senders.parameterChange(0x60, 0x00, 0x09, 0x10);
    senders.writeLayerField(0x11, 0x01);
    senders.bulk(BlockKind::Layer1);
    senders.startupMessage();
    EXPECT_TRUE(port.sent.empty());
    EXPECT_FALSE(st.modified);

    senders.request(Request::of(BlockKind::UserLayer2), 10);
    ASSERT_EQ(port.sent.size(), 1u);
    EXPECT_EQ(sent(0), "F0 43 20 4B 72 0A 00 F7");
    EXPECT_EQ(senders.pending(), Request::of(BlockKind::UserLayer2));
    EXPECT_FALSE(st.modified);
    EXPECT_EQ(timeouts, 1);
}

TEST_F(SendersTest, RequestsForEveryBlockAndIdentity)
{
    senders.request(Request::identity());
    senders.request(Request::of(BlockKind::Common00));
    senders.request(Request::of(BlockKind::Common50));
    senders.request(Request::of(BlockKind::Layer4));
    senders.request(Request::of(BlockKind::UserCommon30), 127);
    EXPECT_EQ(sent(0), "F0 7E 00 06 01 F7");
    EXPECT_EQ(sent(1), "F0 43 20 4B 60 00 00 F7");
    EXPECT_EQ(sent(2), "F0 43 20 4B 60 00 50 F7");
    EXPECT_EQ(sent(3), "F0 43 20 4B 60 04 00 F7");
    EXPECT_EQ(sent(4), "F0 43 20 4B 70 7F 30 F7");
    EXPECT_EQ(senders.pending().replyLength(), 32u);
    EXPECT_EQ(Request::identity().replyLength(), 15u);
}

TEST_F(SendersTest, BulkBlocksAreStampedAndChecksummed)
{
    img.edit.layer(2)[2] = 0x05;
    senders.bulk(BlockKind::Layer2);
    const Bytes& out = port.sent.at(0);
    ASSERT_EQ(out.size(), 52u);
    EXPECT_EQ(hex({out.data(), 9}), "F0 43 00 4B 00 29 60 02 00");
    EXPECT_EQ(out[50], bulkChecksum(out));
    EXPECT_TRUE(st.modified);

    port.clear();
    PerformanceImage::editToUser(img.edit, img.transfer, 0);
    senders.bulk(BlockKind::UserCommon30, 9);
    senders.bulk(BlockKind::UserLayer4, 9);
    EXPECT_EQ(port.sent.at(0).size(), 32u);
    EXPECT_EQ(hex({port.sent.at(0).data(), 9}), "F0 43 00 4B 00 15 70 09 30");
    EXPECT_EQ(hex({port.sent.at(1).data(), 9}), "F0 43 00 4B 00 29 74 09 00");
}

TEST_F(SendersTest, EditLayerBlocksBackToBackOrEditLayerOnly)
{
    st.editLayer = 2;
    senders.editLayerBlocks(false);
    ASSERT_EQ(port.sent.size(), 1u);
    EXPECT_EQ(port.sent[0][7], 0x02);
    port.clear();
    senders.editLayerBlocks(true);
    ASSERT_EQ(port.sent.size(), 4u);
    for (int l = 0; l < 4; ++l)
        EXPECT_EQ(port.sent[size_t(l)][7], l + 1);
}

TEST_F(SendersTest, StartupMessageAndSelectSequence)
{
    senders.startupMessage();
    EXPECT_EQ(sent(0), "F0 43 10 4B 50 00 06 03 F7");
    EXPECT_TRUE(st.modified);
    senders.selectUserPerformance(0x21);
    EXPECT_EQ(sent(1), "B0 00 3F");
    EXPECT_EQ(sent(2), "B0 20 41");
    EXPECT_EQ(sent(3), "C0 21");
    EXPECT_EQ(lamps, 2);
    senders.parameterChange2(0x60, 0x00, 0x29, 0x01, 0x49);
    EXPECT_EQ(sent(4), "F0 43 10 4B 60 00 29 01 49 F7");
}

TEST_F(SendersTest, EveryFailedSendIsReportedAndCountsAsNotSent)
{
    struct ExplainingPort : kwtest::RecordingPort {
        std::string failureReason() const override { return result == 1 ? "ALSA said no" : ""; }
    };
    ExplainingPort port;
    Senders senders(img, st, port);
    senders.setHooks({[this] { ++lamps; }, [this](const Request&, int) { ++timeouts; },
                      [this](const std::string& t) { boxes.push_back(t); }});
    for (int code : {0, 1, 2, 5, 11, 64, 67, 68}) {
        port.result = code;
        senders.parameterChange(0x60, 0, 9, 1);
    }
    EXPECT_EQ(boxes, (std::vector<std::string>{"MIDI-Out error: ALSA said no", "MIDI-Out error: code 2",
                                               "MMSYSERR_INVALHANDLE", "MMSYSERR_INVALPARAM", "MIDIERR_UNPREPARED",
                                               "MIDIERR_NOTREADY", "MIDI-Out error: code 68"}));
    EXPECT_EQ(senders.lastResult(), 68);
    EXPECT_EQ(lamps, 1) << "only the message that went out lights the lamp";

    // A request that failed is not pending and starts no time-out.
    port.result = 67;
    EXPECT_FALSE(senders.request(Request::of(BlockKind::Common30)));
    EXPECT_TRUE(senders.pending().isNone());
    EXPECT_EQ(timeouts, 0);
    port.result = 0;
    EXPECT_TRUE(senders.request(Request::of(BlockKind::Common30)));
    EXPECT_EQ(timeouts, 1);

    // The short messages of the select sequence are reported too.
    boxes.clear();
    port.result = 1;
    senders.selectUserPerformance(1);
    EXPECT_EQ(boxes.size(), 3u);
}

namespace {
struct SendFailures : kwtest::CoreFixture {};
} // namespace

TEST_F(SendFailures, ABurstIsToldOnceInABox)
{
    synth.result = 1;
    for (int i = 0; i < 20; ++i) {
        senders.parameterChange(0x60, 1, 0x11, uint8_t(i));
        clock.advance(50);
    }
    EXPECT_EQ(ui.boxes, std::vector<std::string>{"MIDI-Out error: code 1"});
    EXPECT_EQ(ui.statusLine, "MIDI-Out error: code 1");
    // After a quiet second, the next failure is a new burst. Its box comes
    // once the send has returned (the first one closed meanwhile).
    ui.closeBox();
    clock.advance(1000);
    senders.parameterChange(0x60, 1, 0x11, 0);
    EXPECT_EQ(ui.boxes.size(), 1u);
    clock.advance(0);
    EXPECT_EQ(ui.boxes.size(), 2u);

    // A send that went out ends the burst: the port worked again (it was
    // reopened, say), so the next failure is news at once.
    ui.closeBox();
    synth.result = 0;
    senders.parameterChange(0x60, 1, 0x11, 1);
    synth.result = 1;
    senders.parameterChange(0x60, 1, 0x11, 2);
    clock.advance(0);
    EXPECT_EQ(ui.boxes.size(), 3u);
}
