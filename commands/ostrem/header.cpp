#include "header.h"

#include "fdsn_text.h"
#include "fields.h"

namespace filter {

namespace {

bool taken(const std::vector<std::string> &names, size_t before, const std::string &name)
{
    for (size_t k = 0; k < before; k++)
        if (files::same_but_case(names[k], name))
            return true;
    return false;
}

// The names from `from` on that an earlier name has take the prefix, until
// they are free.
void set_apart(std::vector<std::string> &names, size_t from, const char *prefix)
{
    for (size_t k = from; k < names.size(); k++)
        while (taken(names, k, names[k]))
            names[k].insert(0, prefix);
}

}  // namespace

HeaderNames header_names(const char *line, size_t n, char sep)
{
    HeaderNames h;
    auto take = [&](int k, const char *start, const char *stop) {
        const char *raw_start = start, *raw_stop = stop;
        unwrap(start, stop);
        if (k == 1 && start < stop && *start == '#') {
            h.marked = true;
            start++;
        }
        h.tidy = h.tidy && start - raw_start == (k == 1 && h.marked) && stop == raw_stop;
        h.names.emplace_back(start, stop);
    };
    if (sep)
        split_on(line, line + n, sep, take);
    else
        split_blanks(line, line + n, take);
    return h;
}

// The names side by side as the lines give them: the line's, the
// station file's, the results'.
static std::vector<std::string> side_by_side(const HeaderNames &line, const HeaderNames *station,
                                             const std::string_view results[], int count)
{
    std::vector<std::string> names = line.names;
    if (station)
        names.insert(names.end(), station->names.begin(), station->names.end());
    for (int i = 0; i < count; i++)
        names.emplace_back(results[i]);
    return names;
}

std::vector<std::string> output_names(const HeaderNames &line, const HeaderNames *station,
                                      const std::string_view results[], int count)
{
    std::vector<std::string> names = side_by_side(line, station, results, count);
    const size_t stations_from = line.names.size();
    const size_t results_from = names.size() - static_cast<size_t>(count);
    names.resize(results_from);
    set_apart(names, stations_from, "station_");
    for (int i = 0; i < count; i++)
        names.emplace_back(results[i]);
    set_apart(names, results_from, "ostrem_");
    if (line.marked && !names.empty())
        names[0].insert(0, 1, '#');
    return names;
}

bool header_rewritten(const HeaderNames &line, const HeaderNames *station, const std::string_view results[],
                      int count)
{
    if (!line.tidy || (station && (!station->tidy || station->marked)))
        return true;
    std::vector<std::string> plain = side_by_side(line, station, results, count);
    if (line.marked && !plain.empty())
        plain[0].insert(0, 1, '#');
    return output_names(line, station, results, count) != plain;
}

}  // namespace filter
