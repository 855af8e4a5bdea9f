// The window's boxes against what the synth sends, with the real input path
// (driver side, input queue, event loop) and real time: a box the input
// raises holds nothing up, a storm of errors gets one box, and a dialog the
// user is answering keeps the performance as it is until it closes.

#include "editor/MainWindow.h"
#include "midi/MidiCore.h"
#include "midi/MidiPorts.h"
#include "midi/QtScheduler.h"
#include "midi/VirtualCs1x.h"
#include "session/Links.h"
#include "shell/QtDialogs.h"
#include "support/MainWindowFixture.h"
#include "support/ShownBoxes.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

#include <random>

using namespace kw;

namespace {

using kwtest::shownBoxes;

// A CS1x on a loopback cable: what the editor sends goes into a virtual
// CS1x and its answers come straight back through the input port, the way a
// driver hands them over; the test can put anything else on the input too.
class LoopbackSynth : public MidiBackend {
public:
    VirtualCs1x synth;
    RawInput input;
    // Changes a bulk dump on its way back (a cable that garbles them).
    std::function<void(Bytes&)> spoil;
    int dumpRequests = 0;

    std::string apiName() const override { return "Loopback"; }
    std::vector<std::string> inputNames() override { return {"Synth"}; }
    std::vector<std::string> outputNames() override { return {"Synth"}; }
    Opened<BackendInput> openInput(const std::string&, int, RawInput sink) override
    {
        input = std::move(sink);
        return {std::make_unique<In>(*this), MidiResult::Ok};
    }
    Opened<BackendOutput> openOutput(const std::string&, int) override
    {
        return {std::make_unique<Out>(*this), MidiResult::Ok};
    }
    void send(const Bytes& m)
    {
        if (input)
            input(m);
    }

private:
    struct In : BackendInput {
        explicit In(LoopbackSynth& s) : s(s) {}
        int close() override
        {
            s.input = {};
            return MidiResult::Ok;
        }
        LoopbackSynth& s;
    };
    struct Out : BackendOutput {
        explicit Out(LoopbackSynth& s) : s(s) {}
        int send(ByteView m) override
        {
            if (m.size() == 8 && m[2] == 0x20)
                ++s.dumpRequests;
            for (Bytes reply : s.synth.handle(m)) {
                if (s.spoil && reply.size() > 9 && reply[1] == 0x43)
                    s.spoil(reply);
                s.send(reply);
            }
            return MidiResult::Ok;
        }
        int close() override { return MidiResult::Ok; }
        LoopbackSynth& s;
    };
};

// Looks at the boxes every millisecond: how many were up at once, and any
// box that holds the program in a loop of its own (closed at once, so a
// test of that fault fails instead of waiting for a user).
class BoxWatch {
public:
    BoxWatch()
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const auto boxes = shownBoxes();
            most = std::max(most, boxes.size());
            for (QMessageBox* b : boxes)
                if (QApplication::activeModalWidget() == b) {
                    modal.push_back(b->text().toStdString());
                    b->close();
                }
        });
        timer_.start(1);
    }
    size_t most = 0;
    std::vector<std::string> modal;

private:
    QTimer timer_;
};

struct BoxesFromInput : ::testing::Test {
    Settings settings;
    PerformanceImage image;
    EditorState state;
    LoopbackSynth* synth = nullptr;
    std::unique_ptr<MidiPorts> ports;
    std::unique_ptr<Senders> senders;
    std::unique_ptr<EditSession> session;
    QtDialogs dialogs;
    std::unique_ptr<EditorContext> ctx;
    std::unique_ptr<TMainWindow> window;
    QtScheduler sched;
    std::unique_ptr<MidiCore> core;
    std::unique_ptr<BoxWatch> watch;

