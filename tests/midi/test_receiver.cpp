#include "CoreFixture.h"

#include <utility>

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
    std::string* stoppedWhy = nullptr;
    void begin(Receiver& rx) override { rx.request(Request::of(BlockKind::UserCommon00), 9); }
    bool replyArrived(Receiver& rx, ByteView) override
    {
        if (--left == 0)
            return false;
        rx.request(Request::of(BlockKind::UserCommon30), 9);
        return true;
    }
    void stopped(Receiver&, const std::string& why) override
    {
        if (stoppedWhy)
            *stoppedWhy = why;
    }
};

// Which requests went out, as block kinds.
std::vector<BlockKind> kinds(const std::vector<Bytes>& sent)
{
    std::vector<BlockKind> out;
    for (const Bytes& m : sent)
        if (auto k = kwtest::requestedBlock(m))
            out.push_back(*k);
    return out;
}

} // namespace

TEST_F(ReceiverTest, IdentityReplyIsKeptAndShownAndEndsTheTimeout)
{
    senders.request(Request::identity());
    clock.runAll();
    EXPECT_EQ(ui.boxes, Boxes{"CS1x responding... Device-Code: 0F 05 - TG-Level: 01"});
    EXPECT_EQ(hex(rx.identityReply()), "F0 7E 00 06 02 43 00 41 0F 05 00 00 00 01 F7");
    EXPECT_TRUE(senders.pending().isNone());

    // Asking again (other ports chosen) takes the greeting back at once. A
    // reply one byte too long is not taken.
    ui.boxes.clear();
    synth.deliver = nullptr;
    senders.request(Request::identity());
    EXPECT_FALSE(ui.box.up()) << "the greeting no longer holds";
    dispatcher.handle(kwtest::bytes("F0 7E 00 06 02 43 00 41 10 06 00 00 00 02 00 F7"));
    clock.runAll();
    EXPECT_EQ(ui.boxes, Boxes{kWrongSize});
    EXPECT_EQ(rx.identityReply()[8], 0x0F);

    // Nothing answers, even when asked once more: the box says so, whatever
    // it said before; a late greeting takes its place again.
    senders.request(Request::identity());
    clock.advance(2000);
    EXPECT_EQ(ui.box.text(), "CS1x does not respond on selected MIDI-device!\nPlease check cabling and/or device-settings");
    dispatcher.handle(kwtest::bytes("F0 7E 00 06 02 43 00 41 0F 05 00 00 00 01 F7"));
    EXPECT_EQ(ui.box.text(), "CS1x responding... Device-Code: 0F 05 - TG-Level: 01");

    // The first question lost on the way (a port just opened), the second
    // one answered: greeted a second later.
    synth.clear();
    auto deliver = [this](const Bytes& m) { dispatcher.handle(m); };
    senders.request(Request::identity());
    clock.advance(999);
    synth.deliver = deliver;
    clock.advance(100);
    EXPECT_EQ(synth.sent.size(), 2u);
    EXPECT_EQ(ui.box.text(), "CS1x responding... Device-Code: 0F 05 - TG-Level: 01");
    EXPECT_FALSE(timers.requestTimeoutRunning());
}

TEST_F(ReceiverTest, WholeFetchFillsTheImageAndRefreshesOnceInVirtualTime)
{
    // A slow synth: more than the status line's 750 ms between two texts.
    synth.replyDelay = 600;
    clickPerformance(3);
    clock.runAll();

    EXPECT_EQ(synth.requests(), kFetchRequests);
    expectImageHolds(3);
    EXPECT_EQ(ui.refreshAllCount, 1);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_FALSE(rx.chainRunning());
    // Disabled from the click to the full refresh, never in between.
    const auto refresh = std::find(ui.log.begin(), ui.log.end(), "refreshAll");
    EXPECT_EQ(std::count(ui.log.begin(), refresh, "busy:0"), 0);
    EXPECT_FALSE(ui.busy);

    // "OK" means nothing is pending: not once before the fetch is through.
    std::vector<std::string> statuses(std::find(ui.statuses.begin(), ui.statuses.end(), "Receiving Perf-COMMON"),
                                      ui.statuses.end());
    EXPECT_EQ(statuses, (std::vector<std::string>{"Receiving Perf-COMMON", "Receiving LAYER-1", "Receiving LAYER-2",
                                                  "Receiving LAYER-3", "Receiving LAYER-4", "OK"}));
    EXPECT_LT(refresh - ui.log.begin(), std::find(ui.log.rbegin(), ui.log.rend(), "status:OK").base() - ui.log.begin());

    // Each follow-up request waits the transfer pause after its reply.
    const auto t = synth.sentAt;
    for (size_t i = t.size() - 6; i < t.size(); ++i)
        EXPECT_EQ(t[i] - t[i - 1], synth.replyDelay + 100);
}

