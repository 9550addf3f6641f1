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

#include <type_traits>
#include <utility>

#include "ostrem.h"
#include "ostrem_geodesic.h"

namespace arithmetic {

// The programs' floats: their bits, for coordinates rounded to float.
struct FloatSphere {
    using Real = float;
    static constexpr auto inverse = &::ostrem;
    static constexpr auto direct = &::walk;
    static constexpr auto midpoint = &::midpoint;
    // The midpoint when the inverse problem is already solved: the walk of
    // half its distance, by the midpoint's definition the same bits.
    static int midpoint_after(const Real c[4], const Real inverse[3], Real r[2])
    {
        return ::walk(c[0], c[1], inverse[1], inverse[0] * 0.5f, &r[0], &r[1]);
    }
};

// The same sphere in double precision throughout.
struct DoubleSphere {
    using Real = double;
    static constexpr auto inverse = &::ostremd;
    static constexpr auto direct = &::walkd;
    static constexpr auto midpoint = &::midpointd;
    static int midpoint_after(const Real c[4], const Real inverse[3], Real r[2])
    {
        return ::walkd(c[0], c[1], inverse[1], inverse[0] * 0.5, &r[0], &r[1]);
    }
};

// WGS84, in kilometres: the geodesic, the project's own.
struct Ellipsoid {
    using Real = double;
    static constexpr auto inverse = &::geodesic;
    static constexpr auto direct = &::geodesic_walk;
    static constexpr auto midpoint = &::geodesic_midpoint;
    // The geodesic's own midpoint, which walks along the unrounded azimuth.
    static int midpoint_after(const Real c[4], const Real[3], Real r[2])
    {
        return ::geodesic_midpoint(c[0], c[1], c[2], c[3], &r[0], &r[1]);
    }
};

// A problem: nin numbers in, nout results out, in A's numbers; f is the
// module's function, which takes the numbers and the results' addresses.
template <class A, int in, int out, auto f>
struct Problem {
    using Arithmetic = A;
    using Real = typename A::Real;
    static constexpr int nin = in, nout = out;

    static int call(const Real *c, Real *r) { return call(c, r, Ins(), Outs()); }
    // Numbers given as double, rounded to A's as the programs round atof's
    // double; results widened (exactly) to double, and written only on
    // success.  Scalars throughout: the processor forwards no copy through
    // an array of another width.
    static int from_double(const double *c, double *r) { return from_double(c, r, Ins(), Outs()); }

private:
    using Ins = std::make_integer_sequence<int, in>;
    using Outs = std::make_integer_sequence<int, out>;
    template <int... I, int... O>
    static int call(const Real *c, Real *r, std::integer_sequence<int, I...>, std::integer_sequence<int, O...>)
    {
        return f(c[I]..., &r[O]...);
    }
    template <int... I, int... O>
    static int from_double(const double *c, double *r, std::integer_sequence<int, I...>,
                           std::integer_sequence<int, O...>)
    {
        if constexpr (std::is_same<Real, double>::value) {
            return f(c[I]..., &r[O]...);
        } else {
            Real results[out];
            int rc = f(static_cast<Real>(c[I])..., &results[O]...);
            if (rc == 0)
                ((r[O] = results[O]), ...);
            return rc;
        }
    }
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
// The straight line from the hypocentre: eqlat eqlon depth stlat stlon
// elevation.
using Hypocentral = Problem<Ellipsoid, 6, 1, &::hypocentral>;

}  // namespace arithmetic

#endif
