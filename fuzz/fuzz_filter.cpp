// Feeds arbitrary bytes to the filter as a stream, through the same reading,
// parsing and formatting code as the program, under options the first
// three bytes choose (mode, separator, -f, -a, -H, -p, -r, -k, -n, -z), and aborts when
// a promise breaks: one output line for every input line (without -r),
// each a copy of a blank or comment line, or (after the input line itself
// with -a) a result line with the chosen decimals and values in their
// ranges, or nan fields; and two threads over small blocks write what one
// thread writes, output and messages.  (The number reader and writers, a
// line's numbers and the option reader have light targets of their own.)
// An input whose first byte is 0xfe is a station table and a
// stream of earthquakes (split at the first NUL) for -S: the pairing
// engine must keep exactly the stations that computing every pair keeps
// (in the windows of distance and azimuth, or the nearest K by distance
// and then by line), and two threads must write what one writes.
#include <sys/mman.h>
#include <unistd.h>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <string>
#include <vector>

#include "number.h"
#include "../commands/ostrem/fields.h"
#include "../commands/ostrem/format.h"
#include "../commands/ostrem/header.h"
#include "../commands/ostrem/options.h"
#include "../commands/ostrem/record.h"
#include "../commands/ostrem/stations.h"
#include "../commands/ostrem/stream.h"
#include "fdsn_xml.h"
#include "ostrem.h"
#include "ostrem_geodesic.h"

using namespace filter;

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

// "nan", "-nan" or a number with exactly `decimals` decimals within
// [lo, hi] (a rounded -0.001 prints as -0.00, hence the slack below 0).
bool value_ok(const std::string &v, int decimals, double lo, double hi)
{
    if (v == "nan" || v == "-nan")
        return true;
    size_t dot = v.find('.');
    if (decimals == 0 ? dot != std::string::npos
                      : dot == std::string::npos || dot + decimals + 1 != v.size() || dot == 0)
        return false;
    char *end;
    double d = std::strtod(v.c_str(), &end);
    return *end == '\0' && d >= lo - 0.5 && d <= hi;
}

// The results after the copied input line: distance, azimuth, back-azimuth;
// or a latitude and a longitude (-m, -w).
bool result_ok(const std::string &line, const Options &o, int results, char join)
{
    // Kilometres on the ellipsoid: at most half a meridian's 20,004 km.
    const double far = o.surface == Surface::ellipsoid ? 20004 : 180;
    // The hypocentral distance is at most the diameter plus the heights.
    const double ranges[2][4][2] = {{{0, far}, {0, 360}, {0, 360}, {0, 12800}},
                                    {{-90, 90}, {0, 360}, {0, 0}, {0, 0}}};
    const int mid = o.mode != Mode::distance;
    std::vector<std::string> v;
    for (size_t i = 0, j = 0; j != std::string::npos; i = j + 1) {
        j = line.find(join, i);
        v.push_back(line.substr(i, j == std::string::npos ? j : j - i));
    }
    if (v.size() != static_cast<size_t>(results))
        return false;
    for (size_t k = 0; k < v.size(); k++)
        if (!value_ok(v[k], o.decimals, ranges[mid][k][0], ranges[mid][k][1]))
            return false;
    return true;
}

// The options the first three bytes choose.
Options choose(uint8_t a, uint8_t b, uint8_t c)
{
    static const char seps[4] = {0, ',', '|', '\t'};
    Options o;
    o.mode = a % 3 == 0 ? Mode::distance : a % 3 == 1 ? Mode::midpoint : Mode::walk;
    o.sep = seps[(a >> 2) & 3];
    o.append = a & 16;
    o.header = a & 32;
    if (a & 64) {
        o.fixed = o.mode == Mode::walk || !(b & 1) ? End::earthquake : End::station;
        o.fix[0] = 12.5;
        o.fix[1] = -170.25;
        o.fix[2] = 35;  // the depth or the elevation, if the hypocentral distance is asked for
        o.want = 2;
        o.slot[0] = o.fixed == End::earthquake ? stlat : eqlat;
        o.slot[1] = o.slot[0] + 1;
    }
    if (a & 128) {  // fields listed, out of order, and a repeat when 4 are wanted
        static const int lists[4][4] = {{3, 1, 2, 2}, {2, 5, 1, 4}, {4, 3, 2, 1}, {1, 6, 3, 2}};
        for (int i = 0; i < 4; i++)
            o.field[i] = lists[(b >> 1) & 3][i];
        o.listed = true;
    }
    if (int p = (b >> 3) % 11) {  // 0: the programs' floats
        o.precision = Precision::float64;
        o.decimals = p - 1;
    }
    if (c & 64) {  // the ellipsoid: double precision, 3 decimals unless -p
        o.surface = Surface::ellipsoid;
        if (o.precision == Precision::float32)
            o.decimals = 3;
        o.precision = Precision::float64;
    }
    if (c & 128 && o.mode == Mode::distance)
        o.path = 1 + (c >> 1) % 4;
    // The hypocentral distance: a depth in field 5 (or -e's), and with -s
    // or (b & 1) an elevation in field 6 (or -s's).
    if (o.surface == Surface::ellipsoid && o.mode == Mode::distance && !o.path && (c & 6) == 6) {
        o.hypocentral = true;
        if (o.fixed != End::earthquake) {
            o.field[o.want] = 5;
            o.slot[o.want++] = depth;
        }
        if (o.fixed == End::none && b & 1) {
            o.field[o.want] = 6;
            o.slot[o.want++] = elevation;
        }
    }
    if (c & 1 && o.mode != Mode::walk) {
        o.window = true;
        const double unit = o.surface == Surface::ellipsoid ? 111.0 : 1.0;  // km a degree
        o.range[0] = (c >> 1) % 4 * 30.0 * unit;
        o.range[1] = o.range[0] + (c >> 3) % 8 * 20.0 * unit;
    }
    o.selection = selection_of(o);  // as the options settle it
    return o;
}

