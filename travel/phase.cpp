// The phase grammar: a name read leg by leg into passes.
#include "phase.h"

namespace travel {

namespace {

// The earth's regions from the top: the mantle (with the crust), the
// outer core, the inner core.
enum Region { mantle = 0, outer_core = 1, inner_core = 2 };

struct LegLetter {
    Wave wave;
    Region region;
};

bool leg_of(char c, LegLetter &leg)
{
    switch (c) {
    case 'P': case 'p': leg = {Wave::P, mantle}; return true;
    case 'S': case 's': leg = {Wave::S, mantle}; return true;
    case 'K': leg = {Wave::P, outer_core}; return true;
    case 'I': leg = {Wave::P, inner_core}; return true;
    case 'J': leg = {Wave::S, inner_core}; return true;
    default: return false;
    }
}

}  // namespace

std::string phase_of(std::string_view name, const LayeredEarth &earth, double source_radius,
                     double moho_radius, Phase &phase)
{
    Phase ph;
    ph.name = std::string(name);
    const double tops[3] = {earth.radius(), earth.core_radius(), earth.inner_core_radius()};
    auto bottom_of = [&](Region r) { return r == inner_core ? 0.0 : tops[r + 1]; };
    std::string_view legs = name;
    double floor = -1;  // a crustal phase (g) turns above the Moho
    for (const char *tail : {"diff", "n", "g"}) {
        const std::string_view t(tail);
        if (legs.size() > t.size() && legs.substr(legs.size() - t.size()) == t) {
            legs.remove_suffix(t.size());
            if (legs.size() != 1 || (legs[0] != 'P' && legs[0] != 'S'))
                return "\"" + ph.name + "\": " + std::string(tail) + " follows P or S alone";
            ph.along = t == "diff" ? Along::core : t == "n" ? Along::moho : Along::nothing;
            if (t == "g")
                floor = moho_radius;
        }
    }
    if (legs.empty())
        return "\"" + ph.name + "\": an empty phase name";
    double at = source_radius;
    bool down = true;
    for (size_t i = 0; i < legs.size(); i++) {
        LegLetter leg;
        if (!leg_of(legs[i], leg))
            return "\"" + ph.name + "\": no leg is called " + std::string(1, legs[i]);
        const bool lower = legs[i] == 'p' || legs[i] == 's';
        if (lower && i != 0)
            return "\"" + ph.name + "\": p and s leave the source, first";
        if (i == 0 && leg.region != mantle)
            return "\"" + ph.name + "\": a phase leaves the source in the mantle or crust";
        const double top = tops[leg.region];
        const double bottom = floor >= 0 ? floor : bottom_of(leg.region);
        const char next = i + 1 < legs.size() ? legs[i + 1] : 0;
        LegLetter after;
        const bool has_after = leg_of(next, after);
        if (lower) {
            ph.upwards = true;
            ph.passes.push_back({leg.wave, top, at, false});
            at = top, down = false;
        } else if (down) {
            const bool reflects = (next == 'c' && leg.region == mantle) || (next == 'i' && leg.region == outer_core);
            if (reflects || (has_after && after.region > leg.region)) {  // runs to the bottom
                ph.passes.push_back({leg.wave, at, bottom, false});
                at = bottom;
                if (reflects) {
                    down = false;
                    i++;
                    if (i + 1 >= legs.size() || !leg_of(legs[i + 1], after) || after.region != leg.region)
                        return "\"" + ph.name + "\": a reflection is followed by a leg of the same region";
                }
            } else {  // turns, and comes back up to the region's top
                ph.passes.push_back({leg.wave, at, bottom, true});
                ph.passes.push_back({leg.wave, top, bottom, true});
                at = top, down = false;
            }
        } else {  // up through the region
            ph.passes.push_back({leg.wave, top, at, false});
            at = top;
        }
        if (!down && i + 1 < legs.size()) {
            if (!leg_of(legs[i + 1], after))
                return "\"" + ph.name + "\": no leg is called " + std::string(1, legs[i + 1]);
            if (after.region == leg.region && at == top)
                down = true;  // reflected at the surface, or under a boundary
            else if (after.region > leg.region)
                return "\"" + ph.name + "\": a ray going up cannot enter a deeper region";
        }
    }
    if (down || at != earth.radius())
        return "\"" + ph.name + "\": the ray does not come back to the surface";
    // Diffracted: down to the core-mantle boundary and up from it, grazing.
    if (ph.along == Along::core)
        for (Pass &pass : ph.passes)
            pass.turns = false;
    phase = std::move(ph);
    return "";
}

}  // namespace travel
