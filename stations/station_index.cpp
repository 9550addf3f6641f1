#include "station_index.h"

#include <algorithm>
#include <cmath>

#include <nanoflann.hpp>

#include "ostrem.h"
#include "ostrem_geodesic.h"

namespace stations {

namespace {

constexpr double pi = 0x1.921fb54442d18p+1;
constexpr double rd = 180.0 / pi;

// Widening of the search radius.  The module's float distance rounds to
// half a float ulp of 180 degrees (about 8e-6) and its acos loses some
// 1e-6 degrees near 0 and 180; 0.01 degrees is a thousand times both.  On
// the ellipsoid the geodesic and the positions are good to nanometres; a
// metre and a part in 10^9 cover the chord's own rounding many times over.
constexpr double sphere_margin = 0.01;       // degrees
constexpr double ellipsoid_margin = 1e-3;    // km
constexpr double relative_margin = 1e-9;
// Two points of the ellipsoid are never farther apart than its equatorial
// diameter (12,756.274 km); a radius beyond it holds every station.
constexpr double ellipsoid_span = 12756.3;
// The equatorial radius (km), the largest of the ellipsoid's: an arc of a
// sphere this size over a chord is about the geodesic over it.
constexpr double equatorial_radius = 6378.137;

}  // namespace

void position(Surface surface, double lat, double lon, double xyz[3])
{
    if (surface == Surface::ellipsoid) {
        geodesic_position(lat, lon, xyz);
        return;
    }
    const double colat = geocen((90.0 - lat) / rd), l = lon / rd;
    xyz[0] = std::sin(colat) * std::cos(l);
    xyz[1] = std::sin(colat) * std::sin(l);
    xyz[2] = std::cos(colat);
}

// nanoflann's view of the positions.
struct Positions {
    std::vector<double> xyz;  // three per station
    size_t kdtree_get_point_count() const { return xyz.size() / 3; }
    double kdtree_get_pt(size_t i, size_t d) const { return xyz[3 * i + d]; }
    template <class Box>
    bool kdtree_get_bbox(Box &) const
    {
        return false;
    }
};

using Tree3 = nanoflann::KDTreeSingleIndexAdaptor<nanoflann::L2_Simple_Adaptor<double, Positions>,
                                                  Positions, 3, uint32_t>;

struct Index::Tree {
    Positions positions;
    std::unique_ptr<Tree3> tree;
};

namespace {

// Every station whose squared distance is within the radius, unsorted:
// what nanoflann's own radius set keeps, without the distances.
class Within {
public:
    using DistanceType = double;
    using IndexType = uint32_t;
    Within(double radius, std::vector<uint32_t> &found) : radius_(radius), found_(found) {}
    void init() {}
    void clear() { found_.clear(); }
    size_t size() const { return found_.size(); }
    bool empty() const { return found_.empty(); }
    bool full() const { return true; }
    void sort() {}
    bool addPoint(double distance, uint32_t i)
    {
        if (distance <= radius_)
            found_.push_back(i);
        return true;
    }
    double worstDist() const { return radius_; }

private:
    double radius_;
    std::vector<uint32_t> &found_;
};

#if NANOFLANN_VERSION < 0x150
using Search = nanoflann::SearchParams;
#else
using Search = nanoflann::SearchParameters;
#endif

}  // namespace

// A coordinate as the computations see it.
static double seen(bool single, double x) { return single ? static_cast<float>(x) : x; }

Index::Index(Surface surface, bool single, const double *lat, const double *lon, size_t n)
    : surface_(surface), single_(single), size_(n), tree_(new Tree)
{
    tree_->positions.xyz.resize(3 * n);
    for (size_t i = 0; i < n; i++)
        position(surface, seen(single, lat[i]), seen(single, lon[i]), &tree_->positions.xyz[3 * i]);
    tree_->tree.reset(new Tree3(3, tree_->positions, nanoflann::KDTreeSingleIndexAdaptorParams(16)));
}

Index::~Index() = default;

bool Index::everywhere(double max) const
{
    return surface_ == Surface::ellipsoid ? max >= ellipsoid_span : max + sphere_margin >= 180.0;
}

void Index::near(double lat, double lon, double max, std::vector<uint32_t> &near) const
{
    near.clear();
    if (everywhere(max)) {
        near.resize(size_);
        for (size_t i = 0; i < size_; i++)
            near[i] = static_cast<uint32_t>(i);
        return;
    }
    if (!(max >= 0.0) || size_ == 0)
        return;
    double chord;
    if (surface_ == Surface::ellipsoid)
        chord = max * (1.0 + relative_margin) + ellipsoid_margin;
    else
        chord = 2.0 * std::sin((max + sphere_margin) / rd / 2.0) * (1.0 + relative_margin);
    double q[3];
    position(surface_, seen(single_, lat), seen(single_, lon), q);
    Within found(chord * chord, near);
    Search search;
    search.sorted = false;
    tree_->tree->findNeighbors(found, q, search);
    std::sort(near.begin(), near.end());
}

double Index::nearest(double lat, double lon, size_t k, std::vector<uint32_t> &nearest) const
{
    k = std::min(k, size_);
    nearest.resize(k);
    if (k == 0)
        return 0.0;
    double q[3];
    position(surface_, seen(single_, lat), seen(single_, lon), q);
    thread_local std::vector<double> squared;
    squared.resize(k);
    k = tree_->tree->knnSearch(q, k, nearest.data(), squared.data());
    nearest.resize(k);
    const double chord = std::sqrt(*std::max_element(squared.begin(), squared.begin() + k));
    if (surface_ == Surface::ellipsoid)
        return 2.0 * equatorial_radius * std::asin(std::min(1.0, chord / (2.0 * equatorial_radius)));
    return 2.0 * std::asin(std::min(1.0, chord / 2.0)) * rd;
}

}  // namespace stations
