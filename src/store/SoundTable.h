#pragma once
// Every entry's data in memory, for ranking the library by sound: reading
// 100,000 entries from the file takes longer than measuring them all.

#include "store/Sqlite.h"
#include "store/Store.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace kw {

class SoundTable {
public:
    // Every entry not removed; throws sql::Error.
    static std::unique_ptr<SoundTable> load(sql::Connection& db);

    // Store::nearest() over what was loaded.
    std::vector<Nearby> nearest(const PerformanceData& from, size_t limit, int64_t except) const;
    size_t size() const { return ids_.size(); }

private:
    std::vector<int64_t> ids_;
    std::vector<PerformanceData> data_;
};

} // namespace kw
