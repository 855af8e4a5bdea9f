#include "editor/MainWindow.h"
#include "editor/MidiMonitorWindow.h"
#include "midi/Messages.h"
#include "midi/MidiSession.h"
#include "model/FieldTable.h"
#include "session/BankManager.h"
#include "session/EditSession.h"
#include "shell/Application.h"
#include "shell/MessageWindow.h"
#include "shell/WindowPlace.h"
#include "support/FakeBackend.h"
#include "support/QtApp.h"
#include "support/RandomRecords.h"
#include "support/RecordingPort.h"
#include "support/ScriptedDialogs.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QListWidget>
#include <QSettings>
#include <QSlider>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>

using namespace kw;
using kwtest::FakeBackend;
using Strings = std::vector<std::string>;

namespace {

struct ApplicationTest : ::testing::Test {
    QTemporaryDir dir;
    FakeBackend::Log log;
    kwtest::ScriptedDialogs dialogs;

    QString ini() const { return dir.filePath("settings.ini"); }
    void store(const char* key, const QString& value)
    {
        QSettings s(ini(), QSettings::IniFormat);
        s.beginGroup("CS1x");
        s.setValue(key, value);
    }
    Application::Options options(std::vector<std::string> ins, std::vector<std::string> outs)
    {
        kwtest::qtApp();
        Application::Options o;
        o.settingsFile = ini();
        std::vector<std::unique_ptr<MidiBackend>> list;
        list.push_back(std::make_unique<FakeBackend>(std::move(ins), std::move(outs), log));
        o.backends = std::move(list);
        o.dialogs = &dialogs;
        return o;
    }
};

} // namespace

TEST_F(ApplicationTest, WithoutAnOutputDeviceThereIsNoEventLoopButSettingsAreWritten)
{
    Application app(options({"CS1x In"}, {}));
    EXPECT_FALSE(app.start());
    EXPECT_EQ(dialogs.boxes, Strings{"You should have at least ONE MIDI-Device in your Computer I think!"});
    EXPECT_TRUE(log.sent.empty());
    app.finish();
    QSettings s(ini(), QSettings::IniFormat);
    s.beginGroup("CS1x");
    EXPECT_EQ(s.allKeys().size(), 11);
    EXPECT_EQ(s.value("ShowHints").toString(), "1");
}

