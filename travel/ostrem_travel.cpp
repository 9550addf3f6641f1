// The C interface to the travel times: thin handles on the room's classes.
#include "ostrem_travel.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "travel_times.h"

struct travel_model {
    std::shared_ptr<const travel::TimesModel> model;
};

struct travel_source {
    std::unique_ptr<travel::SourceTimes> times;
    size_t phases;
};

namespace {

void say(const std::string &what, char *why, size_t why_size)
{
    if (why && why_size > 0)
        std::snprintf(why, why_size, "%s", what.c_str());
}

}  // namespace

travel_model *travel_model_open(const char *name, char *why, size_t why_size)
{
    std::string wrong;
    auto model = travel::shared_model(name ? name : "", wrong);
    if (!model) {
        say(wrong, why, why_size);
        return nullptr;
    }
    travel_model *handle = new (std::nothrow) travel_model{std::move(model)};
    if (!handle)
        say("out of memory", why, why_size);
    return handle;
}

void travel_model_close(travel_model *model) { delete model; }

travel_source *travel_source_open(const travel_model *model, double depth_km, const char *phases, char *why,
                                  size_t why_size)
{
    std::vector<std::vector<std::string>> items;
    std::string wrong = travel::read_phase_list(phases ? phases : "", items);
    if (!wrong.empty()) {
        say(wrong, why, why_size);
        return nullptr;
    }
    std::vector<std::string> every;
    for (const auto &item : items)
        every.insert(every.end(), item.begin(), item.end());
    // A name is refused whatever the depth; a depth outside the model is
    // a source without arrivals.
    for (const std::string &name : every) {
        wrong = travel::why_no_phase(*model->model, name);
        if (!wrong.empty()) {
            say(wrong, why, why_size);
            return nullptr;
        }
    }
    try {
        return new travel_source{std::make_unique<travel::SourceTimes>(*model->model, depth_km, every), every.size()};
    } catch (const std::bad_alloc &) {
        say("out of memory", why, why_size);
        return nullptr;
    }
}

void travel_source_close(travel_source *source) { delete source; }

void travel_first_arrivals(const travel_source *source, size_t n, const double *distance, double *time,
                           double *ray_parameter)
{
    for (size_t i = 0; i < n; i++) {
        double earliest = NAN, slope = NAN;
        for (size_t k = 0; k < source->phases; k++) {
            double t, p;
            source->times->first(k, distance[i], t, p);
            if (t < earliest || std::isnan(earliest))
                earliest = t, slope = p;
        }
        time[i] = earliest;
        if (ray_parameter)
            ray_parameter[i] = slope;
    }
}
