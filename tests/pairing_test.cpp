// The filter's -S: an earthquake file against a station file gives exactly
// the lines that every pair written out and filtered gives, byte for byte,
// whatever the index leaves out; bad station lines are reported and take
// no part.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bits.h"
#include "ostrem.h"
#include "ostrem_geodesic.h"
#include "run.h"

namespace {

const std::string filter = FILTER_PATH;

struct Tables {
    std::vector<Pair> points;  // olat olon: an earthquake; tlat tlon: a station
    std::string earthquakes, stations, pairs;
    // The numbers of each file's lines, as the filter reads them.
    std::vector<std::array<double, 2>> quake_at, station_at;
};

std::array<double, 2> read_two(const std::string &line)
{
    char *end;
    double a = std::strtod(line.c_str(), &end);
    return {a, std::strtod(end, nullptr)};
}

std::string two(double a, double b)
{
    char s[64];
    std::snprintf(s, sizeof s, "%.9g %.9g", a, b);
    return s;
}

// Seeded points with the fragile cases among them (poles, the date line,
// antipodes), each earthquake's point also a station's (coincident pairs)
// and some stations twice; and every pair written out, as the brute-force
// way has it.
Tables tables(uint64_t seed, int n)
{
    Tables t;
    Rng rng{seed};
    for (int i = 0; i < n; i++)
        t.points.push_back(varied_pair(rng));
    std::vector<std::string> quakes, stations;
    for (const Pair &p : t.points) {
        quakes.push_back(two(p.olat, p.olon));
        stations.push_back(two(p.tlat, p.tlon));
        if (rng.next() % 8 == 0)
            stations.push_back(two(p.olat, p.olon));
        if (rng.next() % 8 == 0)
            stations.push_back(stations.back());
    }
    for (const std::string &q : quakes) {
        t.earthquakes += q + "\n";
        t.quake_at.push_back(read_two(q));
        for (const std::string &s : stations)
            t.pairs += q + " " + s + "\n";
    }
    for (const std::string &s : stations) {
        t.stations += s + "\n";
        t.station_at.push_back(read_two(s));
    }
    return t;
}

std::string exactly(double x)
{
    char s[40];
    std::snprintf(s, sizeof s, "%.17g", x);
    return s;
}

bool asks_for_kilometres(const std::vector<std::string> &args)
{
    for (const std::string &a : args)
        if (a == "-k")
            return true;
    return false;
}

std::vector<std::string> with(std::vector<std::string> args, const std::vector<std::string> &more)
{
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// Windows whose ends are distances of real pairs, as the computation
// gives them: the pairs at the ends must be kept.
std::vector<std::vector<std::string>> windows_at_pairs(const Tables &t)
{
    std::vector<std::vector<std::string>> sets;
    for (size_t i = 1; i + 1 < t.points.size() && sets.size() < 6; i += t.points.size() / 5) {
        const Pair &a = t.points[i], &b = t.points[i + 1];
        float degrees, az, baz;
        ostrem(a.olat, a.olon, b.tlat, b.tlon, &degrees, &az, &baz);
        sets.push_back({"-r", exactly(degrees / 2) + "," + exactly(degrees)});
        double km, kaz, kbaz;
        if (geodesic(a.olat, a.olon, b.tlat, b.tlon, &km, &kaz, &kbaz) == 0)
            sets.push_back({"-k", "-r", "0," + exactly(km)});
    }
    return sets;
}

TEST(Pairing, ExactlyThePairsOfBruteForce)
{
    const Tables t = tables(24681357, slow_starts() ? 60 : 160);
    TempFile earthquakes(t.earthquakes), stations(t.stations), pairs(t.pairs);
    std::vector<std::vector<std::string>> sets = {
        {"-r", "0,30"}, {"-r", "30,90"}, {"-r", "0,180"}, {"-r", "0,0"}, {},
        {"-p", "6", "-r", "0,12.5"}, {"-m", "-r", "0,20"}, {"-n", "3", "-r", "0,4"},
        {"-r", "179,180"}, {"-k", "-r", "0,100"}, {"-k", "-r", "0,0"},
        {"-k", "-r", "5000,20040"}, {"-k", "-m", "-r", "0,2000"}, {"-k", "-n", "2", "-r", "0,800"},
        // Sectors, alone, wrapping through north, and with a window.
        {"-A", "350,10"}, {"-B", "100,250", "-r", "30,90"}, {"-A", "300,60", "-r", "0,50"},
        {"-m", "-A", "90,180", "-r", "0,60"}, {"-n", "2", "-B", "0,0", "-r", "0,30"},
        {"-p", "6", "-A", "200,100", "-B", "10,350"}, {"-k", "-B", "0,90", "-r", "0,3000"},
        {"-k", "-A", "270,90", "-r", "1000,9000"}};
    for (const std::vector<std::string> &w : windows_at_pairs(t))
        sets.push_back(w);
    for (const std::vector<std::string> &opts : sets) {
        Outcome want = run(filter, with(with({"-a", "-j", "1"}, opts), {pairs.path}));
        Outcome got = run(filter, with(with({"-S", stations.path, "-j", "1"}, opts), {earthquakes.path}));
        std::string what = testing::PrintToString(opts);
        ASSERT_EQ(want.status, 0) << what << want.err;
        EXPECT_TRUE(got.out == want.out) << what << ": " << got.out.size() << " bytes, not "
                                         << want.out.size();
        EXPECT_EQ(got.err, "") << what;
        EXPECT_EQ(got.status, 0) << what;
    }
}

std::vector<std::string> lines_of(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// A pair's distance and azimuths as the run computes them: the programs'
// floats, doubles with -p, or the geodesic with -k.
std::array<double, 3> computed(const std::vector<std::string> &opts, const std::array<double, 2> &e,
                               const std::array<double, 2> &s)
{
    double r[3];
    if (asks_for_kilometres(opts)) {
        geodesic(e[0], e[1], s[0], s[1], &r[0], &r[1], &r[2]);
    } else if (std::find(opts.begin(), opts.end(), "-p") != opts.end()) {
        ostremd(e[0], e[1], s[0], s[1], &r[0], &r[1], &r[2]);
    } else {
        float f[3];
        ostrem(static_cast<float>(e[0]), static_cast<float>(e[1]), static_cast<float>(s[0]),
               static_cast<float>(s[1]), &f[0], &f[1], &f[2]);
        r[0] = f[0], r[1] = f[1], r[2] = f[2];
    }
    return {r[0], r[1], r[2]};
}

struct Chosen {
    std::vector<std::string> opts;  // given to both runs
    long nearest;
    double range[2];
    double sector[2];  // of the azimuth; from > to wraps
};

// -N K against sorting every station of each earthquake by its distance as
// computed, then by its line, and taking the first K of those in the
// windows: duplicate stations tie, and K may pass the table.
TEST(Pairing, TheNearestAreThoseOfSortingEveryPair)
{
    const Tables t = tables(13579, slow_starts() ? 40 : 120);
    TempFile earthquakes(t.earthquakes), stations(t.stations), pairs(t.pairs);
    const std::vector<Chosen> sets = {
        {{}, 1, {0, 180}, {0, 360}},
        {{}, 6, {0, 180}, {0, 360}},
        {{"-r", "10,60"}, 7, {10, 60}, {0, 360}},
        {{"-A", "300,60"}, 3, {0, 180}, {300, 60}},
        {{}, 100000, {0, 180}, {0, 360}},
        {{"-p", "6", "-m"}, 4, {0, 180}, {0, 360}},
        {{"-n", "2"}, 2, {0, 180}, {0, 360}},
        {{"-k"}, 5, {0, 1e9}, {0, 360}},
        {{"-k", "-r", "500,4000", "-A", "90,270"}, 4, {500, 4000}, {90, 270}},
    };
    for (const Chosen &c : sets) {
        std::vector<std::string> every_opts;  // the same computation, without the choice
        for (size_t k = 0; k < c.opts.size(); k++) {
            if (c.opts[k] == "-r" || c.opts[k] == "-A")
                k++;
            else
                every_opts.push_back(c.opts[k]);
        }
        const bool path = std::find(c.opts.begin(), c.opts.end(), "-n") != c.opts.end();
        const Outcome every = run(filter, with(with({"-a", "-j", "1"}, every_opts), {pairs.path}));
        const std::vector<std::string> lines = lines_of(every.out);
        const size_t n = t.station_at.size(), per_pair = path ? 4 : 1;
        ASSERT_EQ(lines.size(), t.quake_at.size() * n * per_pair);
        std::string want;
        for (size_t e = 0; e < t.quake_at.size(); e++) {
            std::vector<std::pair<double, size_t>> kept;
            for (size_t j = 0; j < n; j++) {
                std::array<double, 3> r = computed(c.opts, t.quake_at[e], t.station_at[j]);
                const double from = c.sector[0], to = c.sector[1];
                if (r[0] >= c.range[0] && r[0] <= c.range[1] &&
                    (from <= to ? r[1] >= from && r[1] <= to : r[1] >= from || r[1] <= to))
                    kept.emplace_back(r[0], j);
            }
            std::sort(kept.begin(), kept.end());
            kept.resize(std::min(kept.size(), static_cast<size_t>(c.nearest)));
            for (const auto &k : kept)
                for (size_t l = 0; l < per_pair; l++)
                    want += lines[(e * n + k.second) * per_pair + l] + "\n";
        }
        const Outcome got = run(filter, with(with({"-S", stations.path, "-j", "1", "-N",
                                                   std::to_string(c.nearest)},
                                                  c.opts),
                                             {earthquakes.path}));
        const std::string what = testing::PrintToString(c.opts) + " -N " + std::to_string(c.nearest);
        EXPECT_TRUE(got.out == want) << what << ": " << got.out.size() << " bytes, not " << want.size();
        EXPECT_EQ(got.err, "") << what;
        EXPECT_EQ(got.status, 0) << what;
    }
}

// The largest gap between neighbouring directions around the compass, in
// the arithmetic's numbers; 360 for one direction or none.
template <class Real>
Real largest_gap(const std::vector<Real> &sorted)
{
    if (sorted.size() < 2)
        return 360;
    Real gap = (sorted.front() + Real(360)) - sorted.back();
    for (size_t k = 1; k < sorted.size(); k++)
        gap = std::max(gap, Real(sorted[k] - sorted[k - 1]));
    return gap;
}

// n dmin gap gap2 as every pair gives them: the secondary gap found by
// taking each direction away in turn.
template <class Real>
std::string surrounding(const std::vector<std::pair<Real, Real>> &kept, const char *format)
{
    std::vector<Real> directions;
    Real nearest = NAN;
    for (const auto &k : kept) {
        nearest = directions.empty() || k.first < nearest ? k.first : nearest;
        directions.push_back(k.second);
    }
    std::sort(directions.begin(), directions.end());
    directions.erase(std::unique(directions.begin(), directions.end()), directions.end());
    Real secondary = 360;
    if (directions.size() > 2) {
        secondary = 0;
        for (size_t k = 0; k < directions.size(); k++) {
            std::vector<Real> rest = directions;
            rest.erase(rest.begin() + static_cast<std::ptrdiff_t>(k));
            secondary = std::max(secondary, largest_gap(rest));
        }
    }
    char s[160];
    std::snprintf(s, sizeof s, format, kept.size(), static_cast<double>(nearest),
                  static_cast<double>(largest_gap(directions)), static_cast<double>(secondary));
    return s;
}

// An earthquake's -G line as every pair computed gives it: the pairs in
// the windows (the nearest, where asked), summed up; kept: how many.
std::string surrounding_of(const Chosen &c, const Tables &t, size_t e, bool single, const char *format,
                           size_t &kept_count)
{
    std::vector<std::pair<double, double>> every;  // distance, azimuth
    std::vector<std::pair<double, size_t>> order;
    for (size_t j = 0; j < t.station_at.size(); j++) {
        std::array<double, 3> r = computed(c.opts, t.quake_at[e], t.station_at[j]);
        const double from = c.sector[0], to = c.sector[1];
        if (r[0] >= c.range[0] && r[0] <= c.range[1] &&
            (from <= to ? r[1] >= from && r[1] <= to : r[1] >= from || r[1] <= to)) {
            order.emplace_back(r[0], every.size());
            every.emplace_back(r[0], r[1]);
        }
    }
    if (c.nearest) {
        std::sort(order.begin(), order.end());
        order.resize(std::min(order.size(), static_cast<size_t>(c.nearest)));
    }
    std::vector<std::pair<float, float>> as_floats;
    std::vector<std::pair<double, double>> kept;
    for (const auto &o : order) {
        kept.push_back(every[o.second]);
        as_floats.emplace_back(static_cast<float>(every[o.second].first),
                               static_cast<float>(every[o.second].second));
    }
    kept_count = kept.size();
    return single ? surrounding(as_floats, format) : surrounding(kept, format);
}

// -G against every pair computed: no, one, two and many stations in the
// windows, stations twice and on the earthquakes, earthquakes on the
// poles, gaps across north; with -r, -A, -N, -p and -k.
TEST(Pairing, HowTheStationsSurroundEachEarthquake)
{
    Tables t = tables(86420, slow_starts() ? 40 : 100);
    for (double lat : {90.0, -90.0}) {
        t.quake_at.push_back({lat, 0.0});
        t.earthquakes += two(lat, 0.0) + "\n";
    }
    TempFile earthquakes(t.earthquakes), stations(t.stations);
    const std::vector<Chosen> sets = {
        {{}, 0, {0, 180}, {0, 360}},          {{"-r", "0,20"}, 0, {0, 20}, {0, 360}},
        {{"-r", "0,6"}, 0, {0, 6}, {0, 360}},  {{"-N", "2"}, 2, {0, 180}, {0, 360}},
        {{"-N", "5", "-r", "0,60"}, 5, {0, 60}, {0, 360}},
        {{"-A", "300,60", "-r", "0,40"}, 0, {0, 40}, {300, 60}},
        {{"-p", "6", "-r", "0,30"}, 0, {0, 30}, {0, 360}},
        {{"-k", "-r", "0,1500"}, 0, {0, 1500}, {0, 360}},
        {{"-k", "-N", "3", "-A", "0,180"}, 3, {0, 1e9}, {0, 180}},
    };
    int few = 0;  // earthquakes with two stations or fewer
    for (const Chosen &c : sets) {
        const bool single = !asks_for_kilometres(c.opts) &&
                            std::find(c.opts.begin(), c.opts.end(), "-p") == c.opts.end();
        const char *format = single                      ? "%zu %.2f %.2f %.2f"
                             : asks_for_kilometres(c.opts) ? "%zu %.3f %.3f %.3f"
                                                           : "%zu %.6f %.6f %.6f";
        std::string want;
        for (size_t e = 0; e < t.quake_at.size(); e++) {
            size_t kept = 0;
            want += two(t.quake_at[e][0], t.quake_at[e][1]) + " " + surrounding_of(c, t, e, single, format, kept) + "\n";
            few += kept <= 2;
        }
        const Outcome got = run(filter, with(with({"-S", stations.path, "-G", "-j", "1"}, c.opts),
                                             {earthquakes.path}));
        const std::string what = testing::PrintToString(c.opts);
        EXPECT_TRUE(got.out == want) << what << "\n" << got.out.substr(0, 400) << "\n" << want.substr(0, 400);
        EXPECT_EQ(got.err, "") << what;
        EXPECT_EQ(got.status, 0) << what;
    }
    EXPECT_GT(few, 20);
    Outcome header = run(filter, {"-H", "-S", stations.path, "-G", "-r", "0,1"}, {},
                         TempFile("lat lon\n10 10\n").path);
    EXPECT_EQ(header.out, "lat lon n dmin gap gap2\n10 10 0 nan 360.00 360.00\n");
}

// -S -k -z -Z: the depth from the earthquake's line, the elevation from the
// station's, give the line mode's bytes for the pairs written out with both;
// a bad depth or elevation is reported as any field is.
TEST(Pairing, DepthFromOneTableElevationFromTheOther)
{
    Rng rng{8642};
    std::string quakes = "lat lon depth\n", stations = "lat lon elevation\n",
                pairs = "lat lon depth lat lon elevation\n";
    std::vector<std::string> q, s;
    for (int i = 0; i < 60; i++) {
        Pair p = varied_pair(rng);
        char line[96];
        std::snprintf(line, sizeof line, "%.9g %.9g %.3f", p.olat, p.olon, rng.uniform(-10, 700));
        q.push_back(line);
        std::snprintf(line, sizeof line, "%.9g %.9g %.1f", p.tlat, p.tlon, rng.uniform(-500, 4000));
        s.push_back(line);
    }
    for (const std::string &a : q) {
        quakes += a + "\n";
        for (const std::string &b : s)
            pairs += a + " " + b + "\n";
    }
    for (const std::string &b : s)
        stations += b + "\n";
    TempFile tq(quakes), ts(stations), tp(pairs);
    for (const std::vector<std::string> &opts :
         std::vector<std::vector<std::string>>{{}, {"-r", "0,3000"}, {"-p", "6", "-r", "5000,20000"}}) {
        Outcome want = run(filter, with(with({"-k", "-H", "-a", "-f", "1,2,4,5", "-z", "3", "-Z", "6"}, opts),
                                        {tp.path}));
        Outcome got = run(filter, with(with({"-k", "-H", "-S", ts.path, "-z", "3", "-Z", "3"}, opts),
                                       {tq.path}));
        ASSERT_EQ(want.status, 0) << want.err;
        // The station's names that the earthquake's line has are set apart.
        EXPECT_EQ(got.out.substr(0, got.out.find('\n')),
                  "lat lon depth station_lat station_lon elevation km az baz hypo");
        EXPECT_TRUE(got.out.substr(got.out.find('\n')) == want.out.substr(want.out.find('\n')))
            << testing::PrintToString(opts);
        EXPECT_EQ(got.status, 0);
    }
    TempFile bad_station("0 0 x\n1 1 100\n"), bad_quake("0 0 2000\n");
    Outcome r = run(filter, {"-k", "-S", bad_station.path, "-z", "3", "-Z", "3"}, {}, bad_quake.path);
    EXPECT_EQ(r.err, "ostrem: " + bad_station.path + ":1: field 3 is not a number: x\n"
                     "ostrem: -:1: field 3 is out of range (depth -10 to 1000 km): 2000\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 1);
}

std::string joined_lines(const std::vector<std::string> &lines)
{
    std::string text;
    for (const std::string &line : lines)
        text += line + "\n";
    return text;
}

// Stations by their epochs, in the forms the FDSN formats write times,
// against the pairs of stations running at each earthquake's day.
TEST(Pairing, OnlyStationsRunningAtTheEarthquakesTime)
{
    Rng rng{1357};
    struct Day {
        int y, m, d;
        int key() const { return (y * 100 + m) * 100 + d; }
    };
    auto day = [&] { return Day{1990 + static_cast<int>(rng.next() % 35), 1 + static_cast<int>(rng.next() % 12),
                                1 + static_cast<int>(rng.next() % 28)}; };
    auto text = [](const Day &d, const char *rest) {
        char s[64];
        std::snprintf(s, sizeof s, "%04d-%02d-%02d%s", d.y, d.m, d.d, rest);
        return std::string(s);
    };
    static const char *starts[] = {"", "T00:00:00Z", "T00:00", "T00:00:00.0000"};
    static const char *ends[] = {"T23:59:59.999999", "T23:59:59Z"};
    static const char *times[] = {"T12:00:00Z", "T00:00:00", "T23:59:59.5", "T12:30"};
    std::vector<std::string> st, eq;
    std::vector<std::array<int, 2>> epoch;  // first and last day running; 0: still
    std::vector<int> when;
    for (int i = 0; i < 80; i++) {
        Pair p = varied_pair(rng);
        Day a = day(), b = day();
        if (b.key() < a.key())
            std::swap(a, b);
        const bool open = rng.next() % 4 == 0;
        char line[160];
        std::snprintf(line, sizeof line, "%.9g,%.9g,%s,%s", p.tlat, p.tlon,
                      text(a, starts[rng.next() % 4]).c_str(),
                      open ? "" : text(b, ends[rng.next() % 2]).c_str());
        st.push_back(line);
        epoch.push_back({a.key(), open ? 0 : b.key()});
        // Some earthquakes on a station's first day, at its first instant.
        const bool at_start = rng.next() % 5 == 0;
        Day e = at_start ? a : day();
        std::snprintf(line, sizeof line, "%.9g,%.9g,%s", p.olat, p.olon,
                      text(e, at_start ? "T00:00:00Z" : times[rng.next() % 4]).c_str());
        eq.push_back(line);
        when.push_back(e.key());
    }
    std::string quakes, pairs;
    for (size_t e = 0; e < eq.size(); e++) {
        quakes += eq[e] + "\n";
        for (size_t j = 0; j < st.size(); j++)
            if (epoch[j][0] <= when[e] && (epoch[j][1] == 0 || when[e] <= epoch[j][1]))
                pairs += eq[e] + "," + st[j] + "\n";
    }
    TempFile tq(quakes), ts(joined_lines(st)), tp(pairs);
    for (const std::vector<std::string> &opts :
         std::vector<std::vector<std::string>>{{}, {"-r", "0,60"}, {"-A", "0,180"}}) {
        Outcome want = run(filter, with(with({"-a", "-d", ",", "-f", "1,2,4,5"}, opts), {tp.path}));
        Outcome got = run(filter, with(with({"-S", ts.path, "-d", ",", "-D", ",", "-t", "3", "-T", "3,4"},
                                            opts),
                                       {tq.path}));
        ASSERT_EQ(want.status, 0) << want.err;
        EXPECT_TRUE(got.out == want.out) << testing::PrintToString(opts) << got.err;
        EXPECT_EQ(got.status, 0);
    }
}

// Sectors on the values as computed: the north's azimuth is 0.00, the
// south's back-azimuth -0, which a sector from 0 holds.
TEST(Windows, SectorsOfTheLineMode)
{
    TempFile four("0 0 0 90\n0 0 0 -90\n0 0 10 0\n0 0 -10 0\n");
    const std::string east = "90.00 90.00 270.00\n", west = "90.00 270.00 90.00\n",
                      north = "9.93 0.00 180.00\n", south = "9.93 180.00 -0.00\n";
    const struct {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{"-A", "350,10"}, north},          {{"-A", "80,100"}, east},
        {{"-A", "180,180"}, south},         {{"-A", "90,270"}, east + west + south},
        {{"-A", "270,90"}, east + west + north},
        {{"-B", "0,10"}, south},            {{"-B", "90,180"}, west + north},
        {{"-A", "0,360", "-B", "0,360"}, east + west + north + south},
        {{"-A", "0,180", "-r", "10,90"}, east},
        {{"-A", "0,200", "-B", "170,360"}, east + north},
    };
    for (const auto &c : cases) {
        Outcome r = run(filter, c.args, {}, four.path);
        EXPECT_EQ(r.out, c.out) << testing::PrintToString(c.args);
        EXPECT_EQ(r.status, 0);
    }
}

// Many blocks of earthquakes, each with more output than a block hands on
// at once: the same bytes at every -j.
TEST(Pairing, ThreadsWriteWhatOneThreadWrites)
{
    Rng rng{97531};
    std::string quakes, stations;
    const std::string note(200, 'n');
    for (int i = 0; i < (slow_starts() ? 300 : 3000); i++) {
        Pair p = varied_pair(rng);
        quakes += two(p.olat, p.olon) + (i % 97 == 0 ? " x" : " " + note) + "\n";
        if (i < 40)
            stations += two(p.tlat, p.tlon) + "\n";
    }
    TempFile q(quakes), s(stations);
    for (const std::vector<std::string> &opts :
         std::vector<std::vector<std::string>>{{}, {"-r", "20,120"}, {"-n", "40", "-r", "0,50"},
                                               {"-N", "3"}, {"-A", "10,200", "-r", "0,90"},
                                               {"-G", "-r", "0,60"}}) {
        std::vector<std::string> args = with({"-S", s.path, "-f", "1,2"}, opts);
        Outcome want = run(filter, with(with({"-j", "1"}, args), {q.path}));
        for (const char *j : {"2", "5"}) {
            Outcome got = run(filter, with(with({"-j", j}, args), {q.path}));
            std::string what = "-j " + std::string(j) + " " + testing::PrintToString(opts);
            EXPECT_TRUE(got.out == want.out) << what << ": output differs";
            EXPECT_EQ(got.err, want.err) << what;
            EXPECT_EQ(got.status, want.status) << what;
        }
    }
}

struct Case {
    const char *name;
    std::vector<std::string> args;  // "STATIONS" is the station file
    std::string stations, earthquakes, out, err;
    int status;
};

const Case cases[] = {
    {"bad_station_lines",
     {"-r", "0,5"},
     "1 1\n1\nx 1\n91 0\n0 nan\n\n# c\n2 2\n",
     "0 0\n",
     "0 0 1 1 1.41 45.19 225.20\n0 0 2 2 2.82 45.17 225.21\n",
     "ostrem: STATIONS:2: expected at least 2 fields, found 1\n"
     "ostrem: STATIONS:3: field 1 is not a number: x\n"
     "ostrem: STATIONS:4: field 1 is out of range (latitude -90 to 90): 91\n"
     "ostrem: STATIONS:5: field 2 is out of range (longitude -180 to 540): nan\n",
     1},
    {"bad_earthquake_writes_nothing",
     {},
     "1 1\n",
     "0\n0 0\n",
     "0 0 1 1 1.41 45.19 225.20\n",
     "ostrem: -:1: expected at least 2 fields, found 1\n",
     1},
    {"csv_with_headers_and_quotes",
     {"-H", "-d", ",", "-D", ";", "-F", "2,3", "-f", "2,3", "-r", "0,2"},
     "code;lat;lon\nA;1;1\n\"B;1\";0;1\nC;40;40\n",
     "id,lat,lon\n\"q,1\",0,0\n",
     "id,lat,lon,code;station_lat;station_lon,dist,az,baz\n\"q,1\",0,0,A;1;1,1.41,45.19,225.20\n"
     "\"q,1\",0,0,\"B;1\";0;1,1.00,90.00,270.00\n",
     "",
     0},
    {"crlf_station_file", {}, "1 1\r\n", "0 0\n", "0 0 1 1 1.41 45.19 225.20\n", "", 0},
    {"overlong_station_line",
     {},
     std::string(65537, '7') + "\n1 1\n",
     "0 0\n",
     "0 0 1 1 1.41 45.19 225.20\n",
     "ostrem: STATIONS:1: line longer than 65536 bytes\n",
     1},
    // A station file with no station is said, not a quiet success.
    {"no_stations", {}, "# none\n", "0 0\n", "", "ostrem: no stations in STATIONS\n", 2},
    // A byte-order mark before a file's first line is passed over; one
    // elsewhere, or a zero-width space, is shown escaped.
    {"byte_order_marks",
     {},
     "\xef\xbb\xbf" "1 1\n",
     "\xef\xbb\xbf" "0 0\n\xef\xbb\xbf" "0 0\n\xe2\x80\x8b" "0 0\n",
     "0 0 1 1 1.41 45.19 225.20\n",
     "ostrem: -:2: field 1 is not a number: \\xef\\xbb\\xbf0\n"
     "ostrem: -:3: field 1 is not a number: \\xe2\\x80\\x8b0\n",
     1},
    // The station file's separator is -D's, and its hint says so.
    {"station_file_hint_names_its_option",
     {},
     "1|1\n2 2\n",
     "0 0\n",
     "0 0 2 2 2.82 45.17 225.21\n",
     "ostrem: STATIONS:1: expected at least 2 fields, found 1 (fields separated by '|'? use -D '|')\n",
     1},
    // The lines are copied whole, so fields after the coordinates are
    // welcome without -f or -F, as with them.
    {"fields_after_the_coordinates",
     {},
     "34.95 -106.46 ANMO\n",
     "38.3 142.4 quake\n",
     "38.3 142.4 quake 34.95 -106.46 ANMO 83.17 50.50 312.35\n",
     "",
     0},
    // -N: nearest first, a tie to the station that comes first, fewer where
    // fewer lie in the window.
    {"nearest_with_ties",
     {"-N", "3", "-r", "0,2"},
     "1 1 a\n0 1 b\n1 1 c\n5 5 d\n",
     "0 0\n",
     "0 0 0 1 b 1.00 90.00 270.00\n0 0 1 1 a 1.41 45.19 225.20\n0 0 1 1 c 1.41 45.19 225.20\n",
     "",
     0},
    // Epochs: both ends included, an empty end still running; a time that
    // cannot be read is reported as any bad field is.
    {"epochs",
     {"-d", ",", "-D", ",", "-t", "3", "-T", "3,4"},
     "1,1,2000-01-01,2010-01-01T00:00:00Z\n2,2,2010-01-01T00:00:00.000000001,\n3,3,2011-02-29,\n"
     "4,4,,\n",
     "0,0,2010-01-01\n0,0,2010-01-01T00:00:00.5\n0,0,2010-13-01\n",
     "0,0,2010-01-01,1,1,2000-01-01,2010-01-01T00:00:00Z,1.41,45.19,225.20\n"
     "0,0,2010-01-01T00:00:00.5,2,2,2010-01-01T00:00:00.000000001,,2.82,45.17,225.21\n",
     "ostrem: STATIONS:3: field 3 is not a time: 2011-02-29\n"
     "ostrem: STATIONS:4: field 3 is empty\n"
     "ostrem: -:3: field 3 is not a time: 2010-13-01\n",
     1},
};

class PairingCase : public testing::TestWithParam<Case> {};

TEST_P(PairingCase, OutputMessagesAndStatus)
{
    const Case &c = GetParam();
    TempFile stations(c.stations), earthquakes(c.earthquakes);
    std::vector<std::string> args = {"-S", stations.path};
    args.insert(args.end(), c.args.begin(), c.args.end());
    Outcome got = run(filter, args, {}, earthquakes.path);
    std::string err = c.err;
    for (size_t at; (at = err.find("STATIONS")) != std::string::npos;)
        err.replace(at, 8, stations.path);
    EXPECT_EQ(got.out, c.out);
    EXPECT_EQ(got.err, err);
    EXPECT_EQ(got.status, c.status);
}

INSTANTIATE_TEST_SUITE_P(Cases, PairingCase, testing::ValuesIn(cases),
                         [](const testing::TestParamInfo<Case> &i) { return i.param.name; });

TEST(Pairing, RefusedBeforeAnythingIsWritten)
{
    TempFile stations("0 0\n");
    const std::vector<std::vector<std::string>> refused = {
        {"-S", "/nonexistent/stations.txt"}, {"-S", stations.path, "-e", "1,2"},
        {"-S", stations.path, "-s", "1,2"},   {"-S", stations.path, "-w"},
        {"-S", stations.path, "-F", "1"},     {"-S", stations.path, "-F", "0,1"},
        {"-S", stations.path, "-f", "1-4"},   {"-F", "1,2"},
        {"-D", ","},                          {"-N", "3"},
        {"-S", stations.path, "-N", "0"},     {"-S", stations.path, "-t", "3"},
        {"-S", stations.path, "-T", "3,4"},   {"-t", "3", "-T", "3,4"},
        {"-S", stations.path, "-T", "3"},     {"-S", stations.path, "-A", "10"},
        {"-S", stations.path, "-B", "0,361"}, {"-S", stations.path, "-A", "-1,10"},
        {"-w", "-A", "0,10"},                 {"-S", stations.path, "-z", "3"},
        {"-S", stations.path, "-F", "1,2,3"}, {"-G"},
        {"-S", stations.path, "-G", "-m"},    {"-S", stations.path, "-G", "-n", "3"},
        {"-S", stations.path, "-G", "-k", "-z", "3"}, {"-o", "ab"}, {"-o", "\""}};
    for (const std::vector<std::string> &args : refused) {
        Outcome got = run(filter, args, {}, "");
        EXPECT_EQ(got.out, "") << testing::PrintToString(args);
        EXPECT_EQ(got.status, 2) << testing::PrintToString(args);
        EXPECT_NE(got.err, "") << testing::PrintToString(args);
    }
}

}  // namespace

namespace {

// A station table larger than the memory the run may have: said, status 2,
// no crash.  Sanitizers and emulators reserve address space of their own.
TEST(Pairing, OutOfMemoryIsSaid)
{
    if (!have_shell() || slow_starts())
        GTEST_SKIP() << "needs a POSIX shell and a plain native build";
    Outcome r = run_shell("awk 'BEGIN { for (i = 0; i < 1500000; i++) printf \"XX|S%d|%.5f|%.5f|"
                          "100.0|Site|2020-01-01T00:00:00|\\n\", i, i % 180 - 89.5, i % 360 }' > big.txt"
                          " && (ulimit -v 150000; echo 10 20 | " + shell_command(filter) +
                          " -S big.txt -D '|' -F 3,4 -r 0,1); s=$?; rm -f big.txt; exit $s");
    EXPECT_EQ(r.err, "ostrem: out of memory\n");
    EXPECT_EQ(r.status, 2);
}

}  // namespace

namespace {

// Output is written as it grows: lines whose output dwarfs the memory the
// run may have (five paths of a million steps, 75 MB held whole in 60 MB
// of address space) still come out whole.  One thread: each thread's
// malloc arena reserves address space of its own.
TEST(Output, LongOutputIsNotHeld)
{
    if (!have_shell() || slow_starts())
        GTEST_SKIP() << "needs a POSIX shell and a plain native build";
    Outcome r = run_shell("printf '0 0 0 90\\n10 20 -30 40\\n5 5 6 6\\n0 0 0 1\\n1 1 2 2\\n' | "
                          "(ulimit -v 60000; " + shell_command(filter) + " -j 1 -n 1000000) | wc -l");
    EXPECT_EQ(r.out, "5000010\n") << r.err;
    EXPECT_EQ(r.status, 0);
}

}  // namespace

namespace {

// Fields by the header's names: exactly, then without regard to case, a
// leading '#' no part of the first; a name missing or found twice is
// refused before anything is written, naming it and the header's names.
TEST(Names, FieldsByTheHeadersNames)
{
    TempFile stations("#Network|Station|Latitude|Longitude|Elevation\nIU|A|1|1|100\nIU|B|0|1|5\n");
    TempFile quakes("id,lat,LAT,lon,depth\nq,0,9,0,10\n");
    const std::string quake_header = "id,lat,LAT,lon,depth";
    const struct {
        std::vector<std::string> args;
        std::string out, err;
        int status;
    } cases[] = {
        {{"-F", "Latitude,Longitude", "-f", "lat,lon", "-r", "0,1.2"},
         quake_header + ",Network|Station|Latitude|Longitude|Elevation,dist,az,baz\n"
                        "q,0,9,0,10,IU|B|0|1|5,1.00,90.00,270.00\n",
         "", 0},
        {{"-F", "latitude,LONGITUDE", "-f", "LAT,lon", "-r", "0,1.2"},  // LAT: exactly the third
         quake_header + ",Network|Station|Latitude|Longitude|Elevation,dist,az,baz\n", "", 0},
        {{"-F", "3,Longitude", "-f", "2,lon", "-N", "1"},  // numbers and names together
         quake_header + ",Network|Station|Latitude|Longitude|Elevation,dist,az,baz\n"
                        "q,0,9,0,10,IU|B|0|1|5,1.00,90.00,270.00\n",
         "", 0},
        {{"-F", "Latitude,Longitud"},
         "",
         "ostrem: -F names 'Longitud', which the header of STATIONS does not hold (its names: "
         "Network, Station, Latitude, Longitude, Elevation)",
         2},
        {{"-f", "Lat,lon"}, "", "ostrem: -f names 'Lat', which the header of QUAKES holds twice", 2},
        {{"-k", "-F", "Latitude,Longitude", "-Z", "Elevation", "-f", "lat,lon", "-z", "depth", "-N", "1"},
         quake_header + ",Network|Station|Latitude|Longitude|Elevation,km,az,baz,hypo\n"
                        "q,0,9,0,10,IU|B|0|1|5,111.319,90.000,270.000,111.680\n",
         "", 0},
    };
    for (const auto &c : cases) {
        std::vector<std::string> args = {"-H", "-S", stations.path, "-D", "|", "-d", ","};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back(quakes.path);
        Outcome r = run(filter, args);
        std::string err = c.err;
        for (auto [word, path] : {std::pair<std::string, std::string>{"STATIONS", stations.path},
                                  {"QUAKES", quakes.path}})
            for (size_t at; (at = err.find(word)) != std::string::npos;)
                err.replace(at, word.size(), path);
        const std::string what = testing::PrintToString(c.args);
        EXPECT_EQ(r.out, c.out) << what;
        EXPECT_EQ(r.err.substr(0, err.size()), err) << what << r.err;
        EXPECT_EQ(r.status, c.status) << what;
    }
    // Names need -H; a header read from standard input is still the
    // stream's first line.
    Outcome r = run(filter, {"-d", ",", "-f", "lat,lon", "-s", "0,0"}, {}, quakes.path);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("ostrem: -f takes field numbers; names ('lat,lon') need -H", 0), 0u) << r.err;
    r = run(filter, {"-H", "-a", "-d", ",", "-f", "lat,lon", "-s", "0,1"}, {}, quakes.path);
    EXPECT_EQ(r.out, quake_header + ",dist,az,baz\nq,0,9,0,10,1.00,90.00,270.00\n");
    EXPECT_EQ(r.status, 0);
}

}  // namespace
