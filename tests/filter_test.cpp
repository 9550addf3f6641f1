// The filter as a user runs it: exact output, messages and exit status for
// streams of good and bad lines and for several files, and for seeded
// random pairs the very lines that sorvane and brovic print.
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bits.h"
#include "run.h"

namespace {

const std::string filter = FILTER_PATH;
const std::string usage =
    "Usage: ostrem [-m | -w] [-e LAT,LON | -s LAT,LON] [-f LIST] [-a] [-d C] [-H] [-p N] [file ...]\n";

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
     "ostrem: -:1: field 3 is not a number\nostrem: -:2: field 1 is not a number\n"
     "ostrem: -:3: field 4 is not a number\nostrem: -:4: field 1 is empty\n"
     "ostrem: -:5: field 2 is empty\nostrem: -:6: field 2 is not a number\n",
     1},
    {"nul_inside_a_field", {}, std::string("0 0 0 9\0" "0\n0 0 0 90\n", 19), nan3 + d90,
     "ostrem: -:1: field 4 is not a number\n", 1},
    {"out_of_range", {}, "91 0 0 0\n0 0 0 541\ninf 0 0 0\n1e999 0 0 0\n0 -180.00001 0 0\n",
     nan3 + nan3 + nan3 + nan3 + nan3,
     "ostrem: -:1: coordinate out of range\nostrem: -:2: coordinate out of range\n"
     "ostrem: -:3: coordinate out of range\nostrem: -:4: coordinate out of range\n"
     "ostrem: -:5: coordinate out of range\n",
     1},
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

INSTANTIATE_TEST_SUITE_P(Streams, Filter, testing::ValuesIn(streams),
                         [](const testing::TestParamInfo<Stream> &i) { return i.param.name; });

// Files are read in order, standard input where "-" stands, and a bad line
// is reported with its own file's name and line number.
TEST(Filter, SeveralFiles)
{
    TempFile a("0 0 0 90\n"), b("# b\n91 0 0 0\n"), in("45 0 45 180\n");
    Outcome r = run(filter, {a.path, "-", b.path}, {}, in.path);
    EXPECT_EQ(r.out, d90 + "90.38 0.00 360.00\n# b\n" + nan3);
    EXPECT_EQ(r.err, "ostrem: " + b.path + ":2: coordinate out of range\n");
    EXPECT_EQ(r.status, 1);
}

// A full disk is an error; a reader that goes away is not.
TEST(Filter, WriteErrorsAndClosedPipes)
{
    TempFile in("0 0 0 90\n");
    Outcome r = run("/bin/sh", {"-c", filter + " >/dev/full"}, {}, in.path);
    EXPECT_EQ(r.err, "ostrem: write error: No space left on device\n");
    EXPECT_EQ(r.status, 2);

    // With SIGPIPE as it comes, and with SIGPIPE ignored in the filter alone.
    for (std::string f : {filter, "(trap '' PIPE; exec " + filter + ")"}) {
        r = run("/bin/sh", {"-c", "yes '0 0 0 90' | head -n 300000 | " + f + " | head -n 1"});
        EXPECT_EQ(r.out, d90) << f;
        EXPECT_EQ(r.err, "") << f;
    }
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
        {"-nan", "0", "0", "0"}, {"nan(1)", "0", "0", "0"}, {"0X1.68P+6", "0", "0", "0"}};
    Rng rng{987654321};
    for (int i = 0; i < 1500; i++) {
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

}  // namespace
