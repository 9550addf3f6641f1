// The ellipsoid's small layer: the C interface of ostrem_geodesic.h, with
// the module's ranges and its conventions for what comes out (longitudes
// and azimuths in [0, 360]).  The inverse problem (ellipsoid_inverse.h),
// the direct problem and earth-centred positions (ellipsoid_direct.h) are
// the project's own, for WGS84; a single call runs the scalar lanes, whose
// bits every width shares.
#include "ostrem_geodesic.h"

#include <cmath>

#include "ellipsoid_direct.h"
#include "ellipsoid_inverse.h"
#include "geodesic_blocks.h"

namespace {

using ellipsoid::Lanes;
using ellipsoid::takes;
using ellipsoid::turned;

// One pair's inverse problem: the scalar lanes, which a single pair fills
// best.
void inverse_of(double eqlat, double eqlon, double stlat, double stlon, double &s12, double &azi1,
                double &azi2)
{
    ellipsoid::inverse_with(Lanes::scalar, 1, &eqlat, &eqlon, &stlat, &stlon, &s12, &azi1, &azi2);
}

// One walk, in metres; the longitude reached in [-180, 180].
void direct_of(double lat, double lon, double azimuth, double metres, double &lat2, double &lon2)
{
    double azimuth2;
    ellipsoid::direct_with(Lanes::scalar, 1, &lat, &lon, &azimuth, &metres, &lat2, &lon2, &azimuth2);
}

// One earth-centred position (metres).
void position_of(double lat, double lon, double height, double &x, double &y, double &z)
{
    ellipsoid::positions_with(Lanes::scalar, 1, &lat, &lon, &height, &x, &y, &z);
}

}  // namespace

extern "C" {

int geodesic_available(void) { return 1; }

int geodesic(double eqlat, double eqlon, double stlat, double stlon, double *km, double *az,
             double *baz)
{
    if (!takes(eqlat, eqlon) || !takes(stlat, stlon))
        return 1;
    double s12, azi1, azi2;
    inverse_of(eqlat, eqlon, stlat, stlon, s12, azi1, azi2);
    *km = s12 / 1000.0;
    *az = turned(azi1);
    *baz = turned(azi2 + 180.0);
    return 0;
}

int geodesics(size_t n, const double *eqlat, const double *eqlon, const double *stlat,
              const double *stlon, double *km, double *az, double *baz)
{
    const size_t refused = ellipsoid::solve_blocks(
        n, [&](size_t i) { return ellipsoid::Ends{eqlat[i], eqlon[i], stlat[i], stlon[i]}; },
        [&](size_t i, const ellipsoid::Geodesic &g) {
            km[i] = g.km;
            az[i] = g.azimuth;
            baz[i] = g.back_azimuth;
        });
    return refused > 0 ? 1 : 0;
}

int geodesic_walk(double lat, double lon, double az, double km, double *lat_reached,
                  double *lon_reached)
{
    if (!ellipsoid::takes_walk(lat, lon, az, km))
        return 1;
    double lat2, lon2;
    direct_of(lat, lon, az, km * 1000.0, lat2, lon2);
    *lat_reached = lat2;
    *lon_reached = turned(lon2);
    return 0;
}

int geodesic_midpoint(double eqlat, double eqlon, double stlat, double stlon, double *lat,
                      double *lon)
{
    if (!takes(eqlat, eqlon) || !takes(stlat, stlon))
        return 1;
    // From the earthquake along the geodesic's own azimuth (not one moved
    // into [0, 360], which would round it) for half its length.
    double s12, azi1, azi2, lat2, lon2;
    inverse_of(eqlat, eqlon, stlat, stlon, s12, azi1, azi2);
    direct_of(eqlat, eqlon, azi1, s12 * 0.5, lat2, lon2);
    *lat = lat2;
    *lon = turned(lon2);
    return 0;
}

int hypocentral(double eqlat, double eqlon, double depth_km, double stlat, double stlon,
                double elevation_m, double *km)
{
    if (!takes(eqlat, eqlon) || !takes(stlat, stlon) || !ellipsoid::takes_heights(depth_km, elevation_m))
        return 1;
    double x1, y1, z1, x2, y2, z2;
    position_of(eqlat, eqlon, -depth_km * 1000.0, x1, y1, z1);
    position_of(stlat, stlon, elevation_m, x2, y2, z2);
    *km = ellipsoid::straight_km(x1, y1, z1, x2, y2, z2);
    return 0;
}

int geodesic_position(double lat, double lon, double xyz[3])
{
    if (!takes(lat, lon))
        return 1;
    position_of(lat, lon, 0.0, xyz[0], xyz[1], xyz[2]);
    for (int i = 0; i < 3; i++)
        xyz[i] /= 1000.0;
    return 0;
}

}  // extern "C"
