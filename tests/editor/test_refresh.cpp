// Setting the window from the image: no handler runs, nothing is sent.
#include "support/MainWindowFixture.h"

#include "editor/EnvelopeView.h"
#include "model/FieldTable.h"
#include "model/NameTables.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>
#include <QAction>
#include <QApplication>

using kwtest::MainWindowFixture;

class Refresh : public MainWindowFixture {};

TEST_F(Refresh, StartUpShowsTheDefaultPerformance)
{
    EXPECT_EQ(find<QTabWidget>("PageControl1")->currentWidget()->objectName(), "TabSheet5");
    EXPECT_EQ(find<QLineEdit>("PerformanceName")->text(), "InitPerf");
    EXPECT_EQ(label("CommonVolume"), "100");
    EXPECT_EQ(find<QLabel>("Label_PerfName")->text(), "Program ---, Bank MSB 63, LSB 65");
    EXPECT_EQ(find<QLabel>("StatusLabel")->text(), "OK");
    EXPECT_EQ(label("NoteLimitLow"), "C-2");
    EXPECT_EQ(label("NoteLimitHigh"), "G8");
    EXPECT_EQ(label("PanPot"), "CTR");
    EXPECT_EQ(label("NoteShift"), "\xC2\xB1" "0");
    EXPECT_TRUE(find<QRadioButton>("LFOWaveElement")->isChecked());
    EXPECT_TRUE(find<QRadioButton>("LFOSyncElement")->isChecked());
    EXPECT_EQ(find<QComboBox>("PatchBankNumber")->currentIndex(), 0);
    EXPECT_FALSE(state.modified);
    EXPECT_TRUE(state.sendEnable);
    EXPECT_FALSE(window->action("MenuEditPasteLayer")->isEnabled());
}

TEST_F(Refresh, ClampsOutOfRangeBytesAndLeavesThemStored)
{
    kw::BulkBlock& b = layerBlock(1);
    b.data(0x13) = 0;     // EG time 0: bar at its maximum
    b.data(0x20) = 0x7F;  // LFO AM above its range
    b.data(0x1F) = 9;     // no such wave: "Element"
    b.data(0x10) = 1;
    b.data(0x0A) = 0;     // random pan
    b.data(0x07) = 30;
    window->RefreshAll();
    EXPECT_EQ(slider("AEGAtkTime")->value(), 127);
    EXPECT_EQ(label("AEGAtkTime"), "-63");
    EXPECT_EQ(slider("LFOAMod")->value(), 33);
    EXPECT_EQ(label("LFOAMod"), "31");
    EXPECT_TRUE(find<QRadioButton>("LFOWaveElement")->isChecked());
    EXPECT_TRUE(find<QRadioButton>("LFOSyncRetrigger")->isChecked());
    EXPECT_TRUE(find<QCheckBox>("RandomPan")->isChecked());
    EXPECT_EQ(slider("PanPot")->value(), 64);
    EXPECT_EQ(label("PanPot"), "CTR");
    EXPECT_EQ(label("LayerVolume"), "30");
    EXPECT_EQ(b.data(0x13), 0);
    EXPECT_EQ(b.data(0x20), 0x7F);
    EXPECT_EQ(b.data(0x0A), 0);
    EXPECT_TRUE(port.sent.empty());
}

TEST_F(Refresh, BankLookupAndUnknownPairs)
{
    showPage("TabSheet3");
    auto* bank = find<QComboBox>("PatchBankNumber");
    auto* voices = find<QListWidget>("PatchVoiceNumber");
    layerBlock(1).data(0x00) = 63;
    layerBlock(1).data(0x01) = 12;
    layerBlock(1).data(0x02) = 40;
    window->RefreshLayerPage();
    EXPECT_EQ(bank->currentText(), "PRE 12 (Drum Kits)");
    EXPECT_EQ(voices->currentRow(), 40);
    EXPECT_EQ(voices->indexAt(QPoint(4, 4)).row(), 40);  // scrolled to the top

    // A pair outside the table: the selector keeps its bank, the list the last bank's names.
    layerBlock(1).data(0x00) = 99;
    layerBlock(1).data(0x01) = 99;
    window->RefreshLayerPage();
    EXPECT_EQ(bank->currentText(), "PRE 12 (Drum Kits)");
    EXPECT_EQ(voices->item(0)->text().toStdString(), kw::voiceEntry(kw::kBankRows - 1, 0));
    EXPECT_TRUE(port.sent.empty());
    EXPECT_EQ(layerBlock(1).data(0x00), 99);
}

TEST_F(Refresh, FullRefreshResetsTheEditorStateWithoutSending)
{
    click("EditLayer3");
    click("AffectAllLayers");
    click("MuteLayer2");
    move("FilterCutoff", 20);
    EXPECT_TRUE(state.modified);
    port.clear();
    window->RefreshAll();
    EXPECT_TRUE(port.sent.empty());
    EXPECT_EQ(state.editLayer, 1);
    EXPECT_TRUE(find<QRadioButton>("EditLayer1")->isChecked());
    EXPECT_FALSE(state.affectAll);
    EXPECT_FALSE(find<QCheckBox>("AffectAllLayers")->isChecked());
    EXPECT_FALSE(state.mute[1].muted);
    EXPECT_EQ(state.mute[1].savedVolume, 127);
    EXPECT_FALSE(find<QToolButton>("MuteLayer2")->isChecked());
    EXPECT_EQ(layerBlock(2).data(0x07), 0);  // releasing by refresh restores nothing
    EXPECT_FALSE(state.modified);
    EXPECT_TRUE(state.sendEnable);
}

