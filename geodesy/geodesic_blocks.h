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

// Solves n pairs, a block of block_pairs at a time: ends(i) gives the i-th
// pair's Ends, put(i, geodesic) takes its results, each the same bits as
// geodesic() gives that pair alone.  A pair that geodesic() would refuse
// (an end out of range) is refused here too: put() gets NaN for it.  Each
// pair is put exactly once; within a block, the refused ones first.
// Returns how many were refused.
template <class EndsOf, class Put>
std::size_t solve_blocks(std::size_t n, EndsOf &&ends, Put &&put)
{
    constexpr std::size_t most = block_pairs;
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    double lat1[most], lon1[most], lat2[most], lon2[most], metres[most], azimuth1[most], azimuth2[most];
    std::size_t where[most];
    std::size_t refused = 0;
    for (std::size_t first = 0; first < n; first += most) {
        const std::size_t count = n - first < most ? n - first : most;
        std::size_t m = 0;
        for (std::size_t i = first; i < first + count; i++) {
            const Ends e = ends(i);
            if (!takes(e.eqlat, e.eqlon) || !takes(e.stlat, e.stlon)) {
                put(i, Geodesic{nan, nan, nan});
                refused++;
                continue;
            }
            lat1[m] = e.eqlat, lon1[m] = e.eqlon, lat2[m] = e.stlat, lon2[m] = e.stlon;
            where[m++] = i;
        }
        inverse(m, lat1, lon1, lat2, lon2, metres, azimuth1, azimuth2);
        for (std::size_t k = 0; k < m; k++)
            put(where[k], Geodesic{metres[k] / 1000.0, turned(azimuth1[k]), turned(azimuth2[k] + 180.0)});
    }
    return refused;
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
    constexpr std::size_t most = block_pairs;
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    double lat1[most], lon1[most], azimuth1[most], metres[most], lat2[most], lon2[most], azimuth2[most];
    std::size_t where[most];
    std::size_t refused = 0;
    for (std::size_t first = 0; first < n; first += most) {
        const std::size_t count = n - first < most ? n - first : most;
        std::size_t m = 0;
        for (std::size_t i = first; i < first + count; i++) {
            const Walk w = walk(i);
            if (!takes_walk(w.lat, w.lon, w.azimuth, w.km)) {
                put(i, Point{nan, nan});
                refused++;
                continue;
            }
            lat1[m] = w.lat, lon1[m] = w.lon, azimuth1[m] = w.azimuth, metres[m] = w.km * 1000.0;
            where[m++] = i;
        }
        direct(m, lat1, lon1, azimuth1, metres, lat2, lon2, azimuth2);
        for (std::size_t k = 0; k < m; k++)
            put(where[k], Point{lat2[k], turned(lon2[k])});
    }
    return refused;
}

// Solves n pairs' midpoints a block at a time: the inverse problem, then
// the walk from the earthquake along its unrounded azimuth for half its
// length, each the same bits as geodesic_midpoint() gives.  Returns how
// many were refused (NaN put).
template <class EndsOf, class Put>
std::size_t midpoint_blocks(std::size_t n, EndsOf &&ends, Put &&put)
{
    constexpr std::size_t most = block_pairs;
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    double lat1[most], lon1[most], lat2[most], lon2[most], metres[most], azimuth1[most], azimuth2[most];
    std::size_t where[most];
    std::size_t refused = 0;
    for (std::size_t first = 0; first < n; first += most) {
        const std::size_t count = n - first < most ? n - first : most;
        std::size_t m = 0;
        for (std::size_t i = first; i < first + count; i++) {
            const Ends e = ends(i);
            if (!takes(e.eqlat, e.eqlon) || !takes(e.stlat, e.stlon)) {
                put(i, Point{nan, nan});
                refused++;
                continue;
            }
            lat1[m] = e.eqlat, lon1[m] = e.eqlon, lat2[m] = e.stlat, lon2[m] = e.stlon;
            where[m++] = i;
        }
        inverse(m, lat1, lon1, lat2, lon2, metres, azimuth1, azimuth2);
        for (std::size_t k = 0; k < m; k++)
            metres[k] = metres[k] * 0.5;
        // The points reached go where the stations were, which the inverse
        // problem no longer needs.
        direct(m, lat1, lon1, azimuth1, metres, lat2, lon2, azimuth2);
        for (std::size_t k = 0; k < m; k++)
            put(where[k], Point{lat2[k], turned(lon2[k])});
    }
    return refused;
}

}  // namespace ellipsoid

#endif
