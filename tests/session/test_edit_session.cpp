// The edit session without any window: what an edit writes, what it sends,
// what else it tells the window to show, and the switch of user performance.
#include "midi/Senders.h"
#include "model/NameTables.h"
#include "session/EditSession.h"
#include "support/RecordingPort.h"
#include "support/RecordingUi.h"
#include "support/ScriptedDialogs.h"

#include <gtest/gtest.h>

using namespace kw;
using kwtest::hex;
using Strings = std::vector<std::string>;

namespace {

// Every message sent goes into the same log as the window's answers, so the
// order of sends and window steps can be checked together.
class LoggingPort : public kwtest::RecordingPort {
public:
    explicit LoggingPort(std::vector<std::string>& log) : log_(log) {}
    int send(ByteView m) override
    {
        log_.push_back("sent:" + hex(m));
        return RecordingPort::send(m);
    }

private:
    std::vector<std::string>& log_;
};

const FieldRow& row(const char* control)
{
    const FieldRow* r = findField(control);
    EXPECT_NE(r, nullptr) << control;
    return *r;
}

struct EditSessionTest : ::testing::Test {
    PerformanceImage image;
    EditorState state;
    kwtest::RecordingUi ui;
    LoggingPort port{ui.log};
    Senders senders{image, state, port};
    kwtest::ScriptedDialogs dialogs;
    EditSession session{image, state, senders};
    bool inputOpen = true;
    int fetches = 0;

    EditSessionTest()
    {
        setDefaults(image, state);
        session.attach(ui, dialogs);
        session.link({[this] {
                          ++fetches;
                          ui.log.push_back("fetch");
                      },
                      [this] { return inputOpen; }, [this](const std::string& t) { ui.showStatus(t); }, {}, {}});
    }
    Strings sent() const
    {
        Strings out;
        for (const Bytes& m : port.sent)
            out.push_back(hex(m));
        return out;
    }
    void clear()
    {
        port.clear();
        ui.log.clear();
    }
    BulkBlock& layer(int l) { return image.edit.layer(l); }
    Strings echoed(const Echo& e) const
    {
        Strings out;
        for (const FieldRow* r : e.rows)
            out.push_back(r->control);
        return out;
    }
};

} // namespace

TEST_F(EditSessionTest, ALayerEditGoesToTheEditLayerOrToAllFourInOrder)
{
    state.editLayer = 3;
    session.apply(row("FilterCutoff"), 0);
    EXPECT_EQ(sent(), Strings{"F0 43 10 4B 60 03 11 7F F7"});
    EXPECT_EQ(layer(3).data(0x11), 0x7F);
    EXPECT_EQ(layer(1).data(0x11), 0x40);
    EXPECT_TRUE(state.modified);

    clear();
    session.setAffectAll(true);
    const Echo e = session.apply(row("AEGAtkTime"), 1);
    EXPECT_TRUE(e.empty());
    EXPECT_EQ(sent(), (Strings{"F0 43 10 4B 60 01 13 7F F7", "F0 43 10 4B 60 02 13 7F F7",
                               "F0 43 10 4B 60 03 13 7F F7", "F0 43 10 4B 60 04 13 7F F7"}));
    for (int l = 1; l <= 4; ++l)
        EXPECT_EQ(layer(l).data(0x13), 0x7F) << l;

    // Check boxes and radio buttons store their row's values.
    clear();
    session.setAffectAll(false);
    session.apply(row("EffectVariation"), 1);
    session.apply(row("LFOWaveSH"), 1);
    EXPECT_EQ(sent(), (Strings{"F0 43 10 4B 60 03 0F 7F F7", "F0 43 10 4B 60 03 1F 02 F7"}));
}

