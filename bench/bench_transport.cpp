// Round trip of a 57-byte dump request/reply (common 00 of the edit buffer)
// between our RtMidi JACK backend and knobwright-sim. Needs a JACK server
// with the simulator on it; tests/e2e/run_e2e.sh sets one up:
//   tests/e2e/run_e2e.sh build/src/knobwright-sim build/bench/bench_transport
// Without them the benchmark reports that it skipped.

#include "midi/InputAssembler.h"
#include "midi/Messages.h"
#include "midi/RtMidiBackend.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

namespace {

void BM_DumpRoundTripJack(benchmark::State& state)
{
    const char* portEnv = std::getenv("KW_SIM_PORT");
    const std::string port = portEnv ? portEnv : "knobwright-sim:Virtual CS1x";
    auto jack = kw::backendByName("jack");
    if (!jack) {
        state.SkipWithError("RtMidi has no JACK support here");
        return;
    }
    std::mutex m;
    std::condition_variable cv;
    size_t replies = 0;
    size_t lastLength = 0;
    kw::InputAssembler assembler({[&](kw::Bytes msg) {
                                      std::lock_guard lock(m);
                                      lastLength = msg.size();
                                      ++replies;
                                      cv.notify_one();
                                  },
                                  {}});
    auto in = jack->openInput(port, 0, [&](kw::ByteView b) { assembler.feed(b); });
    auto out = jack->openOutput(port, 0);
    if (!in.port || !out.port) {
        state.SkipWithError("no JACK server with knobwright-sim running");
        return;
    }
    const kw::Bytes request = kw::msg::dumpRequest(kw::BlockKind::Common00);
    for (auto _ : state) {
        std::unique_lock lock(m);
        const size_t before = replies;
        out.port->send(request);
        // The benchmark thread may wait; the editor never does.
        if (!cv.wait_for(lock, std::chrono::seconds(2), [&] { return replies > before; })) {
            state.SkipWithError("no reply within 2 s");
            break;
        }
        if (lastLength != 57) {
            state.SkipWithError("reply of the wrong length");
            break;
        }
    }
    state.SetLabel("57-byte reply");
}
BENCHMARK(BM_DumpRoundTripJack)->Unit(benchmark::kMillisecond)->Iterations(100)->UseRealTime();

} // namespace
