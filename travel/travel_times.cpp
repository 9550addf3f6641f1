// The grid of rays a model shares, a source's branches over it, and the
// root on a branch that gives an arrival.
#include "travel_times.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <mutex>
#include <thread>

namespace travel {

namespace {

constexpr double pi = 3.141592653589793;
constexpr double degree = pi / 180;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
// The upper shells' sums reach this deep (km); a deeper source sums its
// shells itself.
constexpr double upper_depth = 800.0;
// What a leg's tau may lie off its interpolant between two grid points (s);
// an arrival sums a few legs.
constexpr double tau_tolerance = 2e-6;

// f(i) for every i below n, on as many threads: each i is independent.
template <class F>
void in_parallel(size_t n, int threads, F &&f)
{
    constexpr size_t chunk = 32;
    if (threads <= 1 || n < 2 * chunk) {
        for (size_t i = 0; i < n; i++)
            f(i);
        return;
    }
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t from; (from = next.fetch_add(chunk)) < n;)
            for (size_t i = from; i < std::min(n, from + chunk); i++)
                f(i);
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; t++)
        helpers.emplace_back(work);
    work();
    for (std::thread &h : helpers)
        h.join();
}

// Between two rays a (lower p) and c: below c, X(p) grows as the square
// root of c.p - p (a ray turning just under a boundary whose eta is c.p),
// then smoothly, so with v = sqrt((c.p - p) / h) the distance is
// X_c + b v + a v^2, whose integral is tau; both ends' tau and X fix a and
// b.  Linear in the ends' values, so a sum of legs interpolates as the sum
// of their interpolants.
struct Interpolant {
    double h, qa, qb;
    Interpolant(double width, double a, double b) : h(width), qa(a), qb(b) {}
    Interpolant(double pa, double taua, double xa, double pc, double tauc, double xc)
        : h(pc - pa)
    {
        const double rest = (taua - tauc) / h - xc, rise = xa - xc;
        qb = 6 * rest - 3 * rise;
        qa = rise - qb;
    }
    double tau(double tauc, double xc, double v) const
    {
        return tauc + h * v * v * (xc + v * (2 * qb / 3 + v * qa / 2));
    }
    // The v in [0, 1] where the distance is the target, which lies between
    // the ends' distances.
    double root(double xc, double target) const
    {
        const double qc = xc - target;
        double v;
        if (std::fabs(qa) <= 1e-12 * std::fabs(qb)) {
            v = -qc / qb;
        } else {
            const double q = -0.5 * (qb + std::copysign(std::sqrt(std::max(0.0, qb * qb - 4 * qa * qc)), qb));
            const double v1 = q / qa, v2 = q != 0 ? qc / q : v1;
            v = std::fabs(v1 - 0.5) <= std::fabs(v2 - 0.5) ? v1 : v2;
        }
        return std::min(1.0, std::max(0.0, v));
    }
};

}  // namespace

TimesModel::TimesModel(const EarthModel &model, double thickest, int threads)
    : model_(model), earth_(model, thickest), threads_(threads)
{
    static std::atomic<uint64_t> made{0};
    serial_ = ++made;
    const double radii[5] = {earth_.radius(), earth_.moho_radius(), earth_.core_radius(),
                             earth_.inner_core_radius(), 0.0};
    std::copy(radii, radii + 5, boundary_);
    for (int w = 0; w < 2; w++)
        for (int r = 0; r < 4; r++)
            fluid_[w][r] = earth_.eta(Wave(w), boundary_[r], true) == 0;
    for (double top : earth_.tops()) {
        tops_.push_back(top);
        if (top < earth_.radius() - upper_depth)
            break;
    }
}

const std::vector<double> &TimesModel::knots(unsigned used) const
{
    std::call_once(knots_made_[used], [&] {
        std::vector<double> &p = knots_[used];
        for (int v = 0; v < 2; v++)
            for (int r = 0; r < 4; r++)
                if (used & (1u << (4 * v + r))) {
                    const std::vector<double> &g = grid(Wave(v), r).p;
                    p.insert(p.end(), g.begin(), g.end());
                }
        std::sort(p.begin(), p.end());
        p.erase(std::unique(p.begin(), p.end()), p.end());
    });
    return knots_[used];
}