TEST_F(ApplicationTest, ConfiguredPortsOpenAndAreGreetedThenClosedInputFirst)
{
    store("Midi-IN", "CS1x In");
    store("Midi-OUT", "CS1x Out");
    store("LongDelay", "0");
    Application app(options({"CS1x In"}, {"CS1x Out"}));
    ASSERT_TRUE(app.start());
    EXPECT_EQ(app.window().windowTitle(), QString(" ") + kApplicationTitle);
    EXPECT_EQ(app.messageWindow().windowTitle(), " Knobwright Message");
    ASSERT_EQ(log.sent.size(), 2u);
    EXPECT_EQ(kwtest::hex(log.sent[0]), "F0 43 10 4B 50 00 06 03 F7");
    EXPECT_EQ(kwtest::hex(log.sent[1]), "F0 7E 00 06 01 F7");
    // The greeting counts as a change: the first user-list click will ask.
    EXPECT_TRUE(app.state().modified);
    EXPECT_EQ(app.settings().transferPause(), 10);
    // The image is the start-up performance, shown.
    EXPECT_EQ(app.image().edit[BlockKind::Common00].data(9), 0x64);

    // The identity reply comes back through the whole input path.
    log.input(Bytes(std::begin(msg::kIdentityReply), std::end(msg::kIdentityReply)));
    for (int i = 0; i < 20 && dialogs.boxes.empty(); ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(dialogs.boxes, Strings{"CS1x responding... Device-Code: 0F 05 - TG-Level: 01"});

    log.events.clear();
    app.finish();
    ASSERT_EQ(log.events.size(), 2u);
    EXPECT_EQ(log.events[0].rfind("close in", 0), 0u);
    EXPECT_EQ(log.events[1].rfind("close out", 0), 0u);
    QSettings s(ini(), QSettings::IniFormat);
    s.beginGroup("CS1x");
    EXPECT_EQ(s.value("LongDelay").toString(), "0");
    EXPECT_EQ(s.value("Midi-OUT").toString(), "CS1x Out");
}

TEST_F(ApplicationTest, AboutMenuAndSynthPictureOpenTheAboutBox)
{
    Application app(options({"CS1x In"}, {"CS1x Out"}));
    ASSERT_TRUE(app.start());
    QStringList seen;
    auto closeWhenUp = [&seen] {
        QTimer::singleShot(0, [&seen] {
            if (QWidget* w = QApplication::activeModalWidget()) {
                seen << w->windowTitle();
                w->close();
            }
        });
    };
    closeWhenUp();
    app.window().action("MenuAbout")->trigger();
    closeWhenUp();
    auto* picture = app.window().findChild<QWidget*>("SynthPicture");
    ASSERT_NE(picture, nullptr);
    QTest::mouseClick(picture, Qt::LeftButton);
    EXPECT_EQ(seen, (QStringList{" About Orsk Knobwright", " About Orsk Knobwright"}));
    app.finish();
}

TEST_F(ApplicationTest, ADamagedSettingsFileIsToldOfAtStart)
{
    {
        QFile f(ini());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("no equals sign\n[CS1x]\nLongDelay=0\n");
    }
    Application app(options({"In"}, {"Out"}));
    app.start();
    ASSERT_FALSE(dialogs.boxes.empty());
    EXPECT_EQ(dialogs.boxes[0].rfind("The settings file '" + ini().toStdString() + "' is damaged.", 0), 0u) << dialogs.boxes[0];
    EXPECT_FALSE(app.settings().longDelay) << "what could be read is used";
    app.finish();
    QSettings s(ini(), QSettings::IniFormat);
    s.beginGroup("CS1x");
    EXPECT_EQ(s.allKeys().size(), 11);
}

TEST_F(ApplicationTest, TheNamesFileOfTheLastRunFillsTheListAndOneThatIsGoneIsReported)
{
    const QString names = dir.filePath("my names.PFN");
    {
        QFile f(names);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("001  PF Caf\xE9\r\n002  BA Bass\r\n");
    }
    store("AktPerfList", names);
    {
        Application app(options({"In"}, {"Out"}));
        ASSERT_TRUE(app.start());
        auto* list = app.window().findChild<QListWidget*>("UserPerf");
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(list->count(), 128);
        EXPECT_EQ(list->item(0)->text(), QString::fromUtf8("001  PF Caf\xC3\xA9"));
        EXPECT_EQ(list->item(2)->text(), "003");
        EXPECT_TRUE(dialogs.boxes.empty());
        app.finish();
    }
    QFile::remove(names);
    Application app(options({"In"}, {"Out"}));
    ASSERT_TRUE(app.start());
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0], "Load-Error : Unable to open file\n" + names.toStdString() + ": No such file or directory");
    EXPECT_EQ(app.window().findChild<QListWidget*>("UserPerf")->item(0)->text(), "001  DR umTrax2");
    EXPECT_EQ(app.settings().aktPerfList, names.toStdString()) << "kept for a drive that comes back";
    app.finish();
}

