// The geodesy module: geocentric latitudes on a sphere, distance and
// azimuths by spherical trigonometry, and the great-circle midpoint.
//
// Every result is meant to be reproducible to the last bit, so each
// expression below is written with the grouping it must be evaluated in,
// and this file must be compiled without floating-point contraction
// (-ffp-contract=off) and without -ffast-math.

#include "ostrem.h"
#include "placed.h"

#include <cfloat>
#include <cmath>

#if defined(__FAST_MATH__)
#error "ostrem.cpp must not be built with -ffast-math: its results depend on IEEE semantics"
#endif
#if defined(FLT_EVAL_METHOD) && FLT_EVAL_METHOD != 0
#error "ostrem.cpp needs double expressions evaluated in double, without excess precision"
#endif

#if defined(__clang__)
// Belt and braces for builds that miss the target's -ffp-contract=off.
#pragma STDC FP_CONTRACT OFF
#endif

using std::acos;
using std::atan;
using std::atan2;
using std::cos;
using std::sin;

namespace {

// The double nearest pi and degrees per radian are the placing's (placed.h);
// the other two are each one double operation on pi, folded by the compiler
// with the same rounding.
using sphere::pi;
using sphere::rd;
constexpr double pi2 = pi / 2.0;
constexpr double twopi = pi * 2.0;

// (1 - f)^2, the squared ratio of polar to equatorial radius; the literal
// itself is the definition, not a value computed from a flattening.
constexpr double fac = 0.993305621334896;

// Stands in for a sine of zero in the latitude conversions, so that the
// north pole gives atan(huge) = pi/2 exactly instead of a division by zero.
constexpr double singuard = 1.0e-30;

// A point's range test, its place on the sphere, and acos kept inside
// [-1, 1]: placed.h, shared with callers that place a point once.
using sphere::acosx;
using sphere::accept;
using sphere::place;

// The arithmetic of ostrem and walk, once, in double: inverse solves the
// inverse problem (distance and both azimuths between two points), direct
// the direct problem (the point reached along an azimuth).  The extern
// functions below are thin: the double ones store these results, the float
// ones widen their inputs (exactly) and round the results once, at the
// store.  Inlined into each, so that neither pays a second call.
inline int inverse(double olat, double olon, double tlat, double tlon, double r[3])
{
    if (!accept(olat, &olon) || !accept(tlat, &tlon))
        return 1;

    double clar, clor, ctlar, ctlor;
    place(olat, olon, &clar, &clor);
    place(tlat, tlon, &ctlar, &ctlor);
    double stho = sin(clar);
    double ctho = cos(clar);
    double sth = sin(ctlar);
    double cth = cos(ctlar);

    double dph = ctlor - clor;
    double sdph = sin(dph);
    double cdph = cos(dph);

    double delr = acosx(((stho * sth) * cdph) + (ctho * cth));

    // Only the exact north pole has a sine of exactly 0 (geocen(0) == 0);
    // the south pole's sine is about 1e-16 and takes the general formula.
    double azr;
    if (sth == 0.0)
        azr = 0.0;
    else
        azr = atan2(sdph, ((stho * cth) / sth) - (ctho * cdph));
    // -0.0 is not below 0.0: a due-north -0.0 survives, and a tiny negative
    // angle moved up by twopi rounds to 360.
    if (azr < 0.0)
        azr += twopi;

    double bazr;
    if (stho == 0.0)
        bazr = 0.0;
    else
        bazr = atan2(-sdph, ((sth * ctho) / stho) - (cth * cdph));
    if (bazr < 0.0)
        bazr += twopi;

    r[0] = delr * rd;
    r[1] = azr * rd;
    r[2] = bazr * rd;
    return 0;
}

inline int direct(double olat, double olon, double az, double del, double r[2])
{
    // The point first, as ostrem checks it; a negative longitude is not
    // moved up, so lon stays in [-180, 180].  Then the direction and the
    // distance; NaN fails none of the tests.
    if (!accept(olat, &olon))
        return 1;
    if (az < OSTREM_AZIMUTH_MIN || az > OSTREM_AZIMUTH_MAX || del < OSTREM_DISTANCE_MIN ||
        del > OSTREM_DISTANCE_MAX)
        return 1;

    double delr = del / rd;
    double azr = az / rd;
    double t0 = geocen((90.0 - olat) / rd);

    double ctheta = ((sin(delr) * sin(t0)) * cos(azr)) + (cos(t0) * cos(delr));
    double t1 = acosx(ctheta);

    double p1;
    if (t0 == 0.0) {
        // Start exactly on the north pole (only olat == 90 gives t0 == 0):
        // the azimuth there is 180 minus the longitude reached, counted
        // from the start's meridian.
        p1 = (olon + 180.0) - az;
    } else if (olat == -90.0) {
        // Start exactly on the south pole: the general formula would divide
        // rounding residues (sin(t0) is about 1e-16) and land off the
        // meridian.  From here the azimuth is the longitude difference.
        p1 = olon + az;
    } else if (t1 == 0.0) {
        // Reaching exactly the north pole: any longitude is right; 0.
        p1 = 0.0;
    } else {
        double sphi = (sin(delr) * sin(azr)) / sin(t1);
        double cphi = (cos(delr) - (cos(t0) * ctheta)) / (sin(t0) * sin(t1));
        p1 = olon + (atan2(sphi, cphi) * rd);
    }

    double bpcolat = geogrf(t1) * rd;

    // Whole turns only: from a pole p1 can lie anywhere in [-360, 720].
    // Exactly 360 stays 360, and NaN fails both tests.
    while (p1 > 360.0)
        p1 -= 360.0;
    while (p1 < 0.0)
        p1 += 360.0;

    r[0] = 90.0 - bpcolat;
    r[1] = p1;
    return 0;
}

// A double-precision result in the caller's precision: float results are
// the double ones rounded once, exactly as assigned.
template <class T>
int inverse_as(double olat, double olon, double tlat, double tlon, T *del, T *az, T *baz)
{
    double r[3];
    if (inverse(olat, olon, tlat, tlon, r) != 0)
        return 1;
    *del = static_cast<T>(r[0]);
    *az = static_cast<T>(r[1]);
    *baz = static_cast<T>(r[2]);
    return 0;
}

template <class T>
int direct_as(double olat, double olon, double az, double del, T *lat, T *lon)
{
    double r[2];
    if (direct(olat, olon, az, del, r) != 0)
        return 1;
    *lat = static_cast<T>(r[0]);
    *lon = static_cast<T>(r[1]);
    return 0;
}

}  // namespace

