// The computations of a pair, one each for what the filter and the
// Python package give: the distance and azimuths, the midpoint, a walk, a
// path, how the stations surround an earthquake, and the hypocentral
// distance; each a template over an arithmetic (the float sphere, the
// double sphere, the ellipsoid), so that a new computation is written
// once, below both front ends.
//
// For C++ callers inside the project.
#ifndef OSTREM_STATIONS_COMPUTATIONS_H
#define OSTREM_STATIONS_COMPUTATIONS_H

#include <cmath>
#include <iterator>
#include <string_view>
#include <type_traits>

#include "arithmetic.h"
#include "geodesic_blocks.h"
#include "pairing.h"

namespace computations {

// A pair's numbers, in the order the computations take them: the
// earthquake, the station, and for the hypocentral distance the
// earthquake's depth (km) and the station's elevation (m).
enum Slot { eqlat, eqlon, stlat, stlon, depth, elevation, pair_numbers };

constexpr int most_results = 4;  // km az baz hypo
// After the results, what the windows see of the pair: its distance and
// its two azimuths.
constexpr int distance_at = most_results, azimuth_at = distance_at + 1,
              back_azimuth_at = azimuth_at + 1;
constexpr int result_slots = back_azimuth_at + 1;

// The run's computations, each a template over an arithmetic (the float
// sphere, the double sphere, the ellipsoid).  solve() takes a pair's
// numbers (a walk's start, azimuth and distance in the first four), rounds
// them to the arithmetic's numbers, and fills the results, and where the
// pair has_distance, the slots the windows see; it returns the module's
// result code.  single: the results are floats, written as the programs
// write them.  names: what -H calls the results.  A path's point() gives
// the points along it.
template <class A>
struct Computation {
    using Real = typename A::Real;
    static constexpr bool single = std::is_same<Real, float>::value;
    static constexpr bool path = false;
    static constexpr bool summary = false;  // one line an earthquake, of all its pairs
    // Solved a block of lines at once (the ellipsoid's inverse problem),
    // then complete()d line by line.
    static constexpr bool batched = false;
    // Its pairs are the inverse problem (then complete()d): in the
    // ellipsoid's arithmetic, -S solves a block of stations at once.
    static constexpr bool solves_inverse = false;
    // complete() takes the earthquake's depth and the station's elevation.
    static constexpr bool heights = false;
    static int complete(const double[], double[]) { return 0; }
    using Arithmetic = A;
    // A result that is NaN though the module took the numbers: a NaN
    // that its comparisons let through.
    static bool gives_nan(const double r[]) { return std::isnan(r[0]) || std::isnan(r[1]); }
};

// A problem's numbers in, rounded to its arithmetic's, and its results
// out, widened to double.
template <class P>
int solve_problem(const double c[], double r[])
{
    return P::from_double(c, r);
}

// What the windows see: the distance and the azimuths, as computed.
inline void seen_as(double r[], double distance, double azimuth, double back_azimuth)
{
    r[distance_at] = distance;
    r[azimuth_at] = azimuth;
    r[back_azimuth_at] = back_azimuth;
}

inline stations::Seen seen(const double r[]) { return {r[distance_at], r[azimuth_at], r[back_azimuth_at]}; }

template <class A>
struct Distance : Computation<A> {
    static constexpr int results = arithmetic::Inverse<A>::nout;
    static constexpr bool has_distance = true;
    static constexpr std::string_view names[] = {
        std::is_same<A, arithmetic::Ellipsoid>::value ? "km" : "dist", "az", "baz"};
    static constexpr bool batched = std::is_same<A, arithmetic::Ellipsoid>::value;
    static constexpr bool solves_inverse = true;
    static int solve(const double c[], double r[])
    {
        int rc = solve_problem<arithmetic::Inverse<A>>(c, r);
        if (rc == 0)
            complete(c, r);
        return rc;
    }
    // After the inverse problem's three results.
    static int complete(const double[], double r[])
    {
        seen_as(r, r[0], r[1], r[2]);
        return 0;
    }
};

// A midpoint alone is the arithmetic's midpoint; under a window, whose
// test needs the distance and the azimuths, the inverse problem and then
// the midpoint from it.
template <class A>
struct Midpoint : Computation<A> {
    static constexpr int results = arithmetic::Midpoint<A>::nout;
    static constexpr bool has_distance = false;
    static constexpr std::string_view names[] = {"midlat", "midlon"};
    static int solve(const double c[], double r[]) { return solve_problem<arithmetic::Midpoint<A>>(c, r); }
};

template <class A>
struct WindowedMidpoint : Midpoint<A> {
    using Real = typename A::Real;
    static constexpr bool has_distance = true;
    static int solve(const double c[], double r[])
    {
        const Real x[arithmetic::Inverse<A>::nin] = {static_cast<Real>(c[0]), static_cast<Real>(c[1]),
                                                     static_cast<Real>(c[2]), static_cast<Real>(c[3])};
        Real inverse[arithmetic::Inverse<A>::nout], mid[arithmetic::Midpoint<A>::nout];
        int rc = arithmetic::Inverse<A>::call(x, inverse);
        if (rc == 0) {
            seen_as(r, inverse[0], inverse[1], inverse[2]);
            rc = A::midpoint_after(x, inverse, mid);
        }
        if (rc == 0)
            r[0] = mid[0], r[1] = mid[1];
        return rc;
    }
};

template <class A>
struct Walk : Computation<A> {
    static constexpr int results = arithmetic::Direct<A>::nout;
    static constexpr bool has_distance = false;
    static constexpr std::string_view names[] = {"lat", "lon"};
    static int solve(const double c[], double r[]) { return solve_problem<arithmetic::Direct<A>>(c, r); }
};

// A path (-n): the pair's distance and azimuth, then the points reached
// from the earthquake along that azimuth at fractions of the distance (the
// whole of it at the last, exactly), in the arithmetic's numbers: with
// floats, from the float start, along the float azimuth, for the distance
// rounded to float, as the programs round.
template <class A>
struct Path : Distance<A> {
    using Real = typename A::Real;
    static constexpr bool path = true;
    static constexpr bool batched = false;
    static constexpr std::string_view names[] = {"lat", "lon"};  // a point's
    static void point(const double c[], const double r[], double fraction, double *lat,
                      double *lon)
    {
        const Real along[arithmetic::Direct<A>::nin] = {static_cast<Real>(c[0]), static_cast<Real>(c[1]),
                                                        static_cast<Real>(r[1]),
                                                        static_cast<Real>(r[0] * fraction)};
        Real reached[arithmetic::Direct<A>::nout];
        arithmetic::Direct<A>::call(along, reached);
        *lat = reached[0];
        *lon = reached[1];
    }
    // The points first .. first + count - 1 of a path of `steps` steps,
    // each point()'s bits: on the ellipsoid, one geodesic set up once and
    // its points solved in the lanes.
    static void points(const double c[], const double r[], int steps, int first, int count, double *lat,
                       double *lon)
    {
        if constexpr (std::is_same<A, arithmetic::Ellipsoid>::value) {
            double metres[ellipsoid::block_pairs], azimuth[ellipsoid::block_pairs];
            for (int k = 0; k < count; k++)  // as geodesic_walk() takes the kilometres point() gives it
                metres[k] = r[0] * (static_cast<double>(first + k) / steps) * 1000.0;
            ellipsoid::path(c[0], c[1], r[1], static_cast<size_t>(count), metres, lat, lon, azimuth);
            for (int k = 0; k < count; k++)
                lon[k] = ellipsoid::turned(lon[k]);
        } else {
            for (int k = 0; k < count; k++)
                point(c, r, static_cast<double>(first + k) / steps, &lat[k], &lon[k]);
        }
    }
};

// How the stations surround an earthquake (-G): its pairs' distances and
// azimuths, summed up in one line.
template <class A>
struct Surrounding : Distance<A> {
    static constexpr bool summary = true;
    static constexpr bool batched = false;
    static constexpr std::string_view names[] = {"n", "dmin", "gap", "gap2"};
};

// The hypocentral distance from a pair's numbers, its heights included
// (km); the module's result code.
inline int hypocentral_of(const double c[], double *km)
{
    const double h[arithmetic::Hypocentral::nin] = {c[eqlat], c[eqlon], c[depth],
                                                    c[stlat], c[stlon], c[elevation]};
    return solve_problem<arithmetic::Hypocentral>(h, km);
}

// With the earthquake's depth and the station's elevation (-z, -Z): the
// geodesic's numbers, then the straight line from the hypocentre.
struct GeodesicHypocentral : Distance<arithmetic::Ellipsoid> {
    static constexpr int hypo = Distance::results;  // where it goes
    static constexpr int results = hypo + arithmetic::Hypocentral::nout;
    static constexpr std::string_view names[] = {"km", "az", "baz", "hypo"};
    static constexpr bool heights = true;
    static_assert(std::size(names) == results, "a name for each result");
    static int solve(const double c[], double r[])
    {
        int rc = solve_problem<arithmetic::Inverse<arithmetic::Ellipsoid>>(c, r);
        return rc == 0 ? complete(c, r) : rc;
    }
    static int complete(const double c[], double r[])
    {
        Distance::complete(c, r);
        return hypocentral_of(c, &r[hypo]);
    }
    static bool gives_nan(const double r[]) { return Distance::gives_nan(r) || std::isnan(r[hypo]); }
    // complete() from the earthquake's and the station's earth-centred
    // positions (metres) placed beforehand, once each for many pairs: the
    // same bits and refusals as complete().
    static int complete_placed(const double c[], double r[], const double quake[3], const double station[3])
    {
        Distance::complete(c, r);
        if (!ellipsoid::takes(c[eqlat], c[eqlon]) || !ellipsoid::takes(c[stlat], c[stlon]) ||
            !ellipsoid::takes_heights(c[depth], c[elevation]))
            return 1;
        r[hypo] = ellipsoid::straight_km(quake[0], quake[1], quake[2], station[0], station[1], station[2]);
        return 0;
    }
};

// An earthquake's earth-centred position (metres) at its depth, as
// hypocentral() places it.
inline void place_earthquake(const double c[], double xyz[3])
{
    const double height = -c[depth] * 1000.0;
    ellipsoid::positions_with(ellipsoid::Lanes::scalar, 1, &c[eqlat], &c[eqlon], &height, &xyz[0], &xyz[1],
                              &xyz[2]);
}

static_assert(GeodesicHypocentral::results <= most_results, "results before the windows' slots");

// A batched line's pair, which waits only where the block solver gives it
// numbers: solve() would take it, and it has no NaN (whose field a
// message names, as solve() alone finds it).
template <class Solve>
bool gives_numbers(const double c[])
{
    bool numbers = ellipsoid::has_numbers(c[eqlat], c[eqlon]) && ellipsoid::has_numbers(c[stlat], c[stlon]);
    if constexpr (Solve::heights)
        numbers = numbers && ellipsoid::has_heights(c[depth], c[elevation]);
    return numbers;
}


}  // namespace computations

#endif
