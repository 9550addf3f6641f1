// A channel-level FDSN text (one line per channel epoch) as the stations
// it holds: one line per station epoch, so that a station with 27
// channels is one station to pair, to count and to choose among.
//
// The channels of one station are the lines with the same Network,
// Station, Latitude, Longitude and Elevation (a channel at coordinates of
// its own stays apart); their epochs, where they overlap or touch, are one
// station epoch, from the earliest start to the latest end (still running
// where any is).  Its line is the channel text's columns with only the
// station's values: Network, Station, Latitude, Longitude and Elevation
// of its channels, StartTime and EndTime of the epoch, every other field
// (Location, Channel, the sensor's) empty.  Lines that cannot be read so
// (another number of fields, a time that is not one) are kept as they are,
// for their reader to refuse with their line.
#ifndef OSTREM_STATION_FILES_CHANNELS_H
#define OSTREM_STATION_FILES_CHANNELS_H

#include <cstddef>
#include <string>
#include <vector>

#include "fdsn_text.h"

namespace files {

struct StationEpochs {
    std::string text;                  // the header line, then a line per station epoch
    std::vector<unsigned long> lines;  // the file's line (from 1) each line of text comes from
};

// [p, p + n): a whole file whose first line is the channel text's header
// h (h.kind == Text::channels).  Blank and '#' lines after it are dropped.
StationEpochs station_epochs(const char *p, size_t n, const TextHeader &h);

}  // namespace files

#endif
