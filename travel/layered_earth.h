// An earth model cut into thin shells in each of which eta = r / v(r)
// follows a power of r exactly (Bullen's law, v = A r^B), so that a ray's
// distance and its tau are integrals in closed form; shells thin enough
// make the model's velocities, linear in depth between its rows, as close
// as wanted.  A ray is labelled by its ray parameter p = r sin(i) / v
// (seconds per radian).
//
// For C++ callers inside the project.
#ifndef OSTREM_TRAVEL_LAYERED_EARTH_H
#define OSTREM_TRAVEL_LAYERED_EARTH_H

#include <cstdint>
#include <vector>

#include "earth_model.h"

namespace travel {

enum class Wave { P = 0, S = 1 };

// What a ray gathers along a leg: tau (s) and distance (radians); whether
// it turned inside the leg (and came back up), or was stopped at a shell it
// cannot enter (a fluid for S).
struct Leg {
    double tau = 0, distance = 0;
    bool turned = false, blocked = false;
};

class LayeredEarth {
public:
    // thickest: the most a shell may span (km); rows closer than that
    // bound shells of their own.
    explicit LayeredEarth(const EarthModel &model, double thickest = 5.0);

    double radius() const { return radius_; }
    // The radii of the core-mantle and inner-core boundaries (km); 0 where
    // the model has none.
    double core_radius() const { return core_radius_; }
    double inner_core_radius() const { return inner_core_radius_; }
    // The Moho's radius (km), or the surface's where the model has none.
    double moho_radius() const { return moho_radius_; }

    // The shells' tops from the surface down: where a ray of p equal to
    // their eta turns, its distance may change course.
    std::vector<double> tops() const;
    // The etas of wave w at the boundaries of the shells between two radii
    // (top > bottom), 0 (a fluid's S) left out.
    std::vector<double> etas(Wave w, double top, double bottom) const;

    // A ray of parameter p, wave w, from radius top down to radius bottom
    // (top > bottom): the sum over the shells between them, stopping where
    // it turns.
    Leg down(Wave w, double p, double top, double bottom) const;

    // The part of the first shell below radius top that a leg down to
    // bottom crosses, with its ends' etas by the shell's law: what down()
    // finds for every ray, found once for a source that lies in it.
    struct Piece {
        size_t shell = SIZE_MAX;  // none: the leg has no length
        double top = 0, bottom = 0, eta_top = 0, eta_bottom = 0;
    };
    Piece first_piece(Wave w, double top, double bottom) const;
    // down() from the piece's top to its bottom, when its shell holds both.
    Leg across(Wave w, double p, const Piece &piece) const;

    // Where a ray of parameter p, wave w, going down from radius top, turns:
    // the radius where eta falls to p, or bottom where it does not.
    double turning_radius(Wave w, double p, double top, double bottom) const;

    // The sums of down() from the surface to the top of each of the first
    // count shells; NaN from the first shell the ray turns in or cannot
    // enter.
    void sums_down(Wave w, double p, size_t count, double tau[], double distance[]) const;

    // eta of wave w at radius r, just below it where a discontinuity lies
    // there (below = true), or just above; 0 for S in a fluid.
    double eta(Wave w, double r, bool below) const;
    // The smallest eta of wave w between two radii (top > bottom), the ends
    // included: a ray with p above it turns (or stops) in between.
    double least_eta(Wave w, double top, double bottom) const;

private:
    struct Shell {
        double top, bottom;           // radii, km
        double eta_top[2], eta_bottom[2];  // P, S; 0 for S in a fluid
        double k[2];                  // eta = c r^k
        double per_k[2];              // 1 / k, what the integrals are multiplied by
    };
    double radius_ = 0, core_radius_ = 0, inner_core_radius_ = 0, moho_radius_ = 0;
    std::vector<Shell> shells_;  // from the surface down
    // The shells from the one holding radius r (just below it when below).
    size_t shell_at(double r, bool below) const;
    Piece piece_of(size_t shell, int wave, double top, double bottom) const;
};

}  // namespace travel

#endif
