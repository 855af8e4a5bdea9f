#include "CoreFixture.h"

#include <stdexcept>

using namespace kw;
using kwtest::hex;

namespace {

const std::vector<std::string> kFetchRequests = {
    "F0 43 20 4B 60 00 00 F7", "F0 43 20 4B 60 00 30 F7", "F0 43 20 4B 60 00 50 F7", "F0 43 20 4B 60 01 00 F7",
    "F0 43 20 4B 60 02 00 F7", "F0 43 20 4B 60 03 00 F7", "F0 43 20 4B 60 04 00 F7",
};
const std::string kWrongSize = "Receive-Error - Wrong blocksize";
const std::string kTimeoutBox = "CS1x does not respond on selected MIDI-device!\nMIDI-Data receive-timeout!";
using Boxes = std::vector<std::string>;

std::optional<Bytes> silent(BlockKind, Bytes) { return std::nullopt; }

struct ReceiverTest : kwtest::CoreFixture {
    void expectImageHolds(int performance)
    {
        SCOPED_TRACE("performance " + std::to_string(performance));
        for (int i = 0; i < 7; ++i)
            EXPECT_EQ(hex(img.edit.at(i).view()), hex(kwtest::syntheticBlock(BlockKind(i), performance))) << i;
    }
    std::vector<std::string> lastRequests(size_t n) const
    {
        const auto all = synth.requests();
        return {all.end() - long(std::min(n, all.size())), all.end()};
    }
};

// Stands for the chains still to come: two user requests, no pause.
struct TwoUserBlocks : Chain {
    int left = 2;
    bool* abandoned = nullptr;
    void begin(Receiver& rx) override { rx.request(Request::of(BlockKind::UserCommon00), 9); }
    bool blockArrived(Receiver& rx, bool) override
    {
        if (--left == 0)
            return false;
        rx.request(Request::of(BlockKind::UserCommon30), 9);
        return true;
    }
    void abandon(Receiver&) override { *abandoned = true; }
};

} // namespace

TEST_F(ReceiverTest, IdentityReplyIsKeptAndShownAndEndsTheTimeout)
{
    senders.request(Request::identity());
    clock.runAll();
    EXPECT_EQ(ui.boxes, Boxes{"CS1x responding... Device-Code: 0F 05 - TG-Level: 01"});
    EXPECT_EQ(hex(rx.identityReply()), "F0 7E 00 06 02 43 00 41 0F 05 00 00 00 01 F7");
    EXPECT_TRUE(senders.pending().isNone());

    // A reply one byte too long is not taken.
    ui.boxes.clear();
    synth.deliver = nullptr;
    senders.request(Request::identity());
    dispatcher.handle(kwtest::bytes("F0 7E 00 06 02 43 00 41 10 06 00 00 00 02 00 F7"));
    clock.runAll();
    EXPECT_EQ(ui.boxes, Boxes{kWrongSize});
    EXPECT_EQ(rx.identityReply()[8], 0x0F);
}

TEST_F(ReceiverTest, WholeFetchFillsTheImageAndRefreshesOnceInVirtualTime)
{
    clickPerformance(3);
    clock.runAll();

    EXPECT_EQ(synth.requests(), kFetchRequests);
    expectImageHolds(3);
    EXPECT_EQ(ui.refreshAllCount, 1);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_FALSE(rx.chainRunning());
    // Disabled from the click to the full refresh, never in between.
    EXPECT_EQ(std::count(ui.log.begin(), ui.log.end(), "busy:0"), 0);
    EXPECT_FALSE(ui.busy);

    std::vector<std::string> progress;
    std::copy_if(ui.statuses.begin(), ui.statuses.end(), std::back_inserter(progress),
                 [](const std::string& s) { return s != "OK"; });
    EXPECT_EQ(progress, (std::vector<std::string>{"Receiving Perf-COMMON", "Receiving LAYER-1", "Receiving LAYER-2",
                                                  "Receiving LAYER-3", "Receiving LAYER-4"}));

    // Each follow-up request waits the transfer pause after its reply.
    const auto t = synth.sentAt;
    for (size_t i = t.size() - 6; i < t.size(); ++i)
        EXPECT_EQ(t[i] - t[i - 1], synth.replyDelay + 100);
}

