// The virtual CS1x memory file: a performance is taken whole or not at all,
// the rest keeps factory data, what was taken reads back, and a file that
// could not be read whole is moved aside byte for byte, never lost.

#include "FuzzSupport.h"

#include "midi/VirtualBackend.h"
#include "support/VirtualScheduler.h"

#include <QFile>

#include <fstream>
#include <iterator>

using namespace kw;

namespace {

Bytes performance(const VirtualCs1x& s, int p)
{
    return p == 0 ? s.editBuffer().concatenated() : s.user(p - 1).concatenated();
}

Bytes fileBytes(const std::filesystem::path& path)
{
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), {});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const ByteView bytes(data, size);
    static const VirtualCs1x factory;
    VirtualCs1x synth;
    const MemoryLoad load = synth.loadMemoryImage(bytes);
    int whole = 0;
    for (int p = 0; p < MemoryLoad::kPerformances; ++p) {
        FUZZ_CHECK(load.blocks[size_t(p)] <= kBlocksPerPerformance, "more blocks than a performance has");
        if (load.blocks[size_t(p)] == kBlocksPerPerformance)
            ++whole;
        else
            FUZZ_CHECK(performance(synth, p) == performance(factory, p), "a performance taken in part");
    }
    FUZZ_CHECK(load.taken == whole * kBlocksPerPerformance, "blocks counted as taken that were not");
    if (load.whole)
        FUZZ_CHECK(size == factory.memoryImage().size(), "a file read whole that is not a whole memory");

    // What the memory holds now is written and read back whole.
    const Bytes image = synth.memoryImage();
    VirtualCs1x again;
    FUZZ_CHECK(again.loadMemoryImage(image).whole, "a memory written does not read back whole");
    FUZZ_CHECK(again.memoryImage() == image, "a memory written reads back otherwise");

    // The file: read whole and left alone, or moved aside as it was.
    kwfuzz::clearScratch();
    const auto path = kwfuzz::scratchDir() / "Virtual CS1x.syx";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data), std::streamsize(size));
    std::vector<std::string> told;
    {
        kwtest::VirtualScheduler clock;
        VirtualCs1x s;
        VirtualMemoryFile file(s, clock, QString::fromStdString(path.string()), 1000,
                               [&](const std::string& t) { told.push_back(t); });
        FUZZ_CHECK(s.memoryImage() == image, "the file gave another memory than its bytes");
    }
    const Bytes original(bytes.begin(), bytes.end());
    if (load.whole) {
        FUZZ_CHECK(told.empty(), "a whole memory file was complained about");
        FUZZ_CHECK(fileBytes(path) == original, "a whole memory file was changed");
    } else {
        FUZZ_CHECK(told.size() == 1, "a memory file not read whole was not reported once");
        FUZZ_CHECK(!std::filesystem::exists(path), "a damaged memory file was left in place");
        FUZZ_CHECK(fileBytes(path.string() + ".bad") == original, "the damaged file was not kept as it was");
    }
    return 0;
}
