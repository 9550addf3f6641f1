// The two programs run as a user runs them: exact standard output, standard
// error and exit status for each command line.
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "run.h"

namespace {

const std::string sorvane = SORVANE_PATH;
const std::string brovic = BROVIC_PATH;

const std::string sorvane_usage = "Usage: sorvane eqlat eqlon stlat stlon\n";
const std::string brovic_usage = "Usage: brovic eqlat eqlon stlat stlon\n";
const std::string sorvane_range =
    "sorvane: coordinate out of range (latitude -90 to 90, longitude -180 to 540)\n";
const std::string brovic_range =
    "brovic: coordinate out of range (latitude -90 to 90, longitude -180 to 540)\n";

struct Case {
    const char *name;  // the ctest name, short: the arguments can be 128 KiB
    const std::string &prog;
    std::vector<std::string> args;
    std::string out;
    std::string err;
    int status;
};

// Text that is not all a number is refused, each argument named.
std::string nan_arg(const char *prog, int i, const std::string &text)
{
    return std::string(prog) + ": argument " + std::to_string(i) + " is not a number: " + text + "\n";
}

const std::string none;

const Case cases[] = {
    // distance, azimuth, back-azimuth
    {"quarter_equator", sorvane, {"0", "0", "0", "90"}, "90.00 90.00 270.00\n", none, 0},
    {"south_pole_baz", sorvane, {"0", "0", "-90", "0"}, "90.00 180.00 -0.00\n", none, 0},
    {"minus_zero_lon", sorvane, {"0", "0", "10", "-0"}, "9.93 -0.00 180.00\n", none, 0},
    {"across_pole", sorvane, {"45", "0", "45", "180"}, "90.38 0.00 360.00\n", none, 0},
    {"coincident_33", sorvane, {"33", "0", "33", "0"}, "0.00 0.00 -0.00\n", none, 0},
    {"coincident_m85", sorvane, {"-85", "0", "-85", "0"}, "0.00 180.00 180.00\n", none, 0},
    {"origin_lon_200", sorvane, {"0", "200", "0", "0"}, "160.00 90.00 270.00\n", none, 0},
    {"text_refused", sorvane, {"x", "0", "0", "90"}, "", nan_arg("sorvane", 1, "x"), 1},
    {"west_suffix_and_decimal_comma", brovic, {"38.3", "142.4", "38,3", "106.46W"}, "",
     nan_arg("brovic", 3, "38,3") + nan_arg("brovic", 4, "106.46W"), 1},
    {"temperate", sorvane, {"10", "20", "30", "40"}, "27.28 40.34 227.31\n", none, 0},
    {"below_float_precision", sorvane, {"10.000000001", "20", "30", "40"}, "27.28 40.34 227.31\n", none, 0},
    {"nan_lat", sorvane, {"nan", "0", "0", "0"}, "", sorvane_range, 1},  // no place is NaN
    {"lat_91", sorvane, {"91", "0", "0", "0"}, "", sorvane_range, 1},
    {"lon_541", sorvane, {"0", "0", "0", "541"}, "", sorvane_range, 1},
    {"lon_below_m180", sorvane, {"0", "-180.00001", "0", "0"}, "", sorvane_range, 1},
    {"no_args", sorvane, {}, "", sorvane_usage, 255},
    {"three_args", sorvane, {"0", "0", "0"}, "", sorvane_usage, 255},
    {"five_args", sorvane, {"0", "0", "0", "90", "0"}, "", sorvane_usage, 255},
    // midpoint latitude, longitude
    {"mid_quarter_equator", brovic, {"0", "0", "0", "90"}, "0.00 45.00\n", none, 0},
    {"mid_west_of_greenwich", brovic, {"0", "-90", "0", "0"}, "0.00 315.00\n", none, 0},
    {"mid_to_north_pole", brovic, {"0", "0", "90", "0"}, "45.19 0.00\n", none, 0},
    {"mid_from_north_pole", brovic, {"90", "0", "0", "90"}, "45.19 90.00\n", none, 0},
    {"mid_from_north_pole_west", brovic, {"90", "0", "0", "-90"}, "45.19 270.00\n", none, 0},
    {"mid_from_north_pole_200", brovic, {"90", "30", "-10", "200"}, "40.22 200.00\n", none, 0},
    {"mid_from_south_pole", brovic, {"-90", "0", "10", "45"}, "-40.22 45.00\n", none, 0},
    {"mid_from_south_pole_330", brovic, {"-90", "100", "45", "-30"}, "-22.73 330.00\n", none, 0},
    {"mid_from_south_pole_90", brovic, {"-90", "0", "0", "90"}, "-45.19 90.00\n", none, 0},
    {"mid_on_north_pole", brovic, {"13.4", "0", "13.4", "180"}, "90.00 0.00\n", none, 0},
    {"mid_lat_91", brovic, {"91", "0", "0", "0"}, "", brovic_range, 1},
    {"mid_lon_541", brovic, {"0", "0", "0", "541"}, "", brovic_range, 1},
    {"mid_three_args", brovic, {"0", "0", "0"}, "", brovic_usage, 255},
    {"mid_no_args", brovic, {}, "", brovic_usage, 255},
};

void PrintTo(const Case &c, std::ostream *os)
{
    *os << c.prog.substr(c.prog.rfind('/') + 1);
    for (const std::string &a : c.args)
        *os << " '" << a.substr(0, 40) << (a.size() > 40 ? "...'" : "'");
}

// Whatever a script or a user may hand over: no crash, a defined line or
// the out-of-range message, and the documented status.  Linux passes at
// most 128 KiB in one argument, and Windows 32,767 characters in a whole
// command line, so those are the longest tried.
#ifdef _WIN32
constexpr size_t longest_arg = 8000;
#else
constexpr size_t longest_arg = 131072;
#endif
const std::string longest = std::string(longest_arg - 4, ' ') + "45";
const std::string huge = std::string(longest_arg - 1, '9');
const std::string zeros = "0." + std::string(longest_arg - 5, '0') + "1";

const Case hostile[] = {
    {"empty_strings", sorvane, {"", " ", "0", "90"}, "",
     nan_arg("sorvane", 1, "") + nan_arg("sorvane", 2, " "), 1},
    {"longest_arguments", sorvane, {longest, "0", longest, "180"}, "90.38 0.00 360.00\n", none, 0},
    {"huge_number", sorvane, {huge, "0", "0", "0"}, "", sorvane_range, 1},
    {"mid_long_zeros", brovic, {"0", zeros, "0", huge}, "", brovic_range, 1},
    {"long_zeros", sorvane, {zeros, zeros, zeros, zeros}, "0.00 0.00 -0.00\n", none, 0},
    {"non_utf8", sorvane, {"0", "0", "\xff\xfe", "90"}, "", nan_arg("sorvane", 3, "\xff\xfe"), 1},
    {"nan", sorvane, {"0", "0", "-nan", "0"}, "", sorvane_range, 1},
    {"mid_nan", brovic, {"0", "nan(1)", "0", "0"}, "", brovic_range, 1},
    {"inf", sorvane, {"inf", "0", "0", "0"}, "", sorvane_range, 1},
    {"mid_minus_inf", brovic, {"0", "-inf", "0", "0"}, "", brovic_range, 1},
    {"infinity", sorvane, {"0", "0", "0", "infinity"}, "", sorvane_range, 1},
    {"overflow", sorvane, {"1e999", "0", "0", "0"}, "", sorvane_range, 1},
    {"mid_overflow", brovic, {"0", "0", "-1e999", "0"}, "", brovic_range, 1},
    {"beyond_float", sorvane, {"1e39", "0", "0", "0"}, "", sorvane_range, 1},  // finite, beyond float
    {"underflow", sorvane, {"1e-999", "0", "0", "90"}, "90.00 90.00 270.00\n", none, 0},
    {"hex_float", sorvane, {"0x1.68p+6", "0", "0", "0"}, "90.00 180.00 0.00\n", none, 0},
    {"mid_hex_float", brovic, {"0x0", "-0x5Ap0", "0", "0"}, "0.00 315.00\n", none, 0},
    {"printf_directives", brovic, {"0", "%n%s", "0", "90"}, "", nan_arg("brovic", 2, "%n%s"), 1},
    {"double_dash", sorvane, {"--", "0", "0", "90"}, "", nan_arg("sorvane", 1, "--"), 1},
    {"double_dash_five", sorvane, {"--", "0", "0", "0", "90"}, "", sorvane_usage, 255},
    {"help_short", brovic, {"-h"}, "", brovic_usage, 255},
    {"help_long", sorvane, {"--help"}, "", sorvane_usage, 255},
    {"trailing_text", sorvane, {"45", "0 trailing", "45", "180"}, "", nan_arg("sorvane", 2, "0 trailing"), 1},
    {"white_space_around", sorvane, {" 45", "0\t", "\n45 ", "180"}, "90.38 0.00 360.00\n", none, 0},
    {"plus_signs", sorvane, {"+90", "+0", "-0", "-0"}, "90.00 180.00 0.00\n", none, 0},
};

class Cli : public testing::TestWithParam<Case> {};

TEST_P(Cli, ExactOutputAndStatus)
{
    const Case &c = GetParam();
    Outcome r = run(c.prog, c.args);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.status, c.status);
}

std::string name(const testing::TestParamInfo<Case> &info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Programs, Cli, testing::ValuesIn(cases), name);
INSTANTIATE_TEST_SUITE_P(Hostile, Cli, testing::ValuesIn(hostile), name);

// The decimal point is '.' whatever locale the user runs in.
TEST(Cli, LocaleDoesNotChangeTheOutput)
{
    for (const char *loc : {"LC_ALL=de_DE.UTF-8", "LC_ALL=fr_FR", "LANG=C.UTF-8"}) {
        Outcome r = run(sorvane, {"0", "0", "0", "90"}, {loc});
        EXPECT_EQ(r.out, "90.00 90.00 270.00\n") << loc;
    }
}

}  // namespace
