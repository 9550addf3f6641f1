// The arithmetics the programs, the filter and the Python package compute
// in, one entry each: the number type and the functions that solve the
// inverse problem, the direct problem and the midpoint.  And the problems
// as the callers see them: how many numbers in and out, and the call, in
// that arithmetic's numbers.  The filter's computations and the ufuncs'
// loops are both built from these, so that a count is written once.
//
// For C++ callers inside the project; C callers have ostrem.h and
// ostrem_geodesic.h.
#ifndef OSTREM_ARITHMETIC_H
#define OSTREM_ARITHMETIC_H

#include "ostrem.h"
#include "ostrem_geodesic.h"

namespace arithmetic {

// The programs' floats: their bits, for coordinates rounded to float.
struct FloatSphere {
    using Real = float;
    static int inverse(const Real c[4], Real r[3]) { return ostrem(c[0], c[1], c[2], c[3], &r[0], &r[1], &r[2]); }
    static int direct(const Real c[4], Real r[2]) { return walk(c[0], c[1], c[2], c[3], &r[0], &r[1]); }
    static int midpoint(const Real c[4], Real r[2]) { return ::midpoint(c[0], c[1], c[2], c[3], &r[0], &r[1]); }
    // The midpoint when the inverse problem is already solved: the walk of
    // half its distance, by the midpoint's definition the same bits.
    static int midpoint_after(const Real c[4], const Real inverse[3], Real r[2])
    {
        const Real half[4] = {c[0], c[1], inverse[1], inverse[0] * 0.5f};
        return direct(half, r);
    }
};

// The same sphere in double precision throughout.
struct DoubleSphere {
    using Real = double;
    static int inverse(const Real c[4], Real r[3]) { return ostremd(c[0], c[1], c[2], c[3], &r[0], &r[1], &r[2]); }
    static int direct(const Real c[4], Real r[2]) { return walkd(c[0], c[1], c[2], c[3], &r[0], &r[1]); }
    static int midpoint(const Real c[4], Real r[2]) { return midpointd(c[0], c[1], c[2], c[3], &r[0], &r[1]); }
    static int midpoint_after(const Real c[4], const Real inverse[3], Real r[2])
    {
        const Real half[4] = {c[0], c[1], inverse[1], inverse[0] * 0.5};
        return direct(half, r);
    }
};

// WGS84, in kilometres: the geodesic through GeographicLib.
struct Ellipsoid {
    using Real = double;
    static int inverse(const Real c[4], Real r[3]) { return geodesic(c[0], c[1], c[2], c[3], &r[0], &r[1], &r[2]); }
    static int direct(const Real c[4], Real r[2]) { return geodesic_walk(c[0], c[1], c[2], c[3], &r[0], &r[1]); }
    static int midpoint(const Real c[4], Real r[2]) { return geodesic_midpoint(c[0], c[1], c[2], c[3], &r[0], &r[1]); }
    // The geodesic's own midpoint, which walks along the unrounded azimuth.
    static int midpoint_after(const Real c[4], const Real[3], Real r[2]) { return midpoint(c, r); }
    // The straight line from the hypocentre: eqlat eqlon depth stlat stlon
    // elevation.
    static int hypocentral(const Real c[6], Real r[1]) { return ::hypocentral(c[0], c[1], c[2], c[3], c[4], c[5], &r[0]); }
};

// A problem: nin numbers in, nout results out, in A's numbers.
template <class A, int in, int out, int (*f)(const typename A::Real *, typename A::Real *)>
struct Problem {
    using Arithmetic = A;
    using Real = typename A::Real;
    static constexpr int nin = in, nout = out;
    static int call(const Real *c, Real *r) { return f(c, r); }
};

// Distance (or km), azimuth, back-azimuth between two points.
template <class A>
using Inverse = Problem<A, 4, 3, A::inverse>;
// The point reached from a start along an azimuth for a distance.
template <class A>
using Direct = Problem<A, 4, 2, A::direct>;
// The point halfway between two points.
template <class A>
using Midpoint = Problem<A, 4, 2, A::midpoint>;
using Hypocentral = Problem<Ellipsoid, 6, 1, Ellipsoid::hypocentral>;

}  // namespace arithmetic

#endif