TEST_F(ReceiverTest, OnlyTheRequestedBlockIsTheReplyAndAStrayOneLeavesTheWaitGoingOn)
{
    // A parameter change from the synth and another block, both between a
    // request and its reply: neither is taken for the reply.
    synth.answer = [this](BlockKind k, Bytes reply) -> std::optional<Bytes> {
        if (k == BlockKind::Common30) {
            dispatcher.handle(kwtest::bytes("F0 43 10 4B 60 01 11 40 F7"));
            dispatcher.handle(kwtest::syntheticBlock(BlockKind::Layer1, 5));
        }
        return reply;
    };
    clickPerformance(2);
    clock.runAll();
    EXPECT_EQ(synth.requests(), kFetchRequests);
    expectImageHolds(2);
    EXPECT_EQ(ui.refreshAllCount, 1);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_NE(std::find(ui.statuses.begin(), ui.statuses.end(), "Received Bullshit..."), ui.statuses.end());
}

TEST_F(ReceiverTest, AWrongReplyIsAskedForOnceMore)
{
    int asked = 0;
    synth.answer = [&](BlockKind k, Bytes reply) -> std::optional<Bytes> {
        if (k != BlockKind::Layer2 || asked++ > 0)
            return reply;
        reply[20] ^= 0x01;  // the checksum no longer fits
        return reply;
    };
    clickPerformance(1);
    clock.runAll();
    EXPECT_EQ(kinds(synth.sent), (std::vector<BlockKind>{BlockKind::Common00, BlockKind::Common30, BlockKind::Common50,
                                                         BlockKind::Layer1, BlockKind::Layer2, BlockKind::Layer2,
                                                         BlockKind::Layer3, BlockKind::Layer4}));
    expectImageHolds(1);
    EXPECT_EQ(ui.refreshAllCount, 1);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_NE(std::find(ui.statuses.begin(), ui.statuses.end(), "Receive-Error - Wrong checksum - asking again"),
              ui.statuses.end());
}

TEST_F(ReceiverTest, AFetchThatFailsTwiceStopsAndLeavesTheImageAsItWas)
{
    // Seen live: the layers come, one does not fit. Nothing of the fetch may
    // reach the image, or the window would show a performance made of two.
    synth.answer = [](BlockKind k, Bytes reply) -> std::optional<Bytes> {
        if (k == BlockKind::Layer3)
            reply.insert(reply.end() - 2, 0x00);  // one data byte too many
        return reply;
    };
    const PerformanceImage before = img;
    st.modified = true;
    clickPerformance(4);
    clock.advance(1000);
    EXPECT_EQ(kinds(synth.sent).size(), 7u) << "layer 3 asked for twice, layer 4 never";
    EXPECT_EQ(kinds(synth.sent).back(), BlockKind::Layer3);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(hex(img.edit.at(i).view()), hex(before.edit.at(i).view())) << i;
    EXPECT_EQ(ui.refreshAllCount, 0);
    EXPECT_TRUE(st.modified);
    EXPECT_FALSE(rx.chainRunning());
    EXPECT_FALSE(ui.busy);
    EXPECT_FALSE(timers.requestTimeoutRunning());
    EXPECT_EQ(ui.boxes, Boxes{kWrongSize});
    EXPECT_EQ(ui.statusLine, "Perf. #005 not fetched: Receive-Error - Wrong blocksize");
    // It stays long enough to be read.
    clock.advance(2500);
    EXPECT_EQ(ui.statusLine, "Perf. #005 not fetched: Receive-Error - Wrong blocksize");
}

