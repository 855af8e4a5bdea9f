// The settings dialog over fake devices: what it opens, sends and applies.

#include "midi/MidiSession.h"
#include "midi/RtMidiBackend.h"
#include "midi/Senders.h"
#include "shell/MidiForm.h"
#include "shell/ToolTips.h"
#include "support/FakeBackend.h"
#include "support/PatchBay.h"
#include "support/QtApp.h"
#include "support/RecordingPort.h"
#include "support/VirtualScheduler.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

using namespace kw;
using kwtest::FakeBackend;
using kwtest::hex;

namespace {

QApplication& app() { return kwtest::qtApp(); }

struct MidiFormTest : ::testing::Test {
    Settings settings;
    FakeBackend::Log log;
    kwtest::VirtualScheduler sched;
    std::unique_ptr<MidiSession> midi;
    PerformanceImage img;
    EditorState st;
    std::unique_ptr<Senders> senders;
    std::vector<QString> boxes;

    void SetUp() override { app(); }

    FakeBackend* fake = nullptr;  // the backend of the last start()

    void start(std::vector<std::string> ins, std::vector<std::string> outs)
    {
        std::vector<std::unique_ptr<MidiBackend>> list;
        list.push_back(std::make_unique<FakeBackend>(std::move(ins), std::move(outs), log));
        fake = static_cast<FakeBackend*>(list.back().get());
        midi = std::make_unique<MidiSession>(settings, std::move(list), PortHooks{},
                                             [this](std::function<void()> fn) { sched.after(0, std::move(fn)); });
        senders = std::make_unique<Senders>(img, st, midi->ports().output());
        ASSERT_TRUE(midi->deviceCheck(*senders));
        log.events.clear();
        log.sent.clear();
        log.sentVia.clear();
    }
    std::unique_ptr<TMidiWindow> dialog()
    {
        auto d = std::make_unique<TMidiWindow>(midi->ports(), settings, *senders, sched);
        d->setMessageBox([this](const QString& t) { boxes.push_back(t); });
        return d;
    }
    template <class W>
    static W* find(QWidget* d, const char* name)
    {
        W* w = d->findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    static void click(QWidget* d, const char* name) { QTest::mouseClick(find<QPushButton>(d, name), Qt::LeftButton); }
    static void choose(QWidget* d, const char* list, int row) { find<QListWidget>(d, list)->setCurrentRow(row); }
};

} // namespace

TEST_F(MidiFormTest, OpensFilledFromTheCurrentState)
{
    settings.midiIn = "In B";
    settings.midiOut = "Nowhere";
    settings.synthKnobs = false;
    settings.longDelay = false;
    settings.keepInLibrary = false;
    start({"In A", "In B"}, {"Out A"});
    auto d = dialog();
    EXPECT_EQ(d->windowTitle(), " Knobwright - Settings");
    auto* in = find<QListWidget>(d.get(), "ListMidiInDevice");
    auto* out = find<QListWidget>(d.get(), "ListMidiOutDevice");
    ASSERT_EQ(in->count(), 2);
    EXPECT_EQ(in->item(1)->text(), "In B");
    EXPECT_EQ(in->selectedItems().size(), 1);
    EXPECT_EQ(in->currentRow(), 1);
    EXPECT_TRUE(out->selectedItems().isEmpty());
    EXPECT_FALSE(find<QCheckBox>(d.get(), "CheckNoticeKnobs")->isChecked());
    EXPECT_TRUE(find<QCheckBox>(d.get(), "CheckNoticePgm")->isChecked());
    EXPECT_FALSE(find<QCheckBox>(d.get(), "CheckKeepInLibrary")->isChecked());
    EXPECT_TRUE(find<QCheckBox>(d.get(), "CheckShowHints")->isChecked());
    EXPECT_FALSE(find<QCheckBox>(d.get(), "CheckDelay")->isChecked());
    EXPECT_EQ(find<QCheckBox>(d.get(), "CheckDelay")->toolTip(), "Long delay between SysEx-blocks");
    EXPECT_EQ(find<QGroupBox>(d.get(), "GroupBox1")->title(), " Notice Synth-events ");
    EXPECT_EQ(find<QLabel>(d.get(), "Label2")->text(), "MIDI-OUT device");
    EXPECT_TRUE(find<QPushButton>(d.get(), "MidiDeviceOK")->isDefault());
}

TEST_F(MidiFormTest, UnchangedDevicesOnlyApplyTheFlags)
{
    settings.midiIn = "In";
    settings.midiOut = "Out";
    start({"In"}, {"Out"});
    auto d = dialog();
    find<QCheckBox>(d.get(), "CheckDelay")->setChecked(false);
    find<QCheckBox>(d.get(), "CheckNoticePgm")->setChecked(false);
    find<QCheckBox>(d.get(), "CheckKeepInLibrary")->setChecked(false);
    click(d.get(), "MidiDeviceOK");
    EXPECT_EQ(d->result(), QDialog::Accepted);
    EXPECT_TRUE(log.events.empty());
    EXPECT_TRUE(log.sent.empty());
    EXPECT_FALSE(settings.longDelay);
    EXPECT_EQ(settings.transferPause(), 10);
    EXPECT_FALSE(settings.programChanges);
    EXPECT_FALSE(settings.keepInLibrary);
}

TEST_F(MidiFormTest, APortThatStoppedWorkingIsReopenedUnderTheSameName)
{
    settings.midiIn = "In";
    settings.midiOut = "Out";
    start({"In"}, {"Out"});

    // The synth (or the driver's server) went away and came back: the input
    // port is still open but hears nothing.
    fake->inWorking = false;
    click(dialog().get(), "MidiDeviceOK");
    EXPECT_EQ(log.events, (std::vector<std::string>{"close in In#0", "open in In#0"}));
    ASSERT_EQ(log.sent.size(), 1u);
    EXPECT_EQ(hex(log.sent[0]), "F0 7E 00 06 01 F7");

    // The same for the output; the greeting goes through the new port.
    fake->inWorking = true;
    fake->outWorking = false;
    log.events.clear();
    log.sentVia.clear();
    click(dialog().get(), "MidiDeviceOK");
    EXPECT_EQ(log.events, (std::vector<std::string>{"close out Out#0", "open out Out#0"}));
    EXPECT_EQ(log.sentVia, std::vector<std::string>{"Out#0"});
}

TEST_F(MidiFormTest, ChangedInputOnlyGreetsThroughTheOpenOutput)
{
    settings.midiIn = "In A";
    settings.midiOut = "Out";
    start({"In A", "In B"}, {"Out"});
    auto d = dialog();
    choose(d.get(), "ListMidiInDevice", 1);
    click(d.get(), "MidiDeviceOK");
    EXPECT_EQ(settings.midiIn, "In B");
    EXPECT_EQ(midi->ports().configuredInput(), 1);
    EXPECT_EQ(log.events, (std::vector<std::string>{"close in In A#0", "open in In B#0"}));
    ASSERT_EQ(log.sent.size(), 1u);
    EXPECT_EQ(hex(log.sent[0]), "F0 7E 00 06 01 F7");
    EXPECT_EQ(log.sentVia[0], "Out#0");
    EXPECT_TRUE(senders->pending() == Request::identity());
}

TEST_F(MidiFormTest, BothChangedGreetOnceThroughTheNewOutput)
{
    settings.midiIn = "In A";
    settings.midiOut = "Out A";
    start({"In A", "In B"}, {"Out A", "Out B"});
    auto d = dialog();
    choose(d.get(), "ListMidiInDevice", 1);
    choose(d.get(), "ListMidiOutDevice", 1);
    click(d.get(), "MidiDeviceOK");
    // Not through the output on its way out: a server gone away would fail
    // it, another device would be asked.
    EXPECT_EQ(log.sentVia, (std::vector<std::string>{"Out B#0"}));
    EXPECT_EQ(settings.midiOut, "Out B");
    EXPECT_EQ(midi->ports().configuredOutput(), 1);
}

TEST_F(MidiFormTest, MissingChoiceKeepsTheDialogOpenButAppliesTheFlags)
{
    settings.midiIn = "In";
    start({"In"}, {"Out"});   // no output configured
    auto d = dialog();
    d->show();
    find<QCheckBox>(d.get(), "CheckShowHints")->setChecked(false);
    click(d.get(), "MidiDeviceOK");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "Please choose BOTH MIDI-Devices before editing!");
    EXPECT_TRUE(d->isVisible());
    EXPECT_FALSE(settings.showHints);
    EXPECT_FALSE(toolTipsShown());
    // Cancel afterwards does not take them back.
    click(d.get(), "MidiDeviceCancel");
    EXPECT_FALSE(d->isVisible());
    EXPECT_FALSE(settings.showHints);
    EXPECT_TRUE(log.events.empty());
    setToolTipsShown(true);
}

