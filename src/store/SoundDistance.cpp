#include "store/SoundDistance.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <stdexcept>

namespace kw {

namespace {

// Where each edit block's data begins among the 240 bytes, and how many of
// its bytes a user performance keeps.
struct Span {
    size_t start = 0, length = 0;
};
std::array<Span, 7> blockSpans()
{
    std::array<Span, 7> spans{};
    size_t at = 0;
    for (int i = 0; i < 7; ++i) {
        const size_t n = blockInfo(BlockKind(int(BlockKind::UserCommon00) + i)).dataLength;
        spans[size_t(i)] = {at, n};
        at += n;
    }
    return spans;
}

// Every parameter that counts, with the value each pattern of its bytes
// reads as, found by asking the parameter itself: the tables cannot drift
// from what the controls show.
struct Measured {
    const Parameter* p = nullptr;
    std::array<uint8_t, 2> at{};
    std::array<uint8_t, 2> mask{};
    std::vector<int32_t> value;  // by key; an unknown entry of a list has a code of its own, below -1
    bool scale = false;          // a number; else a choice or a switch
    bool variation = false;      // counts only under one variation type
};

struct Tables {
    std::vector<Measured> plain;
    Measured type;
    std::vector<Measured> variation;
    // By variation type and variation parameter: the range, or none when
    // the type leaves the parameter unused.
    std::vector<std::vector<std::optional<ParamRange>>> ranges;
};

uint32_t keys(const Measured& m) { return m.mask[1] ? 1u << 14 : 1u << 7; }

const Tables& tables()
{
    static const Tables t = [] {
        const auto spans = blockSpans();
        Tables out;
        const Parameter* type = findParameter("variation.type");
        if (!type)
            throw std::logic_error("no variation type among the parameters");
        for (const Parameter& p : performanceParameters()) {
            if (p.kind == ParamKind::Text || p.key == "category")
                continue;  // the user's to choose, not the sound
            if (p.bytes.size() > 2)
                throw std::logic_error("parameter " + p.key + " spreads over more than two bytes");
            Measured m;
            m.p = &p;
            m.scale = p.kind == ParamKind::Number;
            m.variation = m.scale && p.dependsOn == type;
            bool kept = true;
            for (size_t i = 0; i < p.bytes.size(); ++i) {
                const Span s = spans[size_t(p.bytes[i].block)];
                // An edit-only byte: no kept performance holds it, so it never differs.
                kept = kept && p.bytes[i].offset < s.length;
                m.at[i] = uint8_t(s.start + p.bytes[i].offset);
                m.mask[i] = p.bytes[i].mask;
            }
            if (!kept)
                continue;
            PerformanceImage img;
            img.setDefaults();
            m.value.resize(keys(m));
            for (uint32_t k = 0; k < keys(m); ++k) {
                const uint8_t hi = m.mask[1] ? uint8_t(k >> 7) : uint8_t(k);
                const uint8_t lo = uint8_t(k & 0x7F);
                if ((hi & ~m.mask[0]) || (m.mask[1] && (lo & ~m.mask[1])))
                    continue;  // no bytes give this key
                img.edit[p.bytes[0].block].data(p.bytes[0].offset) = hi;
                if (m.mask[1])
                    img.edit[p.bytes[1].block].data(p.bytes[1].offset) = lo;
                const int v = p.value(img);
                m.value[k] = !m.scale && v < 0 ? -2 - int32_t(k) : v;
            }
            if (&p == type)
                out.type = std::move(m);
            else
                (m.variation ? out.variation : out.plain).push_back(std::move(m));
        }
        PerformanceImage img;
        img.setDefaults();
        for (int v = 0; v <= type->max; ++v) {
            type->set(img, v);
            std::vector<std::optional<ParamRange>> r;
            for (const Measured& m : out.variation)
                r.push_back(m.p->inUse(img) ? std::optional(m.p->rangeIn(img)) : std::nullopt);
            out.ranges.push_back(std::move(r));
        }
        return out;
    }();
    return t;
}

float apart(const Parameter& p, ParamRange r, int32_t a, int32_t b, bool scale)
{
    if (a == b)
        return 0;
    if (!scale || (p.offScale && (a == *p.offScale || b == *p.offScale)) || r.max <= r.min)
        return 1;
    return float(std::min(1.0, std::abs(double(a) - double(b)) / double(r.max - r.min)));
}

int32_t valueIn(const Measured& m, const PerformanceData& d)
{
    return m.value[uint32_t(d[m.at[0]] & m.mask[0]) << (m.mask[1] ? 7 : 0) | (d[m.at[1]] & m.mask[1])];
}

const std::vector<std::optional<ParamRange>>* rangesOf(int32_t type)
{
    const Tables& t = tables();
    return type >= 0 && size_t(type) < t.ranges.size() ? &t.ranges[size_t(type)] : nullptr;
}

} // namespace

PerformanceImage imageFromData(const PerformanceData& data)
{
    PerformanceImage img;
    img.setDefaults();
    recordFromData(data, 0).toEdit(img.edit);
    return img;
}

PerformanceData dataFromEdit(const BlockSet& edit)
{
    return performanceData(PerformanceRecord::fromEdit(edit, 0));
}

std::vector<Difference> dataDifferences(const PerformanceData& a, const PerformanceData& b)
{
    return differences(imageFromData(a), imageFromData(b));
}

SoundDistance::SoundDistance(const PerformanceData& from)
{
    const Tables& t = tables();
    const auto bytesOf = [](const Measured& m) {
        Term out;
        out.at0 = m.at[0];
        out.mask0 = m.mask[0];
        out.at1 = m.mask[1] ? m.at[1] : m.at[0];
        out.mask1 = m.mask[1];
        out.shift = m.mask[1] ? 7 : 0;
        return out;
    };
    const auto term = [&](const Measured& m, std::optional<ParamRange> range) {
        Term out = bytesOf(m);
        const int32_t here = valueIn(m, from);
        out.distance.resize(m.value.size());
        const ParamRange r = range.value_or(ParamRange{m.p->min, m.p->max});
        for (size_t k = 0; k < m.value.size(); ++k)
            out.distance[k] = apart(*m.p, r, here, m.value[k], m.scale);
        return out;
    };
    for (const Measured& m : t.plain)
        terms_.push_back(term(m, std::nullopt));
    // The type counts as a choice, and decides whether its parameters do.
    terms_.push_back(term(t.type, std::nullopt));
    type_ = bytesOf(t.type);
    typeCode_ = valueIn(t.type, from);
    if (const auto* ranges = rangesOf(typeCode_))
        for (size_t i = 0; i < t.variation.size(); ++i)
            if ((*ranges)[i])
                variation_.push_back(term(t.variation[i], (*ranges)[i]));
}

double SoundDistance::to(const PerformanceData& other) const
{
    double sum = 0;
    for (const Term& t : terms_)
        sum += t.distance[key(t, other)];
    if (!variation_.empty() && tables().type.value[key(type_, other)] == typeCode_)
        for (const Term& t : variation_)
            sum += t.distance[key(t, other)];
    return sum;
}

double SoundDistance::between(const PerformanceData& a, const PerformanceData& b)
{
    const PerformanceImage ia = imageFromData(a), ib = imageFromData(b);
    const Parameter* type = findParameter("variation.type");
    const auto code = [&](const Parameter& p, const PerformanceImage& img) {
        // Two entries no list holds are the same only when their bytes are.
        const int v = p.value(img);
        return p.kind != ParamKind::Number && v < 0 ? p.text(img) : std::to_string(v);
    };
    double sum = 0;
    for (const Parameter& p : performanceParameters()) {
        if (p.kind == ParamKind::Text || p.key == "category")
            continue;
        ParamRange r{p.min, p.max};
        if (p.kind == ParamKind::Number && p.dependsOn == type) {
            if (code(*type, ia) != code(*type, ib) || type->value(ia) < 0 || !p.inUse(ia))
                continue;
            r = p.rangeIn(ia);
        }
        if (code(p, ia) == code(p, ib))
            continue;
        sum += p.kind == ParamKind::Number ? apart(p, r, p.value(ia), p.value(ib), true) : 1;
    }
    return sum;
}

} // namespace kw
