// The filter's readers and writers at the edges of their fast paths: the
// number reader's eight-character load and the one-pass line reader against
// strtod and the general reading, and the digit writers against printf;
// the times of -S's epochs, and the option reader's field lists.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <getopt.h>
#include <gtest/gtest.h>

#include "number.h"
#include "../commands/ostrem/fields.h"
#include "../commands/ostrem/format.h"
#include "../commands/ostrem/inputs.h"
#include "../commands/ostrem/line_numbers.h"
#include "../commands/ostrem/options.h"
#include "instant.h"

namespace {

// Spellings around the edges of one eight-character load: numbers of 7, 8
// and 9 characters after the sign, the point at each place, a digit or a
// point just past the eight, and what strtod refuses.
TEST(Reading, NumbersAtTheEdgesOfOneLoad)
{
    const char *spellings[] = {
        "1234567", "12345678", "123456789", "1234567.", "1234567.8", "123456.7", "1.2345678",
        "1.23456789", ".1234567", ".12345678", "-1234567.8", "-.5", "-0", "-0.0", "0.", ".",
        "-", "", "00000001.5", "1.2.3", "12.34.", "1e5", "+5", "0x1p3", "123456789012345",
        "1234567890123456", "-90.00000", "540.0000", "46.51234",
        // Bytes the length test does not stop at, which must still end
        // the plain reading: '/' lies between '.' and '0', ':' after '9',
        // and a degree sign's bytes are 128 or more.
        "12/5", "1.5/", "12:30", "46.5\xc2\xb0", "\xc2\xb0" "46.5", "1.2\x7f",
    };
    for (const char *s : spellings) {
        for (char next : {'\0', ' ', '7', '.'}) {
            std::string text = std::string(s) + next + std::string(8, '\0');
            char *end = nullptr;
            std::string alone(s);
            double want = std::strtod(alone.c_str(), &end), got = -1;
            bool whole = !alone.empty() && end == alone.c_str() + alone.size();
            const char *stop = text.data() + alone.size();
            EXPECT_EQ(number::read(text.data(), stop, &got), whole) << s << " then '" << next << "'";
            if (whole)
                EXPECT_EQ(std::memcmp(&got, &want, sizeof got), 0) << s << ": " << got << " " << want;
        }
    }
}

// The one-pass reading of a line takes it only where the general one
// reads the same numbers from as many fields.
TEST(Reading, OnePassLinesAsTheGeneralReading)
{
    const std::string lines[] = {
        "1 2 3 4", " 1,2 , 3\t4 ", "-46.51234 7.48210 -106.4572 540", "1 2 3", "1 2 3 4 5",
        "1,,2,3,4", "1 2 3 4,", ",1 2 3 4", "1 2 3 12345678", "1 2 3 123456789", "1 2 3 4x",
        "1 2 3 -", "1 2 3 1.5.", std::string("1 2 \0 3 4", 9), "46.5\xc2\xb0 7 8 9",
        "1 2/3 4 5", "1 2 3 4:", "1 2 3 -.5", "1 2 3 --5", "1 -2 -3.25 -.5",
    };
    for (const std::string &l : lines) {
        std::string line = l + std::string(filter::line_slack + 1, '\0');
        const char *end = line.data() + l.size();
        double fast[4], slow[4];
        bool taken = filter::plain_fields(line.data(), end, 4, fast);
        bool all = true;
        int count = filter::split_blanks(line.data(), end, [&](int k, const char *a, const char *b) {
            if (k <= 4)
                all &= number::read(a, b, &slow[k - 1]);
        });
        if (taken) {
            EXPECT_TRUE(count == 4 && all) << l;
            EXPECT_EQ(std::memcmp(fast, slow, sizeof fast), 0) << l;
        } else {
            EXPECT_FALSE(l == "1 2 3 4" || l == " 1,2 , 3\t4 ") << l;  // the usual lines are taken
        }
    }
}

// The digit writers where the number of digits changes, and printf's
// rounding of ties and of values just below them.
TEST(Writing, DigitsWhereTheirNumberChanges)
{
    const double values[] = {0,      0.004,  0.005,   0.015,   0.125,   9.995,   9.99499,
                             10,     99.995, 99.999,  100,     359.995, 360,     999.995,
                             999.99, 1000,   12345.5, -0.0,    -0.001,  -9.995,  1e9 - 1,
                             1e9,    2.5,    3.5,     1e-320,  180,     0x1p-11, 0x1.fffffffffffffp-12,
                             -0x1p-11, 0x1.5p-30};
    for (double v : values) {
        char want[64], got[64];
        std::snprintf(want, sizeof want, "%.2f", static_cast<double>(static_cast<float>(v)));
        *filter::put_value(got, static_cast<float>(v)) = '\0';
        EXPECT_STREQ(got, want) << v;
        for (int decimals = 0; decimals <= 9; decimals++) {
            std::snprintf(want, sizeof want, "%.*f", decimals, v);
            *filter::fixed_writer(decimals)(got, v) = '\0';
            EXPECT_STREQ(got, want) << v << " with " << decimals << " decimals";
        }
    }
}

}  // namespace