TEST_F(ReceiverTest, UserBlocksGoToTheTransferImageAndAShortUserLayerIsReported)
{
    const Bytes editBefore = editBytes(BlockKind::Common30);
    synth.tag = 7;
    senders.request(Request::of(BlockKind::UserCommon30), 7);
    clock.runAll();
    EXPECT_EQ(hex(img.transfer[BlockKind::UserCommon30].view()), hex(kwtest::syntheticBlock(BlockKind::UserCommon30, 7, 7)));
    EXPECT_EQ(editBytes(BlockKind::Common30), editBefore);

    synth.deliver = nullptr;
    senders.request(Request::of(BlockKind::UserLayer2), 7);
    const std::string layerBefore = hex(img.transfer[BlockKind::UserLayer2].view());
    // The same block of another performance is not the reply.
    dispatcher.handle(kwtest::syntheticBlock(BlockKind::UserLayer2, 1, 8));
    EXPECT_EQ(ui.statusLine, "Received Bullshit...");
    Bytes shortLayer = kwtest::syntheticBlock(BlockKind::UserLayer2, 1, 7);
    shortLayer.pop_back();
    dispatcher.handle(shortLayer);
    EXPECT_EQ(ui.boxes, Boxes{kWrongSize});
    EXPECT_EQ(hex(img.transfer[BlockKind::UserLayer2].view()), layerBefore);
}

TEST_F(ReceiverTest, ATimeoutAsksOnceMoreAndTheWindowStaysDisabledMeanwhile)
{
    synth.answer = [this](BlockKind k, Bytes reply) -> std::optional<Bytes> {
        synth.replyDelay = k == BlockKind::Common50 ? 1500 : 5;
        return reply;
    };
    clickPerformance(0);
    clock.advance(2 * (5 + 100) + 1000);
    EXPECT_TRUE(ui.boxes.empty()) << "asked again first";
    EXPECT_TRUE(ui.busy);
    EXPECT_EQ(ui.statusLine, "MIDI-Data receive-timeout! - asking again");
    clock.advance(100);
    EXPECT_EQ(kinds(synth.sent).back(), BlockKind::Common50);
    EXPECT_EQ(kinds(synth.sent).size(), 4u);

    // The first asking's reply comes late and is taken; the second one's,
    // later still, belongs to nothing.
    clock.runAll();
    EXPECT_EQ(kinds(synth.sent).size(), 8u);
    expectImageHolds(0);
    EXPECT_EQ(ui.refreshAllCount, 1);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_FALSE(ui.busy);
    EXPECT_EQ(std::count(ui.log.begin(), std::find(ui.log.begin(), ui.log.end(), "refreshAll"), "busy:0"), 0);
}

TEST_F(ReceiverTest, NoReplyTwiceStopsTheFetchAndALateReplyIsNobodys)
{
    synth.answer = [this](BlockKind k, Bytes reply) -> std::optional<Bytes> {
        synth.replyDelay = k == BlockKind::Layer1 ? 5000 : 5;
        return reply;
    };
    const Bytes before = editBytes(BlockKind::Layer1);
    const Bytes common = editBytes(BlockKind::Common00);
    clickPerformance(9);
    clock.advance(4 * (5 + 100) + 1000 + 100 + 1000);
    EXPECT_EQ(ui.boxes, Boxes{kTimeoutBox});
    EXPECT_EQ(ui.statusLine, "Perf. #010 not fetched: MIDI-Data receive-timeout!");
    EXPECT_FALSE(ui.busy);
    EXPECT_FALSE(rx.chainRunning());
    EXPECT_TRUE(senders.pending().isNone());
    clock.runAll();
    EXPECT_EQ(editBytes(BlockKind::Layer1), before);
    EXPECT_EQ(editBytes(BlockKind::Common00), common);
    EXPECT_EQ(ui.refreshAllCount, 0);
    // The failure stands on the status line until the user's next action,
    // and the list shows no line: no performance of the list is in the editor.
    EXPECT_EQ(ui.statuses[ui.statuses.size() - 2], "Received Bullshit...");
    EXPECT_EQ(ui.statuses.back(), "Perf. #010 not fetched: MIDI-Data receive-timeout!");
    EXPECT_EQ(ui.selectedLine, -1);
    EXPECT_EQ(st.selectedUserPerf, -1);
}

