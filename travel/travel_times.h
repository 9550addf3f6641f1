// Travel times for many pairs: what an earth model's rays share at every
// source depth is sampled once, each region's leg (its tau and distance)
// at a grid of ray parameters of its own, and the sums from the surface
// through the upper shells; a source depth then costs one pass over its
// phases' grids, and a distance one root on a branch.
//
// Between two samples a leg's distance X(p) is taken to grow as the square
// root of the distance in p from the upper sample (a ray grazing the
// boundary whose eta that sample is) and then linearly, and tau as its
// integral: both samples' tau and X fix it, and a sum of legs interpolates
// as the sum of theirs.  The arrival is where that distance is the pair's,
// and its time tau + p X is stationary there, so an error in p barely
// reaches the time.  The grids hold every shell's eta, where a branch may
// end or fold, and are halved where a leg strays from its interpolant.
//
// For C++ callers inside the project.  Both classes may be shared by
// threads: a model's grids are made once, when first needed.
#ifndef OSTREM_TRAVEL_TRAVEL_TIMES_H
#define OSTREM_TRAVEL_TRAVEL_TIMES_H

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "arrivals.h"
#include "earth_model.h"
#include "layered_earth.h"
#include "phase.h"

namespace travel {

class TimesModel {
public:
    // threads: how many may sample the rays (the same rays whatever the
    // number).
    explicit TimesModel(const EarthModel &model, double thickest = 5.0, int threads = 1);
    const EarthModel &model() const { return model_; }
    const LayeredEarth &earth() const { return earth_; }
    // The deepest source a depth may give (km): the core-mantle boundary.
    double deepest() const { return model_.outer_core; }
    // This model among every one the process made: a kept source names its
    // model by it, which no later model at the same address can take.
    uint64_t serial() const { return serial_; }

private:
    friend class SourceTimes;
    struct Sums {
        double tau, distance;
    };
    // A region's leg of one wave at the ray parameters of its own grid: its
    // shells' etas, where the leg may end or fold, an even grid, and
    // halvings where the leg strays from its interpolant.  Made when a
    // phase first needs it, the same whatever asked.
    struct Grid {
        std::vector<double> p;
        std::vector<Leg> legs;
    };
    // The sums from the surface down to each upper shell's top, at the p of
    // the crust's and the mantle's grids (NaN where the ray turns or stops
    // above it), [top * p.size() + i].
    struct Upper {
        std::vector<double> p;
        std::vector<Sums> sums;
    };
    EarthModel model_;
    LayeredEarth earth_;
    int threads_;
    uint64_t serial_;
    // The regions' boundaries from the surface down: surface, Moho,
    // core-mantle, inner-core boundary, centre; whether the wave is fluid
    // just below each top.
    double boundary_[5];
    bool fluid_[2][4];
    std::vector<double> tops_;  // the upper shells' tops
    mutable std::once_flag grid_made_[2][4], upper_made_[2], knots_made_[256];
    mutable Grid grids_[2][4];
    mutable Upper uppers_[2];
    mutable std::vector<double> knots_[256];