TEST_F(ReceiverTest, WrongLengthIsReportedNothingStoredAndTheChainGoesOn)
{
    synth.answer = [](BlockKind k, Bytes reply) -> std::optional<Bytes> {
        return k == BlockKind::Common00 ? kwtest::syntheticBlock(BlockKind::Layer1) : reply;  // 52 bytes
    };
    const Bytes before = editBytes(BlockKind::Common00);
    clickPerformance(0);
    clock.advance(synth.replyDelay + 100);
    EXPECT_EQ(ui.boxes, Boxes{kWrongSize});
    EXPECT_EQ(editBytes(BlockKind::Common00), before);
    EXPECT_EQ(lastRequests(1)[0], "F0 43 20 4B 60 00 30 F7");

    clock.runAll();
    EXPECT_EQ(synth.requests(), kFetchRequests);
    EXPECT_EQ(editBytes(BlockKind::Common00), before);
    EXPECT_EQ(editBytes(BlockKind::Layer4), kwtest::syntheticBlock(BlockKind::Layer4));
    EXPECT_EQ(ui.refreshAllCount, 1);
}

TEST_F(ReceiverTest, UserBlocksGoToTheTransferImageAndAShortUserLayerIsReported)
{
    const Bytes editBefore = editBytes(BlockKind::Common30);
    synth.tag = 7;
    senders.request(Request::of(BlockKind::UserCommon30), 7);
    clock.runAll();
    EXPECT_EQ(hex(img.transfer[BlockKind::UserCommon30].view()), hex(kwtest::syntheticBlock(BlockKind::UserCommon30, 7)));
    EXPECT_EQ(editBytes(BlockKind::Common30), editBefore);

    synth.deliver = nullptr;
    senders.request(Request::of(BlockKind::UserLayer2), 7);
    const std::string layerBefore = hex(img.transfer[BlockKind::UserLayer2].view());
    Bytes shortLayer = kwtest::syntheticBlock(BlockKind::UserLayer2, 1);
    shortLayer.pop_back();
    dispatcher.handle(shortLayer);
    EXPECT_EQ(ui.boxes, Boxes{kWrongSize});
    EXPECT_EQ(hex(img.transfer[BlockKind::UserLayer2].view()), layerBefore);
}

TEST_F(ReceiverTest, TimeoutGivesTheWindowBackAndALateReplyStillCompletesTheFetch)
{
    synth.answer = [this](BlockKind k, Bytes reply) -> std::optional<Bytes> {
        synth.replyDelay = k == BlockKind::Common50 ? 1500 : 5;
        return reply;
    };
    clickPerformance(0);
    clock.advance(2 * (5 + 100) + 1000);
    ASSERT_EQ(ui.boxes, Boxes{kTimeoutBox});
    EXPECT_FALSE(ui.busy);
    EXPECT_EQ(senders.pending(), Request::of(BlockKind::Common50));

    clock.advance(500);
    EXPECT_TRUE(ui.busy) << "the fetch runs again, so the window is disabled again";
    clock.runAll();
    EXPECT_EQ(synth.requests(), kFetchRequests);
    expectImageHolds(0);
    EXPECT_EQ(ui.refreshAllCount, 1);
    EXPECT_EQ(ui.boxes.size(), 1u);
}

TEST_F(ReceiverTest, TimeoutTextsDependOnThePendingRequest)
{
    synth.answer = silent;
    synth.deliver = nullptr;
    senders.request(Request::identity());
    clock.advance(999);
    EXPECT_TRUE(ui.boxes.empty());
    clock.advance(1);
    EXPECT_EQ(ui.boxes, Boxes{"CS1x does not respond on selected MIDI-device!\nPlease check cabling and/or device-settings"});

    // Every request restarts the full second.
    ui.boxes.clear();
    senders.request(Request::of(BlockKind::Layer2));
    clock.advance(600);
    senders.request(Request::of(BlockKind::Layer3));
    clock.advance(999);
    EXPECT_TRUE(ui.boxes.empty());
    clock.advance(1);
    EXPECT_EQ(ui.boxes, Boxes{kTimeoutBox});

    // Nothing pending: the window comes back without a word.
    ui.boxes.clear();
    ui.busy = true;
    timers.restartRequestTimeout();
    senders.clearPending();
    clock.advance(1000);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_FALSE(ui.busy);
}

