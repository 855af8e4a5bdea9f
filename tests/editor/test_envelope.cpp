#include "editor/EnvelopeGeometry.h"

#include <gtest/gtest.h>

using kw::envelope::Point;

TEST(EnvelopeGeometry, AdsrAtStartUpValuesInTheDesignBox)
{
    const auto g = kw::envelope::adsr(90, 31, 64, 64, 63, 64);
    EXPECT_EQ(g.markers, (std::vector<int>{15, 29, 75}));
    EXPECT_EQ(g.markerTop, 1);
    EXPECT_EQ(g.markerBottom, 30);
    EXPECT_EQ(g.curve, (std::vector<Point>{{1, 30}, {15, 1}, {29, 15}, {75, 15}, {89, 30}}));
}

TEST(EnvelopeGeometry, AdsrExtremes)
{
    // Longest attack: Trunc(29/128 * 127) = 28.
    EXPECT_EQ(kw::envelope::adsr(90, 31, 1, 64, 63, 64).markers.front(), 29);
    // Loudest sustain sits level with the attack peak.
    const auto top = kw::envelope::adsr(90, 31, 64, 64, 0, 64);
    EXPECT_EQ(top.curve[2].y, 1);
    EXPECT_EQ(top.curve[3].y, 1);
    // Shortest times and silent sustain: the line falls to the bottom line.
    const auto shortest = kw::envelope::adsr(90, 31, 127, 127, 127, 127);
    EXPECT_EQ(shortest.markers, (std::vector<int>{1, 1, 89}));
    EXPECT_EQ(shortest.curve[2].y, 30);
    // Longest times everywhere still keep decay end left of release start.
    const auto longest = kw::envelope::adsr(90, 31, 1, 1, 63, 1);
    EXPECT_LT(longest.markers[1], longest.markers[2]);
}

TEST(EnvelopeGeometry, PitchAtStartUpValuesIsFlatOnTheZeroLine)
{
    const auto g = kw::envelope::pitch(146, 31, 63, 64, 63, 64, 64, 63);
    EXPECT_EQ(g.markers, (std::vector<int>{20, 34, 48, 112, 126}));
    for (const Point& p : g.curve)
        EXPECT_EQ(p.y, 15);
    EXPECT_EQ(g.curve.front().x, 1);
    EXPECT_EQ(g.curve.back().x, 146);
}

TEST(EnvelopeGeometry, PitchLevelsMoveTheirOwnPoints)
{
    // Initial level at the top, attack level at the bottom, release level at the top.
    const auto g = kw::envelope::pitch(146, 31, 0, 64, 127, 64, 64, 0);
    EXPECT_EQ(g.curve[0], (Point{1, 1}));
    EXPECT_EQ(g.curve[1], (Point{20, 1}));
    EXPECT_EQ(g.curve[2], (Point{34, 30}));  // Trunc(30/128*127) + 1
    EXPECT_EQ(g.curve[3], (Point{48, 15}));
    EXPECT_EQ(g.curve[4], (Point{112, 15}));
    EXPECT_EQ(g.curve[5], (Point{126, 1}));
    EXPECT_EQ(g.curve[6], (Point{146, 1}));
}

TEST(EnvelopeGeometry, ScalesWithTheBox)
{
    // A box twice as wide spans twice the time.
    const auto g = kw::envelope::adsr(180, 62, 64, 64, 63, 64);
    EXPECT_EQ(g.markerBottom, 61);
    EXPECT_EQ(g.markers[0], 58 * 64 / 128 + 1);
    EXPECT_EQ(g.curve.back(), (Point{179, 61}));
}
