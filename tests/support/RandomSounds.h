#pragma once
// Performances as a control could set them: noise in the bytes no parameter
// owns, every parameter at a value of its range (now and then a setting off
// the scale: random pan, MIDI clock), a printable name.

#include "model/Parameters.h"
#include "model/PerformanceImage.h"

#include <random>
#include <string>

namespace kwtest {

inline kw::PerformanceImage randomSound(std::mt19937& rng)
{
    kw::PerformanceImage img;
    img.setDefaults();
    for (int b = 0; b < kw::kBlocksPerPerformance; ++b)
        for (size_t k = 0; k < img.edit.at(b).dataLength(); ++k)
            img.edit.at(b).data(k) = uint8_t(rng() & 0x7F);
    for (const kw::Parameter& p : kw::performanceParameters()) {  // owners first
        if (p.kind == kw::ParamKind::Text) {
            std::string name;
            for (int i = 0; i < 8; ++i)
                name += char(0x20 + rng() % 95);
            p.setName(img, name);
            continue;
        }
        if (p.offScale && rng() % 8 == 0) {
            p.set(img, *p.offScale);
            continue;
        }
        const kw::ParamRange r = p.rangeIn(img);
        p.set(img, r.min + int(rng() % unsigned(r.max - r.min + 1)));
    }
    return img;
}

} // namespace kwtest