TEST_F(ApplicationTest, FileAndBulkMenusAndTheSaveButtonRunTheirCommands)
{
    store("Midi-IN", "CS1x In");
    store("Midi-OUT", "CS1x Out");
    store("Last-Dir", dir.path());
    store("PerfBank-Dir", dir.path());
    Application app(options({"CS1x In"}, {"CS1x Out"}));
    ASSERT_TRUE(app.start());
    TMainWindow& w = app.window();
    const std::string folder = dir.path().toStdString();
    dialogs.files = {folder + "/p", folder + "/names"};
    w.action("MenuFileSaveActPerf")->trigger();
    w.action("MenuFileSavePerfNames")->trigger();
    EXPECT_EQ(QFileInfo(dir.filePath("p.SYX")).size(), 317);
    EXPECT_EQ(app.settings().aktPerfList, folder + "/names.PFN");

    auto* save = w.findChild<QAbstractButton*>("SaveToSynth");
    ASSERT_NE(save, nullptr);
    QTest::mouseClick(save, Qt::LeftButton);
    w.action("MenuBulkSinglePerfHD")->trigger();
    dialogs.asks = {0};
    w.action("MenuBulkAllPerfHD")->trigger();
    w.action("MenuFileOpenActPerf")->trigger();
    w.action("MenuFileOpenPerfNames")->trigger();
    w.action("MenuBulkSinglePerfSynth")->trigger();
    w.action("MenuBulkPerfBankSynth")->trigger();
    EXPECT_EQ(dialogs.log, (Strings{
                               "save:Save actual Performance as ...|SysEx binary (*.SYX *.syx);;All files (*)|" + folder +
                                   "|--  _InitPerf.SYX",
                               "save:Save Performance-names as ...|Performance-name files (*.PFN *.pfn);;All files "
                               "(*)|" + folder + "|",
                               "userperf:Select dest.-Perf|Send|-1|0",
                               "userperf:Select Dest|Request|-1|0",
                               "ask:Please select the format to store the received\nBulk-data on your "
                               "harddisk|Perf.-bank|SysEx files",
                               "open:Select User-Performance file|SysEx binary (*.SYX *.syx);;All files (*)|" + folder,
                               "open:Select Performance-name file|Performance-name files (*.PFN *.pfn);;All files "
                               "(*)|" + folder,
                               "open:Select User-Performance file|SysEx binary (*.SYX *.syx);;All files (*)|" + folder,
                               "open:Select Performance-bank file|Performance-banks (*.PFB *.pfb);;All files (*)|" + folder,
                           }));
    app.finish();
}

TEST_F(ApplicationTest, TheBankManagerOpensFromItsMenuAndItsUnsavedBankIsAskedForAtExit)
{
    store("Midi-IN", "CS1x In");
    store("Midi-OUT", "CS1x Out");
    store("PerfBank-Dir", dir.path());
    Application app(options({"CS1x In"}, {"CS1x Out"}));
    ASSERT_TRUE(app.start());
    TMainWindow& w = app.window();
    w.show();

    // Nothing arranged: the window closes without a question.
    QString caption;
    QTimer::singleShot(0, [&caption] {
        if (QWidget* m = QApplication::activeModalWidget()) {
            caption = m->windowTitle();
            m->close();
        }
    });
    w.action("MenuBulkBankEdit")->trigger();
    EXPECT_EQ(caption, " Knobwright - Performance-bank manager");
    EXPECT_TRUE(w.close());
    EXPECT_TRUE(dialogs.questions.empty());

    // A slot filled and not saved: asked once per attempt to quit.
    w.show();
    app.bankManager().bank().put(0, kwtest::randomRecords({0}, 1)[0], "001  x");
    dialogs.asks = {0};
    EXPECT_FALSE(w.close()) << "no answer: the program stays";
    EXPECT_TRUE(w.isVisible());
    dialogs.asks = {1};
    dialogs.files = {dir.filePath("kept").toStdString()};
    EXPECT_TRUE(w.close());
    EXPECT_EQ(QFileInfo(dir.filePath("kept.PFB")).size(), 14 + 317);
    EXPECT_EQ(dialogs.questions.size(), 2u);
    EXPECT_EQ(dialogs.questions.back(), kUnsavedBankQuestion);
    app.finish();
}

