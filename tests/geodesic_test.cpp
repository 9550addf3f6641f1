// The ellipsoid's C interface: its conventions for what comes out and what
// a refusal leaves, which the filter and the ufuncs rely on.  (Its numbers
// are held to an independent implementation in tests/python.)
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "geodesic_blocks.h"
#include "ostrem_geodesic.h"

namespace {

const double nan = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(Geodesic, DirectionsInZeroTo360AndNeverMinusZero)
{
    const double pairs[][4] = {{0, 0, 0, 90}, {0, 0, 0, -90}, {0, 0, 10, 0}, {10, 0, 0, 0},
                               {0, 179.5, 0, -179.5}, {90, 0, -90, 0}, {45, 45, 45, 45},
                               {-30, 400, 20, -170}};
    for (const auto &p : pairs) {
        double km, az, baz, lat, lon;
        ASSERT_EQ(geodesic(p[0], p[1], p[2], p[3], &km, &az, &baz), 0);
        ASSERT_EQ(geodesic_midpoint(p[0], p[1], p[2], p[3], &lat, &lon), 0);
        for (double a : {az, baz, lon}) {
            EXPECT_TRUE(a >= 0 && a < 360) << p[0] << " " << p[1] << " " << p[2] << " " << p[3] << ": " << a;
            EXPECT_FALSE(std::signbit(a)) << a;
        }
        EXPECT_GE(km, 0);
    }
    // Due north along a meridian, the back-azimuth is due south.
    double km, az, baz;
    ASSERT_EQ(geodesic(0, 10, 10, 10, &km, &az, &baz), 0);
    EXPECT_EQ(az, 0.0);
    EXPECT_NEAR(baz, 180.0, 1e-12);
}

TEST(Geodesic, RefusalsWriteNothing)
{
    double a = -1, b = -1, c = -1;
    EXPECT_EQ(geodesic(90.0000001, 0, 0, 0, &a, &b, &c), 1);
    EXPECT_EQ(geodesic(0, 0, 0, 540.0000001, &a, &b, &c), 1);
    EXPECT_EQ(geodesic_midpoint(-91, 0, 0, 0, &a, &b), 1);
    EXPECT_EQ(geodesic_walk(0, 0, 360.0000001, 1, &a, &b), 1);
    EXPECT_EQ(geodesic_walk(0, 0, 0, -1e-9, &a, &b), 1);
    EXPECT_EQ(geodesic_walk(0, 0, 0, inf, &a, &b), 1);
    EXPECT_TRUE(a == -1 && b == -1 && c == -1);
    // The bounds themselves are accepted; NaN passes and gives NaN.
    EXPECT_EQ(geodesic(-90, -180, 90, 540, &a, &b, &c), 0);
    EXPECT_EQ(geodesic_walk(0, 0, -360, 0, &a, &b), 0);
    EXPECT_EQ(geodesic(nan, 0, 0, 0, &a, &b, &c), 0);
    EXPECT_TRUE(std::isnan(a));
}

// The heights' bounds are the header's, included; one step past either is
// refused without a write.  Straight above the epicentre the distance is
// the difference of the heights.
TEST(Geodesic, HypocentralBoundsAndTheVertical)
{
    const struct {
        double depth, elevation;
        int rc;
    } cases[] = {{GEODESIC_DEPTH_MIN, GEODESIC_ELEVATION_MIN, 0},
                 {GEODESIC_DEPTH_MAX, GEODESIC_ELEVATION_MAX, 0},
                 {std::nextafter(GEODESIC_DEPTH_MIN, -inf), 0, 1},
                 {std::nextafter(GEODESIC_DEPTH_MAX, inf), 0, 1},
                 {0, std::nextafter(GEODESIC_ELEVATION_MIN, -inf), 1},
                 {0, std::nextafter(GEODESIC_ELEVATION_MAX, inf), 1}};
    for (const auto &c : cases) {
        double km = -1;
        EXPECT_EQ(hypocentral(30, 40, c.depth, 30, 40, c.elevation, &km), c.rc)
            << c.depth << " " << c.elevation;
        if (c.rc)
            EXPECT_EQ(km, -1);
        else
            EXPECT_NEAR(km, std::abs(c.depth + c.elevation / 1000), 1e-9);
    }
    double km = -1;
    EXPECT_EQ(hypocentral(90.0000001, 0, 0, 0, 0, 0, &km), 1);
    EXPECT_EQ(hypocentral(0, 0, 0, 0, 540.0000001, 0, &km), 1);
    EXPECT_EQ(km, -1);
    EXPECT_EQ(hypocentral(0, 0, nan, 0, 0, 0, &km), 0);
    EXPECT_TRUE(std::isnan(km));
}


// The one block solver every caller gathers its pairs through: each pair
// put exactly once, whatever the count against the block's size; a pair
// refused (out of range, NaN as its rule says) exactly as geodesic()
// refuses it; every other one geodesic()'s bits.
TEST(Geodesic, BlockSolverPutsEachPairOnceAndRefusesAsGeodesicDoes)
{
    const ellipsoid::Ends kinds[] = {
        {10, 20, -30, 40},     // plain
        {90, 0, -90, 0},       // the bounds
        {0, 540, 0, -180},     // longitudes at both bounds
        {91, 0, 0, 0},         // latitude out of range: refused
        {0, 0, 0, 541},        // longitude out of range: refused
        {nan, 0, 0, 0},        // NaN: taken, NaN results, not refused
        {0, 0, -inf, 0},       // infinite: refused
    };
    const size_t nkinds = std::size(kinds);
    for (size_t n : {size_t{0}, size_t{1}, size_t{7}, ellipsoid::block_pairs - 1, ellipsoid::block_pairs,
                     ellipsoid::block_pairs + 1, 3 * ellipsoid::block_pairs + 5}) {
        std::vector<int> times_put(n, 0);
        std::vector<ellipsoid::Geodesic> got(n);
        const size_t refused = ellipsoid::solve_blocks(
            n, [&](size_t i) { return kinds[(i * 5) % nkinds]; },
            [&](size_t i, const ellipsoid::Geodesic &g) {
                times_put[i]++;
                got[i] = g;
            });
        size_t expected_refused = 0;
        for (size_t i = 0; i < n; i++) {
            ASSERT_EQ(times_put[i], 1) << "pair " << i << " of " << n;
            const ellipsoid::Ends &e = kinds[(i * 5) % nkinds];
            double km = 0, az = 0, baz = 0;
            const int rc = geodesic(e.eqlat, e.eqlon, e.stlat, e.stlon, &km, &az, &baz);
            if (rc != 0) {
                expected_refused++;
                EXPECT_TRUE(std::isnan(got[i].km) && std::isnan(got[i].azimuth) && std::isnan(got[i].back_azimuth));
                continue;
            }
            EXPECT_TRUE(same_bits(got[i].km, km) && same_bits(got[i].azimuth, az) &&
                        same_bits(got[i].back_azimuth, baz))
                << e.eqlat << " " << e.eqlon << " " << e.stlat << " " << e.stlon;
        }
        EXPECT_EQ(refused, expected_refused) << n;
    }
}

// The batch's test of a line's pair: only pairs the block solver gives
// numbers wait in it.
TEST(Geodesic, WhichPointsHaveNumbers)
{
    const struct {
        double lat, lon;
        bool taken, numbers;
    } cases[] = {
        {0, 0, true, true},        {90, 540, true, true},     {-90, -180, true, true},
        {90.0000001, 0, false, false}, {0, -180.0000001, false, false}, {nan, 0, true, false},
        {0, nan, true, false},     {inf, 0, false, false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(ellipsoid::takes(c.lat, c.lon), c.taken) << c.lat << " " << c.lon;
        EXPECT_EQ(ellipsoid::has_numbers(c.lat, c.lon), c.numbers) << c.lat << " " << c.lon;
    }
    EXPECT_TRUE(ellipsoid::has_heights(GEODESIC_DEPTH_MAX, GEODESIC_ELEVATION_MIN));
    EXPECT_FALSE(ellipsoid::has_heights(GEODESIC_DEPTH_MAX + 1e-9, 0));
    EXPECT_FALSE(ellipsoid::has_heights(0, nan));
    EXPECT_TRUE(ellipsoid::takes_heights(nan, 0));
}

}  // namespace
