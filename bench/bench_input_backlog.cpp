// A backlog of MIDI input against the event loop: 200,000 short messages
// queued at once (a synth that kept sending while the editor was busy) are
// handled by the real dispatcher, timers and lamps, in slices, while a 1 ms
// heartbeat timer measures how long the event loop was kept from running.
// Also the cost of restarting a lamp timer, which every message does.

#include "midi/InputQueue.h"
#include "midi/MidiCore.h"
#include "midi/QtScheduler.h"
#include "midi/Ui.h"
#include "model/Settings.h"
#include "support/RecordingPort.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include "QtBenchmarkMain.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>

namespace {

long residentKb()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * 4;
}

class NullUi : public kw::Ui {
public:
    long statuses = 0;
    void showStatus(const std::string&) override { ++statuses; }
    void setLamp(kw::Lamp, bool) override {}
    void messageBox(const std::string&) override {}
    void setBusy(bool) override {}
    void refreshAll() override {}
    void refreshLayerPage() override {}
    void showImage() override {}
    void selectUserPerf(int) override {}
    void setUserPerfEntry(int, const std::string&) override {}
    void followKnob(const std::string&, int) override {}
};

void BM_InputBacklog(benchmark::State& state)
{
    const int count = int(state.range(0));
    kw::Settings settings;
    kw::PerformanceImage img;
    kw::EditorState st;
    kw::setDefaults(img, st);
    kwtest::RecordingPort port;
    kw::Senders senders(img, st, port);
    NullUi ui;
    kw::QtScheduler sched;
    kw::MidiCore core(senders, ui, sched, settings);
    kw::UiHop hop;
    long handled = 0;
    kw::InputQueue queue(hop.poster(), [&](kw::InputItem& item) {
        core.dispatcher.handle(item.bytes);
        ++handled;
    });

    double maxGapMs = 0, totalMs = 0;
    for (auto _ : state) {
        handled = 0;
        // Notes, the cutoff knob and pitch bend, as a busy player sends them.
        for (int i = 0; i < count; ++i) {
            const uint8_t v = uint8_t(i & 0x7F);
            switch (i % 3) {
            case 0: queue.push({0, kw::Bytes{0x90, v, 100}}); break;
            case 1: queue.push({0, kw::Bytes{0xB0, 74, v}}); break;
            default: queue.push({0, kw::Bytes{0xE0, 0, v}}); break;
            }
        }
        const long rssBefore = residentKb();
        QElapsedTimer wall, sinceTick;
        wall.start();
        sinceTick.start();
        double gap = 0;
        QTimer heartbeat;
        heartbeat.setTimerType(Qt::PreciseTimer);
        QObject::connect(&heartbeat, &QTimer::timeout, [&] {
            gap = std::max(gap, double(sinceTick.nsecsElapsed()) / 1e6);
            sinceTick.restart();
        });
        heartbeat.start(1);
        QEventLoop loop;
        QTimer done;
        QObject::connect(&done, &QTimer::timeout, &loop, [&] {
            if (handled >= count)
                loop.quit();
        });
        done.start(1);
        loop.exec();
        totalMs = double(wall.nsecsElapsed()) / 1e6;
        state.counters["rss_growth_kb"] = double(residentKb() - rssBefore);
        maxGapMs = std::max(maxGapMs, gap);
    }
    state.counters["messages"] = count;
    state.counters["total_ms"] = totalMs;
    state.counters["msgs_per_s"] = count / (totalMs / 1000.0);
    state.counters["max_loop_gap_ms"] = maxGapMs;
}
BENCHMARK(BM_InputBacklog)->Arg(200000)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// The Qt scheduler's own timer: one QTimer, left alone by a later restart.
void BM_LampRestart(benchmark::State& state)
{
    kw::QtScheduler sched;
    int fired = 0;
    auto lamp = sched.timer([&] { ++fired; });
    for (auto _ : state)
        lamp->start(50);
    benchmark::DoNotOptimize(fired);
}
BENCHMARK(BM_LampRestart);

// For comparison, a timer made of single shots: a new QTimer per restart
// (what every lamp, status and time-out restart used to cost), deleted only
// once the event loop runs again.
void BM_LampRestartBySingleShots(benchmark::State& state)
{
    kw::QtScheduler sched;
    int fired = 0;
    auto lamp = sched.kw::Scheduler::timer([&] { ++fired; });
    const long rssBefore = residentKb();
    for (auto _ : state)
        lamp->start(50);
    state.counters["rss_growth_kb"] = double(residentKb() - rssBefore);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    benchmark::DoNotOptimize(fired);
}
BENCHMARK(BM_LampRestartBySingleShots);

} // namespace

int main(int argc, char** argv) { return kwbench::runWithQt(argc, argv); }
