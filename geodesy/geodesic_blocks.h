// Many pairs' geodesics, a block at a time: the one way every caller
// (geodesics(), the filter's batches, the pairing's blocks, the ufuncs)
// gathers pairs into the lanes' arrays, solves them, and hands each
// pair's results back, with the ranges, the NaN rule and the directions
// moved into [0, 360] written once.
//
// For C++ callers inside the project; C callers have ostrem_geodesic.h.
#ifndef OSTREM_GEODESIC_BLOCKS_H
#define OSTREM_GEODESIC_BLOCKS_H

#include <cmath>
#include <cstddef>
#include <limits>

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

}  // namespace ellipsoid

#endif