TEST_F(ApplicationTest, QuittingWithAnEditTheLibraryLacksAsksToKeepIt)
{
    store("Midi-IN", "CS1x In");
    store("Midi-OUT", "CS1x Out");
    Application app(options({"CS1x In"}, {"CS1x Out"}));
    ASSERT_TRUE(app.start());
    TMainWindow& w = app.window();
    const auto asked = [&] {
        return std::count_if(dialogs.log.begin(), dialogs.log.end(),
                             [](const std::string& l) { return l.rfind("choose:Quit Knobwright: ", 0) == 0; });
    };
    w.show();
    EXPECT_TRUE(w.close()) << "nothing edited: no question";
    EXPECT_EQ(asked(), 0);

    w.show();
    app.session().apply(*findField("FilterCutoff"), 20);
    dialogs.chooses = {2};
    EXPECT_FALSE(w.close()) << "Cancel: the program stays";
    EXPECT_EQ(asked(), 1);
    dialogs.chooses = {0};
    EXPECT_TRUE(w.close()) << "kept, then closed";
    EXPECT_EQ(asked(), 2);
    // The library holds the edit now: nothing to ask.
    w.show();
    EXPECT_TRUE(w.close());
    EXPECT_EQ(asked(), 2);
    app.finish();
}

TEST_F(ApplicationTest, ClosingDuringASendAsksThenClosesOnceThePerformanceIsThrough)
{
    store("Midi-IN", "CS1x In");
    store("Midi-OUT", "CS1x Out");
    store("LongDelay", "1");
    Application app(options({"CS1x In"}, {"CS1x Out"}));
    ASSERT_TRUE(app.start());
    TMainWindow& w = app.window();
    w.show();
    const auto storedBlocks = [&] {
        return std::count_if(log.sent.begin(), log.sent.end(), [](const Bytes& m) {
            return m.size() > 9 && m[1] == 0x43 && m[2] == 0x00 && m[6] >= 0x70 && m[7] == 4;
        });
    };
    // "Save changes to User-Perf" into performance 5: seven blocks, 100 ms apart.
    dialogs.userPerfs = {4};
    w.action("SaveToSynth")->trigger();
    QTest::qWait(150);
    ASSERT_GT(storedBlocks(), 0);
    ASSERT_LT(storedBlocks(), 7);
    dialogs.confirms = {false};
    EXPECT_FALSE(w.close()) << "No: the program stays and the send goes on";
    EXPECT_EQ(dialogs.questions.back(), w.windowTitle().toStdString() + ": " + kQuitDuringTransferQuestion);
    dialogs.confirms = {true};
    EXPECT_FALSE(w.close()) << "Yes: it closes once the performance in flight is through";
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }, 5000));
    EXPECT_EQ(storedBlocks(), 7);
    EXPECT_EQ(dialogs.questions.size(), 2u);
    app.finish();
}