namespace {

// ISO 8601 as the FDSN formats write it, read to the instant: each form of
// one instant alike, the calendar's ranges refused.
TEST(Reading, InstantsAsTheFormatsWriteThem)
{
    const struct {
        const char *text;
        bool good;
        int64_t seconds;
        int32_t nanoseconds;
    } cases[] = {
        {"1970-01-01", true, 0, 0},
        {"1970-01-01T00:00:00Z", true, 0, 0},
        {"1970-01-01T00:00", true, 0, 0},
        {"2024-02-29T12:30:05.25Z", true, 1709209805, 250000000},
        {"1969-12-31T23:59:59.999999999", true, -1, 999999999},
        {"2000-03-01T00:00:00.1234567891", true, 951868800, 123456789},  // to the nanosecond
        {"2599-12-31T23:59:59", true, 19880899199, 0},
        {"1600-01-01", true, -11676096000, 0},
        {"2016-12-31T23:59:60", true, 1483228800, 0},  // a leap second: the next minute's first
        {"2023-02-29", false, 0, 0},
        {"1900-02-29", false, 0, 0},
        {"2024-13-01", false, 0, 0},
        {"2024-00-10", false, 0, 0},
        {"2024-01-32", false, 0, 0},
        {"2024-01-01T24:00", false, 0, 0},
        {"2024-01-01T12", false, 0, 0},
        {"2024-01-01T12:00:00.", false, 0, 0},
        {"2024-01-01 12:00", false, 0, 0},
        {"2024-1-01", false, 0, 0},
        {"2024-01-01ZZ", false, 0, 0},
        {"", false, 0, 0},
    };
    for (const auto &c : cases) {
        stations::Instant t;
        const bool good = stations::read_instant(c.text, c.text + std::strlen(c.text), &t);
        EXPECT_EQ(good, c.good) << c.text;
        if (good && c.good) {
            EXPECT_EQ(t.seconds, c.seconds) << c.text;
            EXPECT_EQ(t.nanoseconds, c.nanoseconds) << c.text;
        }
    }
}

// A field list longer than its array is refused without writing past it
// into the options that follow.
TEST(Options, ALongStationListWritesNothingPastIt)
{
    const char *words[] = {"ostrem", "-S", "stations.txt", "-D", "|", "-F", "1,2,3,4,5,6,7,8"};
    std::vector<char *> argv;
    for (const char *w : words)
        argv.push_back(const_cast<char *>(w));
    filter::Options o;
    int first = 0;
    optind = 0;
    const int status = filter::options(static_cast<int>(argv.size()), argv.data(), o, &first);
    EXPECT_EQ(status, 2);
    EXPECT_EQ(o.station_sep, '|');
    EXPECT_FALSE(o.station_listed);
    EXPECT_EQ(o.station_elevation_field, 0);
    EXPECT_EQ(o.nearest, 0);
}

// A file of the given bytes beside the test, removed with it.
struct Scratch {
    std::string path;
    Scratch(const std::string &name, const std::string &text) : path("reading_test_" + name)
    {
        FILE *f = std::fopen(path.c_str(), "wb");
        EXPECT_TRUE(f && std::fwrite(text.data(), 1, text.size(), f) == text.size()) << path;
        if (f)
            std::fclose(f);
    }
    ~Scratch() { std::remove(path.c_str()); }
};

// What an input's reader gets: the head read ahead of it, then the rest.
std::string read_through(filter::InputFile &in)
{
    std::string text = in.take_head();
    char buf[4096];
    for (long got; (got = filter::read_some(in.fd(), buf, sizeof buf)) > 0;)
        text.append(buf, static_cast<size_t>(got));
    return text;
}

// An input peeked at for its kind and header loses nothing and doubles
// nothing: its reader gets every byte once, whatever the first line's
// length against the chunks read ahead and the line's limit; the head
// tells XML by its first byte that is not white space, text by its whole
// first line.
TEST(Inputs, WhatIsReadAheadIsHandedOnOnce)
{
    const std::string long_line(3000, 'x'), past_limit(filter::max_line + 5000, 'y');
    const struct {
        const char *name;
        std::string text;
        bool xml, whole_first_line;
    } cases[] = {
        {"empty", "", false, true},
        {"text", "lat lon\n1 2\n3 4\n", false, true},
        {"no_newline", "lat lon", false, true},
        {"long_first_line", long_line + "\n1 2\n", false, true},
        {"past_the_limit", past_limit + "\n1 2\n", false, false},
        {"blank_then_text", std::string(600, ' ') + "\n\nlat lon\n", false, true},
        {"xml", "  <?xml version='1.0'?>\n<quakeml/>\n" + long_line, true, false},
        {"fdsn", "#Network|Station|Latitude|Longitude\nIU|ANMO|34.9|-106.5\n", false, true},
    };
    for (const auto &c : cases) {
        const Scratch file(c.name, c.text);
        filter::Inputs inputs;
        filter::InputFile &peeked = inputs.peek(file.path.c_str());
        EXPECT_EQ(&inputs.peek(file.path.c_str()), &peeked) << c.name << ": peeked once";
        EXPECT_EQ(peeked.error(), 0) << c.name;
        EXPECT_EQ(peeked.xml(), c.xml) << c.name;
        EXPECT_LE(peeked.head().size(), filter::max_line + 1) << c.name;
        const size_t newline = c.text.find('\n');
        if (c.whole_first_line && newline != std::string::npos)
            EXPECT_GT(peeked.head().size(), newline) << c.name << ": the first line whole";
        if (std::string(c.name) == "fdsn")
            EXPECT_EQ(peeked.text().kind, files::Text::stations);
        filter::InputFile taken = inputs.take(file.path.c_str());
        EXPECT_EQ(read_through(taken), c.text) << c.name;
        // Taken again, a file is opened anew and read from its start.
        filter::InputFile again = inputs.take(file.path.c_str());
        EXPECT_EQ(read_through(again), c.text) << c.name;
    }
    filter::Inputs inputs;
    const filter::InputFile &missing = inputs.peek("reading_test_no_such_file");
    EXPECT_LT(missing.fd(), 0);
    EXPECT_EQ(missing.error(), ENOENT);
}

// What an input's kind decides, given after the command line as an
// option would be: it settles as the same option on the command line.
TEST(Options, GivenAfterTheCommandLineAsOnIt)
{
    auto settled = [](std::vector<const char *> words, const std::vector<std::pair<char, std::string>> &given,
                      filter::Options &o) {
        std::vector<char *> argv;
        for (const char *w : words)
            argv.push_back(const_cast<char *>(w));
        filter::Given g;
        int first = 0;
        optind = 0;
        int status = filter::read_options(static_cast<int>(argv.size()), argv.data(), o, g, &first);
        for (const auto &[option, value] : given)
            status = status ? status : filter::give(option, value, o, g);
        return status ? status : filter::settle_options(o, g);
    };
    filter::Options after;
    ASSERT_EQ(settled({"ostrem", "-e", "0,0"}, {{'d', "|"}, {'f', "3,4"}}, after), 0);
    filter::Options plain;
    ASSERT_EQ(settled({"ostrem", "-e", "0,0", "-d", "|", "-f", "3,4"}, {}, plain), 0);
    EXPECT_EQ(after.sep, plain.sep);
    EXPECT_EQ(after.field[0], plain.field[0]);
    EXPECT_EQ(after.field[1], plain.field[1]);
    EXPECT_EQ(after.fields_given, plain.fields_given);
    filter::Options stations;
    ASSERT_EQ(settled({"ostrem", "-S", "st.txt", "-t", "3", "-T", "5,6"}, {{'D', "|"}, {'F', "3,4"}}, stations),
              0);
    const filter::Layout l = filter::station_layout(stations);
    EXPECT_EQ(l.sep, '|');
    EXPECT_EQ(l.count, 2);
    EXPECT_EQ(l.field[0], 3);
    EXPECT_EQ(l.field[1], 4);
    EXPECT_EQ(l.slot[0], filter::stlat);
    EXPECT_EQ(l.times, 2);  // the station's start and end
    EXPECT_EQ(l.time_field[0], 5);
    EXPECT_EQ(l.time_field[1], 6);
}

}  // namespace
