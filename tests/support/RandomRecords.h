#pragma once
// Performances that differ from each other in every block: random data
// bytes, a name of capitals and a category from the table.

#include "files/PerformanceRecord.h"
#include "model/UserPerfList.h"

#include <random>
#include <vector>

namespace kwtest {

inline kw::PerformanceRecord randomRecord(std::mt19937& rng, int number)
{
    kw::PerformanceImage p;
    for (int i = 0; i < kw::kBlocksPerPerformance; ++i)
        for (size_t k = 0; k < p.edit.at(i).dataLength(); ++k)
            p.edit.at(i).data(k) = uint8_t(rng() % 128);
    auto& c = p.edit[kw::BlockKind::Common00];
    for (size_t k = 0; k < 8; ++k)
        c.data(k) = uint8_t('A' + rng() % 26);
    c.data(8) = uint8_t(rng() % 23);
    return kw::PerformanceRecord::fromEdit(p.edit, number);
}

// One record for each of `numbers`, in that order.
inline std::vector<kw::PerformanceRecord> randomRecords(const std::vector<int>& numbers, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<kw::PerformanceRecord> out;
    for (int pp : numbers)
        out.push_back(randomRecord(rng, pp));
    return out;
}

// Records for user performances 0..127.
inline std::vector<kw::PerformanceRecord> randomBank(unsigned seed)
{
    std::vector<int> all(kw::kUserPerformances);
    for (int i = 0; i < kw::kUserPerformances; ++i)
        all[size_t(i)] = i;
    return randomRecords(all, seed);
}

} // namespace kwtest
