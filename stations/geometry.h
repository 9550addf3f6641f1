// How the network sees an earthquake: of the stations a selection keeps,
// how many, the distance to the nearest, the largest gap between the
// azimuths at which the earthquake sees them, and the secondary gap, the
// largest left when any one direction is taken away.  From the pairs'
// own numbers, in their arithmetic (float or double), so that the same
// pairs give the same bits whoever sums them up.
#ifndef OSTREM_STATION_GEOMETRY_H
#define OSTREM_STATION_GEOMETRY_H

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

namespace stations {

template <class Real>
struct Geometry {
    size_t count;      // stations kept
    Real nearest;      // the least distance among them; NaN for none
    Real gap;          // degrees; 360 with one direction or none
    Real secondary;    // degrees; 360 with two directions or fewer
};

template <class Real>
class NetworkGeometry {
public:
    void clear()
    {
        count_ = 0;
        nearest_ = std::numeric_limits<Real>::quiet_NaN();
        azimuths_.clear();
    }
    void add(Real distance, Real azimuth)
    {
        if (count_++ == 0 || distance < nearest_)
            nearest_ = distance;
        azimuths_.push_back(azimuth);
    }

    // The gaps over the distinct azimuths, sorted: stations at the same
    // azimuth, as computed, are one direction (-0 and 0 alike; 0 and 360
    // two, with no gap between them).  A gap is the angle from one
    // direction to the next clockwise, across north as (first + 360) -
    // last, each step in Real.
    Geometry<Real> result()
    {
        std::sort(azimuths_.begin(), azimuths_.end());
        azimuths_.erase(std::unique(azimuths_.begin(), azimuths_.end()), azimuths_.end());
        const size_t m = azimuths_.size();
        const Real whole = 360;
        Geometry<Real> g{count_, nearest_, whole, whole};
        if (m >= 2) {
            g.gap = (azimuths_[0] + whole) - azimuths_[m - 1];
            for (size_t k = 0; k + 1 < m; k++)
                g.gap = std::max(g.gap, Real(azimuths_[k + 1] - azimuths_[k]));
        }
        if (m >= 3) {
            g.secondary = 0;
            for (size_t k = 0; k < m; k++) {
                const size_t two_on = k + 2;
                const Real across = two_on < m ? azimuths_[two_on] - azimuths_[k]
                                               : (azimuths_[two_on - m] + whole) - azimuths_[k];
                g.secondary = std::max(g.secondary, across);
            }
        }
        return g;
    }

private:
    size_t count_ = 0;
    Real nearest_ = std::numeric_limits<Real>::quiet_NaN();
    std::vector<Real> azimuths_;
};

}  // namespace stations

#endif
