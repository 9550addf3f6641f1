// The direct problem on WGS84 and earth-centred positions, the project's
// own, for many walks, many points of one path, or many positions at once,
// in the lanes that the inverse problem uses (ellipsoid_inverse.h): the
// same bits on every machine and at every lane width.
//
// For C++ callers inside the project; C callers have ostrem_geodesic.h.
#ifndef OSTREM_ELLIPSOID_DIRECT_H
#define OSTREM_ELLIPSOID_DIRECT_H

#include <cstddef>

#include "ellipsoid_inverse.h"

namespace ellipsoid {

// n walks, in arrays of n: from (lat1, lon1), degrees (latitudes in [-90,
// 90]; longitudes and azimuths any finite value, reduced exactly), along
// the geodesic that leaves it at azimuth1 for metres (0 or more; past half
// the meridian it goes on around the earth).  lat2, lon2: the point
// reached, the longitude in [-180, 180]; azimuth2: the direction of travel
// there, (-180, 180].  NaN in gives NaN out.  The outputs may not overlap
// the inputs.
void direct(std::size_t n, const double *lat1, const double *lon1, const double *azimuth1,
            const double *metres, double *lat2, double *lon2, double *azimuth2);

// One geodesic, n points along it: the distances in metres, each point's
// numbers those of direct() from the same start, bit for bit.
void path(double lat1, double lon1, double azimuth1, std::size_t n, const double *metres, double *lat2,
          double *lon2, double *azimuth2);

// n earth-centred positions: latitude and longitude in degrees, height in
// metres above the ellipsoid; x, y, z in metres (x towards longitude 0 on
// the equator, z towards the north pole).
void positions(std::size_t n, const double *lat, const double *lon, const double *height, double *x,
               double *y, double *z);

// The same with a given width, which must run (for tests and benchmarks).
void direct_with(Lanes lanes, std::size_t n, const double *lat1, const double *lon1, const double *azimuth1,
                 const double *metres, double *lat2, double *lon2, double *azimuth2);
void path_with(Lanes lanes, double lat1, double lon1, double azimuth1, std::size_t n, const double *metres,
               double *lat2, double *lon2, double *azimuth2);
void positions_with(Lanes lanes, std::size_t n, const double *lat, const double *lon, const double *height,
                    double *x, double *y, double *z);

namespace widths {
// Each width's solvers of the direct problem (null where not built).
struct Direct {
    void (*walks)(std::size_t, const double *, const double *, const double *, const double *, double *,
                  double *, double *);
    void (*path)(double, double, double, std::size_t, const double *, double *, double *, double *);
    void (*positions)(std::size_t, const double *, const double *, const double *, double *, double *,
                      double *);
};
extern const Direct direct_scalar, direct_sse2, direct_avx2, direct_neon;
}  // namespace widths

}  // namespace ellipsoid

#endif
