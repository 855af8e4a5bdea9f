#pragma once
// New performances from old ones: mutate one, morph between two, breed from
// several. Pure functions of images and a seeded random source, so a batch
// on the command line and the window make the same sounds from the same
// seed, on every platform.
//
// Every tool leaves the performance's frame as it found it in the base
// (the performance being changed): the name, the category, the layers'
// on/off, the note and velocity limits, the common volume, the loudest
// layer's volume (the others never rise above it), every byte no parameter
// owns (the receive channels and switches among them), and every locked
// group.

#include "model/Parameters.h"
#include "model/PerformanceImage.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace kw::explore {

// What a musician locks: coarser than ParamGroup. Common holds the common
// parameters and the common pitch group (bend range, portamento); Effects
// the three effects, their types and parameters; a layer lock everything of
// that layer, its effect sends too (they say how wet the layer sounds, so
// they belong with the layer's sound).
enum class Lock : uint8_t { Common, Effects, Arpeggiator, Layer1, Layer2, Layer3, Layer4 };
inline constexpr int kLocks = 7;
using Locks = uint8_t;  // bit i: Lock(i) is locked
inline constexpr Locks lockBit(Lock l) { return Locks(1u << unsigned(l)); }
inline constexpr Lock layerLock(int layer) { return Lock(int(Lock::Layer1) + layer - 1); }

// "common", "effects", "arpeggiator", "layer1".."layer4"
std::string_view lockKey(Lock l);
std::optional<Lock> lockFromKey(std::string_view key);
Lock lockOf(const Parameter& p);

// The layer whose volume is protected: the loudest of the layers that are
// on (the lower number on a tie), or 0 when none is on.
int loudestLayer(const PerformanceImage& img);
// Whether a tool may change `p` of `base` under `locks`.
bool mayChange(const Parameter& p, const PerformanceImage& base, Locks locks);

// splitmix64: small, fast and the same everywhere (the standard library's
// distributions are not).
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t next();
    // 0 .. n-1 (n > 0).
    int below(int n);
    // true with a chance of `percent` in 100.
    bool chance(int percent) { return below(100) < percent; }

private:
    uint64_t state_;
};

struct Options {
    Locks locks = 0;
    // A random change may pick another entry of a choice (a wave, an effect
    // type, a voice) or flip a switch. Morph and breed take choices from the
    // performances given whatever this says.
    bool choices = false;
    int strength = 20;  // percent, 1..100
};
inline constexpr int kDefaultStrength = 20;

// Every number `options` leaves free moves by a random amount that grows with
// the strength and the parameter's range, and stays in range; with
// `choices`, a choice changes with a chance of the strength. A variation
// type that changes starts its parameters from the type's defaults.
PerformanceImage mutate(const PerformanceImage& base, const Options& options, Random& random);

// `percent` of the way from `a` to `b`: numbers in proportion, choices and
// settings outside a range (random pan, MIDI clock) from `a` below 50 % and
// from `b` from 50 % on; a parameter whose meaning another gives (a voice, a
// variation parameter) follows its owner's side when the owners differ.
// The frame is `a`'s; options.choices is not asked.
PerformanceImage morph(const PerformanceImage& a, const PerformanceImage& b, int percent, const Options& options);

// `count` children of `parents` (at least one), each in the frame of `base`:
// each group (a layer's filter, the effects, ...) taken whole from one parent
// or mixed parameter by parameter, then mutated at a quarter of the strength.
std::vector<PerformanceImage> breed(const PerformanceImage& base, std::span<const PerformanceImage> parents,
                                    int count, const Options& options, Random& random);

// How far apart two sounds are, 0 (alike in every parameter a tool may
// change) to 1: the mean over those parameters of the distance of each, a
// number's as a share of its range, a choice's 0 or 1.
double distance(const PerformanceImage& a, const PerformanceImage& b);

// The frame of `base` put back into `img`, and the groups `locks` names:
// what every tool does last, so no tool can break it.
void keepFrame(PerformanceImage& img, const PerformanceImage& base, Locks locks);

} // namespace kw::explore
