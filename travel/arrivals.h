// The arrivals of a seismic phase at a distance, from a source at a depth
// and a receiver at the surface: every ray parameter p whose ray covers
// the distance (X(p) = distance, or 2 pi n -/+ it), refined until the time
// is the model's own, not interpolated between sampled rays.  So far the
// phases that stay in the crust and mantle and turn there: P and S
// leaving downwards, p and s leaving upwards.
//
// For C++ callers inside the project.
#ifndef OSTREM_TRAVEL_ARRIVALS_H
#define OSTREM_TRAVEL_ARRIVALS_H

#include <string>
#include <string_view>
#include <vector>

#include "layered_earth.h"

namespace travel {

struct Arrival {
    std::string phase;
    double time;           // seconds after the origin
    double ray_parameter;  // seconds per degree
    double takeoff;        // degrees from the downward vertical at the source
    double incidence;      // degrees from the vertical at the receiver
};

// A source at a depth in a layered earth: what every distance shares.
class Source {
public:
    Source(const LayeredEarth &earth, double depth_km);
    // Every arrival of the phase at the distance (degrees), earliest
    // first; none for a phase name this code does not know.
    std::vector<Arrival> arrivals(std::string_view phase, double distance) const;

private:
    struct Ray {
        double tau, distance;
        bool exists;
    };
    // The ray of parameter p of a phase: its tau and distance (radians).
    Ray ray(Wave w, bool upwards, double p) const;
    const LayeredEarth &earth_;
    double source_radius_;
};

}  // namespace travel

#endif