const TimesModel::Grid &TimesModel::grid(Wave w, int region) const
{
    const int v = static_cast<int>(w);
    std::call_once(grid_made_[v][region], [&] {
        const double top = boundary_[region], bottom = boundary_[region + 1];
        auto leg = [&](double p) { return earth_.down(w, p, top, bottom); };
        // The etas of the region's shells, and an even grid up to the
        // largest.
        std::vector<double> start = earth_.etas(w, top, bottom);
        const double widest = start.empty() ? 0 : *std::max_element(start.begin(), start.end());
        for (int i = 0; i <= 100; i++)
            start.push_back(widest * i / 100);
        std::sort(start.begin(), start.end());
        start.erase(std::unique(start.begin(), start.end()), start.end());
        std::map<double, Leg> made;
        {
            std::vector<Leg> legs(start.size());
            in_parallel(start.size(), threads_, [&](size_t i) { legs[i] = leg(start[i]); });
            for (size_t i = 0; i < start.size(); i++)
                made.emplace(start[i], legs[i]);
        }
        // Halve each interval (in v, the interpolant's own variable) while
        // the leg strays from its interpolant there: a reflected ray's
        // distance varies on the scale of the eta spanned by the shells it
        // grazes, which may be far finer than the spacing of the etas.
        std::vector<double> check(start.begin(), start.end() - (start.empty() ? 0 : 1));
        for (int round = 0; round < 30 && !check.empty(); round++) {
            std::vector<double> mids(check.size());
            std::vector<Leg> at_mids(check.size());
            for (size_t m = 0; m < check.size(); m++) {
                const double pc = std::next(made.find(check[m]))->first;
                mids[m] = pc - (pc - check[m]) / 2;
            }
            in_parallel(check.size(), threads_, [&](size_t m) { at_mids[m] = leg(mids[m]); });
            std::vector<double> next;
            for (size_t m = 0; m < check.size(); m++) {
                const double pa = check[m], mid = mids[m];
                const auto a = made.find(pa), c = std::next(a);
                const Leg &la = a->second, &lc = c->second, &lm = at_mids[m];
                if (mid <= pa || mid >= c->first || la.blocked || la.turned != lc.turned ||
                    la.blocked != lc.blocked || lm.turned != la.turned || lm.blocked)
                    continue;
                const Interpolant between(pa, la.tau, la.distance, c->first, lc.tau, lc.distance);
                if (std::fabs(between.tau(lc.tau, lc.distance, std::sqrt(0.5)) - lm.tau) > tau_tolerance) {
                    made.emplace(mid, lm);
                    next.push_back(pa);
                    next.push_back(mid);
                }
            }
            check = std::move(next);
        }
        Grid &g = grids_[v][region];
        for (const auto &[p, l] : made) {
            g.p.push_back(p);
            g.legs.push_back(l);
        }
    });
    return grids_[v][region];
}

const TimesModel::Upper &TimesModel::upper(Wave w) const
{
    const int v = static_cast<int>(w);
    std::call_once(upper_made_[v], [&] {
        const Grid &crust = grid(w, 0), &mantle = grid(w, 1);
        Upper &u = uppers_[v];
        std::merge(crust.p.begin(), crust.p.end(), mantle.p.begin(), mantle.p.end(), std::back_inserter(u.p));
        u.p.erase(std::unique(u.p.begin(), u.p.end()), u.p.end());
        const size_t n = u.p.size(), m = tops_.size();
        u.sums.resize(m * n);
        in_parallel(n, threads_, [&](size_t i) {
            std::vector<double> tau(m), distance(m);
            earth_.sums_down(w, u.p[i], m, tau.data(), distance.data());
            for (size_t j = 0; j < m; j++)
                u.sums[j * n + i] = {tau[j], distance[j]};
        });
    });
    return uppers_[v];
}

