/*
 * ostrem_geodesic.h -- the WGS84 geodesic between an earthquake and a station:
 * its length in kilometres and the directions at both ends (the inverse
 * problem), the point reached along a geodesic (the direct problem), and
 * the point halfway.  The ellipsoid beside the module's sphere: where the
 * module answers in degrees of arc on a geocentric sphere, these answer in
 * kilometres on the WGS84 ellipsoid (a = 6378137 m, f = 1/298.257223563).
 * The inverse and direct problems are the project's own solution of
 * Karney's method (J. Geodesy 87, 43-55, 2013), within 50 nm of
 * GeographicLib's for every pair, nearly antipodal ones included, and the
 * same bits on every machine, several at once in the processor's vector
 * lanes; so are the earth-centred positions.
 *
 * Coordinates are geographic (geodetic) latitude and longitude in degrees,
 * doubles: latitude positive to the north, accepted in [-90, 90] (as
 * OSTREM_LATITUDE_MIN and _MAX in ostrem.h); longitude positive to the
 * east, accepted in [-180, 540].  Azimuths are degrees clockwise from
 * north; longitudes and azimuths that come out are in [0, 360] (0 is never
 * -0; exactly 360 can come out of a tiny negative angle, and means 0).
 *
 * Each function returns 0 on success; 1 when an input is out of range,
 * and then writes nothing.  (GEODESIC_NO_ELLIPSOID, 2, is kept for callers
 * that test for it: since 1.9.0 every build has the ellipsoid, and no
 * function returns it.)  NaN is in no range
 * test and gives NaN results, as in ostrem.h.  The functions keep no
 * state: they may run in several threads at once.
 *
 * Link with -lostrem_geodesic -lostrem (pkg-config ostrem-geodesic;
 * CMake: ostrem::geodesic); from C, with the C++ runtime too.  The header
 * is usable from C and C++.
 */
#ifndef OSTREM_GEODESIC_H
#define OSTREM_GEODESIC_H

#include <float.h>
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define GEODESIC_NO_ELLIPSOID 2

/* The accepted lengths of a walk along the geodesic (kilometres): any
 * finite length from 0. */
#define GEODESIC_KM_MIN 0.0
#define GEODESIC_KM_MAX DBL_MAX

/* The accepted ranges of hypocentral's depth (kilometres below the
 * ellipsoid; negative above it) and elevation (metres above it). */
#define GEODESIC_DEPTH_MIN (-10.0)
#define GEODESIC_DEPTH_MAX 1000.0
#define GEODESIC_ELEVATION_MIN (-12000.0)
#define GEODESIC_ELEVATION_MAX 9000.0

/*
 * geodesic_available -- 1: this build has the ellipsoid, as every build
 *   has since 1.9.0 (before, one made without GeographicLib answered 0).
 */
int geodesic_available(void);

/*
 * geodesic -- the inverse problem on the ellipsoid.
 *   eqlat, eqlon  the earthquake (degrees).
 *   stlat, stlon  the station (degrees).
 *   km    (out)   the length of the shortest geodesic between them
 *                 (kilometres, at least 0).
 *   az    (out)   its azimuth at the earthquake, towards the station.
 *   baz   (out)   the back-azimuth: the direction at the station towards the
 *                 earthquake (the geodesic's direction of arrival turned
 *                 by 180 degrees).
 *   For coincident points km is 0 and the directions follow the usual
 *   convention (GeographicLib's); for antipodal ones the geodesic is not unique.  At a pole
 *   the directions are those of the limit along the longitude given.
 */
int geodesic(double eqlat, double eqlon, double stlat, double stlon,
             double *km, double *az, double *baz);

/*
 * geodesics -- the inverse problem for n pairs at once: arrays of n, each
 *   pair's results those of geodesic(), bit for bit, in a fraction of its
 *   time (several pairs are solved together in the processor's lanes).
 *   A pair out of range gets NaN results, and the function returns 1; 0
 *   when every pair was in range.  The outputs may not overlap the inputs.
 */
int geodesics(size_t n, const double *eqlat, const double *eqlon, const double *stlat,
              const double *stlon, double *km, double *az, double *baz);

/*
 * geodesic_walk -- the direct problem: the point reached from a start by
 *   going km kilometres along the geodesic that leaves it at azimuth az.
 *   lat, lon      the start (degrees).
 *   az            the azimuth at the start, in [-360, 360] (negative counts
 *                 anticlockwise).
 *   km            the distance (kilometres), 0 or more and finite; past
 *                 half the meridian the geodesic goes on around the earth.
 *   lat_reached, lon_reached (out)  the point reached (degrees).
 */
int geodesic_walk(double lat, double lon, double az, double km,
                  double *lat_reached, double *lon_reached);

/*
 * geodesic_midpoint -- the point halfway along the geodesic from the
 *   earthquake to the station: geodesic_walk from the earthquake along the
 *   geodesic's azimuth for half its length.
 *   lat, lon (out)  the midpoint (degrees).
 */
int geodesic_midpoint(double eqlat, double eqlon, double stlat, double stlon,
                      double *lat, double *lon);

/*
 * hypocentral -- the hypocentral distance: the length of the straight line
 *   between the hypocentre and the station, through the earth, from their
 *   earth-centred positions on WGS84.
 *   eqlat, eqlon  the earthquake's epicentre (degrees).
 *   depth_km      its depth (kilometres below the ellipsoid, in
 *                 [GEODESIC_DEPTH_MIN, GEODESIC_DEPTH_MAX]; negative:
 *                 above it).
 *   stlat, stlon  the station (degrees).
 *   elevation_m   its elevation (metres above the ellipsoid, in
 *                 [GEODESIC_ELEVATION_MIN, GEODESIC_ELEVATION_MAX]).
 *   km    (out)   the distance (kilometres, at least 0).
 *   Both heights are taken against the ellipsoid: a catalogue's depth and
 *   an inventory's elevation, given against sea level, differ from those
 *   by the geoid's height there (within about 110 m), which is left to the
 *   caller.
 */
int hypocentral(double eqlat, double eqlon, double depth_km, double stlat, double stlon,
                double elevation_m, double *km);

/*
 * geodesic_position -- a point's earth-centred position on the WGS84
 *   ellipsoid (height 0), for a spatial index of stations: the geodesic
 *   between two points is never shorter than the straight line between
 *   their positions.
 *   lat, lon  the point (degrees).
 *   xyz (out) its X, Y, Z (kilometres).
 */
int geodesic_position(double lat, double lon, double xyz[3]);

#ifdef __cplusplus
}
#endif

#endif /* OSTREM_GEODESIC_H */
