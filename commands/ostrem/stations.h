// The station file of -S, held whole: each good line's text and numbers,
// and the index that finds the stations near an earthquake.
#ifndef OSTREM_FILTER_STATIONS_H
#define OSTREM_FILTER_STATIONS_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "record.h"
#include "station_index.h"
#include "stream.h"

namespace filter {

class StationTable {
public:
    struct Bad {
        unsigned long line;  // from 1
        Reason why;
    };

    // Reads every line of the named file with reader (a Record made with
    // station_options).  Returns 0, or the errno of a file that cannot be
    // read.  Bad lines take no part: the first max_messages are in bad(),
    // and bad_count() counts them all.
    int load(const char *name, const Record &reader);

    size_t size() const { return lat_.size(); }
    double lat(size_t i) const { return lat_[i]; }
    double lon(size_t i) const { return lon_[i]; }
    // The station's line, without its line ending.
    std::string_view line(size_t i) const
    {
        return std::string_view(text_.data() + start_[i], length_[i]);
    }
    std::string_view header() const { return header_; }
    const std::vector<Bad> &bad() const { return bad_; }
    unsigned long bad_count() const { return bad_count_; }
    const stations::Index &index() const { return *index_; }

private:
    void take(char *line, size_t n, const Record &reader, unsigned long lineno);

    std::string text_;  // the good lines, one after the other
    std::vector<size_t> start_;
    std::vector<uint32_t> length_;
    std::vector<double> lat_, lon_;  // as read
    std::string header_;
    std::vector<Bad> bad_;
    unsigned long bad_count_ = 0;
    std::unique_ptr<stations::Index> index_;
};

}  // namespace filter

#endif
