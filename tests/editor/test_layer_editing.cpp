// Layer controls: what moves in the image and what reaches the synth.
#include "support/MainWindowFixture.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

using kwtest::MainWindowFixture;
using Strings = std::vector<std::string>;

class LayerEditing : public MainWindowFixture {};

TEST_F(LayerEditing, AffectAllFansOutOneMoveToEveryLayerInOrder)
{
    click("AffectAllLayers");
    click("EditLayer3");
    port.clear();
    move("FilterCutoff", 0);
    EXPECT_EQ(sentHex(), (Strings{"F0 43 10 4B 60 01 11 7F F7", "F0 43 10 4B 60 02 11 7F F7",
                                  "F0 43 10 4B 60 03 11 7F F7", "F0 43 10 4B 60 04 11 7F F7"}));
    for (int l = 1; l <= 4; ++l)
        EXPECT_EQ(layerBlock(l).data(0x11), 0x7F) << l;
    EXPECT_EQ(label("FilterCutoff"), "63");
    EXPECT_TRUE(state.modified);

    // Without affect-all only the edit layer moves.
    click("AffectAllLayers");
    port.clear();
    move("AEGAtkTime", 1);
    EXPECT_EQ(sentHex(), (Strings{"F0 43 10 4B 60 03 13 7F F7"}));
    EXPECT_EQ(layerBlock(1).data(0x13), 0x40);
    EXPECT_EQ(label("AEGAtkTime"), "63");
}

TEST_F(LayerEditing, NoteLimitsPushEachOtherAndNeverCross)
{
    move("NoteLimitHigh", 60);
    port.clear();
    move("NoteLimitLow", 72);
    EXPECT_EQ(slider("NoteLimitHigh")->value(), 72);
    EXPECT_EQ(layerBlock(1).data(0x0B), 72);
    EXPECT_EQ(layerBlock(1).data(0x0C), 72);
    EXPECT_EQ(sentHex(), (Strings{"F0 43 10 4B 60 01 0C 48 F7", "F0 43 10 4B 60 01 0B 48 F7"}));
    EXPECT_EQ(label("NoteLimitHigh"), label("NoteLimitLow"));

    port.clear();
    move("NoteLimitHigh", 10);
    EXPECT_EQ(slider("NoteLimitLow")->value(), 10);
    EXPECT_EQ(sentHex(), (Strings{"F0 43 10 4B 60 01 0B 0A F7", "F0 43 10 4B 60 01 0C 0A F7"}));

    // Moving apart leaves the other limit alone.
    port.clear();
    move("NoteLimitHigh", 100);
    EXPECT_EQ(slider("NoteLimitLow")->value(), 10);
    EXPECT_EQ(port.sent.size(), 1u);
}

TEST_F(LayerEditing, PanAndRandomPan)
{
    auto* random = find<QCheckBox>("RandomPan");
    click("RandomPan");
    EXPECT_TRUE(random->isChecked());
    EXPECT_EQ(slider("PanPot")->value(), 64);
    EXPECT_EQ(label("PanPot"), "CTR");
    EXPECT_EQ(layerBlock(1).data(0x0A), 0);
    EXPECT_EQ(sentHex().back(), "F0 43 10 4B 60 01 0A 00 F7");

    move("PanPot", 70);
    EXPECT_FALSE(random->isChecked());
    EXPECT_EQ(label("PanPot"), "R-6");
    EXPECT_EQ(layerBlock(1).data(0x0A), 70);
    move("PanPot", 60);
    EXPECT_EQ(label("PanPot"), "L-4");

    // Unchecking keeps the bar where it is and stores its position.
    click("RandomPan");
    click("RandomPan");
    EXPECT_EQ(layerBlock(1).data(0x0A), 64);
}

