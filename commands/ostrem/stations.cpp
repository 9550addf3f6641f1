#include "stations.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "channels.h"
#include "ellipsoid_direct.h"
#include "fdsn_text.h"
#include "fdsn_xml.h"
#include "fields.h"
#include "inputs.h"

namespace filter {

namespace {

// The whole of an input into text, what was read of it ahead first; 0 or
// errno.
int read_all(InputFile &input, std::string &text)
{
    if (input.fd() < 0 || input.error())
        return input.error();
    text = input.take_head();
    char buf[1 << 16];
    for (;;) {
        const long got = read_some(input.fd(), buf, sizeof buf);
        if (got <= 0)
            return got < 0 ? errno : 0;
        text.append(buf, static_cast<size_t>(got));
    }
}

stations::Arithmetic arithmetic_of(const Options &o)
{
    return o.surface == Surface::ellipsoid     ? stations::Arithmetic::ellipsoid
           : o.precision == Precision::float32 ? stations::Arithmetic::float_sphere
                                               : stations::Arithmetic::double_sphere;
}

}  // namespace

// One line of the file: blank and comment lines are passed over, a good
// station kept, a bad one noted.
void StationTable::take(char *line, size_t n, const LineNumbers &reader, unsigned long lineno,
                        char out_sep)
{
    size_t k = 0;
    while (k < n && blank(line[k]))
        k++;
    if (k >= n || line[k] == '#')
        return;
    Bad b{lineno, {}};
    double c[pair_numbers] = {};
    Texts t;
    stations::Instant epoch[most_times];
    bool good;
    if (n > max_line)
        LineNumbers::overlong(b.why, max_line), good = false;
    else
        good = reader.point(line, n, c, t, b.why);
    for (int i = 0; good && i < reader.layout().times; i++)  // the start, then the end
        good = reader.time(t, i, i == 1, &epoch[i], b.why);
    if (!good) {
        if (!file_lines_.empty())  // the file's line, which the user can find
            b.line = file_lines_[lineno - 1];
        if (bad_.size() < max_messages)
            bad_.push_back(b);
        bad_count_++;
        return;
    }
    if (out_sep) {
        const size_t at = rejoined_.size();
        rejoin(line, n, reader.layout().sep, out_sep, rejoined_);
        start_.push_back(at);
        length_.push_back(static_cast<uint32_t>(rejoined_.size() - at));
    } else {
        start_.push_back(static_cast<size_t>(line - text_.data()));
        length_.push_back(static_cast<uint32_t>(n));
    }
    lat_.push_back(c[stlat]);
    lon_.push_back(c[stlon]);
    if (reader.layout().count > 2)
        elevation_.push_back(c[filter::elevation]);
    if (reader.layout().times) {
        start_time_.push_back(epoch[0]);
        end_time_.push_back(epoch[1]);
    }
}

void StationTable::bad_station(unsigned long line, const char *why)
{
    if (bad_.size() < max_messages) {
        bad_.push_back({line, {}});
        std::snprintf(bad_.back().why.text, sizeof bad_.back().why.text, "%s", why);
    }
    bad_count_++;
}

// StationXML in text_ made the FDSN text it stands for, whose columns
// -F and -D then default to.  False when it is XML of another kind.
bool StationTable::from_xml(const char *name, Options &o)
{
    files::Converted c = files::convert(text_.data(), text_.size(), true, true, files::Kind::stations);
    if (c.kind != files::Kind::stations && !c.malformed) {
        char text[512];
        if (c.kind == files::Kind::events)
            std::snprintf(text, sizeof text, "%s: QuakeML, where stations are read (earthquakes are "
                                             "the lines of the input)", name);
        else
            std::snprintf(text, sizeof text, "%s: XML whose root element is <%.200s>: neither "
                                             "StationXML nor QuakeML", name, c.root.c_str());
        refusal_ = text;
        return false;
    }
    for (const files::Problem &p : c.problems)
        bad_station(p.line, p.what.c_str());
    bad_count_ += c.problem_count - c.problems.size();
    text_.swap(c.text);
    file_lines_.swap(c.lines);
    if (!o.station_fields_given) {
        o.station_field[0] = files::station_latitude;
        o.station_field[1] = files::station_longitude;
    }
    if (!o.station_sep)
        o.station_sep = '|';
    return true;
}

// A text table: FDSN station or channel text's own columns, and one line
// per station epoch in place of a channel table's channels.
void StationTable::from_text(Options &o)
{
    const files::TextHeader h = files::fdsn_text(text_.data(), text_.size());
    const bool fdsn = h.kind == files::Text::stations || h.kind == files::Text::channels;
    if (fdsn && !o.station_sep && !o.station_fields_given) {
        // FDSN station or channel text whose columns the command
        // line's defaults did not give: its own.
        o.station_sep = '|';
        o.station_field[0] = h.field("Latitude");
        o.station_field[1] = h.field("Longitude");
    }
    if (h.kind == files::Text::channels && o.station_sep == '|' && !o.channels) {
        // Stations, not channels: one line per station epoch.
        files::StationEpochs e = files::station_epochs(text_.data(), text_.size(), h);
        text_.swap(e.text);
        file_lines_.swap(e.lines);
    }
}

// Every line of the table: the header kept (-H), every other one taken.
void StationTable::read_lines(const Options &o)
{
    const LineNumbers reader(station_layout(o));
    // Room for a NUL after the last line and the bytes a line's reading
    // may look past its end.
    const size_t size = text_.size();
    text_.append(line_slack + 1, '\0');
    char *p = &text_[0], *end = p + size;
    unsigned long lineno = 0;
    while (p < end) {
        char *nl = static_cast<char *>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        char *stop = nl ? nl : end;
        size_t n = static_cast<size_t>(stop - p);
        if (n > 0 && p[n - 1] == '\r')  // CRLF
            n--;
        ++lineno;
        const char after = p[n];
        p[n] = '\0';
        if (lineno == 1 && o.header) {
            if (o.out_sep)
                rejoin(p, n, o.station_sep, o.out_sep, header_);
            else
                header_.assign(p, n);
            header_names_ = filter::header_names(p, n, o.station_sep);
            separator_ = o.station_sep;
        } else
            take(p, n, reader, lineno, o.out_sep);
        p[n] = after;
        p = nl ? nl + 1 : end;
    }
}

int StationTable::load(const char *name, const Options &o) { return load(InputFile(name), o); }

int StationTable::load(InputFile input, const Options &given)
{
    const char *name = given.stations ? given.stations : input.name();
    if (int err = read_all(input, text_))
        return err;
    if (text_.compare(0, 3, byte_order_mark) == 0)  // no part of the first line
        text_.erase(0, 3);
    Options o = given;
    if (files::looks_like_xml(text_.data(), text_.size())) {
        if (!from_xml(name, o))
            return 0;
    } else {
        from_text(o);
    }
    // FDSN text's codes, for the requests of --request.
    const files::TextHeader codes = files::fdsn_text(text_.data(), text_.size());
    if (codes.kind == files::Text::stations || codes.kind == files::Text::channels) {
        const char *names[4] = {"Network", "Station", "Location", "Channel"};
        for (int k = 0; k < 4; k++)
            code_field_[k] = codes.field(names[k]);
    }
    read_lines(o);
    stations::Table table;
    table.lat = lat_.data();
    table.lon = lon_.data();
    table.size = lat_.size();
    if (o.times) {
        table.start = start_time_.data();
        table.end = end_time_.data();
    }
    pairing_.reset(new stations::Pairing(arithmetic_of(o), table, o.selection));
    if (o.hypocentral)
        place_stations();
    if (o.arrivals)
        for (size_t i = 0; i < lat_.size(); i++)
            directions_.push_back(direction_of(lat_[i], lon_[i]));
    return 0;
}

// Each station's earth-centred position at its elevation, once for every
// earthquake's pairs, in the lanes: the same bits as hypocentral() gives
// it, pair by pair.
void StationTable::place_stations()
{
    const size_t n = lat_.size();
    std::vector<double> height(n);
    for (size_t i = 0; i < n; i++)
        height[i] = elevation(i);
    x_.resize(n), y_.resize(n), z_.resize(n);
    ellipsoid::positions(n, lat_.data(), lon_.data(), height.data(), x_.data(), y_.data(), z_.data());
}

void StationTable::codes(size_t i, std::string_view code[4]) const
{
    // FDSN text's fields, split on '|', which no code holds (--request
    // takes no -o, which would rejoin them).
    const std::string_view line = this->line(i);
    std::vector<std::string_view> fields;
    for (size_t from = 0;;) {
        const size_t bar = line.find('|', from);
        fields.push_back(line.substr(from, bar == std::string_view::npos ? std::string_view::npos : bar - from));
        if (bar == std::string_view::npos)
            break;
        from = bar + 1;
    }
    for (int k = 0; k < 4; k++) {
        const size_t f = static_cast<size_t>(code_field_[k]);
        std::string_view c = f >= 1 && f <= fields.size() ? fields[f - 1] : std::string_view();
        while (!c.empty() && c.front() == ' ')
            c.remove_prefix(1);
        while (!c.empty() && c.back() == ' ')
            c.remove_suffix(1);
        code[k] = c;
    }
}

}  // namespace filter
