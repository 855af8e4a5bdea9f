// Wall time of one whole performance fetch (seven request/reply rounds with
// the transfer pause before each follow-up request) against the in-process
// virtual CS1x, with the real Qt timers: long pause (100 ms) and short (10 ms).

#include "midi/MidiCore.h"
#include "midi/Ui.h"
#include "midi/MidiPorts.h"
#include "midi/QtScheduler.h"
#include "midi/VirtualBackend.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include "QtBenchmarkMain.h"

#include <benchmark/benchmark.h>

namespace {

class CountingUi : public kw::Ui {
public:
    int refreshes = 0;
    void showStatus(const std::string&) override {}
    void setLamp(kw::Lamp, bool) override {}
    void messageBox(const std::string&) override {}
    void setBusy(bool) override {}
    void refreshAll() override { ++refreshes; }
    void refreshLayerPage() override {}
    void selectUserPerf(int) override {}
    void setUserPerfEntry(int, const std::string&) override {}
    void followKnob(const std::string&, int) override {}
};

void BM_PerformanceFetch(benchmark::State& state)
{
    kw::Settings settings;
    settings.midiIn = settings.midiOut = kw::kVirtualDeviceName;
    settings.longDelay = state.range(0) != 0;
    kw::QtScheduler sched;
    std::vector<std::unique_ptr<kw::MidiBackend>> backends;
    backends.push_back(std::make_unique<kw::VirtualBackend>(sched, QString()));
    kw::MidiPorts ports(settings, std::move(backends), {});
    kw::PerformanceImage img;
    kw::EditorState st;
    kw::setDefaults(img, st);
    kw::Senders senders(img, st, ports.output());
    CountingUi ui;
    kw::MidiCore core(senders, ui, sched, settings);
    ports.setInputSink([&](const kw::Bytes& m) { core.dispatcher.handle(m); });
    if (!ports.deviceCheck(senders) || !ports.outputOpen()) {
        state.SkipWithError("virtual CS1x did not open");
        return;
    }
    QEventLoop settle;
    QTimer::singleShot(200, &settle, &QEventLoop::quit);
    settle.exec();

    int pp = 0;
    for (auto _ : state) {
        const int before = ui.refreshes;
        senders.selectUserPerformance(pp);
        core.receiver.startPerformanceFetch();
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (ui.refreshes > before)
                loop.quit();
        });
        poll.start(1);
        loop.exec();
        pp = (pp + 1) % 128;
    }
    state.counters["pauses_ms"] = 6.0 * settings.transferPause();
}
BENCHMARK(BM_PerformanceFetch)->Arg(1)->Arg(0)->ArgName("long")->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) { return kwbench::runWithQt(argc, argv); }