int TimesModel::boundary_of(double radius) const
{
    for (int b = 0; b < 5; b++)
        if (boundary_[b] == radius)
            return b;
    return -1;
}

namespace {

// From a cursor at or before p on an ascending grid, the last point at or
// before p (the grid's first when p lies before it).
size_t walk_to(const std::vector<double> &grid, double p, size_t cursor)
{
    while (cursor + 1 < grid.size() && grid[cursor + 1] <= p)
        cursor++;
    return cursor;
}

// tau and X at p between two grid points whose legs run alike.
Leg interpolated(double pa, const Leg &a, double pc, const Leg &c, double p)
{
    const Interpolant between(pa, a.tau, a.distance, pc, c.tau, c.distance);
    const double v = std::sqrt((pc - p) / between.h);
    Leg leg = c;
    leg.tau = between.tau(c.tau, c.distance, v);
    leg.distance = c.distance + v * (between.qb + v * between.qa);
    return leg;
}

}  // namespace

Leg TimesModel::leg_at(Wave w, int region, double p, size_t &cursor) const
{
    Leg leg;
    if (boundary_[region] == boundary_[region + 1])
        return leg;  // a region the model does not have (no Moho): nothing to cross
    const Grid &g = grid(w, region);
    if (g.p.empty() || p > g.p.back()) {  // beyond every eta of the region: it cannot enter
        leg.blocked = true;
        return leg;
    }
    cursor = walk_to(g.p, p, cursor);
    const size_t i = cursor;
    if (g.p[i] == p)
        return g.legs[i];
    const Leg &a = g.legs[i], &c = g.legs[i + 1];
    if (p < g.p[i] || a.blocked || c.blocked || a.turned != c.turned)
        return earth_.down(w, p, boundary_[region], boundary_[region + 1]);
    return interpolated(g.p[i], a, g.p[i + 1], c, p);
}

Leg TimesModel::between(Wave w, double p, int top, int bottom, size_t cursors[4]) const
{
    const int v = static_cast<int>(w);
    Leg sum;
    for (int r = top; r < bottom; r++) {
        const Leg g = leg_at(w, r, p, cursors[r]);
        if (g.blocked) {
            // A region the ray cannot enter: a fluid stops it; otherwise it
            // is turned back at the boundary, as one leg would be.
            if (r == top || fluid_[v][r])
                sum.blocked = true;
            else
                sum.turned = true;
            return sum;
        }
        sum.tau += g.tau;
        sum.distance += g.distance;
        if (g.turned) {
            sum.turned = true;
            return sum;
        }
    }
    return sum;
}

TimesModel::Place TimesModel::place(double source_radius) const
{
    Place source{source_radius, 0, {}};
    // The last upper shell's top at or above the source.
    const auto past = std::upper_bound(tops_.begin(), tops_.end(), source_radius, std::greater<double>());
    const size_t j = static_cast<size_t>(past - tops_.begin());
    if (j == 0 || (j == tops_.size() && source_radius < tops_.back()))
        return source;
    source.top = j;
    for (int w = 0; w < 2; w++)
        source.piece[w] = earth_.first_piece(Wave(w), tops_[j - 1], source_radius);
    return source;
}

Leg TimesModel::above(Wave w, double p, const Place &source, size_t &cursor) const
{
    const double source_radius = source.radius;
    const size_t j = source.top;
    if (j == 0)
        return earth_.down(w, p, earth_.radius(), source_radius);
    const Upper &u = upper(w);
    cursor = walk_to(u.p, p, cursor);
    const size_t i = cursor, n = u.p.size();
    const Sums &a = u.sums[(j - 1) * n + i];
    Leg leg;
    if (u.p[i] == p) {
        leg.tau = a.tau, leg.distance = a.distance;
    } else if (i + 1 < n && u.p[i] < p && !std::isnan(a.tau) && !std::isnan(u.sums[(j - 1) * n + i + 1].tau)) {
        const Sums &c = u.sums[(j - 1) * n + i + 1];
        leg = interpolated(u.p[i], Leg{a.tau, a.distance}, u.p[i + 1], Leg{c.tau, c.distance}, p);
    } else {
        return earth_.down(w, p, earth_.radius(), source_radius);
    }
    if (std::isnan(leg.tau)) {
        leg.turned = true;
        return leg;
    }
    const Leg piece = earth_.across(w, p, source.piece[static_cast<int>(w)]);
    leg.tau += piece.tau;
    leg.distance += piece.distance;
    leg.turned = piece.turned, leg.blocked = piece.blocked;
    return leg;
}

