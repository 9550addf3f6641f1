// Symmetry over a million seeded pairs: the distance does not depend on
// which end is the origin, and the azimuth from A to B is the back-azimuth
// of the call from B to A.  Directions are left out where they are
// undefined: at a pole, and between coincident or antipodal points.
#include <cmath>

#include <gtest/gtest.h>

#include "bits.h"
#include "ostrem.h"

namespace {

// Difference of two directions in degrees, 0 and 360 being the same.
double angle_apart(double a, double b)
{
    double d = std::fabs(std::fmod(a - b, 360.0));
    return d > 180.0 ? 360.0 - d : d;
}

TEST(Properties, SwappingTheEndsOverAMillionPairs)
{
    Rng rng{1234567};
    long directions = 0;
    for (int i = 0; i < 1000000; i++) {
        Pair p = varied_pair(rng);
        float d1, az1, baz1, d2, az2, baz2;
        ASSERT_EQ(ostrem(p.olat, p.olon, p.tlat, p.tlon, &d1, &az1, &baz1), 0);
        ASSERT_EQ(ostrem(p.tlat, p.tlon, p.olat, p.olon, &d2, &az2, &baz2), 0);
        ASSERT_NEAR(d1, d2, 1e-3) << p.olat << " " << p.olon << " " << p.tlat << " " << p.tlon;
        bool pole = std::fabs(p.olat) == 90.0f || std::fabs(p.tlat) == 90.0f;
        if (pole || d1 < 0.01f || d1 > 179.99f)
            continue;
        directions++;
        ASSERT_LE(angle_apart(az1, baz2), 1e-3)
            << p.olat << " " << p.olon << " " << p.tlat << " " << p.tlon;
        ASSERT_LE(angle_apart(baz1, az2), 1e-3)
            << p.olat << " " << p.olon << " " << p.tlat << " " << p.tlon;
    }
    EXPECT_GT(directions, 500000);  // the exclusions stay a minority
}

}  // namespace
