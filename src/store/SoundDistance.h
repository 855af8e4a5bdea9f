#pragma once
// How two kept performances differ: every parameter that differs, in the
// words and values of the editor's controls (what Compare lists), and how
// far one sound lies from another (what "Find similar" ranks by).

#include "model/Parameters.h"
#include "model/PerformanceImage.h"
#include "store/PerformanceData.h"

#include <array>
#include <cstdint>
#include <vector>

namespace kw {

// The performance as the editor holds it, so its parameters can be read.
PerformanceImage imageFromData(const PerformanceData& data);
// The edited performance as the library would keep it (its edit-only bytes
// left out, as a user performance holds none).
PerformanceData dataFromEdit(const BlockSet& edit);

// differences() of two kept performances: what Compare lists.
std::vector<Difference> dataDifferences(const PerformanceData& a, const PerformanceData& b);

// How far a performance's sound lies from others'. Every parameter but the
// name and the category adds how far apart its two values are as a share of
// its range (a number), or 1 when they differ (a choice, a switch). A value
// off the scale (random panning, MIDI clock) is as far from every other as
// the scale is long. A variation parameter adds only between performances of
// one variation type, whose range it takes: under another type it means
// something else, and the type's own difference counts that. So 0 is the same
// sound, and one step of a 0..127 parameter 1/127.
//
// Made once per performance; to() then reads each other performance's bytes
// once, through tables made for this one, so ranking a library of 100,000
// costs a few milliseconds.
class SoundDistance {
public:
    explicit SoundDistance(const PerformanceData& from);
    double to(const PerformanceData& other) const;

    // The same from the parameters' values one by one: what to() must agree with.
    static double between(const PerformanceData& a, const PerformanceData& b);

private:
    // A parameter's bytes as one key: (first << shift) | second, where a
    // parameter of one byte has a second mask of 0 and no shift.
    struct Term {
        uint8_t at0 = 0, at1 = 0, mask0 = 0, mask1 = 0, shift = 0;
        std::vector<float> distance;  // by key
    };
    static uint32_t key(const Term& t, const PerformanceData& d)
    {
        return uint32_t(d[t.at0] & t.mask0) << t.shift | (d[t.at1] & t.mask1);
    }

    std::vector<Term> terms_;
    // The variation type's bytes, and the parameters that count only under
    // `from`'s type.
    Term type_;
    int32_t typeCode_ = 0;
    std::vector<Term> variation_;
};

} // namespace kw