SourceTimes::SourceTimes(const TimesModel &model, double depth_km, const std::vector<std::string> &phases)
    : model_(model), branches_(phases.size())
{
    // Catalogues give depths against sea level, and a shallow event's may
    // be above it: up to 10 km above, the source is at the model's surface.
    if (depth_km < 0 && depth_km >= -10)
        depth_km = 0;
    source_radius_ = model.earth().radius() - depth_km;
    place_ = model.place(source_radius_);
    for (size_t k = 0; k < phases.size(); k++) {
        Branches &b = branches_[k];
        if (!(depth_km >= 0 && depth_km <= model.deepest())) {
            b.wrong = "the source's depth must be from -10 (taken as 0) to " + std::to_string(model.deepest()) +
                      " km";
            continue;
        }
        b.wrong = phase_of(phases[k], model.earth(), source_radius_, model.earth().moho_radius(), b.phase);
        if (b.wrong.empty())
            sample(b);
    }
}

SourceTimes::Knot SourceTimes::direct(const Phase &phase, double p) const
{
    Knot k{p, 0, 0, true};
    for (const Pass &pass : phase.passes) {
        const Leg leg = model_.earth().down(pass.wave, p, pass.top, pass.bottom);
        if (leg.blocked || leg.turned != pass.turns)
            return {p, 0, 0, false};
        k.tau += leg.tau;
        k.distance += leg.distance;
    }
    return k;
}

SourceTimes::Knot SourceTimes::knot(const Phase &phase, double p, Cursors &cursors) const
{
    const TimesModel &m = model_;
    Knot k{p, 0, 0, true};
    for (const Pass &pass : phase.passes) {
        const int v = static_cast<int>(pass.wave);
        const int top = m.boundary_of(pass.top), bottom = m.boundary_of(pass.bottom);
        Leg leg;
        if (top >= 0 && bottom >= 0) {
            leg = m.between(pass.wave, p, top, bottom, cursors.region[v]);
        } else if (pass.top == source_radius_ && bottom >= 0) {
            // Down from the source: from the surface, less the shells above
            // the source (which a ray of this p crosses without turning).
            const Leg upper = m.above(pass.wave, p, place_, cursors.upper[v]);
            if (upper.turned || upper.blocked) {
                leg = m.earth().down(pass.wave, p, pass.top, pass.bottom);
            } else {
                leg = m.between(pass.wave, p, 0, bottom, cursors.region[v]);
                leg.tau -= upper.tau;
                leg.distance -= upper.distance;
            }
        } else if (pass.bottom == source_radius_ && top == 0) {
            leg = m.above(pass.wave, p, place_, cursors.upper[v]);
        } else {
            leg = m.earth().down(pass.wave, p, pass.top, pass.bottom);
        }
        if (leg.blocked || leg.turned != pass.turns)
            return {p, 0, 0, false};
        k.tau += leg.tau;
        k.distance += leg.distance;
    }
    return k;
}

