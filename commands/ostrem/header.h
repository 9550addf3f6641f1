// The names a header line gives its fields, and the header line the
// output writes under -H: the input line's names, the station file's, then
// the results', each name trimmed and no two alike, so that a table
// reader finds every column under a name a user can guess.
#ifndef OSTREM_FILTER_HEADER_H
#define OSTREM_FILTER_HEADER_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace filter {

struct HeaderNames {
    // Each field's name without the blanks and quotes around it, and the
    // first without its leading '#' (FDSN text's).
    std::vector<std::string> names;
    bool marked = false;  // the first field began with '#'
    bool tidy = true;     // every field was its name as it stands
};

// The names of a header line, split as its lines are: on sep, or where
// sep is 0 on blanks and/or a comma.
HeaderNames header_names(const char *line, size_t n, char sep);

// Does the output's header need to be written from the names, rather than
// copied from the lines as they stand: a name to trim, a station's '#',
// or a name that clashes?
bool header_rewritten(const HeaderNames &line, const HeaderNames *station, const std::string_view results[],
                      int count);

// The names of the output's header, in order.  A name that an earlier one
// has (case ignored) takes a prefix that says whose it is: a station's
// "station_", a result's "ostrem_" (again, until it is free).  Only the
// first name keeps a '#'.
std::vector<std::string> output_names(const HeaderNames &line, const HeaderNames *station,
                                      const std::string_view results[], int count);

}  // namespace filter

#endif
