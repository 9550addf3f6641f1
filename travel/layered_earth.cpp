// The thin shells of a model and the closed-form integrals through them.
#include "layered_earth.h"

#include <algorithm>
#include <cmath>

namespace travel {

namespace {

// sqrt(eta^2 - p^2), without the cancellation of squares near turning.
double root_of(double eta, double p) { return std::sqrt(std::max(0.0, (eta - p) * (eta + p))); }

// arccos(p / eta), for p <= eta, accurate near turning as well.
double angle_of(double eta, double p) { return std::atan2(root_of(eta, p), p); }

// The tau and distance of a ray of parameter p through a piece of a shell
// where eta = c r^k runs from eta_a (top) to eta_b (bottom); eta_b = p when
// it turns there.  With d eta / eta = k dr / r, both integrals are
// (1/k) times a difference of their antiderivatives in eta.
void add_piece(double p, double k, double eta_a, double eta_b, double top, double bottom, Leg &leg)
{
    if (std::fabs(k) < 1e-12) {  // eta constant: dr / r integrated directly
        const double root = root_of(eta_a, p), log_ratio = std::log(top / bottom);
        leg.distance += p / root * log_ratio;
        leg.tau += root * log_ratio;
        return;
    }
    const double xa = angle_of(eta_a, p), xb = angle_of(eta_b, p);
    leg.distance += (xa - xb) / k;
    leg.tau += ((root_of(eta_a, p) - p * xa) - (root_of(eta_b, p) - p * xb)) / k;
}

}  // namespace

LayeredEarth::LayeredEarth(const EarthModel &model, double thickest)
{
    radius_ = model.radius;
    core_radius_ = model.outer_core > 0 ? radius_ - model.outer_core : 0;
    inner_core_radius_ = model.inner_core > 0 ? radius_ - model.inner_core : 0;
    moho_radius_ = radius_ - model.moho;
    const std::vector<Row> &rows = model.rows;
    for (size_t i = 0; i + 1 < rows.size(); i++) {
        const Row &a = rows[i], &b = rows[i + 1];
        const double thickness = b.depth - a.depth;
        if (thickness <= 0)
            continue;  // a discontinuity
        const int n = std::max(1, static_cast<int>(std::ceil(thickness / thickest)));
        for (int j = 0; j < n; j++) {
            // Depths and velocities at the shell's ends, linear in depth.
            const double f0 = static_cast<double>(j) / n, f1 = static_cast<double>(j + 1) / n;
            const double d0 = a.depth + thickness * f0, d1 = j + 1 == n ? b.depth : a.depth + thickness * f1;
            Shell s;
            s.top = radius_ - d0;
            s.bottom = radius_ - d1;
            const double v0[2] = {a.vp + (b.vp - a.vp) * f0, a.vs + (b.vs - a.vs) * f0};
            const double v1[2] = {a.vp + (b.vp - a.vp) * f1, a.vs + (b.vs - a.vs) * f1};
            for (int w = 0; w < 2; w++) {
                const bool fluid = v0[w] <= 0 || v1[w] <= 0;
                s.eta_top[w] = fluid ? 0 : s.top / v0[w];
                s.eta_bottom[w] = fluid || s.bottom <= 0 ? 0 : s.bottom / v1[w];
                // At the centre a constant velocity: eta = r / v, k = 1.
                s.k[w] = fluid ? 0
                         : s.bottom <= 0 ? 1
                                         : std::log(s.eta_top[w] / s.eta_bottom[w]) / std::log(s.top / s.bottom);
            }
            shells_.push_back(s);
        }
    }
}

std::vector<double> LayeredEarth::tops() const
{
    std::vector<double> radii;
    for (const Shell &s : shells_)
        radii.push_back(s.top);
    return radii;
}

std::vector<double> LayeredEarth::etas() const
{
    std::vector<double> all;
    for (const Shell &s : shells_)
        for (int w = 0; w < 2; w++)
            for (double e : {s.eta_top[w], s.eta_bottom[w]})
                if (e > 0)
                    all.push_back(e);
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end()), all.end());
    return all;
}

size_t LayeredEarth::shell_at(double r, bool below) const
{
    // Shells run from the surface down: the first whose bottom lies below r
    // (or at r, when above is asked for).
    size_t lo = 0, hi = shells_.size();
    while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        const bool past = below ? shells_[mid].bottom < r : shells_[mid].bottom <= r;
        if (past)
            hi = mid;
        else
            lo = mid + 1;
    }
    return std::min(lo, shells_.size() - 1);
}

double LayeredEarth::eta(Wave w, double r, bool below) const
{
    const Shell &s = shells_[shell_at(r, below)];
    const int i = static_cast<int>(w);
    if (s.eta_top[i] == 0)
        return 0;
    if (r >= s.top)
        return s.eta_top[i];
    if (r <= s.bottom)
        return s.eta_bottom[i];
    return s.eta_top[i] * std::pow(r / s.top, s.k[i]);
}

double LayeredEarth::least_eta(Wave w, double top, double bottom) const
{
    const int i = static_cast<int>(w);
    double least = std::min(eta(w, top, true), eta(w, bottom, false));
    for (size_t j = shell_at(top, true); j < shells_.size() && shells_[j].top > bottom; j++) {
        if (shells_[j].bottom >= bottom)
            least = std::min(least, shells_[j].eta_bottom[i]);
        if (shells_[j].top <= top)
            least = std::min(least, shells_[j].eta_top[i]);
    }
    return least;
}

Leg LayeredEarth::down(Wave w, double p, double top, double bottom) const
{
    const int i = static_cast<int>(w);
    Leg leg;
    for (size_t j = shell_at(top, true); j < shells_.size() && shells_[j].top > bottom; j++) {
        const Shell &s = shells_[j];
        if (s.eta_top[i] == 0) {  // S cannot enter a fluid
            leg.blocked = true;
            return leg;
        }
        // The piece of the shell inside the leg, its ends' eta by the
        // shell's power law.
        const double a = std::min(top, s.top), b = std::max(bottom, s.bottom);
        const double eta_a = a == s.top ? s.eta_top[i] : s.eta_top[i] * std::pow(a / s.top, s.k[i]);
        const double eta_b = b == s.bottom ? s.eta_bottom[i] : s.eta_top[i] * std::pow(b / s.top, s.k[i]);
        if (p > eta_a) {
            // Turned at the boundary above; or, at the leg's own top, never
            // entered (reflected there instead).
            leg.turned = a != top;
            leg.blocked = a == top;
            return leg;
        }
        if (p > eta_b && s.k[i] > 0) {  // turns inside, where eta = p (a graze of the bottom does not)
            add_piece(p, s.k[i], eta_a, p, a, a * std::pow(p / eta_a, 1 / s.k[i]), leg);
            leg.turned = true;
            return leg;
        }
        add_piece(p, s.k[i], eta_a, eta_b, a, b, leg);
    }
    return leg;
}

}  // namespace travel
