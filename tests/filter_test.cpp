// The filter as a user runs it: exact output, messages and exit status for
// streams of good and bad lines and for several files, and for seeded
// random pairs the very lines that sorvane and brovic print.
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bits.h"
#include "ostrem.h"
#include "ostrem_geodesic.h"
#include "run.h"

namespace {

const std::string filter = FILTER_PATH;
const std::string usage =
    "Usage: ostrem [-k [-z N] [-Z N]] [-m | -w | -n N] [-e LAT,LON | -s LAT,LON] [-f LIST] [-a]\n"
    "              [-d C] [-o C] [-H] [-p N] [-r MIN,MAX] [-A MIN,MAX] [-B MIN,MAX] [-j N]\n"
    "              [-P LIST [-M MODEL]] [file ...]\n"
    "       ostrem -S FILE [-F LIST] [-D C] [-k [-z N] [-Z N]] [-m | -n N] [-f LIST] [-d C] [-o C]\n"
    "              [-H] [-p N] [-r MIN,MAX] [-A MIN,MAX] [-B MIN,MAX] [-N K] [-t N -T S,E]\n"
    "              [-G] [-P LIST [-M MODEL] [-I]] [-j N] [file ...]\n"
    "       ostrem --text [--magnitudes LIST | --magnitudes-first LIST] [file ...]\n";

struct Stream {
    const char *name;
    std::vector<std::string> args;
    std::string in, out, err;
    int status;
};

const std::string d90 = "90.00 90.00 270.00\n";
const std::string nan3 = "nan nan nan\n";

std::string line_of(size_t n) { return std::string(n - 8, ' ') + "0 0 0 90"; }

const Stream streams[] = {
    {"midpoint_csv", {"-m"}, "# eqlat,eqlon,stlat,stlon\n0,-90,0,0\n",
     "# eqlat,eqlon,stlat,stlon\n0.00 315.00\n", "", 0},
    {"blank_and_comment_lines_copied", {}, "\n \t\n  # note, 1 2\n0 0 0 90\n",
     "\n \t\n  # note, 1 2\n" + d90, "", 0},
    {"crlf", {}, "0 0 0 90\r\n\r\n# c\r\n", d90 + "\r\n# c\r\n", "", 0},
    {"separators", {}, "0\t0 ,0,\t90\n 0, 0, 0, 90 \t\n", d90 + d90, "", 0},
    {"no_final_newline", {}, "0 0 0 90", d90, "", 0},
    {"empty_input", {}, "", "", "", 0},
    {"field_count", {}, "1 2 3\n1 2 3 4 5\n1,2,3,4,\n", nan3 + nan3 + nan3,
     "ostrem: -:1: expected 4 fields, found 3\nostrem: -:2: expected 4 fields, found 5\n"
     "ostrem: -:3: expected 4 fields, found 5\n",
     1},
    {"not_numbers", {}, "1 2 x 4\n12abc 0 0 0\n0 0 0 \v90\n,1 2 3\n1,,2,3\n0 1e 0 0\n",
     nan3 + nan3 + nan3 + nan3 + nan3 + nan3,
     "ostrem: -:1: field 3 is not a number: x\nostrem: -:2: field 1 is not a number: 12abc\n"
     "ostrem: -:3: field 4 is not a number: \\x0b90\nostrem: -:4: field 1 is empty\n"
     "ostrem: -:5: field 2 is empty\nostrem: -:6: field 2 is not a number: 1e\n",
     1},
    {"nul_inside_a_field", {}, std::string("0 0 0 9\0" "0\n0 0 0 90\n", 19), nan3 + d90,
     "ostrem: -:1: field 4 is not a number: 9\\x000\n", 1},
    {"out_of_range", {}, "91 0 0 0\n0 0 0 541\ninf 0 0 0\n1e999 0 0 0\n0 -180.00001 0 0\n",
     nan3 + nan3 + nan3 + nan3 + nan3,
     "ostrem: -:1: field 1 is out of range (latitude -90 to 90): 91\n"
     "ostrem: -:2: field 4 is out of range (longitude -180 to 540): 541\n"
     "ostrem: -:3: field 1 is out of range (latitude -90 to 90): inf\n"
     "ostrem: -:4: field 1 is out of range (latitude -90 to 90): 1e999\n"
     "ostrem: -:5: field 2 is out of range (longitude -180 to 540): -180.00001\n",
     1},
    // No place has a NaN coordinate: refused like any value out of range.
    {"nan_refused", {}, "nan 0 0 0\n0 0 -nan 90\n", nan3 + nan3,
     "ostrem: -:1: field 1 is out of range (latitude -90 to 90): nan\n"
     "ostrem: -:2: field 3 is out of range (latitude -90 to 90): -nan\n", 1},
    // The first bad line of a run says which separator it seems to use.
    {"separator_hint", {}, "IU|ANMO|34.9|-106.4\n1;2;3;4\n",
     nan3 + nan3,
     "ostrem: -:1: expected 4 fields, found 1 (fields separated by '|'? use -d '|')\n"
     "ostrem: -:2: expected 4 fields, found 1\n", 1},
    {"separator_hint_tab", {}, "38.3N\t142.4\t0\t0\n", nan3,
     "ostrem: -:1: field 1 is not a number: 38.3N (fields separated by tabs? use -d '\\t')\n", 1},
    // Shown cut to 40 bytes, and with escape sequences made harmless.
    {"value_shown_cut_and_escaped", {}, "\x1b[31m" + std::string(50, 'x') + " 0 0 0\n", nan3,
     "ostrem: -:1: field 1 is not a number: \\x1b[31m" + std::string(35, 'x') + "...\n", 1},
    {"bad_midpoint_line", {"-m"}, "0 0 0\n0 0 0 90\n", "nan nan\n0.00 45.00\n",
     "ostrem: -:1: expected 4 fields, found 3\n", 1},
    {"longest_line", {}, line_of(65536) + "\n", d90, "", 0},
    {"line_too_long", {}, line_of(65537) + "\n0 0 0 90\n", nan3 + d90,
     "ostrem: -:1: line longer than 65536 bytes\n", 1},
    {"long_line_across_reads", {}, std::string(600000, '7') + "\n" + std::string(600000, '7'),
     nan3 + nan3,
     "ostrem: -:1: line longer than 65536 bytes\nostrem: -:2: line longer than 65536 bytes\n", 1},
    {"dash_is_stdin", {"-m", "-"}, "0 0 0 90\n", "0.00 45.00\n", "", 0},
    {"double_dash", {"--", "-"}, "0 0 0 90\n", d90, "", 0},
    {"unknown_option", {"-x"}, "0 0 0 90\n", "", "ostrem: unknown option -x\n" + usage, 2},
    {"missing_file", {"/nonexistent/pairs.txt", "-"}, "0 0 0 90\n", d90,
     "ostrem: /nonexistent/pairs.txt: No such file or directory\n", 2},
    {"directory", {"/"}, "", "", "ostrem: /: Is a directory\n", 2},
    {"options_end_at_the_first_file", {"-", "-m"}, "0 0 0 90\n", d90,
     "ostrem: -m: No such file or directory\n", 2},
};

// The options alone and together, on the files users have: an FDSN station
// text file, a catalogue CSV with a header and quoted place names.
const std::string fdsn =
    "#Network|Station|Latitude|Longitude|Elevation|SiteName|StartTime|EndTime\n"
    "IU|ANMO|34.9459|-106.4572|1850.0|Albuquerque, New Mexico, USA|2002-11-19T21:07:00|\n";
const std::string catalogue =
    "place,latitude,longitude,mag\r\n"
    "\"Honshu, \"\"east coast\"\", Japan\",38.297,142.373,9.1\r\n"
    "\"Bio-Bio, Chile\",\" -36.122 \", -72.898 ,8.8\r\n";

std::string repeat(int n, const std::string &line)
{
    std::string s;
    for (int i = 0; i < n; i++)
        s += line;
    return s;
}
std::string bad_messages(int n)
{
    std::string s;
    for (int i = 1; i <= n; i++)
        s += "ostrem: -:" + std::to_string(i) + ": expected 4 fields, found 1\n";
    return s;
}

const Stream option_streams[] = {
    {"fdsn_codes_kept", {"-H", "-a", "-d", "|", "-f", "3,4", "-e", "38.3,142.4"}, fdsn,
     "#Network|Station|Latitude|Longitude|Elevation|SiteName|StartTime|EndTime|dist|az|baz\n"
     "IU|ANMO|34.9459|-106.4572|1850.0|Albuquerque, New Mexico, USA|2002-11-19T21:07:00||"
     "83.18|50.50|312.35\n", "", 0},
    {"quoted_csv_station_fixed", {"-aH", "-d,", "-f2,3", "-s", "34.9459,-106.4572"}, catalogue,
     "place,latitude,longitude,mag,dist,az,baz\n"
     "\"Honshu, \"\"east coast\"\", Japan\",38.297,142.373,9.1,83.19,50.49,312.36\n"
     "\"Bio-Bio, Chile\",\" -36.122 \", -72.898 ,8.8,77.32,332.26,152.69\n", "", 0},
    {"crlf_appended", {"-a"}, "0 0 0 90\r\n# c\r\n", "0 0 0 90 " + d90 + "# c\r\n", "", 0},
    {"bad_line_appended", {"-a", "-d", ";"}, "91;0;0;0\n", "91;0;0;0;nan;nan;nan\n",
     "ostrem: -:1: field 1 is out of range (latitude -90 to 90): 91\n", 1},
    {"walk", {"-w"}, "0 0 90 90\n0 0 -90 90\n0 0 0 90\n", "0.00 90.00\n0.00 270.00\n90.00 0.00\n", "", 0},
    {"walk_refusals", {"-w"}, "0 0 360.0001 10\n0 0 0 -1\n91 0 0 0\n", repeat(3, "nan nan\n"),
     "ostrem: -:1: field 3 is out of range (azimuth -360 to 360): 360.0001\n"
     "ostrem: -:2: field 4 is out of range (distance 0 to 180): -1\n"
     "ostrem: -:3: field 1 is out of range (latitude -90 to 90): 91\n", 1},
    // The field's own number, through -f and a fixed end.
    {"range_names_the_listed_field", {"-a", "-d", "|", "-f", "4,3", "-e", "0,0"},
     "IU|ANMO|34.9|-106.4\nIU|X|34.9|1850\n", "IU|ANMO|34.9|-106.4|nan|nan|nan\nIU|X|34.9|1850|nan|nan|nan\n",
     "ostrem: -:1: field 4 is out of range (latitude -90 to 90): -106.4\n"
     "ostrem: -:2: field 4 is out of range (latitude -90 to 90): 1850\n", 1},
    // CSV read without -d stays CSV: its lines get their results with commas.
    {"csv_stays_csv", {"-H", "-a", "-f", "2,3", "-s", "0,0"},
     "time,latitude,longitude,place\n2024,38.3,142.4,\"a, b\"\n2024 38.3 142.4 c\nx,91,0\n",
     "time,latitude,longitude,place,dist,az,baz\n2024,38.3,142.4,\"a, b\",128.56,308.71,37.88\n"
     "2024 38.3 142.4 c 128.56 308.71 37.88\nx,91,0,nan,nan,nan\n",
     "ostrem: -:4: field 2 is out of range (latitude -90 to 90): 91\n", 1},
    {"walk_from_a_fixed_start", {"-w", "-e", "0,0"}, "90 90\n", "0.00 90.00\n", "", 0},
    {"fixed_earthquake", {"-e0,0"}, "0 90\n0 90 1\n", d90 + nan3,
     "ostrem: -:2: expected 2 fields, found 3\n", 1},
    {"fixed_station_midpoint", {"-m", "-s", " 0 , 90 "}, "0,0\n", "0.00 45.00\n", "", 0},
    {"fields_reordered", {"-f", "3,4,1,2"}, "0 90 0 0 5 words\n", d90, "", 0},
    {"field_range", {"-f", "2-5"}, "x 0 0 0 90 , y\n", d90, "", 0},
    {"too_few_listed_fields", {"-f", "3-6"}, "0 0 0 90\n", nan3,
     "ostrem: -:1: expected at least 6 fields, found 4\n", 1},
    {"field_beyond_any_line", {"-f", "1,2,3,1000000"}, "0 0 0 90\n", nan3,
     "ostrem: -:1: expected at least 1000000 fields, found 4\n", 1},
    {"tab_separator", {"-d", "\\t"}, "0\t0\t0\t90\n0\t0\t\t90\n", "90.00\t90.00\t270.00\nnan\tnan\tnan\n",
     "ostrem: -:2: field 3 is empty\n", 1},
    {"blanks_around_numbers", {"-d", ";"}, " 0 ; 0;0 ;90 \n", "90.00;90.00;270.00\n", "", 0},
    {"unterminated_quote", {"-d", ",", "-f", "2-5"}, "\"a,0,0,0,90\n", "nan,nan,nan\n",
     "ostrem: -:1: field 1 has an unterminated quote\n", 1},
    {"header_names", {"-H"}, "eqlat eqlon stlat stlon\n0 0 0 90\n", "dist az baz\n" + d90, "", 0},
    {"header_names_midpoint", {"-Hm"}, "h\n", "midlat midlon\n", "", 0},
    // Names and numbers for one option: the last given is taken, as any
    // option's last value is.
    {"field_names_then_numbers", {"-H", "-e", "0,0", "-f", "b,a", "-f", "1,2"}, "a b\n0 90\n",
     "dist az baz\n90.00 90.00 270.00\n", "", 0},
    {"field_numbers_then_names", {"-H", "-e", "0,0", "-f", "1,2", "-f", "b,a"}, "a b\n90 0\n",
     "dist az baz\n90.00 90.00 270.00\n", "", 0},
    {"header_names_walk", {"-H", "-w", "-d,"}, "h\n", "lat,lon\n", "", 0},
    {"precision", {"-p", "6"}, "0 0 0 90\n", "90.000000 90.000000 270.000000\n", "", 0},
    {"precision_0", {"-p0", "-m"}, "0 0 0 90\n", "0 45\n", "", 0},
    // 95 m apart: the float path's azimuth is 39.93, the double one's 39.873.
    {"precision_is_double", {"-p", "3"}, "35.00012 142.41234 35.00078 142.41301\n",
     "0.001 39.873 219.873\n", "", 0},
    {"bundled_options", {"-amp4"}, "0 0 0 90\n", "0 0 0 90 0.0000 45.0000\n", "", 0},
    // Both ends included; a distance that prints 30.00 but lies below 30 is
    // out.  Blank and comment lines stay; a bad line is reported, not written.
    {"window_edges", {"-a", "-r", "30,90"},
     "0 0 30.16692 0\n0 0 30.166925 0\n0 0 0 90\n0 0 0 90.01\n# kept\n\n91 0 0 0\n",
     "0 0 30.166925 0 30.00 0.00 180.00\n0 0 0 90 " + d90 + "# kept\n\n",
     "ostrem: -:7: field 1 is out of range (latitude -90 to 90): 91\n", 1},
    {"window_of_one_distance", {"-r", "90,90"}, "0 0 0 90\n0 0 0 89.9999\n0 0 0 90.0001\n", d90, "", 0},
    {"window_on_the_midpoints_pair", {"-H", "-m", "-r", "0,45"}, "h\n0 0 0 90\n0 0 0 40\n",
     "midlat midlon\n0.00 20.00\n", "", 0},
    {"window_in_double", {"-p", "9", "-r", "29.999996196,30"}, "0 0 30.16692 0\n0 0 30.166925 0\n",
     "29.999996196 0.000000000 180.000000000\n", "", 0},
    // Paths: along the equator the points are easy to tell; a bad line,
    // or one out of the window, gives no path.
    {"path_on_the_sphere", {"-n", "4"}, "0 0 0 90\n",
     "> 0 0 0 90\n0.00 0.00\n0.00 22.50\n0.00 45.00\n0.00 67.50\n0.00 90.00\n", "", 0},
    {"path_in_double_in_a_window", {"-n", "2", "-p", "3", "-r", "80,100"}, "0 0 0 90\n0 0 0 10\n",
     "> 0 0 0 90\n0.000 0.000\n0.000 45.000\n0.000 90.000\n", "", 0},
    {"path_of_a_bad_line", {"-n", "1"}, "91 0 0 0\n" + line_of(65537) + "\n0 0 0 90\n",
     "> 0 0 0 90\n0.00 0.00\n0.00 90.00\n",
     "ostrem: -:1: field 1 is out of range (latitude -90 to 90): 91\n"
     "ostrem: -:2: line longer than 65536 bytes\n", 1},
    // The ellipsoid: a quarter of the equator is a * pi / 2 = 10018.754 km.
    {"kilometres", {"-k"}, "0 0 0 90\n0 0 0 -90\n", "10018.754 90.000 270.000\n10018.754 270.000 90.000\n", "", 0},
    {"kilometres_header_and_window", {"-k", "-H", "-r", "0,10000"}, "h\n0 0 0 90\n0 0 0 45\n",
     "km az baz\n5009.377 90.000 270.000\n", "", 0},
    {"kilometres_midpoint", {"-k", "-m", "-p", "6"}, "0 0 0 90\n", "0.000000 45.000000\n", "", 0},
    {"kilometres_walked", {"-k", "-w"}, "0 0 90 10018.754171\n0 0 0 -1\n1 2 3 inf\n",
     "0.000 90.000\nnan nan\nnan nan\n",
     "ostrem: -:2: field 4 is out of range (km 0 or more): -1\n"
     "ostrem: -:3: field 4 is out of range (km 0 or more): inf\n", 1},
    {"kilometres_path", {"-k", "-n", "2", "-e", "0,0"}, "0 90\n", "> 0 90\n0.000 0.000\n0.000 45.000\n0.000 90.000\n", "", 0},
    // The hypocentral distance: from 10 km below (0, 0) to (0, 90) the chord
    // is hypot(a - 10 km, a); a depth is read, checked and named like any
    // field, and the window stays on the geodesic's km.
    {"hypocentral", {"-k", "-z", "5"}, "0 0 0 90 10\n0 0 0 1 1200\n0 0 0 1 x\n0 0 0 1\n",
     "10018.754 90.000 270.000 9012.980\n" + repeat(3, "nan nan nan nan\n"),
     "ostrem: -:2: field 5 is out of range (depth -10 to 1000 km): 1200\n"
     "ostrem: -:3: field 5 is not a number: x\nostrem: -:4: expected 5 fields, found 4\n", 1},
    {"hypocentral_header_elevation", {"-k", "-z", "5", "-Z", "6", "-H", "-a", "-d", ","},
     "lat,lon,slat,slon,dep,elev\n0,0,0,0,5,1000\n0,0,0,0,5,9001\n",
     "lat,lon,slat,slon,dep,elev,km,az,baz,hypo\n0,0,0,0,5,1000,0.000,180.000,0.000,6.000\n"
     "0,0,0,0,5,9001,nan,nan,nan,nan\n",
     "ostrem: -:3: field 6 is out of range (elevation -12000 to 9000 m): 9001\n", 1},
    {"hypocentral_fixed_ends", {"-k", "-e", "0,0,10"}, "0 90\n", "10018.754 90.000 270.000 9012.980\n", "", 0},
    {"hypocentral_fixed_station", {"-k", "-s", "0,90,0", "-z", "3", "-f", "2,1"}, "0 0 10\n",
     "10018.754 90.000 270.000 9012.980\n", "", 0},
    {"hypocentral_window", {"-k", "-z", "5", "-r", "0,100"}, "0 0 0 90 10\n0 0 0 0.5 10\n",
     "55.660 90.000 270.000 56.508\n", "", 0},
    {"message_cap", {}, repeat(103, "x\n"), repeat(103, nan3),
     bad_messages(100) + "ostrem: 3 more bad lines not reported\n", 1},
};
const std::string usage_after(const std::string &msg) { return "ostrem: " + msg + "\n" + usage; }

// -P: each item's first arrival after the results, nan where none (a
// shadow, a depth outside the model) and for every column of a bad line;
// the depth from -z, -e or an event file; names in the header.
const Stream arrival_streams[] = {
    {"arrivals_after_the_results", {"-f", "1,2,4,5", "-z", "3", "-P", "P,S,P+Pdiff+PKIKP"},
     "38.3 142.4 10 34.95 -106.46\n1 2 x 3 4\n38.3 142.4 3000 34.95 -106.46\n0 0 -2 0 120\n"
     "0 0 nan 0 1\n",
     // A depth the arrivals cannot take is refused as -k refuses it, though
     // the distance alone needs none; at 120 degrees P is in the core's
     // shadow, and Pdiff comes before PKIKP.
     "83.17 50.50 312.35 746.299 1366.938 746.299\nnan nan nan nan nan nan\n"
     "nan nan nan nan nan nan\n120.00 90.00 270.00 nan nan 915.523\nnan nan nan nan nan nan\n",
     "ostrem: -:2: field 3 is not a number: x\n"
     "ostrem: -:3: field 3 is out of range (depth -10 to 1000 km): 3000\n"
     "ostrem: -:5: field 3 is out of range (depth -10 to 1000 km): nan\n", 1},
    {"arrivals_named_in_the_header", {"-H", "-f", "lat,lon,stlat,stlon", "-z", "depth", "-P", "P,P+PKIKP", "-p", "1",
                                      "-o", ","},
     "lat lon depth stlat stlon\n38.3 142.4 10 34.95 -106.46\n", "dist,az,baz,P,P+PKIKP\n83.2,50.5,312.3,746.3,746.3\n",
     "", 0},
    {"arrivals_from_a_fixed_hypocentre", {"-e", "38.3,142.4,10", "-P", "firstP", "-M", "ak135"}, "34.95 -106.46\n",
     "83.17 50.50 312.35 746.275\n", "", 0},
    {"arrivals_with_kilometres", {"-k", "-e", "38.3,142.4,10", "-P", "firstP"}, "34.95 -106.46\n",
     "9242.144 50.349 312.496 8450.215 746.299\n", "", 0},
    {"arrivals_need_a_depth", {"-P", "P"}, "", "",
     usage_after("-P needs the earthquake's depth (-z N, or -e LAT,LON,DEPTH)"), 2},
    {"arrivals_not_with_midpoints", {"-m", "-e", "1,2,3", "-P", "P"}, "", "",
     usage_after("-P cannot be used with -m, -w, -n or -G (the arrivals are a pair's)"), 2},
    {"arrivals_not_with_paths", {"-n", "3", "-z", "3", "-P", "P"}, "", "",
     usage_after("-P cannot be used with -m, -w, -n or -G (the arrivals are a pair's)"), 2},
    {"arrivals_of_no_phase", {"-z", "3", "-P", "P,Q"}, "", "", usage_after("-P: \"Q\": no leg is called Q"), 2},
    {"arrivals_of_an_empty_name", {"-z", "3", "-P", "P,"}, "", "", usage_after("-P: \"P,\": an empty phase name"), 2},
    {"instants_without_arrivals", {"-I"}, "", "", usage_after("-I needs -P (the arrivals to write as instants)"), 2},
    {"instants_without_times", {"-z", "3", "-P", "P", "-I"}, "", "",
     usage_after("-I needs -S and -t (the earthquake's time)"), 2},
    {"request_without_stations", {"-z", "3", "-P", "P", "--request", "10,60"}, "", "",
     usage_after("--request needs -S, -P and the earthquake's time (-t, or an event file's)"), 2},
    {"request_of_no_window", {"--request", "0,0"}, "", "",
     usage_after("--request takes BEFORE,AFTER, seconds from 0 (a day at most together), not '0,0'"), 2},
    {"model_that_is_no_file", {"-z", "3", "-P", "P", "-M", "nowhere.nd"}, "", "",
     "ostrem: -M: nowhere.nd: No such file or directory (the built-in models are iasp91 and ak135)\n", 2},
};
const Stream usage_errors[] = {
    {"m_with_w", {"-m", "-w"}, "", "", usage_after("-m and -w cannot be used together"), 2},
    {"e_with_s", {"-e", "1,2", "-s", "1,2"}, "", "", usage_after("-e and -s cannot be used together"), 2},
    {"s_with_w", {"-w", "-s", "1,2"}, "", "", usage_after("-s cannot be used with -w (-e fixes the start)"), 2},
    {"z_without_k", {"-z", "3"}, "", "",
     usage_after("-z and -Z need -k (the hypocentral distance is on the WGS84 ellipsoid)"), 2},
    {"z_with_m", {"-k", "-m", "-z", "5"}, "", "", usage_after("-z and -Z cannot be used with -m, -w or -n"), 2},
    {"elevation_without_depth", {"-k", "-s", "0,0,100"}, "", "",
     usage_after("an elevation (-Z N, or -s LAT,LON,ELEVATION) needs the earthquake's depth "
                 "(-z N, or -e LAT,LON,DEPTH)"), 2},
    {"z_with_e", {"-k", "-e", "0,0", "-z", "3"}, "", "",
     usage_after("-z cannot be used with -e (-e LAT,LON,DEPTH fixes the depth)"), 2},
    {"e_depth_out_of_range", {"-k", "-e", "0,0,1001"}, "", "",
     usage_after("-e takes LAT,LON or LAT,LON,DEPTH (depth -10 to 1000 km), numbers in range, "
                 "not '0,0,1001'"), 2},
    {"e_three_numbers_without_k", {"-e", "0,0,10"}, "", "",
     usage_after("-e takes LAT,LON, two numbers in range, not '0,0,10'"), 2},
    {"f_wrong_length", {"-f", "1,2,3"}, "", "", usage_after("-f must name 4 fields, not 3"), 2},
    {"f_wrong_length_fixed", {"-e", "1,2", "-f", "1-3"}, "", "", usage_after("-f must name 2 fields, not 3"), 2},
    {"f_field_0", {"-f", "0-3"}, "", "",
     usage_after("-f takes field numbers from 1, as 3,4 or 3-6, not '0-3'"), 2},
    {"p_beyond_9", {"-p", "10"}, "", "", usage_after("-p takes a number of decimals from 0 to 9, not '10'"), 2},
    {"d_two_characters", {"-d", "ab"}, "", "", usage_after("-d takes one character (or \\t), not 'ab'"), 2},
    {"e_out_of_range", {"-e", "91,0"}, "", "", usage_after("-e takes LAT,LON, two numbers in range, not '91,0'"), 2},
    {"s_one_number", {"-s", "38.3"}, "", "", usage_after("-s takes LAT,LON, two numbers in range, not '38.3'"), 2},
    {"e_not_numbers", {"-e", "38.3N,142.4E"}, "", "",
     usage_after("-e takes LAT,LON, two numbers in range, not '38.3N,142.4E'"), 2},
    {"missing_value", {"-e"}, "", "", usage_after("option -e needs a value"), 2},
    {"n_zero", {"-n", "0"}, "", "", usage_after("-n takes a number of steps from 1 to 1000000, not '0'"), 2},
    {"n_not_a_number", {"-n", "x"}, "", "", usage_after("-n takes a number of steps from 1 to 1000000, not 'x'"), 2},
    {"n_with_m", {"-n", "3", "-m"}, "", "", usage_after("-n cannot be used with -m (a path has its own midpoint)"), 2},
    {"n_with_w", {"-k", "-w", "-n", "3"}, "", "",
     usage_after("-n cannot be used with -w (a path runs between two points)"), 2},
    {"unknown_long_option", {"--precision=3"}, "", "", usage_after("unknown option --precision=3"), 2},
    {"version", {"--version"}, "", "ostrem " OSTREM_VERSION "\n", "", 0},
    {"text_after_options", {"-k", "--text"}, "", "",
     usage_after("--text comes first, and takes files alone: ostrem --text [file ...]"), 2},
    // Thousands of ranges of a million fields: counted, not overflowed.
    {"f_list_beyond_int", {"-f", repeat(2148, "1-1000000,") + "1"}, "", "",
     usage_after("-f must name 4 fields, not 2148000001"), 2},
    {"r_min_above_max", {"-r", "90,30"}, "", "",
     usage_after("-r takes MIN,MAX, two distances in degrees with MIN <= MAX, not '90,30'"), 2},
    {"r_not_numbers", {"-r", "30,90x"}, "", "",
     usage_after("-r takes MIN,MAX, two distances in degrees with MIN <= MAX, not '30,90x'"), 2},
    {"r_one_number", {"-r", "30"}, "", "",
     usage_after("-r takes MIN,MAX, two distances in degrees with MIN <= MAX, not '30'"), 2},
    {"r_nan", {"-r", "nan,90"}, "", "",
     usage_after("-r takes MIN,MAX, two distances in degrees with MIN <= MAX, not 'nan,90'"), 2},
    {"r_with_w", {"-w", "-r", "0,10"}, "", "",
     usage_after("-r cannot be used with -w (a walk has no distance to select by)"), 2},
    {"j_zero", {"-j", "0"}, "", "", usage_after("-j takes a number of threads from 1 to 1024, not '0'"), 2},
    {"j_beyond_1024", {"-j", "1025"}, "", "",
     usage_after("-j takes a number of threads from 1 to 1024, not '1025'"), 2},
    {"j_not_a_number", {"-j", "2x"}, "", "", usage_after("-j takes a number of threads from 1 to 1024, not '2x'"), 2},
    {"long_value_cut", {"-d", std::string(100, 'x')}, "", "",
     usage_after("-d takes one character (or \\t), not '" + std::string(40, 'x') + "...'"), 2},
};

void PrintTo(const Stream &s, std::ostream *os) { *os << s.name; }

class Filter : public testing::TestWithParam<Stream> {};

TEST_P(Filter, ExactOutputMessagesAndStatus)
{
    const Stream &s = GetParam();
    TempFile in(s.in);
    Outcome r = run(filter, s.args, {}, in.path);
    EXPECT_EQ(r.out, s.out);
    EXPECT_EQ(r.err, s.err);
    EXPECT_EQ(r.status, s.status);
}

auto stream_name = [](const testing::TestParamInfo<Stream> &i) { return std::string(i.param.name); };
INSTANTIATE_TEST_SUITE_P(Streams, Filter, testing::ValuesIn(streams), stream_name);
INSTANTIATE_TEST_SUITE_P(Options, Filter, testing::ValuesIn(option_streams), stream_name);
INSTANTIATE_TEST_SUITE_P(Usage, Filter, testing::ValuesIn(usage_errors), stream_name);
INSTANTIATE_TEST_SUITE_P(Arrivals, Filter, testing::ValuesIn(arrival_streams), stream_name);

// Help goes to standard output, as asked for, and names every option.
TEST(Filter, Help)
{
    Outcome r = run(filter, {"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind(usage, 0), 0u);
    for (const char *o : {"-k", "-z", "-Z", "-m", "-w", "-n", "-e", "-s", "-f", "-a", "-d", "-H", "-p",
                          "-r", "-A", "-B", "-S", "-F", "-D", "-N", "-t", "-T", "-G", "-o", "-P", "-M", "-I",
                          "--version"})
        EXPECT_NE(r.out.find(o, usage.size()), std::string::npos) << o;
}

// Files are read in order, standard input where "-" stands, and a bad line
// is reported with its own file's name and line number.
TEST(Filter, SeveralFiles)
{
    TempFile a("0 0 0 90\n"), b("# b\n91 0 0 0\n"), in("45 0 45 180\n");
    Outcome r = run(filter, {a.path, "-", b.path}, {}, in.path);
    EXPECT_EQ(r.out, d90 + "90.38 0.00 360.00\n# b\n" + nan3);
    EXPECT_EQ(r.err, "ostrem: " + b.path + ":2: field 1 is out of range (latitude -90 to 90): 91\n");
    EXPECT_EQ(r.status, 1);

    // With -H the first line of each file is its header.
    r = run(filter, {"-H", "-a", a.path, b.path});
    EXPECT_EQ(r.out, "0 0 0 90 dist az baz\n# b dist az baz\n91 0 0 0 nan nan nan\n");
    EXPECT_EQ(r.err, "ostrem: " + b.path + ":2: field 1 is out of range (latitude -90 to 90): 91\n");
}

// A full disk is an error; a reader that goes away is not.
TEST(Filter, WriteErrorsAndClosedPipes)
{
    if (!have_shell())
        GTEST_SKIP() << "needs a POSIX shell, /dev/full and SIGPIPE";
    TempFile in("0 0 0 90\n");
    const std::string prog = shell_command(filter);
    Outcome r = run_shell(prog + " >/dev/full", {}, in.path);
    EXPECT_EQ(r.err, "ostrem: write error: No space left on device\n");
    EXPECT_EQ(r.status, 2);

    // With SIGPIPE as it comes, and with SIGPIPE ignored in the filter alone.
    for (std::string f : {prog, "(trap '' PIPE; exec " + prog + ")"}) {
        r = run_shell("yes '0 0 0 90' | head -n 300000 | " + f + " | head -n 1");
        EXPECT_EQ(r.out, d90) << f;
        EXPECT_EQ(r.err, "") << f;
    }
}

// Any number of threads writes what one thread writes: the same output,
// the same messages in the same order, the same status, over inputs whose
// lines cross the blocks in every way (lengths vary, CRLF, blank, comment,
// bad lines past the cap, lines too long to keep, a last line without its
// newline), in several files with an unreadable one among them, under each
// option.
TEST(Filter, ThreadsWriteWhatOneThreadWrites)
{
    Rng rng{13572468};
    auto text = [&rng](int lines, bool final_newline) {
        std::string t;
        for (int i = 0; i < lines; i++) {
            Pair p = varied_pair(rng);
            char line[200];
            std::snprintf(line, sizeof line, "%*s%.6f,%.6f %.6f %.6f", static_cast<int>(rng.next() % 40),
                          "", p.olat, p.olon, p.tlat, p.tlon);
            switch (rng.next() % 50) {
            case 0: t += "# comment\n"; break;
            case 1: t += "\r\n"; break;
            case 2: t += "x y\n"; break;
            case 3: t += std::string(rng.next() % 2 ? 70000 : 300000, '7') + "\n"; break;
            case 4: t += std::string(line) + "\r\n"; break;
            default: t += std::string(line) + "\n";
            }
        }
        if (!final_newline)
            t += "1 2 3 4";
        return t;
    };
    TempFile a(text(20000, true)), b(text(15000, false)), in(text(15000, true));
    const std::vector<std::vector<std::string>> option_sets = {
        {}, {"-m", "-a", "-H"}, {"-r", "30,90", "-a"}, {"-m", "-r", "0,40"},
        {"-p", "6", "-f", "1-4"}, {"-w", "-e", "10,20", "-f", "3,4"}, {"-s", "0,0", "-f", "1,2"},
        {"-k", "-a"}, {"-n", "3"}, {"-k", "-n", "2", "-r", "0,5000"}};
    for (const std::vector<std::string> &opts : option_sets) {
        std::vector<std::string> args = opts;
        args.insert(args.end(), {a.path, "/nonexistent/pairs.txt", "-", b.path});
        std::vector<std::string> one = {"-j", "1"};
        one.insert(one.end(), args.begin(), args.end());
        Outcome want = run(filter, one, {}, in.path);
        for (const char *j : {"2", "5"}) {
            std::vector<std::string> many = {"-j", j};
            many.insert(many.end(), args.begin(), args.end());
            Outcome got = run(filter, many, {}, in.path);
            std::string what = "-j " + std::string(j) + " " + testing::PrintToString(opts);
            EXPECT_TRUE(got.out == want.out) << what << ": output differs";
            EXPECT_EQ(got.err, want.err) << what;
            EXPECT_EQ(got.status, want.status) << what;
        }
    }
}


// A result is written as soon as its line is read, whatever -j: the next
// line is sent only once its predecessor's result came back.  (timeout
// only guards against a hang.)
TEST(Filter, InteractiveUseGetsEachResultAtOnce)
{
    if (!have_shell())
        GTEST_SKIP() << "needs a POSIX shell and mkfifo";
    Outcome r = run_shell(
        "d=$(mktemp -d) && mkfifo \"$d/in\" \"$d/out\" && "
        "(timeout 60 " + shell_command(filter) + " -j 4 <\"$d/in\" >\"$d/out\" &) && "
        "exec 3>\"$d/in\" 4<\"$d/out\" && echo '0 0 0 90' >&3 && read -r a <&4 && "
        "echo '0 0 0 45' >&3 && read -r b <&4 && exec 3>&- && rm -r \"$d\" && echo \"$a|$b\"");
    EXPECT_EQ(r.out, "90.00 90.00 270.00|45.00 90.00 270.00\n");
}

// The filter's line for a pair is the programs' line for the same pair,
// over seeded pairs that favour poles, the date line, coincident and
// near-antipodal points, written in the several forms a number can take.
TEST(Filter, SameLinesAsTheProgramsForThousandsOfPairs)
{
    // The documented edge cases first: signed zeros, 360, coincident
    // points, and numbers in every form strtod reads.
    std::vector<std::vector<std::string>> lines = {
        {"0", "0", "-90", "0"}, {"0", "0", "10", "-0"}, {"45", "0", "45", "180"},
        {"33", "0", "33", "0"}, {"-85", "0", "-85", "0"}, {"13.4", "0", "13.4", "180"},
        {"-90", "0", "10", "45"}, {"+0", "0x0", "-0", "-0x5Ap0"}, {"1e-999", "0", "0", "90"},
        {"0X1.68P+6", "0", "0", "0"}};
    // Each pair starts both programs: a tenth as many where that is slow.
    Rng rng{987654321};
    for (int i = 0; i < (slow_starts() ? 150 : 1500); i++) {
        Pair p = varied_pair(rng);
        lines.emplace_back();
        for (float f : {p.olat, p.olon, p.tlat, p.tlon}) {
            char s[64];
            const char *form = i % 3 == 0 ? "%.9g" : i % 3 == 1 ? "%+.6e" : "%a";
            std::snprintf(s, sizeof s, form, static_cast<double>(f));
            lines.back().push_back(s);
        }
    }
    std::string text, dist, mid;
    for (size_t i = 0; i < lines.size(); i++) {
        const std::vector<std::string> &a = lines[i];
        text += a[0] + (i % 2 ? "," : " ") + a[1] + " " + a[2] + "\t" + a[3] + "\n";
        dist += run(SORVANE_PATH, a).out;
        mid += run(BROVIC_PATH, a).out;
    }
    TempFile in(text);
    EXPECT_EQ(run(filter, {in.path}).out, dist);
    EXPECT_EQ(run(filter, {"-m", in.path}).out, mid);
}

// -k solves its lines' pairs a block at a time: each line's output is
// geodesic()'s for it alone, and a bad line, a comment or a blank line in
// a block is written in its place, its message naming its own line.
TEST(Filter, KilometresOfABlockInTheOrderOfItsLines)
{
    Rng rng{20261210};
    std::string text, expected;
    for (int i = 1; i <= 300; i++) {
        if (i % 37 == 0) {
            text += "91 0 0 0\n";
            expected += "nan nan nan\n";
            continue;
        }
        if (i % 41 == 0 || i % 43 == 0) {
            text += i % 41 == 0 ? "# note\n" : "\n";
            expected += i % 41 == 0 ? "# note\n" : "\n";
            continue;
        }
        Pair p = varied_pair(rng);
        char line[128], out[128];
        std::snprintf(line, sizeof line, "%.9g %.9g %.9g %.9g\n", p.olat, p.olon, p.tlat, p.tlon);
        double c[4], km, az, baz;  // the numbers as the filter reads them
        char *at = line;
        for (double &x : c)
            x = std::strtod(at, &at);
        ASSERT_EQ(geodesic(c[0], c[1], c[2], c[3], &km, &az, &baz), 0);
        std::snprintf(out, sizeof out, "%.3f %.3f %.3f\n", km, az, baz);
        text += line;
        expected += out;
    }
    TempFile in(text);
    for (const char *threads : {"1", "3"}) {
        Outcome r = run(filter, {"-k", "-j", threads}, {}, in.path);
        EXPECT_EQ(r.out, expected) << "-j " << threads;
        EXPECT_EQ(r.status, 1);
        for (int i = 37; i <= 300; i += 37)
            EXPECT_NE(r.err.find(":" + std::to_string(i) + ":"), std::string::npos) << i << r.err;
    }
}

// Whichever lanes OSTREM_LANES asks for (one the processor lacks is not
// taken), -k and -S -k write the same bytes.
TEST(Filter, KilometresTheSameInEveryLaneWidth)
{
    Rng rng{38};
    std::string text, stations;
    for (int i = 0; i < 500; i++) {
        Pair p = varied_pair(rng);
        char line[128];
        std::snprintf(line, sizeof line, "%.9g %.9g %.9g %.9g\n", p.olat, p.olon, p.tlat, p.tlon);
        text += line;
        if (i % 10 == 0) {
            std::snprintf(line, sizeof line, "%.9g %.9g\n", p.tlat, p.tlon);
            stations += line;
        }
    }
    TempFile in(text), table(stations);
    std::string first[2];
    for (const char *lanes : {"scalar", "sse2", "avx2", "neon", "none"}) {
        const std::string env = std::string("OSTREM_LANES=") + lanes;
        const Outcome k = run(filter, {"-k", in.path}, {env});
        const Outcome paired = run(filter, {"-k", "-S", table.path, "-r", "0,3000", in.path}, {env});
        EXPECT_EQ(k.status, 0) << lanes;
        EXPECT_EQ(paired.status, 0) << lanes << paired.err;
        if (first[0].empty())
            first[0] = k.out, first[1] = paired.out;
        EXPECT_TRUE(k.out == first[0] && paired.out == first[1]) << lanes;
    }
    EXPECT_FALSE(first[1].empty());
}

// -w and -p give the module's own results, each written as printf writes
// it: the float walk with "%.2f", and the double functions with "%.Nf"
// for every N, over seeded lines.
TEST(Filter, WalkAndDoubleResultsAreTheModules)
{
    Rng rng{24681357};
    std::string walks, pairs, want_walk, want_p[10];
    auto put = [](std::string &to, const char *fmt, const double *v, int n) {
        char buf[128];
        for (int i = 0; i < n; i++) {
            std::snprintf(buf, sizeof buf, fmt, v[i]);
            to += buf;
            to += i + 1 < n ? " " : "\n";
        }
    };
    for (int i = 0; i < 1000; i++) {
        Pair p = varied_pair(rng);
        float az = rng.uniform(-360, 360), del = rng.uniform(0, 180);
        char line[160];
        std::snprintf(line, sizeof line, "%.9g %.9g %.9g %.9g\n", p.olat, p.olon, az, del);
        walks += line;
        float w[2];
        ASSERT_EQ(walk(p.olat, p.olon, az, del, &w[0], &w[1]), 0);
        double wd[2] = {w[0], w[1]};
        put(want_walk, "%.2f", wd, 2);

        // Off the float grid, so that the double path is the one tried.
        std::snprintf(line, sizeof line, "%.17g %.17g %.17g %.17g\n", p.olat * (1 - 1e-12 * i),
                      static_cast<double>(p.olon), static_cast<double>(p.tlat), p.tlon * (1 - 1e-12));
        pairs += line;
        double c[4], r[3];
        ASSERT_EQ(std::sscanf(line, "%lf %lf %lf %lf", &c[0], &c[1], &c[2], &c[3]), 4);
        ASSERT_EQ(ostremd(c[0], c[1], c[2], c[3], &r[0], &r[1], &r[2]), 0);
        for (int n = 0; n <= 9; n++) {
            char fmt[8];
            std::snprintf(fmt, sizeof fmt, "%%.%df", n);
            put(want_p[n], fmt, r, 3);
        }
    }
    TempFile w(walks), d(pairs);
    EXPECT_EQ(run(filter, {"-w", w.path}).out, want_walk);
    for (int n = 0; n <= 9; n++)
        EXPECT_EQ(run(filter, {"-p", std::to_string(n), d.path}).out, want_p[n]) << "-p " << n;
}

}  // namespace
