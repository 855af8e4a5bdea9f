#include "model/EffectTables.h"

namespace kw::fx {

namespace {

constexpr EffectType kReverb[] = {
    {"OFF", 0x00, 0x00},     {"Hall 1", 0x01, 0x00},  {"Hall 2", 0x01, 0x01},
    {"Room 1", 0x02, 0x00},  {"Room 2", 0x02, 0x01},  {"Room 3", 0x02, 0x02},
    {"Stage 1", 0x03, 0x00}, {"Stage 2", 0x03, 0x01}, {"Plate", 0x04, 0x00},
    {"White Room", 0x10, 0x00}, {"Tunnel", 0x11, 0x00}, {"Basement", 0x13, 0x00},
};

constexpr EffectType kChorus[] = {
    {"OFF", 0x00, 0x00},       {"Chorus 1", 0x41, 0x00},  {"Chorus 2", 0x41, 0x01},
    {"Chorus 3", 0x41, 0x02},  {"Chorus 4", 0x41, 0x08},  {"Celeste 1", 0x42, 0x00},
    {"Celeste 2", 0x42, 0x01}, {"Celeste 3", 0x42, 0x02}, {"Celeste 4", 0x42, 0x08},
    {"Flanger 1", 0x43, 0x00}, {"Flanger 2", 0x43, 0x01}, {"Flanger 3", 0x43, 0x08},
};

constexpr VariationType kVariation[] = {
    {"OFF", 0x00, 0x00, {0, 0, 0, 0, 0, 0}},
    {"Hall 1", 0x01, 0x00, {18, 10, 8, 13, 49, 40}},
    {"Hall 2", 0x01, 0x01, {25, 10, 28, 6, 46, 40}},
    {"Room 1", 0x02, 0x00, {5, 10, 16, 4, 49, 40}},
    {"Room 2", 0x02, 0x01, {12, 10, 5, 4, 38, 40}},
    {"Room 3", 0x02, 0x02, {9, 10, 47, 5, 36, 40}},
    {"Stage 1", 0x03, 0x00, {19, 10, 16, 7, 54, 40}},
    {"Stage 2", 0x03, 0x01, {11, 10, 16, 7, 51, 40}},
    {"Plate", 0x04, 0x00, {25, 20, 6, 8, 49, 40}},
    {"Delay L-C-R", 0x05, 0x00, {3333, 1667, 5000, 5000, 74, 32}},
    {"Delay L-R", 0x06, 0x00, {2500, 3750, 3752, 3750, 87, 32}},
    {"Echo", 0x07, 0x00, {1700, 80, 1780, 80, 10, 40}},
    {"Cross Delay", 0x08, 0x00, {1700, 1750, 111, 1, 10, 32}},
    {"Early Reflection 1", 0x09, 0x00, {0, 19, 5, 16, 64, 32}},
    {"Early Reflection 2", 0x09, 0x01, {2, 7, 10, 16, 64, 32}},
    {"Gate Reverb", 0x0A, 0x00, {0, 15, 6, 2, 64, 32}},
    {"Reverse Gate", 0x0B, 0x00, {1, 19, 8, 3, 64, 32}},
    {"Karaoke 1", 0x14, 0x00, {63, 97, 0, 48, 0, 64}},
    {"Karaoke 2", 0x14, 0x01, {55, 105, 0, 50, 0, 64}},
    {"Karaoke 3", 0x14, 0x02, {43, 110, 14, 53, 0, 64}},
    {"Chorus 1", 0x41, 0x00, {6, 54, 77, 106, 0, 64}},
    {"Chorus 2", 0x41, 0x01, {8, 63, 64, 30, 0, 64}},
    {"Chorus 3", 0x41, 0x02, {4, 44, 64, 110, 0, 64}},
    {"Chorus 4", 0x41, 0x08, {9, 32, 69, 104, 0, 64}},
    {"Celeste 1", 0x42, 0x00, {12, 32, 64, 0, 0, 127}},
    {"Celeste 2", 0x42, 0x01, {28, 18, 90, 2, 0, 84}},
    {"Celeste 3", 0x42, 0x02, {4, 63, 44, 2, 0, 127}},
    {"Celeste 4", 0x42, 0x08, {8, 29, 64, 0, 0, 127}},
    {"Flanger 1", 0x43, 0x00, {14, 14, 104, 2, 0, 96}},
    {"Flanger 2", 0x43, 0x01, {32, 17, 26, 2, 0, 96}},
    {"Flanger 3", 0x43, 0x08, {4, 109, 109, 2, 0, 127}},
    {"Symphonic", 0x44, 0x00, {12, 25, 16, 0, 0, 127}},
    {"Rotary Speaker", 0x45, 0x00, {81, 35, 0, 0, 0, 127}},
    {"Tremolo", 0x46, 0x00, {83, 56, 0, 0, 0, 0}},
    {"Auto Pan", 0x47, 0x00, {76, 80, 32, 5, 0, 0}},
    {"Phaser 1", 0x48, 0x00, {8, 111, 74, 104, 0, 64}},
    {"Phaser 2", 0x48, 0x08, {8, 111, 74, 108, 0, 64}},
    {"Distortion", 0x49, 0x00, {40, 20, 72, 53, 48, 127}},
    {"Overdrive", 0x4A, 0x00, {29, 24, 68, 45, 55, 127}},
    {"Amp Simulator", 0x4B, 0x00, {39, 1, 48, 55, 0, 127}},
    {"3-Band EQ (Mono)", 0x4C, 0x00, {70, 34, 60, 10, 70, 0}},
    {"2-Band EG (Stereo)", 0x4D, 0x00, {28, 70, 46, 70, 0, 0}},
    {"Auto Wah", 0x4E, 0x00, {70, 56, 39, 25, 0, 127}},
    {"THRU", 0x40, 0x00, {0, 0, 0, 0, 0, 0}},
};

template <typename Row>
std::optional<int> indexOf(std::span<const Row> rows, uint8_t msb, uint8_t lsb)
{
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].msb == msb && rows[i].lsb == lsb)
            return int(i);
    return std::nullopt;
}

} // namespace

std::span<const EffectType> reverbTypes() { return kReverb; }
std::span<const EffectType> chorusTypes() { return kChorus; }
std::span<const VariationType> variationTypes() { return kVariation; }

std::optional<int> reverbIndexOf(uint8_t msb, uint8_t lsb) { return indexOf(reverbTypes(), msb, lsb); }
std::optional<int> chorusIndexOf(uint8_t msb, uint8_t lsb) { return indexOf(chorusTypes(), msb, lsb); }
std::optional<int> variationIndexOf(uint8_t msb, uint8_t lsb) { return indexOf(variationTypes(), msb, lsb); }

} // namespace kw::fx
