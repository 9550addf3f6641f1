// Arrivals as roots of X(p) = distance: the ray parameters sampled at
// every shell boundary's eta (where a branch may end or fold) and between,
// each change of sign refined by bisection to the last bit of p.
#include "arrivals.h"

#include <algorithm>
#include <cmath>

namespace travel {

namespace {

constexpr double pi = 3.141592653589793;
constexpr double degree = pi / 180;

}  // namespace

Source::Source(const LayeredEarth &earth, double depth_km)
    : earth_(earth), source_radius_(earth.radius() - depth_km)
{
}

Source::Ray Source::ray(Wave w, bool upwards, double p) const
{
    const double surface = earth_.radius(), core = earth_.core_radius();
    if (upwards) {  // from the source straight up: no turning on the way
        const Leg up = earth_.down(w, p, surface, source_radius_);
        return {up.tau, up.distance, !up.turned && !up.blocked};
    }
    // Down from the source to the turning point, and up from there to the
    // surface: the surface's leg holds the source's.
    const Leg below = earth_.down(w, p, source_radius_, core);
    const Leg whole = earth_.down(w, p, surface, core);
    const bool turned = below.turned && whole.turned && !below.blocked && !whole.blocked;
    return {below.tau + whole.tau, below.distance + whole.distance, turned};
}

std::vector<Arrival> Source::arrivals(std::string_view phase, double distance) const
{
    std::vector<Arrival> found;
    if (phase != "P" && phase != "S" && phase != "p" && phase != "s")
        return found;
    const Wave w = phase == "P" || phase == "p" ? Wave::P : Wave::S;
    const bool upwards = phase == "p" || phase == "s";
    const double surface = earth_.radius();
    // Rays that leave the source and reach the surface.
    const double most = earth_.least_eta(w, surface, source_radius_);
    if (!(most > 0))
        return found;
    // The samples of p: the shells' eta, where branches end and fold, and
    // an even grid between.
    std::vector<double> ps;
    const int grid = 400;
    for (int i = 0; i <= grid; i++)
        ps.push_back(most * i / grid);
    for (double r = source_radius_; r > earth_.core_radius(); r -= 5.0)
        for (bool below : {false, true}) {
            const double e = earth_.eta(w, r, below);
            if (e > 0 && e < most)
                ps.push_back(e);
        }
    std::sort(ps.begin(), ps.end());
    ps.erase(std::unique(ps.begin(), ps.end()), ps.end());
    const double target = distance * degree;
    auto off = [&](double p) {
        const Ray r = ray(w, upwards, p);
        return r.exists ? r.distance - target : NAN;
    };
    double previous = off(ps[0]);
    for (size_t i = 1; i < ps.size(); i++) {
        const double here = off(ps[i]);
        if (!std::isnan(previous) && !std::isnan(here) && (previous <= 0) != (here <= 0)) {
            double lo = ps[i - 1], hi = ps[i], f_lo = previous;
            while (true) {
                const double mid = lo + (hi - lo) / 2;
                if (mid <= lo || mid >= hi)
                    break;
                const double f = off(mid);
                if (std::isnan(f))
                    break;
                if ((f <= 0) == (f_lo <= 0))
                    lo = mid, f_lo = f;
                else
                    hi = mid;
            }
            const double p = lo + (hi - lo) / 2;
            const Ray r = ray(w, upwards, p);
            if (r.exists) {
                // T = tau + p X, with X the distance itself: stationary in
                // p, so the last bit of p leaves the time as it is.
                const double time = r.tau + p * target;
                const double at_source = earth_.eta(w, source_radius_, !upwards);
                const double takeoff = std::asin(std::min(1.0, p / at_source)) / degree;
                found.push_back({std::string(phase), time, p * degree, upwards ? 180 - takeoff : takeoff,
                                 std::asin(std::min(1.0, p / earth_.eta(w, surface, true))) / degree});
            }
        }
        previous = here;
    }
    std::sort(found.begin(), found.end(), [](const Arrival &a, const Arrival &b) { return a.time < b.time; });
    return found;
}

}  // namespace travel
