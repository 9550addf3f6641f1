// The direct problem and positions in the lanes chosen for the inverse
// problem (ellipsoid_inverse.cpp chooses them).
#include "ellipsoid_direct.h"

namespace ellipsoid {

namespace {

const widths::Direct &solvers_of(Lanes lanes)
{
    switch (lanes) {
    case Lanes::sse2:
        return widths::direct_sse2;
    case Lanes::avx2:
        return widths::direct_avx2;
    case Lanes::neon:
        return widths::direct_neon;
    case Lanes::scalar:
        break;
    }
    return widths::direct_scalar;
}

const widths::Direct &in_use()
{
    static const widths::Direct &solvers = solvers_of(lanes_in_use());
    return solvers;
}

}  // namespace

void direct(std::size_t n, const double *lat1, const double *lon1, const double *azimuth1,
            const double *metres, double *lat2, double *lon2, double *azimuth2)
{
    in_use().walks(n, lat1, lon1, azimuth1, metres, lat2, lon2, azimuth2);
}

void path(double lat1, double lon1, double azimuth1, std::size_t n, const double *metres, double *lat2,
          double *lon2, double *azimuth2)
{
    in_use().path(lat1, lon1, azimuth1, n, metres, lat2, lon2, azimuth2);
}

void positions(std::size_t n, const double *lat, const double *lon, const double *height, double *x,
               double *y, double *z)
{
    in_use().positions(n, lat, lon, height, x, y, z);
}

void direct_with(Lanes lanes, std::size_t n, const double *lat1, const double *lon1, const double *azimuth1,
                 const double *metres, double *lat2, double *lon2, double *azimuth2)
{
    solvers_of(lanes).walks(n, lat1, lon1, azimuth1, metres, lat2, lon2, azimuth2);
}

void path_with(Lanes lanes, double lat1, double lon1, double azimuth1, std::size_t n, const double *metres,
               double *lat2, double *lon2, double *azimuth2)
{
    solvers_of(lanes).path(lat1, lon1, azimuth1, n, metres, lat2, lon2, azimuth2);
}

void positions_with(Lanes lanes, std::size_t n, const double *lat, const double *lon, const double *height,
                    double *x, double *y, double *z)
{
    solvers_of(lanes).positions(n, lat, lon, height, x, y, z);
}

}  // namespace ellipsoid