    void SetUp() override
    {
        settings.midiIn = settings.midiOut = "Synth";
        settings.longDelay = false;
        std::vector<std::unique_ptr<MidiBackend>> list;
        auto backend = std::make_unique<LoopbackSynth>();
        synth = backend.get();
        list.push_back(std::move(backend));
        ports = std::make_unique<MidiPorts>(settings, std::move(list));
        senders = std::make_unique<Senders>(image, state, ports->output());
        session = std::make_unique<EditSession>(image, state, *senders);
        ctx = std::make_unique<EditorContext>(EditorContext{*session, dialogs});
        window = std::make_unique<TMainWindow>(*ctx);
        dialogs.setParent(window.get());
        core = std::make_unique<MidiCore>(*senders, *window, sched, settings);
        linkToCore(*session, *core, [this] { return ports->inputOpen(); });
        ports->setInputSink([this](const Bytes& m) { core->dispatcher.handle(m); });
        window->show();
        watch = std::make_unique<BoxWatch>();
        ASSERT_TRUE(ports->deviceCheck(*senders));
        // The greeting is the first box the synth's input raises.
        ASSERT_TRUE(QTest::qWaitFor([this] { return core->receiver.identityReply()[0] == 0xF0; }, 2000));
    }
    void TearDown() override
    {
        watch.reset();
        core.reset();
        window.reset();
    }
    template <class T = QWidget>
    T* find(const char* name) { return window->findChild<T*>(QString::fromLatin1(name)); }
    QString statusLine() { return find<QLabel>("StatusLabel")->text(); }
    void closeBoxes()
    {
        for (QMessageBox* b : shownBoxes())
            b->buttons().front()->click();
    }
    // The player picks user performance `pp` on the synth's panel.
    void pickOnSynth(int pp)
    {
        for (const Bytes& m : synth->synth.selectOnPanel(pp))
            synth->send(m);
    }
    QString synthName(int pp) const
    {
        const BulkBlock& b = synth->synth.user(pp).at(0);
        QString name;
        for (size_t i = 0; i < 8; ++i)
            name += QChar(b.data(i));
        return name;
    }
};

} // namespace

TEST_F(BoxesFromInput, InputIsHandledAndFetchesRunWhileTheSynthsBoxIsUp)
{
    const std::vector<QMessageBox*> up = shownBoxes();
    ASSERT_EQ(up.size(), 1u);
    QMessageBox* box = up[0];
    EXPECT_TRUE(box->text().startsWith("CS1x responding... Device-Code: ")) << box->text().toStdString();
    EXPECT_FALSE(box->testAttribute(Qt::WA_ShowWithoutActivating)) << "it answers the start: it takes the focus";

    // A player sweeping the cutoff knob, 10,000 messages, then a note.
    for (int i = 0; i < 10000; ++i)
        synth->send(Bytes{0xB0, 74, uint8_t(i % 128)});
    synth->send(Bytes{0xB0, 74, 100});
    synth->send(Bytes{0x99, 60, 100});
    EXPECT_TRUE(QTest::qWaitFor([&] { return statusLine() == "<10> Note-ON  [C3]  Vel 100"; }, 5000));
    EXPECT_EQ(find<QSlider>("FilterCutoff")->value(), 27);
    EXPECT_EQ(find<QLabel>("Label_FilterCutoff")->text(), "36");
    EXPECT_TRUE(box->isVisible());

    // The player picks a performance on the synth: the editor fetches it whole.
    pickOnSynth(5);
    EXPECT_TRUE(QTest::qWaitFor([&] { return state.selectedUserPerf == 5 && !window->isBusy(); }, 5000));
    EXPECT_EQ(find<QLineEdit>("PerformanceName")->text(), synthName(5));
    EXPECT_EQ(shownBoxes(), up);
    EXPECT_TRUE(watch->modal.empty()) << "a box held the input back: " << watch->modal.front();

    // Return closes it; it never reaches the list behind it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == box->buttons().front(); }, 2000));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_TRUE(shownBoxes().empty());
    QTest::qWait(50);
    EXPECT_EQ(state.selectedUserPerf, 5);
    EXPECT_TRUE(watch->modal.empty()) << "Return asked: " << watch->modal.front();
}