TEST_F(MidiFormTest, CancelAppliesNothing)
{
    settings.midiIn = "In";
    settings.midiOut = "Out";
    start({"In", "In 2"}, {"Out"});
    auto d = dialog();
    choose(d.get(), "ListMidiInDevice", 1);
    find<QCheckBox>(d.get(), "CheckNoticeKnobs")->setChecked(false);
    click(d.get(), "MidiDeviceCancel");
    EXPECT_EQ(d->result(), QDialog::Rejected);
    EXPECT_EQ(settings.midiIn, "In");
    EXPECT_TRUE(settings.synthKnobs);
    EXPECT_TRUE(log.events.empty());
}

TEST_F(MidiFormTest, ADeviceThatFailedToOpenOpensWhenChosenAgain)
{
    settings.midiIn = "In";
    settings.midiOut = "Out";
    std::vector<std::unique_ptr<MidiBackend>> list;
    auto fake = std::make_unique<FakeBackend>(std::vector<std::string>{"In"}, std::vector<std::string>{"Out"}, log);
    fake->openOutResult = MidiResult::Allocated;   // busy at start
    FakeBackend* f = fake.get();
    list.push_back(std::move(fake));
    std::vector<std::string> shown;
    midi = std::make_unique<MidiSession>(settings, std::move(list),
                                         PortHooks{[&](const std::string& t) { shown.push_back(t); }, {}},
                                         [this](std::function<void()> fn) { sched.after(0, std::move(fn)); });
    senders = std::make_unique<Senders>(img, st, midi->ports().output());
    ASSERT_TRUE(midi->deviceCheck(*senders));
    ASSERT_FALSE(midi->ports().outputOpen());
    EXPECT_EQ(shown, std::vector<std::string>{"Unable to open MIDI-OUT-Device <Out> : 4"});
    EXPECT_TRUE(log.sent.empty());

    f->openOutResult = MidiResult::Ok;
    auto d = dialog();
    EXPECT_EQ(find<QListWidget>(d.get(), "ListMidiOutDevice")->currentRow(), 0);
    click(d.get(), "MidiDeviceOK");
    EXPECT_TRUE(midi->ports().outputOpen());
    EXPECT_TRUE(midi->ports().inputOpen());
    ASSERT_EQ(log.sent.size(), 1u);
    EXPECT_EQ(hex(log.sent[0]), "F0 7E 00 06 01 F7");
}

