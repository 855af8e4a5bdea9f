#pragma once
// A library of generated performances, and what a user types into its
// search box: shared by the library's benchmarks.

#include "files/PerformanceRecord.h"
#include "store/Store.h"
#include "support/RandomRecords.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace kwbench {

[[noreturn]] inline void fillFailed(const std::string& why)
{
    std::fprintf(stderr, "filling the library: %s\n", why.c_str());
    std::exit(1);
}

// `count` performances, each from a file of its own in one of 300 folders,
// as a collection of downloads looks.
inline void fill(const std::filesystem::path& path, int count)
{
    auto opened = kw::Store::open(path);
    if (!opened)
        fillFailed("cannot open " + path.string() + ": " + opened.error().text);
    auto& store = *opened;
    std::mt19937 rng(7);
    for (int i = 0; i < count; ++i) {
        if (i % 5000 == 0) {
            if (i > 0 && store->commit())
                fillFailed("cannot commit");
            if (store->begin())
                fillFailed("cannot begin a transaction");
        }
        const kw::PerformanceRecord r = kwtest::randomRecord(rng, i % 128);
        const std::string file = "/home/ann/sounds/collection " + std::to_string(i % 300) + "/"
                                 + r.categoryAbbreviation() + "_" + kw::trimBlanks(r.name()) + std::to_string(i) + ".SYX";
        if (auto e = store->remember(r, kw::Source::file(file)); !e)
            fillFailed(e.error().text);
    }
    if (store->commit())
        fillFailed("cannot commit");
}

// What a user types into the search box, a keystroke at a time.
inline std::vector<std::string> keystrokes()
{
    std::vector<std::string> out;
    for (const std::string word : {"pad", "sq bass", "collection 12", "zq", "lead x", "ab"}) {
        for (size_t n = 1; n <= word.size(); ++n)
            out.push_back(word.substr(0, n));
        for (size_t n = word.size(); n-- > 0;)
            out.push_back(word.substr(0, n));  // and back, as one corrects
    }
    return out;
}

} // namespace kwbench
