// Tables for the latitude conversions and for ostrem, grouped by the
// behaviour they pin down.  Where the last bit is the point (-0.0, 360,
// an exact 0) the comparison is on bit patterns.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "bits.h"
#include "ostrem.h"

namespace {

const double pi = std::acos(-1.0);
const double rd = 180.0 / pi;
const double nan = std::numeric_limits<double>::quiet_NaN();

TEST(Dmax, NanGoesToTheSecondArgument)
{
    EXPECT_EQ(dmax(1.0e-30, 0.0), 1.0e-30);
    EXPECT_EQ(dmax(1.0e-30, 0.5), 0.5);
    EXPECT_EQ(dmax(0.5, 1.0e-30), 0.5);
    EXPECT_TRUE(std::isnan(dmax(0.5, nan)));
    EXPECT_EQ(dmax(nan, 0.5), 0.5);
}

TEST(Conversion, PolesAndEquator)
{
    EXPECT_EQ(bits(geocen(0.0)), bits(0.0));
    EXPECT_EQ(bits(geogrf(0.0)), bits(0.0));
    EXPECT_NEAR(geocen(pi / 2), pi / 2, 1e-15);
    EXPECT_NEAR(geocen(pi), pi, 1e-15);
    EXPECT_NEAR(geogrf(pi), pi, 1e-15);
    // Just outside [0, pi] the sine is negative and the guard takes over.
    EXPECT_EQ(geocen(-1e-9), 0.0);
    EXPECT_EQ(geocen(pi + 1e-9), pi);
    EXPECT_TRUE(std::isnan(geocen(nan)));
}

TEST(Conversion, MidLatitudeMovesTowardsTheEquator)
{
    double c = geocen((90.0 - 45.0) / rd) * rd;
    EXPECT_NEAR(90.0 - c, 44.8076, 1e-4);
    EXPECT_NEAR(geogrf(c / rd) * rd, 45.0, 1e-14);
}

TEST(Conversion, GeogrfUndoesGeocen)
{
    for (int i = 0; i <= 10000; i++) {
        double x = pi * i / 10000.0;
        ASSERT_NEAR(geogrf(geocen(x)), x, 2e-15) << "x = " << x;
    }
}

// One row per call: the inputs are doubles rounded to float at the call,
// as the programs do; tol 0 asks for the same bits.
struct Row {
    const char *what;
    double olat, olon, tlat, tlon;
    int rc;
    double del, az, baz, tol;
};

void check(const Row &r)
{
    SCOPED_TRACE(r.what);
    const float unset = -12345.0f;
    float del = unset, az = unset, baz = unset;
    int rc = ostrem(static_cast<float>(r.olat), static_cast<float>(r.olon),
                    static_cast<float>(r.tlat), static_cast<float>(r.tlon),
                    &del, &az, &baz);
    ASSERT_EQ(rc, r.rc);
    if (rc != 0) {  // nothing may be written on failure
        EXPECT_EQ(bits(del), bits(unset));
        EXPECT_EQ(bits(az), bits(unset));
        EXPECT_EQ(bits(baz), bits(unset));
        return;
    }
    EXPECT_TRUE(near_or_same(del, r.del, r.tol)) << "distance";
    EXPECT_TRUE(near_or_same(az, r.az, r.tol)) << "azimuth";
    EXPECT_TRUE(near_or_same(baz, r.baz, r.tol)) << "back-azimuth";
}

const Row range_rows[] = {
    {"bounds accepted", 90, -180, -90, 540, 0, 180, 180, 0, 1e-4},
    {"540 becomes 180", 0, 540, 0, 0, 0, 180, 315, 45, 0},
    {"origin latitude above", 91, 0, 0, 0, 1},
    {"origin latitude below", -90.5, 0, 0, 0, 1},
    {"origin longitude below", 0, -181, 0, 0, 1},
    {"origin longitude above", 0, 541, 0, 0, 1},
    {"target latitude above", 0, 0, 91, 0, 1},
    {"target latitude below", 0, 0, -90.5, 0, 1},
    {"target longitude below", 0, 0, 0, -181, 1},
    {"target longitude above", 0, 0, 0, 541, 1},
    {"bad target after a good origin", 0, 0, 0, 541, 1},
    {"infinite latitude", INFINITY, 0, 0, 0, 1},
    {"infinite longitude", 0, 0, 0, -INFINITY, 1},
    // The tests see the float: -180 - 1e-6 rounds to -180, -180 - 1e-5 below.
    // (The pairs on either side of the bounds are antipodal: their azimuths
    // come from rounding residues, pinned here to the bit.)
    {"rounds onto -180", 0, -180.000001, 0, 0, 0, 180, 315, 45, 0},
    {"rounds below -180", 0, -180.00001, 0, 0, 1},
    {"rounds onto 540", 0, 540.00001, 0, 0, 0, 180, 315, 45, 0},
    {"rounds above 540", 0, 540.0001, 0, 0, 1},
    {"rounds onto 90", 90.000001, 0, 0, 0, 0, 90, 180, 0, 0},
};

const Row pole_rows[] = {
    {"towards the north pole", 0, 0, 90, 0, 0, 90, 0, 180, 0},
    {"both on the north pole", 90, 0, 90, 45, 0, 0, 0, 0, 0},
    {"north pole to south pole", 90, 0, -90, 90, 0, 180, 90, 0, 1e-4},
    {"towards the south pole", 10, 20, -90, 0, 0, 99.9343948, 180, 20, 1e-4},
    {"from the south pole", -90, 0, 10, 45, 0, 99.9343948, 45, 180, 1e-4},
    {"from the north pole, 180 - dlon", 90, 30, -10, 200, 0, 99.9343948, 10, 0, 1e-4},
    {"from the north pole, residue gives 360", 90, 180, 0, 0, 0, 90, 360, 0, 0},
    {"from the north pole, residue gives 0", 90, 0, 0, 180, 0, 90, 0, 0, 1e-6},
};

const Row signed_zero_rows[] = {
    {"equator, 90 apart", 0, 0, 0, 90, 0, 90, 90, 270, 0},
    {"coincident on the equator", 0, 0, 0, 0, 0, 0, 0, -0.0, 0},
    {"back-azimuth -0 from the south pole", 0, 0, -90, 0, 0, 90, 180, -0.0, 0},
    {"azimuth -0 towards longitude -0", 0, 0, 10, -0.0, 0, 9.93439388, -0.0, 180, 0},
    {"azimuth +0 towards longitude +0", 0, 0, 10, 0.0, 0, 9.93439388, 0.0, 180, 0},
    // The azimuth is a residue of the maths library's rounding (due north,
    // 5e-15 here, other last bits elsewhere); 1e-6 still tells 360 from
    // the float below it, 3e-5 away.
    {"tiny negative back-azimuth rounds to 360", 45, 0, 45, 180, 0, 90.3848495, 4.97830994e-15, 360, 1e-6},
};

const Row wrap_rows[] = {
    {"origin 200 is -160", 0, 200, 0, 0, 0, 160, 90, 270, 0},
    {"target -20", 0, 0, 0, -20, 0, 20, 270, 90, 0},
    {"target 340", 0, 0, 0, 340, 0, 20, 270, 90, 0},
    {"across the date line", 0, 179, 0, -179, 0, 2, 90, 270, 1e-4},
    {"across the date line, 0..360", 0, 179, 0, 181, 0, 2, 90, 270, 1e-4},
    {"NaN is accepted", nan, 0, 0, 0, 0, nan, nan, nan, 0},
    {"NaN beside a pole keeps the pole's 0", 90, nan, 0, 0, 0, nan, nan, 0, 0},
};

TEST(Ostrem, RangeChecks) { for (const Row &r : range_rows) check(r); }
TEST(Ostrem, Poles) { for (const Row &r : pole_rows) check(r); }
TEST(Ostrem, SignedZerosAnd360) { for (const Row &r : signed_zero_rows) check(r); }
TEST(Ostrem, LongitudeWrapping) { for (const Row &r : wrap_rows) check(r); }

// A cosine that rounds just above 1 (coincident points) or below -1
// (antipodal ones) used to give a NaN distance at a handful of latitudes.
TEST(Ostrem, CoincidentAndAntipodalNeverNan)
{
    for (int lat = -90; lat <= 90; lat++) {
        for (int lon : {0, 45, 180, 333}) {
            float d, az, baz;
            ASSERT_EQ(ostrem(lat, lon, lat, lon, &d, &az, &baz), 0);
            EXPECT_TRUE(d >= 0.0f && d < 1e-5f) << lat << " " << lon << ": " << d;
            ASSERT_EQ(ostrem(lat, lon, -lat, lon + 180, &d, &az, &baz), 0);
            EXPECT_TRUE(d > 180.0f - 1e-5f && d <= 180.0f) << lat << " " << lon << ": " << d;
            EXPECT_FALSE(std::isnan(az) || std::isnan(baz)) << lat << " " << lon;
        }
    }
}

}  // namespace

