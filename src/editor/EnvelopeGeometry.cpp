#include "editor/EnvelopeGeometry.h"

#include <cstdint>

namespace kw::envelope {

namespace {

// The picture's arithmetic is done in bytes; keeping the wrap-around keeps
// oversized boxes drawing the same way as the synth editor always has.
int byte(int v) { return int(uint8_t(v)); }

struct Scale {
    int a;  // width of one time span at its longest
    int b;  // lowest line drawn
    // Trunc(a / 128 * (128 - position)); a / 128 is exact, so integer
    // division gives the same result without floating point.
    int time(int position) const { return byte(a * (128 - position) / 128); }
    int level(int position) const { return byte(b * position / 128 + 1); }
};

} // namespace

Geometry adsr(int width, int height, int atkTime, int dcyTime, int susLevel, int relTime)
{
    const Scale s{byte(width * 10 / 31), byte(height - 1)};
    const int tA = s.time(atkTime), tD = s.time(dcyTime), tR = s.time(relTime);
    const int yS = s.level(susLevel);
    const int x1 = tA + 1, x2 = tA + tD + 1, x3 = width - tR - 1;
    Geometry g;
    g.markerBottom = s.b;
    g.markers = {x1, x2, x3};
    g.curve = {{1, s.b}, {x1, 1}, {x2, yS}, {x3, yS}, {width - 1, s.b}};
    return g;
}

Geometry pitch(int width, int height, int initLevel, int atkTime, int atkLevel, int dcyTime, int relTime,
               int relLevel)
{
    const Scale s{byte(width * 10 / 49), byte(height - 1)};
    const int tA = s.time(atkTime), tD = s.time(dcyTime), tR = s.time(relTime);
    const int yI = s.level(initLevel), yA = s.level(atkLevel), yR = s.level(relLevel);
    const int m = s.b / 2;
    Geometry g;
    g.markerBottom = s.b;
    g.markers = {20, 20 + tA, 20 + tA + tD, width - 20 - tR, width - 20};
    g.curve = {{1, yI},      {20, yI},          {20 + tA, yA},  {20 + tA + tD, m},
               {width - 20 - tR, m}, {width - 20, yR}, {width, yR}};
    return g;
}

} // namespace kw::envelope
