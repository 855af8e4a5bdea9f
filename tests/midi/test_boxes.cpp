// Boxes the synth's input brings, and input while the user answers a dialog:
// one box at a time, the rest on the status line; a program change from the
// synth waits for the user's dialog to close.

#include "CoreFixture.h"

#include <algorithm>
#include <random>

using namespace kw;
using kwtest::hex;

namespace {

const std::string kWrongSize = "Receive-Error - Wrong blocksize";
const std::string kGreeting = "CS1x responding... Device-Code: 0F 05 - TG-Level: 01";

struct BoxRules : kwtest::CoreFixture {

    size_t statusesWith(const std::string& part) const
    {
        return size_t(std::count_if(ui.statuses.begin(), ui.statuses.end(),
                                    [&](const std::string& s) { return s.find(part) != std::string::npos; }));
    }
    // The synth's performance switches and the fetches that follow them.
    std::vector<std::string> selects() const
    {
        std::vector<std::string> out;
        for (const Bytes& m : synth.sent)
            if ((m[0] & 0xF0) == 0xC0)
                out.push_back(hex(m));
        return out;
    }
};

} // namespace

TEST_F(BoxRules, AStormOfErrorsShowsOneBoxTheRestGoesToTheStatusLine)
{
    // Garbage on the input: stray Cn bytes taken as program changes, each
    // starting a fetch; the replies come spoilt or not at all.
    bool silent = false;
    synth.answer = [&](BlockKind, Bytes reply) -> std::optional<Bytes> {
        if (silent)
            return std::nullopt;
        reply.insert(reply.end() - 2, 0x00);
        return reply;
    };
    std::minstd_rand rnd(11);
    for (int i = 0; i < 300; ++i) {
        silent = i % 5 == 4;
        dispatcher.handle(Bytes{uint8_t(0xC0 | (rnd() & 0x0F)), uint8_t(rnd() & 0x7F)});
        dispatcher.handle(kwtest::syntheticBlock(BlockKind(rnd() % 7), 3));  // unasked for
        clock.advance(long(rnd() % 2500));
        ASSERT_LE(ui.boxes.size(), 1u) << "after " << i + 1 << " program changes";
    }
    clock.advance(5000);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_TRUE(ui.boxes[0] == kWrongSize || ui.boxes[0].rfind("CS1x does not respond", 0) == 0) << ui.boxes[0];
    // Each fetch that gave up says so on the status line, whatever the box.
    EXPECT_GT(statusesWith("not fetched: " + kWrongSize), 20u);
    EXPECT_GT(statusesWith("not fetched: MIDI-Data receive-timeout!"), 5u);
    EXPECT_FALSE(rx.chainRunning());
    EXPECT_FALSE(ui.busy) << "no chain runs: the window is usable";

    // Once it is closed the next error gets a box of its own.
    ui.closeBox();
    dispatcher.handle(Bytes{0xC0, 5});
    clock.advance(5000);
    EXPECT_EQ(ui.boxes.size(), 2u);
}

TEST_F(BoxRules, WhileABoxIsUpOtherBoxTextsGoToTheStatusLineOnOneLine)
{
    senders.request(Request::identity());
    clock.advance(100);
    ASSERT_EQ(ui.boxes, std::vector<std::string>{kGreeting});

    // A lone request that is not answered, and a burst of failed sends.
    synth.answer = [](BlockKind, Bytes) -> std::optional<Bytes> { return std::nullopt; };
    senders.request(Request::of(BlockKind::Common30));
    clock.advance(1000);
    EXPECT_EQ(ui.statusLine, "CS1x does not respond on selected MIDI-device! MIDI-Data receive-timeout!");
    synth.result = 1;
    senders.parameterChange(0x60, 1, 0x11, 5);
    clock.advance(0);
    EXPECT_EQ(ui.statusLine, "MIDI-Out error: code 1");
    EXPECT_EQ(ui.boxes.size(), 1u);
    // It stands a while, as a chain's last word does.
    clock.advance(3000);
    EXPECT_EQ(ui.statusLine, "MIDI-Out error: code 1");

    // The same greeting again with the box closed: a box again.
    ui.closeBox();
    synth.result = 0;
    senders.request(Request::identity());
    clock.advance(100);
    EXPECT_EQ(ui.boxes, (std::vector<std::string>{kGreeting, kGreeting}));
}

TEST_F(BoxRules, InputGoesOnWhileABoxIsUpAndAFetchRunsToItsEnd)
{
    senders.request(Request::identity());
    clock.advance(100);
    ASSERT_TRUE(ui.box.up());
    dispatcher.handle(Bytes{0xB0, 74, 100});
    EXPECT_EQ(ui.statusLine, "<1> Cutoff 36");
    EXPECT_EQ(ui.knobs.back(), (std::pair<std::string, int>{"FilterCutoff", 27}));
    dispatcher.handle(Bytes{0xC0, 9});
    clock.advance(2000);
    EXPECT_EQ(ui.refreshAllCount, 1);
    EXPECT_EQ(st.selectedUserPerf, 9);
    EXPECT_FALSE(ui.busy);
    EXPECT_EQ(ui.boxes.size(), 1u);
}

TEST_F(BoxRules, AProgramChangeFromTheSynthWaitsForTheUsersDialogToClose)
{
    ui.dialog = true;  // say, the file dialog of File › Save
    synth.clear();
    dispatcher.handle(Bytes{0xC0, 5});
    dispatcher.handle(Bytes{0xB0, 74, 100});
    // What the window shows moves on (the knob too: the synth has that
    // value already); the performance under the dialog stays.
    EXPECT_EQ(ui.statusLine, "<1> Cutoff 36");
    dispatcher.handle(Bytes{0xC0, 7});  // the player goes on choosing
    clock.advance(3000);
    EXPECT_EQ(img.edit.layer(1).data(0x11), 100);
    EXPECT_TRUE(synth.sent.empty());
    EXPECT_FALSE(rx.chainRunning());
    EXPECT_FALSE(ui.busy);
    EXPECT_EQ(st.selectedUserPerf, -1);

    // Closed: the editor follows the synth's latest choice, once.
    ui.dialog = false;
    clock.advance(3000);
    EXPECT_EQ(selects(), std::vector<std::string>{"C0 07"});
    EXPECT_EQ(st.selectedUserPerf, 7);
    EXPECT_EQ(ui.selectedLine, 7);
    EXPECT_EQ(ui.refreshAllCount, 1);
    EXPECT_FALSE(ui.busy);

    // A choice made while Preferences turned "ProgramChanges" off is dropped.
    ui.dialog = true;
    dispatcher.handle(Bytes{0xC0, 3});
    settings.programChanges = false;
    ui.dialog = false;
    clock.advance(3000);
    EXPECT_EQ(selects(), std::vector<std::string>{"C0 07"});
    EXPECT_EQ(st.selectedUserPerf, 7);
}