extern "C" {

double dmax(double arg1, double arg2)
{
    // A NaN makes the comparison false, so arg2 wins; geocen relies on
    // this to let a NaN sine through rather than the guard.
    return arg1 > arg2 ? arg1 : arg2;
}

double geocen(double in_clat)
{
    double s = dmax(singuard, sin(in_clat));
    double q = (fac * cos(in_clat)) / s;
    return pi2 - atan(q);
}

double geogrf(double in_clat)
{
    double s = dmax(singuard, sin(in_clat));
    double q = cos(in_clat) / (fac * s);
    return pi2 - atan(q);
}

int ostremd(double olat, double olon, double tlat, double tlon,
            double *del, double *az, double *baz)
{
    return inverse_as(olat, olon, tlat, tlon, del, az, baz);
}

int ostrem(float folat, float folon, float ftlat, float ftlon,
           float *del, float *az, float *baz)
{
    return inverse_as(folat, folon, ftlat, ftlon, del, az, baz);
}

int walkd(double olat, double olon, double az, double del, double *lat, double *lon)
{
    return direct_as(olat, olon, az, del, lat, lon);
}

int walk(float folat, float folon, float faz, float fdel, float *lat, float *lon)
{
    return direct_as(folat, folon, faz, fdel, lat, lon);
}

// The midpoint is half the distance along the azimuth.  In float, the walk
// starts from ostrem's float-rounded results: halving a float is exact, and
// (fdel / 2) / rd rounds as fdel / (rd * 2), so these are the bits of a
// walk of fdel / (rd * 2) radians.
int midpoint(float fqlat, float fqlon, float fslat, float fslon,
             float *bplat, float *bplon)
{
    float fdel;
    float faz;
    float fbaz;
    if (ostrem(fqlat, fqlon, fslat, fslon, &fdel, &faz, &fbaz) != 0)
        return 1;
    return walk(fqlat, fqlon, faz, fdel * 0.5f, bplat, bplon);
}

int midpointd(double qlat, double qlon, double slat, double slon, double *lat, double *lon)
{
    double del;
    double az;
    double baz;
    if (ostremd(qlat, qlon, slat, slon, &del, &az, &baz) != 0)
        return 1;
    return walkd(qlat, qlon, az, del * 0.5, lat, lon);
}

}  // extern "C"
