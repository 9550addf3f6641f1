// -S: each line's earthquake paired with the stations the pairing engine
// keeps, each pair computed as any line's would be.  A template over the
// run's computation, instantiated where it is chosen (record.cpp), the
// only file that includes this one.
#ifndef OSTREM_FILTER_RECORD_PAIRED_H
#define OSTREM_FILTER_RECORD_PAIRED_H

#include "record_writers.h"
#include "stations.h"

namespace filter {

using computations::result_slots;
using computations::seen;

// An earthquake's pairs with the stations of a table, each computed as
// any line's would be: one at a time, or, for the ellipsoid's inverse
// problem, a block of stations at once (the engine hands blocks to a
// computation that takes them).  c: the earthquake's numbers, the
// station's filled in for each pair.
template <class Solve>
struct PairedComputation {
    struct Results {
        double r[result_slots];
    };
    PairedComputation(double *numbers, const StationTable &stations) : c(numbers), table(stations)
    {
        if constexpr (Solve::heights)
            computations::place_earthquake(c, quake);
    }
    double *c;
    const StationTable &table;
    double quake[3] = {};  // the earthquake's position, for the hypocentral distance

    void at(uint32_t j) const
    {
        c[stlat] = table.lat(j);
        c[stlon] = table.lon(j);
        c[elevation] = table.elevation(j);
    }
    bool operator()(uint32_t j, Results &x, stations::Seen &s) const
    {
        at(j);
        if (Solve::solve(c, x.r) != 0)
            return false;  // not reached: both ends are in range
        if constexpr (Solve::has_distance)
            s = seen(x.r);
        return true;
    }
    void block(const uint32_t *js, size_t n, Results *x, stations::Seen *s, bool *ok) const
    {
        ellipsoid::solve_blocks(
            n, [&](size_t k) { return ellipsoid::Ends{c[eqlat], c[eqlon], table.lat(js[k]), table.lon(js[k])}; },
            [&](size_t k, const ellipsoid::Geodesic &g) {
                at(js[k]);
                x[k].r[0] = g.km, x[k].r[1] = g.azimuth, x[k].r[2] = g.back_azimuth;
                if constexpr (Solve::heights) {
                    const double station[3] = {table.x(js[k]), table.y(js[k]), table.z(js[k])};
                    ok[k] = Solve::complete_placed(c, x[k].r, quake, station) == 0;
                } else {
                    ok[k] = Solve::complete(c, x[k].r) == 0;
                }
                s[k] = seen(x[k].r);
            });
    }
};

// The same, taking blocks: only the ellipsoid's inverse problem has them.
template <class Solve>
struct BlockedComputation : PairedComputation<Solve> {
    using typename PairedComputation<Solve>::Results;
    using PairedComputation<Solve>::PairedComputation;
    using PairedComputation<Solve>::operator();
    void operator()(const uint32_t *js, size_t n, Results *x, stations::Seen *s, bool *ok) const
    {
        this->block(js, n, x, s, ok);
    }
};

template <class Solve>
using ComputationOf = std::conditional_t<Solve::solves_inverse &&
                                             std::is_same<typename Solve::Arithmetic, arithmetic::Ellipsoid>::value,
                                         BlockedComputation<Solve>, PairedComputation<Solve>>;

// -S: the line's earthquake (and its depth and time, where asked), read
// and checked the general way (a line gives many pairs, so its reading is
// no cost); then the stations the pairing engine keeps.  The output is the
// line, the station's line and the results; it may be long, so it is
// handed on as it grows.
template <class Solve>
bool Record::pairs(char *line, size_t n, char join, Bytes &out, Reason &why, Batch *) const
{
    double c[pair_numbers];
    std::memcpy(c, fixed_, sizeof c);
    Texts t;
    stations::Instant time;
    if (!reader_.point(line, n, c, t, why) ||
        (reader_.layout().times && !reader_.time(t, 0, false, &time, why)))
        return refuse(line, n, join, why.text, out, why);
    const StationTable &table = *stations_;
    const std::string_view quake = shown(line, n);  // written for each pair
    using Compute = ComputationOf<Solve>;
    using Results = typename Compute::Results;
    const Compute compute(c, table);
    const Direction earthquake = opt_.arrivals ? direction_of(c[eqlat], c[eqlon]) : Direction{};
    if constexpr (Solve::summary) {
        using Real = typename Solve::Real;
        thread_local stations::NetworkGeometry<Real> network;
        network.clear();
        auto add = [&](uint32_t, const Results &x) {
            network.add(static_cast<Real>(x.r[0]), static_cast<Real>(x.r[1]));  // exact
        };
        table.pairing().pair<Results>(c[eqlat], c[eqlon], time, compute, add);
        put_geometry<Solve>(quake, join, network.result(), out);
        return true;
    }
    auto take = [&](uint32_t j, const Results &x) {
        if (opt_.request) {
            put_request(table, j, opt_.arrivals->earliest(earthquake, c[depth], table.direction(j)), time, out);
        } else if constexpr (Solve::path) {
            compute.at(j);
            put_path<Solve>(quake, join, c, x.r, out, table.line(j));
        } else {
            out.put(quake);
            out.put(&join, 1);
            out.put(table.line(j));
            out.put(&join, 1);
            put_results<Solve>(x.r, join, out);
            if (opt_.arrivals) {
                out.drop(1);  // the results' line end, written after the arrivals
                opt_.arrivals->put(earthquake, c[depth], table.direction(j), opt_.instants ? &time : nullptr,
                                   join, out);
                out.put("\n", 1);
            }
        }
        out.hand_on();
    };
    table.pairing().pair<Results>(c[eqlat], c[eqlon], time, compute, take);
    return true;
}

}  // namespace filter

#endif
