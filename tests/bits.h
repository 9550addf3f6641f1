// Helpers shared by the tests: bit patterns of floats, so that -0.0 and
// 360.0 are told apart from 0.0 and 359.99997, and a seeded generator whose
// sequence is the same with every standard library.
#ifndef OSTREM_TESTS_BITS_H
#define OSTREM_TESTS_BITS_H

#include <cmath>
#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

inline uint32_t bits(float f)
{
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

inline uint64_t bits(double d)
{
    uint64_t u;
    std::memcpy(&u, &d, sizeof u);
    return u;
}

// tol == 0 asks for the same bits (so -0.0 is not 0.0); NaN matches NaN.
inline testing::AssertionResult near_or_same(float got, double want, double tol)
{
    if (std::isnan(want) ? std::isnan(got)
        : tol == 0 ? bits(got) == bits(static_cast<float>(want))
                   : std::fabs(got - want) <= tol)
        return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << "got " << got << " (bits " << std::hex << bits(got) << "), want "
           << want << (tol == 0 ? " bit for bit" : " within ") << std::dec
           << (tol == 0 ? "" : std::to_string(tol));
}

// SplitMix64: a fixed sequence, unlike std::uniform_real_distribution,
// whose output differs between standard libraries.
struct Rng {
    uint64_t s;
    uint64_t next()
    {
        uint64_t z = (s += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    // Uniform in [lo, hi), rounded to float like every coordinate.
    float uniform(double lo, double hi)
    {
        return static_cast<float>(lo + (hi - lo) * (next() >> 11) * 0x1p-53);
    }
};

// Pairs over the whole accepted range, one in two of them a case where the
// arithmetic is at its most fragile: a pole, the date line, coincident or
// nearly antipodal points.
struct Pair {
    float olat, olon, tlat, tlon;
};

inline Pair varied_pair(Rng &r)
{
    Pair p{r.uniform(-90, 90), r.uniform(-180, 540), r.uniform(-90, 90),
           r.uniform(-180, 540)};
    switch (r.next() % 10) {
    case 0:
        p.olat = (r.next() & 1) ? 90.0f : -90.0f;
        break;
    case 1:
        p.tlat = (r.next() & 1) ? 90.0f : -90.0f;
        break;
    case 2:  // either side of the date line, given as -180..180 or 0..360
        p.olon = r.uniform(179, 181);
        p.tlon = r.uniform(-181, -179) + ((r.next() & 1) ? 360.0f : 0.0f);
        if (p.tlon < -180.0f)
            p.tlon = -180.0f;
        break;
    case 3:
        p.tlat = p.olat;
        p.tlon = p.olon;
        break;
    case 4:  // within a hundredth of a degree of the antipode
        p.olon = r.uniform(-180, 180);
        p.tlat = static_cast<float>(-p.olat + r.uniform(-0.01, 0.01));
        p.tlon = static_cast<float>(p.olon + 180.0 + r.uniform(-0.01, 0.01));
        if (p.tlat > 90.0f || p.tlat < -90.0f)
            p.tlat = -p.olat;
        break;
    default:
        break;
    }
    return p;
}

// The 300,000 pairs of the bit hashes, in their order: a varied pair, a
// pair one ulp apart in longitude, and an exact antipode, 100,000 times.
template <typename F>
void hash_pairs(F &&one)
{
    Rng rng{20261208};
    for (int i = 0; i < 100000; i++) {
        Pair p = varied_pair(rng);
        one(p.olat, p.olon, p.tlat, p.tlon);
        float lon = rng.uniform(-180, 180);
        one(p.olat, lon, p.olat, std::nextafter(lon, 1000.0f));
        one(p.olat, lon, -p.olat, lon + 180.0f);
    }
}
#endif
