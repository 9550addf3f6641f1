// Feeds arbitrary coordinates to ostrem, midpoint and walk and aborts when
// one of their promises breaks.  The first input byte picks how the next
// sixteen become four floats: as raw bit patterns, or folded into and just
// around the accepted ranges, where the bounds, the poles and the date line
// are.  walk takes the first two as its start and the last two, folded into
// and around [-360, 360] and [0, 180] or raw, as azimuth and distance.
// The ellipsoid's inverse problem takes the same four, widened to double,
// or with the third bit of the first byte a nearly antipodal pair made
// from them: every lane width must give the scalar bits, the results must
// lie in their ranges, and, with GeographicLib at hand, within 50 nm of
// its length.  The ellipsoid's direct problem takes the first point, the
// third number as an azimuth and the fourth, scaled by the second byte's
// power of two, as metres: every width's bits, a point on the globe, and,
// up to 10^8 m, within 50 nm of GeographicLib's.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "ellipsoid_direct.h"
#include "ellipsoid_inverse.h"
#include "ostrem.h"

#if OSTREM_HAVE_GEOGRAPHICLIB
#include <GeographicLib/Geodesic.hpp>
#endif

namespace {

const float sentinel = -12345.0f;

bool same_bits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool lat_ok(float v) { return !(v < -90.0f || v > 90.0f); }
bool lon_ok(float v) { return !(v < -180.0f || v > 540.0f); }

// An offset of a few ulps either way from one of the interesting values.
float fold(uint32_t u, bool is_lat)
{
    static const float lats[] = {-90.0f, -89.99f, -45.0f, 0.0f, 13.4f, 45.0f, 89.99f, 90.0f};
    static const float lons[] = {-180.0f, -179.99f, -90.0f, 0.0f, 90.0f, 180.0f,
                                 179.99f, 360.0f, 539.99f, 540.0f};
    if (u & 1) {  // anywhere in and a little beyond the range
        double t = (u >> 1) * 0x1p-31;
        return is_lat ? static_cast<float>(-95.0 + 190.0 * t)
                      : static_cast<float>(-185.0 + 730.0 * t);
    }
    float v = is_lat ? lats[(u >> 1) % 8] : lons[(u >> 1) % 10];
    int steps = static_cast<int>((u >> 8) % 9) - 4;
    for (; steps > 0; steps--)
        v = std::nextafter(v, INFINITY);
    for (; steps < 0; steps++)
        v = std::nextafter(v, -INFINITY);
    if ((u >> 12) & 1 && v == 0.0f)
        v = -0.0f;
    return v;
}

// Azimuths and distances: the bounds and whole turns, a few ulps either
// way, or anywhere in and a little beyond the range.
float fold_walk(uint32_t u, bool is_az)
{
    static const float azs[] = {-360.0f, -180.0f, -0.0f, 0.0f, 90.0f, 180.0f, 360.0f};
    static const float dels[] = {0.0f, 1e-7f, 90.0f, 179.99f, 180.0f};
    if (u & 1) {
        double t = (u >> 1) * 0x1p-31;
        return is_az ? static_cast<float>(-365.0 + 730.0 * t)
                     : static_cast<float>(-5.0 + 190.0 * t);
    }
    float v = is_az ? azs[(u >> 1) % 7] : dels[(u >> 1) % 5];
    int steps = static_cast<int>((u >> 8) % 5) - 2;
    for (; steps > 0; steps--)
        v = std::nextafter(v, INFINITY);
    for (; steps < 0; steps++)
        v = std::nextafter(v, -INFINITY);
    return v;
}

void check(bool ok)
{
    if (!ok)
        std::abort();
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void check_inverse(const uint8_t *data, const float c[4])
{
    double p[4] = {c[0], c[1], c[2], c[3]};
    if (data[0] & 4) {  // off the antipode of the first point by up to about 1e-6 degrees
        p[2] = -p[0] + static_cast<int8_t>(data[9]) * 1e-8 * std::ldexp(1.0, -(data[10] % 24));
        p[3] = p[1] + 180 + static_cast<int8_t>(data[13]) * 1e-8 * std::ldexp(1.0, -(data[14] % 24));
    }
    double s12, azi1, azi2;
    ellipsoid::inverse_with(ellipsoid::Lanes::scalar, 1, &p[0], &p[1], &p[2], &p[3], &s12, &azi1, &azi2);
    for (ellipsoid::Lanes lanes : {ellipsoid::Lanes::sse2, ellipsoid::Lanes::avx2, ellipsoid::Lanes::neon}) {
        if (!ellipsoid::runs(lanes))
            continue;
        double s, a1, a2;
        ellipsoid::inverse_with(lanes, 1, &p[0], &p[1], &p[2], &p[3], &s, &a1, &a2);
        check(same_bits(s, s12) && same_bits(a1, azi1) && same_bits(a2, azi2));
    }
    const bool usable = lat_ok(static_cast<float>(p[0])) && lat_ok(static_cast<float>(p[2])) &&
                        std::fabs(p[0]) <= 90 && std::fabs(p[2]) <= 90 && std::fabs(p[1]) <= 1e6 &&
                        std::fabs(p[3]) <= 1e6;
    if (!usable)
        return;
    check(s12 >= 0 && s12 <= 20003932);  // half the meridian; NaN fails
    check(azi1 >= -180 && azi1 <= 180 && azi2 >= -180 && azi2 <= 180);
#if OSTREM_HAVE_GEOGRAPHICLIB
    double s, a1, a2;
    GeographicLib::Geodesic::WGS84().Inverse(p[0], p[1], p[2], p[3], s, a1, a2);
    check(std::fabs(s - s12) <= 50e-9);
#endif
}

void check_direct(const uint8_t *data, const float c[4])
{
    const double lat1 = c[0], lon1 = c[1], azimuth1 = c[2];
    const double metres = std::fabs(static_cast<double>(c[3])) * std::ldexp(1.0, data[1] % 32 - 8);
    double lat2, lon2, azimuth2;
    ellipsoid::direct_with(ellipsoid::Lanes::scalar, 1, &lat1, &lon1, &azimuth1, &metres, &lat2, &lon2,
                           &azimuth2);
    for (ellipsoid::Lanes lanes : {ellipsoid::Lanes::sse2, ellipsoid::Lanes::avx2, ellipsoid::Lanes::neon}) {
        if (!ellipsoid::runs(lanes))
            continue;
        double a, b, z;
        ellipsoid::direct_with(lanes, 1, &lat1, &lon1, &azimuth1, &metres, &a, &b, &z);
        check(same_bits(a, lat2) && same_bits(b, lon2) && same_bits(z, azimuth2));
    }
    const bool usable = std::fabs(lat1) <= 90 && std::fabs(lon1) <= 1e6 && std::fabs(azimuth1) <= 1e6 &&
                        metres <= 1e12;  // NaN fails
    if (!usable)
        return;
    check(lat2 >= -90 && lat2 <= 90 && lon2 >= -180 && lon2 <= 180);
    check(azimuth2 >= -180 && azimuth2 <= 180);
#if OSTREM_HAVE_GEOGRAPHICLIB
    // Past some two turns a unit in the last place of the arc (which two
    // solutions may scale by A1 rounded differently) is near 50 nm.
    if (metres > 1e8)
        return;
    double lat, lon;
    GeographicLib::Geodesic::WGS84().Direct(lat1, lon1, azimuth1, metres, lat, lon);
    double east = std::fabs(lon - lon2);
    east = std::fmin(east, 360 - east) * std::cos(lat * 0.017453292519943295);
    check(std::hypot(lat - lat2, east) * 111.4e3 <= 50e-9);
#endif
}

// The walk from the first point, along the second's numbers or, with bit
// 2, along an azimuth and a distance folded into their ranges: accepted
// as its ranges say, within the globe, the double twin's bits rounded.
void check_walk(const uint8_t *data, const float c[4])
{
    float wa = c[2], wd = c[3];
    if (data[0] & 2) {
        uint32_t u;
        std::memcpy(&u, data + 9, 4);
        wa = fold_walk(u, true);
        std::memcpy(&u, data + 13, 4);
        wd = fold_walk(u, false);
    }
    const bool walkable = lat_ok(c[0]) && lon_ok(c[1]) && !(wa < -360.0f || wa > 360.0f) &&
                          !(wd < 0.0f || wd > 180.0f);
    float lat = sentinel, lon = sentinel;
    const int rc = walk(c[0], c[1], wa, wd, &lat, &lon);
    check(rc == (walkable ? 0 : 1));
    if (rc != 0) {
        check(same_bits(lat, sentinel) && same_bits(lon, sentinel));
        return;
    }
    if (std::isfinite(c[0]) && std::isfinite(c[1]) && std::isfinite(wa) && std::isfinite(wd)) {
        check(lat >= -90.0f && lat <= 90.0f);
        check(lon >= 0.0f && lon <= 360.0f);
    }
    double d[2];
    check(walkd(c[0], c[1], wa, wd, &d[0], &d[1]) == 0);
    check(same_bits(lat, static_cast<float>(d[0])) && same_bits(lon, static_cast<float>(d[1])));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 17)
        return 0;
    float c[4];
    for (int i = 0; i < 4; i++) {
        uint32_t u;
        std::memcpy(&u, data + 1 + 4 * i, 4);
        if (data[0] & 1)
            c[i] = fold(u, i % 2 == 0);
        else
            std::memcpy(&c[i], &u, 4);
    }
    check_inverse(data, c);
    check_direct(data, c);
    const bool accepted = lat_ok(c[0]) && lon_ok(c[1]) && lat_ok(c[2]) && lon_ok(c[3]);
    const bool finite = std::isfinite(c[0]) && std::isfinite(c[1]) &&
                        std::isfinite(c[2]) && std::isfinite(c[3]);

    float del = sentinel, az = sentinel, baz = sentinel;
    int rc = ostrem(c[0], c[1], c[2], c[3], &del, &az, &baz);
    check(rc == (accepted ? 0 : 1));
    if (rc != 0) {
        check(same_bits(del, sentinel) && same_bits(az, sentinel) && same_bits(baz, sentinel));
    } else if (finite) {
        check(del >= 0.0f && del <= 180.0f);        // NaN fails these too
        check(az >= 0.0f && az <= 360.0f);          // -0.0 passes
        check(baz >= 0.0f && baz <= 360.0f);
    }

    // The double twin, rounded, is the float function bit for bit.
    double d[3];
    if (ostremd(c[0], c[1], c[2], c[3], &d[0], &d[1], &d[2]) == 0)
        check(rc == 0 && same_bits(del, static_cast<float>(d[0])) &&
              same_bits(az, static_cast<float>(d[1])) && same_bits(baz, static_cast<float>(d[2])));
    else
        check(rc != 0);

    float lat = sentinel, lon = sentinel;
    rc = midpoint(c[0], c[1], c[2], c[3], &lat, &lon);
    check(rc == (accepted ? 0 : 1));
    if (rc != 0) {
        check(same_bits(lat, sentinel) && same_bits(lon, sentinel));
    } else if (finite) {
        check(lat >= -90.0f && lat <= 90.0f);
        check(lon >= 0.0f && lon <= 360.0f);
    }

    check_walk(data, c);
    return 0;
}
