// Many pairs' geodesics, a block at a time: the one way every caller
// (geodesics(), the filter's batches, the pairing's blocks, the ufuncs)
// gathers pairs into the lanes' arrays, solves them, and hands each
// pair's results back, with the ranges, the NaN rule and the directions
// moved into [0, 360] written once.  Walks and midpoints the same way.
//
// For C++ callers inside the project; C callers have ostrem_geodesic.h.
#ifndef OSTREM_GEODESIC_BLOCKS_H
#define OSTREM_GEODESIC_BLOCKS_H

#include <cmath>
#include <cstddef>
#include <limits>

#include "ellipsoid_direct.h"
#include "ellipsoid_inverse.h"
#include "ostrem.h"
#include "ostrem_geodesic.h"

namespace ellipsoid {

// A point the ellipsoid's functions take: within the module's ranges, the
// bounds included.  NaN lies outside no range: it is taken, and gives NaN.
inline bool takes(double lat, double lon)
{
    return !(lat < OSTREM_LATITUDE_MIN || lat > OSTREM_LATITUDE_MAX || lon < OSTREM_LONGITUDE_MIN ||
             lon > OSTREM_LONGITUDE_MAX);
}

// The heights the hypocentral distance takes (kilometres of depth, metres
// of elevation), by the same rule.
inline bool takes_heights(double depth_km, double elevation_m)
{
    return !(depth_km < GEODESIC_DEPTH_MIN || depth_km > GEODESIC_DEPTH_MAX ||
             elevation_m < GEODESIC_ELEVATION_MIN || elevation_m > GEODESIC_ELEVATION_MAX);
}

// A walk's start, azimuth and distance that geodesic_walk() takes.
inline bool takes_walk(double lat, double lon, double azimuth, double km)
{
    return takes(lat, lon) && !(azimuth < OSTREM_AZIMUTH_MIN || azimuth > OSTREM_AZIMUTH_MAX ||
                                km < GEODESIC_KM_MIN || km > GEODESIC_KM_MAX);
}

// The straight line between two earth-centred positions (metres), in
// kilometres.  Differences of positions some 6,400 km from the centre:
// each is exact to about a nanometre, far below the kilometre's last
// printed digit.  Plain squares rather than hypot: no component can
// overflow, and hypot is each libm's own.
inline double straight_km(double x1, double y1, double z1, double x2, double y2, double z2)
{
    const double dx = x2 - x1, dy = y2 - y1, dz = z2 - z1;
    return std::sqrt(dx * dx + dy * dy + dz * dz) / 1000.0;
}

// A point with numbers: taken, and no NaN (which is taken but gives NaN).
inline bool has_numbers(double lat, double lon)
{
    return takes(lat, lon) && !std::isnan(lat) && !std::isnan(lon);
}

// Heights with numbers: taken, and no NaN.
inline bool has_heights(double depth_km, double elevation_m)
{
    return takes_heights(depth_km, elevation_m) && !std::isnan(depth_km) && !std::isnan(elevation_m);
}

// An angle of the inverse problem, in (-180, 180], or (0, 360] for a
// direction turned by 180 degrees, moved into [0, 360): only a tiny
// negative angle moved up rounds to 360.  Adding 0 makes -0 a plain 0.
inline double turned(double a)
{
    if (a < 0.0)
        a += 360.0;
    else if (a >= 360.0)
        a -= 360.0;
    return a + 0.0;
}

// A pair's ends, and what the inverse problem gives of it: the length in
// kilometres, the azimuth at the earthquake and the back-azimuth at the
// station, both in [0, 360].
struct Ends {
    double eqlat, eqlon, stlat, stlon;
};
struct Geodesic {
    double km, azimuth, back_azimuth;
};

// The loop every block solver shares: n items, block_pairs at a time.
// take(i, m) puts item i in the block's slot m and says whether it is in
// range; an item out of range is refuse()d at once, and counted.  solve(m)
// solves the block's m items, and give(k, i) hands slot k's results to
// item i.  Returns how many were refused.
template <class Take, class Refuse, class Solve, class Give>
std::size_t by_blocks(std::size_t n, Take &&take, Refuse &&refuse, Solve &&solve, Give &&give)
{
    std::size_t where[block_pairs];
    std::size_t refused = 0;
    for (std::size_t first = 0; first < n; first += block_pairs) {
        const std::size_t count = n - first < block_pairs ? n - first : block_pairs;
        std::size_t m = 0;
        for (std::size_t i = first; i < first + count; i++) {
            if (take(i, m)) {
                where[m++] = i;
            } else {
                refuse(i);
                refused++;
            }
        }
        solve(m);
        for (std::size_t k = 0; k < m; k++)
            give(k, where[k]);
    }
    return refused;
}

constexpr double nan_result = std::numeric_limits<double>::quiet_NaN();

// A block's pairs: the ends, and the inverse problem's results.
struct PairBlock {
    double lat1[block_pairs], lon1[block_pairs], lat2[block_pairs], lon2[block_pairs];
    double metres[block_pairs], azimuth1[block_pairs], azimuth2[block_pairs];
    bool take(const Ends &e, std::size_t m)
    {
        lat1[m] = e.eqlat, lon1[m] = e.eqlon, lat2[m] = e.stlat, lon2[m] = e.stlon;
        return takes(e.eqlat, e.eqlon) && takes(e.stlat, e.stlon);
    }
    void solve(std::size_t m) { inverse(m, lat1, lon1, lat2, lon2, metres, azimuth1, azimuth2); }
};

// Solves n pairs, a block of block_pairs at a time: ends(i) gives the i-th
// pair's Ends, put(i, geodesic) takes its results, each the same bits as
// geodesic() gives that pair alone.  A pair that geodesic() would refuse
// (an end out of range) is refused here too: put() gets NaN for it.  Each
// pair is put exactly once; within a block, the refused ones first.
// Returns how many were refused.
template <class EndsOf, class Put>
std::size_t solve_blocks(std::size_t n, EndsOf &&ends, Put &&put)
{
    PairBlock b;
    return by_blocks(
        n, [&](std::size_t i, std::size_t m) { return b.take(ends(i), m); },
        [&](std::size_t i) { put(i, Geodesic{nan_result, nan_result, nan_result}); },
        [&](std::size_t m) { b.solve(m); },
        [&](std::size_t k, std::size_t i) {
            put(i, Geodesic{b.metres[k] / 1000.0, turned(b.azimuth1[k]), turned(b.azimuth2[k] + 180.0)});
        });
}

// A walk: its start, the azimuth there and the distance (kilometres);
// and a point reached (degrees, the longitude in [0, 360]).
struct Walk {
    double lat, lon, azimuth, km;
};
struct Point {
    double lat, lon;
};

// Solves n walks a block at a time, as solve_blocks() solves pairs: each
// point the same bits as geodesic_walk() gives it alone, a walk it would
// refuse given NaN.  Returns how many were refused.
template <class WalkOf, class Put>
std::size_t walk_blocks(std::size_t n, WalkOf &&walk, Put &&put)
{
    double lat1[block_pairs], lon1[block_pairs], azimuth1[block_pairs], metres[block_pairs];
    double lat2[block_pairs], lon2[block_pairs], azimuth2[block_pairs];
    return by_blocks(
        n,
        [&](std::size_t i, std::size_t m) {
            const Walk w = walk(i);
            lat1[m] = w.lat, lon1[m] = w.lon, azimuth1[m] = w.azimuth, metres[m] = w.km * 1000.0;
            return takes_walk(w.lat, w.lon, w.azimuth, w.km);
        },
        [&](std::size_t i) { put(i, Point{nan_result, nan_result}); },
        [&](std::size_t m) { direct(m, lat1, lon1, azimuth1, metres, lat2, lon2, azimuth2); },
        [&](std::size_t k, std::size_t i) { put(i, Point{lat2[k], turned(lon2[k])}); });
}

// Solves n pairs' midpoints a block at a time: the inverse problem, then
// the walk from the earthquake along its unrounded azimuth for half its
// length, each the same bits as geodesic_midpoint() gives.  Returns how
// many were refused (NaN put).
template <class EndsOf, class Put>
std::size_t midpoint_blocks(std::size_t n, EndsOf &&ends, Put &&put)
{
    PairBlock b;
    double lat[block_pairs], lon[block_pairs], azimuth[block_pairs];
    return by_blocks(
        n, [&](std::size_t i, std::size_t m) { return b.take(ends(i), m); },
        [&](std::size_t i) { put(i, Point{nan_result, nan_result}); },
        [&](std::size_t m) {
            b.solve(m);
            for (std::size_t k = 0; k < m; k++)
                b.metres[k] = b.metres[k] * 0.5;
            direct(m, b.lat1, b.lon1, b.azimuth1, b.metres, lat, lon, azimuth);
        },
        [&](std::size_t k, std::size_t i) { put(i, Point{lat[k], turned(lon[k])}); });
}

}  // namespace ellipsoid

#endif
