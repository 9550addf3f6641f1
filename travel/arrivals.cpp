// Arrivals as roots of X(p) = distance: each phase's rays sampled once at
// every shell boundary's eta (where a branch may end or fold) and between,
// and each change of sign refined by bisection to the last bit of p.
#include "arrivals.h"

#include <algorithm>
#include <cmath>

namespace travel {

namespace {

constexpr double pi = 3.141592653589793;
constexpr double degree = pi / 180;

}  // namespace

Source::Source(const LayeredEarth &earth, double depth_km, double moho_depth)
    : earth_(earth), source_radius_(earth.radius() - depth_km), moho_radius_(earth.radius() - moho_depth)
{
}

Source::Ray Source::ray(const Phase &phase, double p) const
{
    Ray r{0, 0, true};
    for (const Pass &pass : phase.passes) {
        const Leg leg = earth_.down(pass.wave, p, pass.top, pass.bottom);
        if (leg.blocked || leg.turned != pass.turns)
            return {0, 0, false};
        r.tau += leg.tau;
        r.distance += leg.distance;
    }
    return r;
}

const Source::Branches &Source::branches(std::string_view name) const
{
    const auto found = kept_.find(name);
    if (found != kept_.end())
        return found->second;
    Branches &b = kept_[std::string(name)];
    b.wrong = phase_of(name, earth_, source_radius_, moho_radius_, b.phase);
    if (!b.wrong.empty() || b.phase.along != Along::nothing)
        return b;
    const Wave first = b.phase.passes.front().wave;
    const double most = earth_.least_eta(first, earth_.radius(), source_radius_);
    // The samples of p: the shells' eta of both waves, where branches end
    // and fold, and an even grid between.
    const int grid = 400;
    for (int i = 0; i <= grid; i++)
        b.p.push_back(most * i / grid);
    for (double r = earth_.radius(); r > 0; r -= 5.0)
        for (Wave w : {Wave::P, Wave::S})
            for (bool below : {false, true}) {
                const double e = earth_.eta(w, r, below);
                if (e > 0 && e < most)
                    b.p.push_back(e);
            }
    std::sort(b.p.begin(), b.p.end());
    b.p.erase(std::unique(b.p.begin(), b.p.end()), b.p.end());
    for (double p : b.p)
        b.rays.push_back(ray(b.phase, p));
    return b;
}

std::string Source::why(std::string_view phase) const { return branches(phase).wrong; }

Arrival arrival_of(const LayeredEarth &earth, const Phase &phase, double source_radius, double p, double time)
{
    const Pass &first = phase.passes.front(), &last = phase.passes.back();
    const double at_source = earth.eta(first.wave, source_radius, !phase.upwards);
    const double at_surface = earth.eta(last.wave, earth.radius(), true);
    const double takeoff = std::asin(std::min(1.0, p / at_source)) / degree;
    double deepest = earth.radius();
    for (const Pass &pass : phase.passes)
        deepest = std::min(deepest, pass.turns ? earth.turning_radius(pass.wave, p, pass.top, pass.bottom) : pass.bottom);
    return {phase.name, time, p * degree, phase.upwards ? 180 - takeoff : takeoff,
            std::asin(std::min(1.0, p / at_surface)) / degree, earth.radius() - deepest};
}

Arrival Source::arrival(const Phase &phase, double p, double tau, double target) const
{
    // T = tau + p X, with X the distance itself: stationary in p, so the
    // last bit of p leaves the time as it is.
    return arrival_of(earth_, phase, source_radius_, p, tau + p * target);
}

std::vector<Arrival> Source::arrivals(std::string_view name, double distance) const
{
    std::vector<Arrival> found;
    const Branches &b = branches(name);
    if (!b.wrong.empty())
        return found;
    const double delta = distance * degree;
    if (b.phase.along != Along::nothing) {
        // Along a boundary: the grazing ray, then the rest of the way at
        // its ray parameter.
        const double radius = b.phase.along == Along::core ? earth_.core_radius() : moho_radius_;
        const Wave w = b.phase.passes.front().wave;
        const double p = earth_.eta(w, radius, b.phase.along == Along::moho);
        const Ray r = ray(b.phase, p);
        if (r.exists && delta >= r.distance)
            found.push_back(arrival(b.phase, p, r.tau, delta));
        return found;
    }
    // The distances a ray may cover to arrive: the distance, and round the
    // earth once more either way.
    for (double target : {delta, 2 * pi - delta, 2 * pi + delta}) {
        for (size_t i = 1; i < b.p.size(); i++) {
            const Ray &lo_ray = b.rays[i - 1], &hi_ray = b.rays[i];
            if (!lo_ray.exists || !hi_ray.exists)
                continue;
            const double f_lo0 = lo_ray.distance - target, f_hi0 = hi_ray.distance - target;
            if ((f_lo0 <= 0) == (f_hi0 <= 0))
                continue;
            double lo = b.p[i - 1], hi = b.p[i], f_lo = f_lo0;
            bool lost = false;
            while (true) {
                const double mid = lo + (hi - lo) / 2;
                if (mid <= lo || mid >= hi)
                    break;
                const Ray r = ray(b.phase, mid);
                if (!r.exists) {
                    lost = true;
                    break;
                }
                if ((r.distance - target <= 0) == (f_lo <= 0))
                    lo = mid, f_lo = r.distance - target;
                else
                    hi = mid;
            }
            const Ray r = ray(b.phase, lo);
            if (!lost && r.exists)
                found.push_back(arrival(b.phase, lo, r.tau, target));
        }
        if (target == delta && (delta == 0 || delta == pi))
            break;  // the other targets are the same distance
    }
    std::sort(found.begin(), found.end(), [](const Arrival &a, const Arrival &c) { return a.time < c.time; });
    return found;
}

}  // namespace travel