std::string read_all(int fd)
{
    std::string s;
    lseek(fd, 0, SEEK_SET);
    char buf[1 << 16];
    for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;)
        s.append(buf, static_cast<size_t>(n));
    return s;
}

// The filter over in: what it writes and what it says.
struct Run {
    std::string out, msgs;
};
Run run(const Options &opt, const std::string &in, int threads, size_t block, size_t limit,
        const StationTable *stations = nullptr)
{
    int infd = memfd_create("in", 0), outfd = memfd_create("out", 0);
    check(infd >= 0 && outfd >= 0);
    check(write(infd, in.data(), in.size()) == static_cast<ssize_t>(in.size()));
    lseek(infd, 0, SEEK_SET);
    char *msgs = nullptr;
    size_t msgs_size = 0;
    FILE *m = open_memstream(&msgs, &msgs_size);
    {
        Out out(outfd);
        Record rec(opt);
        if (stations)
            rec.pair_with(stations);
        Stream f(rec, out, m, threads, block, limit);
        f.stream(infd, "fuzz");
        f.finish();
        // XML of another kind than QuakeML is refused, as trouble.
        check(out.flush() && (!f.trouble() || files::looks_like_xml(in.data(), in.size())));
    }
    std::fclose(m);
    Run r{read_all(outfd), std::string(msgs, msgs_size)};
    std::free(msgs);
    close(infd);
    close(outfd);
    return r;
}

// The distance and azimuths the run computes for a pair, as the filter's
// line would; false where the module refuses it.
bool inverse(const Options &o, double eqlat, double eqlon, double stlat, double stlon,
             stations::Seen &s)
{
    if (o.surface == Surface::ellipsoid)
        return geodesic(eqlat, eqlon, stlat, stlon, &s.distance, &s.azimuth, &s.back_azimuth) == 0;
    if (o.precision == Precision::float64)
        return ostremd(eqlat, eqlon, stlat, stlon, &s.distance, &s.azimuth, &s.back_azimuth) == 0;
    float d, az, baz;
    if (ostrem(static_cast<float>(eqlat), static_cast<float>(eqlon), static_cast<float>(stlat),
               static_cast<float>(stlon), &d, &az, &baz) != 0)
        return false;
    s = {d, az, baz};
    return true;
}

// The options of -S that two bytes choose.
Options station_options(const uint8_t *data)
{
    Options o;
    o.stations = "stations";
    o.want = 2;
    o.append = true;
    if (data[0] & 1) {
        o.surface = Surface::ellipsoid;
        o.precision = Precision::float64;
        o.decimals = 3;
    } else if (data[0] & 2) {
        o.precision = Precision::float64;
        o.decimals = 4;
    }
    o.mode = data[0] & 4 ? Mode::midpoint : Mode::distance;
    // Bit 8: each pair's path, or with an odd range byte one line an
    // earthquake of how its stations surround it (-G).
    o.geometry = data[0] & 8 && data[1] & 1 && o.mode == Mode::distance;
    o.path = data[0] & 8 && !o.geometry && o.mode == Mode::distance ? 2 : 0;
    const double unit = o.surface == Surface::ellipsoid ? 111.2 : 1.0;
    o.window = !(data[0] & 128);
    o.range[1] = data[1] * (180.0 / 255.0) * unit;
    o.range[0] = data[0] & 16 ? o.range[1] / 2 : 0;
    if (data[0] & 32) {  // a sector of the azimuth, wrapping through north where it passes 360
        o.by_azimuth = true;
        o.azimuth[0] = data[1] * (360.0 / 255.0);
        o.azimuth[1] = std::fmod(o.azimuth[0] + 100.0, 360.0);
    }
    if (data[0] & 64)
        o.nearest = 1 + data[1] % 6;
    if (data[1] & 2)  // every field joined by one separator
        o.out_sep = ',';
    return o;
}

