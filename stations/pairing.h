// The pairing engine: each earthquake against a table of stations, the
// pairs a selection keeps, each computed by the caller's own function, so
// that the pairs and their numbers are those of computing every pair and
// keeping the ones the selection asks for, at the cost of the pairs near
// the earthquake.  The filter's -S and the Python package's pairing
// functions both call it.
//
// A selection is made of:
//   - the windows a pair must lie in: its distance (degrees on the sphere,
//     km on the ellipsoid) and sectors of its azimuth at the earthquake
//     and back-azimuth at the station, on the values as computed;
//   - the stations' epochs: a station takes part only when it was running
//     at the earthquake's time;
//   - either every pair left, in the table's order, or the earthquake's
//     nearest N, nearest first, a tie going to the station earlier in the
//     table.
// To add a selection: a field in Selection, its test in qualifies() (a
// test of a pair) or a branch in pair() (a choice among the pairs), and
// a test against computing every pair.
#ifndef OSTREM_STATION_PAIRING_H
#define OSTREM_STATION_PAIRING_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <limits>
#include <memory>
#include <type_traits>
#include <vector>

#include "ellipsoid_inverse.h"
#include "instant.h"
#include "station_index.h"

namespace stations {

// The numbers a pair is computed in, as the callers name them: the
// programs' floats on the sphere, doubles on the sphere, or the WGS84
// ellipsoid.  The index places the stations as that computation does.
enum class Arithmetic { float_sphere, double_sphere, ellipsoid };

// An arc of the compass from `from` clockwise to `to`, both included, in
// degrees [0, 360]; from > to wraps through north.
struct Sector {
    double from = 0.0, to = 360.0;
    bool whole = true;  // no sector given: every direction, NaN included

    static Sector between(double from, double to) { return {from, to, false}; }
    bool holds(double x) const
    {
        return whole || (from <= to ? x >= from && x <= to : x >= from || x <= to);
    }
};

// What the windows see of a pair: its numbers as computed.
struct Seen {
    double distance, azimuth, back_azimuth;
};

struct Window {
    bool by_distance = false;
    double min = 0.0, max = 0.0;  // both included
    Sector azimuth, back_azimuth;

    bool any() const { return by_distance || !azimuth.whole || !back_azimuth.whole; }
    bool holds(const Seen &s) const
    {
        return (!by_distance || (s.distance >= min && s.distance <= max)) &&
               azimuth.holds(s.azimuth) && back_azimuth.holds(s.back_azimuth);
    }
    // How far a kept pair can reach: the distance window's end, or anything.
    double reach() const { return by_distance ? max : std::numeric_limits<double>::infinity(); }
};

struct Selection {
    Window window;
    size_t nearest = 0;    // each earthquake's nearest N; 0: every pair
    bool by_time = false;  // stations running at the earthquake's time only
};

// The stations, in range (NaN takes no part: leave it out of the table).
// start and end with by_time: each station's epoch, both ends included;
// Instant::earliest() and latest() for one left open.  The arrays are the
// caller's, and outlive the engine.
struct Table {
    const double *lat = nullptr, *lon = nullptr;
    size_t size = 0;
    const Instant *start = nullptr, *end = nullptr;
};

class Pairing {
public:
    Pairing(Arithmetic arithmetic, const Table &table, const Selection &selection);

    const Selection &selection() const { return selection_; }
    size_t size() const { return table_.size; }

    // Every pair of the earthquake at (lat, lon), at time (with by_time)
    // that the selection keeps.  compute(j, result, seen) computes the
    // pair with station j into the caller's Result and what the windows
    // see of it, and says false for a pair that has no numbers (it takes
    // no part); take(j, result) is called for each pair kept, in the
    // table's order, or with nearest nearest first.  Safe to call from
    // many threads.
    template <class Result, class Compute, class Take>
    void pair(double lat, double lon, const Instant &time, Compute &&compute, Take &&take) const;

private:
    template <class Result>
    struct Found {
        double distance;
        uint32_t j;
        Result result;
    };
    bool running(uint32_t j, const Instant &time) const
    {
        return !selection_.by_time || (table_.start[j] <= time && time <= table_.end[j]);
    }
    template <class Result, class Compute>
    bool qualifies(uint32_t j, const Instant &time, Compute &compute, Result &r, Seen &s) const
    {
        return running(j, time) && compute(j, r, s) && selection_.window.holds(s);
    }
    // each(j, result, seen) for the stations of js[0..n) that qualify, in
    // their order.  A compute that also takes a block (js, n, results,
    // seen, ok) is given the running stations a block at a time.
    template <class Result, class Compute, class Each>
    void each_qualifying(const uint32_t *js, size_t n, const Instant &time, Compute &compute,
                         Each &&each) const;
    // The nearest N: the stations the selection keeps, chosen as sorting
    // all of them by distance would choose them.
    template <class Result, class Compute, class Take>
    void nearest(double lat, double lon, const Instant &time, Compute &compute, Take &take) const;
    // The least step by which a search that found too few widens.
    double widening() const;

