// -P: after a pair's results, the first arrival of each item of a phase
// list, from the earthquake's depth and the pair's distance in degrees on
// the geocentric sphere (the module's double-precision arc, whatever the
// run's own results are).  A thread keeps the sources of the depths it
// met last, so that an earthquake's stations, or a catalogue's events at
// one depth, share one.
#ifndef OSTREM_FILTER_TRAVEL_COLUMNS_H
#define OSTREM_FILTER_TRAVEL_COLUMNS_H

#include <memory>
#include <string>
#include <vector>

#include "format.h"
#include "instant.h"
#include "placed.h"
#include "travel_times.h"

namespace filter {

// A point placed on the module's geocentric sphere: the arc between two is
// ostremd()'s distance, bit for bit, the one the travel times take.  A
// point out of range is placed at NaN, and its arrivals are nan.
using Direction = sphere::Placed;
Direction direction_of(double lat, double lon);

class TravelColumns {
public:
    // items: each column's phases, the earliest of which it gives.
    // decimals: of the seconds.
    TravelColumns(std::shared_ptr<const travel::TimesModel> model, std::vector<std::vector<std::string>> items,
                  std::vector<std::string> names, int decimals);
    // The columns' names: the items as the list gave them (P+Pdiff).
    const std::vector<std::string> &names() const { return names_; }
    // Each column, joined: seconds after the origin, or with origin the
    // instant (ISO 8601, UTC, to the millisecond); nan where no phase of
    // the item arrives.
    void put(const Direction &earthquake, double depth, const Direction &station, const stations::Instant *origin,
             char join, Bytes &out) const;

    // The earliest arrival of every item's phases (s after the origin),
    // NaN where none arrives.
    double earliest(const Direction &earthquake, double depth, const Direction &station) const;

private:
    std::shared_ptr<const travel::TimesModel> model_;
    std::vector<std::vector<size_t>> items_;  // each column's phases, by index
    std::vector<std::string> phases_, names_;
    PutFixed put_fixed_;
};

// An instant and some seconds after it, as ISO 8601 in UTC with
// milliseconds (2024-01-01T00:10:07.125Z, or without the Z as the data
// centres' requests write it), rounded to the millisecond.
std::string instant_after(const stations::Instant &origin, double seconds, bool zone = true);

}  // namespace filter

#endif