void SourceTimes::sample(Branches &b) const
{
    const TimesModel &m = model_;
    const LayeredEarth &earth = m.earth();
    const Wave first = b.phase.passes.front().wave;
    if (b.phase.along != Along::nothing) {
        const double radius = b.phase.along == Along::core ? earth.core_radius() : earth.moho_radius();
        b.graze = direct(b.phase, earth.eta(first, radius, b.phase.along == Along::moho));
        return;
    }
    // The knots: the grid points of every region a pass runs through, and
    // the upper sums' for the wave that leaves the source; p up to the
    // least eta above the source, where the ray leaves horizontally (a
    // branch's end that no shell gives).
    const double most = earth.least_eta(first, earth.radius(), source_radius_);
    unsigned used = 0;
    for (const Pass &pass : b.phase.passes) {
        const int v = static_cast<int>(pass.wave);
        for (int r = 0; r < 4; r++)
            if (m.boundary_[r] <= pass.top && m.boundary_[r + 1] >= pass.bottom &&
                m.boundary_[r] > m.boundary_[r + 1])
                used |= 1u << (4 * v + r);
        if (pass.top == source_radius_ || pass.bottom == source_radius_)
            used |= 3u << (4 * v);
    }
    // Those below the bound are the union of each grid's below it.
    const std::vector<double> &p = m.knots(used);
    Cursors cursors;
    b.knots.reserve(static_cast<size_t>(std::lower_bound(p.begin(), p.end(), most) - p.begin()) + 1);
    for (auto x = p.begin(); x != p.end() && *x < most; ++x)
        b.knots.push_back(knot(b.phase, *x, cursors));
    b.knots.push_back(direct(b.phase, most));
    index(b);
}

void SourceTimes::index(Branches &b)
{
    std::vector<uint32_t> usable;
    for (size_t i = 0; i + 1 < b.knots.size(); i++)
        if (b.knots[i].exists && b.knots[i + 1].exists) {
            Knot &a = b.knots[i];
            const Knot &c = b.knots[i + 1];
            const Interpolant between(a.p, a.tau, a.distance, c.p, c.tau, c.distance);
            a.qa = between.qa, a.qb = between.qb;
            usable.push_back(static_cast<uint32_t>(i));
            b.farthest = std::max({b.farthest, b.knots[i].distance, b.knots[i + 1].distance});
        }
    if (usable.empty())
        return;
    const size_t bins = std::min<size_t>(8192, std::max<size_t>(64, 2 * b.knots.size()));
    b.bin_width = b.farthest > 0 ? b.farthest / static_cast<double>(bins) : 1;
    auto bin_of = [&](double x) { return std::min(bins - 1, static_cast<size_t>(x / b.bin_width)); };
    // Counted, then filled: each interval in every bin its distances span.
    b.starts.assign(bins + 1, 0);
    for (uint32_t i : usable) {
        const double x0 = b.knots[i].distance, x1 = b.knots[i + 1].distance;
        for (size_t k = bin_of(std::min(x0, x1)); k <= bin_of(std::max(x0, x1)); k++)
            b.starts[k + 1]++;
    }
    for (size_t k = 0; k < bins; k++)
        b.starts[k + 1] += b.starts[k];
    b.intervals.resize(b.starts[bins]);
    std::vector<uint32_t> filled(b.starts.begin(), b.starts.end() - 1);
    for (uint32_t i : usable) {
        const double x0 = b.knots[i].distance, x1 = b.knots[i + 1].distance;
        for (size_t k = bin_of(std::min(x0, x1)); k <= bin_of(std::max(x0, x1)); k++)
            b.intervals[filled[k]++] = i;
    }
}

template <class Found>
void SourceTimes::roots(const Branches &b, double target, Found &&found) const
{
    if (b.intervals.empty())
        return;
    const size_t bin = std::min(b.starts.size() - 2, static_cast<size_t>(target / b.bin_width));
    for (uint32_t k = b.starts[bin]; k < b.starts[bin + 1]; k++) {
        const size_t lo = b.intervals[k], hi = lo + 1;
        const double x0 = b.knots[lo].distance, x1 = b.knots[hi].distance;
        if (!(std::min(x0, x1) <= target && target <= std::max(x0, x1)))
            continue;
        const Knot &a = b.knots[lo], &c = b.knots[hi];
        const Interpolant between(c.p - a.p, a.qa, a.qb);
        const double v = between.root(c.distance, target);
        const double p = c.p - between.h * v * v;
        const double tau = between.tau(c.tau, c.distance, v);
        found(p, tau + p * target);
    }
}

