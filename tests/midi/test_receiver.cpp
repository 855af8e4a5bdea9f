#include "CoreFixture.h"

using namespace kw;
using kwtest::bytes;
using kwtest::hex;

namespace {

const std::vector<std::string> kFetchRequests = {
    "F0 43 20 4B 60 00 00 F7", "F0 43 20 4B 60 00 30 F7", "F0 43 20 4B 60 00 50 F7", "F0 43 20 4B 60 01 00 F7",
    "F0 43 20 4B 60 02 00 F7", "F0 43 20 4B 60 03 00 F7", "F0 43 20 4B 60 04 00 F7",
};
const std::string kTimeoutBox = "CS1x does not respond on selected MIDI-device!\nMIDI-Data receive-timeout!";

struct ReceiverTest : kwtest::CoreFixture {
    int count(const std::string& box) const { return int(std::count(ui.boxes.begin(), ui.boxes.end(), box)); }
    void expectImageHoldsPerformance(int tag)
    {
        SCOPED_TRACE("performance " + std::to_string(tag));
        for (int i = 0; i < 7; ++i)
            EXPECT_EQ(hex(img.edit.at(i).view()), hex(kwtest::syntheticBlock(BlockKind(i), tag))) << "block " << i;
    }
};

// A chain of some other kind: two user requests, one reply each, no pause.
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
    void abandon(Receiver&) override
    {
        if (abandoned)
            *abandoned = true;
    }
};

} // namespace

TEST_F(ReceiverTest, IdentityReplyIsKeptAndShownAndEndsTheTimeout)
{
    synth.replyDelay = 300;
    senders.request(Request::identity());
    clock.advance(300);
    ASSERT_EQ(ui.boxes, std::vector<std::string>{"CS1x responding... Device-Code: 0F 05 - TG-Level: 01"});
    EXPECT_EQ(hex(rx.identityReply()), "F0 7E 00 06 02 43 00 41 0F 05 00 00 00 01 F7");
    EXPECT_TRUE(senders.pending().isNone());
    clock.advance(5000);
    EXPECT_EQ(ui.boxes.size(), 1u) << "a reply must stop the time-out";

    // Another device's identity with a different length is not taken.
    senders.request(Request::identity());
    clock.runAll();
    ui.boxes.clear();
    senders.request(Request::identity());
    synth.replies.clear();
    dispatcher.handle(bytes("F0 7E 00 06 02 43 00 41 10 06 00 00 00 02 00 F7"));
    EXPECT_EQ(ui.boxes, std::vector<std::string>{"Receive-Error - Wrong blocksize"});
    EXPECT_EQ(rx.identityReply()[8], 0x0F);
}

TEST_F(ReceiverTest, WholeFetchFillsTheImageAndRefreshesOnceInVirtualTime)
{
    synth.tag = 3;
    clickPerformance(3);
    clock.runAll();

    EXPECT_EQ(synth.requests(), kFetchRequests);
    expectImageHoldsPerformance(3);
    EXPECT_EQ(ui.refreshAllCount, 1);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_FALSE(rx.chainRunning());
    EXPECT_TRUE(senders.pending().isNone());

    // The window stays disabled from the click to the full refresh.
    EXPECT_EQ(std::count(ui.log.begin(), ui.log.end(), "busy:0"), 0);
    EXPECT_FALSE(ui.busy);

    const std::vector<std::string> progress = {"Receiving Perf-COMMON", "Receiving LAYER-1", "Receiving LAYER-2",
                                               "Receiving LAYER-3", "Receiving LAYER-4"};
    std::vector<std::string> shown;
    for (const auto& s : ui.statuses)
        if (s.rfind("Receiving", 0) == 0)
            shown.push_back(s);
    EXPECT_EQ(shown, progress);

    // Each follow-up request waits the transfer pause after its reply arrived.
    std::vector<long long> requestTimes;
    for (size_t i = 0; i < synth.sent.size(); ++i)
        if (synth.sent[i].size() == 8)
            requestTimes.push_back(synth.sentAt[i]);
    ASSERT_EQ(requestTimes.size(), 7u);
    for (size_t i = 1; i < requestTimes.size(); ++i)
        EXPECT_EQ(requestTimes[i] - requestTimes[i - 1], synth.replyDelay + settings.transferPause());
}

TEST_F(ReceiverTest, ShortPauseSettingIsReadAtEachPause)
{
    settings.longDelay = false;
    synth.replyDelay = 1;
    clickPerformance(0);
    clock.runAll();
    EXPECT_EQ(synth.sentAt.back() - synth.sentAt[synth.sentAt.size() - 7], 6 * (1 + 10));
    EXPECT_EQ(ui.refreshAllCount, 1);
}

