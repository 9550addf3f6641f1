// Time per call of ostrem, midpoint, walk and their double twins over
// realistic earthquake-station pairs, beside their floors: the same transcendental calls on the same
// arguments with no other work, which no implementation of these formulas
// can beat.  Where PROJ is installed, its ellipsoidal geod_inverse on the
// same pairs is timed too: it is what a user would otherwise call.
#include <cmath>
#include <cstdint>
#include <vector>

#include <benchmark/benchmark.h>

#include "ostrem.h"
#include "ostrem_geodesic.h"

#ifdef HAVE_PROJ_GEODESIC
#include <geodesic.h>
#endif

namespace {

struct Pair {
    float olat, olon, tlat, tlon;
};

// Earthquakes and stations anywhere off the poles, with a fixed seed.
std::vector<Pair> make_pairs()
{
    uint64_t s = 12345;
    auto next = [&s] {
        s = s * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(s >> 11) * 0x1p-53;
    };
    std::vector<Pair> pairs(4096);
    for (Pair &p : pairs)
        p = {static_cast<float>(-80 + 160 * next()), static_cast<float>(-180 + 360 * next()),
             static_cast<float>(-80 + 160 * next()), static_cast<float>(-180 + 360 * next())};
    return pairs;
}

const std::vector<Pair> pairs = make_pairs();
const double pi = std::acos(-1.0);
const double rd = 180.0 / pi;
const double fac = 0.993305621334896;

// The arguments the module hands to sin, cos, atan, acos and atan2 for one
// pair, recorded once so that the floor loop times the calls alone.
struct Args {
    double colat[2], q[2], clar[2], dph, cosdel, y[2], x[2];       // ostrem
    double t0arg, qt0, del, t0, az, ctheta, t1, ys, xs, qt1;       // midpoint
};

double to_geocentric(double x, double *q)
{
    *q = (fac * std::cos(x)) / std::fmax(1.0e-30, std::sin(x));
    return pi / 2 - std::atan(*q);
}

Args record(const Pair &p)
{
    Args a{};
    double lat[2] = {p.olat, p.tlat}, lon[2] = {p.olon, p.tlon};
    for (int i = 0; i < 2; i++) {
        if (lon[i] < 0)
            lon[i] += 360.0;
        a.colat[i] = (90.0 - lat[i]) / rd;
        a.clar[i] = to_geocentric(a.colat[i], &a.q[i]);
    }
    a.dph = lon[1] / rd - lon[0] / rd;
    double st[2] = {std::sin(a.clar[0]), std::sin(a.clar[1])};
    double ct[2] = {std::cos(a.clar[0]), std::cos(a.clar[1])};
    a.cosdel = st[0] * st[1] * std::cos(a.dph) + ct[0] * ct[1];
    a.y[0] = std::sin(a.dph);
    a.x[0] = st[0] * ct[1] / st[1] - ct[0] * std::cos(a.dph);
    a.y[1] = -a.y[0];
    a.x[1] = st[1] * ct[0] / st[0] - ct[1] * std::cos(a.dph);
    float del, az, baz;
    ostrem(p.olat, p.olon, p.tlat, p.tlon, &del, &az, &baz);
    a.t0arg = a.colat[0];
    a.t0 = to_geocentric(a.t0arg, &a.qt0);
    a.del = del / (rd * 2.0);
    a.az = az / rd;
    a.ctheta = std::sin(a.del) * std::sin(a.t0) * std::cos(a.az) + std::cos(a.t0) * std::cos(a.del);
    a.t1 = std::acos(a.ctheta);
    a.ys = std::sin(a.del) * std::sin(a.az) / std::sin(a.t1);
    a.xs = (std::cos(a.del) - std::cos(a.t0) * a.ctheta) / (std::sin(a.t0) * std::sin(a.t1));
    a.qt1 = std::cos(a.t1) / (fac * std::sin(a.t1));
    return a;
}

std::vector<Args> make_args()
{
    std::vector<Args> v;
    for (const Pair &p : pairs)
        v.push_back(record(p));
    return v;
}

const std::vector<Args> args = make_args();

// The distinct transcendental calls of ostrem: 5 sin, 5 cos, 2 atan,
// 1 acos, 2 atan2.
inline double ostrem_calls(const Args &a)
{
    double s = 0;
    for (int i = 0; i < 2; i++)
        s += std::sin(a.colat[i]) + std::cos(a.colat[i]) + std::atan(a.q[i]) +
             std::sin(a.clar[i]) + std::cos(a.clar[i]);
    s += std::sin(a.dph) + std::cos(a.dph) + std::acos(a.cosdel);
    s += std::atan2(a.y[0], a.x[0]) + std::atan2(a.y[1], a.x[1]);
    return s;
}

void BM_ostrem(benchmark::State &state)
{
    size_t i = 0;
    for (auto _ : state) {
        const Pair &p = pairs[i++ & 4095];
        float del, az, baz;
        benchmark::DoNotOptimize(ostrem(p.olat, p.olon, p.tlat, p.tlon, &del, &az, &baz));
        benchmark::DoNotOptimize(del + az + baz);
    }
}

void BM_ostrem_floor(benchmark::State &state)
{
    size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(ostrem_calls(args[i++ & 4095]));
}

// The same calls again, but each waiting for the one before, as a bracket
// from the other side: ostrem's calls are partly chained (colatitude ->
// geocen -> sine -> acos), which the independent floor above cannot show.
// Adding z * r, with z a zero the compiler cannot see, makes each argument
// depend on the previous result without changing it.
void BM_ostrem_floor_chained(benchmark::State &state)
{
    volatile double zero = 0.0;
    const double z = zero;
    size_t i = 0;
    for (auto _ : state) {
        const Args &a = args[i++ & 4095];
        double r = 0.0;
        for (int k = 0; k < 2; k++) {
            r = std::sin(a.colat[k] + z * r) + std::cos(a.colat[k] + z * r);
            r = std::atan(a.q[k] + z * r);
            r = std::sin(a.clar[k] + z * r) + std::cos(a.clar[k] + z * r);
        }
        r = std::sin(a.dph + z * r) + std::cos(a.dph + z * r);
        r = std::acos(a.cosdel + z * r);
        r = std::atan2(a.y[0] + z * r, a.x[0]) + std::atan2(a.y[1] + z * r, a.x[1]);
        benchmark::DoNotOptimize(r);
    }
}

void BM_midpoint(benchmark::State &state)
{
    size_t i = 0;
    for (auto _ : state) {
        const Pair &p = pairs[i++ & 4095];
        float lat, lon;
        benchmark::DoNotOptimize(midpoint(p.olat, p.olon, p.tlat, p.tlon, &lat, &lon));
        benchmark::DoNotOptimize(lat + lon);
    }
}

// ostrem's calls, and the distinct ones midpoint adds: geocen (sin, cos,
// atan), sin and cos of the half distance, of t0 and of the azimuth, acos,
// sin of t1, atan2, and geogrf (cos of t1, atan).
void BM_midpoint_floor(benchmark::State &state)
{
    size_t i = 0;
    for (auto _ : state) {
        const Args &a = args[i++ & 4095];
        double s = ostrem_calls(a);
        s += std::sin(a.t0arg) + std::cos(a.t0arg) + std::atan(a.qt0);
        s += std::sin(a.del) + std::cos(a.del) + std::sin(a.t0) + std::cos(a.t0);
        s += std::sin(a.az) + std::cos(a.az) + std::acos(a.ctheta) + std::sin(a.t1);
        s += std::atan2(a.ys, a.xs) + std::cos(a.t1) + std::atan(a.qt1);
        benchmark::DoNotOptimize(s);
    }
}

// The direct problem from each pair's origin along ostrem's own azimuth
// and distance (recorded once), and the double-precision twins, which do
// the same work without the roundings to float.
struct Walk {
    float lat, lon, az, del;
};
std::vector<Walk> make_walks()
{
    std::vector<Walk> w;
    for (const Pair &p : pairs) {
        float del, az, baz;
        ostrem(p.olat, p.olon, p.tlat, p.tlon, &del, &az, &baz);
        w.push_back({p.olat, p.olon, az, del});
    }
    return w;
}
const std::vector<Walk> walks = make_walks();

void BM_walk(benchmark::State &state)
{
    size_t i = 0;
    for (auto _ : state) {
        const Walk &w = walks[i++ & 4095];
        float lat, lon;
        benchmark::DoNotOptimize(walk(w.lat, w.lon, w.az, w.del, &lat, &lon));
        benchmark::DoNotOptimize(lat + lon);
    }
}

void BM_ostremd(benchmark::State &state)
{
    size_t i = 0;
    for (auto _ : state) {
        const Pair &p = pairs[i++ & 4095];
        double del, az, baz;
        benchmark::DoNotOptimize(ostremd(p.olat, p.olon, p.tlat, p.tlon, &del, &az, &baz));
        benchmark::DoNotOptimize(del + az + baz);
    }
}

void BM_midpointd(benchmark::State &state)
{
    size_t i = 0;
    for (auto _ : state) {
        const Pair &p = pairs[i++ & 4095];
        double lat, lon;
        benchmark::DoNotOptimize(midpointd(p.olat, p.olon, p.tlat, p.tlon, &lat, &lon));
        benchmark::DoNotOptimize(lat + lon);
    }
}

BENCHMARK(BM_ostrem);
BENCHMARK(BM_ostremd);
BENCHMARK(BM_ostrem_floor);
BENCHMARK(BM_ostrem_floor_chained);
BENCHMARK(BM_midpoint);
BENCHMARK(BM_midpointd);
BENCHMARK(BM_midpoint_floor);
BENCHMARK(BM_walk);

// The ellipsoid's geodesic, one pair a call (the scalar lanes).
void BM_geodesic(benchmark::State &state)
{
    size_t i = 0;
    for (auto _ : state) {
        const Pair &p = pairs[i++ & 4095];
        double km, az, baz;
        benchmark::DoNotOptimize(geodesic(p.olat, p.olon, p.tlat, p.tlon, &km, &az, &baz));
        benchmark::DoNotOptimize(km + az + baz);
    }
}
BENCHMARK(BM_geodesic);

// The ellipsoid's direct problem, one walk a call: from each earthquake
// towards its station, a third of the way round.
void BM_geodesic_walk(benchmark::State &state)
{
    size_t i = 0;
    for (auto _ : state) {
        const Pair &p = pairs[i++ & 4095];
        double lat, lon;
        benchmark::DoNotOptimize(geodesic_walk(p.olat, p.olon, p.tlon + 180.0, 13000.0, &lat, &lon));
        benchmark::DoNotOptimize(lat + lon);
    }
}
BENCHMARK(BM_geodesic_walk);

#ifdef HAVE_PROJ_GEODESIC
// WGS84, distance and both azimuths, as a user of PROJ would ask for them.
void BM_geod_inverse(benchmark::State &state)
{
    geod_geodesic g;
    geod_init(&g, 6378137.0, 1 / 298.257223563);
    size_t i = 0;
    for (auto _ : state) {
        const Pair &p = pairs[i++ & 4095];
        double s12, azi1, azi2;
        geod_inverse(&g, p.olat, p.olon, p.tlat, p.tlon, &s12, &azi1, &azi2);
        benchmark::DoNotOptimize(s12 + azi1 + azi2);
    }
}
BENCHMARK(BM_geod_inverse);
#endif

}  // namespace

BENCHMARK_MAIN();
