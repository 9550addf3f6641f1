// The filter's writers of results, a -G line and a path: templates over
// the run's computation, instantiated where the computation is chosen
// (record.cpp), the only file that includes this one.
#ifndef OSTREM_FILTER_RECORD_WRITERS_H
#define OSTREM_FILTER_RECORD_WRITERS_H

#include "record.h"

namespace filter {

// Inlined into each line's work, as it was before it had a name of its own.
template <class Solve>
[[gnu::always_inline]] inline void Record::put_results(const double r[], char join, Bytes &out) const
{
    char *p = out.room(Solve::results * 64);  // the longest "%.2f" float is 43 bytes; results are < 1e9
    for (int i = 0; i < Solve::results; i++) {
        if constexpr (Solve::single)
            p = put_value(p, static_cast<float>(r[i]));
        else
            p = put_fixed_(p, r[i]);
        *p++ = join;
    }
    p[-1] = '\n';
    out.commit(p);
}

// -G's line: the earthquake's line, then how many stations, the nearest's
// distance, the gap and the secondary gap, written as the pairs' numbers
// would be.
template <class Solve, class Real>
void Record::put_geometry(std::string_view line, char join, const stations::Geometry<Real> &g,
                          Bytes &out) const
{
    out.put(line);
    out.put(&join, 1);
    char *p = out.room(4 * 64);
    p = put_digits(p, g.count);
    for (Real x : {g.nearest, g.gap, g.secondary}) {
        *p++ = join;
        if constexpr (Solve::single)
            p = put_value(p, x);
        else
            p = put_fixed_(p, x);
    }
    *p++ = '\n';
    out.commit(p);
    out.hand_on();
}

// A pair's path: "> " and its line (a multiple-segment header, as GMT
// reads one), then opt_.path + 1 points, from the earthquake (fraction 0)
// to the station (fraction 1).
template <class Solve>
void Record::put_path(std::string_view line, char join, const double c[], const double r[],
                      Bytes &out, std::string_view station) const
{
    out.put("> ", 2);
    out.put(line);
    if (stations_) {
        out.put(&join, 1);
        out.put(station);
    }
    out.put("\n", 1);
    const int steps = opt_.path;
    constexpr int chunk = static_cast<int>(ellipsoid::block_pairs);
    double lats[chunk], lons[chunk];
    for (int first = 0; first <= steps; first += chunk) {
        const int count = steps + 1 - first < chunk ? steps + 1 - first : chunk;
        Solve::points(c, r, steps, first, count, lats, lons);
        for (int k = 0; k < count; k++) {
            const double lat = lats[k], lon = lons[k];
            char *p = out.room(2 * 64);
            if constexpr (Solve::single) {
                p = put_value(p, static_cast<float>(lat));
                *p++ = join;
                p = put_value(p, static_cast<float>(lon));
            } else {
                p = put_fixed_(p, lat);
                *p++ = join;
                p = put_fixed_(p, lon);
            }
            *p++ = '\n';
            out.commit(p);
            if (((first + k) & 1023) == 1023)
                out.hand_on();
        }
    }
    out.hand_on();
}

}  // namespace filter

#endif
