// One line's work: its fields read, the module called, its output line
// written.  No I/O and no state between lines, so that any number of
// threads can run one Record's line() at once.
#ifndef OSTREM_FILTER_RECORD_H
#define OSTREM_FILTER_RECORD_H

#include <cstddef>
#include <string_view>
#include <vector>

#include "format.h"
#include "options.h"

namespace filter {

constexpr size_t max_line = 65536;  // bytes, without the line ending

// Why a line is bad, in the words of its message.
struct Reason {
    char text[160];
};

class Record {
public:
    explicit Record(const Options &o);

    // One line without its '\n' (a '\r' before it is a CRLF ending);
    // line[n] may be written.  header: the line is a file's first under -H.
    // Appends the line's output to out; when the line is bad, that is its
    // nan line, why says what is wrong, and false comes back.
    bool line(char *line, size_t n, bool header, Bytes &out, Reason &why) const;

    // The output of a line longer than max_line, which is not kept.
    void overlong(Bytes &out, Reason &why) const;

    const Options &options() const { return opt_; }

private:
    const char *take(char *line, size_t n, double v[4], Reason &why) const;
    const char *compute(const double c[4], double r[3]) const;
    void put_line(const char *line, size_t n, Bytes &out) const;
    void put_words(const char *line, size_t n, const std::string_view words[3], Bytes &out) const;

    Options opt_;
    int last_;                  // the last field wanted
    bool repeats_ = false;      // -f names a field twice
    std::vector<signed char> slot_;  // field number (to last_) -> the slot it fills, or -1
};

}  // namespace filter

#endif