TEST_F(ReceiverTest, ANewFetchReplacesARunningOneWithoutMistakingTheReplyOnItsWay)
{
    clickPerformance(1);
    clock.advance(5 + 100 + 2);  // common 30 asked for, its reply 3 ms away
    clickPerformance(2);
    EXPECT_EQ(synth.requests().size(), 2u) << "nothing may go out before the reply on its way";
    clock.runAll();
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(synth.requests().size(), 9u);
    EXPECT_EQ(lastRequests(7), kFetchRequests);
    expectImageHolds(2);
    EXPECT_EQ(ui.refreshAllCount, 1);

    // Replaced during a pause: the new fetch asks at once.
    synth.clear();
    clickPerformance(3);
    clock.advance(5 + 50);
    clickPerformance(4);
    EXPECT_EQ(lastRequests(1)[0], "F0 43 20 4B 60 00 00 F7");
    clock.runAll();
    expectImageHolds(4);
    EXPECT_EQ(synth.requests().size(), 8u);
    EXPECT_EQ(ui.refreshAllCount, 2);
}

TEST_F(ReceiverTest, AFetchAfterAnUnansweredOneStartsAtOnce)
{
    synth.answer = silent;
    clickPerformance(0);
    clock.advance(1000);
    synth.answer = nullptr;
    clickPerformance(0);
    EXPECT_EQ(synth.requests().size(), 2u);
    clock.runAll();
    EXPECT_EQ(ui.refreshAllCount, 1);
    expectImageHolds(0);
}

TEST_F(ReceiverTest, OtherChainsFinishBeforeAFetchAndOnlyTheirOwnRepliesMoveThem)
{
    rx.startChain(std::make_unique<TwoUserBlocks>());
    rx.startPerformanceFetch();
    EXPECT_TRUE(rx.chainQueued());
    clock.runAll();
    const auto reqs = synth.requests();
    ASSERT_EQ(reqs.size(), 9u);
    EXPECT_EQ(reqs[0], "F0 43 20 4B 70 09 00 F7");
    EXPECT_EQ(reqs[1], "F0 43 20 4B 70 09 30 F7");
    EXPECT_EQ(lastRequests(7), kFetchRequests);
    EXPECT_EQ(ui.refreshAllCount, 1);

    // An identity check in between takes the pending request; its reply must
    // not count as the chain's block. The chain is stalled then, and the next
    // chain takes over, letting the old one release what it holds.
    synth.clear();
    synth.deliver = nullptr;
    bool abandoned = false;
    auto owned = std::make_unique<TwoUserBlocks>();
    owned->abandoned = &abandoned;
    TwoUserBlocks* chain = owned.get();
    rx.startChain(std::move(owned));
    senders.request(Request::identity());
    dispatcher.handle(Bytes(std::begin(msg::kIdentityReply), std::end(msg::kIdentityReply)));
    EXPECT_EQ(chain->left, 2);
    EXPECT_EQ(synth.requests().size(), 1u);
    rx.startPerformanceFetch();
    EXPECT_TRUE(abandoned);
    EXPECT_EQ(lastRequests(1)[0], "F0 43 20 4B 60 00 00 F7");
}

TEST_F(ReceiverTest, AFailingChainStepEndsThatChainAndReceivingGoesOn)
{
    struct FailsOnFirstBlock : TwoUserBlocks {
        bool blockArrived(Receiver&, bool) override { throw std::runtime_error("Disk full"); }
    };
    bool abandoned = false;
    auto chain = std::make_unique<FailsOnFirstBlock>();
    chain->abandoned = &abandoned;
    ui.setBusy(true);
    rx.startChain(std::move(chain));
    rx.startPerformanceFetch();
    clock.advance(synth.replyDelay);
    EXPECT_TRUE(abandoned);
    EXPECT_EQ(ui.boxes, Boxes{"Disk full"});
    EXPECT_NE(std::find(ui.log.begin(), ui.log.end(), "busy:0"), ui.log.end());

    // The fetch that was waiting runs now, and the window is busy for it.
    EXPECT_TRUE(ui.busy);
    clock.runAll();
    EXPECT_EQ(lastRequests(7), kFetchRequests);
    EXPECT_EQ(ui.refreshAllCount, 1);
}

TEST_F(ReceiverTest, APortClosingMidFetchDoesNotLeaveTheWindowDisabled)
{
    clickPerformance(0);
    clock.advance(synth.replyDelay - 1);
    synth.open = false;
    clock.advance(1 + 100);
    EXPECT_TRUE(ui.busy);
    clock.advance(1000);
    EXPECT_FALSE(ui.busy);
    EXPECT_TRUE(ui.boxes.empty()) << "no request is pending, so there is nothing to report";

    synth.open = true;
    clickPerformance(0);
    clock.runAll();
    EXPECT_EQ(ui.refreshAllCount, 1);
}