TEST_F(EditSessionTest, NoteLimitsPushEachOtherFirstAndNeverCross)
{
    session.apply(row("NoteLimitHigh"), 60);
    clear();
    Echo e = session.apply(row("NoteLimitLow"), 72);
    EXPECT_EQ(echoed(e), Strings{"NoteLimitHigh"});
    EXPECT_EQ(sent(), (Strings{"F0 43 10 4B 60 01 0C 48 F7", "F0 43 10 4B 60 01 0B 48 F7"}));
    EXPECT_EQ(session.position(row("NoteLimitHigh")), 72);

    clear();
    e = session.apply(row("NoteLimitHigh"), 10);
    EXPECT_EQ(echoed(e), Strings{"NoteLimitLow"});
    EXPECT_EQ(sent(), (Strings{"F0 43 10 4B 60 01 0B 0A F7", "F0 43 10 4B 60 01 0C 0A F7"}));

    // Apart, and equal, they leave each other alone.
    clear();
    EXPECT_TRUE(session.apply(row("NoteLimitHigh"), 100).empty());
    EXPECT_TRUE(session.apply(row("NoteLimitLow"), 100).empty());
    EXPECT_EQ(sent().size(), 2u);
}

TEST_F(EditSessionTest, PanAndRandomPanTellWhichBoxOrBarToSetAgain)
{
    Echo e = session.apply(row("RandomPan"), 1);
    EXPECT_EQ(echoed(e), Strings{"PanPot"});
    EXPECT_EQ(layer(1).data(0x0A), 0);
    EXPECT_EQ(session.position(row("PanPot")), 64);
    EXPECT_EQ(session.position(row("RandomPan")), 1);
    EXPECT_EQ(sent().back(), "F0 43 10 4B 60 01 0A 00 F7");

    // The centre keeps the box as it is; anywhere else clears it.
    EXPECT_TRUE(session.apply(row("PanPot"), 64).empty());
    EXPECT_EQ(layer(1).data(0x0A), 64);
    e = session.apply(row("PanPot"), 70);
    EXPECT_EQ(echoed(e), Strings{"RandomPan"});
    EXPECT_EQ(session.position(row("RandomPan")), 0);

    // Unchecking stores the bar's position, the centre while the box was checked.
    session.apply(row("RandomPan"), 1);
    clear();
    EXPECT_TRUE(session.apply(row("RandomPan"), 0).empty());
    EXPECT_EQ(sent(), Strings{"F0 43 10 4B 60 01 0A 40 F7"});
}

TEST_F(EditSessionTest, DetuneBankAndVelocityDefaultsSendWholeLayerBlocks)
{
    session.apply(row("NoteDetune"), 0);
    EXPECT_EQ(layer(1).data(0x05), 0x08);
    EXPECT_EQ(layer(1).data(0x06), 0x00);
    ASSERT_EQ(port.sent.size(), 1u);
    EXPECT_EQ(port.sent[0].size(), 52u);
    EXPECT_EQ(hex(ByteView(port.sent[0]).first(9)), "F0 43 00 4B 00 29 60 01 00");
    EXPECT_EQ(session.position(row("NoteDetune")), 0);

    clear();
    session.setAffectAll(true);
    for (int l = 1; l <= 4; ++l)
        layer(l).data(0x02) = uint8_t(10 * l);
    int drums = -1;
    for (int i = 0; i < kBankRows; ++i)
        if (std::string(bankTable()[size_t(i)].name) == "PRE 12 (Drum Kits)")
            drums = i;
    ASSERT_GE(drums, 0);
    session.apply(row("PatchBankNumber"), drums);
    ASSERT_EQ(port.sent.size(), 4u);
    for (int l = 1; l <= 4; ++l) {
        EXPECT_EQ(hex(ByteView(port.sent[size_t(l - 1)]).subspan(6, 3)), "60 0" + std::to_string(l) + " 00");
        EXPECT_EQ(layer(l).data(0x00), 63);
        EXPECT_EQ(layer(l).data(0x01), 12);
        EXPECT_EQ(layer(l).data(0x02), 10 * l);
    }
    EXPECT_EQ(session.position(row("PatchBankNumber")), drums);

    clear();
    layer(2).data(0x1B) = 50;
    const Echo e = session.velocityDefaults();
    EXPECT_EQ(echoed(e),
              (Strings{"VelocityLimitLow", "VelocityLimitHigh", "VelocitySenseDepth", "VelocitySenseOffset"}));
    ASSERT_EQ(port.sent.size(), 4u);
    for (int l = 1; l <= 4; ++l) {
        EXPECT_EQ(layer(l).data(0x1B), 1);
        EXPECT_EQ(layer(l).data(0x1C), 127);
        EXPECT_EQ(layer(l).data(0x08), 64);
        EXPECT_EQ(layer(l).data(0x09), 64);
    }
}

