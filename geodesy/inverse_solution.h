// The inverse problem on WGS84 for a pack of pairs at once, one template
// over the lane types of lanes.h.  The method is the one published by
// C. F. F. Karney ("Algorithms for geodesics", J. Geodesy 87, 43-55, 2013):
// the geodesic is mapped onto an auxiliary sphere, its length and its
// longitude are series in the third flattening n and in eps to sixth order,
// and the azimuth at the earthquake is found by Newton's method on the
// longitude, started from the sphere, or for nearly antipodal pairs from
// the astroid, with bisection kept as a fallback.
//
// Lanes never branch one by one: every case (a meridian, the equator, a
// short line solved at the start, Newton's iteration) is computed for the
// whole pack where any lane needs it, and each lane keeps its own case's
// values by a mask.  Lanes that have converged are frozen, so a lane's bits
// depend on its own pair alone, never on its neighbours or on the width.
//
// The sines, cosines, arc tangents and cube root are the project's own,
// built from the lanes' exactly rounded operations: no libm call, so no
// platform's libm can change a bit.
#ifndef OSTREM_INVERSE_SOLUTION_H
#define OSTREM_INVERSE_SOLUTION_H

#include <cstddef>

#include "lanes.h"

namespace lanes {
namespace {

// --- constants ----------------------------------------------------------------
constexpr double pi = 3.141592653589793;        // pi rounded to double
constexpr double half_pi = 1.5707963267948966;  // pi/2 rounded
constexpr double degree = 0.017453292519943295; // pi/180 rounded
// pi/2 in three parts for reducing radians: the first two have 33
// significant bits, so their products with a quadrant count below 2^20 are
// exact.
constexpr double half_pi_high = 1.5707963267341256;     // 0x1.921fb544p+0
constexpr double half_pi_middle = 6.077100506303966e-11; // 0x1.0b4611a6p-34
constexpr double half_pi_low = 2.0222662487959506e-21;  // 0x1.3198a2e037073p-69
constexpr double two_over_pi = 0.6366197723675814;

// WGS84.
constexpr double equatorial_radius = 6378137.0;  // a, metres
constexpr double flattening = 1 / 298.257223563; // f
constexpr double f1 = 1 - flattening;
constexpr double polar_radius = equatorial_radius * f1;        // b
constexpr double e2 = flattening * (2 - flattening);           // e^2
constexpr double ep2 = e2 / (f1 * f1);                         // e'^2
constexpr double third_flattening = flattening / (2 - flattening); // n

// Tolerances: epsilon, its square root, and an underflow guard.
constexpr double tol0 = 2.220446049250313e-16;   // 2^-52
constexpr double tol1 = 200 * tol0;
constexpr double tol2 = 1.4901161193847656e-08;  // sqrt(tol0) = 2^-26
constexpr double tolb = tol0 * tol2;             // the bisection's
constexpr double xthresh = 1000 * tol2;
constexpr double tiny = 1.4916681462400413e-154; // sqrt(DBL_MIN) = 2^-511
// 0.1 tol2 / sqrt(f (1 - f/2) / 2): the start below which a short line
// needs no Newton step.
constexpr double etol2 = 3.6424611488788524e-08;
constexpr int newton_iterations = 20;            // then bisection only
constexpr int most_iterations = newton_iterations + 53 + 10;

// --- the series (in eps; the third flattening's part folded in) -----------
constexpr double n_ = third_flattening;
// A3 = 1 - eps (a1 + eps (a2 + eps (a3 + eps (a4 + eps a5))))
constexpr double a3_series[5] = {
    (1.0 / 2) - n_ / 2,
    (1.0 / 4 + n_ / 8) - 3 * n_ * n_ / 8,
    (1.0 / 16 + 3 * n_ / 16) + n_ * n_ / 16,
    3.0 / 64 + n_ / 32,
    3.0 / 128,
};
// C3l = eps^l (c[l][0] + eps (c[l][1] + ...)), l = 1..5
constexpr double c31[5] = {1.0 / 4 - n_ / 4, 1.0 / 8 - n_ * n_ / 8, (3.0 / 64 + 3 * n_ / 64) - n_ * n_ / 64,
                           5.0 / 128 + n_ / 64, 3.0 / 128};
constexpr double c32[4] = {(1.0 / 16 - 3 * n_ / 32) + n_ * n_ / 32, (3.0 / 64 - n_ / 32) - 3 * n_ * n_ / 64,
                           3.0 / 128 + n_ / 128, 5.0 / 256};
constexpr double c33[3] = {(5.0 / 192 - 3 * n_ / 64) + 5 * n_ * n_ / 192, 3.0 / 128 - 5 * n_ / 192, 7.0 / 512};
constexpr double c34[2] = {7.0 / 512 - 7 * n_ / 256, 7.0 / 512};
constexpr double c35 = 21.0 / 2560;

// --- maths of the lanes' own ---------------------------------------------------
// Taylor coefficients of sin r / r - 1 and cos r - 1 in r^2 (to r^17 and
// r^16): on |r| <= pi/4 the first term left out is below 1e-19.
constexpr double sine_series[8] = {-1.0 / 6, 1.0 / 120, -1.0 / 5040, 1.0 / 362880, -1.0 / 39916800,
                                   1.0 / 6227020800.0, -1.0 / 1307674368000.0, 1.0 / 355687428096000.0};
constexpr double cosine_series[8] = {-1.0 / 2, 1.0 / 24, -1.0 / 720, 1.0 / 40320, -1.0 / 3628800,
                                     1.0 / 479001600, -1.0 / 87178291200.0, 1.0 / 20922789888000.0};
// atan u / u - 1 in u^2, to u^17: for |u| <= tan(pi/24) the next term is
// below 1e-17 of u.
constexpr double arctangent_series[8] = {-1.0 / 3, 1.0 / 5,  -1.0 / 7,  1.0 / 9,
                                         -1.0 / 11, 1.0 / 13, -1.0 / 15, 1.0 / 17};

template <class V, std::size_t N>
V horner(V x, const double (&c)[N])
{
    V p = c[N - 1];
    for (std::size_t i = N - 1; i-- > 0;)
        p = p * x + V(c[i]);
    return p;
}

// sin and cos of r, |r| <= pi/4 (a little more is harmless).
template <class V>
void sine_cosine_near(V r, V &s, V &c)
{
    const V r2 = r * r;
    s = r + r * (r2 * horner(r2, sine_series));
    c = V(1.0) + r2 * horner(r2, cosine_series);
}

// Puts the sine and cosine of an angle reduced to within 45 degrees of q
// quarter turns (q an integer in a double) where they belong.
template <class V>
void by_quadrant(V q, V s0, V c0, V &s, V &c)
{
    const V m = q - V(4.0) * nearest_integer(q * V(0.25)); // -2 .. 2
    const auto swap = abs(m) == V(1.0);
    const V a = select(swap, c0, s0), b = select(swap, s0, c0);
    s = select((m < V(0.0)) | (m == V(2.0)), -a, a);
    c = select((m > V(0.0)) | (m == V(-2.0)), -b, b);
}

// sin and cos of x radians, for the angles of the solution (|x| of a few
// turns; the reduction stays exact far beyond).
template <class V>
void sine_cosine(V x, V &s, V &c)
{
    const V q = nearest_integer(x * V(two_over_pi));
    const V r = ((x - q * V(half_pi_high)) - q * V(half_pi_middle)) - q * V(half_pi_low);
    V s0, c0;
    sine_cosine_near(r, s0, c0);
    by_quadrant(q, s0, c0, s, c);
}

// sin and cos of x degrees, reduced exactly: x - 90 q is exact, so 90, 180
// and the like give exact zeros and ones.  The cosine is never -0; the sine
// of a zero keeps its sign and is otherwise never -0.
template <class V>
void sine_cosine_degrees(V x, V &s, V &c, V extra = V(0.0))
{
    const V q = nearest_integer(x / V(90.0));
    const V r = x - V(90.0) * q;
    V s0, c0;
    // extra: what x leaves out of the angle (a subtraction's error), added
    // once the angle is small.
    sine_cosine_near((r + extra) * V(degree), s0, c0);
    by_quadrant(q, s0, c0, s, c);
    s = select((x == V(0.0)) & (extra == V(0.0)), x, s + V(0.0));
    c = c + V(0.0);
}

// atan t for t in [0, 1]: t is moved to within tan(pi/24) of 0 by one of
// the angles 0, pi/12, pi/6, pi/4 (atan t = k pi/12 + atan((t - c)/(1 + t c))
// with c = tan(k pi/12)).
template <class V>
V arctangent_unit(V t)
{
    const auto k1 = t > V(0.13165249758739583), k2 = t > V(0.41421356237309503),
               k3 = t > V(0.7673269879789604);
    const V c = select(k3, V(1.0), select(k2, V(0.5773502691896258), select(k1, V(0.2679491924311228), V(0.0))));
    const V base = select(k3, V(0.7853981633974483),
                          select(k2, V(0.5235987755982989), select(k1, V(0.26179938779914946), V(0.0))));
    const V u = (t - c) / (V(1.0) + t * c);
    const V u2 = u * u;
    return base + (u + u * (u2 * horner(u2, arctangent_series)));
}

// The arc tangent's octant: |y| and |x| ordered so that the quotient is
// at most 1, 0 for 0/0.
template <class V>
V octant_quotient(V ax, V ay)
{
    const auto swap = ay > ax;
    const V num = select(swap, ax, ay), den = select(swap, ay, ax);
    return select(den == V(0.0), V(0.0), num / den);
}

// atan2(y, x) in radians, (-pi, pi], with C's signed zeros.
template <class V>
V arctangent2(V y, V x)
{
    const V ax = abs(x), ay = abs(y);
    V a = arctangent_unit(octant_quotient(ax, ay));
    a = select(ay > ax, V(half_pi) - a, a);
    a = select(signbit(x), V(pi) - a, a);
    return copysign(a, y);
}

// atan2(y, x) in degrees, (-180, 180]: the octant is undone in degrees,
// so that 0, 90 and 180 come out exact.
template <class V>
V arctangent2_degrees(V y, V x)
{
    const V ax = abs(x), ay = abs(y);
    V a = arctangent_unit(octant_quotient(ax, ay)) / V(degree);
    a = select(ay > ax, V(90.0) - a, a);
    a = select(signbit(x), V(180.0) - a, a);
    return copysign(a, y);
}

// The cube root of x >= 0 (NaN passes): x = m 8^k with m in [1/2, 4),
// found by moving bits, then three of Halley's steps from a quadratic
// start (4.7 % at worst) for the cube root of m.
template <class V>
V cube_root(V x)
{
    const auto small = x < V(9.332636185032189e-302);     // 2^-1000
    const V scaled = select(small, x * V(4.149515568880993e+180), x); // 2^600
    const V k = nearest_integer((exponent_field(scaled) - V(1023.0)) * V(1.0 / 3));
    const V down = power_of_two(-k);
    const V m = ((scaled * down) * down) * down;
    V y = V(0.65149417) + m * (V(0.37688818) - m * V(0.03680669));
    for (int i = 0; i < 3; i++) {
        const V y3 = (y * y) * y;
        y = y * ((y3 + V(2.0) * m) / (V(2.0) * y3 + m));
    }
    y = y * power_of_two(k);
    y = select(small, y * V(6.223015277861142e-61), y); // 2^-200
    return select(x == V(0.0), x, y);
}

template <class V>
V hypotenuse(V x, V y)
{
    return sqrt(x * x + y * y);
}

template <class V>
void normalise(V &x, V &y)
{
    const V r = hypotenuse(x, y);
    x = x / r;
    y = y / r;
}

// Small angles in degrees made coarser, to multiples of 2^-57 below 1/16:
// a latitude of 1e-300 degrees is then the equator itself, and tiny
// differences cannot underflow later.
template <class V>
V round_angle(V x)
{
    const V z(1.0 / 16);
    V y = abs(x);
    y = select(y < z, z - (z - y), y);
    return copysign(y, x);
}

// sum over l = 1..N of c[l-1] sin(2 l sigma), by Clenshaw's recurrence on
// sin and cos of sigma.
template <class V, int N>
V sine_series_sum(V s, V c, const V (&coefficients)[N])
{
    const V ar = V(2.0) * ((c - s) * (c + s)); // 2 cos 2 sigma
    V b1(0.0), b2(0.0);
    for (int l = N; l-- > 0;) {
        const V b0 = (ar * b1 - b2) + coefficients[l];
        b2 = b1;
        b1 = b0;
    }
    return (V(2.0) * s * c) * b1;
}

// eps from k^2 = e'^2 cos^2 alpha0.
template <class V>
V eps_of(V k2)
{
    return k2 / (V(2.0) * (V(1.0) + sqrt(V(1.0) + k2)) + k2);
}

template <class V>
V a3_of(V eps)
{
    return V(1.0) - eps * horner(eps, a3_series);
}

template <class V>
void c3_of(V eps, V (&c)[5])
{
    const V eps2 = eps * eps;
    c[0] = eps * horner(eps, c31);
    c[1] = eps2 * horner(eps, c32);
    c[2] = (eps2 * eps) * horner(eps, c33);
    c[3] = (eps2 * eps2) * horner(eps, c34);
    c[4] = ((eps2 * eps2) * eps) * V(c35);
}

// A1 - 1 and the C1l, A2 - 1 and the C2l: the distance's and the reduced
// length's series.
template <class V>
V a1_minus_1(V eps)
{
    const V e2_ = eps * eps;
    const V t = e2_ * (V(64.0) + e2_ * (V(4.0) + e2_)) / V(256.0);
    return (t + eps) / (V(1.0) - eps);
}

template <class V>
void c1_of(V eps, V (&c)[6])
{
    const V e2_ = eps * eps, e3 = e2_ * eps, e4 = e2_ * e2_;
    c[0] = eps * (V(-1.0 / 2) + e2_ * (V(3.0 / 16) - e2_ * V(1.0 / 32)));
    c[1] = e2_ * (V(-1.0 / 16) + e2_ * (V(1.0 / 32) - e2_ * V(9.0 / 2048)));
    c[2] = e3 * (V(-1.0 / 48) + e2_ * V(3.0 / 256));
    c[3] = e4 * (V(-5.0 / 512) + e2_ * V(3.0 / 512));
    c[4] = (e4 * eps) * V(-7.0 / 1280);
    c[5] = (e4 * e2_) * V(-7.0 / 2048);
}

template <class V>
V a2_minus_1(V eps)
{
    const V e2_ = eps * eps;
    const V t = e2_ * (V(64.0) + e2_ * (V(36.0) + e2_ * V(25.0))) / V(256.0);
    return t * (V(1.0) - eps) - eps;
}

template <class V>
void c2_of(V eps, V (&c)[6])
{
    const V e2_ = eps * eps, e3 = e2_ * eps, e4 = e2_ * e2_;
    c[0] = eps * (V(1.0 / 2) + e2_ * (V(1.0 / 16) + e2_ * V(1.0 / 32)));
    c[1] = e2_ * (V(3.0 / 16) + e2_ * (V(1.0 / 32) + e2_ * V(35.0 / 2048)));
    c[2] = e3 * (V(5.0 / 48) + e2_ * V(5.0 / 256));
    c[3] = e4 * (V(35.0 / 512) + e2_ * V(7.0 / 512));
    c[4] = (e4 * eps) * V(63.0 / 1280);
    c[5] = (e4 * e2_) * V(77.0 / 2048);
}

// The points on the auxiliary sphere where the geodesic passes: sigma1,
// sigma2 (sines and cosines), w1, w2 = sqrt(1 + e'^2 sin^2 beta).
template <class V>
struct Ends {
    V ssig1, csig1, ssig2, csig2, dn1, dn2;
};

// The reduced length m12 / b, and where wanted the length s12 / b, of the
// geodesic from sigma1 to sigma2.
template <class V>
V reduced_length(V eps, V sig12, const Ends<V> &e, V *length)
{
    V c1[6], c2[6], j[6];
    c1_of(eps, c1);
    c2_of(eps, c2);
    const V a1 = a1_minus_1(eps), a2 = a2_minus_1(eps);
    const V m0 = a1 - a2;
    const V one_a1 = V(1.0) + a1, one_a2 = V(1.0) + a2;
    if (length) {
        const V b1 = sine_series_sum(e.ssig2, e.csig2, c1) - sine_series_sum(e.ssig1, e.csig1, c1);
        *length = one_a1 * (sig12 + b1);
    }
    for (int l = 0; l < 6; l++)
        j[l] = one_a1 * c1[l] - one_a2 * c2[l];
    const V j12 = m0 * sig12 + (sine_series_sum(e.ssig2, e.csig2, j) - sine_series_sum(e.ssig1, e.csig1, j));
    // w2 cos s1 sin s2 - w1 sin s1 cos s2 - cos s1 cos s2 J12
    return (e.dn2 * (e.csig1 * e.ssig2) - e.dn1 * (e.ssig1 * e.csig2)) - (e.csig1 * e.csig2) * j12;
}

// The reduced latitudes of the pair, ordered as the solution wants them:
// beta1 <= 0, |beta2| <= |beta1|.
template <class V>
struct Latitudes {
    V sbet1, cbet1, sbet2, cbet2, dn1, dn2;
};

// Astroid's root k for the start of a nearly antipodal pair (x, y scaled
// longitude and latitude off the antipode).
template <class V>
V astroid(V x, V y)
{
    const V p = x * x, q = y * y;
    const V r = ((p + q) - V(1.0)) / V(6.0);
    const auto proper = ~((q == V(0.0)) & (r <= V(0.0)));
    const V s = (p * q) / V(4.0);
    const V r2 = r * r, r3 = r * r2;
    const V disc = s * (s + V(2.0) * r3);
    const auto real_root = disc >= V(0.0);
    // Where the discriminant is not negative: a real cube root, whose sign
    // is chosen to avoid cancellation.
    V t3 = s + r3;
    const V root = sqrt(max_of(disc, V(0.0)));
    t3 = t3 + select(t3 < V(0.0), -root, root);
    const V t = copysign(cube_root(abs(t3)), t3);
    const V u_real = r + (t + select(t != V(0.0), r2 / t, V(0.0)));
    // Otherwise: a third of the angle.
    V u = u_real;
    if (!all(real_root | ~proper)) {
        const V angle = arctangent2(sqrt(max_of(-disc, V(0.0))), -(s + r3));
        V sa, ca;
        sine_cosine(angle / V(3.0), sa, ca);
        u = select(real_root, u_real, r + V(2.0) * r * ca);
    }
    const V v = sqrt(u * u + q);
    const V uv = select(u < V(0.0), q / (v - u), u + v);
    const V w = (uv - q) / (V(2.0) * v);
    const V k = uv / (sqrt(uv + w * w) + w);
    return select(proper, k, V(0.0));
}

// The start of Newton's iteration: alpha1 from the sphere, or from the
// astroid for nearly antipodal pairs; short lines are solved here
// outright, and give sigma12 >= 0 (else -1), alpha2 and dnm.
template <class V>
struct Start {
    V sig12, salp1, calp1, salp2, calp2, dnm;
};

// A nearly antipodal pair's start: alpha1 from the astroid, or on the
// equator from its limit.
template <class V>
void astroid_start(const Latitudes<V> &b, V slam12, V clam12, V sbet12a, V &salp1, V &calp1)
{
    const V lam12x = arctangent2(-slam12, -clam12); // lambda12 - pi
    const V k2 = (b.sbet1 * b.sbet1) * V(ep2);
    const V lamscale = V(flattening) * b.cbet1 * a3_of(eps_of(k2)) * V(pi);
    const V betscale = lamscale * b.cbet1;
    const V x = lam12x / lamscale, y = sbet12a / betscale;
    const auto near_equator = (y > V(-tol1)) & (x > V(-1.0 - xthresh));
    const V salp1e = min_of(V(1.0), -x);
    const V calp1e = -sqrt(V(1.0) - salp1e * salp1e);
    const V k = astroid(x, y);
    const V omg12a = lamscale * (-x * k / (V(1.0) + k));
    V so, co;
    sine_cosine(omg12a, so, co);
    co = -co;
    const V salp1k = b.cbet2 * so;
    const V calp1k = sbet12a - b.cbet2 * b.sbet1 * (so * so) / (V(1.0) - co);
    salp1 = select(near_equator, salp1e, salp1k);
    calp1 = select(near_equator, calp1e, calp1k);
}

template <class V>
Start<V> start_of(const Latitudes<V> &b, V lam12, V slam12, V clam12)
{
    Start<V> st;
    const V sbet12 = b.sbet2 * b.cbet1 - b.cbet2 * b.sbet1;  // sin(beta2 - beta1)
    const V cbet12 = b.cbet2 * b.cbet1 + b.sbet2 * b.sbet1;
    const V sbet12a = b.sbet2 * b.cbet1 + b.cbet2 * b.sbet1; // sin(beta2 + beta1)
    const auto shortline = (cbet12 >= V(0.0)) & (sbet12 < V(0.5)) & ((b.cbet2 * lam12) < V(0.5));
    V somg12 = slam12, comg12 = clam12;
    V sbetm2 = b.sbet1 + b.sbet2;
    sbetm2 = sbetm2 * sbetm2;
    const V cbetm = b.cbet1 + b.cbet2;
    sbetm2 = sbetm2 / (sbetm2 + cbetm * cbetm);
    st.dnm = sqrt(V(1.0) + V(ep2) * sbetm2);
    if (any(shortline)) {
        V s, c;
        sine_cosine(lam12 / (V(f1) * st.dnm), s, c);
        somg12 = select(shortline, s, somg12);
        comg12 = select(shortline, c, comg12);
    }
    const V somg2 = somg12 * somg12;
    st.salp1 = b.cbet2 * somg12;
    st.calp1 = select(comg12 >= V(0.0), sbet12 + b.cbet2 * b.sbet1 * somg2 / (V(1.0) + comg12),
                      sbet12a - b.cbet2 * b.sbet1 * somg2 / (V(1.0) - comg12));
    const V ssig12 = hypotenuse(st.salp1, st.calp1);
    const V csig12 = b.sbet1 * b.sbet2 + b.cbet1 * b.cbet2 * comg12;
    const auto solved = shortline & (ssig12 < V(etol2));
    // A short line: the end's azimuth too, and the arc.
    st.salp2 = b.cbet1 * somg12;
    st.calp2 = sbet12 - b.cbet1 * b.sbet2 * select(comg12 >= V(0.0), somg2 / (V(1.0) + comg12), V(1.0) - comg12);
    normalise(st.salp2, st.calp2);
    st.sig12 = select(solved, arctangent2(ssig12, csig12), V(-1.0));
    // Nearly antipodal: the sphere's start is poor, the astroid's good.
    const auto antipodal = ~solved & (csig12 < V(0.0)) &
                           (ssig12 < V(6.0 * third_flattening * pi) * (b.cbet1 * b.cbet1));
    if (any(antipodal)) {
        V salp1, calp1;
        astroid_start(b, slam12, clam12, sbet12a, salp1, calp1);
        st.salp1 = select(antipodal, salp1, st.salp1);
        st.calp1 = select(antipodal, calp1, st.calp1);
    }
    // A start at alpha1 <= 0 is no start (NaN passes the test backwards).
    const auto usable = ~(st.salp1 <= V(0.0));
    V sn = st.salp1, cn = st.calp1;
    normalise(sn, cn);
    st.salp1 = select(usable, sn, V(1.0));
    st.calp1 = select(usable, cn, V(0.0));
    return st;
}

// Longitude's error for a trial alpha1, and what the solution keeps of it.
template <class V>
struct Trial {
    V v, dv, salp2, calp2, sig12, eps;
    Ends<V> ends;
};

template <class V>
Trial<V> longitude_error(const Latitudes<V> &b, V salp1, V calp1, V slam12, V clam12)
{
    Trial<V> t;
    // On the equator heading due north or south, the line is degenerate.
    calp1 = select((b.sbet1 == V(0.0)) & (calp1 == V(0.0)), V(-tiny), calp1);
    const V salp0 = salp1 * b.cbet1;
    const V calp0 = hypotenuse(calp1, salp1 * b.sbet1);
    V ssig1 = b.sbet1, csig1 = calp1 * b.cbet1;
    const V somg1 = salp0 * b.sbet1, comg1 = csig1;
    normalise(ssig1, csig1);
    t.salp2 = select(b.cbet2 != b.cbet1, salp0 / b.cbet2, salp1);
    // |calp2| as accurately as the ends allow.
    const V under = (calp1 * b.cbet1) * (calp1 * b.cbet1) +
                    select(b.cbet1 < -b.sbet1, (b.cbet2 - b.cbet1) * (b.cbet1 + b.cbet2),
                           (b.sbet1 - b.sbet2) * (b.sbet1 + b.sbet2));
    t.calp2 = select((b.cbet2 != b.cbet1) | (abs(b.sbet2) != -b.sbet1), sqrt(under) / b.cbet2, abs(calp1));
    V ssig2 = b.sbet2, csig2 = t.calp2 * b.cbet2;
    const V somg2 = salp0 * b.sbet2, comg2 = csig2;
    normalise(ssig2, csig2);
    t.sig12 = arctangent2(max_of(V(0.0), csig1 * ssig2 - ssig1 * csig2), csig1 * csig2 + ssig1 * ssig2);
    const V somg12 = max_of(V(0.0), comg1 * somg2 - somg1 * comg2);
    const V comg12 = comg1 * comg2 + somg1 * somg2;
    // omega12 - lambda12, directly.
    const V eta = arctangent2(somg12 * clam12 - comg12 * slam12, comg12 * clam12 + somg12 * slam12);
    const V k2 = (calp0 * calp0) * V(ep2);
    t.eps = eps_of(k2);
    V c3[5];
    c3_of(t.eps, c3);
    const V b312 = sine_series_sum(ssig2, csig2, c3) - sine_series_sum(ssig1, csig1, c3);
    const V domg12 = -V(flattening) * a3_of(t.eps) * salp0 * (t.sig12 + b312);
    t.v = eta + domg12;
    t.ends = {ssig1, csig1, ssig2, csig2, b.dn1, b.dn2};
    const V m12 = reduced_length(t.eps, t.sig12, t.ends, static_cast<V *>(nullptr));
    t.dv = select(t.calp2 == V(0.0), V(-2.0 * f1) * b.dn1 / b.sbet1, m12 * V(f1) / (t.calp2 * b.cbet2));
    return t;
}

// The longitude difference, lambda12 in [0, 180] with its sine and
// cosine, the supplement 180 - lambda12 in degrees, and the sign that
// undoes the reflection to the east.
template <class V>
struct Longitudes {
    V lam12, slam12, clam12, lon12s, lonsign;
};

template <class V>
Longitudes<V> longitude_difference(V lon1, V lon2)
{
    Longitudes<V> d;
    // Exactly reduced to [-180, 180], with the subtraction's own error
    // kept for the half turn.
    const V raw = lon2 - lon1;
    const V back = raw - lon2;
    const V err = (lon2 - (raw - back)) + (-lon1 - back);
    V lon12 = raw - V(360.0) * nearest_integer(raw / V(360.0));
    // At 0 and +-180 the sign is the true difference's.
    const auto edge = (lon12 == V(0.0)) | (abs(lon12) == V(180.0));
    const V sign_of = select(err == V(0.0), raw, select(lon12 == V(0.0), err, -err));
    lon12 = select(edge, copysign(abs(lon12), sign_of), lon12);
    const auto west = signbit(lon12);
    d.lonsign = select(west, V(-1.0), V(1.0));
    lon12 = abs(lon12);
    V lon12_err = select(west, -err, err);
    // A small difference takes its error in before it is made coarser
    // (what is left of a turn of 1e-30 degrees is the equator's nothing).
    const auto small = lon12 < V(1.0 / 16);
    lon12 = select(small, round_angle(lon12 + lon12_err), lon12);
    lon12_err = select(small, V(0.0), lon12_err);
    // The supplement, from the exact 180 - lon12, for the half turn.
    d.lon12s = round_angle((V(180.0) - lon12) - lon12_err);
    d.lam12 = lon12 * V(degree) + lon12_err * V(degree);
    const auto obtuse = lon12 > V(90.0);
    V s, c;
    sine_cosine_degrees(select(obtuse, d.lon12s, lon12), s, c, select(obtuse, V(0.0), lon12_err));
    d.slam12 = s;
    d.clam12 = select(obtuse, -c, c);
    return d;
}

// The ends ordered, the one nearer a pole first and in the south (|lat1|
// >= |lat2|, lat1 <= 0), as reduced latitudes; what undoes the ordering.
template <class V>
struct Ordered {
    Latitudes<V> b;
    V la, latsign;
    typename V::Mask swapped;
};

template <class V>
Ordered<V> ordered_ends(V lat1, V lat2)
{
    lat1 = round_angle(lat1);
    lat2 = round_angle(lat2);
    const auto swapped = abs(lat1) < abs(lat2);
    V la = select(swapped, lat2, lat1), lb = select(swapped, lat1, lat2);
    const V latsign = select(signbit(la), V(1.0), V(-1.0));
    la = la * latsign;
    lb = lb * latsign;

    Latitudes<V> b;
    sine_cosine_degrees(la, b.sbet1, b.cbet1);
    b.sbet1 = b.sbet1 * V(f1);
    normalise(b.sbet1, b.cbet1);
    b.cbet1 = max_of(V(tiny), b.cbet1);
    sine_cosine_degrees(lb, b.sbet2, b.cbet2);
    b.sbet2 = b.sbet2 * V(f1);
    normalise(b.sbet2, b.cbet2);
    b.cbet2 = max_of(V(tiny), b.cbet2);
    // Equal latitudes, or opposite ones, must stay exactly so.
    const auto steep = b.cbet1 < -b.sbet1;
    b.sbet2 = select(steep & (b.cbet2 == b.cbet1), copysign(b.sbet1, b.sbet2), b.sbet2);
    b.cbet2 = select(~steep & (abs(b.sbet2) == -b.sbet1), b.cbet1, b.cbet2);
    b.dn1 = sqrt(V(1.0) + V(ep2) * (b.sbet1 * b.sbet1));
    b.dn2 = sqrt(V(1.0) + V(ep2) * (b.sbet2 * b.sbet2));
    return {b, la, latsign, swapped};
}

// The directions at both ends and the length (in b, or in metres where
// said) as far as a case has been solved.
template <class V>
struct Solution {
    V salp1 = V(0.0), calp1 = V(0.0), salp2 = V(0.0), calp2 = V(0.0), length = V(0.0);
};

// A meridian (or a pole): alpha1 is the longitude's direction.  Returns
// the lanes it solves: not those past a conjugate point, where the
// meridian is not the shortest line.
template <class V>
auto meridian_of(const Latitudes<V> &b, V la, V slam12, V clam12, Solution<V> &sol)
{
    auto meridian = (la == V(-90.0)) | (slam12 == V(0.0));
    if (!any(meridian))
        return meridian;
    Ends<V> e;
    e.ssig1 = b.sbet1;
    e.csig1 = clam12 * b.cbet1;
    e.ssig2 = b.sbet2;
    e.csig2 = b.cbet2;
    e.dn1 = b.dn1;
    e.dn2 = b.dn2;
    V sig12 = arctangent2(max_of(V(0.0), e.csig1 * e.ssig2 - e.ssig1 * e.csig2),
                          e.csig1 * e.csig2 + e.ssig1 * e.ssig2);
    V s;
    V m = reduced_length(V(third_flattening), sig12, e, &s);
    meridian = meridian & ((sig12 < V(1.0)) | (m >= V(0.0)));
    // Coincident points: exactly nothing.
    const auto nothing = (sig12 < V(3.0 * tiny)) | ((sig12 < V(tol0)) & ((s < V(0.0)) | (m < V(0.0))));
    s = select(nothing, V(0.0), s);
    sol.salp1 = select(meridian, slam12, sol.salp1);
    sol.calp1 = select(meridian, clam12, sol.calp1);
    sol.salp2 = select(meridian, V(0.0), sol.salp2);
    sol.calp2 = select(meridian, V(1.0), sol.calp2);
    sol.length = select(meridian, s, sol.length);
    return meridian;
}

// What one Newton step keeps of a trial, in the lanes still active.
template <class V, class Mask>
void keep_trial(Mask active, const Trial<V> &t, Trial<V> &kept)
{
    kept.v = select(active, t.v, kept.v);
    kept.salp2 = select(active, t.salp2, kept.salp2);
    kept.calp2 = select(active, t.calp2, kept.calp2);
    kept.sig12 = select(active, t.sig12, kept.sig12);
    kept.eps = select(active, t.eps, kept.eps);
    kept.ends.ssig1 = select(active, t.ends.ssig1, kept.ends.ssig1);
    kept.ends.csig1 = select(active, t.ends.csig1, kept.ends.csig1);
    kept.ends.ssig2 = select(active, t.ends.ssig2, kept.ends.ssig2);
    kept.ends.csig2 = select(active, t.ends.csig2, kept.ends.csig2);
}

// Newton's method on alpha1 (sa1, ca1) in the active lanes, inside a
// bracket kept for bisection should a step fail; the last trial of each.
template <class V, class Mask>
Trial<V> iterate_alpha1(const Latitudes<V> &b, V slam12, V clam12, Mask active, V &sa1, V &ca1)
{
    V sa1a(tiny), ca1a(1.0), sa1b(tiny), ca1b(-1.0);
    auto tripn = V(0.0) != V(0.0), tripb = tripn; // all false
    Trial<V> kept = longitude_error(b, sa1, ca1, slam12, clam12);
    Trial<V> t = kept;
    for (int numit = 0; numit < most_iterations; ++numit) {
        if (numit > 0) {
            t = longitude_error(b, sa1, ca1, slam12, clam12);
            keep_trial(active, t, kept);
        }
        const V v = t.v;
        const auto done = tripb | ~(abs(v) >= select(tripn, V(8.0 * tol0), V(tol0)));
        active = active & ~done;
        if (!any(active))
            break;
        const auto late = V(double(numit)) > V(double(newton_iterations));
        const auto move_b = active & (v > V(0.0)) & (late | (ca1 / sa1 > ca1b / sa1b));
        const auto move_a = active & (v < V(0.0)) & (late | (ca1 / sa1 < ca1a / sa1a));
        sa1b = select(move_b, sa1, sa1b);
        ca1b = select(move_b, ca1, ca1b);
        sa1a = select(move_a, sa1, sa1a);
        ca1a = select(move_a, ca1, ca1a);
        auto newton = active & (t.dv > V(0.0));
        if (numit >= newton_iterations)
            newton = newton & ~newton;
        V ns = sa1, nc = ca1;
        if (any(newton)) {
            const V dalp1 = -v / t.dv;
            newton = newton & (abs(dalp1) < V(pi));
            V sd, cd;
            sine_cosine(select(newton, dalp1, V(0.0)), sd, cd);
            ns = sa1 * cd + ca1 * sd;
            newton = newton & (ns > V(0.0));
            nc = ca1 * cd - sa1 * sd;
            normalise(ns, nc);
        }
        const auto bisect = active & ~newton;
        V bs = (sa1a + sa1b) / V(2.0), bc = (ca1a + ca1b) / V(2.0);
        normalise(bs, bc);
        sa1 = select(newton, ns, select(bisect, bs, sa1));
        ca1 = select(newton, nc, select(bisect, bc, ca1));
        tripn = choose(newton, abs(v) <= V(16.0 * tol0), tripn & ~bisect);
        const auto closed = ((abs(sa1a - sa1) + (ca1a - ca1)) < V(tolb)) |
                            ((abs(sa1 - sa1b) + (ca1 - ca1b)) < V(tolb));
        tripb = (tripb & ~bisect) | (bisect & closed);
    }
    return kept;
}

// The general case, in the lanes neither a meridian nor the equator
// solved: a short line outright, the others by iteration.  metres and
// sol's directions are set in those lanes.
template <class V, class Mask>
void general_case(const Latitudes<V> &b, const Longitudes<V> &d, Mask general, Solution<V> &sol, V &metres)
{
    const Start<V> st = start_of(b, d.lam12, d.slam12, d.clam12);
    const auto solved = general & (st.sig12 >= V(0.0));
    metres = select(solved, st.sig12 * V(polar_radius) * st.dnm, metres);
    sol.salp2 = select(solved, st.salp2, sol.salp2);
    sol.calp2 = select(solved, st.calp2, sol.calp2);
    const auto iterated = general & ~(st.sig12 >= V(0.0));
    V sa1 = st.salp1, ca1 = st.calp1;
    if (any(iterated)) {
        const Trial<V> kept = iterate_alpha1(b, d.slam12, d.clam12, iterated, sa1, ca1);
        V s;
        reduced_length(kept.eps, kept.sig12, kept.ends, &s);
        metres = select(iterated, s * V(polar_radius), metres);
        sol.salp2 = select(iterated, kept.salp2, sol.salp2);
        sol.calp2 = select(iterated, kept.calp2, sol.calp2);
    }
    sol.salp1 = select(general, sa1, sol.salp1);
    sol.calp1 = select(general, ca1, sol.calp1);
}

// The inverse problem for one pack: latitudes and longitudes in degrees;
// the length in metres and the azimuths at both ends in degrees, (-180,
// 180], the azimuth at the second point being its direction of travel.
template <class V>
void inverse_pack(V lat1, V lon1, V lat2, V lon2, V &s12, V &azi1, V &azi2)
{
    const Longitudes<V> d = longitude_difference(lon1, lon2);
    const Ordered<V> o = ordered_ends(lat1, lat2);
    const Latitudes<V> &b = o.b;
    const V lonsign = select(o.swapped, -d.lonsign, d.lonsign);

    Solution<V> sol; // its length in b
    const auto meridian = meridian_of(b, o.la, d.slam12, d.clam12, sol);
    // Both on the equator, and not nearly antipodal: along it.
    const auto equatorial = ~meridian & (b.sbet1 == V(0.0)) & (d.lon12s >= V(flattening * 180.0));
    sol.salp1 = select(equatorial, V(1.0), sol.salp1);
    sol.calp1 = select(equatorial, V(0.0), sol.calp1);
    sol.salp2 = select(equatorial, V(1.0), sol.salp2);
    sol.calp2 = select(equatorial, V(0.0), sol.calp2);
    V metres = select(equatorial, V(equatorial_radius) * d.lam12, sol.length * V(polar_radius));
    const auto general = ~meridian & ~equatorial;
    if (any(general))
        general_case(b, d, general, sol, metres);

    s12 = metres + V(0.0); // never -0
    // Undo the ordering of the ends and the reflections.
    const V s1 = select(o.swapped, sol.salp2, sol.salp1), c1 = select(o.swapped, sol.calp2, sol.calp1);
    const V s2 = select(o.swapped, sol.salp1, sol.salp2), c2 = select(o.swapped, sol.calp1, sol.calp2);
    const V swapsign = select(o.swapped, V(-1.0), V(1.0));
    azi1 = arctangent2_degrees(s1 * (swapsign * lonsign), c1 * (swapsign * o.latsign));
    azi2 = arctangent2_degrees(s2 * (swapsign * lonsign), c2 * (swapsign * o.latsign));
    // A NaN anywhere in the pair (or an infinite longitude) is NaN in all
    // it gives, whichever case its other numbers would have chosen.  And
    // every NaN is the one quiet NaN: a NaN's payload and sign depend on
    // the processor and on the order a compiler gives an addition's
    // operands, and the bits must not.
    const V nan_in = ((lat1 - lat1) + (lon1 - lon1)) + ((lat2 - lat2) + (lon2 - lon2));
    const auto unknown = nan_in != nan_in;
    const V nan(__builtin_nan(""));
    s12 = select(unknown | (s12 != s12), nan, s12);
    azi1 = select(unknown | (azi1 != azi1), nan, azi1);
    azi2 = select(unknown | (azi2 != azi2), nan, azi2);
}

// Any number of pairs, a pack at a time; the last pack is filled out with
// copies of its last pair.
template <class V>
void inverse_block(std::size_t n, const double *lat1, const double *lon1, const double *lat2,
                   const double *lon2, double *s12, double *azi1, double *azi2)
{
    constexpr int w = V::width;
    std::size_t i = 0;
    for (; i + w <= n; i += w) {
        V s, a1, a2;
        inverse_pack(V::load(lat1 + i), V::load(lon1 + i), V::load(lat2 + i), V::load(lon2 + i), s, a1, a2);
        s.store(s12 + i);
        a1.store(azi1 + i);
        a2.store(azi2 + i);
    }
    if (i < n) {
        double in[4][w], out[3][w];
        for (int j = 0; j < w; j++) {
            const std::size_t k = i + j < n ? i + j : n - 1;
            in[0][j] = lat1[k], in[1][j] = lon1[k], in[2][j] = lat2[k], in[3][j] = lon2[k];
        }
        V s, a1, a2;
        inverse_pack(V::load(in[0]), V::load(in[1]), V::load(in[2]), V::load(in[3]), s, a1, a2);
        s.store(out[0]);
        a1.store(out[1]);
        a2.store(out[2]);
        for (std::size_t j = 0; i + j < n; j++)
            s12[i + j] = out[0][j], azi1[i + j] = out[1][j], azi2[i + j] = out[2][j];
    }
}

}  // namespace
}  // namespace lanes

#endif