TEST_F(ApplicationTest, TheMidiMonitorShowsEveryMessageWithItsMeaningPausesFiltersClearsAndSaves)
{
    store("Midi-IN", "CS1x In");
    store("Midi-OUT", "CS1x Out");
    store("FetchWhenFound", "0");  // the greeting's reply fetches nothing
    Application app(options({"CS1x In"}, {"CS1x Out"}));
    ASSERT_TRUE(app.start());
    app.window().show();
    app.window().action("MenuViewMidiMonitor")->trigger();
    MidiMonitorWindow* monitor = app.midiMonitor();
    ASSERT_TRUE(monitor && monitor->isVisible());
    auto* list = monitor->findChild<QTableView*>("MidiMonitorList");
    QAbstractItemModel& rows = *list->model();
    const auto cell = [&](int row, int column) { return rows.index(row, column).data().toString().toStdString(); };
    const auto control = [&](const char* name) { return monitor->findChild<QWidget*>(name); };
    const auto settled = [&] {
        QCoreApplication::processEvents();  // input comes through the event loop
        monitor->model().flush();           // rows come in batches
    };

    // A control moved: its message goes out and the list says what it is.
    app.window().findChild<QSlider*>("FilterCutoff")->setValue(10);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rows.rowCount() == 1; }, 2000));
    EXPECT_EQ(cell(0, MidiMonitorModel::DirectionColumn), "Out");
    EXPECT_EQ(cell(0, MidiMonitorModel::BytesColumn), kwtest::hex(log.sent.back()));
    EXPECT_EQ(cell(0, MidiMonitorModel::MeaningColumn), "Parameter change layer 1 Filter Cutoff 53");
    log.input(Bytes(std::begin(msg::kIdentityReply), std::end(msg::kIdentityReply)));
    log.input(kwtest::bytes("90 3C 64"));
    settled();
    ASSERT_EQ(rows.rowCount(), 3);
    EXPECT_EQ(cell(1, MidiMonitorModel::DirectionColumn) + " " + cell(1, MidiMonitorModel::MeaningColumn),
              "In Identity reply CS1x");
    EXPECT_EQ(cell(2, MidiMonitorModel::MeaningColumn), "Note on ch 1 C3 velocity 100");

    // Paused, nothing is added.
    QTest::mouseClick(static_cast<QAbstractButton*>(control("MidiMonitorPause")), Qt::LeftButton);
    log.input(kwtest::bytes("90 3E 64"));
    app.window().findChild<QSlider*>("FilterCutoff")->setValue(20);
    settled();
    EXPECT_EQ(rows.rowCount(), 3);
    QTest::mouseClick(static_cast<QAbstractButton*>(control("MidiMonitorPause")), Qt::LeftButton);

    // The filter, and the SysEx it shows saved: exactly those messages.
    static_cast<QComboBox*>(control("MidiMonitorFilter"))->setCurrentIndex(2);  // notes
    EXPECT_EQ(rows.rowCount(), 1);
    static_cast<QComboBox*>(control("MidiMonitorFilter"))->setCurrentIndex(1);  // SysEx
    ASSERT_EQ(rows.rowCount(), 2);
    Bytes shown = kwtest::bytes(cell(0, MidiMonitorModel::BytesColumn));
    const Bytes reply = kwtest::bytes(cell(1, MidiMonitorModel::BytesColumn));
    shown.insert(shown.end(), reply.begin(), reply.end());
    dialogs.files = {dir.filePath("shown").toStdString()};
    QTest::mouseClick(static_cast<QAbstractButton*>(control("MidiMonitorSave")), Qt::LeftButton);
    QFile saved(dir.filePath("shown.syx"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), QByteArray(reinterpret_cast<const char*>(shown.data()), qsizetype(shown.size())));
    QTest::mouseClick(static_cast<QAbstractButton*>(control("MidiMonitorCopy")), Qt::LeftButton);
    EXPECT_EQ(QApplication::clipboard()->text().count(QLatin1Char('\n')), 2);
    EXPECT_TRUE(QApplication::clipboard()->text().contains("\tOut\tF0 43 10 4B 60 01 11 75 F7\tParameter change"));

    // A voice is named by the bank its layer was in when the message came,
    // and keeps that name when the bank changes after.
    static_cast<QComboBox*>(control("MidiMonitorFilter"))->setCurrentIndex(0);
    QTest::mouseClick(static_cast<QAbstractButton*>(control("MidiMonitorClear")), Qt::LeftButton);
    auto* voices = app.window().findChild<QListWidget*>("PatchVoiceNumber");
    const std::string voice = voices->item(5)->text().toStdString();
    log.input(kwtest::bytes("F0 43 10 4B 60 01 02 05 F7"));
    settled();
    ASSERT_EQ(rows.rowCount(), 1);
    EXPECT_EQ(cell(0, MidiMonitorModel::MeaningColumn), "Parameter change layer 1 Patch Voice Number " + voice);
    auto* bank = app.window().findChild<QComboBox*>("PatchBankNumber");
    bank->setCurrentIndex(bank->currentIndex() + 1);
    emit bank->activated(bank->currentIndex());
    ASSERT_NE(voices->item(5)->text().toStdString(), voice);
    settled();
    EXPECT_EQ(cell(0, MidiMonitorModel::MeaningColumn), "Parameter change layer 1 Patch Voice Number " + voice);

    // Cleared, then flooded: the last 10,000 messages stay.
    QTest::mouseClick(static_cast<QAbstractButton*>(control("MidiMonitorClear")), Qt::LeftButton);
    EXPECT_EQ(rows.rowCount(), 0);
    const int flood = MidiMonitorModel::kCapacity + 50;
    for (int i = 0; i < flood; ++i)
        log.input(Bytes{0x90, uint8_t(i & 0x7F), uint8_t(1 + (i >> 7))});
    ASSERT_TRUE(QTest::qWaitFor([&] { return rows.rowCount() == MidiMonitorModel::kCapacity
                                             && cell(rows.rowCount() - 1, MidiMonitorModel::BytesColumn) == "90 41 4F"; },
                                10000));
    EXPECT_EQ(cell(0, MidiMonitorModel::BytesColumn), "90 32 01") << "the 51st";
    app.finish();
}