TEST_F(ReceiverTest, ADumpTheSynthSentBeforeItSwitchedIsFoundOutAndTheFetchStartsAgain)
{
    // A dump of the performance the synth held before the switch (its
    // panel's bulk dump, say) comes just ahead of the reply and passes for
    // it; the reply then comes as a second, different answer.
    bool once = true;
    synth.answer = [&](BlockKind k, Bytes reply) -> std::optional<Bytes> {
        if (k == BlockKind::Common00 && std::exchange(once, false))
            dispatcher.handle(kwtest::syntheticBlock(BlockKind::Common00, 99));
        return reply;
    };
    clickPerformance(3);
    clock.runAll();
    expectImageHolds(3);
    EXPECT_EQ(ui.refreshAllCount, 1);
    // Nothing asked for again before everything the synth sent before is in.
    EXPECT_EQ(lastRequests(8), (std::vector<std::string>{"F0 43 20 4B 70 00 50 F7", kFetchRequests[0], kFetchRequests[1],
                                                         kFetchRequests[2], kFetchRequests[3], kFetchRequests[4],
                                                         kFetchRequests[5], kFetchRequests[6]}));

    // The same dump again with the same data is no contradiction.
    synth.clear();
    once = true;
    synth.answer = [&](BlockKind k, Bytes reply) -> std::optional<Bytes> {
        if (k == BlockKind::Common00 && std::exchange(once, false))
            dispatcher.handle(reply);
        return reply;
    };
    clickPerformance(4);
    clock.runAll();
    expectImageHolds(4);
    EXPECT_EQ(synth.requests(), kFetchRequests);
}

TEST_F(ReceiverTest, WhenNoChainRunsTheWindowIsEnabled)
{
    // A fetch times out; Preferences OK sends the identity request; a program
    // change arrives from the synth; then the identity reply. This left the
    // window disabled for good, with nothing pending and no timer running.
    int commons = 0;
    synth.answer = [&](BlockKind k, Bytes reply) -> std::optional<Bytes> {
        if (k == BlockKind::Common00 && commons++ < 2)
            return std::nullopt;
        return reply;
    };
    clickPerformance(0);
    clock.advance(1000);
    synth.replyDelay = 50;
    senders.request(Request::identity());
    clock.advance(10);
    dispatcher.handle(kwtest::bytes("C0 03"));
    synth.replyDelay = 5;
    clock.runAll();
    EXPECT_FALSE(rx.chainRunning());
    EXPECT_FALSE(ui.busy);
    EXPECT_FALSE(timers.requestTimeoutRunning());
    EXPECT_EQ(ui.refreshAllCount, 1);
    expectImageHolds(3);
    EXPECT_EQ(ui.boxes, Boxes{"CS1x responding... Device-Code: 0F 05 - TG-Level: 01"});
}

TEST_F(ReceiverTest, TimeoutTextsDependOnThePendingRequest)
{
    synth.answer = silent;
    synth.deliver = nullptr;
    senders.request(Request::identity());
    clock.advance(1999);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(synth.sent.size(), 2u) << "asked once more after a second";
    clock.advance(1);
    EXPECT_EQ(ui.boxes, Boxes{"CS1x does not respond on selected MIDI-device!\nPlease check cabling and/or device-settings"});

    // Every request restarts the full second.
    ui.closeBox();
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
    EXPECT_EQ(synth.requests().size(), 3u);
    EXPECT_EQ(lastRequests(1)[0], "F0 43 20 4B 70 00 50 F7") << "no block of the fetch before the reply on its way";
    clock.runAll();
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(synth.requests().size(), 10u);
    EXPECT_EQ(lastRequests(7), kFetchRequests);
    expectImageHolds(2);
    EXPECT_EQ(ui.refreshAllCount, 1);

    // Replaced during a pause, when no reply is awaited: a block of the old
    // performance may still be on its way all the same, so the synth answers
    // first here too.
    synth.clear();
    clickPerformance(3);
    clock.advance(5 + 50);
    clickPerformance(4);
    EXPECT_EQ(lastRequests(1)[0], "F0 43 20 4B 70 01 50 F7");
    clock.runAll();
    expectImageHolds(4);
    EXPECT_EQ(synth.requests().size(), 9u);
    EXPECT_EQ(ui.refreshAllCount, 2);
}

