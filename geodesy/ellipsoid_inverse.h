// The inverse problem on WGS84, the project's own solution, for many pairs
// at once: the length of the geodesic in metres and its azimuths in
// degrees, the same bits on every machine and at every lane width.
//
// The work is done in packs of lanes: AVX2 (four doubles), SSE2 or NEON
// (two), or plain scalar code (one).  On x86-64 the widest the processor
// runs is chosen when first asked; OSTREM_LANES=scalar, sse2, avx2 or neon
// in the environment asks for one of them (a width the processor lacks is
// not taken).  Whichever runs, the results are the same bits.
//
// For C++ callers inside the project; C callers have ostrem_geodesic.h.
#ifndef OSTREM_ELLIPSOID_INVERSE_H
#define OSTREM_ELLIPSOID_INVERSE_H

#include <cstddef>

namespace ellipsoid {

enum class Lanes { scalar, sse2, avx2, neon };

// "scalar", "sse2", "avx2", "neon".
const char *name_of(Lanes lanes);
// Whether this build has the width and this processor runs it.
bool runs(Lanes lanes);
// The width in use: the widest that runs, or the one OSTREM_LANES names.
Lanes lanes_in_use();

// The inverse problem for n pairs: latitudes and longitudes in degrees
// (latitudes in [-90, 90]; longitudes any finite value, reduced exactly;
// NaN gives NaN), in arrays of n.  metres: the geodesic's length (at least
// 0); azimuth1: at the first point, towards the second; azimuth2: at the
// second, the direction of travel (its back-azimuth turned by 180); both in
// (-180, 180].  The outputs may not overlap the inputs.
void inverse(std::size_t n, const double *lat1, const double *lon1, const double *lat2,
             const double *lon2, double *metres, double *azimuth1, double *azimuth2);
// The same with a given width, which must run (for tests and benchmarks).
void inverse_with(Lanes lanes, std::size_t n, const double *lat1, const double *lon1,
                  const double *lat2, const double *lon2, double *metres, double *azimuth1,
                  double *azimuth2);

// How many pairs a caller should gather before a call: a few packs, so
// that pairs that iterate longer hold back few others, and little memory.
constexpr std::size_t block_pairs = 64;

namespace widths {
using Solver = void (*)(std::size_t, const double *, const double *, const double *, const double *,
                        double *, double *, double *);
extern const Solver scalar, sse2, avx2, neon; // null where not built
}  // namespace widths

}  // namespace ellipsoid

#endif
