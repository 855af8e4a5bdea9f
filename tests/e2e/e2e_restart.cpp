// The JACK server dies and comes back under the running editor and the
// simulator: confirming the same devices in Preferences brings the ports back
// to life, and the editor quits cleanly whatever happened to the server, with
// its own virtual CS1x memory saved. The simulator stopped and started again
// in the middle of a transfer: the editor sees it go and come back by itself.
// And with the simulator one of three MIDI clients, the search for the synth
// (at a first start and Find CS1x) picks it.

#include "E2eSupport.h"
#include "editor/MainWindow.h"
#include "midi/JackWatch.h"
#include "midi/Messages.h"
#include "midi/MidiCore.h"
#include "midi/MidiSession.h"
#include "midi/Senders.h"
#include "midi/SynthLink.h"
#include "midi/VirtualBackend.h"
#include "midi/VirtualCs1x.h"
#include "shell/Application.h"
#include "shell/MidiForm.h"
#include "support/ScriptedDialogs.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>
#include <functional>
#include <gtest/gtest.h>

using namespace kw;
using kwtest::env;
using kwtest::runUntil;

namespace {

const QString kResponding = QStringLiteral("CS1x responding... Device-Code: 0F 05 - TG-Level: 01");

int lines(const std::string& path)
{
    std::ifstream f(path);
    int n = 0;
    for (std::string l; std::getline(f, l);)
        ++n;
    return n;
}

// Has run_e2e.sh do something to the server or the simulator; the event loop
// keeps running meanwhile.
bool control(const std::string& command)
{
    const std::string ack = env("KW_E2E_ACK");
    const int before = lines(ack);
    {
        std::ofstream c(env("KW_E2E_CONTROL"));
        c << command << '\n';
    }
    if (!runUntil([&] { return lines(ack) > before; }, 30000))
        return false;
    std::ifstream f(ack);
    std::string last;
    for (std::string l; std::getline(f, l);)
        last = l;
    if (last != command + " ok")
        std::fprintf(stderr, "%s: the script said \"%s\"\n", command.c_str(), last.c_str());
    return last == command + " ok";
}

// Boxes the program shows, collected as they come.
struct BoxList : kwtest::ScriptedDialogs {
    QStringList list;
    using ScriptedDialogs::inform;
    void inform(const std::string& text) override { list << QString::fromStdString(text); }
    void notify(const std::string& text) override
    {
        ScriptedDialogs::notify(text);
        list << QString::fromStdString(text);
    }
    void answer(const std::string& text, const std::string& topic) override
    {
        ScriptedDialogs::answer(text, topic);
        list << QString::fromStdString(text);
    }
};

struct ServerRestart : ::testing::Test {
    QTemporaryDir home;
    BoxList dialogs;
    QStringList& boxes = dialogs.list;
    std::unique_ptr<Application> app;

    QString memoryFile() const { return home.filePath("data/Knobwright/Virtual CS1x.syx"); }

    void SetUp() override
    {
        ASSERT_FALSE(env("KW_E2E_CONTROL").empty()) << "run through run_e2e.sh";
        // The built-in virtual CS1x keeps its memory under the data home.
        qputenv("XDG_DATA_HOME", home.filePath("data").toLocal8Bit());
        {
            QSettings s(home.filePath("settings.ini"), QSettings::IniFormat);
            s.beginGroup("CS1x");
            s.setValue("Midi-IN", QString::fromStdString(env("KW_SIM_PORT")));
            s.setValue("Midi-OUT", QString::fromStdString(env("KW_SIM_PORT")));
            s.setValue("LongDelay", "0");
        }
        Application::Options o;
        o.settingsFile = home.filePath("settings.ini");
        o.dialogs = &dialogs;
        app = std::make_unique<Application>(std::move(o));
        ASSERT_TRUE(app->start());
        ASSERT_TRUE(app->midi().ports().inputOpen() && app->midi().ports().outputOpen()) << boxes.join("|").toStdString();
        ASSERT_TRUE(greeted()) << "no identity reply at start";
        boxes.clear();
        dialogs.closeBox();  // as the user does
    }

