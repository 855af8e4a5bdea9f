// The whole journey of a fetch, in virtual time: the user picks a line, the
// virtual CS1x switches and answers seven dump requests, the window shows
// what the synth holds.

#include "editor/MainWindow.h"
#include "midi/MidiCore.h"
#include "midi/MidiPorts.h"
#include "midi/VirtualBackend.h"
#include "session/Links.h"
#include "support/MainWindowFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

using namespace kw;

namespace {

struct FetchFromSynth : ::testing::Test {
    kwtest::VirtualScheduler sched;
    Settings settings;
    PerformanceImage image;
    EditorState state;
    std::unique_ptr<MidiPorts> ports;
    VirtualBackend* synth = nullptr;
    std::unique_ptr<Senders> senders;
    kwtest::ScriptedDialogs dialogs;
    std::unique_ptr<EditSession> session;
    std::unique_ptr<EditorContext> ctx;
    std::unique_ptr<TMainWindow> window;
    std::unique_ptr<MidiCore> core;

    void SetUp() override
    {
        settings.midiIn = settings.midiOut = kVirtualDeviceName;
        std::vector<std::unique_ptr<MidiBackend>> list;
        auto backend = std::make_unique<VirtualBackend>(sched, QString());
        synth = backend.get();
        list.push_back(std::move(backend));
        ports = std::make_unique<MidiPorts>(settings, std::move(list), PortHooks{},
                                            [](std::function<void()> fn) { fn(); });
        senders = std::make_unique<Senders>(image, state, ports->output());
        session = std::make_unique<EditSession>(image, state, *senders);
        ctx = std::make_unique<EditorContext>(EditorContext{*session, dialogs});
        window = std::make_unique<TMainWindow>(*ctx);
        core = std::make_unique<MidiCore>(*senders, *window, sched, settings);
        linkToCore(*session, *core, [this] { return ports->inputOpen(); });
        ports->setInputSink([this](const Bytes& m) { core->dispatcher.handle(m); });
        window->show();
        ASSERT_TRUE(ports->deviceCheck(*senders));
        sched.advance(100);  // identity reply
        ASSERT_EQ(dialogs.boxes.size(), 1u);
    }
    void TearDown() override
    {
        core.reset();
        window.reset();
    }
    // The synth's own panel edits user performance `pp`: parameter changes
    // straight into its memory, as if the player had turned its knobs and stored.
    void editOnSynth(uint8_t ah, uint8_t am, uint8_t al, uint8_t v)
    {
        synth->synth().handle(msg::parameterChange(ah, am, al, v));
    }
    template <class T>
    T* find(const char* name) { return window->findChild<T*>(QString::fromLatin1(name)); }
};

} // namespace

TEST_F(FetchFromSynth, PickingALineShowsWhatTheSynthHolds)
{
    // User performance 5 on the synth: another name, category, volume, cutoff
    // on layer 1, a bank and voice, a reverb type, arpeggio tempo MIDI.
    const char name[] = "Lead 5  ";
    for (uint8_t i = 0; i < 8; ++i)
        editOnSynth(0x70, 5, i, uint8_t(name[i]));
    editOnSynth(0x70, 5, 0x08, 11);
    editOnSynth(0x70, 5, 0x09, 90);
    editOnSynth(0x71, 5, 0x11, 20);
    editOnSynth(0x71, 5, 0x00, 63);
    editOnSynth(0x71, 5, 0x01, 12);
    editOnSynth(0x71, 5, 0x02, 3);
    editOnSynth(0x70, 5, 0x30, 0x02);   // reverb MSB: "Room ..."
    editOnSynth(0x70, 5, 0x29, 0);
    editOnSynth(0x70, 5, 0x2A, 0);

    QListWidget* list = find<QListWidget>("UserPerf");
    list->scrollToItem(list->item(5));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(5)).center());
    EXPECT_EQ(dialogs.questions.size(), 1u);  // the greeting had set the modified flag
    EXPECT_TRUE(window->isBusy());
    sched.advance(5000);

    EXPECT_FALSE(window->isBusy());
    EXPECT_FALSE(state.modified);
    EXPECT_EQ(dialogs.boxes.size(), 1u);  // no error on the way
    EXPECT_EQ(find<QLineEdit>("PerformanceName")->text(), "Lead 5  ");
    EXPECT_EQ(find<QComboBox>("PerformanceType")->currentIndex(), 11);
    EXPECT_EQ(find<QSlider>("CommonVolume")->value(), 127 - 90);
    EXPECT_EQ(find<QSlider>("FilterCutoff")->value(), 127 - 20);
    EXPECT_EQ(find<QComboBox>("PatchBankNumber")->currentText(), "PRE 12 (Drum Kits)");
    EXPECT_EQ(find<QListWidget>("PatchVoiceNumber")->currentRow(), 3);
    EXPECT_TRUE(find<QCheckBox>("ArpTempoMidi")->isChecked());
    EXPECT_EQ(find<QListWidget>("UserPerf")->currentRow(), 5);
    EXPECT_EQ(image.edit.layer(1).data(0x11), 20);
    EXPECT_EQ(image.edit.layer(2).data(0x11), 0x40);
    EXPECT_EQ(find<QLabel>("StatusLabel")->text(), "OK");

    // The synth goes quiet: a fetch of line 10 fails. The list shows again
    // the line of the performance in the editor, and the status line says
    // what failed until the user does something.
    synth->setFaults({.vanishAfter = 0});
    list->scrollToItem(list->item(9));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(9)).center());
    EXPECT_EQ(list->currentRow(), 9);
    sched.advance(10000);
    EXPECT_FALSE(window->isBusy());
    EXPECT_EQ(list->currentRow(), 5);
    EXPECT_EQ(list->selectedItems().size(), 1);
    EXPECT_EQ(state.selectedUserPerf, 5);
    EXPECT_EQ(find<QLabel>("StatusLabel")->text(), "Perf. #010 not fetched: MIDI-Data receive-timeout!");
    EXPECT_EQ(find<QLineEdit>("PerformanceName")->text(), "Lead 5  ");
    synth->setFaults({});
    QTest::keyClick(find<QSlider>("FilterCutoff"), Qt::Key_Up);
    sched.advance(1000);
    EXPECT_EQ(find<QLabel>("StatusLabel")->text(), "OK");
}

TEST_F(FetchFromSynth, KnobOnTheSynthMovesTheControlAndSendsNothingBack)
{
    // What the synth sends when its cutoff knob turns: the editor follows.
    core->dispatcher.handle(Bytes{0xB0, 74, 100});
    EXPECT_EQ(find<QSlider>("FilterCutoff")->value(), 27);
    EXPECT_EQ(find<QLabel>("Label_FilterCutoff")->text(), "36");
    EXPECT_EQ(image.edit.layer(1).data(0x11), 100);
    // The synth's own edit buffer did not hear anything from us.
    EXPECT_EQ(synth->synth().editBuffer().layer(1).data(0x11), 0x40);
}
