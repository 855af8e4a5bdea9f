#include "store/PerformanceData.h"

#include <algorithm>

namespace kw {

namespace {

// FNV-1a over the bytes, then a finalizer that spreads every input bit over
// the whole word (FNV alone leaves the high bits weak for short inputs).
uint64_t hashBytes(const uint8_t* p, size_t n)
{
    uint64_t h = 0xcbf29ce484222325ull;
    for (size_t i = 0; i < n; ++i)
        h = (h ^ p[i]) * 0x100000001b3ull;
    h ^= h >> 30;
    h *= 0xbf58476d1ce4e5b9ull;
    h ^= h >> 27;
    h *= 0x94d049bb133111ebull;
    return h ^ (h >> 31);
}

constexpr size_t kSoundStart = kDataCategoryOffset + 1;

} // namespace

PerformanceData performanceData(const PerformanceRecord& record)
{
    PerformanceData data{};
    size_t at = 0;
    for (int i = 0; i < kBlocksPerPerformance; ++i) {
        const ByteView m = record.message(i);
        std::copy(m.begin() + 9, m.end() - 2, data.begin() + ptrdiff_t(at));
        at += m.size() - 11;
    }
    return data;
}

PerformanceRecord recordFromData(const PerformanceData& data, int number)
{
    BlockSet user(true);
    size_t at = 0;
    for (int i = 0; i < kBlocksPerPerformance; ++i) {
        BulkBlock& b = user.at(i);
        std::copy(data.begin() + ptrdiff_t(at), data.begin() + ptrdiff_t(at + b.dataLength()), b.bytes() + 9);
        at += b.dataLength();
        b.stampAll(number);
    }
    return PerformanceRecord::fromTransfer(user);
}

uint64_t dataHash(const PerformanceData& data)
{
    return hashBytes(data.data(), data.size());
}

uint64_t soundHash(const PerformanceData& data)
{
    return hashBytes(data.data() + kSoundStart, data.size() - kSoundStart);
}

bool sameSound(const PerformanceData& a, const PerformanceData& b)
{
    return std::equal(a.begin() + kSoundStart, a.end(), b.begin() + kSoundStart);
}

std::string dataName(const PerformanceData& data)
{
    return std::string(reinterpret_cast<const char*>(data.data()) + kDataNameOffset, 8);
}

int dataCategory(const PerformanceData& data)
{
    return data[kDataCategoryOffset];
}

} // namespace kw