TEST_F(EditSessionTest, MuteMemoryHoldsTheVolumeMovedWhileMuted)
{
    const FieldRow& volume = row("LayerVolume");
    EXPECT_TRUE(session.mute(1, true).empty());
    EXPECT_EQ(sent(), Strings{"F0 43 10 4B 60 01 07 00 F7"});
    EXPECT_EQ(state.mute[0].savedVolume, 100);

    clear();
    session.apply(volume, 127 - 90);
    EXPECT_EQ(layer(1).data(0x07), 0);
    EXPECT_EQ(sent(), Strings{"F0 43 10 4B 60 01 07 00 F7"});
    EXPECT_EQ(session.position(volume), 127 - 90) << "the bar shows the volume to come";

    clear();
    const Echo e = session.mute(1, false);
    EXPECT_EQ(echoed(e), Strings{"LayerVolume"});
    EXPECT_EQ(layer(1).data(0x07), 90);
    EXPECT_EQ(sent(), Strings{"F0 43 10 4B 60 01 07 5A F7"});

    // Another layer's button leaves the bar of the edit layer alone.
    clear();
    EXPECT_TRUE(session.mute(4, true).empty());
    EXPECT_TRUE(session.mute(4, false).empty());
    EXPECT_EQ(sent(), (Strings{"F0 43 10 4B 60 04 07 00 F7", "F0 43 10 4B 60 04 07 64 F7"}));
    // Pressing a pressed button again saves nothing new.
    session.mute(2, true);
    session.mute(2, true);
    EXPECT_EQ(state.mute[1].savedVolume, 100);
}

TEST_F(EditSessionTest, VolumeUnderAffectAllKeepsMutedLayersSilentAndWakesNone)
{
    session.mute(1, true);
    session.setAffectAll(true);
    clear();
    session.apply(row("LayerVolume"), 127 - 80);
    EXPECT_EQ(sent(), (Strings{"F0 43 10 4B 60 01 07 00 F7", "F0 43 10 4B 60 02 07 50 F7",
                               "F0 43 10 4B 60 03 07 50 F7", "F0 43 10 4B 60 04 07 50 F7"}));
    EXPECT_EQ(state.mute[0].savedVolume, 80);
}

TEST_F(EditSessionTest, CopyAndPasteKeepMutedLayersSilentAndTheirVolumes)
{
    session.pasteLayer();
    EXPECT_TRUE(port.sent.empty()) << "nothing to paste before the first copy";
    EXPECT_EQ(ui.refreshLayerCount, 0);

    state.editLayer = 4;
    layer(4).data(0x12) = 117;
    layer(4).data(0x07) = 90;
    session.mute(4, true);
    session.copyLayer();
    EXPECT_TRUE(state.clipboardFilled);
    EXPECT_EQ(ui.statusLine, "Layerdata copied...");

    session.setEditLayer(2);
    EXPECT_EQ(ui.refreshLayerCount, 1);
    clear();
    session.pasteLayer();
    ASSERT_EQ(port.sent.size(), 1u);
    EXPECT_EQ(port.sent[0].size(), 52u);
    EXPECT_EQ(hex(ByteView(port.sent[0]).subspan(6, 3)), "60 02 00");
    EXPECT_EQ(layer(2).data(0x12), 117);
    EXPECT_EQ(layer(2).data(0x07), 90) << "copied with the volume it will have again";
    EXPECT_EQ(ui.refreshLayerCount, 2);
    EXPECT_EQ(ui.statusLine, "Layerdata pasted to Layer #2...");

    session.setEditLayer(3);
    session.mute(3, true);
    clear();
    session.pasteLayer();
    EXPECT_EQ(port.sent[0][9 + 0x07], 0);
    EXPECT_EQ(state.mute[2].savedVolume, 90);
    session.mute(3, false);
    EXPECT_EQ(layer(3).data(0x07), 90);
}

