// The editor and the synth finding each other, in virtual time, in the real
// window: the search at a first start and its question, the status line and
// commands without a device, the synth's sound fetched once it answers, and a
// cable pulled and plugged back in the middle of a transfer.

#include "editor/MainWindow.h"
#include "midi/MidiCore.h"
#include "midi/MidiPorts.h"
#include "midi/SynthLink.h"
#include "session/BulkCommands.h"
#include "session/CommandContext.h"
#include "session/Links.h"
#include "support/MainWindowFixture.h"
#include "shell/QtDialogs.h"
#include "support/PatchBay.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QMessageBox>

using namespace kw;
using kwtest::PatchBay;

namespace {

const std::string kSynthPort = "UM-ONE:MIDI 1";

struct SynthLinkTest : ::testing::Test {
    kwtest::VirtualScheduler clock;
    Settings settings;
    PerformanceImage image;
    EditorState state;
    PatchBay* bay = nullptr;
    VirtualCs1x* synth = nullptr;
    std::unique_ptr<MidiPorts> ports;
    std::unique_ptr<Senders> senders;
    kwtest::ScriptedDialogs dialogs;
    // Set before start(): the window shows its boxes in the program's own.
    std::unique_ptr<QtDialogs> qtBoxes;
    std::unique_ptr<EditSession> session;
    std::unique_ptr<EditorContext> ctx;
    std::unique_ptr<TMainWindow> window;
    std::unique_ptr<MidiCore> core;
    std::unique_ptr<CommandContext> commands;
    std::unique_ptr<BulkCommands> bulk;
    std::unique_ptr<SynthLink> link;

    void start()
    {
        std::vector<std::unique_ptr<MidiBackend>> list;
        auto b = std::make_unique<PatchBay>(clock, std::vector<std::string>{"Keyboard:MIDI 1", kSynthPort},
                                            std::vector<std::string>{"Keyboard:MIDI 1", kSynthPort});
        bay = b.get();
        synth = &bay->cableSynth(kSynthPort, kSynthPort);
        // The synth plays a sound of its own, not the editor's defaults.
        const char name[] = "FoundIt!";
        for (uint8_t i = 0; i < 8; ++i)
            synth->handle(msg::parameterChange(0x60, 0, i, uint8_t(name[i])));
        list.push_back(std::move(b));
        ports = std::make_unique<MidiPorts>(settings, std::move(list), PortHooks{},
                                            [this](std::function<void()> fn) { clock.after(0, std::move(fn)); });
        senders = std::make_unique<Senders>(image, state, ports->output());
        session = std::make_unique<EditSession>(image, state, *senders);
        ctx = std::make_unique<EditorContext>(EditorContext{*session, qtBoxes ? static_cast<Dialogs&>(*qtBoxes) : dialogs});
        window = std::make_unique<TMainWindow>(*ctx);
        if (qtBoxes)
            qtBoxes->setParent(window.get());
        core = std::make_unique<MidiCore>(*senders, *window, clock, settings);
        auto inputOpen = [this] { return ports->inputOpen(); };
        linkToCore(*session, *core, inputOpen);
        commands = std::make_unique<CommandContext>(CommandContext{*session, core->receiver, dialogs, settings, inputOpen});
        bulk = std::make_unique<BulkCommands>(*commands);
        QObject::connect(window->action("MenuBulkPerfNames"), &QAction::triggered, window.get(),
                         [this] { bulk->MenuBulkPerfNamesClick(); });
        ports->setInputSink([this](const Bytes& m) { core->dispatcher.handle(m); });
        link = std::make_unique<SynthLink>(
            *ports, *core, *senders, *window, settings, clock,
            SynthLink::Hooks{[this](const std::string& q) { return dialogs.confirm("Knobwright", q); },
                             [this] { return session->userWork(); }});
        window->show();
        ASSERT_TRUE(ports->deviceCheck(*senders));
        link->start();
    }
    void TearDown() override
    {
        link.reset();
        bulk.reset();
        commands.reset();
        core.reset();
        window.reset();
        qtBoxes.reset();
    }
    template <class T = QWidget>
    T* find(const char* name) { return window->findChild<T*>(QString::fromLatin1(name)); }
    std::string statusLine() { return find<QLabel>("StatusLabel")->toolTip().isEmpty()
                                          ? find<QLabel>("StatusLabel")->text().toStdString()
                                          : find<QLabel>("StatusLabel")->toolTip().toStdString(); }
    std::string lamp(const char* name) { return find(name)->toolTip().toStdString(); }
    bool sentProgramChange() const
    {
        return std::any_of(bay->sent.begin(), bay->sent.end(), [](auto& s) { return (s.second[0] & 0xF0) == 0xC0; });
    }
    size_t greetings() const
    {
        return size_t(std::count_if(dialogs.answers.begin(), dialogs.answers.end(),
                                    [](auto& a) { return a.rfind("CS1x responding", 0) == 0; }));
    }
};

} // namespace

TEST_F(SynthLinkTest, AFirstStartFindsTheSynthAsksAndShowsItsSound)
{
    dialogs.confirms = {true};
    start();
    EXPECT_EQ(statusLine(), kLookingText);
    clock.advance(3000);
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0], "Knobwright: A CS1x answers on UM-ONE:MIDI 1. Use it?");
    EXPECT_EQ(settings.midiIn, kSynthPort);
    EXPECT_EQ(settings.midiOut, kSynthPort);
    EXPECT_TRUE(ports->inputWorking() && ports->outputWorking());
    EXPECT_EQ(greetings(), 1u);
    // What the synth holds, fetched without switching it.
    EXPECT_EQ(find<QLineEdit>("PerformanceName")->text(), "FoundIt!");
    EXPECT_FALSE(sentProgramChange());
    EXPECT_EQ(lamp("MidiInLED"), "MIDI-IN: " + kSynthPort);
    EXPECT_EQ(bay->openInputs(), 1) << "the search's own ports are closed";
    EXPECT_EQ(bay->openOutputs(), 1);
}

