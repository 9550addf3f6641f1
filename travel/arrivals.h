// The arrivals of a seismic phase at a distance, from a source at a depth
// and a receiver at the surface: every ray parameter p whose ray covers
// the distance (X(p) = distance, or 2 pi n -/+ it), refined until the time
// is the model's own, not interpolated between sampled rays.  What
// depends on the source's depth alone (each phase's rays sampled over p)
// is done once per phase and kept.
//
// For C++ callers inside the project.  A Source is used by one thread.
#ifndef OSTREM_TRAVEL_ARRIVALS_H
#define OSTREM_TRAVEL_ARRIVALS_H

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "layered_earth.h"
#include "phase.h"

namespace travel {

struct Arrival {
    std::string phase;
    double time;           // seconds after the origin
    double ray_parameter;  // seconds per degree
    double takeoff;        // degrees from the downward vertical at the source
    double incidence;      // degrees from the vertical at the receiver
    // km: the depth of the ray's deepest point, where it turns or is
    // reflected; tells a triplication's branches apart.
    double deepest;
};

// The arrival of a phase's ray of parameter p (s/radian) from a source at
// source_radius, taking time seconds: its angles and its deepest point.
Arrival arrival_of(const LayeredEarth &earth, const Phase &phase, double source_radius, double p, double time);

// A source at a depth in a layered earth: what every distance shares.
class Source {
public:
    // moho_depth: where the crust ends (km), for Pn, Pg and the like.
    Source(const LayeredEarth &earth, double depth_km, double moho_depth = 35.0);
    // Every arrival of the phase at the distance (degrees), earliest
    // first.  A name that is no phase gives none; why() says why.
    std::vector<Arrival> arrivals(std::string_view phase, double distance) const;
    std::string why(std::string_view phase) const;

private:
    struct Ray {
        double tau, distance;
        bool exists;
    };
    // A phase's rays sampled over p, ascending: where X(p) is, and a gap
    // (exists false) where the phase has no ray.
    struct Branches {
        Phase phase;
        std::string wrong;
        std::vector<double> p;
        std::vector<Ray> rays;
    };
    Ray ray(const Phase &phase, double p) const;
    const Branches &branches(std::string_view name) const;
    Arrival arrival(const Phase &phase, double p, double tau, double target) const;
    const LayeredEarth &earth_;
    double source_radius_, moho_radius_;
    mutable std::map<std::string, Branches, std::less<>> kept_;
};

}  // namespace travel

#endif