TEST_F(ReceiverTest, WrongLengthIsReportedNothingStoredAndTheChainGoesOn)
{
    synth.answer = [](BlockKind k, Bytes reply) -> std::optional<Bytes> {
        if (k == BlockKind::Common00)
            return kwtest::syntheticBlock(BlockKind::Layer1);  // 52 bytes
        return reply;
    };
    const Bytes before = editBytes(BlockKind::Common00);
    clickPerformance(0);
    clock.advance(synth.replyDelay);
    EXPECT_EQ(ui.boxes, std::vector<std::string>{"Receive-Error - Wrong blocksize"});
    EXPECT_EQ(editBytes(BlockKind::Common00), before);
    EXPECT_TRUE(senders.pending().isNone());
    clock.advance(settings.transferPause());
    EXPECT_EQ(synth.requests().back(), "F0 43 20 4B 60 00 30 F7");

    clock.runAll();
    EXPECT_EQ(synth.requests(), kFetchRequests);
    EXPECT_EQ(editBytes(BlockKind::Common00), before);
    EXPECT_EQ(hex(img.edit[BlockKind::Layer4].view()), hex(kwtest::syntheticBlock(BlockKind::Layer4)));
    EXPECT_EQ(ui.refreshAllCount, 1);
}

TEST_F(ReceiverTest, UserBlocksGoToTheTransferImageAndEveryWrongLengthIsReported)
{
    const Bytes editBefore = editBytes(BlockKind::Common30);
    synth.tag = 7;
    senders.request(Request::of(BlockKind::UserCommon30), 7);
    clock.runAll();
    EXPECT_EQ(hex(img.transfer[BlockKind::UserCommon30].view()),
              hex(kwtest::syntheticBlock(BlockKind::UserCommon30, 7)));
    EXPECT_EQ(img.transfer[BlockKind::UserCommon30].size(), 32u);
    EXPECT_EQ(editBytes(BlockKind::Common30), editBefore);

    // An edit-sized common 30 (34 bytes) is not a user common 30.
    senders.request(Request::of(BlockKind::UserCommon30), 7);
    synth.replies.clear();
    clock.runAll();
    ui.boxes.clear();
    senders.request(Request::of(BlockKind::UserLayer2), 7);
    const Bytes layerBefore(img.transfer[BlockKind::UserLayer2].view().begin(),
                            img.transfer[BlockKind::UserLayer2].view().end());
    Bytes shortLayer = kwtest::syntheticBlock(BlockKind::UserLayer2, 1);
    shortLayer.pop_back();
    dispatcher.handle(shortLayer);
    EXPECT_EQ(ui.boxes, std::vector<std::string>{"Receive-Error - Wrong blocksize"});
    EXPECT_EQ(Bytes(img.transfer[BlockKind::UserLayer2].view().begin(), img.transfer[BlockKind::UserLayer2].view().end()),
              layerBefore);
}

TEST_F(ReceiverTest, TimeoutGivesTheWindowBackAndALateReplyStillCompletesTheFetch)
{
    // The synth is slow to answer common 50 only.
    synth.answer = [this](BlockKind k, Bytes reply) -> std::optional<Bytes> {
        synth.replyDelay = k == BlockKind::Common50 ? 1500 : 5;
        return reply;
    };
    clickPerformance(0);
    clock.advance(2 * (5 + 100) + 1000);
    ASSERT_EQ(ui.boxes, std::vector<std::string>{kTimeoutBox});
    EXPECT_FALSE(ui.busy);
    EXPECT_TRUE(rx.chainRunning());
    EXPECT_EQ(senders.pending(), Request::of(BlockKind::Common50));

    clock.runAll();
    EXPECT_EQ(synth.requests(), kFetchRequests);
    expectImageHoldsPerformance(0);
    EXPECT_EQ(ui.refreshAllCount, 1);
    EXPECT_EQ(ui.boxes.size(), 1u);
    // Once the fetch runs again the window is disabled again until the refresh.
    const auto late = std::find(ui.log.rbegin(), ui.log.rend(), "busy:1");
    EXPECT_LT(std::distance(ui.log.rbegin(), late), std::distance(ui.log.rbegin(), std::find(ui.log.rbegin(), ui.log.rend(), "busy:0")));
}