TEST_F(EditSessionTest, CommonFieldsSendTheirOwnAddressesAndPairs)
{
    session.apply(row("CommonVolume"), 0);
    session.apply(row("PitchBend"), 40);
    session.apply(row("PortaOn"), 1);
    session.apply(row("PerformanceType"), 22);
    session.apply(row("FCVariCtl"), 0);
    session.apply(row("Assign2Level"), 32, 2);
    session.apply(row("Assign2Para"), 7, 1);
    session.apply(row("Assign2Layer4"), 1, 3);
    EXPECT_EQ(sent(), (Strings{"F0 43 10 4B 60 00 09 7F F7", "F0 43 10 4B 60 00 53 58 F7",
                               "F0 43 10 4B 60 00 57 01 F7", "F0 43 10 4B 60 00 08 16 F7",
                               "F0 43 10 4B 60 00 43 7F F7", "F0 43 10 4B 60 00 26 60 F7",
                               "F0 43 10 4B 60 00 1E 01 07 F7", "F0 43 10 4B 60 00 22 03 00 F7"}));
    EXPECT_EQ(session.position(row("Assign2Para"), 1), 7);
    EXPECT_EQ(session.position(row("Assign2Layer4"), 3), 1);
    EXPECT_EQ(session.position(row("Assign2Layer4"), 1), 0);

    clear();
    session.setName("Bass");
    ASSERT_EQ(port.sent.size(), 1u);
    EXPECT_EQ(hex(ByteView(port.sent[0]).subspan(6, 11)), "60 00 00 42 61 73 73 20 20 20 20");
}

TEST_F(EditSessionTest, ArpeggiatorTempoClockAndModeBoxes)
{
    const FieldRow& tempo = row("ArpTempo");
    const FieldRow& midi = row("ArpTempoMidi");
    session.apply(midi, 1);
    EXPECT_EQ(sent().back(), "F0 43 10 4B 60 00 29 00 00 F7");
    EXPECT_EQ(session.position(midi), 1);
    EXPECT_EQ(session.position(tempo), 140);
    const Echo e = session.apply(tempo, 40);
    EXPECT_EQ(echoed(e), Strings{"ArpTempoMidi"});
    EXPECT_EQ(sent().back(), "F0 43 10 4B 60 00 29 01 49 F7");
    EXPECT_EQ(session.position(midi), 0);
    clear();
    EXPECT_TRUE(session.apply(midi, 0).empty());
    EXPECT_TRUE(port.sent.empty()) << "unchecking leaves the tempo to the bar";

    // "On" wins over "Hold"; every box is told to show the result.
    const Echo modes = session.apply(row("ArpModeOn"), 1);
    EXPECT_EQ(modes.rows.size(), 3u);
    EXPECT_EQ(sent().back(), "F0 43 10 4B 60 00 2D 01 F7");
    session.apply(row("ArpModeHold"), 1);
    EXPECT_EQ(session.position(row("ArpModeHold")), 0);
    EXPECT_EQ(sent().back(), "F0 43 10 4B 60 00 2D 01 F7");
    session.apply(row("ArpModeOn"), 0);
    session.apply(row("ArpModeHold"), 1);
    session.apply(row("ArpModeSplit"), 0);
    EXPECT_EQ(sent().back(), "F0 43 10 4B 60 00 2D 06 F7");
}