TEST_F(BoxesFromInput, AStormOfGarbageGetsOneBoxAndLeavesTheWindowUsable)
{
    closeBoxes();
    // Every bulk dump comes back one byte too long.
    synth->spoil = [](Bytes& m) { m.insert(m.end() - 2, 0x00); };
    std::minstd_rand rnd(5);
    QTimer burst;
    int bursts = 0;
    QObject::connect(&burst, &QTimer::timeout, [&] {
        // Stray Cn bytes among data bytes, and odd SysEx.
        Bytes garbage;
        for (int i = 0; i < 12; ++i) {
            const unsigned r = unsigned(rnd());
            if (r % 6 == 0)
                garbage.push_back(uint8_t(0xC0 | (r >> 8 & 0x0F)));
            else if (r % 6 == 1)
                garbage.insert(garbage.end(), {0xF0, 0x43, 0x00, 0x4B, 0x60, 0x00, uint8_t(r >> 12 & 0x7F), 0xF7});
            else
                garbage.push_back(uint8_t(r >> 16 & 0x7F));
        }
        synth->send(garbage);
        ++bursts;
    });
    burst.start(15);
    QTest::qWait(1500);
    burst.stop();
    EXPECT_GT(bursts, 20);
    // What garbage set off ends (a fetch gives up at the latest after two
    // request time-outs); then the window is usable.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !core->receiver.chainRunning(); }, 6000));
    QTest::qWait(50);
    EXPECT_FALSE(window->isBusy());
    EXPECT_EQ(watch->most, 1u);
    EXPECT_TRUE(watch->modal.empty()) << watch->modal.size() << " boxes ran a loop of their own";
    ASSERT_EQ(shownBoxes().size(), 1u);
    EXPECT_TRUE(shownBoxes()[0]->testAttribute(Qt::WA_ShowWithoutActivating)) << "the synth's: it takes no focus";
}

TEST_F(BoxesFromInput, TheSynthsProgramChangeWaitsForTheUsersDialog)
{
    closeBoxes();
    // The user is in a dialog (the question window, then File › Open's):
    // knobs and notes still show, the performance stays until it closes.
    const std::vector<std::function<void()>> userDialogs = {
        [&] { dialogs.ask("Save as SysEx or as bank file?", "SysEx", "Bank"); },
        [&] { dialogs.chooseOpenFile("Open Performance", "SysEx files (*.SYX *.syx)", "/"); },
    };
    int pp = 6;
    for (const auto& openDialog : userDialogs) {
        SCOPED_TRACE(pp);
        const int requestsBefore = synth->dumpRequests;
        const QString nameBefore = find<QLineEdit>("PerformanceName")->text();
        bool followed = false, busy = true, fetched = true;
        QTimer::singleShot(0, [&] {
            synth->send(Bytes{0xB0, 74, 100});
            pickOnSynth(pp);
            synth->send(Bytes{0x99, 60, uint8_t(pp)});
            followed = QTest::qWaitFor([&] { return statusLine().startsWith("<10> Note-ON"); }, 2000);
            QTest::qWait(200);
            busy = window->isBusy();
            fetched = synth->dumpRequests != requestsBefore || state.selectedUserPerf == pp;
            EXPECT_EQ(find<QSlider>("FilterCutoff")->value(), 27);
            EXPECT_EQ(find<QLineEdit>("PerformanceName")->text(), nameBefore);
            if (QWidget* w = QApplication::activeModalWidget())
                w->close();
        });
        openDialog();
        EXPECT_TRUE(followed);
        EXPECT_FALSE(busy);
        EXPECT_FALSE(fetched) << "the performance changed under the user's dialog";
        // Closed: the editor follows the synth.
        EXPECT_TRUE(QTest::qWaitFor([&] { return state.selectedUserPerf == pp && !window->isBusy(); }, 5000));
        EXPECT_EQ(find<QLineEdit>("PerformanceName")->text(), synthName(pp));
        ++pp;
    }
}