TEST_F(ReceiverTest, AFetchThatReplacesAnotherAsksOnlyOnceAllTheSynthSentBeforeTheSwitchIsIn)
{
    synth.replyDelay = 600;  // a slow cable
    clickPerformance(2);
    clock.advance(10);
    synth.replyDelay = 790;
    clickPerformance(3);
    // The synth is asked for a block no fetch asks for, which it answers
    // after everything it sent before: the reply to the replaced fetch, and a
    // block of performance 2 that nobody asked for (its panel's bulk dump, say).
    EXPECT_EQ(hex(synth.sent.back()), "F0 43 20 4B 70 00 50 F7");
    clock.after(740, [this] { dispatcher.handle(kwtest::syntheticBlock(BlockKind::Common00, 2)); });
    clock.advance(789);
    EXPECT_EQ(synth.requests().size(), 2u) << "nothing asked before its answer is in";
    clock.runAll();
    expectImageHolds(3);
    EXPECT_EQ(lastRequests(7), kFetchRequests);
    EXPECT_EQ(synth.requests().size(), 9u);
    EXPECT_EQ(ui.refreshAllCount, 1);
    EXPECT_TRUE(ui.boxes.empty());

    // A synth that answers nothing: the new fetch stops as after a time-out.
    synth.deliver = nullptr;
    clickPerformance(4);
    clock.advance(10);
    clickPerformance(5);
    clock.advance(1000);
    EXPECT_EQ(ui.boxes, Boxes{kTimeoutBox});
    EXPECT_EQ(ui.statusLine, "Perf. #006 not fetched: MIDI-Data receive-timeout!");
    EXPECT_FALSE(ui.busy);
    EXPECT_FALSE(rx.chainRunning());
    EXPECT_EQ(synth.requests().size(), 11u) << "the new fetch never asked";
}

TEST_F(ReceiverTest, AFetchAfterAnUnansweredOneStartsOnceTheSynthHasAnswered)
{
    synth.answer = silent;
    clickPerformance(0);
    clock.advance(1000);
    synth.answer = nullptr;
    clickPerformance(0);
    // No waiting for the unanswered block: the synth's answer to one asked
    // for meanwhile, a pause, and it asks.
    clock.advance(5 + 100);
    EXPECT_EQ(synth.requests().size(), 3u);
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

    // An identity check in between: its reply is the identity's, not the
    // chain's block. The chain's own reply never comes; it is asked for once
    // more, then the chain stops and the fetch waiting behind it runs.
    synth.clear();
    synth.deliver = nullptr;
    std::string why;
    auto owned = std::make_unique<TwoUserBlocks>();
    owned->stoppedWhy = &why;
    TwoUserBlocks* chain = owned.get();
    rx.startChain(std::move(owned));
    senders.request(Request::identity());
    dispatcher.handle(Bytes(std::begin(msg::kIdentityReply), std::end(msg::kIdentityReply)));
    EXPECT_EQ(chain->left, 2);
    EXPECT_EQ(ui.boxes.back(), "CS1x responding... Device-Code: 0F 05 - TG-Level: 01");
    rx.startPerformanceFetch();
    EXPECT_TRUE(rx.chainQueued());
    clock.advance(1000 + 100 + 1000);
    EXPECT_EQ(why, "MIDI-Data receive-timeout!");
    EXPECT_EQ(synth.requests().size(), 2u);
    // The chain's requests went unanswered and may be answered late: before
    // the fetch asks, the synth answers a request no chain makes, after all
    // it sent before. Here it never does, and the fetch stops too.
    clock.advance(100);
    EXPECT_EQ(lastRequests(1)[0], "F0 43 20 4B 70 00 50 F7");
    EXPECT_TRUE(ui.busy);
    clock.advance(1000);
    EXPECT_EQ(synth.requests().size(), 3u);
    EXPECT_FALSE(ui.busy);
    EXPECT_EQ(ui.statusLine, "Performance not fetched: MIDI-Data receive-timeout!");

    // Once the synth answers, the next fetch asks again first (another
    // performance's block, which a late answer to the last one cannot pass for).
    synth.deliver = [this](const Bytes& m) { dispatcher.handle(m); };
    clickPerformance(6);
    EXPECT_EQ(lastRequests(1)[0], "F0 43 20 4B 70 01 50 F7");
    clock.runAll();
    expectImageHolds(6);
    EXPECT_EQ(lastRequests(7), kFetchRequests);
}

TEST_F(ReceiverTest, AFailingChainStepEndsThatChainAndReceivingGoesOn)
{
    struct FailsOnFirstBlock : TwoUserBlocks {
        bool replyArrived(Receiver&, ByteView) override { throw std::runtime_error("Disk full"); }
    };
    std::string why;
    auto chain = std::make_unique<FailsOnFirstBlock>();
    chain->stoppedWhy = &why;
    ui.setBusy(true);
    rx.startChain(std::move(chain));
    rx.startPerformanceFetch();
    clock.advance(synth.replyDelay);
    EXPECT_EQ(why, "Disk full");
    EXPECT_EQ(ui.boxes, Boxes{"Disk full"});

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