TEST(MidiSession, ClosesInputBeforeOutput)
{
    Settings settings;
    settings.midiIn = "In";
    settings.midiOut = "Out";
    FakeBackend::Log log;
    std::vector<std::unique_ptr<MidiBackend>> list;
    list.push_back(std::make_unique<FakeBackend>(std::vector<std::string>{"In"}, std::vector<std::string>{"Out"}, log));
    kwtest::VirtualScheduler sched;
    MidiSession midi(settings, std::move(list), {}, [&](std::function<void()> fn) { sched.after(0, std::move(fn)); });
    PerformanceImage img;
    EditorState st;
    Senders senders(img, st, midi.ports().output());
    ASSERT_TRUE(midi.deviceCheck(senders));
    log.events.clear();
    midi.closePorts();
    EXPECT_EQ(log.events, (std::vector<std::string>{"close in In#0", "close out Out#0"}));
    midi.closePorts();   // nothing left to close
    EXPECT_EQ(log.events.size(), 2u);
}

// "Find CS1x" over cabled fake devices: the pair that answers is selected and
// OK uses it; when nothing answers the user's ports stay as they were.
TEST_F(MidiFormTest, FindCS1xSelectsThePairThatAnswersOrKeepsTheUsersPorts)
{
    for (const bool cabled : {true, false}) {
        SCOPED_TRACE(cabled ? "a CS1x answers" : "nothing answers");
        settings = {};
        settings.midiIn = settings.midiOut = "Keyboard:MIDI 1";
        std::vector<std::unique_ptr<MidiBackend>> list;
        auto bay = std::make_unique<kwtest::PatchBay>(sched, std::vector<std::string>{"Keyboard:MIDI 1", "UM-ONE:MIDI 1"},
                                                      std::vector<std::string>{"Keyboard:MIDI 1", "UM-ONE:MIDI 1"});
        kwtest::PatchBay& b = *bay;
        if (cabled)
            b.cableSynth("UM-ONE:MIDI 1", "UM-ONE:MIDI 1");
        list.push_back(std::move(bay));
        midi = std::make_unique<MidiSession>(settings, std::move(list), PortHooks{},
                                             [this](std::function<void()> fn) { sched.after(0, std::move(fn)); });
        senders = std::make_unique<Senders>(img, st, midi->ports().output());
        ASSERT_TRUE(midi->deviceCheck(*senders));
        boxes.clear();
        auto d = dialog();
        d->show();
        click(d.get(), "FindCS1x");
        EXPECT_FALSE(find<QPushButton>(d.get(), "FindCS1x")->isEnabled()) << "one search at a time";
        EXPECT_FALSE(find<QLabel>(d.get(), "FindStatus")->text().isEmpty()) << "it says what it does";
        sched.advance(3000);
        EXPECT_TRUE(find<QPushButton>(d.get(), "FindCS1x")->isEnabled());
        const QString in = find<QListWidget>(d.get(), "ListMidiInDevice")->currentItem()->text();
        const QString out = find<QListWidget>(d.get(), "ListMidiOutDevice")->currentItem()->text();
        if (cabled) {
            EXPECT_TRUE(boxes.empty());
            EXPECT_EQ(in, "UM-ONE:MIDI 1");
            EXPECT_EQ(out, "UM-ONE:MIDI 1");
            EXPECT_EQ(find<QLabel>(d.get(), "FindStatus")->text(), "A CS1x answers on UM-ONE:MIDI 1.");
            click(d.get(), "MidiDeviceOK");
            EXPECT_EQ(settings.midiIn, "UM-ONE:MIDI 1");
            EXPECT_EQ(settings.midiOut, "UM-ONE:MIDI 1");
        } else {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0], "No CS1x answered. Asked: 4 pairs of MIDI ports.");
            EXPECT_EQ(in, "Keyboard:MIDI 1");
            click(d.get(), "MidiDeviceCancel");
            EXPECT_EQ(settings.midiOut, "Keyboard:MIDI 1");
        }
        // Nothing the search opened stays open; the editor's two ports do.
        EXPECT_EQ(b.openInputs(), 1);
        EXPECT_EQ(b.openOutputs(), 1);
        EXPECT_TRUE(midi->ports().inputWorking() && midi->ports().outputWorking());
        d.reset();
        senders.reset();
        midi.reset();
    }
}

