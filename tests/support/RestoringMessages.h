#pragma once
// What undoing an edit must send, worked out from the messages alone: each
// message the edit sent, carrying instead the values an earlier image holds
// at that message's address. Knows parameter changes (one and two data
// bytes) and bulk blocks of the edit image, which is all an edit sends.

#include "model/PerformanceImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace kwtest {

// Block (0..6 of the edit image) and data offset of parameter address 60 am al.
inline std::pair<int, size_t> placeOf(uint8_t am, uint8_t al)
{
    if (am >= 1 && am <= 4)
        return {2 + am, al};
    if (al >= 0x50)
        return {2, size_t(al - 0x50)};
    if (al >= 0x30)
        return {1, size_t(al - 0x30)};
    return {0, al};
}

inline kw::Bytes withValuesOf(const kw::Bytes& m, const kw::BlockSet& image)
{
    kw::Bytes out = m;
    const bool parameterChange = m.size() >= 9 && (m[2] & 0xF0) == 0x10;
    if (parameterChange) {
        const auto [block, offset] = placeOf(m[5], m[6]);
        for (size_t i = 7; i + 1 < m.size(); ++i)
            out[i] = image.at(block).data(offset + (i - 7));
        return out;
    }
    EXPECT_GT(m.size(), 11u) << "neither a parameter change nor a bulk block";
    if (m.size() <= 11)
        return out;
    const auto [block, offset] = placeOf(m[7], m[8]);
    EXPECT_EQ(offset, 0u);
    for (size_t k = 0; k + 11 < m.size(); ++k)
        out[9 + k] = image.at(block).data(k);
    out[out.size() - 2] = kw::bulkChecksum(out);
    return out;
}

// What a step made of `sent` (one edit, or a gesture's many) sends when it is
// undone or redone: each address once, in the order first sent, with the
// values `image` holds there.
inline std::vector<kw::Bytes> restoring(const std::vector<kw::Bytes>& sent, const kw::BlockSet& image)
{
    std::vector<kw::Bytes> out;
    std::vector<kw::Bytes> seen;
    for (const kw::Bytes& m : sent) {
        // A parameter change's address, or a bulk block's, with its length.
        const size_t at = (m[2] & 0xF0) == 0x10 ? 4 : 6;
        kw::Bytes where(m.begin() + long(at), m.begin() + long(at) + 3);
        where.push_back(uint8_t(m.size()));
        if (std::find(seen.begin(), seen.end(), where) != seen.end())
            continue;
        seen.push_back(where);
        out.push_back(withValuesOf(m, image));
    }
    return out;
}

} // namespace kwtest