// The gaps of the stations kept lie within the compass, and taking a
// direction away never narrows the largest.
void check_gaps(const Options &o, const StationTable &stations, const double c[2],
                const std::vector<std::pair<double, uint32_t>> &kept)
{
    stations::NetworkGeometry<double> network;
    network.clear();
    stations::Seen s;
    for (const auto &k : kept) {
        inverse(o, c[0], c[1], stations.lat(k.second), stations.lon(k.second), s);
        network.add(s.distance, s.azimuth);
    }
    const stations::Geometry<double> g = network.result();
    check(g.count == kept.size() && g.gap >= 0 && g.gap <= g.secondary && g.secondary <= 360.001);
}

// Each earthquake line's two numbers, where they are a point in range: the
// engine's pairs against every pair's.
void check_pairs(const Options &o, const StationTable &stations, const std::string &in)
{
    const stations::Window window = o.selection.window;
    for (size_t p = 0; p < in.size();) {
        size_t e = in.find('\n', p);
        e = e == std::string::npos ? in.size() : e;
        std::string line = in.substr(p, e - p);
        p = e + 1;
        double c[2];
        int k = 0;
        bool ok = split_blanks(line.data(), line.data() + line.size(),
                               [&](int, const char *start, const char *stop) {
                                   if (k < 2 && !number::read(start, stop, &c[k]))
                                       k = 3;
                                   k++;
                               }) == 2 && k == 2;
        stations::Seen s;
        if (!ok || !inverse(o, c[0], c[1], 0, 0, s) || std::isnan(s.distance))
            continue;
        std::vector<std::pair<double, uint32_t>> every;
        for (uint32_t j = 0; j < stations.size(); j++)
            if (inverse(o, c[0], c[1], stations.lat(j), stations.lon(j), s) && window.holds(s))
                every.emplace_back(o.nearest ? s.distance : 0.0, j);
        if (o.nearest) {
            std::sort(every.begin(), every.end());
            every.resize(std::min(every.size(), static_cast<size_t>(o.nearest)));
        }
        std::vector<std::pair<double, uint32_t>> kept;
        struct Nothing {};
        stations.pairing().pair<Nothing>(
            c[0], c[1], stations::Instant(),
            [&](uint32_t j, Nothing &, stations::Seen &seen) {
                return inverse(o, c[0], c[1], stations.lat(j), stations.lon(j), seen);
            },
            [&](uint32_t j, const Nothing &) {
                inverse(o, c[0], c[1], stations.lat(j), stations.lon(j), s);
                kept.emplace_back(o.nearest ? s.distance : 0.0, j);
            });
        check(kept == every);
        check_gaps(o, stations, c, kept);
    }
}

// -S over a station table and earthquakes from the bytes: the engine keeps
// exactly the pairs of computing every pair, whatever the points (the
// poles, the date line, duplicates, the window's end itself), in windows
// of distance and azimuth and for the nearest K; one thread and two write
// the same.
void station_table(const uint8_t *data, size_t size)
{
    if (size < 2)
        return;
    Options o = station_options(data);
    std::string text(reinterpret_cast<const char *>(data + 2), size - 2);
    size_t nul = text.find('\0');
    std::string table = text.substr(0, nul), in = nul == std::string::npos ? "" : text.substr(nul + 1);

    int fd = memfd_create("stations", 0);
    check(fd >= 0 && write(fd, table.data(), table.size()) == static_cast<ssize_t>(table.size()));
    char name[64];
    std::snprintf(name, sizeof name, "/proc/self/fd/%d", fd);
    StationTable stations;
    o.selection = selection_of(o);
    check(stations.load(name, o) == 0);
    close(fd);
    if (!stations.refusal().empty())
        return;  // XML of another kind: no table (the filter ends there, status 2)
    check_pairs(o, stations, in);
    const Run small = run(o, in, 1, 64, 24, &stations), threaded = run(o, in, 2, 64, 24, &stations);
    check(threaded.out == small.out && threaded.msgs == small.msgs);
}

