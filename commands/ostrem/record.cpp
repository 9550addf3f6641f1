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
#include "record_paired.h"
#include "record_writers.h"
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
    : opt_(o), reader_(line_layout(o)), put_fixed_(fixed_writer(o.decimals)), window_(o.selection.window)
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
    if (opt_.arrivals) {
        all_names_.assign(names_, names_ + named_);
        for (const std::string &name : opt_.arrivals->names())
            all_names_.push_back(name);
        names_ = all_names_.data();
        named_ = static_cast<int>(all_names_.size());
    }
    nans_.assign(static_cast<size_t>(named_), "nan");
    if (opt_.fixed != End::none) {
        const bool earthquake = opt_.fixed == End::earthquake;
        fixed_[earthquake ? eqlat : stlat] = opt_.fix[0];
        fixed_[earthquake ? eqlon : stlon] = opt_.fix[1];
        fixed_[earthquake ? depth : elevation] = opt_.fix[2];
    }
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
        if (batch) {
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
    if (Solve::solve(c, r) != 0 || Solve::gives_nan(r) || !depth_holds(c)) {
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
    if (opt_.arrivals)
        put_arrivals(c, nullptr, join, out);
}

// On the sphere the depth is for the arrivals alone and the module never
// sees it: its range is checked here, on the value the reader checks (a
// float with -p float), so that a depth beyond the models is refused by
// name, not written as arrivals that are all nan.
bool Record::depth_holds(const double c[]) const
{
    if (!opt_.arrivals || opt_.hypocentral)
        return true;
    const double d = opt_.precision == Precision::float32 ? static_cast<float>(c[depth]) : c[depth];
    return ranges::depth.holds(d);
}

// -P's columns in place of the line's end that the results wrote.
void Record::put_arrivals(const double c[], const stations::Instant *origin, char join, Bytes &out) const
{
    out.drop(1);
    opt_.arrivals->put(direction_of(c[eqlat], c[eqlon]), c[depth], direction_of(c[stlat], c[stlon]), origin, join,
                       out);
    out.put("\n", 1);
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

bool Record::line(char *line, size_t n, bool header, Bytes &out, Reason &why, Batch *batch) const
{
    size_t body = n > 0 && line[n - 1] == '\r' ? n - 1 : n;  // CRLF
    const char join = joiner(line, body);
    if (header) {  // the names of the results, in place of a header line or after it
        if (batch)
            finish(*batch, out);
        if (!opt_.request)  // a request is its lines alone
            put_header(line, body, join, out);
        return true;
    }
    size_t k = 0;
    while (k < n && blank(line[k]))
        k++;
    if (k >= body || line[k] == '#') {
        if (batch)
            finish(*batch, out);
        if (!opt_.request) {
            out.put(line, n);  // blank or comment: copied as it came
            out.put("\n", 1);
        }
        return true;
    }
    line[body] = '\0';
    return (this->*numbers_)(line, body, join, out, why, batch);
}

}  // namespace filter

