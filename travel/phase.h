// A seismic phase by the field's name, as the passes its ray makes through
// the earth's regions: each pass the wave (P or S), the radii it runs
// between, and whether it turns there (going down and coming back up) or
// runs from one end to the other.  Legs: P and S in the mantle and crust
// (p and s leaving the source upwards), K the outer core's P, I and J the
// inner core's P and S; c and i reflections at the core-mantle and
// inner-core boundaries; two mantle legs in a row meet at the surface (PP,
// pP, sS); a leg of the same core region twice meets its underside (PKKP).
// "diff" after P or S: diffracted along the core-mantle boundary; "n" and
// "g" after P or S: along the top of the mantle and in the crust.
//
// For C++ callers inside the project.
#ifndef OSTREM_TRAVEL_PHASE_H
#define OSTREM_TRAVEL_PHASE_H

#include <string>
#include <string_view>
#include <vector>

#include "layered_earth.h"

namespace travel {

// A pass of the ray: the integrals of wave from top down to bottom, once;
// turns: the ray turns in between (else it must run the whole way).
struct Pass {
    Wave wave;
    double top, bottom;
    bool turns;
};

// How the ray runs on past its last turning point: along a boundary at
// the grazing ray parameter (diffracted, head waves), or not at all.
enum class Along { nothing, core, moho };

struct Phase {
    std::string name;
    std::vector<Pass> passes;
    Along along = Along::nothing;
    bool upwards = false;  // leaves the source upwards
};

// The passes of a named phase from a source at source_radius, in an earth
// whose Moho lies at moho_radius: an empty string, or why the name is not
// a phase.
std::string phase_of(std::string_view name, const LayeredEarth &earth, double source_radius,
                     double moho_radius, Phase &phase);

}  // namespace travel

#endif
