#include "store/SoundTable.h"

#include "store/SoundDistance.h"

#include <algorithm>

namespace kw {

std::unique_ptr<SoundTable> SoundTable::load(sql::Connection& db)
{
    auto table = std::make_unique<SoundTable>();
    const int64_t n = db.integer("SELECT count(*) FROM performances WHERE removed = 0");
    table->ids_.reserve(size_t(n));
    table->data_.reserve(size_t(n));
    sql::Statement q = db.prepare("SELECT id, data FROM performances WHERE removed = 0");
    while (q.step()) {
        const ByteView d = q.blob(1);
        if (d.size() != kPerformanceDataSize)
            continue;  // no performance: data() says so when it is asked for
        table->ids_.push_back(q.integer(0));
        table->data_.emplace_back();
        std::copy(d.begin(), d.end(), table->data_.back().begin());
    }
    return table;
}

std::vector<Nearby> SoundTable::nearest(const PerformanceData& from, size_t limit, int64_t except) const
{
    const SoundDistance distance(from);
    std::vector<Nearby> all;
    all.reserve(ids_.size());
    for (size_t i = 0; i < ids_.size(); ++i) {
        if (ids_[i] == except)
            continue;
        const double d = distance.to(data_[i]);
        // Only what lies at 0 can be a twin: the rest costs no comparison.
        all.push_back({ids_[i], d, d == 0 && sameSound(from, data_[i])});
    }
    const auto closer = [](const Nearby& a, const Nearby& b) {
        if (a.distance != b.distance)
            return a.distance < b.distance;
        if (a.twin != b.twin)
            return a.twin;
        return a.id < b.id;
    };
    const size_t n = std::min(limit, all.size());
    if (n == 0)
        return {};
    std::partial_sort(all.begin(), all.begin() + ptrdiff_t(n), all.end(), closer);
    all.resize(n);
    return all;
}

} // namespace kw
