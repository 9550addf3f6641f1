// The filter's command line, read with getopt_long in the POSIX manner
// ("+": options end at the first operand).
#include "options.h"

#include <getopt.h>

#if defined(__linux__)
#include <sched.h>
#elif defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "number.h"
#include "ranges.h"
#include "format.h"
#include "messages.h"
#include "ostrem_geodesic.h"

#ifndef OSTREM_VERSION
#define OSTREM_VERSION "unknown"
#endif

namespace filter {

const char usage[] =
    "Usage: ostrem [-k [-z N] [-Z N]] [-m | -w | -n N] [-e LAT,LON | -s LAT,LON] [-f LIST] [-a]\n"
    "              [-d C] [-o C] [-H] [-p N] [-r MIN,MAX] [-A MIN,MAX] [-B MIN,MAX] [-j N]\n"
    "              [-P LIST [-M MODEL]] [file ...]\n"
    "       ostrem -S FILE [-F LIST] [-D C] [-k [-z N] [-Z N]] [-m | -n N] [-f LIST] [-d C] [-o C]\n"
    "              [-H] [-p N] [-r MIN,MAX] [-A MIN,MAX] [-B MIN,MAX] [-N K] [-t N -T S,E]\n"
    "              [-G] [-P LIST [-M MODEL] [-I]] [-j N] [file ...]\n"
    "       ostrem --text [--magnitudes LIST | --magnitudes-first LIST] [file ...]\n";

const char help[] =
    "Distance, azimuth and back-azimuth for each earthquake-station pair, one\n"
    "pair a line (eqlat eqlon stlat stlon); the results of sorvane, bit for bit.\n"
    "\n"
    "  -k          on the WGS84 ellipsoid: km az baz along the geodesic (3 decimals)\n"
    "  -z N        field N holds the earthquake's depth (km), for -P; with -k the\n"
    "              results are km az baz hypo, hypo the straight line from the\n"
    "              hypocentre\n"
    "  -Z N        with -z, field N holds the station's elevation (m; default 0)\n"
    "  -m          midpoints instead (midlat midlon), as brovic prints them\n"
    "  -w          the point reached: lines hold lat lon az dist (km with -k);\n"
    "              prints lat lon\n"
    "  -n N        each pair's path: a line '> ' and the input line, then N + 1\n"
    "              points lat lon from the earthquake to the station\n"
    "  -e LAT,LON  the earthquake (the start for -w) is fixed; lines hold the rest\n"
    "              (-e LAT,LON,DEPTH with -k or -P: its depth too)\n"
    "  -s LAT,LON  the station is fixed; lines hold eqlat eqlon\n"
    "              (-s LAT,LON,ELEVATION with -k: its elevation too)\n"
    "  -f LIST     the fields that hold the numbers, in order (3,4 or 3-6); with -H,\n"
    "              or the header's names (latitude,longitude), here and in -F, -z,\n"
    "              -Z, -t and -T\n"
    "  -a          each input line, then its results\n"
    "  -d C        fields are separated by exactly C ('|', ',', ';', '\\t');\n"
    "              with it, a field that begins with '\"' is quoted as in CSV\n"
    "  -o C        every output field (the line's, the station's, the results)\n"
    "              joined by C, quoted as CSV where it holds C, a quote or a line end\n"
    "  -H          the first line of each file is a header; the output's names\n"
    "              are trimmed, one '#' (the first), and never twice: a station's\n"
    "              name the line has becomes station_NAME, a result's ostrem_NAME\n"
    "  -p N        double precision, N decimals (0 to 9)\n"
    "  -r MIN,MAX  only pairs whose distance lies in [MIN, MAX] degrees (km with -k)\n"
    "  -A MIN,MAX  only pairs whose azimuth lies from MIN clockwise to MAX degrees\n"
    "              (350,10 wraps through north)\n"
    "  -B MIN,MAX  the same on the back-azimuth, at the station\n"
    "  -j N        N threads (1 to " OSTREM_FILTER_TEXT(OSTREM_FILTER_MAX_THREADS)
    "; default: the CPUs available)\n"
    "  -S FILE     each line's earthquake (eqlat eqlon) paired with every station\n"
    "              of FILE (stlat stlon) in the window of -r: the line, the\n"
    "              station's line, then the results\n"
    "  -F LIST     with -S, the station file's fields (as -f; default 1,2)\n"
    "  -D C        with -S, the station file's separator (as -d)\n"
    "              with -S, -z N is the earthquake line's depth field and -Z N\n"
    "              the station line's elevation field (counted as -F counts)\n"
    "  -N K        with -S, each earthquake's K nearest stations in the windows,\n"
    "              nearest first\n"
    "  -t N        with -S, field N of an earthquake's line is its time, and\n"
    "  -T S,E      fields S and E of a station's line its start and end (ISO\n"
    "              8601; E empty: still running): only stations running then\n"
    "  -G          with -S, one line an earthquake: the line, then n dmin gap gap2\n"
    "              of its stations (count, nearest, azimuthal and secondary gap)\n"
    "  -P LIST     after the results, each item's first arrival in seconds after\n"
    "              the origin (nan where none): phases by their names (P,S,PKIKP),\n"
    "              P+Pdiff+PKIKP the earliest of those, firstP and firstS the first\n"
    "              of each kind; the depth from -z, -e's third number or an event\n"
    "              file's own column\n"
    "  -M MODEL    -P's earth model: iasp91 (the default), ak135, or a .tvel or\n"
    "              .nd file\n"
    "  -I          with -S, -t and -P, each arrival as an instant (UTC, to the\n"
    "              millisecond)\n"
    "  --request BEFORE,AFTER  with -S, -t and -P, each pair a line of a data\n"
    "              request, NET STA LOC CHA START END: from BEFORE seconds before\n"
    "              the first arrival of -P's phases to AFTER seconds after it\n"
    "  --text      (first) each file as FDSN text: StationXML and QuakeML as\n"
    "              the station and event text they stand for, one header for\n"
    "              files of one kind\n"
    "  --magnitudes LIST  QuakeML events that prefer no magnitude take the first\n"
    "              of the earliest type in LIST (Mw,Mww,Ms,mb; case ignored)\n"
    "  --magnitudes-first LIST  the same, in place of the preferred one too\n"
    "  --channels  with -S, FDSN channel text paired channel by channel (by\n"
    "              default each station epoch once: its channels' coordinates\n"
    "              and epochs, the channels' own fields empty)\n"
    "  -h, --help  this help;  --version  the version\n"
    "\n"
    "StationXML (for -S) and QuakeML (the input) are read as that text, with\n"
    "-F, -D, -f and -d defaulting to its columns; so is FDSN text, told from\n"
    "its header.\n"
    "Files are read in order; none, or -, is standard input. Status: 0 every\n"
    "line good, 1 some line bad (each gives a line of nan, or none with -r),\n"
    "2 trouble.\n";

namespace {

// A -f list as cut writes it: numbers and ranges, separated by commas,
// the first most of them into field[] (a longer list is counted, and
// refused by its caller).  The count is summed, not stepped through, and
// in 64 bits: a list of thousands of ranges of a million fields is
// counted, not overflowed.
bool field_list(const char *s, int field[], int most, long long *count)
{
    long long n = 0;
    for (const char *p = s;;) {
        char *end;
        long a = std::strtol(p, &end, 10);
        if (end == p || a < 1 || a > max_field)
            return false;
        long b = a;
        if (*end == '-') {
            p = end + 1;
            b = std::strtol(p, &end, 10);
            if (end == p || b < a || b > max_field)
                return false;
        }
        for (long k = a; k <= b && n + (k - a) < most; k++)
            field[n + (k - a)] = static_cast<int>(k);
        n += b - a + 1;
        if (*end == '\0')
            break;
        if (*end != ',')
            return false;
        p = end + 1;
    }
    *count = n;
    return true;
}

// -d's and -D's character: one, or \t for a tab.
bool separator(const char *s, char *sep)
{
    if (std::strcmp(s, "\\t") == 0)
        *sep = '\t';
    else if (std::strlen(s) == 1)
        *sep = s[0];
    else
        return false;
    return true;
}

// A count from 1 to most, all of s in decimal.
bool whole_number(const char *s, long most, int *n)
{
    char *end;
    errno = 0;
    long v = std::strtol(s, &end, 10);
    if (end == s || *end != '\0' || errno != 0 || v < 1 || v > most)
        return false;
    *n = static_cast<int>(v);
    return true;
}

// "A,B" or, where most is 3, "A,B,C": numbers as the programs read them,
// split at the commas.  Returns how many, or 0 if s is not such a list.
int number_list(const char *s, double *v, int most)
{
    int n = 0;
    for (const char *p = s;; n++) {
        const char *comma = std::strchr(p, ',');
        if (n == most || (!comma && n == 0))
            return 0;
        std::string text = comma ? std::string(p, comma) : std::string(p);
        if (!number::read_arg(text.c_str(), &v[n]))
            return 0;
        if (!comma)
            return n + 1;
        p = comma + 1;
    }
}

bool two_numbers(const char *s, double v[2]) { return number_list(s, v, 2) == 2; }

// -A's and -B's sector: two azimuths in [0, 360].
bool sector(const char *s, double v[2])
{
    return two_numbers(s, v) && v[0] >= 0.0 && v[0] <= 360.0 && v[1] >= 0.0 && v[1] <= 360.0;
}

// "LAT,LON", and with -k "LAT,LON,DEPTH" (-e) or "LAT,LON,ELEVATION" (-s):
// in range as the functions will see them (after the rounding to float
// unless -p).  *third says whether the third number was given.
bool fixed_point(const char *s, const Options &o, char end, double fix[3], bool *third)
{
    // A third number: a depth for the hypocentral distance or the
    // arrivals, an elevation for the hypocentral distance.
    const bool ellipsoid = o.surface == Surface::ellipsoid;
    const bool three = ellipsoid || (end == 'e' && !o.phases.empty());
    const int n = number_list(s, fix, three ? 3 : 2);
    if (n < 2)
        return false;
    *third = n == 3;
    const ranges::Range &height = end == 'e' ? ranges::depth : ranges::elevation;
    if (*third && !height.holds(fix[2]))
        return false;
    bool single = o.precision == Precision::float32;
    double lat = single ? static_cast<float>(fix[0]) : fix[0];
    double lon = single ? static_cast<float>(fix[1]) : fix[1];
    return ranges::point_holds(lat, lon);
}

// -z and -Z, and a fixed end's third number: the hypocentral distance,
// which needs -k and a depth, and is a pair's distance (not a midpoint's,
// a walk's or a path's).  The depth and the elevation become the line's
// last numbers, after the coordinates.  Returns nullptr, or what is wrong.
const char *heights(Options &o, int depth_field, int elevation_field, bool third)
{
    const bool depth_fixed = third && o.fixed == End::earthquake;
    if (!depth_field && !elevation_field && !third)
        return nullptr;
    // On the sphere a depth is for the arrivals alone.
    const bool hypocentral = o.surface == Surface::ellipsoid;
    if (!hypocentral && (elevation_field || o.phases.empty()))
        return "-z and -Z need -k (the hypocentral distance is on the WGS84 ellipsoid)";
    if (o.mode != Mode::distance || o.path)
        return "-z and -Z cannot be used with -m, -w or -n";
    if (depth_field && o.fixed == End::earthquake)
        return "-z cannot be used with -e (-e LAT,LON,DEPTH fixes the depth)";
    if (elevation_field && o.fixed == End::station)
        return "-Z cannot be used with -s (-s LAT,LON,ELEVATION fixes the elevation)";
    if (!depth_field && !depth_fixed)
        return "an elevation (-Z N, or -s LAT,LON,ELEVATION) needs the earthquake's depth "
               "(-z N, or -e LAT,LON,DEPTH)";
    o.hypocentral = hypocentral;
    o.has_depth = true;
    if (depth_field) {
        o.field[o.want] = depth_field;
        o.slot[o.want++] = depth;
    }
    if (elevation_field && o.stations) {  // in the station's line
        o.station_elevation_field = elevation_field;
    } else if (elevation_field) {
        o.field[o.want] = elevation_field;
        o.slot[o.want++] = elevation;
    }
    return nullptr;
}

// -P, -M and -I: the phases' columns, their model read once.  Returns 0,
// or 2 after a usage error's message.
int settle_arrivals(Options &o, const Given &g)
{
    // The times may come from the files, which are not read yet.
    if (o.request && (!o.stations || o.phases.empty() || (!o.times && g.inputs_known)))
        return fail("--request needs -S, -P and the earthquake's time (-t, or an event file's)");
    if (o.request && (o.out_sep || o.instants))
        return fail("--request writes lines of its own: not with -o or -I");
    if (o.phases.empty()) {
        if (o.instants)
            return fail("-I needs -P (the arrivals to write as instants)");
        return 0;
    }
    if (o.instants && !o.times)
        return fail("-I needs -S and -t (the earthquake's time)");
    if (!o.has_depth && g.inputs_known)
        return fail("-P needs the earthquake's depth (-z N, or -e LAT,LON,DEPTH)");
    // The reasons are the room's own, whole: a name is quoted in them.
    auto refuse = [](const char *option, const std::string &why) {
        say(stderr, "%s: %s", option, why.c_str());
        std::fputs(usage, stderr);
        return 2;
    };
    std::vector<std::vector<std::string>> items;
    std::string wrong = travel::read_phase_list(o.phases, items);
    if (!wrong.empty())
        return refuse("-P", wrong);
    const std::shared_ptr<const travel::TimesModel> model = travel::shared_model(o.model, wrong, o.threads);
    if (!model) {
        say(stderr, "-M: %s", wrong.c_str());
        return 2;
    }
    std::vector<std::string> names(1);
    for (char c : o.phases)
        if (c == ',')
            names.emplace_back();
        else
            names.back() += c;
    for (const auto &item : items)
        for (const std::string &name : item) {
            wrong = travel::why_no_phase(*model, name);
            if (!wrong.empty())
                return refuse("-P", wrong);
        }
    o.arrivals = std::make_shared<const TravelColumns>(model, std::move(items), std::move(names),
                                                       g.decimals_given ? o.decimals : 3);
    return 0;
}

// -S and its -F, -D, -N, -t and -T: the earthquake's two numbers on each
// line, every station's result after the line and the station's.  Fields
// after the ones named may hold anything, as with -f and -F: the lines are
// copied whole.  Returns nullptr, or what is wrong (a format for the
// station list).
const char *station_table(Options &o, char fixed_opt, bool walks, const char *list,
                          bool sep_given, bool times_given)
{
    if (!o.stations) {
        if (o.nearest)
            return "-N needs -S (the stations to choose the nearest from)";
        if (o.geometry)
            return "-G needs -S (the stations whose geometry it gives)";
        if (times_given)
            return "-t and -T need -S (the station file whose epochs they compare)";
        return list || sep_given ? "-F and -D need -S (the station file they describe)" : nullptr;
    }
    if (fixed_opt)
        return fixed_opt == 'e' ? "-S cannot be used with -e (the lines hold the earthquakes)"
                                : "-S cannot be used with -s (the file holds the stations)";
    if (walks)
        return "-S cannot be used with -w (a walk has no station)";
    if (times_given && (!o.times || !o.station_time_field[0]))
        return "-t and -T go together (the earthquake's time, the station's start and end)";
    if (list) {
        long long count = 0;
        if (!field_list(list, o.station_field, 2, &count))
            return "-F takes field numbers from 1, as 3,4 or 3-6, not '%s'";
        if (count != 2)
            return "-F must name 2 fields";
        o.station_fields_given = true;
    }
    o.listed = o.station_listed = true;
    o.append = true;
    return nullptr;
}

}  // namespace


// A usage error: the message, with the value shown cut and with control
// bytes escaped however long or odd the argument, and the usage; 2.
int fail(const char *fmt, const char *what)
{
    char shown[shown_size];
    show(shown, what, std::strlen(what));
    char text[512];
    std::snprintf(text, sizeof text, fmt, shown);
    say(stderr, "%s", text);
    std::fputs(usage, stderr);
    return 2;
}

namespace {

// A field list with a name in it (an item that is no number nor range).
bool names_a_field(const char *s)
{
    for (const char *p = s; *p; p++)
        if (!(*p >= '0' && *p <= '9') && *p != ',' && *p != '-')
            return true;
    return false;
}

// Where the first reading of the command line takes names: a list of
// them is noted, and as many numbers stand in for it.
const char *noted(Given &g, char option, const char *value)
{
    if (!g.names || !names_a_field(value))
        return value;
    g.names->given.push_back({option, value});
    std::string numbers = "1";
    int items = 1;
    for (const char *p = value; *p; p++)
        if (*p == ',')
            numbers += "," + std::to_string(++items);
    g.names->stand_ins.push_back(numbers);
    return g.names->stand_ins.back().c_str();
}

// An option that takes a number (-n, -z, -Z, -p, -r, -A, -B) into o or g: 0,
// or 2 after a usage error's message.
int take_number(int c, Options &o, Given &g)
{
    switch (c) {
    case 'n':
        if (!whole_number(optarg, max_steps, &o.path))
            return fail("-n takes a number of steps from 1 to " OSTREM_FILTER_TEXT(
                            OSTREM_FILTER_MAX_STEPS) ", not '%s'",
                        optarg);
        break;
    case 'z':
    case 'Z':
        if (!whole_number(optarg, max_field, c == 'z' ? &g.depth_field : &g.elevation_field))
            return fail(c == 'z' ? "-z takes a field number from 1, not '%s'"
                                 : "-Z takes a field number from 1, not '%s'",
                        optarg);
        break;
    case 'p':
        if (optarg[0] < '0' || optarg[0] > '9' || optarg[1] != '\0')
            return fail("-p takes a number of decimals from 0 to 9, not '%s'", optarg);
        o.precision = Precision::float64;
        o.decimals = optarg[0] - '0';
        g.decimals_given = true;
        break;
    case 'r':
        if (!two_numbers(optarg, o.range) || !(o.range[0] <= o.range[1]))
            return fail("-r takes MIN,MAX, two distances in degrees with MIN <= MAX, not '%s'",
                        optarg);
        o.window = true;
        break;
    case 'A':
    case 'B':
        if (!sector(optarg, c == 'A' ? o.azimuth : o.back_azimuth))
            return fail(c == 'A' ? "-A takes MIN,MAX, two azimuths from 0 to 360, not '%s'"
                                 : "-B takes MIN,MAX, two back-azimuths from 0 to 360, not '%s'",
                        optarg);
        (c == 'A' ? o.by_azimuth : o.by_back_azimuth) = true;
        break;
    }
    return 0;
}

}  // namespace

stations::Selection selection_of(const Options &o)
{
    stations::Selection s;
    s.window.by_distance = o.window;
    s.window.min = o.range[0];
    s.window.max = o.range[1];
    if (o.by_azimuth)
        s.window.azimuth = stations::Sector::between(o.azimuth[0], o.azimuth[1]);
    if (o.by_back_azimuth)
        s.window.back_azimuth = stations::Sector::between(o.back_azimuth[0], o.back_azimuth[1]);
    s.nearest = static_cast<size_t>(o.nearest);
    s.by_time = o.times > 0;
    return s;
}

namespace {

// -N, -t, -T and -j into o or g: 0, or 2 after a usage error's message.
int take_count(int c, Options &o, Given &g)
{
    switch (c) {
    case 'N': {
        int n = 0;
        if (!whole_number(optarg, max_nearest, &n))
            return fail("-N takes a number of stations from 1, not '%s'", optarg);
        o.nearest = n;
        break;
    }
    case 't':
        if (!whole_number(optarg, max_field, &o.time_field[0]))
            return fail("-t takes a field number from 1, not '%s'", optarg);
        o.times = 1;
        g.times_given = true;
        break;
    case 'T': {
        long long count = 0;
        if (!field_list(optarg, o.station_time_field, 2, &count) || count != 2)
            return fail("-T takes two field numbers from 1, START,END, not '%s'", optarg);
        g.times_given = true;
        break;
    }
    case 'j':
        if (!whole_number(optarg, max_threads, &g.threads))
            return fail("-j takes a number of threads from 1 to " OSTREM_FILTER_TEXT(
                            OSTREM_FILTER_MAX_THREADS) ", not '%s'",
                        optarg);
        break;
    }
    return 0;
}

// The long options without a letter.
enum { magnitudes_option = 0x100, magnitudes_first_option, channels_option, request_option };

// -d, -D and -o: 0, or 2 after a usage error's message.
int take_separator(int c, Options &o, Given &g)
{
    switch (c) {
    case 'd':
    case 'D':
        if (!separator(optarg, c == 'd' ? &o.sep : &o.station_sep))
            return fail(c == 'd' ? "-d takes one character (or \\t), not '%s'"
                                 : "-D takes one character (or \\t), not '%s'",
                        optarg);
        g.station_sep_given = g.station_sep_given || c == 'D';
        break;
    case 'o':
        if (!separator(optarg, &o.out_sep) || o.out_sep == '"' || o.out_sep == '\n' ||
            o.out_sep == '\r')
            return fail("-o takes one character (or \\t) other than a quote or a line end, not '%s'",
                        optarg);
        break;
    }
    return 0;
}

// The long options without a letter: 0, or 2 after a usage error's message.
int take_long(int c, Options &o)
{
    switch (c) {
    case magnitudes_option:
    case magnitudes_first_option:
        if (!files::magnitude_types(optarg, o.magnitudes))
            return fail(c == magnitudes_option
                            ? "--magnitudes takes magnitude types separated by commas (Mw,mb), not '%s'"
                            : "--magnitudes-first takes magnitude types separated by commas (Mw,mb), not '%s'",
                        optarg);
        o.magnitudes.instead = c == magnitudes_first_option;
        break;
    case channels_option: o.channels = true; break;
    case request_option:
        if (!two_numbers(optarg, o.request_window) || !(o.request_window[0] >= 0) || !(o.request_window[1] >= 0) ||
            !(o.request_window[0] + o.request_window[1] > 0) || o.request_window[0] + o.request_window[1] > 86400)
            return fail("--request takes BEFORE,AFTER, seconds from 0 (a day at most together), not '%s'", optarg);
        o.request = true;
        break;
    }
    return 0;
}

// What getopt could not take: an option without its value, or one
// unknown; 2 after the message.
int refuse_option(int c, char **argv)
{
    char opt[3] = {'-', static_cast<char>(optopt), '\0'};
    if (c == ':')
        return fail("option %s needs a value", opt);
    if (optopt)
        return fail("unknown option %s", opt);
    return fail("unknown option %s", argv[optind - 1]);
}

// One option (getopt's c and optarg) into o or g: 0 to go on, 2 after a
// usage error's message, -1 after the help or the version.
int take_option(int c, char **argv, Options &o, Given &g)
{
    if (c == 'z' || c == 'Z' || c == 't' || c == 'T') {  // fields, which names may give
        g.last[static_cast<char>(c)] = optarg;
        optarg = const_cast<char *>(noted(g, static_cast<char>(c), optarg));
    }
    switch (c) {
    case 'n':
    case 'z':
    case 'Z':
    case 'p':
    case 'r':
    case 'A':
    case 'B':
        return take_number(c, o, g);
    case 'N':
    case 't':
    case 'T':
    case 'j':
        return take_count(c, o, g);
    case 'k': o.surface = Surface::ellipsoid; break;
    case 'm': g.mid = true; break;
    case 'w': g.walk = true; break;
    case 'e':
    case 's':
        if (g.fixed_opt && g.fixed_opt != c)
            return fail("-e and -s cannot be used together");
        g.fixed_opt = static_cast<char>(c);
        g.fixed_arg = optarg;
        break;
    case 'f':
        g.last['f'] = optarg;
        g.list_arg = noted(g, 'f', optarg);
        break;
    case 'a': o.append = true; break;
    case 'd':
    case 'D':
    case 'o':
        return take_separator(c, o, g);
    case 'S': o.stations = optarg; break;
    case 'F':
        g.last['F'] = optarg;
        g.station_list_arg = noted(g, 'F', optarg);
        break;
    case 'H': o.header = true; break;
    case 'G': o.geometry = true; break;
    case 'P': o.phases = optarg; break;
    case 'M': o.model = optarg; break;
    case 'I': o.instants = true; break;
    case 'h': std::fputs(usage, stdout); std::fputs(help, stdout); return -1;
    case 'V': std::puts("ostrem " OSTREM_VERSION); return -1;
    case 'X': return fail("--text comes first, and takes files alone: ostrem --text [file ...]");
    case magnitudes_option:
    case magnitudes_first_option:
    case channels_option:
    case request_option:
        return take_long(c, o);
    default:
        return refuse_option(c, argv);
    }
    return 0;
}

// What the options say together: the modes they combine into, and the
// combinations that cannot work.  0 or the status.
int settle_modes(Options &o, const Given &g)
{
    if (g.mid && g.walk)
        return fail("-m and -w cannot be used together");
    if (g.fixed_opt == 's' && g.walk)
        return fail("-s cannot be used with -w (-e fixes the start)");
    if (o.window && g.walk)
        return fail("-r cannot be used with -w (a walk has no distance to select by)");
    if ((o.by_azimuth || o.by_back_azimuth) && g.walk)
        return fail("-A and -B cannot be used with -w (a walk has no pair to select by)");
    if (o.path && (g.mid || g.walk))
        return fail(g.mid ? "-n cannot be used with -m (a path has its own midpoint)"
                        : "-n cannot be used with -w (a path runs between two points)");
    if (const char *wrong = station_table(o, g.fixed_opt, g.walk, g.station_list_arg,
                                          g.station_sep_given, g.times_given))
        return fail(wrong, g.station_list_arg ? g.station_list_arg : "");
    if (o.surface == Surface::ellipsoid) {
        // Kilometres, from numbers read in double precision.
        o.precision = Precision::float64;
        if (!g.decimals_given)
            o.decimals = 3;
    }
    o.mode = g.walk ? Mode::walk : g.mid ? Mode::midpoint : Mode::distance;
    o.fixed = g.fixed_opt == 'e' ? End::earthquake : g.fixed_opt == 's' ? End::station : End::none;
    o.want = g.fixed_opt || o.stations ? 2 : 4;
    for (int i = 0; i < o.want; i++)  // after -e's point, before -s's
        o.slot[i] = (o.fixed == End::earthquake ? stlat : eqlat) + i;
    return 0;
}

// The numbers each line gives: the fixed end's (-e, -s), the fields of
// -f, the heights; then the threads.  0 or the status.
int settle_numbers(Options &o, const Given &g)
{
    bool third = false;
    if (g.fixed_arg && !fixed_point(g.fixed_arg, o, g.fixed_opt, o.fix, &third)) {
        if (o.surface == Surface::ellipsoid) {
            // "-e takes LAT,LON or LAT,LON,DEPTH (depth -10 to 1000 km), ..."
            const ranges::Range &height = g.fixed_opt == 'e' ? ranges::depth : ranges::elevation;
            char what[64], format[192];
            height.describe(what, sizeof what);
            std::snprintf(format, sizeof format,
                          "-%c takes LAT,LON or LAT,LON,%s (%s), numbers in range, not '%%s'",
                          g.fixed_opt, g.fixed_opt == 'e' ? "DEPTH" : "ELEVATION", what);
            return fail(format, g.fixed_arg);
        }
        return fail(g.fixed_opt == 'e' ? "-e takes LAT,LON, two numbers in range, not '%s'"
                                     : "-s takes LAT,LON, two numbers in range, not '%s'",
                    g.fixed_arg);
    }
    if (g.list_arg) {
        long long count = 0;
        if (!field_list(g.list_arg, o.field, pair_numbers, &count))
            return fail("-f takes field numbers from 1, as 3,4 or 3-6, not '%s'", g.list_arg);
        if (count != o.want) {
            char need[64];
            std::snprintf(need, sizeof need, "-f must name %d fields, not %lld", o.want, count);
            return fail(need);
        }
        o.listed = o.fields_given = true;
    }
    if (!o.phases.empty() && (o.mode != Mode::distance || o.path || o.geometry))
        return fail("-P cannot be used with -m, -w, -n or -G (the arrivals are a pair's)");
    if (const char *wrong = heights(o, g.depth_field, g.elevation_field, third))
        return fail(wrong);
    if (o.geometry && (o.mode != Mode::distance || o.path || o.hypocentral))
        return fail("-G cannot be used with -m, -n, -z or -Z (it gives one line an earthquake)");
    o.threads = g.threads ? g.threads : available_cpus();
    if (int status = settle_arrivals(o, g))
        return status;
    o.selection = selection_of(o);
    return 0;

}

}  // namespace

int read_options(int argc, char **argv, Options &o, Given &g, int *first)
{
    static const option longs[] = {{"help", no_argument, nullptr, 'h'},
                                   {"version", no_argument, nullptr, 'V'},
                                   {"text", no_argument, nullptr, 'X'},
                                   {"magnitudes", required_argument, nullptr, magnitudes_option},
                                   {"magnitudes-first", required_argument, nullptr, magnitudes_first_option},
                                   {"channels", no_argument, nullptr, channels_option},
                                   {"request", required_argument, nullptr, request_option},
                                   {nullptr, 0, nullptr, 0}};
    opterr = 0;  // the messages are in this program's words
    for (int c; (c = getopt_long(argc, argv, "+:kmwn:e:s:f:ad:o:Hp:r:A:B:N:t:T:Gj:z:Z:S:F:D:P:M:Ih", longs, nullptr)) != -1;)
        if (int status = take_option(c, argv, o, g))
            return status;
    *first = optind;
    return 0;
}

int settle_options(Options &o, const Given &g)
{
    if (int status = settle_modes(o, g))
        return status;
    return settle_numbers(o, g);
}

int give(char option, const std::string &value, Options &o, Given &g)
{
    g.kept.push_back(value);
    optarg = &g.kept.back()[0];
    Names *names = g.names;
    g.names = nullptr;  // a value given here is no name to note
    const int status = take_option(option, nullptr, o, g);
    g.names = names;
    return status;
}

int options(int argc, char **argv, Options &o, int *first, Names *names)
{
    Given g;
    g.names = names;
    if (int status = read_options(argc, argv, o, g, first))
        return status;
    return settle_options(o, g);
}

int available_cpus()
{
    int n = 0;
#if defined(__linux__)
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0)
        n = CPU_COUNT(&set);
#elif defined(_WIN32)
    DWORD_PTR process, system;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system))
        for (; process; process &= process - 1)
            n++;
#endif
    if (n < 1)
        n = static_cast<int>(std::thread::hardware_concurrency());
    return n < 1 ? 1 : n > max_threads ? max_threads : n;
}

}  // namespace filter
