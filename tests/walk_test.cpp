// walk, and the equalities that tie the entry points together: midpoint is
// ostrem then walk of half the distance, and each float function is its
// double twin rounded.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "bits.h"
#include "ostrem.h"

namespace {

const double nan = std::numeric_limits<double>::quiet_NaN();

struct Row {
    const char *what;
    double lat, lon, az, del;
    int rc;
    double rlat, rlon, tol;  // tol 0: the same bits
};

const Row rows[] = {
    {"east along the equator", 0, 0, 90, 90, 0, 0, 90, 1e-5},
    {"negative azimuth counts anticlockwise", 0, 0, -90, 90, 0, 0, 270, 1e-5},
    {"reaching the north pole gives longitude 0", 0, 50, 0, 90, 0, 90, 0, 0},
    {"az 0", 0, 0, 0, 45, 0, 45.1924, 0, 1e-4},
    {"az 360 lands a residue west of 0, at 360", 0, 0, 360, 45, 0, 45.19242477, 360, 0},
    {"az -360 as 0", 0, 0, -360, 45, 0, 45.1924, 0, 1e-4},
    {"distance 0 stays put", 10, 20, 45, 0, 0, 10, 20, 1e-5},
    {"distance 180 is the antipode", 30, 40, 77, 180, 0, -30, 220, 1e-4},
    {"over the date line eastwards", 0, 179, 90, 2, 0, 0, 181, 1e-4},
    {"540 starts at 180", 0, 540, 90, 1, 0, 0, 181, 1e-4},
    {"over the date line westwards", 0, -179, -90, 2, 0, 0, 179, 1e-4},
    {"north pole: 180 - az from the start meridian", 90, 30, 90, 10, 0, 80.0657, 120, 1e-4},
    {"north pole, whole turns off", 90, 180, -360, 10, 0, 80.06560516, 360, 0},
    {"south pole: az from the start meridian", -90, 100, 30, 10, 0, -80.0657, 130, 1e-4},
    {"south pole, two turns up", -90, -170, -300, 10, 0, -80.0657, 250, 1e-4},
    {"NaN azimuth passes, NaN out", 10, 10, nan, 10, 0, nan, nan, 0},
    {"latitude out", 91, 0, 0, 10, 1},
    {"longitude out", 0, 541, 0, 10, 1},
    {"azimuth above 360", 0, 0, 360.0001, 10, 1},
    {"azimuth below -360", 0, 0, -361, 10, 1},
    {"negative distance", 0, 0, 0, -0.5, 1},
    {"distance above 180", 0, 0, 0, 180.0001, 1},
};

TEST(Walk, Table)
{
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        const float unset = -12345.0f;
        float lat = unset, lon = unset;
        int rc = walk(static_cast<float>(r.lat), static_cast<float>(r.lon),
                      static_cast<float>(r.az), static_cast<float>(r.del), &lat, &lon);
        ASSERT_EQ(rc, r.rc);
        double dlat = -1, dlon = -1;
        EXPECT_EQ(walkd(static_cast<float>(r.lat), static_cast<float>(r.lon),
                        static_cast<float>(r.az), static_cast<float>(r.del), &dlat, &dlon),
                  r.rc);
        if (rc != 0) {
            EXPECT_EQ(bits(lat), bits(unset));
            EXPECT_EQ(bits(lon), bits(unset));
            EXPECT_EQ(dlat, -1);
            EXPECT_EQ(dlon, -1);
            continue;
        }
        EXPECT_TRUE(near_or_same(lat, r.rlat, r.tol)) << "latitude";
        EXPECT_TRUE(near_or_same(lon, r.rlon, r.tol)) << "longitude";
    }
}

// Over the 300,000 pairs of the build hash: each equality bit for bit, and
// the double walk along ostremd's own azimuth and distance landing on the
// target.  Landing is checked where it is well defined: not at a pole, not
// near the antipode, and not so close that acos resolves the distance no
// better than 1e-8 degrees.
TEST(Walk, EntryPointsAgreeAndWalksLand)
{
    long landed = 0;
    double worst = 0;
    auto one = [&](float a, float b, float c, float d) {
        float del, az, baz, lat, lon, wlat, wlon;
        double dd, daz, dbaz, dlat, dlon;
        ASSERT_EQ(ostrem(a, b, c, d, &del, &az, &baz), 0);
        ASSERT_EQ(ostremd(a, b, c, d, &dd, &daz, &dbaz), 0);
        ASSERT_EQ(bits(del), bits(static_cast<float>(dd)));
        ASSERT_EQ(bits(az), bits(static_cast<float>(daz)));
        ASSERT_EQ(bits(baz), bits(static_cast<float>(dbaz)));

        ASSERT_EQ(midpoint(a, b, c, d, &lat, &lon), 0);
        ASSERT_EQ(walk(a, b, az, del * 0.5f, &wlat, &wlon), 0);
        ASSERT_EQ(bits(lat), bits(wlat)) << a << " " << b << " " << c << " " << d;
        ASSERT_EQ(bits(lon), bits(wlon));

        ASSERT_EQ(walk(a, b, az, del, &wlat, &wlon), 0);
        ASSERT_EQ(walkd(a, b, az, del, &dlat, &dlon), 0);
        ASSERT_EQ(bits(wlat), bits(static_cast<float>(dlat)));
        ASSERT_EQ(bits(wlon), bits(static_cast<float>(dlon)));

        if (std::fabs(a) > 89.0f || std::fabs(c) > 89.0f || dd < 0.01 || dd > 179.9)
            return;
        ASSERT_EQ(walkd(a, b, daz, dd, &dlat, &dlon), 0);
        // Longitudes compared a whole turn apart or not (d is as given, dlon
        // in [0, 360]), and scaled to degrees of arc at that latitude.
        double east = std::remainder(dlon - d, 360.0) * std::cos(c / 57.29577951308232);
        double off = std::fmax(std::fabs(dlat - c), std::fabs(east));
        worst = std::fmax(worst, off);
        landed++;
        ASSERT_LE(off, 1e-8) << a << " " << b << " " << c << " " << d;
    };
    hash_pairs(one);
    EXPECT_GT(landed, 50000);
    RecordProperty("worst_landing_degrees", std::to_string(worst));
    std::printf("worst landing %.3g degrees over %ld walks\n", worst, landed);
}

}  // namespace