    // The synth answers the identity request the program sent (it asks once
    // more by itself when the first goes unanswered). `askFirst`: the test
    // asks, as a port reopened by hand would.
    bool greeted(bool askFirst = false)
    {
        if (askFirst)
            app->senders().request(Request::identity());
        return runUntil([&] { return boxes.contains(kResponding); }, 5000);
    }
    // `command`, then `reconnect`, then the greeting.
    bool greetsAfter(const std::string& command, const std::function<void()>& reconnect, bool askFirst = false)
    {
        boxes.clear();
        if (!control(command))
            return false;
        reconnect();
        return greeted(askFirst);
    }

    // A change the virtual CS1x has not written yet (it waits a quiet second).
    void touchVirtualSynth(uint8_t letter)
    {
        VirtualBackend* v = app->midi().virtualSynth();
        ASSERT_NE(v, nullptr);
        v->synth().handle(msg::parameterChange(0x70, 5, 0x00, letter));
    }
    void quitAndExpectSaved(uint8_t letter)
    {
        app->finish();
        app.reset();
        QFile f(memoryFile());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << "the virtual CS1x memory was not saved";
        const QByteArray data = f.readAll();
        VirtualCs1x reloaded;
        reloaded.loadMemoryImage(ByteView(reinterpret_cast<const uint8_t*>(data.constData()), size_t(data.size())));
        EXPECT_EQ(reloaded.user(5)[BlockKind::UserCommon00].data(0), letter);
    }
    // Preferences, the same devices still chosen, OK.
    void confirmPreferences()
    {
        TMidiWindow dialog(app->midi().ports(), app->settings(), app->senders(), app->scheduler());
        dialog.setMessageBox([this](const QString& t) { boxes << t; });
        QTest::mouseClick(dialog.findChild<QPushButton*>("MidiDeviceOK"), Qt::LeftButton);
    }
};

} // namespace

TEST_F(ServerRestart, QuitAfterTheServerCameBackIsCleanAndSavesTheVirtualSynth)
{
    ASSERT_TRUE(control("restart-jack"));
    // The editor still holds clients of the server that died: its ports and
    // the objects that list the devices.
    app->midi().ports().rescan();
    touchVirtualSynth('Q');
    quitAndExpectSaved('Q');
}

TEST_F(ServerRestart, QuitAfterReopeningThePortsOnTheNewServerIsClean)
{
    // Opening clients on the new server makes the JACK library free the
    // clients of the old one; closing those afterwards crashed.
    MidiPorts& ports = app->midi().ports();
    EXPECT_TRUE(greetsAfter(
        "restart-jack",
        [&] {
            ports.rescan();
            ports.openInput(ports.configuredInput());
            ports.openOutput(ports.configuredOutput());
        },
        true));
    touchVirtualSynth('N');
    quitAndExpectSaved('N');
}

TEST_F(ServerRestart, QuitWhileTheServerIsGoneIsCleanToo)
{
    ASSERT_TRUE(control("kill-jack"));
    ASSERT_TRUE(runUntil([] { return !jack::watching(); }, 2000));
    // Sending to it fails, and says so.
    app->senders().parameterChange(0x60, 1, 0x11, 0x20);
    EXPECT_TRUE(runUntil([&] { return !boxes.isEmpty(); }, 1000));
    EXPECT_EQ(boxes, QStringList{"MIDI-Out error: the JACK server has shut down"});
    touchVirtualSynth('K');
    quitAndExpectSaved('K');
    EXPECT_TRUE(control("restart-jack"));  // for the tests after this one
}

