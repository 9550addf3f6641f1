// The ranges a value must lie in, as the module tests them, with the words
// a message names them by ("latitude -90 to 90"), so that every refusal
// of the three programs reads its bounds from the module's header.
#ifndef OSTREM_COMMON_RANGES_H
#define OSTREM_COMMON_RANGES_H

#include <cfloat>
#include <cstddef>
#include <cstdio>

#include "ostrem.h"
#include "ostrem_geodesic.h"

namespace ranges {

struct Range {
    const char *name;
    double lo, hi;
    const char *unit = "";  // after the bounds: "depth -10 to 1000 km"

    // Bounds included; NaN lies in no range.
    bool holds(double x) const { return x >= lo && x <= hi; }
    // "latitude -90 to 90" into buf; the bounds are whole degrees, which %g
    // writes without a point.  A range with no upper bound: "km 0 or more".
    void describe(char *buf, size_t n) const
    {
        if (hi == DBL_MAX)
            std::snprintf(buf, n, "%s %g or more%s", name, lo, unit);
        else
            std::snprintf(buf, n, "%s %g to %g%s", name, lo, hi, unit);
    }
};

constexpr Range latitude{"latitude", OSTREM_LATITUDE_MIN, OSTREM_LATITUDE_MAX};
constexpr Range longitude{"longitude", OSTREM_LONGITUDE_MIN, OSTREM_LONGITUDE_MAX};
constexpr Range azimuth{"azimuth", OSTREM_AZIMUTH_MIN, OSTREM_AZIMUTH_MAX};
constexpr Range distance{"distance", OSTREM_DISTANCE_MIN, OSTREM_DISTANCE_MAX};
// A walk's length on the ellipsoid, finite.
constexpr Range kilometres{"km", GEODESIC_KM_MIN, GEODESIC_KM_MAX};
// The hypocentral distance's heights, against the ellipsoid.
constexpr Range depth{"depth", GEODESIC_DEPTH_MIN, GEODESIC_DEPTH_MAX, " km"};
constexpr Range elevation{"elevation", GEODESIC_ELEVATION_MIN, GEODESIC_ELEVATION_MAX, " m"};

// A point's latitude and longitude, NaN refused.
inline bool point_holds(double lat, double lon) { return latitude.holds(lat) && longitude.holds(lon); }

// The programs' refusal of a coordinate: "PROG: coordinate out of range
// (latitude -90 to 90, longitude -180 to 540)".
inline void refuse_coordinate(const char *prog)
{
    char lat[48], lon[48];
    latitude.describe(lat, sizeof lat);
    longitude.describe(lon, sizeof lon);
    std::fprintf(stderr, "%s: coordinate out of range (%s, %s)\n", prog, lat, lon);
}

}  // namespace ranges

#endif
