// The two programs run as a user runs them: exact standard output, standard
// error and exit status for each command line.
#include <cctype>
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
    const std::string &prog;
    std::vector<std::string> args;
    std::string out;
    const std::string &err;
    int status;
};

const std::string none;

const Case cases[] = {
    // distance, azimuth, back-azimuth
    {sorvane, {"0", "0", "0", "90"}, "90.00 90.00 270.00\n", none, 0},
    {sorvane, {"0", "0", "-90", "0"}, "90.00 180.00 -0.00\n", none, 0},
    {sorvane, {"0", "0", "10", "-0"}, "9.93 -0.00 180.00\n", none, 0},
    {sorvane, {"45", "0", "45", "180"}, "90.38 0.00 360.00\n", none, 0},
    {sorvane, {"33", "0", "33", "0"}, "0.00 0.00 -0.00\n", none, 0},
    {sorvane, {"-85", "0", "-85", "0"}, "0.00 180.00 180.00\n", none, 0},
    {sorvane, {"0", "200", "0", "0"}, "160.00 90.00 270.00\n", none, 0},
    {sorvane, {"x", "0", "0", "90"}, "90.00 90.00 270.00\n", none, 0},
    {sorvane, {"10", "20", "30", "40"}, "27.28 40.34 227.31\n", none, 0},
    {sorvane, {"10.000000001", "20", "30", "40"}, "27.28 40.34 227.31\n", none, 0},
    {sorvane, {"nan", "0", "0", "0"}, "nan nan nan\n", none, 0},
    {sorvane, {"91", "0", "0", "0"}, "", sorvane_range, 1},
    {sorvane, {"0", "0", "0", "541"}, "", sorvane_range, 1},
    {sorvane, {"0", "-180.00001", "0", "0"}, "", sorvane_range, 1},
    {sorvane, {}, "", sorvane_usage, 255},
    {sorvane, {"0", "0", "0"}, "", sorvane_usage, 255},
    {sorvane, {"0", "0", "0", "90", "0"}, "", sorvane_usage, 255},
    // midpoint latitude, longitude
    {brovic, {"0", "0", "0", "90"}, "0.00 45.00\n", none, 0},
    {brovic, {"0", "-90", "0", "0"}, "0.00 315.00\n", none, 0},
    {brovic, {"0", "0", "90", "0"}, "45.19 0.00\n", none, 0},
    {brovic, {"90", "0", "0", "90"}, "45.19 90.00\n", none, 0},
    {brovic, {"90", "0", "0", "-90"}, "45.19 270.00\n", none, 0},
    {brovic, {"90", "30", "-10", "200"}, "40.22 200.00\n", none, 0},
    {brovic, {"-90", "0", "10", "45"}, "-40.22 45.00\n", none, 0},
    {brovic, {"-90", "100", "45", "-30"}, "-22.73 330.00\n", none, 0},
    {brovic, {"-90", "0", "0", "90"}, "-45.19 90.00\n", none, 0},
    {brovic, {"13.4", "0", "13.4", "180"}, "90.00 0.00\n", none, 0},
    {brovic, {"91", "0", "0", "0"}, "", brovic_range, 1},
    {brovic, {"0", "0", "0", "541"}, "", brovic_range, 1},
    {brovic, {"0", "0", "0"}, "", brovic_usage, 255},
    {brovic, {}, "", brovic_usage, 255},
};

void PrintTo(const Case &c, std::ostream *os)
{
    *os << c.prog.substr(c.prog.rfind('/') + 1);
    for (const std::string &a : c.args)
        *os << " '" << a.substr(0, 40) << (a.size() > 40 ? "...'" : "'");
}

// Whatever a script or a user may hand over: no crash, a defined line or
// the out-of-range message, and the documented status.  The kernel passes
// at most 128 KiB in one argument, so that is the longest tried.
const std::string longest = std::string(131068, ' ') + "45";
const std::string huge = std::string(131071, '9');
const std::string zeros = "0." + std::string(131067, '0') + "1";

const Case hostile[] = {
    {sorvane, {"", "", "", ""}, "0.00 0.00 -0.00\n", none, 0},
    {brovic, {"", "", "", ""}, "0.00 0.00\n", none, 0},
    {sorvane, {longest, "0", longest, "180"}, "90.38 0.00 360.00\n", none, 0},
    {sorvane, {huge, "0", "0", "0"}, "", sorvane_range, 1},
    {brovic, {"0", zeros, "0", huge}, "", brovic_range, 1},
    {sorvane, {zeros, zeros, zeros, zeros}, "0.00 0.00 -0.00\n", none, 0},
    {sorvane, {"\xff\xfe", "\xc3\x28", "\x80", "90"}, "90.00 90.00 270.00\n", none, 0},
    {sorvane, {"nan", "0", "0", "0"}, "nan nan nan\n", none, 0},
    {brovic, {"nan", "0", "0", "0"}, "nan nan\n", none, 0},
    {sorvane, {"inf", "0", "0", "0"}, "", sorvane_range, 1},
    {brovic, {"0", "-inf", "0", "0"}, "", brovic_range, 1},
    {sorvane, {"0", "0", "0", "infinity"}, "", sorvane_range, 1},
    {sorvane, {"1e999", "0", "0", "0"}, "", sorvane_range, 1},
    {brovic, {"0", "0", "-1e999", "0"}, "", brovic_range, 1},
    {sorvane, {"1e39", "0", "0", "0"}, "", sorvane_range, 1},  // finite, beyond float
    {sorvane, {"1e-999", "0", "0", "90"}, "90.00 90.00 270.00\n", none, 0},
    {sorvane, {"0x1.68p+6", "0", "0", "0"}, "90.00 180.00 0.00\n", none, 0},
    {brovic, {"0x0", "-0x5Ap0", "0", "0"}, "0.00 315.00\n", none, 0},
    {sorvane, {"%n%s", "%s%s%s%s", "0", "90"}, "90.00 90.00 270.00\n", none, 0},
    {brovic, {"%n", "%n", "%n", "%n"}, "0.00 0.00\n", none, 0},
    {sorvane, {"--", "0", "0", "90"}, "90.00 90.00 270.00\n", none, 0},
    {sorvane, {"--", "0", "0", "0", "90"}, "", sorvane_usage, 255},
    {brovic, {"-h"}, "", brovic_usage, 255},
    {sorvane, {"--help"}, "", sorvane_usage, 255},
    {sorvane, {" 45", "0 trailing", "45x", "180"}, "90.38 0.00 360.00\n", none, 0},
    {sorvane, {"+90", "+0", "-0", "-0"}, "90.00 180.00 0.00\n", none, 0},
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

// Names such as sorvane_0_0_m90_0, so that ctest lists the command lines.
std::string name(const testing::TestParamInfo<Case> &info)
{
    std::string n = info.param.prog.substr(info.param.prog.rfind('/') + 1);
    for (std::string a : info.param.args) {
        a = a.substr(0, 12);
        n += '_';
        for (char c : a)
            n += std::isalnum(static_cast<unsigned char>(c)) ? std::string(1, c)
                 : c == '-'                                  ? std::string("m")
                 : c == '.'                                  ? std::string("p")
                                                             : std::string("x");
    }
    return n + "_" + std::to_string(info.index);
}

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