TEST_F(SynthLinkTest, WithoutADeviceTheStatusLineAndEveryCommandSaySo)
{
    for (const bool synthThere : {false, true}) {
        SCOPED_TRACE(synthThere ? "the user says No to the synth found" : "no synth answers");
        TearDown();
        settings = {};
        dialogs = {};
        dialogs.confirms = {false};
        start();
        if (!synthThere)
            bay->unplug(kSynthPort);
        clock.advance(10000);
        EXPECT_EQ(dialogs.questions.size(), synthThere ? 1u : 0u);
        EXPECT_EQ(statusLine(), kNoDeviceChosenText);
        EXPECT_EQ(lamp("MidiOutLED"), "MIDI-OUT: no device chosen");
        dialogs.boxes.clear();
        // Clicking a performance, the names request, storing the edit.
        auto* list = find<QListWidget>("UserPerf");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(4)).center());
        window->action("MenuBulkPerfNames")->trigger();
        bulk->SaveToSynthClick();
        ASSERT_EQ(dialogs.boxes.size(), 3u);
        for (const auto& b : dialogs.boxes)
            EXPECT_EQ(b, kNoDeviceChosenText);
        EXPECT_EQ(find<QListWidget>("UserPerf")->currentRow(), -1) << "the list shows what the editor holds";
        clock.advance(5000);
        EXPECT_EQ(statusLine(), kNoDeviceChosenText) << "and stays so";
        EXPECT_EQ(bay->openInputs() + bay->openOutputs(), 0);
    }
}

TEST_F(SynthLinkTest, ACablePulledMidTransferEndsItAndThePortComesBackGreeted)
{
    settings.midiIn = settings.midiOut = kSynthPort;
    start();
    clock.advance(3000);
    ASSERT_EQ(greetings(), 1u);
    ASSERT_EQ(find<QLineEdit>("PerformanceName")->text(), "FoundIt!");

    window->action("MenuBulkPerfNames")->trigger();
    clock.advance(20);
    ASSERT_TRUE(core->receiver.chainRunning());
    dialogs.answers.clear();
    bay->unplug(kSynthPort);
    clock.advance(SynthLink::kWatchMs + 10);
    // The transfer's failure stands until the user acts, and names the cause.
    EXPECT_NE(statusLine().find(kDisconnectedText), std::string::npos) << statusLine();
    EXPECT_EQ(lamp("MidiInLED"), "MIDI-IN: " + kSynthPort + " - disconnected");
    EXPECT_FALSE(core->receiver.chainRunning()) << "the transfer ends as on a time-out";
    ASSERT_FALSE(dialogs.answers.empty()) << "with its result shown";
    EXPECT_NE(dialogs.answers.back().find(kDisconnectedText), std::string::npos) << dialogs.answers.back();
    EXPECT_FALSE(ports->inputOpen() || ports->outputOpen());
    // A command now finds the port closed, and says so.
    dialogs.boxes.clear();
    window->action("MenuBulkPerfNames")->trigger();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0], kNoOutputText);
    clock.advance(5000);
    EXPECT_NE(statusLine().find(kDisconnectedText), std::string::npos) << "it stays said";

    bay->plug(kSynthPort);
    clock.advance(SynthLink::kWatchMs + 1000);
    EXPECT_TRUE(ports->inputWorking() && ports->outputWorking());
    EXPECT_EQ(greetings(), 1u) << "greeted as at start";
    EXPECT_EQ(lamp("MidiInLED"), "MIDI-IN: " + kSynthPort);
    clock.advance(3000);
    EXPECT_EQ(statusLine(), "OK");
}

TEST_F(SynthLinkTest, TheGreetingsBoxClosesOnTheFirstReturnOrClickWhileTheStartUpFetchRuns)
{
    for (const bool byKey : {true, false}) {
        SCOPED_TRACE(byKey ? "Return" : "a click on OK");
        TearDown();
        settings = {};
        settings.midiIn = settings.midiOut = kSynthPort;
        qtBoxes = std::make_unique<QtDialogs>();
        start();
        auto* box = find<QMessageBox>("NoticeBox");
        ASSERT_NE(box, nullptr);
        // The greeting is up and the fetch it starts holds the window busy.
        for (int ms = 0; ms < 3000 && !(box->isVisible() && window->isBusy()); ++ms)
            clock.advance(1);
        ASSERT_TRUE(box->isVisible());
        ASSERT_TRUE(window->isBusy());
        EXPECT_EQ(box->text().left(15), "CS1x responding");
        QAbstractButton* ok = box->button(QMessageBox::Ok);
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == ok; }, 5000));
        if (byKey)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        else
            QTest::mouseClick(ok, Qt::LeftButton);
        EXPECT_FALSE(box->isVisible());
        EXPECT_FALSE(qtBoxes->notifying());
        // The window itself still takes nothing until the fetch is through.
        ASSERT_TRUE(window->isBusy());
        auto* name = find<QLineEdit>("PerformanceName");
        const QString before = name->text();
        QTest::mouseClick(name, Qt::LeftButton);
        QTest::keyClick(name, Qt::Key_End);
        QTest::keyClick(name, Qt::Key_Backspace);
        EXPECT_EQ(name->text(), before);
        clock.advance(3000);
        EXPECT_FALSE(window->isBusy());
        EXPECT_EQ(name->text(), "FoundIt!");
    }
}