TEST_F(LayerEditing, DetuneAndVelocityDefaultsSendWholeLayerBlocks)
{
    move("NoteDetune", 5);
    move("NoteDetune", 0);
    EXPECT_EQ(layerBlock(1).data(0x05), 0x08);
    EXPECT_EQ(layerBlock(1).data(0x06), 0x00);
    ASSERT_EQ(port.sent.size(), 2u);
    EXPECT_EQ(port.sent.back().size(), 52u);
    EXPECT_EQ(kwtest::hex(kw::ByteView(port.sent.back()).first(9)), "F0 43 00 4B 00 29 60 01 00");
    EXPECT_EQ(label("NoteDetune"), "\xC2\xB1" "0 Hz");
    move("NoteDetune", 128);
    EXPECT_EQ(label("NoteDetune"), "-12.8 Hz");
    EXPECT_EQ(layerBlock(1).data(0x05), 0);

    click("AffectAllLayers");
    move("VelocityLimitLow", 10);
    port.clear();
    click("VelocityDefaults");
    ASSERT_EQ(port.sent.size(), 4u);
    for (int l = 1; l <= 4; ++l) {
        EXPECT_EQ(port.sent[size_t(l - 1)][7], l);
        EXPECT_EQ(layerBlock(l).data(0x1B), 1);
        EXPECT_EQ(layerBlock(l).data(0x1C), 127);
        EXPECT_EQ(layerBlock(l).data(0x08), 64);
        EXPECT_EQ(layerBlock(l).data(0x09), 64);
    }
    EXPECT_EQ(label("VelocityLimitLow"), "1");
    EXPECT_EQ(label("VelocityLimitHigh"), "127");
    EXPECT_EQ(label("VelocitySenseDepth"), "64");
    EXPECT_EQ(label("VelocitySenseOffset"), "0");
}

TEST_F(LayerEditing, MuteKeepsTheVolumeMovedMeanwhile)
{
    click("MuteLayer1");
    EXPECT_EQ(sentHex(), (Strings{"F0 43 10 4B 60 01 07 00 F7"}));
    EXPECT_EQ(layerBlock(1).data(0x07), 0);
    port.clear();
    move("LayerVolume", 127 - 90);
    EXPECT_EQ(layerBlock(1).data(0x07), 0);  // still silent
    EXPECT_EQ(sentHex(), (Strings{"F0 43 10 4B 60 01 07 00 F7"}));
    EXPECT_EQ(label("LayerVolume"), "90");
    port.clear();
    click("MuteLayer1");
    EXPECT_EQ(layerBlock(1).data(0x07), 90);
    EXPECT_EQ(sentHex(), (Strings{"F0 43 10 4B 60 01 07 5A F7"}));
    EXPECT_EQ(slider("LayerVolume")->value(), 37);
}

TEST_F(LayerEditing, MutingAnotherLayerLeavesTheVolumeBarAlone)
{
    move("LayerVolume", 27);
    port.clear();
    click("MuteLayer4");
    click("MuteLayer4");
    EXPECT_EQ(sentHex(), (Strings{"F0 43 10 4B 60 04 07 00 F7", "F0 43 10 4B 60 04 07 64 F7"}));
    EXPECT_EQ(slider("LayerVolume")->value(), 27);

    // A muted layer shows its saved volume when it becomes the edit layer.
    click("MuteLayer2");
    click("EditLayer2");
    EXPECT_EQ(slider("LayerVolume")->value(), 27);
    EXPECT_EQ(label("LayerVolume"), "100");
}

TEST_F(LayerEditing, VolumeUnderAffectAllKeepsMutedLayersSilentAndOthersAudible)
{
    click("MuteLayer1");
    click("AffectAllLayers");
    port.clear();
    move("LayerVolume", 127 - 80);
    EXPECT_EQ(sentHex(), (Strings{"F0 43 10 4B 60 01 07 00 F7", "F0 43 10 4B 60 02 07 50 F7",
                                  "F0 43 10 4B 60 03 07 50 F7", "F0 43 10 4B 60 04 07 50 F7"}));
    EXPECT_EQ(state.mute[0].savedVolume, 80);
}

