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
#include "geodesic_blocks.h"
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

using ellipsoid::takes;
using ellipsoid::turned;

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
    if (!takes(eqlat, eqlon) || !takes(stlat, stlon))
        return 1;
    double s12, azi1, azi2;
    inverse_of(eqlat, eqlon, stlat, stlon, s12, azi1, azi2);
    *km = s12 / 1000.0;
    *az = turned(azi1);
    *baz = turned(azi2 + 180.0);
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
    const size_t refused = ellipsoid::solve_blocks(
        n, [&](size_t i) { return ellipsoid::Ends{eqlat[i], eqlon[i], stlat[i], stlon[i]}; },
        [&](size_t i, const ellipsoid::Geodesic &g) {
            km[i] = g.km;
            az[i] = g.azimuth;
            baz[i] = g.back_azimuth;
        });
    return refused > 0 ? 1 : 0;
#else
    (void)n, (void)eqlat, (void)eqlon, (void)stlat, (void)stlon, (void)km, (void)az, (void)baz;
    return GEODESIC_NO_ELLIPSOID;
#endif
}

int geodesic_walk(double lat, double lon, double az, double km, double *lat_reached,
                  double *lon_reached)
{
#if OSTREM_HAVE_GEOGRAPHICLIB
    if (!takes(lat, lon) || az < OSTREM_AZIMUTH_MIN || az > OSTREM_AZIMUTH_MAX ||
        km < GEODESIC_KM_MIN || km > GEODESIC_KM_MAX)
        return 1;
    double lat2, lon2;
    wgs84().Direct(lat, lon, az, km * 1000.0, lat2, lon2);
    *lat_reached = lat2;
    *lon_reached = turned(lon2);
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
    if (!takes(eqlat, eqlon) || !takes(stlat, stlon))
        return 1;
    // From the earthquake along the geodesic's own azimuth (not one moved
    // into [0, 360], which would round it) for half its length.
    double s12, azi1, azi2, lat2, lon2;
    inverse_of(eqlat, eqlon, stlat, stlon, s12, azi1, azi2);
    wgs84().Direct(eqlat, eqlon, azi1, s12 * 0.5, lat2, lon2);
    *lat = lat2;
    *lon = turned(lon2);
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
    if (!takes(eqlat, eqlon) || !takes(stlat, stlon) || !ellipsoid::takes_heights(depth_km, elevation_m))
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
    if (!takes(lat, lon))
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