void SourceTimes::first(size_t k, double distance, double &time, double &ray_parameter) const
{
    time = ray_parameter = nan;
    const Branches &b = branches_[k];
    if (!b.wrong.empty() || !(distance >= 0 && distance <= 180))
        return;
    const double delta = distance * degree;
    auto keep = [&](double p, double t) {
        if (!(t >= time))
            time = t, ray_parameter = p * degree;
    };
    if (b.phase.along != Along::nothing) {
        if (b.graze.exists && delta >= b.graze.distance)
            keep(b.graze.p, b.graze.tau + b.graze.p * delta);
        return;
    }
    for (double target : {delta, 2 * pi - delta, 2 * pi + delta})
        if (target <= b.farthest)
            roots(b, target, keep);
}

void SourceTimes::earliest(double distance, double &time, double &ray_parameter) const
{
    time = ray_parameter = nan;
    for (size_t k = 0; k < branches_.size(); k++) {
        double t, p;
        first(k, distance, t, p);
        if (t < time || std::isnan(time))
            time = t, ray_parameter = p;
    }
}

Arrival SourceTimes::arrival(const Phase &phase, double p, double time) const
{
    return arrival_of(model_.earth(), phase, source_radius_, p, time);
}

std::vector<Arrival> SourceTimes::arrivals(size_t k, double distance) const
{
    std::vector<Arrival> found;
    const Branches &b = branches_[k];
    if (!b.wrong.empty() || !(distance >= 0 && distance <= 180))
        return found;
    const double delta = distance * degree;
    if (b.phase.along != Along::nothing) {
        if (b.graze.exists && delta >= b.graze.distance)
            found.push_back(arrival(b.phase, b.graze.p, b.graze.tau + b.graze.p * delta));
        return found;
    }
    auto keep = [&](double p, double t) {
        // A knot at the distance ends two intervals: its root once.
        for (const Arrival &a : found)
            if (a.ray_parameter == p * degree)
                return;
        found.push_back(arrival(b.phase, p, t));
    };
    for (double target : {delta, 2 * pi - delta, 2 * pi + delta}) {
        if (target <= b.farthest)
            roots(b, target, keep);
        if (delta == 0 || delta == pi)
            break;  // the other targets are the same distance
    }
    std::sort(found.begin(), found.end(), [](const Arrival &a, const Arrival &c) { return a.time < c.time; });
    return found;
}

std::string read_phase_list(const std::string &text, std::vector<std::vector<std::string>> &items)
{
    // What arrives first of each kind: up or down from the source, along
    // the Moho or in the crust, through or past the core.
    static const std::vector<std::string> first_p = {"p", "P", "Pn", "Pg", "Pdiff", "PKP", "PKiKP", "PKIKP"};
    static const std::vector<std::string> first_s = {"s", "S", "Sn", "Sg", "Sdiff", "SKS", "SKiKS", "SKIKS"};
    std::vector<std::vector<std::string>> read(1);
    std::string name;
    for (size_t i = 0; i <= text.size(); i++) {
        const char c = i < text.size() ? text[i] : ',';
        if (c != ',' && c != '+') {
            name += c;
            continue;
        }
        if (name.empty())
            return "\"" + text + "\": an empty phase name";
        const std::vector<std::string> &set = name == "firstP" ? first_p : name == "firstS" ? first_s
                                                                                            : std::vector<std::string>{name};
        read.back().insert(read.back().end(), set.begin(), set.end());
        name.clear();
        if (c == ',' && i < text.size())
            read.emplace_back();
    }
    items = std::move(read);
    return "";
}

std::string why_no_phase(const TimesModel &model, const std::string &name)
{
    const LayeredEarth &earth = model.earth();
    Phase phase;
    return phase_of(name, earth, earth.radius(), earth.moho_radius(), phase);
}

