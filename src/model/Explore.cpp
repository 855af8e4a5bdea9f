#include "model/Explore.h"

#include "model/EffectTables.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>

namespace kw::explore {

namespace {

// The parameters the frame rules name, looked up once.
struct Known {
    std::array<const Parameter*, 5> layerOn{};   // index 1..4
    std::array<const Parameter*, 5> volume{};    // index 1..4
    const Parameter* variationType = nullptr;
};

const Known& known()
{
    static const Known k = [] {
        Known out;
        for (int l = 1; l <= 4; ++l) {
            const std::string prefix = "layer" + std::to_string(l) + ".";
            out.layerOn[size_t(l)] = findParameter(prefix + "on");
            out.volume[size_t(l)] = findParameter(prefix + "volume");
        }
        out.variationType = findParameter("variation.type");
        return out;
    }();
    return k;
}

// The parameter's own bits of `src` into `dst`; whatever shares its bytes stays.
void copyParameter(const Parameter& p, PerformanceImage& dst, const PerformanceImage& src)
{
    for (const ParamByte& b : p.bytes) {
        uint8_t& d = dst.edit[b.block].data(b.offset);
        const uint8_t s = src.edit[b.block].data(b.offset);
        d = uint8_t((d & ~b.mask & 0x7F) | (s & b.mask));
    }
}

bool onScale(const Parameter& p, const PerformanceImage& img, int v)
{
    const ParamRange r = p.rangeIn(img);
    return v >= r.min && v <= r.max;
}

// n / 100 to the nearest whole number, halves away from zero.
int hundredths(int64_t n)
{
    return int(n >= 0 ? (n + 50) / 100 : -((-n + 50) / 100));
}

// A new variation type starts from its own parameters, as on the effects page.
void variationDefaults(PerformanceImage& img, int type)
{
    if (type < 0 || size_t(type) >= fx::variationTypes().size())
        return;
    const auto& defaults = fx::variationTypes()[size_t(type)].defaults;
    for (const Parameter& q : performanceParameters())
        if (q.dependsOn == known().variationType)
            q.set(img, defaults[size_t(q.slot)]);
}

int index(const Parameter& p)
{
    return int(&p - performanceParameters().data());
}

} // namespace

std::string_view lockKey(Lock l)
{
    switch (l) {
    case Lock::Common: return "common";
    case Lock::Effects: return "effects";
    case Lock::Arpeggiator: return "arpeggiator";
    case Lock::Layer1: return "layer1";
    case Lock::Layer2: return "layer2";
    case Lock::Layer3: return "layer3";
    case Lock::Layer4: return "layer4";
    }
    return "";
}

std::optional<Lock> lockFromKey(std::string_view key)
{
    for (int i = 0; i < kLocks; ++i)
        if (lockKey(Lock(i)) == key)
            return Lock(i);
    return std::nullopt;
}

Lock lockOf(const Parameter& p)
{
    if (p.layer > 0)
        return layerLock(p.layer);
    switch (p.group) {
    case ParamGroup::Effects: return Lock::Effects;
    case ParamGroup::Arpeggiator: return Lock::Arpeggiator;
    default: return Lock::Common;
    }
}

int loudestLayer(const PerformanceImage& img)
{
    int loudest = 0, level = -1;
    for (int l = 1; l <= 4; ++l) {
        if (known().layerOn[size_t(l)]->value(img) == 0)
            continue;
        const int v = known().volume[size_t(l)]->value(img);
        if (v > level) {
            level = v;
            loudest = l;
        }
    }
    return loudest;
}

namespace {

bool mayChangeWith(const Parameter& p, Locks locks, int loudest)
{
    if (p.fixed || (locks & lockBit(lockOf(p))))
        return false;
    return !(loudest > 0 && &p == known().volume[size_t(loudest)]);
}

} // namespace

bool mayChange(const Parameter& p, const PerformanceImage& base, Locks locks)
{
    return mayChangeWith(p, locks, loudestLayer(base));
}

uint64_t Random::next()
{
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

int Random::below(int n)
{
    return n <= 1 ? 0 : int(next() % uint64_t(n));
}

void keepFrame(PerformanceImage& img, const PerformanceImage& base, Locks locks)
{
    const int loudest = loudestLayer(base);
    for (const Parameter& p : performanceParameters())
        if (!mayChangeWith(p, locks, loudest))
            copyParameter(p, img, base);
    if (loudest == 0)
        return;
    // The others may move, but none rises above the loudest: the
    // performance stays as loud as it was.
    const int cap = known().volume[size_t(loudest)]->value(base);
    for (int l = 1; l <= 4; ++l) {
        const Parameter& volume = *known().volume[size_t(l)];
        if (!mayChangeWith(volume, locks, loudest))
            continue;
        const int v = volume.value(img);
        const int ceiling = std::max(cap, volume.value(base));
        if (v > ceiling)
            volume.set(img, ceiling);
    }
}

PerformanceImage mutate(const PerformanceImage& base, const Options& options, Random& random)
{
    const int strength = std::clamp(options.strength, 1, 100);
    const int loudest = loudestLayer(base);
    PerformanceImage out = base;
    for (const Parameter& p : performanceParameters()) {  // an owner comes before what depends on it
        if (!mayChangeWith(p, options.locks, loudest) || !p.inUse(out))
            continue;
        const int v = p.value(out);
        if (p.kind == ParamKind::Number) {
            if (p.offScale && v == *p.offScale)
                continue;  // a setting of its own, not a point on the scale
            const ParamRange r = p.rangeIn(out);
            const int span = r.max - r.min;
            if (span <= 0)
                continue;
            // Up to the strength's share of the range either way, small
            // steps likelier than large ones (the sum of two draws).
            const int64_t reach = int64_t(span) * strength;
            const int64_t step = (int64_t(random.below(int(2 * reach + 1))) - reach
                                  + int64_t(random.below(int(2 * reach + 1))) - reach) / 2;
            int n = std::clamp(v, r.min, r.max) + hundredths(step);
            // Off an end it comes back in, rather than piling up there.
            if (n > r.max)
                n = 2 * r.max - n;
            if (n < r.min)
                n = 2 * r.min - n;
            p.set(out, std::clamp(n, r.min, r.max));
        } else if (p.kind == ParamKind::Choice || p.kind == ParamKind::Flag) {
            if (!options.choices || !random.chance(strength))
                continue;
            const int entries = p.max - p.min + 1;
            if (entries < 2)
                continue;
            int n;
            if (v >= p.min && v <= p.max) {
                n = p.min + random.below(entries - 1);  // another entry than the one it has
                if (n >= v)
                    ++n;
            } else {
                n = p.min + random.below(entries);
            }
            p.set(out, n);
            if (&p == known().variationType)
                variationDefaults(out, n);
        }
    }
    keepFrame(out, base, options.locks);
    return out;
}

PerformanceImage morph(const PerformanceImage& a, const PerformanceImage& b, int percent, const Options& options)
{
    percent = std::clamp(percent, 0, 100);
    const PerformanceImage& nearer = percent >= 50 ? b : a;
    const int loudest = loudestLayer(a);
    PerformanceImage out = a;
    for (const Parameter& p : performanceParameters()) {
        if (!mayChangeWith(p, options.locks, loudest))
            continue;
        if (p.dependsOn && p.dependsOn->value(a) != p.dependsOn->value(b)) {
            copyParameter(p, out, nearer);  // its meaning changes with the owner's
            continue;
        }
        const int va = p.value(a), vb = p.value(b);
        if (p.kind == ParamKind::Number && va != vb && onScale(p, a, va) && onScale(p, b, vb))
            p.set(out, va + hundredths(int64_t(vb - va) * percent));
        else
            copyParameter(p, out, nearer);
    }
    keepFrame(out, a, options.locks);
    return out;
}

std::vector<PerformanceImage> breed(const PerformanceImage& base, std::span<const PerformanceImage> parents,
                                    int count, const Options& options, Random& random)
{
    std::vector<PerformanceImage> children;
    if (parents.empty())
        return children;
    const auto& list = performanceParameters();
    const int k = int(parents.size());
    const int loudest = loudestLayer(base);
    Options light = options;
    light.strength = std::max(1, std::clamp(options.strength, 1, 100) / 4);
    constexpr int kMixed = -1;
    for (int c = 0; c < count; ++c) {
        // Each group of each layer whole from one parent, or one in four
        // mixed parameter by parameter.
        std::array<int, 5 * kParamGroups> source{};
        for (int& s : source)
            s = random.below(4) == 0 ? kMixed : random.below(k);
        std::vector<int> from(list.size(), 0);
        PerformanceImage child = base;
        for (const Parameter& p : list) {
            if (!mayChangeWith(p, options.locks, loudest))
                continue;
            int s = source[size_t(p.layer * kParamGroups + int(p.group))];
            if (p.dependsOn)
                s = from[size_t(index(*p.dependsOn))];
            else if (s == kMixed)
                s = random.below(k);
            from[size_t(index(p))] = s;
            const PerformanceImage& parent = parents[size_t(s)];
            copyParameter(p, child, parent);
            // A mixed number may land anywhere between two parents.
            if (source[size_t(p.layer * kParamGroups + int(p.group))] == kMixed && !p.dependsOn
                && p.kind == ParamKind::Number) {
                const PerformanceImage& other = parents[size_t(random.below(k))];
                const int va = p.value(parent), vb = p.value(other);
                if (va != vb && onScale(p, parent, va) && onScale(p, other, vb) && onScale(p, child, vb))
                    p.set(child, va + hundredths(int64_t(vb - va) * random.below(101)));
            }
        }
        PerformanceImage mutated = mutate(child, light, random);
        keepFrame(mutated, base, options.locks);
        children.push_back(std::move(mutated));
    }
    return children;
}

double distance(const PerformanceImage& a, const PerformanceImage& b)
{
    double sum = 0;
    int n = 0;
    for (const Parameter& p : performanceParameters()) {
        if (p.fixed || p.kind == ParamKind::Text)
            continue;
        ++n;
        if (p.dependsOn && p.dependsOn->value(a) != p.dependsOn->value(b)) {
            sum += 1;
            continue;
        }
        if (!p.inUse(a))
            continue;
        const int va = p.value(a), vb = p.value(b);
        if (va == vb)
            continue;
        const ParamRange r = p.rangeIn(a);
        if (p.kind == ParamKind::Number && onScale(p, a, va) && onScale(p, b, vb) && r.max > r.min)
            sum += double(std::abs(va - vb)) / double(r.max - r.min);
        else
            sum += 1;
    }
    return n ? sum / n : 0;
}

} // namespace kw::explore
