// The first steps of the module's inverse problem, for the module itself
// and for callers that meet one point many times (an earthquake and each
// of its stations) and want the distance ostremd() gives, to the last bit,
// without placing the point again: a point's range test, its place on the
// geocentric sphere, and the arc between two placed points.
//
// For C++ callers inside the project, compiled as the module is: without
// floating-point contraction (-ffp-contract=off) and without -ffast-math.
#ifndef OSTREM_PLACED_H
#define OSTREM_PLACED_H

#include <cmath>

#include "ostrem.h"

namespace sphere {

// The double nearest pi, which is what acos(-1.0) returns.  Written as a
// literal so that it is constant-initialised: a caller running in another
// file's static constructor must not see zero.  rd is one double operation
// on it, folded by the compiler with the same rounding.
constexpr double pi = 0x1.921fb54442d18p+1;  // 3.141592653589793116
constexpr double rd = 180.0 / pi;             // degrees per radian

// acos whose argument rounding has pushed just outside [-1, 1]: a cosine
// of coincident points can round to 1 + 2^-52 and one of antipodal points
// to -1 - 2^-52, where an IEEE acos gives NaN for what is exactly 0 or pi.
// NaN fails both tests and stays NaN.
inline double acosx(double x)
{
    if (x > 1.0)
        return 0.0;
    if (x < -1.0)
        return pi;
    return std::acos(x);
}

// The range test of one point, in the order latitude, then longitude.  The
// comparisons are strict, so the bounds themselves pass, and NaN fails
// none of them.  A longitude above 180 is moved down by one turn, once.
// Moving down once and testing against 180 is the test against
// OSTREM_LONGITUDE_MAX, 180 + 360, as the module has always made it.
static_assert(OSTREM_LONGITUDE_MAX == 180.0 + 360.0, "one turn above 180");

inline bool accept(double lat, double *lon)
{
    if (lat < OSTREM_LATITUDE_MIN || lat > OSTREM_LATITUDE_MAX)
        return false;
    if (*lon < OSTREM_LONGITUDE_MIN)
        return false;
    if (*lon > 180.0) {
        *lon -= 360.0;
        if (*lon > 180.0)
            return false;
    }
    return true;
}

// A point's geocentric colatitude and its longitude, both in radians, with
// the longitude first moved into [0, 360].  -0.0 is not below 0.0 and stays
// -0.0, which is what makes a target at longitude -0 come out due north as
// an azimuth of -0.0.
inline void place(double lat, double lon, double *colar, double *lonr)
{
    double colat = 90.0 - lat;
    if (lon < 0.0)
        lon += 360.0;
    *colar = geocen(colat / rd);
    *lonr = lon / rd;
}

// A point placed: the sine and cosine of its geocentric colatitude, and its
// longitude in radians, as ostremd() computes them.
struct Placed {
    double sine, cosine, longitude;
};

// False for a point out of range (as ostremd() refuses it).
inline bool placed(double lat, double lon, Placed *point)
{
    double colatitude, longitude;
    if (!accept(lat, &lon))
        return false;
    place(lat, lon, &colatitude, &longitude);
    *point = {std::sin(colatitude), std::cos(colatitude), longitude};
    return true;
}

// The distance in degrees from o to t: ostremd()'s, bit for bit.
inline double arc_degrees(const Placed &o, const Placed &t)
{
    const double dph = t.longitude - o.longitude;
    return acosx(((o.sine * t.sine) * std::cos(dph)) + (o.cosine * t.cosine)) * rd;
}

}  // namespace sphere

#endif
