#pragma once
// What an XG tone generator holds of the XG tables: the bytes of the
// system, the effects, the sixteen parts and the two drum setups, laid out
// by address as the instrument keeps them. Everything written goes through
// the rows, so nothing the instrument would refuse is ever held.

#include "model/XgTable.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kw::xg {

class Memory {
public:
    // At the values of XG System On.
    Memory() { reset(); }

    // XG System On (and All Parameter Reset): every parameter to its
    // default. Parameters whose default comes with the effect type or the
    // drum kit, which the sources do not give, start at the lowest value
    // they take.
    void reset();
    // Drum Setup Reset: the one setup (0 or 1) as after XG System On.
    void resetDrumSetup(int setup);

    int value(const Param& p) const;
    // False, and nothing written, when the row does not take `value`.
    bool set(const Param& p, int value);

    // The data of the block at `at`, TOTAL SIZE bytes.
    std::vector<uint8_t> block(const BlockAt& at) const;
    // The data of a bulk dump to `at`: from the block's top address, at most
    // its TOTAL SIZE, ending where a parameter ends, each parameter's bytes
    // a value its row takes. Anything else is refused whole and changes
    // nothing: the reason, or "" when it was taken.
    std::string takeBlock(const BlockAt& at, std::span<const uint8_t> data);

    bool operator==(const Memory&) const = default;

private:
    struct Fresh {};
    explicit Memory(Fresh) {}
    void build();
    // The bytes of the parameter starting at `a`, or nullptr outside the tables.
    uint8_t* at(Address a);
    const uint8_t* at(Address a) const;

    std::array<uint8_t, 0x80> system_{};
    std::array<uint8_t, 0x80> effect_{};
    std::array<std::array<uint8_t, 0x80>, kParts> part_{};
    std::array<std::array<std::array<uint8_t, 0x10>, 0x80>, kDrumSetups> drum_{};
};

} // namespace kw::xg
