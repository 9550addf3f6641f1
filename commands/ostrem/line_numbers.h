// A line's numbers: which fields hold them, how fields are separated, and
// where each number goes; read in one pass for the usual layout, else
// split and taken, with the text of each for a message, and checked
// against the ranges the computation accepts.  How many numbers a line
// gives comes from the layout: two for a station table, four for a pair,
// five or six with a depth and an elevation; and after them the texts of
// the fields that hold times (-S's epochs).
#ifndef OSTREM_FILTER_LINE_NUMBERS_H
#define OSTREM_FILTER_LINE_NUMBERS_H

#include <cstddef>
#include <vector>

#include "ranges.h"
#include "fields.h"
#include "instant.h"
#include "options.h"

namespace filter {

// Why a line is bad, in the words of its message; and, for a hint in the
// first message of a run, the separator the line seems to use when it was
// read without -d ('|', ';' or a tab; 0 for none).
struct Reason {
    char text[320];
    char looks_separated_by;
};

constexpr int most_times = 2;  // a station's start and end
constexpr size_t max_line = 65536;  // bytes a line is read from, without its ending

struct Layout {
    int count = 0;                  // the numbers a line gives
    int field[pair_numbers] = {};   // the field each is in, from 1
    int slot[pair_numbers] = {};    // where each goes in the caller's numbers
    // The range each number must lie in, as the computation sees it
    // (rounded to float where single); nullptr: any.
    const ranges::Range *range[pair_numbers] = {};
    bool single = false;
    int times = 0;                  // text fields after the numbers
    int time_field[most_times] = {};
    char sep = 0;                   // exactly this character; 0: blanks and/or a comma
    bool listed = false;            // other fields may hold anything
};

// Where the options say a line's numbers are: an input line's, and a line
// of -S's station file (its two numbers, then -Z's elevation and -T's
// times).
Layout line_layout(const Options &o);
Layout station_layout(const Options &o);

// The text each number was read from, for the messages; then each time's.
struct Texts {
    const char *text[pair_numbers + most_times];
    size_t len[pair_numbers + most_times];
};

class LineNumbers {
public:
    explicit LineNumbers(const Layout &layout);

    // For the usual layout (plain(): blanks and commas, the first fields
    // in order), one pass reads the numbers into their slots and says
    // true, or says false and read() must look.  *end is the line's NUL,
    // and line_slack bytes after it may be read.
    [[gnu::always_inline]] bool one_pass(const char *line, size_t n, double v[]) const
    {
        return plain_fields(line, line + n, layout_.count, v + layout_.slot[0]);
    }
    // The numbers into their slots of v and their texts into t; nullptr,
    // or why the line is bad (in why.text).
    const char *read(char *line, size_t n, double v[], Texts &t, Reason &why) const;
    // The numbers' ranges: nullptr, or which field is out of which range,
    // and its text, in why.text.
    const char *check(const Texts &t, const double v[], Reason &why) const;
    // read() and check(), and where the line is bad a hint of the
    // separator it seems to use: true, or false and why.
    bool point(char *line, size_t n, double v[], Texts &t, Reason &why) const;
    // The k-th time's text (from 0) as an instant; with open_end an empty
    // one is the latest.  True, or false and why.
    bool time(const Texts &t, int k, bool open_end, stations::Instant *at, Reason &why) const;
    // Why a line of more than limit bytes is not read.
    static void overlong(Reason &why, size_t limit);
    // The separator a bad line seems to use, where it was read without one.
    void hint(const char *line, size_t n, Reason &why) const;

    const Layout &layout() const { return layout_; }
    bool plain() const { return plain_; }

private:
    const char *refusal(int fields, int bad_field, const char *bad_start, const char *bad_stop,
                        Reason &why) const;
    Layout layout_;
    bool plain_;                     // quick() may read it
    int last_ = 0;                   // the last field wanted
    bool repeats_ = false;           // a field named twice
    std::vector<signed char> which_;  // field number (to last_) -> the number it is, or -1
};

}  // namespace filter

#endif
