// Each line takes one pass: its fields are found and the numbers read
// from the ones wanted (in one pass for the usual layout, else split, then
// take), completed with a fixed end (-e, -s), given to the run's module
// functions, and written.  The options pick the computation and the way a
// line is read once, as one instantiation of numbers<Solve, plain>() (or
// pairs<Solve>() for -S, whose stations the pairing engine chooses); the
// line's work tests no mode, only the windows (-r, -A, -B), -a and -o,
// which go the same way on every line.
//
// Without -p the results must be the programs' own bits and digits: each
// field is read as strtod reads it and rounded to float as atof's result
// is, the same module function is called, and each value is written
// exactly as printf's "%.2f" writes it.  With -p N the double-precision
// functions take the numbers as read and each value is written exactly as
// printf's "%.Nf" writes the double; so do the ellipsoid's (-k), in
// kilometres.  With -n a pair's line is followed by the points of its path.
#include "record.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "arithmetic.h"
#include "computations.h"
#include "geodesic_blocks.h"
#include "fields.h"
#include "stations.h"

namespace filter {

using computations::Computation;
using computations::Distance;
using computations::GeodesicHypocentral;
using computations::gives_numbers;
using computations::Midpoint;
using computations::most_results;
using computations::Path;
using computations::result_slots;
using computations::seen;
using computations::Surrounding;
using computations::Walk;
using computations::WindowedMidpoint;

// The computation the options ask for, in the arithmetic A.
template <class A>
void Record::choose(Reading r)
{
    // A window, or the nearest stations, needs the pair's distance.
    const bool selects = opt_.windowed() || opt_.nearest;
    if (opt_.geometry)
        use<Surrounding<A>>(r);
    else if (opt_.path)
        use<Path<A>>(r);
    else if (opt_.mode == Mode::walk)
        use<Walk<A>>(r);
    else if (opt_.mode == Mode::midpoint && selects)
        use<WindowedMidpoint<A>>(r);
    else if (opt_.mode == Mode::midpoint)
        use<Midpoint<A>>(r);
    else
        use<Distance<A>>(r);
}

Record::Record(const Options &o)
    : opt_(o), reader_(line_layout(o)), put_fixed_(fixed_writer(o.decimals)), window_(window_of(o)),
      batches_(geodesic_available() == 1)
{
    const Reading r = opt_.stations ? Reading::paired
                      : reader_.plain() ? Reading::plain
                                        : Reading::general;
    if (opt_.hypocentral)
        use<GeodesicHypocentral>(r);
    else if (opt_.surface == Surface::ellipsoid)
        choose<arithmetic::Ellipsoid>(r);
    else if (opt_.precision == Precision::float32)
        choose<arithmetic::FloatSphere>(r);
    else
        choose<arithmetic::DoubleSphere>(r);
    if (opt_.fixed != End::none) {
        const bool earthquake = opt_.fixed == End::earthquake;
        fixed_[earthquake ? eqlat : stlat] = opt_.fix[0];
        fixed_[earthquake ? eqlon : stlon] = opt_.fix[1];
        fixed_[earthquake ? depth : elevation] = opt_.fix[2];
    }
}

char Record::joiner(const char *line, size_t n) const
{
    if (opt_.out_sep || opt_.sep || !opt_.append)
        return opt_.joiner();
    const char *p = line, *end = line + n;
    while (p < end && blank(*p))
        p++;
    while (p < end && !blank(*p) && *p != ',')
        p++;
    while (p < end && blank(*p))
        p++;
    return p < end && *p == ',' ? ',' : ' ';
}

// An output line of words in place of the results: after the input line
// with -a, joined like results.
std::string_view Record::shown(const char *line, size_t n) const
{
    if (!opt_.out_sep)
        return std::string_view(line, n);
    thread_local std::string fields;
    fields.clear();
    rejoin(line, n, opt_.sep, opt_.out_sep, fields);
    return fields;
}

void Record::put_words(const char *line, size_t n, char join, const std::string_view words[],
                       Bytes &out) const
{
    if (opt_.append && line) {
        out.put(shown(line, n));
        out.put(&join, 1);
        if (stations_ && !opt_.geometry) {  // a header: the station file's follows the line's
            out.put(stations_->header());
            out.put(&join, 1);
        }
    }
    for (int i = 0; i < named_; i++) {
        out.put(words[i]);
        out.put(i + 1 < named_ ? &join : "\n", 1);
    }
}

// A header: the results' names after the line's and the station file's
// (as put_words writes them), or, where a name is to be trimmed or set
// apart from another, every name written anew, each part joined as its
// lines are: by -o's separator, else the line's by its own (-d's, or the
// joiner), the station file's by its own, the results by the joiner.
void Record::put_header(const char *line, size_t n, char join, Bytes &out) const
{
    if (opt_.append) {
        const HeaderNames mine = header_names(line, n, opt_.sep);
        const HeaderNames *station = stations_ && !opt_.geometry ? &stations_->header_names() : nullptr;
        if (header_rewritten(mine, station, names_, named_)) {
            const size_t line_names = mine.names.size();
            const size_t station_names = station ? station->names.size() : 0;
            std::string text;
            size_t k = 0;
            for (const std::string &name : output_names(mine, station, names_, named_)) {
                if (k > 0) {
                    char between = join;
                    if (!opt_.out_sep && k < line_names)
                        between = opt_.sep ? opt_.sep : join;
                    else if (!opt_.out_sep && k > line_names && k < line_names + station_names)
                        between = stations_->separator() ? stations_->separator() : ' ';
                    text += between;
                }
                if (opt_.out_sep)
                    put_field(text, name.data(), name.data() + name.size(), join);
                else
                    text += name;
                k++;
            }
            text += '\n';
            out.put(text);
            return;
        }
    }
    put_words(line, n, join, names_, out);
}

static constexpr std::string_view nans[most_results] = {"nan", "nan", "nan", "nan"};

void Record::overlong(Bytes &out, Reason &why, size_t limit) const
{
    LineNumbers::overlong(why, limit);
    if (writes_nan_lines())
        put_words(nullptr, 0, opt_.joiner(), nans, out);
}

// A bad line: why, the hint of a separator, and its nan line (none with
// a window: it is not known to lie in it).  Returns false.
bool Record::refuse(const char *line, size_t n, char join, const char *reason, Bytes &out,
                    Reason &why) const
{
    if (reason != why.text)
        std::snprintf(why.text, sizeof why.text, "%s", reason);
    reader_.hint(line, n, why);
    if (writes_nan_lines())
        put_words(line, n, join, nans, out);
    return false;
}

template <class Solve, bool plain>
bool Record::numbers(char *line, size_t n, char join, Bytes &out, Reason &why, Batch *batch) const
{
    double c[pair_numbers], r[result_slots];
    std::memcpy(c, fixed_, sizeof c);
    Texts t;
    bool texts = false;  // t holds the fields' texts
    if (!(plain && reader_.one_pass(line, n, c))) {
        if (const char *reason = reader_.read(line, n, c, t, why)) {
            if (batch)
                finish(*batch, out);
            return refuse(line, n, join, reason, out, why);
        }
        texts = true;
    }
    if constexpr (Solve::batched) {
        if (batch && batches_) {
            // A pair that will be solved waits for others; any other line
            // is written after those waiting.
            if (gives_numbers<Solve>(c)) {
                Batch::Waiting &w = batch->waiting[batch->count++];
                w.line = line, w.n = n, w.join = join;
                std::memcpy(w.c, c, sizeof c);
                if (batch->count == Batch::most)
                    finish(*batch, out);
                return true;
            }
            finish(*batch, out);
        }
    }
    // The module checks the ranges itself; only a refusal, or a NaN that
    // its comparisons let through (and that gives a NaN result), is looked
    // at again, to name the field.
    if (Solve::solve(c, r) != 0 || Solve::gives_nan(r)) {
        if (!texts) {  // read again the general way, for the texts a message names
            Reason ignored;
            reader_.read(line, n, c, t, ignored);
        }
        const char *named = reader_.check(t, c, why);
        return refuse(line, n, join, named ? named : "coordinate out of range", out, why);
    }
    put_solved<Solve>(line, n, join, c, r, out);
    return true;
}

template <class Solve>
void Record::put_solved(char *line, size_t n, char join, const double c[], const double r[],
                        Bytes &out) const
{
    if constexpr (Solve::has_distance)  // -w and a window are never asked together
        if (opt_.windowed() && !window_.holds(seen(r)))
            return;
    if constexpr (Solve::path) {
        put_path<Solve>(shown(line, n), join, c, r, out);
        return;
    }
    if (opt_.append) {
        if (opt_.out_sep)
            out.put(shown(line, n));
        else
            out.put(line, n);
        out.put(&join, 1);
    }
    put_results<Solve>(r, join, out);
}

// The waiting lines' pairs, every one in range: solved as a block, each
// pair's results the same bits as solve() gives it alone.
template <class Solve>
void Record::finish_batch(Batch &batch, Bytes &out) const
{
    if constexpr (Solve::batched) {
        ellipsoid::solve_blocks(
            batch.count,
            [&](size_t k) {
                const double *c = batch.waiting[k].c;
                return ellipsoid::Ends{c[eqlat], c[eqlon], c[stlat], c[stlon]};
            },
            [&](size_t k, const ellipsoid::Geodesic &g) {
                Batch::Waiting &w = batch.waiting[k];
                double r[result_slots];
                r[0] = g.km, r[1] = g.azimuth, r[2] = g.back_azimuth;
                Solve::complete(w.c, r);
                put_solved<Solve>(w.line, w.n, w.join, w.c, r, out);
            });
    }
    (void)out;
    batch.count = 0;
}

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

// -S: the line's earthquake (and its depth and time, where asked), read
// and checked the general way (a line gives many pairs, so its reading is
// no cost); then the stations the pairing engine keeps, each pair
// computed as any line's would be.  The output is the line, the station's
// line and the results; it may be long, so it is handed on as it grows.
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
    struct Results {
        double r[result_slots];
    };
    auto at = [&](uint32_t j) {
        c[stlat] = table.lat(j);
        c[stlon] = table.lon(j);
        c[elevation] = table.elevation(j);
    };
    auto compute_one = [&](uint32_t j, Results &x, stations::Seen &s) {
        at(j);
        if (Solve::solve(c, x.r) != 0)
            return false;  // not reached: both ends are in range
        if constexpr (Solve::has_distance)
            s = seen(x.r);
        return true;
    };
    // On the ellipsoid, a block of the earthquake's stations at once.
    auto compute_block = [&](const uint32_t *js, size_t n, Results *x, stations::Seen *s, bool *ok) {
        ellipsoid::solve_blocks(
            n, [&](size_t k) { return ellipsoid::Ends{c[eqlat], c[eqlon], table.lat(js[k]), table.lon(js[k])}; },
            [&](size_t k, const ellipsoid::Geodesic &g) {
                at(js[k]);
                x[k].r[0] = g.km, x[k].r[1] = g.azimuth, x[k].r[2] = g.back_azimuth;
                // Without the ellipsoid no pair has numbers.
                ok[k] = batches_ && Solve::complete(c, x[k].r) == 0;
                s[k] = seen(x[k].r);
            });
    };
    struct Both {
        decltype(compute_one) &one;
        decltype(compute_block) &block;
        bool operator()(uint32_t j, Results &x, stations::Seen &s) const { return one(j, x, s); }
        void operator()(const uint32_t *js, size_t n, Results *x, stations::Seen *s, bool *ok) const
        {
            block(js, n, x, s, ok);
        }
    };
    constexpr bool blocks =
        Solve::solves_inverse && std::is_same<typename Solve::Arithmetic, arithmetic::Ellipsoid>::value;
    auto compute = [&]() {
        if constexpr (blocks)
            return Both{compute_one, compute_block};
        else
            return compute_one;
    }();
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
        if constexpr (Solve::path) {
            at(j);
            put_path<Solve>(quake, join, c, x.r, out, table.line(j));
        } else {
            out.put(quake);
            out.put(&join, 1);
            out.put(table.line(j));
            out.put(&join, 1);
            put_results<Solve>(x.r, join, out);
        }
        out.hand_on();
    };
    table.pairing().pair<Results>(c[eqlat], c[eqlon], time, compute, take);
    return true;
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
    for (int i = 0; i <= steps; i++) {
        double lat, lon;
        Solve::point(c, r, static_cast<double>(i) / steps, &lat, &lon);
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
        if ((i & 1023) == 1023)
            out.hand_on();
    }
    out.hand_on();
}

bool Record::line(char *line, size_t n, bool header, Bytes &out, Reason &why, Batch *batch) const
{
    size_t body = n > 0 && line[n - 1] == '\r' ? n - 1 : n;  // CRLF
    const char join = joiner(line, body);
    if (header) {  // the names of the results, in place of a header line or after it
        if (batch)
            finish(*batch, out);
        put_header(line, body, join, out);
        return true;
    }
    size_t k = 0;
    while (k < n && blank(line[k]))
        k++;
    if (k >= body || line[k] == '#') {
        if (batch)
            finish(*batch, out);
        out.put(line, n);  // blank or comment: copied as it came
        out.put("\n", 1);
        return true;
    }
    line[body] = '\0';
    return (this->*numbers_)(line, body, join, out, why, batch);
}

}  // namespace filter
