// Wall time of one whole performance fetch (seven request/reply rounds with
// the transfer pause before each follow-up request) against the in-process
// virtual CS1x, with the real timers, long pause (100 ms) and short (10 ms),
// beside its honest floor: the six pauses plus every byte of the requests
// and replies at 31,250 baud (the virtual CS1x answers after that time, as a
// synth on a cable would).
//
//   bench_fetch [--fetches N] [--json FILE] [--quiet]

#include "BenchKit.h"
#include "midi/Messages.h"
#include "midi/MidiCore.h"
#include "midi/MidiPorts.h"
#include "midi/QtScheduler.h"
#include "midi/Ui.h"
#include "midi/VirtualBackend.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

// Quits its loop the moment the fetched performance is shown.
class FetchUi : public kw::Ui {
public:
    std::function<void()> onRefresh;
    void showStatus(const std::string&) override {}
    void setLamp(kw::Lamp, bool) override {}
    void messageBox(const std::string&) override {}
    void setBusy(bool) override {}
    void refreshAll() override
    {
        if (onRefresh)
            onRefresh();
    }
    void refreshLayerPage() override {}
    void showImage() override {}
    void selectUserPerf(int) override {}
    void setUserPerfEntry(int, const std::string&) override {}
    void followKnob(const std::string&, int) override {}
};

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

kwbench::Row fetchRow(bool longPause, int fetches)
{
    kw::Settings settings;
    settings.midiIn = settings.midiOut = kw::kVirtualDeviceName;
    settings.longDelay = longPause;
    kw::QtScheduler sched;
    std::vector<std::unique_ptr<kw::MidiBackend>> backends;
    backends.push_back(std::make_unique<kw::VirtualBackend>(sched, QString()));
    kw::MidiPorts ports(settings, std::move(backends), {});
    kw::PerformanceImage img;
    kw::EditorState st;
    kw::setDefaults(img, st);
    kw::Senders senders(img, st, ports.output());
    FetchUi ui;
    kw::MidiCore core(senders, ui, sched, settings);
    size_t replyBytes = 0;
    long replies = 0;
    const bool debug = qEnvironmentVariableIsSet("KW_BENCH_DEBUG");
    Clock::time_point debugStart;
    ports.setInputSink([&](const kw::Bytes& m) {
        if (m.size() > 11 && m[0] == 0xF0) {
            replyBytes += m.size();
            ++replies;
            if (debug)
                std::fprintf(stderr, " reply %ld (%zu bytes) at %.3f ms\n", replies, m.size(),
                             std::chrono::duration<double, std::milli>(Clock::now() - debugStart).count());
        }
        core.dispatcher.handle(m);
    });
    const std::string name = std::string("fetch, ") + (longPause ? "long" : "short") + " pause";
    if (!ports.deviceCheck(senders) || !ports.outputOpen())
        return {name + ": the virtual CS1x did not open", "ms", {}, std::nullopt, false, ""};
    runFor(200);  // the greeting is through

    const size_t requestBytes = kw::msg::dumpRequest(kw::BlockKind::Common00).size();
    std::vector<double> wall, ratio;
    double floorMs = 0;
    for (int i = 0; i < fetches; ++i) {
        senders.selectUserPerformance(i % 128);
        runFor(20);  // the program change is not part of the fetch
        replyBytes = 0;
        replies = 0;
        std::optional<Clock::time_point> done;
        QEventLoop loop;
        ui.onRefresh = [&] {
            done = Clock::now();
            loop.quit();
        };
        const Clock::time_point start = Clock::now();
        debugStart = start;
        core.receiver.startPerformanceFetch();
        if (!done)
            loop.exec();
        ui.onRefresh = {};
        const double ms = std::chrono::duration<double, std::milli>(*done - start).count();
        const double wireMs =
            double(replyBytes + size_t(replies) * requestBytes) * double(kw::kMidiByteMicros) / 1000.0;
        floorMs = 6.0 * settings.transferPause() + wireMs;
        wall.push_back(ms);
    }
    return {name, "ms", kwbench::stats(wall), floorMs, false,
            "floor: 6 pauses + every byte at 31,250 baud"};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int fetches = kwbench::intArg(argc, argv, "--fetches", 20);
    std::vector<kwbench::Row> rows;
    for (bool longPause : {true, false})
        rows.push_back(fetchRow(longPause, fetches));
    return kwbench::report(argc, argv, "bench_fetch", rows);
}
