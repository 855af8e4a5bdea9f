#pragma once
// What every fuzz target shares: a broken invariant ends the run like a
// crash, with the reason, so libFuzzer keeps the input that did it.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#define FUZZ_CHECK(cond, what)                                                                       \
    do {                                                                                             \
        if (!(cond)) {                                                                               \
            std::fprintf(stderr, "invariant broken at %s:%d: %s\n", __FILE__, __LINE__, (what));     \
            std::abort();                                                                            \
        }                                                                                            \
    } while (0)

namespace kwfuzz {

// A folder of this process's own for the files a target writes; emptied for
// every input, removed at exit.
inline const std::filesystem::path& scratchDir()
{
    static const std::filesystem::path dir = [] {
        std::filesystem::path d = std::filesystem::temp_directory_path()
                                  / ("knobwright-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(d);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(scratchDir(), ec);
        });
        return d;
    }();
    return dir;
}

inline void clearScratch()
{
    for (const auto& e : std::filesystem::directory_iterator(scratchDir()))
        std::filesystem::remove_all(e.path());
}

} // namespace kwfuzz