TEST_F(EditSessionTest, EffectTypesAndVariationValues)
{
    session.apply(row("ReverbType"), 3);
    session.apply(row("ChorusType"), 1);
    EXPECT_EQ(session.position(row("ReverbType")), 3);
    EXPECT_EQ(session.position(row("ChorusType")), 1);
    ASSERT_EQ(port.sent.size(), 2u);
    EXPECT_EQ(hex(ByteView(port.sent[0]).subspan(4, 3)), "60 00 30");
    EXPECT_EQ(hex(ByteView(port.sent[1]).subspan(4, 3)), "60 00 32");

    image.edit[BlockKind::Common30].data(0x00) = 0x7E;  // a pair in no table
    EXPECT_EQ(session.position(row("ReverbType")), -1);

    clear();
    image.edit[BlockKind::Common30].data(0x06) = 0x55;
    session.apply(row("VariType"), 2);
    ASSERT_EQ(port.sent.size(), 1u);
    EXPECT_EQ(port.sent[0].size(), blockInfo(BlockKind::Common30).length()) << "the whole block";
    EXPECT_NE(image.edit[BlockKind::Common30].data(0x06), 0x55) << "the type's own defaults";

    clear();
    session.setVariationValue(5, 0x3FFF);
    EXPECT_EQ(sent(), Strings{"F0 43 10 4B 60 00 40 7F 7F F7"});
}

TEST_F(EditSessionTest, ModifiedOnlyByWhatReallyGoesOut)
{
    port.open = false;
    session.apply(row("FilterCutoff"), 0);
    EXPECT_EQ(layer(1).data(0x11), 0x7F) << "the image is written all the same";
    EXPECT_FALSE(state.modified);

    port.open = true;
    {
        const SendsPaused outer(state);
        {
            const SendsPaused inner(state);
        }
        EXPECT_FALSE(state.sendEnable) << "an inner pause gives back the outer one's state";
        session.apply(row("FilterCutoff"), 3);
        session.mute(2, true);
        session.velocityDefaults();
    }
    EXPECT_TRUE(state.sendEnable);
    EXPECT_TRUE(port.sent.empty());
    EXPECT_FALSE(state.modified);
    EXPECT_EQ(layer(1).data(0x11), 124);
}

TEST_F(EditSessionTest, PositionsAreWhatTheControlsShow)
{
    BulkBlock& b = layer(1);
    b.data(0x13) = 0;     // an EG time of 0: the bar at its end
    b.data(0x20) = 0x7F;  // LFO AM above its range
    b.data(0x02) = 0x90;  // a program past the list: the last voice
    b.data(0x00) = 99;    // a bank pair in no row
    EXPECT_EQ(session.position(row("AEGAtkTime")), 127);
    EXPECT_EQ(session.position(row("LFOAMod")), 33);
    EXPECT_EQ(session.position(row("PatchVoiceNumber")), 127);
    EXPECT_EQ(session.position(row("PatchBankNumber")), -1);
    EXPECT_EQ(session.position(row("LFOWaveElement")), 1);
    EXPECT_EQ(session.position(row("LFOWaveSaw")), 0);
    // Lists give the stored entry as it is: one past the end selects nothing.
    image.edit[BlockKind::Common00].data(0x28) = 40;
    EXPECT_EQ(session.position(row("Assign1Para")), 40);
}

