// The choice of lanes for the ellipsoid's inverse problem.
#include "ellipsoid_inverse.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace ellipsoid {

namespace {

widths::Solver solver_of(Lanes lanes)
{
    switch (lanes) {
    case Lanes::scalar:
        return widths::scalar;
    case Lanes::sse2:
        return widths::sse2;
    case Lanes::avx2:
        return widths::avx2;
    case Lanes::neon:
        return widths::neon;
    }
    return nullptr;
}

bool processor_has(Lanes lanes)
{
#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
    if (lanes == Lanes::avx2)
        return __builtin_cpu_supports("avx2");
#endif
    (void)lanes;
    return true; // SSE2 on x86-64 and NEON on aarch64 are in every processor
}

Lanes chosen()
{
    if (const char *asked = std::getenv("OSTREM_LANES")) {
        for (Lanes l : {Lanes::scalar, Lanes::sse2, Lanes::avx2, Lanes::neon})
            if (std::strcmp(asked, name_of(l)) == 0 && runs(l))
                return l;
    }
    for (Lanes l : {Lanes::avx2, Lanes::neon, Lanes::sse2})
        if (runs(l))
            return l;
    return Lanes::scalar;
}

}  // namespace

const char *name_of(Lanes lanes)
{
    switch (lanes) {
    case Lanes::scalar:
        return "scalar";
    case Lanes::sse2:
        return "sse2";
    case Lanes::avx2:
        return "avx2";
    case Lanes::neon:
        return "neon";
    }
    return "?";
}

bool runs(Lanes lanes) { return solver_of(lanes) != nullptr && processor_has(lanes); }

Lanes lanes_in_use()
{
    static const Lanes in_use = chosen(); // once, thread-safe
    return in_use;
}

void inverse(std::size_t n, const double *lat1, const double *lon1, const double *lat2,
             const double *lon2, double *metres, double *azimuth1, double *azimuth2)
{
    static const widths::Solver solve = solver_of(lanes_in_use());
    solve(n, lat1, lon1, lat2, lon2, metres, azimuth1, azimuth2);
}

void inverse_with(Lanes lanes, std::size_t n, const double *lat1, const double *lon1,
                  const double *lat2, const double *lon2, double *metres, double *azimuth1,
                  double *azimuth2)
{
    solver_of(lanes)(n, lat1, lon1, lat2, lon2, metres, azimuth1, azimuth2);
}

}  // namespace ellipsoid
