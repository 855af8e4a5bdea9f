// A synth that floods the editor while a box raised by its own input is up:
// the whole program offscreen on a fake MIDI device, the identity reply
// first (its "CS1x responding..." box comes up), then notes, the cutoff knob
// and pitch bend at a steady rate from a driver thread, the box left up
// until the flood ends and then closed as a user would.
//   handled under the box  share of the flood handled while the box was up
//   stall, box closed      the longest the event loop stood still from the
//                          close until everything that came in was handled
//   catch-up, box closed   how long that took
//   memory growth          Private_Dirty at the end of the flood minus before it
//   worst stall, flood     the longest the event loop stood still during the flood
// Then View › MIDI monitor is opened and the same flood comes again, without
// a box, for --monitor-seconds (default 10):
//   worst stall, monitor   the longest the event loop stood still meanwhile
//   monitor, per message   what a message costs the open monitor: taken in,
//                          made a row in its batch, the list repainted
//                          (100,000 messages, batches of 500 as at 10,000/s)
//
//   bench_box_flood [--rate MSGS_PER_S] [--seconds S] [--monitor-seconds S] [--json FILE] [--quiet]

#include "BenchKit.h"
#include "editor/MainWindow.h"
#include "editor/MidiMonitorWindow.h"
#include "midi/Messages.h"
#include "midi/MidiCore.h"
#include "midi/MidiSession.h"
#include "shell/Application.h"
#include "support/FakeBackend.h"
#include "support/ShownBoxes.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using kwtest::shownBoxes;

using kwbench::hasFlag;
using kwbench::intArg;
using kwbench::number;
using kwbench::privateDirtyKb;
using kwbench::stringArg;

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t0, Clock::time_point t1 = Clock::now())
{
    return std::chrono::duration<double, std::milli>(t1 - t0).count();
}

// The longest gap between turns of the event loop since the last reset.
class Heartbeat {
public:
    Heartbeat()
    {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const auto now = Clock::now();
            worst_ = std::max(worst_, msSince(last_, now));
            last_ = now;
        });
        timer_.start(1);
        reset();
    }
    void reset()
    {
        last_ = Clock::now();
        worst_ = 0;
    }
    double worst() const { return std::max(worst_, msSince(last_)); }