std::shared_ptr<const TimesModel> shared_model(const std::string &name_or_path, std::string &wrong, int threads)
{
    static std::mutex guard;
    static std::map<std::string, std::shared_ptr<const TimesModel>> made;
    const std::lock_guard<std::mutex> hold(guard);
    const auto found = made.find(name_or_path);
    if (found != made.end())
        return found->second;
    EarthModel model;
    wrong = load_model(name_or_path, model);
    if (!wrong.empty())
        return nullptr;
    auto ready = std::make_shared<const TimesModel>(model, 5.0, threads);
    made.emplace(name_or_path, ready);
    return ready;
}

const SourceTimes &kept_source(const TimesModel &model, double depth, const std::vector<std::string> &phases)
{
    struct Kept {
        uint64_t model = 0;  // no model's serial
        double depth = 0;
        std::vector<std::string> phases;
        std::unique_ptr<SourceTimes> source;
    };
    constexpr size_t most = 8;
    thread_local Kept kept[most];
    thread_local size_t next = 0, last = 0;
    // The cheap comparisons first, and the source found last before the
    // others: an earthquake's stations ask for one source in a row.
    auto holds = [&](const Kept &k) {
        return k.model == model.serial() && std::memcmp(&k.depth, &depth, sizeof depth) == 0 && k.phases == phases;
    };
    if (holds(kept[last]))
        return *kept[last].source;
    for (size_t i = 0; i < most; i++)
        if (holds(kept[i])) {
            last = i;
            return *kept[i].source;
        }
    last = next;
    next = (next + 1) % most;
    Kept &k = kept[last];
    k.source = std::make_unique<SourceTimes>(model, depth, phases);
    k.model = model.serial(), k.depth = depth, k.phases = phases;
    return *k.source;
}

namespace {

// Each distinct depth's source, the elements at it in turn: f(source, i).
template <class Each>
std::string by_depth(const TimesModel &model, const std::vector<std::string> &phases, size_t n,
                     const double *depth, Each &&each)
{
    for (const std::string &name : phases) {
        const std::string wrong = why_no_phase(model, name);
        if (!wrong.empty())
            return wrong;
    }
    std::vector<size_t> order(n);
    for (size_t i = 0; i < n; i++)
        order[i] = i;
    // NaN depths last, together; equal depths side by side.
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return depth[a] < depth[b] || (!std::isnan(depth[a]) && std::isnan(depth[b]));
    });
    for (size_t start = 0; start < n;) {
        const double z = depth[order[start]];
        size_t end = start + 1;
        while (end < n && (depth[order[end]] == z || (std::isnan(z) && std::isnan(depth[order[end]]))))
            end++;
        const SourceTimes &source = kept_source(model, z, phases);
        for (size_t j = start; j < end; j++)
            each(source, order[j]);
        start = end;
    }
    return "";
}

}  // namespace

std::string first_arrivals(const TimesModel &model, const std::vector<std::string> &phases, size_t n,
                           const double *distance, const double *depth, double *time, double *ray_parameter)
{
    return by_depth(model, phases, n, depth, [&](const SourceTimes &source, size_t i) {
        source.earliest(distance[i], time[i], ray_parameter[i]);
    });
}

std::string every_arrival(const TimesModel &model, const std::vector<std::string> &phases, size_t n,
                          const double *distance, const double *depth, std::vector<ElementArrival> &found)
{
    const size_t before = found.size();
    const std::string wrong = by_depth(model, phases, n, depth, [&](const SourceTimes &source, size_t i) {
        for (size_t k = 0; k < phases.size(); k++)
            for (Arrival &a : source.arrivals(k, distance[i]))
                found.push_back({i, std::move(a)});
    });
    // In the elements' order, each element's arrivals earliest first.
    std::stable_sort(found.begin() + static_cast<std::ptrdiff_t>(before), found.end(),
                     [](const ElementArrival &a, const ElementArrival &b) {
                         return a.element < b.element || (a.element == b.element && a.arrival.time < b.arrival.time);
                     });
    return wrong;
}

}  // namespace travel
