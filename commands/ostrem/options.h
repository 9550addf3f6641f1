// What the command line asks of the filter, and how it is read.
#ifndef OSTREM_FILTER_OPTIONS_H
#define OSTREM_FILTER_OPTIONS_H

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "computations.h"
#include "fdsn_xml.h"
#include "travel_columns.h"

namespace filter {

// What each line is turned into.
enum class Mode { distance, midpoint, walk };
// The functions that do it: the programs' float ones, or with -p the
// double ones.
enum class Precision { float32, float64 };
// The end that -e or -s fixes for every line: the earthquake (the start
// of a walk) or the station.
enum class End { none, earthquake, station };

// Where: the module's geocentric sphere, or with -k the WGS84 ellipsoid
// (kilometres, in double precision).
enum class Surface { sphere, ellipsoid };

// A pair's numbers, in the order the computations take them.
using computations::Slot;
using computations::eqlat;
using computations::eqlon;
using computations::stlat;
using computations::stlon;
using computations::depth;
using computations::elevation;
using computations::pair_numbers;

struct Options {
    Mode mode = Mode::distance;
    Surface surface = Surface::sphere;
    Precision precision = Precision::float32;
    int decimals = 2;          // -p N; the programs' "%.2f" without it, 3 with -k
    int path = 0;              // -n N: each pair's path in N steps; 0: none
    End fixed = End::none;
    double fix[3] = {0, 0, 0};  // as read; rounded to float with the rest; [2] -e's depth, -s's elevation
    bool hypocentral = false;  // -z (or -e's depth) with -k: a fourth result, hypo
    bool has_depth = false;    // -z, or -e's depth: the earthquake's depth is known
    int want = 4;              // numbers a line gives: 4, or 2 with -e or -s; then -z's, -Z's
    int field[pair_numbers] = {1, 2, 3, 4};  // the field that holds each, from 1
    int slot[pair_numbers] = {eqlat, eqlon, stlat, stlon};  // the pair's number each is
    bool listed = false;       // -f: other fields may hold anything
    bool fields_given = false;  // -f was given (-S lists the fields without it)
    bool append = false;       // -a: the input line, then the results
    char sep = 0;              // -d: exactly this character; 0: blanks and/or a comma
    char out_sep = 0;          // -o: every output field joined by it, CSV-quoted where needed
    bool header = false;       // -H: each file's first line names its fields
    bool window = false;       // -r: only distances in [range[0], range[1]] are written (km with -k)
    double range[2] = {0, 180};
    // -A, -B: only azimuths (at the earthquake) or back-azimuths (at the
    // station) in the sector from [0] clockwise to [1], degrees.
    bool by_azimuth = false, by_back_azimuth = false;
    double azimuth[2] = {0, 360}, back_azimuth[2] = {0, 360};
    int threads = 1;           // -j: threads that compute lines
    // -S FILE: each line's earthquake (eqlat eqlon) paired with every
    // station of FILE, whose fields -F names (stlat stlon) and -D separates.
    const char *stations = nullptr;
    int station_field[2] = {1, 2};
    bool station_listed = false;  // -F, or -S's own default
    bool station_fields_given = false;  // -F was given: else 1,2, or an XML file's columns
    char station_sep = 0;         // -D
    int station_elevation_field = 0;  // -Z under -S: in the station's line
    long nearest = 0;             // -N: each earthquake's nearest N stations; 0: all
    bool geometry = false;        // -G: one line per earthquake, how the stations surround it
    // Text fields that hold times: -t's in an earthquake's line (times 1),
    // or for a station file's lines -T's start and end (times 2).
    int times = 0;
    int time_field[2] = {0, 0};
    int station_time_field[2] = {0, 0};  // -T
    // --magnitudes, --magnitudes-first: how QuakeML's events choose the
    // magnitude their line gives.
    files::Magnitudes magnitudes;
    // --channels: a channel-level station file is paired channel by
    // channel, not one line per station epoch.
    bool channels = false;
    // -P LIST: after the results, each item's first arrival (s); -M the
    // earth model; -I with -t, as instants.  columns: what settling makes
    // of them.
    std::string phases;
    std::string model = "iasp91";
    bool instants = false;
    std::shared_ptr<const TravelColumns> arrivals;
    // --request BEFORE,AFTER: with -S, -t and -P, each pair a line of the
    // data centres' request, a window from BEFORE seconds before the first
    // arrival to AFTER seconds after it.
    bool request = false;
    double request_window[2] = {0, 0};