private:
    QTimer timer_;
    Clock::time_point last_;
    double worst_ = 0;
};


} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", KW_OFFSCREEN_DESK);  // the whole window on the screen
    QApplication qt(argc, argv);
    const int rate = intArg(argc, argv, "--rate", 10000);
    const int seconds = intArg(argc, argv, "--seconds", 20);
    const long total = long(rate) * seconds;

    QTemporaryDir dir;
    {
        QSettings s(dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
        s.beginGroup(QStringLiteral("CS1x"));
        s.setValue(QStringLiteral("Midi-IN"), QStringLiteral("CS1x In"));
        s.setValue(QStringLiteral("Midi-OUT"), QStringLiteral("CS1x Out"));
        s.setValue(QStringLiteral("SynthKnobs"), QStringLiteral("1"));
        s.setValue(QStringLiteral("ProgramChanges"), QStringLiteral("0"));
        // The fake device answers no dump request: a fetch on its greeting
        // would only wait for its time-outs.
        s.setValue(QStringLiteral("FetchWhenFound"), QStringLiteral("0"));
    }
    kwtest::FakeBackend::Log log;
    kw::Application::Options o;
    o.settingsFile = dir.filePath(QStringLiteral("settings.ini"));
    std::vector<std::unique_ptr<kw::MidiBackend>> backends;
    backends.push_back(std::make_unique<kwtest::FakeBackend>(std::vector<std::string>{"CS1x In"},
                                                             std::vector<std::string>{"CS1x Out"}, log));
    o.backends = std::move(backends);
    kw::Application app(std::move(o));
    if (!app.start())
        return 1;
    app.window().show();
    long handled = 0;
    app.midi().ports().setInputSink([&](const kw::Bytes& m) {
        ++handled;
        app.core().dispatcher.handle(m);
    });
    {
        QEventLoop settle;
        QTimer::singleShot(200, &settle, &QEventLoop::quit);
        settle.exec();
    }

    const long kbBefore = privateDirtyKb();
    // The identity reply first: its box comes up while the flood runs.
    log.input(kw::ByteView(kw::msg::kIdentityReply, sizeof kw::msg::kIdentityReply));
    // `count` messages at the rate from a driver thread: notes, the cutoff
    // knob and pitch bend in turn.
    const auto flood = [&](long count, std::atomic<bool>& done) {
        return std::thread([&log, &done, rate, count] {
            const auto start = Clock::now();
            long sent = 0;
            for (int ms = 1; sent < count; ++ms) {
                std::this_thread::sleep_until(start + std::chrono::milliseconds(ms));
                const long due = std::min(count, long(double(rate) * ms / 1000.0));
                for (; sent < due; ++sent) {
                    const uint8_t v = uint8_t(sent & 0x7F);
                    uint8_t m[3] = {0x90, v, 100};
                    if (sent % 3 == 1)
                        m[0] = 0xB0, m[1] = 74, m[2] = v;
                    else if (sent % 3 == 2)
                        m[0] = 0xE0, m[1] = 0, m[2] = v;
                    log.input(kw::ByteView(m, 3));
                }
            }
            done = true;
        });
    };
    std::atomic<bool> fed{false};
    std::thread feeder = flood(total, fed);

    Heartbeat beat;
    bool boxSeen = false;
    long handledAtBox = 0, handledUnderBox = 0;
    int mostBoxes = 0;
    long kbAtEnd = 0;
    double floodStall = 0, closeStall = 0, catchUp = 0;
    Clock::time_point closedAt;
    bool closed = false;
    QEventLoop loop;
    QTimer boxWatch;
    QObject::connect(&boxWatch, &QTimer::timeout, [&] {
        const std::vector<QMessageBox*> boxes = shownBoxes();
        mostBoxes = std::max(mostBoxes, int(boxes.size()));
        if (!boxSeen && !boxes.empty()) {
            boxSeen = true;
            handledAtBox = handled;
        }
        if (!closed && fed && boxSeen) {
            handledUnderBox = handled - handledAtBox;
            kbAtEnd = privateDirtyKb();
            floodStall = beat.worst();
            closed = true;
            closedAt = Clock::now();
            beat.reset();
            // A box run by exec() is closed inside its own event loop; the
            // rest goes on when it returns.
            for (QMessageBox* b : boxes)
                b->buttons().front()->click();
            return;
        }
        if (closed && handled >= total + 1) {
            catchUp = msSince(closedAt);
            closeStall = beat.worst();
            loop.quit();
        }
    });
    boxWatch.start(5);
    QTimer::singleShot((seconds + 120) * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    boxWatch.stop();
    feeder.join();

    // The same flood with the MIDI monitor open.
    const int monitorSeconds = intArg(argc, argv, "--monitor-seconds", 10);
    const long monitorTotal = long(rate) * monitorSeconds;
    app.window().action("MenuViewMidiMonitor")->trigger();
    kw::MidiMonitorWindow& window = *app.midiMonitor();
    const long handledBefore = handled;
    std::atomic<bool> fedAgain{false};
    beat.reset();
    std::thread again = flood(monitorTotal, fedAgain);
    QEventLoop monitored;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (handled - handledBefore >= monitorTotal)
            monitored.quit();
    });
    watch.start(5);
    QTimer::singleShot((monitorSeconds + 120) * 1000, &monitored, &QEventLoop::quit);
    monitored.exec();
    const double monitorStall = beat.worst();
    again.join();
    window.model().flush();
    const int lines = window.model().rowCount();

    // What a message costs the open monitor, batches and repaints included.
    constexpr int kMessages = 100000;
    const int kBatch = std::max(1, rate * kw::MidiMonitorModel::kBatchMs / 1000);
    // The processor time of this thread, so that other programs on the
    // machine do not count.
    const auto cpuMs = [] {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
    };
    const uint8_t note[3] = {0x90, 0x3C, 0x64};
    const double cpu0 = cpuMs();
    for (int i = 0; i < kMessages; ++i) {
        window.model().record(kw::Direction::In, kw::ByteView(note, 3));
        if ((i + 1) % kBatch == 0) {
            window.model().flush();
            QCoreApplication::processEvents();
        }
    }
    const double perMessageUs = (cpuMs() - cpu0) * 1000.0 / kMessages;

    const double share = boxSeen ? 100.0 * double(handledUnderBox) / double(total) : 0;
    const std::string floodText = std::to_string(rate) + " msgs/s for " + std::to_string(seconds) + " s";
    auto one = [](double v) { return kwbench::Stats{v, v, v, 1}; };
    const std::vector<kwbench::Row> rows = {
        {"flood handled under a box", "%", one(share), std::nullopt, false, floodText},
        {"worst stall, flood under a box", "ms", one(floodStall), 16.0, true, ""},
        {"stall after the box closes", "ms", one(closeStall), 16.0, true, "until all input is handled"},
        {"catch-up after the box closes", "ms", one(catchUp), std::nullopt, false, ""},
        {"memory growth, flood under a box", "MB", one(double(kbAtEnd - kbBefore) / 1024.0), std::nullopt, false,
         "Private_Dirty; " + std::to_string(mostBoxes) + " box(es) up at most"},
        {"worst stall, flood, MIDI monitor", "ms", one(monitorStall), 16.0, true,
         std::to_string(rate) + " msgs/s for " + std::to_string(monitorSeconds) + " s; " + std::to_string(lines)
             + " lines"},
        {"MIDI monitor, per message", "us", one(perMessageUs), 5.0, false, "processor time; window open, batches of " + std::to_string(kBatch)},
    };
    const int status = kwbench::report(argc, argv, "bench_box_flood", rows);
    app.finish();
    return status;
}
