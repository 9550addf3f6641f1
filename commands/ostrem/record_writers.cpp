// The filter's writers of what is not a result: a header's names, the
// words in place of results, a bad line's nan line and its reason.
#include <cmath>
#include <cstdio>
#include <string>

#include "fields.h"
#include "record.h"
#include "stations.h"

namespace filter {

using computations::most_results;

char Record::joiner(const char *line, size_t n) const
{
    if (opt_.out_sep || opt_.sep || !opt_.append)
        return opt_.joiner();
    const char *p = line, *end = line + n;
    while (p < end && blank(*p))
        p++;
    while (p < end && !blank(*p) && *p != ',')
        p++;
    while (p < end && blank(*p))
        p++;
    return p < end && *p == ',' ? ',' : ' ';
}

// An output line of words in place of the results: after the input line
// with -a, joined like results.
std::string_view Record::shown(const char *line, size_t n) const
{
    if (!opt_.out_sep)
        return std::string_view(line, n);
    thread_local std::string fields;
    fields.clear();
    rejoin(line, n, opt_.sep, opt_.out_sep, fields);
    return fields;
}

void Record::put_words(const char *line, size_t n, char join, const std::string_view words[],
                       Bytes &out) const
{
    if (opt_.append && line) {
        out.put(shown(line, n));
        out.put(&join, 1);
        if (stations_ && !opt_.geometry) {  // a header: the station file's follows the line's
            out.put(stations_->header());
            out.put(&join, 1);
        }
    }
    for (int i = 0; i < named_; i++) {
        out.put(words[i]);
        out.put(i + 1 < named_ ? &join : "\n", 1);
    }
}

// A header: the results' names after the line's and the station file's
// (as put_words writes them), or, where a name is to be trimmed or set
// apart from another, every name written anew, each part joined as its
// lines are: by -o's separator, else the line's by its own (-d's, or the
// joiner), the station file's by its own, the results by the joiner.
void Record::put_header(const char *line, size_t n, char join, Bytes &out) const
{
    if (opt_.append) {
        const HeaderNames mine = header_names(line, n, opt_.sep);
        const HeaderNames *station = stations_ && !opt_.geometry ? &stations_->header_names() : nullptr;
        if (header_rewritten(mine, station, names_, named_)) {
            const size_t line_names = mine.names.size();
            const size_t station_names = station ? station->names.size() : 0;
            std::string text;
            size_t k = 0;
            for (const std::string &name : output_names(mine, station, names_, named_)) {
                if (k > 0) {
                    char between = join;
                    if (!opt_.out_sep && k < line_names)
                        between = opt_.sep ? opt_.sep : join;
                    else if (!opt_.out_sep && k > line_names && k < line_names + station_names)
                        between = stations_->separator() ? stations_->separator() : ' ';
                    text += between;
                }
                if (opt_.out_sep)
                    put_field(text, name.data(), name.data() + name.size(), join);
                else
                    text += name;
                k++;
            }
            text += '\n';
            out.put(text);
            return;
        }
    }
    put_words(line, n, join, names_, out);
}


void Record::put_request(const StationTable &table, uint32_t j, double arrival, const stations::Instant &origin,
                         Bytes &out) const
{
    if (std::isnan(arrival))
        return;
    std::string_view code[4];
    table.codes(j, code);
    // Where the file lists channels an empty location is written "--", as
    // the requests spell it; where it does not, a location or channel is
    // any.
    const std::string_view location = !code[2].empty() ? code[2] : opt_.channels ? "--" : "*";
    const std::string_view channel = !code[3].empty() ? code[3] : "*";
    std::string text;
    for (std::string_view part : {code[0], code[1], location, channel}) {
        text += part;
        text += ' ';
    }
    text += instant_after(origin, arrival - opt_.request_window[0], false);
    text += ' ';
    text += instant_after(origin, arrival + opt_.request_window[1], false);
    text += '\n';
    out.put(text);
}

void Record::overlong(Bytes &out, Reason &why, size_t limit) const
{
    LineNumbers::overlong(why, limit);
    if (writes_nan_lines())
        put_words(nullptr, 0, opt_.joiner(), nans_.data(), out);
}

// A bad line: why, the hint of a separator, and its nan line (none with
// a window: it is not known to lie in it).  Returns false.
bool Record::refuse(const char *line, size_t n, char join, const char *reason, Bytes &out,
                    Reason &why) const
{
    if (reason != why.text)
        std::snprintf(why.text, sizeof why.text, "%s", reason);
    reader_.hint(line, n, why);
    if (writes_nan_lines())
        put_words(line, n, join, nans_.data(), out);
    return false;
}

}  // namespace filter