TEST_F(LayerEditing, SwitchingEditLayersUnderAffectAllChangesAndSendsNothing)
{
    // Give layer 2 settings that differ from layer 1 everywhere a box or button shows them.
    kw::BulkBlock& l2 = layerBlock(2);
    l2.data(0x03) = 0;
    l2.data(0x16) = 0;
    l2.data(0x0F) = 0;
    l2.data(0x0A) = 0;
    l2.data(0x1F) = 1;
    l2.data(0x10) = 0;
    click("AffectAllLayers");
    std::vector<kw::Bytes> before;
    for (int l = 1; l <= 4; ++l)
        before.emplace_back(layerBlock(l).view().begin(), layerBlock(l).view().end());
    port.clear();
    click("EditLayer2");
    click("EditLayer1");
    click("EditLayer2");
    EXPECT_TRUE(port.sent.empty());
    for (int l = 1; l <= 4; ++l)
        EXPECT_EQ(kw::Bytes(layerBlock(l).view().begin(), layerBlock(l).view().end()), before[size_t(l - 1)]) << l;
    EXPECT_FALSE(find<QCheckBox>("PlayPoly")->isChecked());
    EXPECT_TRUE(find<QCheckBox>("RandomPan")->isChecked());
    EXPECT_TRUE(find<QRadioButton>("LFOWaveTriangle")->isChecked());
    EXPECT_TRUE(find<QRadioButton>("LFOSyncFree")->isChecked());
    EXPECT_TRUE(state.sendEnable);
}

TEST_F(LayerEditing, CopyFromLayerFourPasteIntoLayerTwo)
{
    QAction* paste = window->action("MenuEditPasteLayer");
    EXPECT_FALSE(paste->isEnabled());
    click("EditLayer4");
    move("FilterResonance", 10);
    layerBlock(4).data(0x16) = 0;  // layer 4 off
    window->action("MenuEditCopyLayer")->trigger();
    EXPECT_TRUE(paste->isEnabled());
    EXPECT_EQ(find<QLabel>("StatusLabel")->text(), "Layerdata copied...");

    click("EditLayer2");
    port.clear();
    paste->trigger();
    ASSERT_EQ(port.sent.size(), 1u);
    EXPECT_EQ(kwtest::hex(kw::ByteView(port.sent[0]).subspan(6, 3)), "60 02 00");
    EXPECT_EQ(port.sent[0].size(), 52u);
    EXPECT_EQ(layerBlock(2).data(0x12), 117);
    EXPECT_EQ(slider("FilterResonance")->value(), 10);
    EXPECT_EQ(find<QLabel>("StatusLabel")->text(), "Layerdata pasted to Layer #2...");
    EXPECT_EQ(find<QRadioButton>("EditLayer2")->palette().color(QPalette::WindowText), QColor(Qt::black));
    EXPECT_EQ(find<QRadioButton>("EditLayer1")->palette().color(QPalette::WindowText), QColor(Qt::blue));
    EXPECT_TRUE(paste->isEnabled());
}

TEST_F(LayerEditing, PasteIntoAMutedLayerKeepsItSilent)
{
    move("LayerVolume", 127 - 70);
    window->action("MenuEditCopyLayer")->trigger();
    click("EditLayer3");
    click("MuteLayer3");
    port.clear();
    window->action("MenuEditPasteLayer")->trigger();
    ASSERT_EQ(port.sent.size(), 1u);
    EXPECT_EQ(port.sent[0][9 + 0x07], 0);
    EXPECT_EQ(state.mute[2].savedVolume, 70);
    click("MuteLayer3");
    EXPECT_EQ(layerBlock(3).data(0x07), 70);
}

