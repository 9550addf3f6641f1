// A table of stations held for pairing with many earthquakes: for a point,
// every station that may lie within a distance of it, from a k-d tree over
// the stations' positions.  The test is made so that it cannot leave a
// station out: the caller computes each candidate's distance exactly as
// it would for any pair and keeps those in its window, so that the pairs
// found are exactly those of pairing every station with the point.
//
// On the sphere a station's position is the unit vector of its geocentric
// latitude, as the module places it, and the straight-line chord between
// two unit vectors grows with the angle between them.  On the ellipsoid it
// is the station's earth-centred position in kilometres, and the geodesic
// is never shorter than the chord.  Both radii are widened by far more
// than the rounding of either side.
#ifndef OSTREM_STATION_INDEX_H
#define OSTREM_STATION_INDEX_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace stations {

enum class Surface { sphere, ellipsoid };

class Index {
public:
    // lat[i], lon[i]: station i, in range.  single: the computations
    // round coordinates to float, and so do the index's positions and
    // queries.  The positions are copied.
    Index(Surface surface, bool single, const double *lat, const double *lon, size_t n);
    ~Index();
    Index(const Index &) = delete;
    Index &operator=(const Index &) = delete;

    size_t size() const { return size_; }
    Surface surface() const { return surface_; }

    // Every station within max of (lat, lon), degrees on the sphere and
    // kilometres on the ellipsoid, and perhaps a few beyond; in increasing
    // order, into near (cleared first).  Safe to call from many threads.
    void near(double lat, double lon, double max, std::vector<uint32_t> &near) const;

    // True when max reaches every point of the earth: near() gives every
    // station, and a caller may as well take them all.
    bool everywhere(double max) const;

    // The k stations nearest to (lat, lon) by the straight line (all of
    // them where there are fewer), in no order, into nearest (cleared
    // first); and about how far along the surface the farthest of them
    // lies, in the units of near().  The line's order is not the
    // surface's: a caller takes these as a first guess only.
    double nearest(double lat, double lon, size_t k, std::vector<uint32_t> &nearest) const;

private:
    struct Tree;
    Surface surface_;
    bool single_;
    size_t size_;
    std::unique_ptr<Tree> tree_;
};

// A point's position as the index places it (a unit vector, or kilometres
// on the ellipsoid): what the tree holds and what it is asked about.
void position(Surface surface, double lat, double lon, double xyz[3]);

}  // namespace stations

#endif
