// The ellipsoid's small layer: the C interface of ostrem_geodesic.h, with
// the module's ranges and its conventions for what comes out (longitudes
// and azimuths in [0, 360]).  The inverse problem is the project's own
// (ellipsoid_inverse.h); the direct problem and earth-centred positions
// are GeographicLib's, for WGS84.  Built without GeographicLib
// (OSTREM_HAVE_GEOGRAPHICLIB 0), every function says so by its result and
// writes nothing.
#include "ostrem_geodesic.h"

#include <cmath>
#include <limits>

#include "ellipsoid_inverse.h"
#include "ostrem.h"

#ifndef OSTREM_HAVE_GEOGRAPHICLIB
#define OSTREM_HAVE_GEOGRAPHICLIB 1
#endif

#if OSTREM_HAVE_GEOGRAPHICLIB
#include <GeographicLib/Geocentric.hpp>
#include <GeographicLib/Geodesic.hpp>
#endif

#if OSTREM_HAVE_GEOGRAPHICLIB
namespace {

// A point within the module's ranges (the bounds included; NaN passes, as
// in the module).
bool accept(double lat, double lon)
{
    return !(lat < OSTREM_LATITUDE_MIN || lat > OSTREM_LATITUDE_MAX || lon < OSTREM_LONGITUDE_MIN ||
             lon > OSTREM_LONGITUDE_MAX);
}

// An angle from GeographicLib, in (-180, 180], or (0, 360] for a
// direction turned by 180 degrees, moved into [0, 360): only a tiny
// negative angle moved up rounds to 360.  Adding 0 makes -0 a plain 0.
double turn(double a)
{
    if (a < 0.0)
        a += 360.0;
    else if (a >= 360.0)
        a -= 360.0;
    return a + 0.0;
}

const GeographicLib::Geodesic &wgs84() { return GeographicLib::Geodesic::WGS84(); }

// One pair's inverse problem: the scalar lanes, whose bits every width
// shares, and which a single pair fills best.
void inverse_of(double eqlat, double eqlon, double stlat, double stlon, double &s12, double &azi1,
                double &azi2)
{
    ellipsoid::inverse_with(ellipsoid::Lanes::scalar, 1, &eqlat, &eqlon, &stlat, &stlon, &s12, &azi1,
                            &azi2);
}

}  // namespace
#endif