TEST_F(LayerEditing, CopyingAMutedLayerKeepsItsVolume)
{
    move("LayerVolume", 127 - 90);
    click("MuteLayer1");
    window->action("MenuEditCopyLayer")->trigger();
    EXPECT_EQ(layerBlock(1).data(0x07), 0);
    click("EditLayer2");
    window->action("MenuEditPasteLayer")->trigger();
    EXPECT_EQ(layerBlock(2).data(0x07), 90);
    EXPECT_EQ(label("LayerVolume"), "90");
}

TEST_F(LayerEditing, SwitchesAndLayerOnColours)
{
    click("AffectAllLayers");
    click("EditLayer3");
    port.clear();
    click("PlayPoly");  // unchecks
    click("PlayPoly");  // checks again
    const Strings poly = sentHex();
    EXPECT_EQ(Strings(poly.begin() + 4, poly.end()),
              (Strings{"F0 43 10 4B 60 01 03 01 F7", "F0 43 10 4B 60 02 03 01 F7", "F0 43 10 4B 60 03 03 01 F7",
                       "F0 43 10 4B 60 04 03 01 F7"}));
    click("AffectAllLayers");
    click("EditLayer2");
    click("LayerOn");
    EXPECT_EQ(layerBlock(2).data(0x16), 0);
    EXPECT_EQ(find<QRadioButton>("EditLayer2")->palette().color(QPalette::WindowText), QColor(Qt::black));
    EXPECT_EQ(find<QRadioButton>("EditLayer1")->palette().color(QPalette::WindowText), QColor(Qt::blue));

    port.clear();
    click("EffectVariation");
    EXPECT_EQ(sentHex(), (Strings{"F0 43 10 4B 60 02 0F 00 F7"}));
    showPage("TabSheet4");
    QTest::mouseClick(find("ImageSawtooth"), Qt::LeftButton);
    EXPECT_TRUE(find<QRadioButton>("LFOWaveSaw")->isChecked());
    click("LFOSyncRetrigger");
    const Strings lfo = sentHex();
    EXPECT_EQ(Strings(lfo.end() - 2, lfo.end()),
              (Strings{"F0 43 10 4B 60 02 1F 00 F7", "F0 43 10 4B 60 02 10 01 F7"}));
}

TEST_F(LayerEditing, LfoBarsShowStoredMinus64)
{
    move("LFOSpeed", 1);
    EXPECT_EQ(layerBlock(1).data(0x1E), 127);
    EXPECT_EQ(label("LFOSpeed"), "63");
    move("LFOSpeed", 127);
    EXPECT_EQ(label("LFOSpeed"), "-63");
    auto* fm = slider("LFOFMod");
    EXPECT_EQ(fm->minimum(), 49);
    EXPECT_EQ(fm->maximum(), 79);
    move("LFOFMod", 49);
    EXPECT_EQ(label("LFOFMod"), "15");
    EXPECT_EQ(layerBlock(1).data(0x22), 79);
}

TEST_F(LayerEditing, ClosedPortStillWritesTheImage)
{
    port.open = false;
    move("FilterCutoff", 0);
    EXPECT_EQ(layerBlock(1).data(0x11), 127);
    EXPECT_TRUE(port.sent.empty());
    EXPECT_FALSE(state.modified);
}

TEST_F(LayerEditing, CopyAndPasteKeysWorkFromTheListsButNotInTheNameBox)
{
    showPage("TabSheet3");
    auto* voices = find<QListWidget>("PatchVoiceNumber");
    voices->setFocus();
    QTest::keyClick(voices, Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(window->action("MenuEditPasteLayer")->isEnabled());
    port.clear();
    QTest::keyClick(voices, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(port.sent.size(), 1u);

    showPage("TabSheet5");
    auto* name = find<QLineEdit>("PerformanceName");
    name->setFocus();
    name->selectAll();
    port.clear();
    QTest::keyClick(name, Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(port.sent.empty());
    EXPECT_EQ(name->text(), "InitPerf");
}
