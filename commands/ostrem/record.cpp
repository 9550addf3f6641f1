// Each line takes one pass: its fields are found and the numbers read
// from the ones wanted (in one pass for the usual layout, else split, then
// take), completed with a fixed end (-e, -s), given to the run's module
// functions, and written.  The options pick the computation and the way a
// line is read once, as one instantiation of numbers<Solve, plain>() (or
// pairs<Solve>() for -S); the line's work tests no mode, only -r's window
// and -a, which go the same way on every line.
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

#include "../ranges.h"
#include "arithmetic.h"
#include "fields.h"
#include "stations.h"

namespace filter {

namespace {

constexpr int most_results = 4;  // km az baz hypo
constexpr int distance_at = most_results;  // after the results
constexpr int result_slots = distance_at + 1;

// The run's computations, each a template over an arithmetic (the float
// sphere, the double sphere, the ellipsoid).  solve() takes a pair's
// numbers (a walk's start, azimuth and distance in the first four), rounds
// them to the arithmetic's numbers, and fills the results, and where the
// pair has_distance, r[distance_at] with it for -r; it returns the
// module's result code.  single: the results are floats, written as the
// programs write them.  A path's point() gives the points along it.
template <class A>
struct Computation {
    using Real = typename A::Real;
    static constexpr bool single = std::is_same<Real, float>::value;
    static constexpr bool path = false;
};

// A problem's numbers in, rounded to its arithmetic's, and its results
// out, widened to double.
template <class P>
int solve_problem(const double c[], double r[])
{
    return P::from_double(c, r);
}

template <class A>
struct Distance : Computation<A> {
    static constexpr int results = arithmetic::Inverse<A>::nout;
    static constexpr bool has_distance = true;
    static int solve(const double c[], double r[])
    {
        int rc = solve_problem<arithmetic::Inverse<A>>(c, r);
        if (rc == 0)
            r[distance_at] = r[0];
        return rc;
    }
};

// A midpoint alone is the arithmetic's midpoint; under -r, whose window
// needs the distance, the inverse problem and then the midpoint from it.
template <class A>
struct Midpoint : Computation<A> {
    static constexpr int results = arithmetic::Midpoint<A>::nout;
    static constexpr bool has_distance = false;
    static int solve(const double c[], double r[]) { return solve_problem<arithmetic::Midpoint<A>>(c, r); }
};

template <class A>
struct WindowedMidpoint : Computation<A> {
    using Real = typename A::Real;
    static constexpr int results = arithmetic::Midpoint<A>::nout;
    static constexpr bool has_distance = true;
    static int solve(const double c[], double r[])
    {
        const Real x[4] = {static_cast<Real>(c[0]), static_cast<Real>(c[1]), static_cast<Real>(c[2]),
                           static_cast<Real>(c[3])};
        Real inverse[3], mid[2];
        int rc = arithmetic::Inverse<A>::call(x, inverse);
        if (rc == 0) {
            r[distance_at] = inverse[0];
            rc = A::midpoint_after(x, inverse, mid);
        }
        if (rc == 0)
            r[0] = mid[0], r[1] = mid[1];
        return rc;
    }
};

template <class A>
struct Walk : Computation<A> {
    static constexpr int results = arithmetic::Direct<A>::nout;
    static constexpr bool has_distance = false;
    static int solve(const double c[], double r[]) { return solve_problem<arithmetic::Direct<A>>(c, r); }
};

// A path (-n): the pair's distance and azimuth, then the points reached
// from the earthquake along that azimuth at fractions of the distance (the
// whole of it at the last, exactly), in the arithmetic's numbers: with
// floats, from the float start, along the float azimuth, for the distance
// rounded to float, as the programs round.
template <class A>
struct Path : Distance<A> {
    using Real = typename A::Real;
    static constexpr bool path = true;
    static void point(const double c[], const double r[], double fraction, double *lat,
                      double *lon)
    {
        const Real along[4] = {static_cast<Real>(c[0]), static_cast<Real>(c[1]),
                               static_cast<Real>(r[1]), static_cast<Real>(r[0] * fraction)};
        Real reached[2];
        arithmetic::Direct<A>::call(along, reached);
        *lat = reached[0];
        *lon = reached[1];
    }
};

// With the earthquake's depth and the station's elevation (-z, -Z): the
// geodesic's numbers, then the straight line from the hypocentre.
struct GeodesicHypocentral : Distance<arithmetic::Ellipsoid> {
    static constexpr int results = Distance::results + arithmetic::Hypocentral::nout;
    static int solve(const double c[], double r[])
    {
        int rc = Distance::solve(c, r);
        const double h[6] = {c[eqlat], c[eqlon], c[depth], c[stlat], c[stlon], c[elevation]};
        return rc == 0 ? solve_problem<arithmetic::Hypocentral>(h, &r[Distance::results]) : rc;
    }
};

}  // namespace

// Every computation of one arithmetic, as a line's work (or -S's).
template <class A>
Record::Computations Record::computations(Reading r)
{
    return {pick<Distance<A>>(r), pick<Midpoint<A>>(r), pick<WindowedMidpoint<A>>(r), pick<Walk<A>>(r),
            pick<Path<A>>(r)};
}

Record::Record(const Options &o)
    : opt_(o), reader_(line_layout(o)), put_fixed_(fixed_writer(o.decimals))
{
    const Reading r = opt_.stations ? Reading::paired
                      : reader_.plain() ? Reading::plain
                                        : Reading::general;
    const Computations of = opt_.surface == Surface::ellipsoid ? computations<arithmetic::Ellipsoid>(r)
                            : opt_.precision == Precision::float32
                                ? computations<arithmetic::FloatSphere>(r)
                                : computations<arithmetic::DoubleSphere>(r);
    if (opt_.hypocentral)
        numbers_ = pick<GeodesicHypocentral>(r);
    else if (opt_.path)
        numbers_ = of.path;
    else if (opt_.mode == Mode::walk)
        numbers_ = of.walk;
    else if (opt_.mode == Mode::midpoint)
        numbers_ = opt_.window ? of.windowed_midpoint : of.midpoint;
    else
        numbers_ = of.distance;
    if (opt_.fixed != End::none) {
        const bool earthquake = opt_.fixed == End::earthquake;
        fixed_[earthquake ? eqlat : stlat] = opt_.fix[0];
        fixed_[earthquake ? eqlon : stlon] = opt_.fix[1];
        fixed_[earthquake ? depth : elevation] = opt_.fix[2];
    }
}

char Record::joiner(const char *line, size_t n) const
{
    if (opt_.sep || !opt_.append)
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
void Record::put_words(const char *line, size_t n, char join, const std::string_view words[3],
                       Bytes &out) const
{
    if (opt_.append && line) {
        out.put(line, n);
        out.put(&join, 1);
        if (stations_) {  // a header: the station file's follows the line's
            out.put(stations_->header());
            out.put(&join, 1);
        }
    }
    char *p = out.room(most_results * 8);  // no word is longer than 6 bytes
    for (int i = 0; i < opt_.results(); i++) {
        std::memcpy(p, words[i].data(), words[i].size());
        p += words[i].size();
        *p++ = i + 1 < opt_.results() ? join : '\n';
    }
    out.commit(p);
}

static constexpr std::string_view nans[most_results] = {"nan", "nan", "nan", "nan"};

void Record::overlong_reason(Reason &why, size_t limit) const
{
    std::snprintf(why.text, sizeof why.text, "line longer than %zu bytes", limit);
    why.looks_separated_by = 0;
}

void Record::overlong(Bytes &out, Reason &why, size_t limit) const
{
    overlong_reason(why, limit);
    if (writes_nan_lines())
        put_words(nullptr, 0, opt_.joiner(), nans, out);
}

// The ranges of the numbers a line gives, as the module sees them (rounded
// to float unless -p); NaN is in none.  Returns nullptr, or which field is
// out of which range, and its text.
const char *Record::check(const Texts &t, const double c[], Reason &why) const
{
    using ranges::Range;
    const bool walks = opt_.mode == Mode::walk;
    const Range *in[pair_numbers] = {&ranges::latitude, &ranges::longitude,
                                     walks ? &ranges::azimuth : &ranges::latitude,
                                     !walks                                 ? &ranges::longitude
                                     : opt_.surface == Surface::ellipsoid ? &ranges::kilometres
                                                                          : &ranges::distance,
                                     &ranges::depth, &ranges::elevation};
    const Layout &layout = reader_.layout();
    for (int i = 0; i < layout.count; i++) {
        const int at = layout.slot[i];
        double x = c[at];
        if (opt_.precision == Precision::float32)
            x = static_cast<float>(x);
        const Range &r = *in[at];
        if (r.holds(x))
            continue;
        char what[64];
        r.describe(what, sizeof what);
        char shown[shown_size];
        show(shown, t.text[i], t.len[i]);
        std::snprintf(why.text, sizeof why.text, "field %d is out of range (%s): %s",
                      layout.field[i], what, shown);
        return why.text;
    }
    return nullptr;
}

// The separator a bad line seems to use, when it was read without one.
void Record::hint(const char *line, size_t n, Reason &why) const
{
    why.looks_separated_by = 0;
    if (!opt_.sep)
        for (char s : {'|', ';', '\t'})
            if (std::memchr(line, s, n)) {
                why.looks_separated_by = s;
                break;
            }
}

bool Record::point(char *line, size_t n, double c[], Reason &why) const
{
    Texts t;
    const char *reason = reader_.read(line, n, c, t, why);
    if (!reason)
        reason = check(t, c, why);
    if (!reason)
        return true;
    if (reason != why.text)
        std::snprintf(why.text, sizeof why.text, "%s", reason);
    hint(line, n, why);
    return false;
}

// A bad line: why, the hint of a separator, and its nan line (none with
// -r: it is not known to lie in the window).  Returns false.
bool Record::refuse(const char *line, size_t n, char join, const char *reason, Bytes &out,
                    Reason &why) const
{
    if (reason != why.text)
        std::snprintf(why.text, sizeof why.text, "%s", reason);
    hint(line, n, why);
    if (writes_nan_lines())
        put_words(line, n, join, nans, out);
    return false;
}

template <class Solve, bool plain>
bool Record::numbers(char *line, size_t n, char join, Bytes &out, Reason &why) const
{
    static_assert(Solve::results <= most_results, "results beyond r[distance_at]'s place");
    double c[pair_numbers], r[result_slots];
    std::memcpy(c, fixed_, sizeof c);
    Texts t;
    bool texts = false;  // t holds the fields' texts
    if (!(plain && reader_.one_pass(line, n, c))) {
        if (const char *reason = reader_.read(line, n, c, t, why))
            return refuse(line, n, join, reason, out, why);
        texts = true;
    }
    // The module checks the ranges itself; only a refusal, or a NaN that
    // its comparisons let through (and that gives a NaN result), is looked
    // at again, to name the field.
    if (Solve::solve(c, r) != 0 || std::isnan(r[0]) || std::isnan(r[1]) ||
        (Solve::results > 3 && std::isnan(r[3]))) {
        if (!texts) {  // read again the general way, for the texts a message names
            Reason ignored;
            reader_.read(line, n, c, t, ignored);
        }
        const char *named = check(t, c, why);
        return refuse(line, n, join, named ? named : "coordinate out of range", out, why);
    }
    if constexpr (Solve::has_distance)  // -w and -r are never asked together
        if (opt_.window && !(r[distance_at] >= opt_.range[0] && r[distance_at] <= opt_.range[1]))
            return true;
    if constexpr (Solve::path) {
        put_path<Solve>(line, n, join, c, r, out);
        return true;
    }
    if (opt_.append) {
        out.put(line, n);
        out.put(&join, 1);
    }
    put_results<Solve>(r, join, out);
    return true;
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

// -S: the line's earthquake, read and checked the general way (a line
// gives many pairs, so its reading is no cost), then each station near
// it in the file's order, its pair computed as any line's would be and
// kept when its distance is in the window.  The output is the line, the
// station's line and the results; it may be long, so it is handed on as
// it grows.
template <class Solve>
bool Record::pairs(char *line, size_t n, char join, Bytes &out, Reason &why) const
{
    double c[pair_numbers], r[result_slots];
    std::memcpy(c, fixed_, sizeof c);
    if (!point(line, n, c, why))
        return refuse(line, n, join, why.text, out, why);
    const StationTable &table = *stations_;
    auto pair = [&](size_t j) {
        c[stlat] = table.lat(j);
        c[stlon] = table.lon(j);
        if (Solve::solve(c, r) != 0)
            return;  // not reached: both ends are in range
        if constexpr (Solve::has_distance)
            if (opt_.window && !(r[distance_at] >= opt_.range[0] && r[distance_at] <= opt_.range[1]))
                return;
        if constexpr (Solve::path) {
            put_path<Solve>(line, n, join, c, r, out, table.line(j));
        } else {
            out.put(line, n);
            out.put(&join, 1);
            out.put(table.line(j));
            out.put(&join, 1);
            put_results<Solve>(r, join, out);
        }
        out.hand_on();
    };
    if (!opt_.window || table.index().everywhere(opt_.range[1])) {
        for (size_t j = 0; j < table.size(); j++)
            pair(j);
        return true;
    }
    thread_local std::vector<uint32_t> near;
    table.index().near(c[eqlat], c[eqlon], opt_.range[1], near);
    for (uint32_t j : near)
        pair(j);
    return true;
}

// A pair's path: "> " and its line (a multiple-segment header, as GMT
// reads one), then opt_.path + 1 points, from the earthquake (fraction 0)
// to the station (fraction 1).
template <class Solve>
void Record::put_path(const char *line, size_t n, char join, const double c[], const double r[],
                      Bytes &out, std::string_view station) const
{
    out.put("> ", 2);
    out.put(line, n);
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

bool Record::line(char *line, size_t n, bool header, Bytes &out, Reason &why) const
{
    size_t body = n > 0 && line[n - 1] == '\r' ? n - 1 : n;  // CRLF
    const char join = joiner(line, body);
    if (header) {
        // The names of the results, in place of a header line or after it.
        static constexpr std::string_view names[3][3] = {
            {"dist", "az", "baz"}, {"midlat", "midlon", ""}, {"lat", "lon", ""}};
        static constexpr std::string_view km[most_results] = {"km", "az", "baz", "hypo"};
        const std::string_view *words = opt_.path ? names[2]
                                        : opt_.surface == Surface::ellipsoid && opt_.mode == Mode::distance
                                            ? km
                                            : names[static_cast<int>(opt_.mode)];
        put_words(line, body, join, words, out);
        return true;
    }
    size_t k = 0;
    while (k < n && blank(line[k]))
        k++;
    if (k >= body || line[k] == '#') {
        out.put(line, n);  // blank or comment: copied as it came
        out.put("\n", 1);
        return true;
    }
    line[body] = '\0';
    return (this->*numbers_)(line, body, join, out, why);
}

}  // namespace filter
