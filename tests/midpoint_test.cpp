// Tables for midpoint, and the property that makes it a midpoint: halfway
// from both ends along the great circle between them.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "bits.h"
#include "ostrem.h"

namespace {

const double nan = std::numeric_limits<double>::quiet_NaN();

struct Row {
    const char *what;
    double qlat, qlon, slat, slon;
    int rc;
    double lat, lon, tol;
};

void check(const Row &r)
{
    SCOPED_TRACE(r.what);
    const float unset = -12345.0f;
    float lat = unset, lon = unset;
    int rc = midpoint(static_cast<float>(r.qlat), static_cast<float>(r.qlon),
                      static_cast<float>(r.slat), static_cast<float>(r.slon),
                      &lat, &lon);
    ASSERT_EQ(rc, r.rc);
    if (rc != 0) {
        EXPECT_EQ(bits(lat), bits(unset));
        EXPECT_EQ(bits(lon), bits(unset));
        return;
    }
    EXPECT_TRUE(near_or_same(lat, r.lat, r.tol)) << "latitude";
    EXPECT_TRUE(near_or_same(lon, r.lon, r.tol)) << "longitude";
}

const Row plain_rows[] = {
    {"along the equator", 0, 0, 0, 90, 0, 0, 45, 1e-5},
    {"longitude given in 0..360", 0, -90, 0, 0, 0, 0, 315, 1e-5},
    {"halfway on the geocentric arc", 0, 0, 90, 0, 0, 45.1924, 0, 1e-4},
    {"first longitude 181 is -179", 0, 181, 0, 0, 0, 0, 270.5, 1e-4},
    {"360 is 0", 0, 360, 45, 0, 0, 22.5397, 0, 1e-4},
    {"0 is 0", 0, 0, 45, 0, 0, 22.5397, 0, 1e-4},
    {"NaN in, NaN out", nan, 0, 10, 10, 0, nan, nan, 0},
};

const Row range_rows[] = {
    {"first latitude out", 91, 0, 0, 0, 1},
    {"first longitude below", 0, -181, 0, 0, 1},
    {"first longitude above", 0, 541, 0, 0, 1},
    {"second point out, found by ostrem", 0, 0, 0, 541, 1},
    {"second latitude out", 0, 0, -91, 0, 1},
};

// From a pole the midpoint lies on the second point's meridian.
const Row pole_rows[] = {
    {"north pole, east", 90, 0, 0, 90, 0, 45.1924, 90, 1e-4},
    {"north pole, west", 90, 0, 0, -90, 0, 45.1924, 270, 1e-4},
    {"north pole, wrapped", 90, 30, -10, 200, 0, 40.2225, 200, 1e-4},
    {"south pole", -90, 0, 10, 45, 0, -40.2225, 45, 1e-4},
    {"south pole, wrapped", -90, 100, 45, -30, 0, -22.7331, 330, 1e-4},
    {"south pole, on the equator", -90, 0, 0, 90, 0, -45.1924, 90, 1e-4},
    // Equal latitudes on opposite meridians: the cosine rounds above 1,
    // is taken as 1, and the midpoint is exactly the pole at longitude 0.
    {"midpoint on the north pole", 13.4, 0, 13.4, 180, 0, 90, 0, 0},
};

TEST(Midpoint, Plain) { for (const Row &r : plain_rows) check(r); }
TEST(Midpoint, RangeChecks) { for (const Row &r : range_rows) check(r); }
TEST(Midpoint, FromAndOverThePoles) { for (const Row &r : pole_rows) check(r); }

// The south pole used to take the general formula, whose longitude follows
// rounding residues: (-90, 0) to (10, 45) came out at longitude 30.85.
TEST(Midpoint, FromTheSouthPoleStaysOnTheMeridian)
{
    for (int lon = -180; lon <= 540; lon += 15) {
        float lat, blon;
        ASSERT_EQ(midpoint(-90.0f, 0.0f, 10.0f, lon, &lat, &blon), 0);
        float want = std::fmod(lon + 360.0f, 360.0f);
        EXPECT_TRUE(std::fabs(blon - want) < 1e-4 || std::fabs(blon - want) > 360 - 1e-4)
            << lon << ": " << blon;
    }
}

// Halfway along the great circle: the distances to both ends are equal and
// each is half the whole, from the poles and across the date line too.  For
// near-antipodes the great circle hardly is one, and the walk still ends
// halfway from both.
TEST(Midpoint, HalfwayFromBothEnds)
{
    Rng rng{42};
    for (int i = 0; i < 5000; i++) {
        Pair p = varied_pair(rng);
        float lat, lon, whole, d1, d2, unused1, unused2;
        ASSERT_EQ(midpoint(p.olat, p.olon, p.tlat, p.tlon, &lat, &lon), 0);
        ASSERT_EQ(ostrem(p.olat, p.olon, p.tlat, p.tlon, &whole, &unused1, &unused2), 0);
        ASSERT_EQ(ostrem(p.olat, p.olon, lat, lon, &d1, &unused1, &unused2), 0);
        ASSERT_EQ(ostrem(p.tlat, p.tlon, lat, lon, &d2, &unused1, &unused2), 0);
        ASSERT_TRUE(lat >= -90.0f && lat <= 90.0f && lon >= 0.0f && lon <= 360.0f)
            << lat << " " << lon;
        EXPECT_NEAR(d1, whole / 2, 1e-3) << p.olat << " " << p.olon << " " << p.tlat << " " << p.tlon;
        EXPECT_NEAR(d2, whole / 2, 1e-3) << p.olat << " " << p.olon << " " << p.tlat << " " << p.tlon;
    }
}

}  // namespace