// A header with a name to trim, or that a result's name clashes with, is
// written anew from its names: each once.  False where it is not.
bool rewritten_header(const Options &opt, const Record &rec, const std::string &body, const std::string &oline)
{
    const char join = rec.joiner(body.data(), body.size());
    const HeaderNames mine = header_names(body.data(), body.size(), opt.sep);
    if (!header_rewritten(mine, nullptr, rec.names(), rec.results()))
        return false;
    const std::vector<std::string> names = output_names(mine, nullptr, rec.names(), rec.results());
    std::string want;
    for (size_t k = 0; k < names.size(); k++) {
        if (k > 0)
            want += k < mine.names.size() && opt.sep ? opt.sep : join;
        want += names[k];
    }
    check(oline == want);
    auto bare = [&](size_t k) {  // without the first's '#', case ignored
        std::string n = k == 0 && mine.marked ? names[k].substr(1) : names[k];
        for (char &c : n)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return n;
    };
    for (size_t k = mine.names.size(); k < names.size(); k++)  // the results, set apart
        for (size_t e = 0; e < k; e++)
            check(bare(k) != bare(e));
    return true;
}

// Line by line: input line k gives output line k.
void check_lines(const Options &opt, const std::string &in, const std::string &got)
{
    // A byte-order mark before the first line is no part of it.
    const Record rec(opt);
    size_t ip = in.compare(0, 3, byte_order_mark) == 0 ? 3 : 0, op = 0;
    for (int lineno = 1; ip < in.size(); lineno++) {
        size_t ie = in.find('\n', ip), oe = got.find('\n', op);
        if (ie == std::string::npos)
            ie = in.size();
        check(oe != std::string::npos);
        std::string iline = in.substr(ip, ie - ip), oline = got.substr(op, oe - op);
        size_t k = iline.find_first_not_of(" \t");
        bool copied = k == std::string::npos || iline[k] == '#' ||
                      (k + 1 == iline.size() && iline[k] == '\r');
        if (iline.size() > max_line) {
            check(result_ok(oline, opt, rec.results(), opt.joiner()));  // not copied, even with -a
        } else {
            std::string body = iline.substr(0, iline.size() - (!iline.empty() && iline.back() == '\r'));
            std::string results = oline;
            const char join = rec.joiner(body.data(), body.size());
            if (opt.header && lineno == 1 && opt.append && rewritten_header(opt, rec, body, oline)) {
                ip = ie + 1;
                op = oe + 1;
                continue;
            }
            if (opt.append && !(copied && !(opt.header && lineno == 1))) {
                check(oline.compare(0, body.size(), body) == 0 &&
                      oline[body.size()] == rec.joiner(body.data(), body.size()));
                results = oline.substr(body.size() + 1);
            }
            if (opt.header && lineno == 1) {
                std::string names = opt.mode == Mode::distance
                                        ? opt.hypocentral                   ? "km az baz hypo"
                                          : opt.surface == Surface::ellipsoid ? "km az baz"
                                                                              : "dist az baz"
                                    : opt.mode == Mode::midpoint ? "midlat midlon"
                                                            : "lat lon";
                for (char &c : names)
                    c = c == ' ' ? rec.joiner(body.data(), body.size()) : c;
                check(results == names);
            }
            else if (copied)
                check(oline == iline);
            else
                check(result_ok(results, opt, rec.results(), rec.joiner(body.data(), body.size())));
        }
        ip = ie + 1;
        op = oe + 1;
    }
    check(op == got.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size >= 1 && data[0] == 0xfe) {
        station_table(data + 1, size - 1);
        return 0;
    }
    if (size < 3)
        return 0;
    const Options opt = choose(data[0], data[1], data[2]);
    data += 3;
    size -= 3;

    std::string in(reinterpret_cast<const char *>(data), size);

    const Run one = run(opt, in, 1, default_block, max_line);
    const std::string &got = one.out;

    // Two threads over blocks of a few lines, with lines of up to 24 bytes
    // kept, write what one thread writes with the same blocks; and where
    // no line is longer, what the default blocks give.
    const Run small = run(opt, in, 1, 64, 24), threaded = run(opt, in, 2, 64, 24);
    check(threaded.out == small.out && threaded.msgs == small.msgs);
    size_t longest = 0;
    for (size_t i = 0, j; i <= in.size(); i = j + 1) {
        j = in.find('\n', i);
        j = j == std::string::npos ? in.size() : j;
        longest = std::max(longest, j - i);
    }
    // The kind of input (XML or text) is told within a line's limit of
    // its first bytes: white space longer than 24 bytes before a '<' is
    // text to the small runs and XML to the default one.
    const bool told_alike = files::kind_told(in.data(), std::min<size_t>(in.size(), 24)) ||
                            !files::looks_like_xml(in.data(), in.size());
    if (longest <= 24 && told_alike)
        check(small.out == one.out && small.msgs == one.msgs);
    if (opt.window || opt.path)
        return 0;  // lines out of the window, or bad, write nothing; a path writes many
    if (files::looks_like_xml(in.data(), in.size()))
        return 0;  // read as the text it stands for, which fuzz_xml checks; above, its blocks and threads

    check_lines(opt, in, got);
    return 0;
}