TEST_F(Refresh, CommonPageFromTheImage)
{
    kw::BulkBlock& c00 = image.edit[kw::BlockKind::Common00];
    const char name[] = "Bass  \xE9 ";
    for (int i = 0; i < 8; ++i)
        c00.data(size_t(i)) = uint8_t(name[i]);
    c00.data(0x08) = 5;
    c00.data(0x09) = 0;
    image.edit[kw::BlockKind::Common50].data(0x03) = 0x28;
    image.edit[kw::BlockKind::Common50].data(0x07) = 1;
    window->RefreshAll();
    // E9 cannot live in the synth's name: the box shows what a name edit
    // would send, a blank.
    EXPECT_EQ(find<QLineEdit>("PerformanceName")->text(), QString::fromUtf8("Bass    "));
    EXPECT_EQ(find<QComboBox>("PerformanceType")->currentIndex(), 5);
    EXPECT_EQ(label("CommonVolume"), "0");
    EXPECT_EQ(label("PitchBend"), "-24");
    EXPECT_TRUE(find<QCheckBox>("PortaOn")->isChecked());
    EXPECT_TRUE(port.sent.empty());
}

TEST_F(Refresh, KnobFromTheSynthMovesTheBarAndThePicture)
{
    showPage("TabSheet4");
    auto* aeg = find<kw::EnvelopeView>("PaintAEG");
    const int before = aeg->geometry().markers[0];
    window->followKnob("AEGAtkTime", 1);
    EXPECT_EQ(slider("AEGAtkTime")->value(), 1);
    EXPECT_EQ(label("AEGAtkTime"), "63");
    EXPECT_GT(aeg->geometry().markers[0], before);
    EXPECT_TRUE(port.sent.empty());
}

namespace {
// The window alone, without the fixture's recorders.
struct BareWindow {
    kwtest::RecordingPort port;
    kw::PerformanceImage image;
    kw::EditorState state;
    kw::Senders senders{image, state, port};
    kwtest::ScriptedDialogs dialogs;
    kw::EditSession session{image, state, senders};
    kw::EditorContext ctx{session, dialogs};
    TMainWindow window{ctx};
};
} // namespace

TEST(MainWindowLayout, EveryLayerFieldHasItsNamedControlAndLabel)
{
    BareWindow bare;
    TMainWindow& w = bare.window;
    for (const kw::FieldRow& r : kw::layerFieldTable()) {
        QWidget* c = w.findChild<QWidget*>(QString::fromLatin1(r.control));
        ASSERT_NE(c, nullptr) << r.control;
        if (auto* s = qobject_cast<QSlider*>(c)) {
            EXPECT_EQ(s->minimum(), r.min) << r.control;
            EXPECT_EQ(s->maximum(), r.max) << r.control;
            EXPECT_NE(w.findChild<QLabel*>(QStringLiteral("Label_") + r.control), nullptr) << r.control;
            if (s->orientation() == Qt::Vertical) {
                EXPECT_TRUE(s->invertedAppearance()) << r.control << " has its minimum at the top";
            }
        }
    }
    for (const char* name : {"UserPerf", "SaveToSynth", "ActiveEditLayer", "AffectAllLayers", "StatusLabel",
                             "GroupMidiInOut", "MidiInLED", "MidiOutLED", "Arpeggiator", "MWheel", "FootControl",
                             "Pitch", "Performance", "PaintAEG", "PaintFEG", "PaintPEG", "ImageSawtooth",
                             "ImageTriangle", "Image1", "VelocityDefaults", "TabSheet1", "TabSheet2"})
        EXPECT_NE(w.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    for (const char* name : {"MenuFileOpenActPerf", "MenuFileOpenPerfNames", "MenuFileSaveActPerf",
                             "MenuFileSavePerfNames", "MenuFilePreferences", "MenuFileExit", "MenuEditCopyLayer",
                             "MenuEditPasteLayer", "MenuBulkPerfNames", "MenuBulkSinglePerfSynth",
                             "MenuBulkPerfBankSynth", "MenuBulkSinglePerfHD", "MenuBulkAllPerfHD",
                             "MenuBulkBankEdit", "MenuAbout"})
        EXPECT_NE(w.action(name), nullptr) << name;
    EXPECT_EQ(w.action("MenuEditCopyLayer")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));
}

TEST(MainWindowLayout, PreferencesAndAboutAreActionsForTheShell)
{
    BareWindow bare;
    TMainWindow& w = bare.window;
    int prefs = 0, about = 0;
    QObject::connect(w.action("MenuFilePreferences"), &QAction::triggered, [&] { ++prefs; });
    QObject::connect(w.action("MenuAbout"), &QAction::triggered, [&] { ++about; });
    w.action("MenuFilePreferences")->trigger();
    w.action("MenuAbout")->trigger();
    w.show();
    QTest::mouseClick(w.findChild<QWidget*>(QStringLiteral("SynthPicture")), Qt::LeftButton);
    EXPECT_EQ(prefs, 1);
    EXPECT_EQ(about, 2);
}