TEST_F(ServerRestart, ConfirmingTheSameDevicesReconnectsAfterTheServerOrTheSimulatorRestarted)
{
    const auto confirm = [this] { confirmPreferences(); };
    EXPECT_TRUE(greetsAfter("restart-jack", confirm)) << "not reopened: " << boxes.join(" | ").toStdString();
    EXPECT_TRUE(greetsAfter("restart-sim", confirm)) << "not reopened: " << boxes.join(" | ").toStdString();

    // A port that works is left alone: nothing is reopened, nothing is sent.
    boxes.clear();
    confirmPreferences();
    runUntil([] { return false; }, 1500);
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join(" | ").toStdString();

    touchVirtualSynth('R');
    quitAndExpectSaved('R');
}

TEST_F(ServerRestart, TwentyRestartsInARowReconnectEveryTimeAndNoStaleBoxStays)
{
    for (int restart = 1; restart <= 20; ++restart) {
        SCOPED_TRACE("restart " + std::to_string(restart));
        // A send while the server is down fails and says so...
        ASSERT_TRUE(control("kill-jack"));
        // The JACK library learns of the death on a thread of its own; a
        // message sent before that is as lost as one sent down a cable
        // that was just pulled.
        ASSERT_TRUE(runUntil([] { return !jack::watching(); }, 2000));
        app->senders().parameterChange(0x60, 1, 0x11, uint8_t(restart));
        EXPECT_TRUE(runUntil([&] { return dialogs.box.up(); }, 1000));
        // ...and once the same devices are confirmed on the new server, the
        // synth is greeted and the box says that alone.
        ASSERT_TRUE(greetsAfter("restart-jack", [this] { confirmPreferences(); }))
            << "not reopened: " << boxes.join(" | ").toStdString();
        EXPECT_EQ(QString::fromStdString(dialogs.box.text()), kResponding);
        dialogs.closeBox();
    }
    touchVirtualSynth('T');
    quitAndExpectSaved('T');
}

TEST_F(ServerRestart, TheSimulatorGoneMidTransferEndsItAndIsGreetedWhenItIsBack)
{
    const Receiver& rx = app->core().receiver;
    MidiPorts& ports = app->midi().ports();
    const auto idle = [&] { return !rx.chainRunning() && !rx.chainQueued(); };
    ASSERT_TRUE(runUntil(idle, 10000)) << "the fetch of the synth's sound at the greeting";
    const auto* status = app->window().findChild<QLabel*>("StatusLabel");
    const auto statusLine = [&] { return status->toolTip().isEmpty() ? status->text() : status->toolTip(); };
    const auto lamp = [&] { return app->window().findChild<QWidget*>("MidiInLED")->toolTip().toStdString(); };

    app->window().action("MenuBulkPerfNames")->trigger();
    ASSERT_TRUE(runUntil([&] { return dialogs.progressValues.size() >= 3; }, 10000)) << "the names come";
    dialogs.answers.clear();
    boxes.clear();
    ASSERT_TRUE(control("stop-sim"));
    // Both ports are closed (its two clients may go one look apart), the
    // transfer ends as on a time-out and its result says why, and the status
    // line and the lamp say so.
    EXPECT_TRUE(runUntil([&] { return idle() && !ports.inputOpen() && !ports.outputOpen(); }, 5000));
    ASSERT_FALSE(dialogs.answers.empty());
    EXPECT_NE(dialogs.answers.front().find(kDisconnectedText), std::string::npos) << dialogs.answers.front();
    EXPECT_TRUE(statusLine().contains(kDisconnectedText)) << statusLine().toStdString();
    EXPECT_EQ(lamp(), "MIDI-IN: " + env("KW_SIM_PORT") + " - disconnected");
    // Back, it is opened and greeted by itself.
    ASSERT_TRUE(control("start-sim"));
    EXPECT_TRUE(greeted()) << boxes.join(" | ").toStdString();
    EXPECT_TRUE(ports.inputWorking() && ports.outputWorking());
    EXPECT_EQ(lamp(), "MIDI-IN: " + env("KW_SIM_PORT"));
    app->finish();
}

// Two MIDI clients beside the simulator, each with an input and an output
// (simulators that answer nothing), and an editor started for the first time.
struct FindTheSynth : ::testing::Test {
    QTemporaryDir home;
    BoxList dialogs;
    std::vector<std::unique_ptr<QProcess>> clients;
    std::unique_ptr<Application> app;

