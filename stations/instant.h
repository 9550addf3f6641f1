// Instants of time as the FDSN formats and catalogues write them
// (2024-01-01, 2024-01-01T12:30, 2024-01-01T12:30:05.25Z), read into a
// count of seconds and nanoseconds so that they compare as instants, not
// as text: "2024-01-01" and "2024-01-01T00:00:00.000Z" are one instant.
#ifndef OSTREM_STATION_INSTANT_H
#define OSTREM_STATION_INSTANT_H

#include <cstdint>
#include <limits>

namespace stations {

struct Instant {
    int64_t seconds = 0;      // since 1970-01-01T00:00:00, UTC, Gregorian calendar throughout
    int32_t nanoseconds = 0;  // [0, 10^9)

    // Before and after every instant that can be written: an epoch with
    // no start, or one that has not ended.
    static constexpr Instant earliest() { return {std::numeric_limits<int64_t>::min(), 0}; }
    static constexpr Instant latest() { return {std::numeric_limits<int64_t>::max(), 999999999}; }

    friend bool operator<(const Instant &a, const Instant &b)
    {
        return a.seconds < b.seconds || (a.seconds == b.seconds && a.nanoseconds < b.nanoseconds);
    }
    friend bool operator<=(const Instant &a, const Instant &b) { return !(b < a); }
    friend bool operator==(const Instant &a, const Instant &b)
    {
        return a.seconds == b.seconds && a.nanoseconds == b.nanoseconds;
    }
};

// [p, end) as YYYY-MM-DD, optionally followed by THH:MM, then :SS, then a
// fraction of a second of one or more digits (kept to the nanosecond), then
// Z; each part in its calendar's range (a second of 60, a leap second, is
// the next minute's first).  True and *t, or false for any other text.
bool read_instant(const char *p, const char *end, Instant *t);

}  // namespace stations

#endif
