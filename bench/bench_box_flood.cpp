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
//
//   bench_box_flood [--rate MSGS_PER_S] [--seconds S] [--json FILE] [--quiet]

#include "BenchKit.h"
#include "editor/MainWindow.h"
#include "midi/Messages.h"
#include "midi/MidiCore.h"
#include "midi/MidiSession.h"
#include "shell/Application.h"
#include "support/FakeBackend.h"
#include "support/ShownBoxes.h"

#include <QAbstractButton>
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
    std::atomic<bool> fed{false};
    std::thread feeder([&] {
        const auto start = Clock::now();
        long sent = 0;
        for (int ms = 1; sent < total; ++ms) {
            std::this_thread::sleep_until(start + std::chrono::milliseconds(ms));
            const long due = std::min(total, long(double(rate) * ms / 1000.0));
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
        fed = true;
    });

    Heartbeat beat;
    bool boxSeen = false;
    long handledAtBox = 0, handledUnderBox = 0;
    int mostBoxes = 0;
    long kbAtEnd = 0;
    double floodStall = 0, closeStall = 0, catchUp = 0;
    Clock::time_point closedAt;
    bool closed = false;
    QEventLoop loop;
    QTimer monitor;
    QObject::connect(&monitor, &QTimer::timeout, [&] {
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
    monitor.start(5);
    QTimer::singleShot((seconds + 120) * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    feeder.join();

    const double share = boxSeen ? 100.0 * double(handledUnderBox) / double(total) : 0;
    const std::string flood = std::to_string(rate) + " msgs/s for " + std::to_string(seconds) + " s";
    auto one = [](double v) { return kwbench::Stats{v, v, v, 1}; };
    const std::vector<kwbench::Row> rows = {
        {"flood handled under a box", "%", one(share), std::nullopt, false, flood},
        {"worst stall, flood under a box", "ms", one(floodStall), 16.0, true, ""},
        {"stall after the box closes", "ms", one(closeStall), 16.0, true, "until all input is handled"},
        {"catch-up after the box closes", "ms", one(catchUp), std::nullopt, false, ""},
        {"memory growth, flood under a box", "MB", one(double(kbAtEnd - kbBefore) / 1024.0), std::nullopt, false,
         "Private_Dirty; " + std::to_string(mostBoxes) + " box(es) up at most"},
    };
    const int status = kwbench::report(argc, argv, "bench_box_flood", rows);
    app.finish();
    return status;
}