    const Grid &grid(Wave w, int region) const;
    // The p of every grid a phase's legs use (bit 4 * wave + region),
    // sorted and each once: a source takes those below its own bound.
    const std::vector<double> &knots(unsigned used) const;
    const Upper &upper(Wave w) const;
    int boundary_of(double radius) const;
    // A region's leg at any p, walking up its grid (at a cursor kept by
    // the caller, p never falling): exact at a grid point, interpolated
    // between two, from the shells where the leg changes course between.
    Leg leg_at(Wave w, int region, double p, size_t &cursor) const;
    // The leg between two boundaries, from the regions' legs.
    Leg between(Wave w, double p, int top, int bottom, size_t cursors[4]) const;
    // Where a source lies: after which upper shell's top (1 + its index; 0
    // where the upper sums do not reach it), and the piece of its shell
    // from that top down to it, for each wave.  Found once for a source.
    struct Place {
        double radius;
        size_t top;
        LayeredEarth::Piece piece[2];
    };
    Place place(double source_radius) const;
    // The leg from the surface down to a source.
    Leg above(Wave w, double p, const Place &source, size_t &cursor) const;
};

// A source at a depth with the branches of the phases asked for.
class SourceTimes {
public:
    // depth_km from 0 to the model's deepest() (from -10 to 0: at the
    // surface); phases by name.
    SourceTimes(const TimesModel &model, double depth_km, const std::vector<std::string> &phases);
    // Why phase k is not one (an empty string when it is).
    const std::string &why(size_t k) const { return branches_[k].wrong; }
    // The earliest arrival of phase k at the distance (degrees): its time
    // (s) and ray parameter (s/deg), both NaN where there is none.
    void first(size_t k, double distance, double &time, double &ray_parameter) const;
    // The earliest arrival among all its phases, as first() gives each.
    void earliest(double distance, double &time, double &ray_parameter) const;
    // Every arrival of phase k at the distance, earliest first.
    std::vector<Arrival> arrivals(size_t k, double distance) const;

private:
    struct Knot {
        double p, tau, distance;
        bool exists;
        double qa = 0, qb = 0;  // the interpolant's to the next knot, once both exist
    };
    struct Branches {
        Phase phase;
        std::string wrong;
        std::vector<Knot> knots;
        double farthest = 0;
        // The intervals between knots (by their first knot) whose
        // distances reach into each bin of distance, bin k's from
        // intervals[starts[k]] to intervals[starts[k + 1]]: a distance
        // looks at a few intervals, not at every branch.
        double bin_width = 0;
        std::vector<uint32_t> starts, intervals;
        Knot graze{};  // a diffracted or head wave's grazing ray
    };
    const TimesModel &model_;
    double source_radius_;
    TimesModel::Place place_;
    std::vector<Branches> branches_;

    // Where a phase's legs are walked, p rising: each region's grid of
    // each wave, and the upper sums'.
    struct Cursors {
        size_t region[2][4] = {}, upper[2] = {};
    };
    Knot knot(const Phase &phase, double p, Cursors &cursors) const;
    Knot direct(const Phase &phase, double p) const;
    void sample(Branches &b) const;
    static void index(Branches &b);
    template <class Found>
    void roots(const Branches &b, double target, Found &&found) const;
    Arrival arrival(const Phase &phase, double p, double time) const;
};

// The source this thread made last for the model, depth and phases, or a
// new one in the place of the oldest of the eight a thread keeps: an
// earthquake's stations, a catalogue's events at one depth and a caller
// asking pair by pair all share one.  Depths compare as bits, so NaN finds
// itself.
const SourceTimes &kept_source(const TimesModel &model, double depth, const std::vector<std::string> &phases);

// A list of phases as the filter and the library take it: items split by
// commas, each item names joined by '+' whose earliest arrival it gives;
// firstP and firstS name the P-type and S-type first arrivals.  Returns
// an empty string, or what is wrong.
std::string read_phase_list(const std::string &text, std::vector<std::vector<std::string>> &items);

// Why a name is no phase in the model (an empty string when it is one),
// whatever the depth.
std::string why_no_phase(const TimesModel &model, const std::string &name);

// A model by name ("iasp91", "ak135") or file, made ready once per process
// (on as many threads) and shared; nullptr, with wrong saying why, when it
// cannot be read.
std::shared_ptr<const TimesModel> shared_model(const std::string &name_or_path, std::string &wrong, int threads = 1);

// The earliest arrival among the phases of each element (distance in
// degrees, depth in km): time (s) and ray parameter (s/deg), NaN where
// there is none or the depth is out of range.  A source is made once for
// each distinct depth, the elements taken in order of depth.  Returns an
// empty string, or why a phase is none.
std::string first_arrivals(const TimesModel &model, const std::vector<std::string> &phases, size_t n,
                           const double *distance, const double *depth, double *time, double *ray_parameter);

// Every arrival of each phase at each element, with the element's index.
struct ElementArrival {
    size_t element;
    Arrival arrival;
};
std::string every_arrival(const TimesModel &model, const std::vector<std::string> &phases, size_t n,
                          const double *distance, const double *depth, std::vector<ElementArrival> &found);

}  // namespace travel

#endif