    Table table_;
    Selection selection_;
    Index index_;
};

template <class Result, class Compute, class Take>
void Pairing::pair(double lat, double lon, const Instant &time, Compute &&compute, Take &&take) const
{
    if (selection_.nearest) {
        nearest<Result>(lat, lon, time, compute, take);
        return;
    }
    auto keep = [&take](uint32_t j, const Result &r, const Seen &) { take(j, r); };
    const double reach = selection_.window.reach();
    if (index_.everywhere(reach)) {
        uint32_t js[256];
        for (size_t first = 0; first < table_.size; first += std::size(js)) {
            const size_t n = std::min(std::size(js), table_.size - first);
            for (size_t k = 0; k < n; k++)
                js[k] = static_cast<uint32_t>(first + k);
            each_qualifying<Result>(js, n, time, compute, keep);
        }
        return;
    }
    thread_local std::vector<uint32_t> near;
    index_.near(lat, lon, reach, near);
    each_qualifying<Result>(near.data(), near.size(), time, compute, keep);
}

template <class Result, class Compute, class Each>
void Pairing::each_qualifying(const uint32_t *js, size_t n, const Instant &time, Compute &compute,
                              Each &&each) const
{
    if constexpr (std::is_invocable_v<Compute &, const uint32_t *, size_t, Result *, Seen *, bool *>) {
        constexpr size_t most = ellipsoid::block_pairs;
        uint32_t block[most];
        Result results[most];
        Seen seen[most];
        bool ok[most];
        size_t count = 0;
        auto solve = [&] {
            compute(static_cast<const uint32_t *>(block), count, results, seen, ok);
            for (size_t k = 0; k < count; k++)
                if (ok[k] && selection_.window.holds(seen[k]))
                    each(block[k], static_cast<const Result &>(results[k]), seen[k]);
            count = 0;
        };
        for (size_t i = 0; i < n; i++) {
            if (!running(js[i], time))
                continue;
            block[count++] = js[i];
            if (count == most)
                solve();
        }
        if (count > 0)
            solve();
    } else {
        Result r{};  // a computation may fill only its first results
        Seen s{};
        for (size_t i = 0; i < n; i++)
            if (qualifies(js[i], time, compute, r, s))
                each(js[i], static_cast<const Result &>(r), static_cast<const Seen &>(s));
    }
}

// The stations nearest by the straight line are computed first, and the
// search then reaches as far as the n-th nearest of those the selection
// keeps: every station within that distance is a candidate, and one
// beyond it cannot be nearer.  Where too few are kept, the reach widens
// until enough lie within it or it holds every station the windows allow.
// A station is computed once however often the reach widens.
template <class Result, class Compute, class Take>
void Pairing::nearest(double lat, double lon, const Instant &time, Compute &compute, Take &take) const
{
    thread_local std::vector<Found<Result>> found;
    thread_local std::vector<uint32_t> seen, near, fresh;
    found.clear();
    const size_t n = selection_.nearest;
    const double limit = selection_.window.reach();
    auto consider = [&](uint32_t j, const Result &r, const Seen &s) {
        found.push_back({s.distance, j, r});
    };
    double reach = index_.nearest(lat, lon, n, seen);  // a first guess
    each_qualifying<Result>(seen.data(), seen.size(), time, compute, consider);
    std::sort(seen.begin(), seen.end());
    auto by_distance = [](const Found<Result> &a, const Found<Result> &b) {
        return a.distance < b.distance || (a.distance == b.distance && a.j < b.j);
    };
    if (found.size() >= n) {  // the n-th of those kept: every nearer station lies within it
        std::nth_element(found.begin(), found.begin() + static_cast<std::ptrdiff_t>(n - 1), found.end(),
                         by_distance);
        reach = found[n - 1].distance;
    }
    if (selection_.window.by_distance)
        reach = std::max(reach, selection_.window.min);
    for (;;) {
        const bool all = !(reach < limit) || index_.everywhere(reach);
        if (all)
            reach = limit;
        index_.near(lat, lon, reach, near);
        fresh.clear();
        std::set_difference(near.begin(), near.end(), seen.begin(), seen.end(), std::back_inserter(fresh));
        each_qualifying<Result>(fresh.data(), fresh.size(), time, compute, consider);
        size_t within = 0;
        for (const Found<Result> &x : found)
            within += x.distance <= reach;
        if (all || within >= n)
            break;
        const size_t before = seen.size();
        seen.insert(seen.end(), fresh.begin(), fresh.end());
        std::inplace_merge(seen.begin(), seen.begin() + static_cast<std::ptrdiff_t>(before), seen.end());
        reach = 2 * reach + widening();
    }
    const size_t kept = std::min(n, found.size());
    std::partial_sort(found.begin(), found.begin() + static_cast<std::ptrdiff_t>(kept), found.end(),
                      by_distance);
    for (size_t k = 0; k < kept; k++)
        take(found[k].j, static_cast<const Result &>(found[k].result));
}

}  // namespace stations

#endif
