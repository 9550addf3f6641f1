// The station file of -S, held whole: each good line's text, numbers and
// epoch, and the pairing engine that finds each earthquake's stations.
#ifndef OSTREM_FILTER_STATIONS_H
#define OSTREM_FILTER_STATIONS_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "header.h"
#include "line_numbers.h"
#include "messages.h"
#include "inputs.h"
#include "options.h"
#include "pairing.h"

namespace filter {

// What the options ask of a pair, and of each earthquake's stations.

class StationTable {
public:
    struct Bad {
        unsigned long line;  // from 1
        Reason why;
    };

    // Reads every line of the file -S names, its fields as the options
    // say (station_options), and makes the engine their selection asks
    // for.  Returns 0, or the errno of a file that cannot be read.  Bad
    // lines take no part: the first max_messages are in bad(), and
    // bad_count() counts them all.
    int load(InputFile input, const Options &o);
    // The same for the named file (a test's or a fuzzer's).
    int load(const char *name, const Options &o);
    // Not a station file at all (XML of another kind): what to say, with
    // a status of 2; empty when it is one.
    const std::string &refusal() const { return refusal_; }

    size_t size() const { return lat_.size(); }
    double lat(size_t i) const { return lat_[i]; }
    double lon(size_t i) const { return lon_[i]; }
    // -Z's elevation (m), 0 without it.
    double elevation(size_t i) const { return elevation_.empty() ? 0.0 : elevation_[i]; }
    // Its earth-centred position (metres) at that elevation, where the
    // hypocentral distance is asked for (-z, -Z).
    double x(size_t i) const { return x_[i]; }
    // With -P, the station's direction on the geocentric sphere.
    const Direction &direction(size_t i) const { return directions_[i]; }
    double y(size_t i) const { return y_[i]; }
    double z(size_t i) const { return z_[i]; }
    // The station's line, without its line ending (with -o, its fields
    // joined as -o joins them).
    std::string_view line(size_t i) const
    {
        return std::string_view((rejoined_.empty() ? text_ : rejoined_).data() + start_[i], length_[i]);
    }
    std::string_view header() const { return header_; }
    const HeaderNames &header_names() const { return header_names_; }
    // Whether the file is FDSN text (or StationXML) with network and
    // station codes, and station i's codes: network, station, location,
    // channel (empty where the file has none, or the field is empty).
    bool has_codes() const { return code_field_[0] > 0 && code_field_[1] > 0; }
    void codes(size_t i, std::string_view code[4]) const;
    // The file's separator (-D, or its XML's '|'; 0: blanks).
    char separator() const { return separator_; }
    const std::vector<Bad> &bad() const { return bad_; }
    unsigned long bad_count() const { return bad_count_; }
    const stations::Pairing &pairing() const { return *pairing_; }

private:
    void take(char *line, size_t n, const LineNumbers &reader, unsigned long lineno, char out_sep);
    void bad_station(unsigned long line, const char *why);
    bool from_xml(const char *name, Options &o);
    void from_text(Options &o);
    void read_lines(const Options &o);
    void place_stations();

    std::string text_;  // the good lines, one after the other
    std::string rejoined_;  // with -o, each good line's fields joined by -o's separator
    std::vector<size_t> start_;
    std::vector<uint32_t> length_;
    std::vector<double> lat_, lon_, elevation_;  // as read
    std::vector<double> x_, y_, z_;  // positions, for the hypocentral distance
    std::vector<Direction> directions_;  // for the arrivals' distances
    std::vector<stations::Instant> start_time_, end_time_;
    std::string header_;
    HeaderNames header_names_;
    char separator_ = 0;
    int code_field_[4] = {0, 0, 0, 0};  // network, station, location, channel: fields from 1
    std::string refusal_;
    // StationXML, or channels made stations: the file's line each text
    // line comes from.
    std::vector<unsigned long> file_lines_;
    std::vector<Bad> bad_;
    unsigned long bad_count_ = 0;
    std::unique_ptr<stations::Pairing> pairing_;
};

}  // namespace filter

#endif
