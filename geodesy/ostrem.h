/*
 * ostrem.h -- distance, azimuths and great-circle midpoint between two
 * points on the earth, for earthquakes and stations, and the point reached
 * from a start along an azimuth.
 *
 * The earth is a sphere on which geographic latitudes are first turned into
 * geocentric ones, tan(geocentric) = fac * tan(geographic), with
 * fac = 0.993305621334896, the squared ratio of polar to equatorial radius.
 * Everything after that is spherical trigonometry in double precision.
 *
 * Coordinates cross this interface in degrees, as floats (the functions
 * without a suffix, whose results the programs print) or as doubles (the
 * same names ending in d, with the same arithmetic and no rounding to float
 * on the way in or out).  Latitude is positive
 * to the north, accepted in [-90, 90]; longitude positive to the east,
 * accepted in [-180, 540] (a longitude above 180 is moved down by 360 once).
 * The bounds themselves are accepted, and the float functions' range tests
 * see the value after it was rounded to float.  NaN fails no range test: it is accepted
 * and gives NaN results.  The OSTREM_..._MIN and _MAX constants below are
 * these ranges, as the functions test them.
 *
 * Results are written through pointers the caller owns, and only on success.
 * Functions returning int give 0 on success and 1 when a coordinate is out
 * of range; on failure nothing is written.
 *
 * Every result is fixed to the last bit by the order of the double
 * operations inside (built without fused multiply-add), given the maths
 * library's sin, cos, atan, atan2 and acos.  The module keeps no state but
 * constants: all functions may run in several threads at once.  They never
 * allocate, print or report errors in any other way.
 *
 * The header is usable from C and C++; link with -lostrem -lm.
 */
#ifndef OSTREM_H
#define OSTREM_H

