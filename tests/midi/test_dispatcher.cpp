#include "CoreFixture.h"

using namespace kw;
using kwtest::bytes;
using kwtest::hex;

namespace {

struct DispatcherTest : kwtest::CoreFixture {
    void midi(const std::string& text) { dispatcher.handle(bytes(text)); }
    uint8_t layerField(int layer, size_t offset) const { return img.edit.layer(layer).data(offset); }
};

} // namespace

TEST(DispatcherText, StatusLineTextsByteForByte)
{
    const struct {
        uint8_t status, d1, d2;
        const char* text;
    } cases[] = {
        {0x99, 60, 100, "<10> Note-ON  [C3]  Vel 100"},
        {0x90, 60, 0, "<1> Note-OFF [C3]"},
        {0x90, 0, 1, "<1> Note-ON  [C-2]  Vel 1"},
        {0x9F, 127, 127, "<16> Note-ON  [G8]  Vel 127"},
        {0x80, 0x3C, 0x40, "<1> 80 3C 40"},
        {0xA3, 0x3C, 0x05, "<4> A3 3C 05"},
        {0xD0, 0x7F, 0x00, "<1> D0 7F 00"},
        {0xF8, 0x00, 0x00, "<9> F8 00 00"},
        {0xE0, 0, 64, "<1> Pitch-Bend 0"},
        {0xE0, 127, 127, "<1> Pitch-Bend 8191"},
        {0xE5, 0, 0, "<6> Pitch-Bend -8192"},
        {0xB0, 1, 5, "<1> M-Wheel 5"},
        {0xB1, 17, 0, "<2> Assign 1 -64"},
        {0xB0, 18, 127, "<1> Assign 2 63"},
        {0xB0, 71, 64, "<1> Resonance 0"},
        {0xB0, 72, 10, "<1> Release -54"},
        {0xB0, 73, 100, "<1> Attack 36"},
        {0xBF, 74, 64, "<16> Cutoff 0"},
        {0xB0, 7, 100, "<1> "},
        {0xC0, 5, 0, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Dispatcher::statusText(c.status, c.d1, c.d2), c.text) << c.text;
}

TEST_F(DispatcherTest, ShortMessagesReachTheStatusLineAndItReturnsToOk)
{
    clock.advance(499);
    EXPECT_TRUE(ui.statuses.empty());
    clock.advance(1);
    EXPECT_EQ(ui.statuses, std::vector<std::string>{"OK"});

    midi("99 3C 64");
    EXPECT_EQ(ui.statusLine, "<10> Note-ON  [C3]  Vel 100");
    clock.advance(500);
    midi("E0 00 40");  // each text gets its own 750 ms
    clock.advance(749);
    EXPECT_EQ(ui.statusLine, "<1> Pitch-Bend 0");
    clock.advance(1);
    EXPECT_EQ(ui.statusLine, "OK");

    // Short messages cut short read as zeros; stray top bits in data bytes are dropped.
    midi("E0");
    EXPECT_EQ(ui.statusLine, "<1> Pitch-Bend -8192");
    midi("D3 45");
    EXPECT_EQ(ui.statusLine, "<4> D3 45 00");
    midi("90 BC E4");
    EXPECT_EQ(ui.statusLine, "<1> Note-ON  [C3]  Vel 100");
    EXPECT_TRUE(synth.sent.empty());
}

TEST_F(DispatcherTest, LampsStayBrightUntilFiftyMillisecondsAfterTheLastActivity)
{
    midi("FE");
    EXPECT_EQ(ui.inLampOn, 0) << "active sensing must not even light the lamp";
    midi("");
    EXPECT_EQ(ui.inLampOn, 0);

    midi("90 3C 40");
    EXPECT_TRUE(ui.inLamp);
    clock.advance(30);
    midi("80 3C 40");
    clock.advance(49);
    EXPECT_TRUE(ui.inLamp);
    clock.advance(1);
    EXPECT_FALSE(ui.inLamp);
    EXPECT_EQ(ui.inLampOn, 1);
    EXPECT_FALSE(ui.outLamp);

    senders.parameterChange(0x60, 0x00, 0x09, 0x10);
    EXPECT_TRUE(ui.outLamp);
    clock.advance(50);
    EXPECT_FALSE(ui.outLamp);
}

TEST_F(DispatcherTest, KnobsMoveTheirControlsAndWriteTheImageWithoutSendingBack)
{
    st.editLayer = 2;
    img.edit.layer(1).data(0x11) = img.edit.layer(2).data(0x11) = 0;
    midi("B0 4A 40");
    ASSERT_EQ(ui.knobs.size(), 1u);
    EXPECT_EQ(ui.knobs[0], std::make_pair(std::string("FilterCutoff"), 63));
    EXPECT_EQ(layerField(2, 0x11), 64);
    EXPECT_EQ(layerField(1, 0x11), 0) << "only the edit layer without affect-all";
    EXPECT_EQ(ui.statusLine, "<1> Cutoff 0");

    midi("B3 49 00");  // any channel
    EXPECT_EQ(ui.knobs.back(), std::make_pair(std::string("AEGAtkTime"), 127));
    EXPECT_EQ(layerField(2, 0x13), 1);

    midi("B0 48 7F");
    EXPECT_EQ(ui.knobs.back(), std::make_pair(std::string("AEGRelTime"), 1));
    EXPECT_EQ(layerField(2, 0x15), 127);

    // Under affect-all every layer takes the value.
    st.affectAll = true;
    midi("B0 47 00");
    EXPECT_EQ(ui.knobs.back(), std::make_pair(std::string("FilterResonance"), 127));
    for (int l = 1; l <= 4; ++l)
        EXPECT_EQ(layerField(l, 0x12), 0) << "layer " << l;

    EXPECT_TRUE(synth.sent.empty());
    EXPECT_FALSE(st.modified);
    EXPECT_EQ(ui.outLampOn, 0);

    // Other controllers and the setting switched off move nothing.
    const size_t moved = ui.knobs.size();
    const Bytes layer1(img.edit.layer(1).view().begin(), img.edit.layer(1).view().end());
    midi("B0 01 40");
    settings.synthKnobs = false;
    midi("B0 4A 00");
    EXPECT_EQ(ui.knobs.size(), moved);
    EXPECT_EQ(Bytes(img.edit.layer(1).view().begin(), img.edit.layer(1).view().end()), layer1);
    EXPECT_EQ(ui.statusLine, "<1> Cutoff -64");
}

TEST_F(DispatcherTest, ProgramChangeIsIgnoredUnlessSwitchedOnAndBothPortsOpen)
{
    settings.programChanges = false;
    midi("C0 05");
    EXPECT_EQ(ui.inLampOn, 1);
    EXPECT_TRUE(ui.statuses.empty());
    EXPECT_TRUE(ui.log.empty());
    EXPECT_TRUE(synth.sent.empty());
    EXPECT_EQ(st.selectedUserPerf, -1);

    settings.programChanges = true;
    dispatcher.setInputOpen([] { return false; });
    midi("C0 05");
    synth.open = false;
    dispatcher.setInputOpen([] { return true; });
    midi("C0 05");
    EXPECT_TRUE(ui.log.empty());
    EXPECT_TRUE(synth.sent.empty());
    EXPECT_EQ(st.selectedUserPerf, -1);
}

TEST_F(DispatcherTest, ProgramChangeSelectsTheLineAndFetchesThatPerformance)
{
    midi("C3 05");  // from any channel
    EXPECT_EQ(st.selectedUserPerf, 5);
    EXPECT_EQ(ui.selectedLine, 5);
    EXPECT_TRUE(ui.busy);
    ASSERT_GE(synth.sent.size(), 4u);
    EXPECT_EQ(hex(synth.sent[0]), "B0 00 3F");
    EXPECT_EQ(hex(synth.sent[1]), "B0 20 41");
    EXPECT_EQ(hex(synth.sent[2]), "C0 05");
    EXPECT_EQ(hex(synth.sent[3]), "F0 43 20 4B 60 00 00 F7");
    EXPECT_EQ(ui.statusLine, "Receiving Perf-COMMON");
    EXPECT_EQ(ui.log.front(), "busy:1");

    clock.runAll();
    EXPECT_EQ(ui.refreshAllCount, 1);
    EXPECT_EQ(synth.requests().size(), 7u);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(hex(img.edit.at(i).view()), hex(kwtest::syntheticBlock(BlockKind(i), 5)));
}

TEST_F(DispatcherTest, SystemExclusiveGoesToTheReceiverOnlyWhileARequestIsPending)
{
    const Bytes before(img.edit[BlockKind::Common00].view().begin(), img.edit[BlockKind::Common00].view().end());
    const Bytes block = kwtest::syntheticBlock(BlockKind::Common00, 9);
    dispatcher.handle(block);
    EXPECT_EQ(ui.statusLine, "Received Bullshit...");
    EXPECT_EQ(ui.inLampOn, 1);
    EXPECT_EQ(Bytes(img.edit[BlockKind::Common00].view().begin(), img.edit[BlockKind::Common00].view().end()), before);

    synth.deliver = nullptr;
    senders.request(Request::of(BlockKind::Common00));
    dispatcher.handle(block);
    EXPECT_EQ(hex(img.edit[BlockKind::Common00].view()), hex(block));
    EXPECT_TRUE(ui.boxes.empty());

    // The same block once more finds nothing pending.
    dispatcher.handle(block);
    EXPECT_EQ(ui.statusLine, "Received Bullshit...");
}