    // A pair must lie in a window of its distance or of its directions.
    bool windowed() const { return window || by_azimuth || by_back_azimuth; }
    // The pairs kept, from -r, -A, -B, -N and the times, once settled.
    stations::Selection selection;
    char joiner() const { return out_sep ? out_sep : sep ? sep : ' '; }
};


// The pairs a run keeps: -r's distances, -A's and -B's sectors, -N's
// nearest, the stations' epochs (what settling puts in selection).
stations::Selection selection_of(const Options &o);

// The limits of -j and -n, as numbers and as the text of the messages and
// the help.
#define OSTREM_FILTER_MAX_THREADS 1024
#define OSTREM_FILTER_MAX_STEPS 1000000
#define OSTREM_FILTER_TEXT(x) OSTREM_FILTER_TEXT_(x)
#define OSTREM_FILTER_TEXT_(x) #x
constexpr int max_threads = OSTREM_FILTER_MAX_THREADS;
constexpr long max_steps = OSTREM_FILTER_MAX_STEPS;  // -n
constexpr long max_field = 1000000;  // -f, -z, -Z, -t, -T
constexpr long max_nearest = 1L << 30;  // -N: past any table's stations

// The CPUs this process may run on: its default number of threads.
int available_cpus();

extern const char usage[];
extern const char help[];

// Field names where numbers go (-f latitude,longitude, -F Latitude, -z
// depth, ...), met in a first reading of the command line: each option
// and its value (inside its argv word), which a header turns into
// numbers.  Numbers stand in for them meanwhile.
struct Names {
    struct Given {
        char option;
        const char *value;
    };
    std::vector<Given> given;
    std::deque<std::string> stand_ins;
};

// What the command line gave beyond what goes straight into Options,
// until the options are settled.
struct Given {
    const char *fixed_arg = nullptr, *list_arg = nullptr, *station_list_arg = nullptr;
    bool times_given = false;  // -t or -T
    Names *names = nullptr;    // where field names are noted
    bool station_sep_given = false;
    char fixed_opt = 0;                        // 'e' or 's'
    int depth_field = 0, elevation_field = 0;  // -z, -Z
    bool mid = false, walk = false, decimals_given = false;
    int threads = 0;  // 0: as many as there are CPUs
    // The value each option that takes fields (f, F, z, Z, t, T) was last
    // given, as the command line holds it.
    std::map<char, const char *> last;
    std::deque<std::string> kept;  // the values give() was given
    // The inputs' kinds have had their say: -P may now need a depth.
    bool inputs_known = false;
};

// The command line read once, into o and g: 0 to go on, or the status to
// end with (2 after a usage error's message, -1 after the help or the
// version).  *first is then the first file operand.  A field list that
// holds a name is noted in g.names (where set), not refused.
int read_options(int argc, char **argv, Options &o, Given &g, int *first);
// An option with its value as the command line would give it, after the
// command line: what an input's kind decides (FDSN text's '|' and
// columns), or the numbers a header gives names.  0 or the status.
int give(char option, const std::string &value, Options &o, Given &g);
// What the options say together: 0 or the status.
int settle_options(Options &o, const Given &g);

// Reads the options into o; returns 0 to go on, or the status to end with
// (2 after a usage error's message on standard error, -1 after the help or
// the version on standard output).  *first is then the first file operand.
// With names, a field list that holds a name is noted there, not refused.
// getopt's state is global: a caller that reads several command lines
// resets optind first.
int options(int argc, char **argv, Options &o, int *first, Names *names = nullptr);

// A usage error: the message (fmt with what, shown safely) and the usage;
// returns 2.
int fail(const char *fmt, const char *what = "");

}  // namespace filter

#endif
