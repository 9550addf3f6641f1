// The thin shells of a model and the closed-form integrals through them.
#include "layered_earth.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace travel {

namespace {

// sqrt(eta^2 - p^2), without the cancellation of squares near turning.
double root_of(double eta, double p) { return std::sqrt(std::max(0.0, (eta - p) * (eta + p))); }

// sqrt(eta^2 - p^2) at a shell's boundary for a ray of parameter p.  A
// shell's bottom is the next one's top: kept, so that each boundary costs
// one square root.
struct Turning {
    double eta = -1, root = 0;
    void at(double e, double p)
    {
        if (e != eta)
            eta = e, root = root_of(e, p);
    }
};

// atan2(y, x) for x > 0: by its series where |y / x| <= 1/8, which a thin
// shell's angle nearly always is, with as many terms as leave the first
// one left out below 2^-54 of the sum; else by the library.
double arc_tangent(double y, double x)
{
    if (!(std::fabs(y) <= 0.125 * x))
        return std::atan2(y, x);
    const double t = y / x, s = t * t;
    constexpr double c3 = 1.0 / 3, c5 = 1.0 / 5, c7 = 1.0 / 7, c9 = 1.0 / 9, c11 = 1.0 / 11, c13 = 1.0 / 13,
                     c15 = 1.0 / 15, c17 = 1.0 / 17;
    if (s <= 0x1p-20)  // |t| <= 2^-10: t^7 / 7 is below 2^-62 of t
        return t * (1 - s * (c3 - s * c5));
    if (s <= 0x1p-10)  // |t| <= 2^-5: t^13 / 13 is below 2^-63 of t
        return t * (1 - s * (c3 - s * (c5 - s * (c7 - s * (c9 - s * c11)))));
    // |t| <= 2^-3: t^19 / 19 is below 2^-58 of t
    return t * (1 - s * (c3 - s * (c5 - s * (c7 - s * (c9 - s * (c11 - s * (c13 - s * (c15 - s * c17))))))));
}

// The tau and distance of a ray of parameter p through a piece of a shell
// where eta = c r^k runs from eta_a (top) to eta_b (bottom); eta_b = p when
// it turns there.  With d eta / eta = k dr / r, both integrals are (1/k)
// times a difference of antiderivatives in eta: of arccos(p / eta) for the
// distance, of sqrt(eta^2 - p^2) - p arccos(p / eta) for tau.  The
// differences are taken whole, not as differences of values: the angle
// between the two arccos from its sine and cosine, and the difference of
// the roots as (eta_a^2 - eta_b^2) over their sum, so that a thin shell
// loses nothing to cancellation.
void add_piece(double p, double k, double per_k, double eta_a, double eta_b, double top, double bottom,
               Turning &above, Turning &below, Leg &leg)
{
    if (std::fabs(k) < 1e-12) {  // eta constant: dr / r integrated directly
        const double root = root_of(eta_a, p), log_ratio = std::log(top / bottom);
        leg.distance += p / root * log_ratio;
        leg.tau += root * log_ratio;
        return;
    }
    above.at(eta_a, p);
    below.at(eta_b, p);
    const double ra = above.root, rb = below.root;
    const double rise = ra + rb > 0 ? (eta_a - eta_b) * (eta_a + eta_b) / (ra + rb) : 0;
    const double angle = arc_tangent(p * rise, p * p + ra * rb);
    leg.distance += angle * per_k;
    leg.tau += (rise - p * angle) * per_k;
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
                s.per_k[w] = s.k[w] != 0 ? 1 / s.k[w] : 0;
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

std::vector<double> LayeredEarth::etas(Wave w, double top, double bottom) const
{
    const int i = static_cast<int>(w);
    std::vector<double> all;
    for (const Shell &s : shells_)
        if (s.top <= top && s.bottom >= bottom)
            for (double e : {s.eta_top[i], s.eta_bottom[i]})
                if (e > 0)
                    all.push_back(e);
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

LayeredEarth::Piece LayeredEarth::piece_of(size_t j, int i, double top, double bottom) const
{
    // The piece of the shell inside the leg, its ends' eta by the shell's
    // power law.
    const Shell &s = shells_[j];
    Piece c;
    c.shell = j;
    c.top = std::min(top, s.top), c.bottom = std::max(bottom, s.bottom);
    c.eta_top = c.top == s.top ? s.eta_top[i] : s.eta_top[i] * std::pow(c.top / s.top, s.k[i]);
    c.eta_bottom = c.bottom == s.bottom ? s.eta_bottom[i] : s.eta_top[i] * std::pow(c.bottom / s.top, s.k[i]);
    return c;
}

namespace {

// A piece of a leg whose top is top added to it: false when the leg goes
// on below, true when it ends in the piece (turned or blocked).
template <class Shell>
bool cross(const Shell &s, int i, double p, double top, const LayeredEarth::Piece &c, Turning ends[2], Leg &leg)
{
    if (s.eta_top[i] == 0) {  // S cannot enter a fluid
        leg.blocked = true;
        return true;
    }
    if (p > c.eta_top) {
        // Turned at the boundary above; or, at the leg's own top, never
        // entered (reflected there instead).
        leg.turned = c.top != top;
        leg.blocked = c.top == top;
        return true;
    }
    if (p > c.eta_bottom && s.k[i] > 0) {  // turns inside, where eta = p (a graze of the bottom does not)
        add_piece(p, s.k[i], s.per_k[i], c.eta_top, p, c.top, c.top * std::pow(p / c.eta_top, 1 / s.k[i]), ends[0],
                  ends[1], leg);
        leg.turned = true;
        return true;
    }
    add_piece(p, s.k[i], s.per_k[i], c.eta_top, c.eta_bottom, c.top, c.bottom, ends[0], ends[1], leg);
    std::swap(ends[0], ends[1]);  // the piece's top and bottom: the bottom is the next top
    return false;
}

}  // namespace

Leg LayeredEarth::down(Wave w, double p, double top, double bottom) const
{
    const int i = static_cast<int>(w);
    Leg leg;
    Turning ends[2];
    for (size_t j = shell_at(top, true); j < shells_.size() && shells_[j].top > bottom; j++)
        if (cross(shells_[j], i, p, top, piece_of(j, i, top, bottom), ends, leg))
            break;
    return leg;
}

LayeredEarth::Piece LayeredEarth::first_piece(Wave w, double top, double bottom) const
{
    const size_t j = shell_at(top, true);
    return j < shells_.size() && shells_[j].top > bottom ? piece_of(j, static_cast<int>(w), top, bottom) : Piece{};
}

Leg LayeredEarth::across(Wave w, double p, const Piece &c) const
{
    Leg leg;
    if (c.shell == SIZE_MAX)
        return leg;
    Turning ends[2];
    cross(shells_[c.shell], static_cast<int>(w), p, c.top, c, ends, leg);
    return leg;
}

void LayeredEarth::sums_down(Wave w, double p, size_t count, double tau[], double distance[]) const
{
    const int i = static_cast<int>(w);
    Leg leg;
    Turning ends[2];
    size_t j = 0;
    for (; j < count && j < shells_.size(); j++) {
        const Shell &s = shells_[j];
        tau[j] = leg.tau, distance[j] = leg.distance;
        // Whole shells that the ray crosses without turning, as down()
        // adds them.
        if (s.eta_top[i] == 0 || p > s.eta_top[i] || (p > s.eta_bottom[i] && s.k[i] > 0))
            break;
        add_piece(p, s.k[i], s.per_k[i], s.eta_top[i], s.eta_bottom[i], s.top, s.bottom, ends[0], ends[1], leg);
        std::swap(ends[0], ends[1]);
    }
    for (j++; j < count; j++)
        tau[j] = distance[j] = std::numeric_limits<double>::quiet_NaN();
}

double LayeredEarth::turning_radius(Wave w, double p, double top, double bottom) const
{
    const int i = static_cast<int>(w);
    for (size_t j = shell_at(top, true); j < shells_.size() && shells_[j].top > bottom; j++) {
        const Shell &s = shells_[j];
        const double a = std::min(top, s.top);
        const double eta_a = a == s.top ? s.eta_top[i] : s.eta_top[i] * std::pow(a / s.top, s.k[i]);
        if (eta_a == 0 || p > eta_a)
            return a;  // turned back at the boundary above, as down() has it
        if (p > s.eta_bottom[i] && s.k[i] > 0 && s.bottom >= bottom)
            return a * std::pow(p / eta_a, 1 / s.k[i]);
    }
    return bottom;
}

}  // namespace travel
