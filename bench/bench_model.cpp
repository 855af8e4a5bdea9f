#include "midi/Senders.h"

#include <benchmark/benchmark.h>

namespace {
class NullPort : public kw::OutputPort {
public:
    bool isOpen() const override { return true; }
    int send(kw::ByteView m) override
    {
        benchmark::DoNotOptimize(m.data());
        return 0;
    }
};
} // namespace

// One knob move under affect-all: four parameter changes built and handed on.
static void BM_LayerEditAffectAll(benchmark::State& state)
{
    kw::PerformanceImage img;
    kw::EditorState st;
    kw::setDefaults(img, st);
    st.affectAll = true;
    NullPort port;
    kw::Senders s(img, st, port);
    uint8_t v = 0;
    for (auto _ : state)
        s.writeLayerField(0x11, uint8_t(v++ & 0x7F));
}
BENCHMARK(BM_LayerEditAffectAll);

// Sending a whole performance: seven stamped, checksummed blocks.
static void BM_SendWholePerformance(benchmark::State& state)
{
    kw::PerformanceImage img;
    kw::EditorState st;
    kw::setDefaults(img, st);
    NullPort port;
    kw::Senders s(img, st, port);
    for (auto _ : state)
        for (int i = 0; i < 7; ++i)
            s.bulk(kw::BlockKind(i));
}
BENCHMARK(BM_SendWholePerformance);