namespace {

// The header's constants are the bounds the functions test: each bound is
// accepted, and the next double beyond it refused, by ostremd, midpointd
// and walkd alike.
TEST(Ranges, TheHeadersBoundsAreTheTestedOnes)
{
    struct Bound {
        int slot;      // of ostremd's (lat, lon, lat, lon) or walkd's (lat, lon, az, dist)
        double edge, beyond;
        bool walk;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const Bound bounds[] = {
        {0, OSTREM_LATITUDE_MIN, -inf, false},  {0, OSTREM_LATITUDE_MAX, inf, false},
        {1, OSTREM_LONGITUDE_MIN, -inf, false}, {1, OSTREM_LONGITUDE_MAX, inf, false},
        {2, OSTREM_LATITUDE_MIN, -inf, false},  {3, OSTREM_LONGITUDE_MAX, inf, false},
        {2, OSTREM_AZIMUTH_MIN, -inf, true},    {2, OSTREM_AZIMUTH_MAX, inf, true},
        {3, OSTREM_DISTANCE_MIN, -inf, true},   {3, OSTREM_DISTANCE_MAX, inf, true},
    };
    for (const Bound &b : bounds) {
        for (bool past : {false, true}) {
            double c[4] = {10, 20, 30, b.walk ? 40.0 : 50.0};
            c[b.slot] = past ? std::nextafter(b.edge, b.beyond) : b.edge;
            double r[3];
            int want = past ? 1 : 0;
            if (b.walk) {
                EXPECT_EQ(walkd(c[0], c[1], c[2], c[3], &r[0], &r[1]), want) << b.slot << " " << c[b.slot];
            } else {
                EXPECT_EQ(ostremd(c[0], c[1], c[2], c[3], &r[0], &r[1], &r[2]), want) << b.slot << " " << c[b.slot];
                EXPECT_EQ(midpointd(c[0], c[1], c[2], c[3], &r[0], &r[1]), want) << b.slot << " " << c[b.slot];
            }
        }
    }
}

}  // namespace