#ifdef __cplusplus
extern "C" {
#endif

/*
 * The accepted ranges, in degrees, bounds included: what the functions
 * test, and what the programs name when they refuse a value.
 */
#define OSTREM_LATITUDE_MIN (-90.0)
#define OSTREM_LATITUDE_MAX 90.0
#define OSTREM_LONGITUDE_MIN (-180.0)
#define OSTREM_LONGITUDE_MAX 540.0 /* above 180 moved down by 360, once */
#define OSTREM_AZIMUTH_MIN (-360.0) /* walk's azimuth; negative: anticlockwise */
#define OSTREM_AZIMUTH_MAX 360.0
#define OSTREM_DISTANCE_MIN 0.0 /* walk's distance, degrees of arc */
#define OSTREM_DISTANCE_MAX 180.0

/*
 * dmax -- the larger of two doubles.
 *   Returns arg1 if arg1 > arg2, else arg2.  When either is NaN the
 *   comparison is false and arg2 is returned: dmax(x, NaN) is NaN,
 *   dmax(NaN, x) is x.
 */
double dmax(double arg1, double arg2);

/*
 * geocen -- geographic colatitude to geocentric colatitude.
 *   in_clat  geographic colatitude (radians from the north pole; 0 is the
 *            north pole, pi/2 the equator, pi the south pole).
 *   Returns  the geocentric colatitude (radians), in [0, pi] for an argument
 *            in [0, pi].  geocen(0) is exactly 0; pi/2 and pi map to
 *            themselves within 1e-15.  Mid-latitudes move towards the
 *            equator (45 degrees geographic becomes about 44.81 geocentric).
 *            A sine below 1e-30 is replaced by 1e-30, so an argument just
 *            outside [0, pi] gives 0 or pi by the sign of its cosine.
 *            NaN gives NaN.
 */
double geocen(double in_clat);

/*
 * geogrf -- geocentric colatitude to geographic colatitude; the inverse of
 *   geocen to within 2e-15 radians on [0, pi].
 *   in_clat  geocentric colatitude (radians from the north pole).
 *   Returns  the geographic colatitude (radians).  geogrf(0) is exactly 0;
 *            the same guard as geocen applies outside [0, pi].
 */
double geogrf(double in_clat);

/*
 * ostrem -- distance and azimuths between an origin and a target.
 *   folat, folon  origin latitude and longitude (degrees).
 *   ftlat, ftlon  target latitude and longitude (degrees).
 *   del   (out)   distance (degrees of arc on the geocentric sphere),
 *                 in [0, 180].
 *   az    (out)   azimuth at the origin towards the target (degrees
 *                 clockwise from north), in [0, 360].
 *   baz   (out)   back-azimuth at the target towards the origin (degrees
 *                 clockwise from north), in [0, 360].
 *   Returns 0 on success, 1 if a coordinate is out of range (origin checked
 *   first); then del, az and baz are left untouched.
 *
 *   Signed zeros and 360: an azimuth computed as -0.0 stays -0.0 (for
 *   instance towards a target at longitude -0 due north of the origin, or
 *   the back-azimuth from the south pole towards (0, 0)), and a tiny
 *   negative angle moved up by one turn rounds to 360.0 (from (45, 0)
 *   towards (45, 180) the back-azimuth is 360).
 *   Poles: towards the exact north pole the azimuth is 0, and from it the
 *   back-azimuth is 0.  From the north pole towards any other point the
 *   azimuth is 180 minus the longitude difference, wrapped into [0, 360];
 *   towards the south pole it is 180 from anywhere off the poles.
 *   Coincident and antipodal points: the distance is 0 or 180 (a cosine
 *   that rounds just outside [-1, 1] is taken as exactly 1 or -1); the
 *   azimuths come from rounding residues and may point anywhere.
 *   NaN in gives NaN out, except an azimuth fixed to 0 by a pole:
 *   (90, NaN) towards (0, 0) gives NaN, NaN, 0.
 */
int ostrem(float folat, float folon, float ftlat, float ftlon,
           float *del, float *az, float *baz);

/*
 * midpoint -- the point halfway along the great circle from a first point
 *   to a second: walk() from the first point along the azimuth that ostrem
 *   gives, for half the distance it gives (both as floats), so that
 *   midpoint(q, s) has the bits of ostrem(q, s) followed by
 *   walk(q, az, del * 0.5f).
 *   fqlat, fqlon  first point latitude and longitude (degrees).
 *   fslat, fslon  second point latitude and longitude (degrees).
 *   bplat (out)   midpoint geographic latitude (degrees), in [-90, 90];
 *                 a tiny negative residue can make it -0.0.
 *   bplon (out)   midpoint longitude (degrees east), in [0, 360]: (0, -90)
 *                 and (0, 0) give 315, not -45.
 *   Returns 0 on success, 1 if a coordinate is out of range (the first
 *   point is checked first); then bplat and bplon are left untouched.
 *
 *   From a first point exactly on a pole the midpoint lies on the second
 *   point's meridian.  When the midpoint is the north pole, its longitude
 *   is 0 or follows rounding residues.  For antipodal points the great
 *   circle is not unique and the midpoint follows the azimuth ostrem gives.
 *   NaN in gives NaN out.
 */
int midpoint(float fqlat, float fqlon, float fslat, float fslon,
             float *bplat, float *bplon);

/*
 * walk -- the point reached from a start by going a distance along an
 *   azimuth on the great circle (the direct problem), on the same
 *   geocentric sphere as ostrem: the start is placed at its geocentric
 *   latitude, and the latitude reached is converted back to geographic.
 *   folat, folon  start latitude and longitude (degrees), accepted as for
 *                 ostrem: [-90, 90] and [-180, 540].
 *   faz           azimuth at the start (degrees clockwise from north), in
 *                 [-360, 360]; negative counts anticlockwise (-30 is 330).
 *   fdel          distance (degrees of arc on the geocentric sphere), in
 *                 [0, 180].
 *   lat   (out)   geographic latitude reached (degrees), in [-90, 90].
 *   lon   (out)   longitude reached (degrees east), in [0, 360]; exactly
 *                 360 can come out, and means 0.
 *   Returns 0 on success, 1 if the start, the azimuth or the distance is
 *   out of range (checked in that order); then lat and lon are left
 *   untouched.
 *
 *   A distance of 0 gives the start (its latitude to within the latitude
 *   conversions' rounding, about 1e-14 degrees); 180 gives the antipode,
 *   whatever the azimuth.  From exactly the north pole the path runs down
 *   the meridian 180 - faz east of the start's longitude; from exactly the
 *   south pole, down the meridian faz east of it.  Reaching exactly the
 *   north pole gives longitude 0.  ostrem's azimuth and distance walked
 *   from the origin land on the target (within 1e-8 degrees in double,
 *   away from the poles and the antipode).  NaN in gives NaN out.
 */
int walk(float folat, float folon, float faz, float fdel, float *lat, float *lon);

/*
 * ostremd, walkd, midpointd -- ostrem, walk and midpoint in double
 *   precision: the same arithmetic on the coordinates as given, with
 *   double results, for points closer than float32 can tell apart (a float
 *   step at longitude 142 is 1.5e-5 degrees, 1.7 m).  Parameters, ranges,
 *   poles, NaN and the result code are as for the float functions, and on
 *   failure nothing is written.
 *
 *   For float inputs the float functions are these rounded: ostremd's
 *   results rounded to float are ostrem's bits, and walkd's are walk's.
 *   midpointd is ostremd followed by walkd of half its double distance
 *   along its double azimuth, so it is not midpoint rounded: midpoint
 *   walks from ostrem's float results.
 */
int ostremd(double olat, double olon, double tlat, double tlon,
            double *del, double *az, double *baz);
int walkd(double olat, double olon, double az, double del, double *lat, double *lon);
int midpointd(double qlat, double qlon, double slat, double slon,
              double *lat, double *lon);

#ifdef __cplusplus
}
#endif

#endif /* OSTREM_H */
