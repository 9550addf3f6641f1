// The filter's -S: an earthquake file against a station file gives exactly
// the lines that every pair written out and filtered gives, byte for byte,
// whatever the index leaves out; bad station lines are reported and take
// no part.
#include <cstdio>
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
};

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
        for (const std::string &s : stations)
            t.pairs += q + " " + s + "\n";
    }
    for (const std::string &s : stations)
        t.stations += s + "\n";
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
        if (OSTREM_HAVE_ELLIPSOID && geodesic(a.olat, a.olon, b.tlat, b.tlon, &km, &kaz, &kbaz) == 0)
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
        {"-k", "-r", "5000,20040"}, {"-k", "-m", "-r", "0,2000"}, {"-k", "-n", "2", "-r", "0,800"}};
    for (const std::vector<std::string> &w : windows_at_pairs(t))
        sets.push_back(w);
    for (const std::vector<std::string> &opts : sets) {
        if (!OSTREM_HAVE_ELLIPSOID && asks_for_kilometres(opts))
            continue;
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
         std::vector<std::vector<std::string>>{{}, {"-r", "20,120"}, {"-n", "40", "-r", "0,50"}}) {
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
     "id,lat,lon,code;lat;lon,dist,az,baz\n\"q,1\",0,0,A;1;1,1.41,45.19,225.20\n"
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
    {"no_stations", {}, "# none\n", "0 0\n", "", "", 0},
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
        {"-D", ","}};
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