// What an edit writes and what a control shows are two rules per odd row;
// a control that shows anything but what it was just set to would jump
// under the user's hand. Layer 2 is muted throughout: its volume lives in
// the mute memory.
TEST_F(EditSessionTest, EveryControlShowsWhatItWasSetToOnEveryLayerItCovers)
{
    session.mute(2, true);
    for (const auto* table : {&layerFieldTable(), &commonFieldTable()})
        for (const FieldRow& r : *table) {
            const std::string_view control = r.control;
            // The name and the variation values have edits of their own.
            if (control == "PerformanceName" || control.substr(0, 5) == "VPara")
                continue;
            for (const bool all : {false, true})
                for (int tab = 0; tab < (r.tabStride ? 4 : 1); ++tab)
                    for (int p = r.min; p <= r.max; ++p) {
                        // A radio button is only ever clicked on; unchecking
                        // the clock keeps the tempo, and Hold gives way to On.
                        if ((r.encoding == Encoding::Radio || control == "ArpTempoMidi") && p == 0)
                            continue;
                        if (control == "ArpModeHold")
                            session.apply(row("ArpModeOn"), 0);  // leaves Hold free
                        state.editLayer = 3;
                        session.setAffectAll(all);
                        session.apply(r, p, tab);
                        for (const int l : all && r.isLayer() ? std::vector{1, 2, 3, 4} : std::vector{3}) {
                            state.editLayer = l;
                            ASSERT_EQ(session.position(r, tab), p)
                                << control << " tab " << tab << " layer " << l << (all ? " (all)" : "");
                        }
                        clear();
                    }
        }
}

TEST_F(EditSessionTest, ListClickSwitchesTheSynthThenFetches)
{
    session.chooseUserPerf(0);
    EXPECT_EQ(ui.log, (Strings{"status:Patch-Change 001  DR umTrax2", "sent:B0 00 3F", "sent:B0 20 41",
                               "sent:C0 00", "busy:1", "fetch"}));
    EXPECT_TRUE(dialogs.questions.empty());
    EXPECT_EQ(state.selectedUserPerf, 0);
}

TEST_F(EditSessionTest, ProgramChangeFromTheSynthGoesBusyAndSelectsFirst)
{
    session.programChange(5);
    EXPECT_EQ(ui.log, (Strings{"busy:1", "select:5", "sent:B0 00 3F", "sent:B0 20 41", "sent:C0 05", "fetch"}));
    EXPECT_EQ(state.selectedUserPerf, 5);
    EXPECT_TRUE(dialogs.questions.empty()) << "the synth has already switched";
}

TEST_F(EditSessionTest, AnEditedPerformanceIsDroppedOnlyAfterYes)
{
    state.selectedUserPerf = 4;
    state.modified = true;
    dialogs.confirms = {false, true};
    session.chooseUserPerf(7);
    EXPECT_EQ(dialogs.questions, Strings{"Caution: Changes on actual Performance will be lost - continue?"});
    EXPECT_EQ(dialogs.confirmDefaults.back(), kw::Dialogs::Default::No) << "Return keeps the edit";
    EXPECT_EQ(ui.log, Strings{"select:4"}) << "the list goes back to what the synth plays";
    EXPECT_EQ(state.selectedUserPerf, 4);
    EXPECT_EQ(fetches, 0);

    session.chooseUserPerf(7);
    EXPECT_EQ(dialogs.questions.size(), 2u);
    EXPECT_EQ(state.selectedUserPerf, 7);
    EXPECT_EQ(fetches, 1);
}

TEST_F(EditSessionTest, WithoutBothPortsAClickSwitchesNothingAndTheListKeepsItsLine)
{
    inputOpen = false;
    session.chooseUserPerf(3);
    port.open = false;
    inputOpen = true;
    session.chooseUserPerf(3);
    session.chooseUserPerf(-1);
    EXPECT_EQ(ui.log, (std::vector<std::string>{"select:-1", "select:-1"}));
    EXPECT_EQ(state.selectedUserPerf, -1);
    EXPECT_EQ(fetches, 0);
}

TEST_F(EditSessionTest, FullRefreshStateAndEditLayerSwitch)
{
    session.setEditLayer(3);
    session.setAffectAll(true);
    session.mute(2, true);
    EXPECT_TRUE(state.modified);
    session.resetForRefresh();
    EXPECT_EQ(state.editLayer, 1);
    EXPECT_FALSE(state.affectAll);
    EXPECT_FALSE(state.mute[1].muted);
    EXPECT_EQ(state.mute[1].savedVolume, 127);
    EXPECT_FALSE(state.modified);
    EXPECT_EQ(layer(2).data(0x07), 0) << "the reset restores no volume";
}
