// The two bit hashes over the 300,000 pairs of bits.h's hash_pairs, for
// any build of the module: the one under test, or its own source built
// plainly (unoptimised, no contraction, names prefixed plain_), which
// calls the same maths library.  Both builds must give the same bits on
// any machine; the recorded values hold where the maths library is the one
// they were recorded with.
#ifndef OSTREM_TESTS_HASHES_H
#define OSTREM_TESTS_HASHES_H

#include <cmath>
#include <cstdint>
#include <cstring>

#include "bits.h"
#include "ostrem.h"

extern "C" {
int plain_ostrem(float, float, float, float, float *, float *, float *);
int plain_midpoint(float, float, float, float, float *, float *);
int plain_walk(float, float, float, float, float *, float *);
int plain_ostremd(double, double, double, double, double *, double *, double *);
int plain_walkd(double, double, double, double, double *, double *);
int plain_midpointd(double, double, double, double, double *, double *);
}

struct Build {
    const char *name;
    decltype(&ostrem) inverse;
    decltype(&midpoint) mid;
    decltype(&walk) direct;
    decltype(&ostremd) inversed;
    decltype(&walkd) directd;
    decltype(&midpointd) midd;
};

const Build built{"the module", ostrem, midpoint, walk, ostremd, walkd, midpointd};
const Build plain{"its plain build", plain_ostrem, plain_midpoint, plain_walk,
                  plain_ostremd, plain_walkd, plain_midpointd};

// Recorded on x86-64 with glibc's FMA routines (and equal on aarch64).
constexpr uint64_t recorded_float_hash = 0x635db17eeea062d2ULL;
constexpr uint64_t recorded_double_hash = 0x18fff47102498793ULL;

// Which maths library this is, told apart from the module's source: the
// bits of sin, cos, atan, atan2 and acos, the functions the module calls,
// at 100,000 seeded arguments each.  The arguments are made by exact
// operations only (an integer times a power of two, plus or minus a small
// integer), so a compiler that fuses or reorders cannot change them.
inline uint64_t maths_fingerprint()
{
    Rng rng{20261208};
    uint64_t h = 0xcbf29ce484222325ULL;
    auto unit = [&rng] { return static_cast<double>(rng.next() >> 11) * 0x1p-53; };  // [0, 1)
    auto mix = [&h](double d) {
        uint64_t u;
        std::memcpy(&u, &d, sizeof u);
        h = (h ^ u) * 0x100000001b3ULL;
    };
    for (int i = 0; i < 100000; i++) {
        double a = unit() * 4.0, b = unit() * 8.0 - 4.0, c = unit() * 2.0 - 1.0, d = unit() * 2.0 - 1.0;
        mix(std::sin(a));
        mix(std::cos(a));
        mix(std::atan(b));
        mix(std::atan2(c, d));
        mix(std::acos(c));
    }
    return h;
}
constexpr uint64_t recorded_maths_fingerprint = 0xfc85db0a50b3a557ULL;

// Every result of one pair as bit patterns: ostrem's three and midpoint's
// two floats (the float hash), then the float walk along ostrem's results,
// ostremd's three, walkd along them and midpointd's two (the double hash).
// A refusal leaves its results zero, which no hash of good pairs has.
struct Results {
    uint32_t f[7] = {};
    uint64_t d[7] = {};
};

inline Results results(const Build &b, float a, float o, float t, float s)
{
    float f[7] = {};
    double d[7] = {};
    b.inverse(a, o, t, s, &f[0], &f[1], &f[2]);
    b.mid(a, o, t, s, &f[3], &f[4]);
    b.direct(a, o, f[1], f[0], &f[5], &f[6]);
    b.inversed(a, o, t, s, &d[0], &d[1], &d[2]);
    b.directd(a, o, d[1], d[0], &d[3], &d[4]);
    b.midd(a, o, t, s, &d[5], &d[6]);
    Results r;
    std::memcpy(r.f, f, sizeof f);
    std::memcpy(r.d, d, sizeof d);
    return r;
}

struct Hashes {
    uint64_t floats = 0xcbf29ce484222325ULL, doubles = 0xcbf29ce484222325ULL;  // FNV-1a
    void add(const Results &r)
    {
        for (int i = 0; i < 5; i++)
            floats = (floats ^ r.f[i]) * 0x100000001b3ULL;
        for (int i = 5; i < 7; i++)
            doubles = (doubles ^ r.f[i]) * 0x100000001b3ULL;
        for (uint64_t w : r.d)
            doubles = (doubles ^ w) * 0x100000001b3ULL;
    }
};

#endif
