#pragma once
// Where the lines of the three envelope pictures go, computed from the track
// bar positions alone, so the pictures can be checked without pixels.

#include <vector>

namespace kw::envelope {

struct Point {
    int x, y;
    bool operator==(const Point&) const = default;
};

struct Geometry {
    std::vector<int> markers;   // x of each red vertical line
    int markerTop = 1;          // red lines run from markerTop to markerBottom
    int markerBottom = 0;
    std::vector<Point> curve;   // the green envelope line, left to right
};

// Amplitude and filter EG: attack, decay and release times (bar positions
// 1..127, 128 - position is the stored time) and the sustain level (bar
// position 0..127, 0 is the loudest) in a box of width x height pixels.
Geometry adsr(int width, int height, int atkTime, int dcyTime, int susLevel, int relTime);

// Pitch EG: initial, attack and release levels (positions 0..127) and attack,
// decay and release times (positions 1..127).
Geometry pitch(int width, int height, int initLevel, int atkTime, int atkLevel, int dcyTime, int relTime,
               int relLevel);

} // namespace kw::envelope
