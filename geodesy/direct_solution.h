// The direct problem on WGS84 and earth-centred positions, for a pack of
// lanes at once, over the lane types of lanes.h and with the maths and the
// series of the inverse problem (inverse_solution.h).  The method is
// Karney's ("Algorithms for geodesics", J. Geodesy 87, 43-55, 2013): the
// geodesic leaving a point at an azimuth is set up once on the auxiliary
// sphere (a line: its equator crossing, and the series at its eps), and
// a distance along it becomes an arc there through the reverted series of
// the distance, from which the latitude, the longitude and the azimuth
// follow.  A path is one line and many distances; walks are many lines.
//
// As for the inverse problem, every operation is exactly rounded or a move
// of bits, and every lane computes alone: the same bits at every width, on
// every machine.
#ifndef OSTREM_DIRECT_SOLUTION_H
#define OSTREM_DIRECT_SOLUTION_H

#include <cstddef>

#include "inverse_solution.h"

namespace lanes {
namespace {

// The reverted series of the distance (Karney's eq. 21): sigma from tau,
// C1'l = eps^l (c[l][0] + eps^2 c[l][1] + ...), l = 1..6.
template <class V>
void c1_reverted_of(V eps, V (&c)[6])
{
    const V e2_ = eps * eps, e3 = e2_ * eps, e4 = e2_ * e2_;
    c[0] = eps * (V(1.0 / 2) + e2_ * (V(-9.0 / 32) + e2_ * V(205.0 / 1536)));
    c[1] = e2_ * (V(5.0 / 16) + e2_ * (V(-37.0 / 96) + e2_ * V(1335.0 / 4096)));
    c[2] = e3 * (V(29.0 / 96) + e2_ * V(-75.0 / 128));
    c[3] = e4 * (V(539.0 / 1536) + e2_ * V(-2391.0 / 2560));
    c[4] = (e4 * eps) * V(3467.0 / 7680);
    c[5] = (e4 * e2_) * V(38081.0 / 61440);
}

// An angle in degrees moved into [-180, 180], exactly (for |x| below
// 2^51 times 360).
template <class V>
V reduced_degrees(V x) { return x - V(360.0) * nearest_integer(x / V(360.0)); }

// The geodesic leaving a point at an azimuth: what every distance along
// it shares.
template <class V>
struct Line {
    V lon1, salp0, calp0, ssig1, csig1, somg1, comg1, stau1, ctau1, b11, one_a1, a3c, b31;
    V c1_reverted[6], c3[5];
};

// lat1 in [-90, 90], lon1 any finite, azimuth1 in degrees (any finite,
// reduced exactly).
template <class V>
Line<V> line_of(V lat1, V lon1, V azimuth1)
{
    Line<V> l;
    l.lon1 = lon1;
    // A tiny azimuth made coarser, so that salp0 cannot underflow.
    V salp1, calp1;
    sine_cosine_degrees(round_angle(reduced_degrees(azimuth1)), salp1, calp1);
    V sbet1, cbet1;
    sine_cosine_degrees(round_angle(lat1), sbet1, cbet1);
    sbet1 = sbet1 * V(f1);
    normalise(sbet1, cbet1);
    cbet1 = max_of(V(tiny), cbet1);
    l.salp0 = salp1 * cbet1; // alpha0: the azimuth at the equator crossing
    l.calp0 = hypotenuse(calp1, salp1 * sbet1);
    l.ssig1 = sbet1;
    l.somg1 = l.salp0 * sbet1;
    // On the equator heading due east or west (sbet1 and calp1 both 0)
    // the line is the equator itself: sigma and omega start at its node.
    l.csig1 = select((sbet1 != V(0.0)) | (calp1 != V(0.0)), cbet1 * calp1, V(1.0));
    l.comg1 = l.csig1;
    normalise(l.ssig1, l.csig1);
    const V k2 = (l.calp0 * l.calp0) * V(ep2);
    const V eps = eps_of(k2);
    l.one_a1 = V(1.0) + a1_minus_1(eps);
    V c1[6];
    c1_of(eps, c1);
    l.b11 = sine_series_sum(l.ssig1, l.csig1, c1);
    V s, c;
    sine_cosine(l.b11, s, c);
    l.stau1 = l.ssig1 * c + l.csig1 * s;
    l.ctau1 = l.csig1 * c - l.ssig1 * s;
    c1_reverted_of(eps, l.c1_reverted);
    c3_of(eps, l.c3);
    l.a3c = -V(flattening) * l.salp0 * a3_of(eps);
    l.b31 = sine_series_sum(l.ssig1, l.csig1, l.c3);
    return l;
}

// Past this many radians of tau the reduction of sine_cosine is no
// longer exact (a quarter turn counted below 2^20): some 10^13 metres,
// where a distance's own rounding is already 2 mm.  Beyond it the
// arc is reduced by whole turns of the double 2 pi, so that a point still
// comes out, if not the one of the unrounded distance.
constexpr double exact_arc = 1.6e6;
constexpr double two_pi = 6.283185307179586;

template <class V>
V arc_within_reach(V tau)
{
    const auto far = ~(abs(tau) < V(exact_arc));
    if (!any(far))
        return tau;
    // Rare: lane by lane, by fmod, whose result is exact, so the same on
    // every machine; an infinity or NaN is left as it is, and gives NaN.
    double t[V::width];
    tau.store(t);
    for (double &x : t) {
        if (!(x - x == 0.0) || __builtin_fabs(x) < exact_arc)
            continue;
        x = __builtin_fmod(x, two_pi);
    }
    return select(far, V::load(t), tau);
}

// The point at metres along a line: latitude, longitude in [-180, 180]
// and the azimuth there (-180, 180], in degrees.
template <class V>
void position_on(const Line<V> &l, V metres, V &lat2, V &lon2, V &azimuth2)
{
    const V tau12 = arc_within_reach(metres / (V(polar_radius) * l.one_a1));
    V s, c;
    sine_cosine(tau12, s, c);
    const V b12 = -sine_series_sum(l.stau1 * c + l.ctau1 * s, l.ctau1 * c - l.stau1 * s, l.c1_reverted);
    const V sig12 = tau12 - (b12 - l.b11);
    V ssig12, csig12;
    sine_cosine(sig12, ssig12, csig12);
    const V ssig2 = l.ssig1 * csig12 + l.csig1 * ssig12;
    V csig2 = l.csig1 * csig12 - l.ssig1 * ssig12;
    const V sbet2 = l.calp0 * ssig2;
    V cbet2 = hypotenuse(l.salp0, l.calp0 * csig2);
    // At a pole: the limit along the line.
    const auto at_pole = cbet2 == V(0.0);
    cbet2 = select(at_pole, V(tiny), cbet2);
    csig2 = select(at_pole, V(tiny), csig2);
    const V somg2 = l.salp0 * ssig2, comg2 = csig2;
    const V omg12 = arctangent2(somg2 * l.comg1 - comg2 * l.somg1, comg2 * l.comg1 + somg2 * l.somg1);
    const V b32 = sine_series_sum(ssig2, csig2, l.c3);
    const V lam12 = omg12 + l.a3c * (sig12 + (b32 - l.b31));
    const V lon12 = lam12 / V(degree);
    lon2 = reduced_degrees(reduced_degrees(l.lon1) + reduced_degrees(lon12));
    lat2 = arctangent2_degrees(sbet2, V(f1) * cbet2);
    azimuth2 = arctangent2_degrees(l.salp0, l.calp0 * csig2);
    // A NaN anywhere is the one quiet NaN everywhere (see inverse_pack).
    const V nan_in = (metres - metres) + ((l.lon1 - l.lon1) + (l.salp0 - l.salp0));
    const auto unknown = (nan_in != nan_in) | (lat2 != lat2) | (lon2 != lon2) | (azimuth2 != azimuth2);
    const V nan(__builtin_nan(""));
    lat2 = select(unknown, nan, lat2);
    lon2 = select(unknown, nan, lon2);
    azimuth2 = select(unknown, nan, azimuth2);
}

// WGS84's earth-centred position of a point at a height (metres above the
// ellipsoid): X, Y, Z in metres.
template <class V>
void position_pack(V lat, V lon, V height, V &x, V &y, V &z)
{
    V sphi, cphi, slam, clam;
    sine_cosine_degrees(lat, sphi, cphi);
    sine_cosine_degrees(lon, slam, clam);
    // The radius of curvature in the prime vertical.
    const V n = V(equatorial_radius) / sqrt(V(1.0) - V(e2) * (sphi * sphi));
    z = (V(f1 * f1) * n + height) * sphi;
    const V r = (n + height) * cphi;
    x = r * clam;
    y = r * slam;
    // The one quiet NaN (see inverse_pack).
    const V nan_in = (lat - lat) + ((lon - lon) + (height - height));
    const auto unknown = nan_in != nan_in;
    const V nan(__builtin_nan(""));
    x = select(unknown, nan, x);
    y = select(unknown, nan, y);
    z = select(unknown, nan, z);
}

// Any number of lanes' worth, a pack at a time; the last pack is filled
// out with copies of its last element.  in: arrays of n; out: arrays of n.
template <class V, int nin, int nout, class Pack>
void by_packs(std::size_t n, const double *const (&in)[nin], double *const (&out)[nout], Pack pack)
{
    constexpr int w = V::width;
    std::size_t i = 0;
    V a[nin], r[nout];
    for (; i + w <= n; i += w) {
        for (int k = 0; k < nin; k++)
            a[k] = V::load(in[k] + i);
        pack(a, r);
        for (int k = 0; k < nout; k++)
            r[k].store(out[k] + i);
    }
    if (i < n) {
        double gathered[nin][w], scattered[nout][w];
        for (int j = 0; j < w; j++)
            for (int k = 0; k < nin; k++)
                gathered[k][j] = in[k][i + j < n ? i + j : n - 1];
        for (int k = 0; k < nin; k++)
            a[k] = V::load(gathered[k]);
        pack(a, r);
        for (int k = 0; k < nout; k++)
            r[k].store(scattered[k]);
        for (std::size_t j = 0; i + j < n; j++)
            for (int k = 0; k < nout; k++)
                out[k][i + j] = scattered[k][j];
    }
}

// n walks: each its own start, azimuth and distance (metres).
template <class V>
void direct_block(std::size_t n, const double *lat1, const double *lon1, const double *azimuth1,
                  const double *metres, double *lat2, double *lon2, double *azimuth2)
{
    by_packs<V, 4, 3>(n, {lat1, lon1, azimuth1, metres}, {lat2, lon2, azimuth2}, [](const V *a, V *r) {
        position_on(line_of(a[0], a[1], a[2]), a[3], r[0], r[1], r[2]);
    });
}

// One line, n distances along it (metres).
template <class V>
void path_block(double lat1, double lon1, double azimuth1, std::size_t n, const double *metres, double *lat2,
                double *lon2, double *azimuth2)
{
    const Line<V> line = line_of(V(lat1), V(lon1), V(azimuth1));
    by_packs<V, 1, 3>(n, {metres}, {lat2, lon2, azimuth2},
                      [&line](const V *a, V *r) { position_on(line, a[0], r[0], r[1], r[2]); });
}

// n earth-centred positions (metres), from latitudes, longitudes and
// heights (metres).
template <class V>
void position_block(std::size_t n, const double *lat, const double *lon, const double *height, double *x,
                    double *y, double *z)
{
    by_packs<V, 3, 3>(n, {lat, lon, height}, {x, y, z},
                      [](const V *a, V *r) { position_pack(a[0], a[1], a[2], r[0], r[1], r[2]); });
}

}  // namespace
}  // namespace lanes

#endif