// The machine's own drivers without a JACK server to find: what their
// libraries print stays off the terminal however often the dialog lists the
// ports, and the dialog says in words which driver lists nothing.
TEST_F(MidiFormTest, DriversThatListNothingAreNamedInWordsAndPrintNothing)
{
    qputenv("JACK_DEFAULT_SERVER", QByteArray("kw-no-server-") + QByteArray::number(QCoreApplication::applicationPid()));
    qputenv("JACK_NO_START_SERVER", "1");
    const bool alsa = ::access("/dev/snd/seq", R_OK | W_OK) == 0;
    std::fflush(stderr);
    char captured[] = "/tmp/kw-stderr-XXXXXX";
    const int file = ::mkstemp(captured);
    ASSERT_GE(file, 0);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(file, STDERR_FILENO);
    QStringList notes;
    {
        midi = std::make_unique<MidiSession>(settings, systemBackends(), PortHooks{},
                                             [this](std::function<void()> fn) { sched.after(0, std::move(fn)); });
        senders = std::make_unique<Senders>(img, st, midi->ports().output());
        for (int opened = 0; opened < 3; ++opened)
            notes << find<QLabel>(dialog().get(), "DriverNote")->text();
    }
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    QFile printed(captured);
    ASSERT_TRUE(printed.open(QIODevice::ReadOnly));
    EXPECT_EQ(printed.readAll().toStdString(), "");
    ::close(file);
    ::unlink(captured);

    const QString jack = "No JACK server is running, so no JACK ports are listed.";
    const QString noAlsa = "The ALSA sequencer cannot be opened, so no ALSA ports are listed.";
    EXPECT_EQ(notes.at(0), alsa ? jack : noAlsa + " " + jack);
    EXPECT_EQ(notes.at(2), notes.at(0));
}