    void SetUp() override
    {
        ASSERT_FALSE(env("KW_SIM_BINARY").empty()) << "run through run_e2e.sh";
        // They take the simulator's place in the lists of ports: the search
        // asks them first.
        ASSERT_TRUE(control("stop-sim"));
        for (const char* name : {"Keyboard", "Expander"}) {
            auto p = std::make_unique<QProcess>();
            p->setProcessChannelMode(QProcess::MergedChannels);
            p->start(QString::fromStdString(env("KW_SIM_BINARY")),
                     {"--api", "jack", "--client", name, "--name", "MIDI 1", "--volatile", "--vanish-after", "0"});
            QByteArray said;
            // One at a time: no simulator starts while another does (see run_e2e.sh).
            ASSERT_TRUE(runUntil([&] { return (said += p->readAll()).contains(" ready on "); }, 10000))
                << name << ": " << said.toStdString();
            clients.push_back(std::move(p));
        }
        ASSERT_TRUE(control("start-sim"));
        qputenv("XDG_DATA_HOME", home.filePath("data").toLocal8Bit());
        Application::Options o;
        o.settingsFile = home.filePath("settings.ini");
        o.dialogs = &dialogs;
        o.volatileSynth = true;
        app = std::make_unique<Application>(std::move(o));
    }
    void TearDown() override
    {
        control("start-sim");  // for a test that stopped early
        if (app)
            app->finish();
        app.reset();
        for (auto& p : clients) {
            p->terminate();
            p->waitForFinished(5000);
        }
    }
};

TEST_F(FindTheSynth, AmongThreeClientsTheSearchAndFindCS1xPickTheSimulator)
{
    const std::string sim = env("KW_SIM_PORT");
    dialogs.confirms = {false};
    ASSERT_TRUE(app->start());
    ASSERT_TRUE(runUntil([&] { return !app->link().searching(); }, 30000));
    ASSERT_EQ(dialogs.questions.size(), 1u) << "no CS1x found at start";
    EXPECT_EQ(dialogs.questions[0], std::string(kApplicationTitle) + ": A CS1x answers on " + sim + ". Use it?");
    EXPECT_TRUE(app->settings().midiIn.empty()) << "No: nothing is chosen";

    TMidiWindow prefs(app->midi().ports(), app->settings(), app->senders(), app->scheduler());
    prefs.setMessageBox([this](const QString& t) { dialogs.list << t; });
    QStringList asked;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        const QString now = prefs.findChild<QLabel*>("FindStatus")->text();
        if (asked.isEmpty() || asked.back() != now)
            asked << now;
    });
    look.start(5);
    QTest::mouseClick(prefs.findChild<QPushButton*>("FindCS1x"), Qt::LeftButton);
    ASSERT_TRUE(runUntil([&] { return !prefs.searching(); }, 30000));
    EXPECT_GE(asked.filter("Asking ").size(), 3) << "the other two first: " << asked.join(" | ").toStdString();
    EXPECT_EQ(prefs.findChild<QLabel*>("FindStatus")->text().toStdString(), "A CS1x answers on " + sim + ".");
    for (const char* list : {"ListMidiInDevice", "ListMidiOutDevice"}) {
        const QListWidgetItem* row = prefs.findChild<QListWidget*>(list)->currentItem();
        ASSERT_NE(row, nullptr) << list;
        EXPECT_EQ(row->text().toStdString(), sim) << list;
    }
    QTest::mouseClick(prefs.findChild<QPushButton*>("MidiDeviceOK"), Qt::LeftButton);
    app->link().check();
    EXPECT_EQ(app->settings().midiIn, sim);
    EXPECT_EQ(app->settings().midiOut, sim);
    EXPECT_TRUE(runUntil([&] { return dialogs.list.contains(kResponding); }, 5000)) << dialogs.list.join(" | ").toStdString();
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