extern "C" {

int geodesic_available(void) { return OSTREM_HAVE_GEOGRAPHICLIB; }

int geodesic(double eqlat, double eqlon, double stlat, double stlon, double *km, double *az,
             double *baz)
{
#if OSTREM_HAVE_GEOGRAPHICLIB
    if (!accept(eqlat, eqlon) || !accept(stlat, stlon))
        return 1;
    double s12, azi1, azi2;
    inverse_of(eqlat, eqlon, stlat, stlon, s12, azi1, azi2);
    *km = s12 / 1000.0;
    *az = turn(azi1);
    *baz = turn(azi2 + 180.0);
    return 0;
#else
    (void)eqlat, (void)eqlon, (void)stlat, (void)stlon, (void)km, (void)az, (void)baz;
    return GEODESIC_NO_ELLIPSOID;
#endif
}

int geodesics(size_t n, const double *eqlat, const double *eqlon, const double *stlat,
              const double *stlon, double *km, double *az, double *baz)
{
#if OSTREM_HAVE_GEOGRAPHICLIB
    // In blocks on the stack: the pairs in range, solved together, then
    // turned as geodesic() turns them.
    constexpr size_t most = ellipsoid::block_pairs;
    double lat1[most], lon1[most], lat2[most], lon2[most], s12[most], azi1[most], azi2[most];
    size_t where[most];
    int rc = 0;
    for (size_t first = 0; first < n; first += most) {
        const size_t count = n - first < most ? n - first : most;
        size_t m = 0;
        for (size_t i = first; i < first + count; i++) {
            if (!accept(eqlat[i], eqlon[i]) || !accept(stlat[i], stlon[i])) {
                km[i] = az[i] = baz[i] = std::numeric_limits<double>::quiet_NaN();
                rc = 1;
                continue;
            }
            lat1[m] = eqlat[i], lon1[m] = eqlon[i], lat2[m] = stlat[i], lon2[m] = stlon[i];
            where[m++] = i;
        }
        ellipsoid::inverse(m, lat1, lon1, lat2, lon2, s12, azi1, azi2);
        for (size_t k = 0; k < m; k++) {
            const size_t i = where[k];
            km[i] = s12[k] / 1000.0;
            az[i] = turn(azi1[k]);
            baz[i] = turn(azi2[k] + 180.0);
        }
    }
    return rc;
#else
    (void)n, (void)eqlat, (void)eqlon, (void)stlat, (void)stlon, (void)km, (void)az, (void)baz;
    return GEODESIC_NO_ELLIPSOID;
#endif
}

int geodesic_walk(double lat, double lon, double az, double km, double *lat_reached,
                  double *lon_reached)
{
#if OSTREM_HAVE_GEOGRAPHICLIB
    if (!accept(lat, lon) || az < OSTREM_AZIMUTH_MIN || az > OSTREM_AZIMUTH_MAX ||
        km < GEODESIC_KM_MIN || km > GEODESIC_KM_MAX)
        return 1;
    double lat2, lon2;
    wgs84().Direct(lat, lon, az, km * 1000.0, lat2, lon2);
    *lat_reached = lat2;
    *lon_reached = turn(lon2);
    return 0;
#else
    (void)lat, (void)lon, (void)az, (void)km, (void)lat_reached, (void)lon_reached;
    return GEODESIC_NO_ELLIPSOID;
#endif
}

int geodesic_midpoint(double eqlat, double eqlon, double stlat, double stlon, double *lat,
                      double *lon)
{
#if OSTREM_HAVE_GEOGRAPHICLIB
    if (!accept(eqlat, eqlon) || !accept(stlat, stlon))
        return 1;
    // From the earthquake along the geodesic's own azimuth (not one moved
    // into [0, 360], which would round it) for half its length.
    double s12, azi1, azi2, lat2, lon2;
    inverse_of(eqlat, eqlon, stlat, stlon, s12, azi1, azi2);
    wgs84().Direct(eqlat, eqlon, azi1, s12 * 0.5, lat2, lon2);
    *lat = lat2;
    *lon = turn(lon2);
    return 0;
#else
    (void)eqlat, (void)eqlon, (void)stlat, (void)stlon, (void)lat, (void)lon;
    return GEODESIC_NO_ELLIPSOID;
#endif
}

int hypocentral(double eqlat, double eqlon, double depth_km, double stlat, double stlon,
                double elevation_m, double *km)
{
#if OSTREM_HAVE_GEOGRAPHICLIB
    if (!accept(eqlat, eqlon) || !accept(stlat, stlon) || depth_km < GEODESIC_DEPTH_MIN ||
        depth_km > GEODESIC_DEPTH_MAX || elevation_m < GEODESIC_ELEVATION_MIN ||
        elevation_m > GEODESIC_ELEVATION_MAX)
        return 1;
    const GeographicLib::Geocentric &earth = GeographicLib::Geocentric::WGS84();
    double x1, y1, z1, x2, y2, z2;
    earth.Forward(eqlat, eqlon, -depth_km * 1000.0, x1, y1, z1);
    earth.Forward(stlat, stlon, elevation_m, x2, y2, z2);
    // Differences of positions some 6,400 km from the centre: each is
    // exact to about a nanometre, far below the kilometre's last printed
    // digit.  Plain squares rather than hypot: no component can overflow.
    const double dx = x2 - x1, dy = y2 - y1, dz = z2 - z1;
    *km = std::sqrt(dx * dx + dy * dy + dz * dz) / 1000.0;
    return 0;
#else
    (void)eqlat, (void)eqlon, (void)depth_km, (void)stlat, (void)stlon, (void)elevation_m, (void)km;
    return GEODESIC_NO_ELLIPSOID;
#endif
}

int geodesic_position(double lat, double lon, double xyz[3])
{
#if OSTREM_HAVE_GEOGRAPHICLIB
    if (!accept(lat, lon))
        return 1;
    GeographicLib::Geocentric::WGS84().Forward(lat, lon, 0.0, xyz[0], xyz[1], xyz[2]);
    for (int i = 0; i < 3; i++)
        xyz[i] /= 1000.0;
    return 0;
#else
    (void)lat, (void)lon, (void)xyz;
    return GEODESIC_NO_ELLIPSOID;
#endif
}

}  // extern "C"