TEST_F(ReceiverTest, TimeoutTextsDependOnTheRequestAndNeedOne)
{
    synth.answer = [](BlockKind, Bytes) -> std::optional<Bytes> { return std::nullopt; };
    synth.deliver = nullptr;  // the synth is switched off

    senders.request(Request::identity());
    clock.advance(999);
    EXPECT_TRUE(ui.boxes.empty());
    clock.advance(1);
    EXPECT_EQ(ui.boxes, std::vector<std::string>{
                            "CS1x does not respond on selected MIDI-device!\nPlease check cabling and/or device-settings"});

    // A second request restarts the full second.
    ui.boxes.clear();
    senders.request(Request::of(BlockKind::Layer2));
    clock.advance(600);
    senders.request(Request::of(BlockKind::Layer3));
    clock.advance(600);
    EXPECT_TRUE(ui.boxes.empty());
    clock.advance(400);
    EXPECT_EQ(ui.boxes, std::vector<std::string>{kTimeoutBox});

    // Nothing pending: the window is given back without a word.
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
    synth.tag = 1;
    clickPerformance(1);
    clock.advance(5 + 100 + 2);  // common 30 requested, its reply 3 ms away
    clickPerformance(2);          // the synth has moved on (the tag follows C0 02)
    EXPECT_EQ(synth.requests().size(), 2u) << "nothing may go out before the reply on its way";
    clock.runAll();

    EXPECT_TRUE(ui.boxes.empty());
    const auto reqs = synth.requests();
    ASSERT_EQ(reqs.size(), 9u);
    EXPECT_EQ(std::vector<std::string>(reqs.begin() + 2, reqs.end()), kFetchRequests);
    expectImageHoldsPerformance(2);
    EXPECT_EQ(ui.refreshAllCount, 1);

    // Replaced during a pause: the new fetch asks at once.
    synth.clear();
    clickPerformance(3);
    clock.advance(5 + 50);
    clickPerformance(4);
    EXPECT_EQ(synth.requests().back(), "F0 43 20 4B 60 00 00 F7");
    clock.runAll();
    expectImageHoldsPerformance(4);
    EXPECT_EQ(synth.requests().size(), 8u);
    EXPECT_EQ(ui.refreshAllCount, 2);
}

TEST_F(ReceiverTest, AFetchAfterAnUnansweredOneStartsAtOnce)
{
    synth.answer = [](BlockKind, Bytes) -> std::optional<Bytes> { return std::nullopt; };
    clickPerformance(0);
    clock.advance(1000);
    EXPECT_EQ(ui.boxes, std::vector<std::string>{kTimeoutBox});

    synth.answer = nullptr;
    clickPerformance(0);
    EXPECT_EQ(synth.requests().size(), 2u);
    clock.runAll();
    EXPECT_EQ(ui.refreshAllCount, 1);
    expectImageHoldsPerformance(0);
}

TEST_F(ReceiverTest, OtherChainsRunToTheirEndBeforeAFetch)
{
    auto chain = std::make_unique<TwoUserBlocks>();
    rx.startChain(std::move(chain));
    rx.startPerformanceFetch();
    EXPECT_TRUE(rx.chainQueued());
    clock.runAll();

    const auto reqs = synth.requests();
    ASSERT_EQ(reqs.size(), 9u);
    EXPECT_EQ(reqs[0], "F0 43 20 4B 70 09 00 F7");
    EXPECT_EQ(reqs[1], "F0 43 20 4B 70 09 30 F7");
    EXPECT_EQ(std::vector<std::string>(reqs.begin() + 2, reqs.end()), kFetchRequests);
    EXPECT_EQ(ui.refreshAllCount, 1);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(ReceiverTest, AReplyToSomeoneElsesRequestDoesNotMoveTheChain)
{
    auto owned = std::make_unique<TwoUserBlocks>();
    TwoUserBlocks* chain = owned.get();
    bool abandoned = false;
    chain->abandoned = &abandoned;
    synth.deliver = nullptr;
    rx.startChain(std::move(owned));
    // Something else asks in between; its reply takes the pending request.
    senders.request(Request::identity());
    dispatcher.handle(Bytes(std::begin(msg::kIdentityReply), std::end(msg::kIdentityReply)));
    EXPECT_EQ(chain->left, 2);
    EXPECT_EQ(synth.requests().size(), 1u);

    // Its own request is lost now; a new chain takes over and the old one may
    // release what it holds.
    clock.advance(1000);
    EXPECT_FALSE(abandoned);
    rx.startPerformanceFetch();
    EXPECT_TRUE(abandoned);
    EXPECT_EQ(synth.requests().back(), "F0 43 20 4B 60 00 00 F7");
}