TEST_F(ApplicationTest, TheWindowComesBackWhereItStoodUnlessThatIsOffEveryScreen)
{
    kwtest::qtApp();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    struct Case {
        const char* left;
        const char* top;
        bool kept;  // else: centred on the screen
    };
    const Case cases[] = {{"40", "50", true}, {"5000", "5000", false}, {"-3000", "20", false}, {"100", "-400", false}};
    // Two monitors, the second left of the first; then the second unplugged.
    const QList<QRect> two{QRect(0, 0, 1920, 1080), QRect(-1280, 0, 1280, 1024)};
    EXPECT_EQ(keptOnScreen({-1000, 100}, {1000, 700}, two), QPoint(-1000, 100));
    EXPECT_EQ(keptOnScreen({-1270, -5}, {1000, 700}, two), QPoint(-1270, 0)) << "the title bar within reach";
    EXPECT_EQ(keptOnScreen({-1000, 100}, {1000, 700}, two.mid(0, 1)), QPoint(460, 190));
    // Tool windows open beside the main window, inside its screen.
    const QRect desk(0, 0, 1920, 1080), small(0, 0, 1024, 738);
    EXPECT_EQ(besideWithin({1040, 720}, QRect(0, 30, 860, 650), desk), QRect(860, 30, 1040, 720)) << "right of it";
    EXPECT_EQ(besideWithin({1040, 720}, QRect(1060, 30, 860, 650), desk), QRect(20, 30, 1040, 720)) << "left of it";
    EXPECT_EQ(besideWithin({1040, 720}, QRect(1000, 30, 860, 650), desk), QRect(880, 30, 1040, 720)) << "no room: at the edge";
    EXPECT_EQ(besideWithin({1040, 720}, QRect(0, 100, 1024, 700), small), QRect(0, 18, 1024, 720))
        << "shrunk to the screen, over the main window";
    for (const Case& c : cases) {
        {
            QSettings s(ini(), QSettings::IniFormat);
            s.setValue("Window/Left", c.left);
            s.setValue("Window/Top", c.top);
        }
        Application app(options({"In"}, {"Out"}));
        ASSERT_TRUE(app.start());
        app.window().show();
        const QPoint at = app.window().pos();
        if (c.kept) {
            EXPECT_EQ(at, QPoint(std::atoi(c.left), std::atoi(c.top)));
        } else {
            EXPECT_TRUE(screen.contains(at)) << c.left << "," << c.top << " -> " << at.x() << "," << at.y();
            // Centred as the window's size was known before it showed: within
            // the window manager's frame of the middle.
            EXPECT_LE(std::abs(at.x() + app.window().frameGeometry().width() / 2 - screen.center().x()), 8);
        }
        // Moved by the user, the window is found there next time.
        app.window().move(60, 70);
        app.finish();
        QSettings s(ini(), QSettings::IniFormat);
        EXPECT_EQ(s.value("Window/Left").toString(), "60");
        EXPECT_EQ(s.value("Window/Top").toString(), "70");
        s.beginGroup("CS1x");
        EXPECT_EQ(s.allKeys().size(), 11) << "the eleven stay eleven";
    }
}
