// The arrivals of -P, and instants written as text.
#include "travel_columns.h"

#include <cmath>
#include <cstdio>

namespace filter {

TravelColumns::TravelColumns(std::shared_ptr<const travel::TimesModel> model,
                             std::vector<std::vector<std::string>> items, std::vector<std::string> names,
                             int decimals)
    : model_(std::move(model)), names_(std::move(names)), put_fixed_(fixed_writer(decimals))
{
    // Each phase once, however many items name it.
    for (const auto &item : items) {
        std::vector<size_t> taken;
        for (const std::string &phase : item) {
            size_t k = 0;
            while (k < phases_.size() && phases_[k] != phase)
                k++;
            if (k == phases_.size())
                phases_.push_back(phase);
            taken.push_back(k);
        }
        items_.push_back(std::move(taken));
    }
}

Direction direction_of(double lat, double lon)
{
    Direction d;
    if (!sphere::placed(lat, lon, &d))
        d = {NAN, NAN, NAN};
    return d;
}

void TravelColumns::put(const Direction &earthquake, double depth, const Direction &station,
                        const stations::Instant *origin, char join, Bytes &out) const
{
    const double distance = sphere::arc_degrees(earthquake, station);
    const travel::SourceTimes &times = travel::kept_source(*model_, depth, phases_);
    thread_local std::vector<double> first;
    first.resize(phases_.size());
    for (size_t k = 0; k < phases_.size(); k++) {
        double ray_parameter;
        times.first(k, distance, first[k], ray_parameter);
    }
    for (const std::vector<size_t> &item : items_) {
        double t = NAN;
        for (size_t k : item)
            if (first[k] < t || std::isnan(t))
                t = first[k];
        out.put(&join, 1);
        if (std::isnan(t)) {
            out.put("nan", 3);
        } else if (origin) {
            out.put(instant_after(*origin, t));
        } else {
            char *p = out.room(64);
            out.commit(put_fixed_(p, t));
        }
    }
}

double TravelColumns::earliest(const Direction &earthquake, double depth, const Direction &station) const
{
    const double distance = sphere::arc_degrees(earthquake, station);
    double first, ray_parameter;
    travel::kept_source(*model_, depth, phases_).earliest(distance, first, ray_parameter);
    return first;
}

std::string instant_after(const stations::Instant &origin, double seconds, bool zone)
{
    // Milliseconds since the epoch, rounded half away from zero.
    const int64_t ms = origin.seconds * 1000 + origin.nanoseconds / 1000000 +
                       static_cast<int64_t>(std::llround(seconds * 1000 + (origin.nanoseconds % 1000000) / 1e6));
    int64_t days = ms >= 0 ? ms / 86400000 : -((-ms + 86399999) / 86400000);
    const int64_t in_day = ms - days * 86400000;
    // The civil date of a day count from 1970-01-01, by eras of 400 years
    // (146097 days) that start on March 1st, so that a leap day ends one.
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t of_era = days - era * 146097;
    const int64_t year_of_era = (of_era - of_era / 1460 + of_era / 36524 - of_era / 146096) / 365;
    const int64_t of_year = of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const int64_t shifted_month = (5 * of_year + 2) / 153;
    const int64_t day = of_year - (153 * shifted_month + 2) / 5 + 1;
    const int64_t month = shifted_month < 10 ? shifted_month + 3 : shifted_month - 9;
    const int64_t year = year_of_era + era * 400 + (month <= 2);
    const auto part = [](int64_t v) { return static_cast<unsigned>(v); };  // each in [0, 86400000)
    char text[96];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02u:%02u:%02u.%03u", static_cast<long long>(year),
                  part(month), part(day), part(in_day / 3600000), part(in_day / 60000 % 60),
                  part(in_day / 1000 % 60), part(in_day % 1000));
    return zone ? std::string(text) + "Z" : std::string(text);
}

}  // namespace filter
