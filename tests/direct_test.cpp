// The ellipsoid's direct problem, paths and earth-centred positions:
// within 50 nm of GeographicLib over a million seeded walks and the hard
// ones, the same bits at every lane width, and the bits recorded here on
// every machine that runs the tests.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ellipsoid_direct.h"
#include "geodesic_blocks.h"
#include "ostrem_geodesic.h"

#if OSTREM_HAVE_GEOGRAPHICLIB
#include <GeographicLib/Geocentric.hpp>
#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/GeodesicLine.hpp>
#endif

namespace {

using ellipsoid::Lanes;

bool same_bits(double x, double y) { return std::memcmp(&x, &y, sizeof x) == 0; }

// Half the meridian, metres: where a walk from a pole reaches the other.
constexpr double half_meridian = 20003931.458625447;

struct Walks {
    std::vector<double> lat, lon, azimuth, metres;
    void add(double a, double b, double c, double d)
    {
        lat.push_back(a), lon.push_back(b), azimuth.push_back(c), metres.push_back(d);
    }
    size_t size() const { return lat.size(); }
};

struct Reached {
    std::vector<double> lat, lon, azimuth;
    explicit Reached(size_t n) : lat(n), lon(n), azimuth(n) {}
    bool same(size_t i, const Reached &o, size_t j) const
    {
        return same_bits(lat[i], o.lat[j]) && same_bits(lon[i], o.lon[j]) &&
               same_bits(azimuth[i], o.azimuth[j]);
    }
};

Reached walk(Lanes lanes, const Walks &w)
{
    Reached r(w.size());
    ellipsoid::direct_with(lanes, w.size(), w.lat.data(), w.lon.data(), w.azimuth.data(), w.metres.data(),
                           r.lat.data(), r.lon.data(), r.azimuth.data());
    return r;
}

// Seeded walks from integer arithmetic alone, the same on every machine: a
// third anywhere to twice around the earth, the rest the hard kinds: from
// a pole; on the equator along it and across it; along meridians (azimuth
// 0 and 180); to near and past half the meridian and the antipode; short
// and tiny steps; the date line.
Walks seeded(size_t n)
{
    std::uint64_t state = 0x9e3779b97f4a7c15u;
    auto unit = [&state] {  // in [-1, 1)
        state = state * 6364136223846793005u + 1442695040888963407u;
        return static_cast<double>(state >> 11) * 0x1p-52 - 1.0;
    };
    Walks w;
    for (size_t i = 0; i < n; i++) {
        double lat = 90 * unit(), lon = 180 * unit(), azimuth = 180 * unit();
        double metres = 2 * half_meridian * (unit() + 1);
        switch (i % 9) {
        case 1: lat = unit() < 0 ? -90 : 90; break;
        case 2: lat = 0, azimuth = unit() < 0 ? 90 : -90; break;
        case 3: lat = 0; break;
        case 4: azimuth = unit() < 0 ? 0 : 180; break;
        case 5: metres = half_meridian * (1 + 1e-3 * unit()); break;
        case 6: {  // each draw in its own statement: a call's arguments have no order
            const double mantissa = unit() + 1;
            metres = std::ldexp(mantissa, -static_cast<int>(30 * (unit() + 1)));
            break;
        }
        case 7: lon = unit() < 0 ? 180 : -180; break;
        default: break;
        }
        w.add(lat, lon, azimuth, metres);
    }
    return w;
}

// By name: the poles, the equator, the meridians, the bounds.
const double hard[][4] = {
    {0, 0, 0, 0},        {0, 0, 90, 1e7},     {0, 0, 0, half_meridian}, {90, 0, 180, 1e6},
    {-90, 30, 0, 1e6},   {90, 10, 0, 0},      {0, 179, 90, 3e5},        {45, 540, -360, 5e6},
    {-0.0, -0.0, -0.0, 1}, {10, 20, 360, 2 * half_meridian}, {89.999999999, 0, 90, 40e6},
    {0, 0, 1e-300, half_meridian}, {30, 0, 180, 60e6},
};

Walks with_hard(Walks w)
{
    for (const auto &h : hard)
        w.add(h[0], h[1], h[2], h[3]);
    return w;
}

// FNV-1a over the bits.
std::uint64_t hash_of(std::initializer_list<const std::vector<double> *> columns)
{
    std::uint64_t h = 0xcbf29ce484222325u;
    for (const std::vector<double> *c : columns)
        for (double x : *c) {
            std::uint64_t u;
            std::memcpy(&u, &x, sizeof u);
            for (int k = 0; k < 8; k++)
                h = (h ^ ((u >> (8 * k)) & 0xff)) * 0x100000001b3u;
        }
    return h;
}

TEST(Direct, EveryWidthGivesTheScalarBits)
{
    Walks w = with_hard(seeded(200000));
    // Far beyond any turn the arc is reduced as it can be: still a point.
    const size_t far = w.size();
    w.add(10, 20, 30, 1e15), w.add(-40, 0, 91, 1e300);
    w.add(NAN, 0, 0, 1), w.add(0, 0, NAN, 1), w.add(0, 0, 0, NAN);
    const Reached scalar = walk(Lanes::scalar, w);
    std::vector<double> height(w.size());
    for (size_t i = 0; i < w.size(); i++)
        height[i] = std::fmod(w.metres[i], 11000.0) - 1000.0;
    std::vector<double> x0(w.size()), y0(w.size()), z0(w.size());
    ellipsoid::positions_with(Lanes::scalar, w.size(), w.lat.data(), w.lon.data(), height.data(), x0.data(),
                              y0.data(), z0.data());
    for (Lanes lanes : {Lanes::sse2, Lanes::avx2, Lanes::neon}) {
        if (!ellipsoid::runs(lanes))
            continue;
        const Reached r = walk(lanes, w);
        size_t differ = 0;
        for (size_t i = 0; i < w.size(); i++)
            differ += !r.same(i, scalar, i);
        EXPECT_EQ(differ, 0u) << ellipsoid::name_of(lanes);
        std::vector<double> x(w.size()), y(w.size()), z(w.size());
        ellipsoid::positions_with(lanes, w.size(), w.lat.data(), w.lon.data(), height.data(), x.data(),
                                  y.data(), z.data());
        EXPECT_EQ(hash_of({&x, &y, &z}), hash_of({&x0, &y0, &z0})) << ellipsoid::name_of(lanes);
    }
    for (size_t i = far; i < far + 2; i++)
        EXPECT_TRUE(std::fabs(scalar.lat[i]) <= 90 && std::fabs(scalar.lon[i]) <= 180) << i;
    const size_t n = w.size();
    EXPECT_TRUE(std::isnan(scalar.lat[n - 1]) && std::isnan(scalar.lon[n - 2]) &&
                std::isnan(scalar.azimuth[n - 3]));
}

// A path's points are the walks from its start, bit for bit, at every
// width and whatever the count against a pack's.
TEST(Direct, APathIsItsWalks)
{
    const double starts[][3] = {{38.3, 142.4, 97.5}, {-90, 0, 10}, {0, 179.9, 90}, {12, -45, 180}};
    for (const auto &s : starts) {
        for (size_t n : {1, 2, 3, 5, 100}) {
            Walks w;
            for (size_t i = 0; i < n; i++)
                w.add(s[0], s[1], s[2], 3 * half_meridian * static_cast<double>(i) / 7);
            const Reached walked = walk(Lanes::scalar, w);
            for (Lanes lanes : {Lanes::scalar, Lanes::sse2, Lanes::avx2, Lanes::neon}) {
                if (!ellipsoid::runs(lanes))
                    continue;
                Reached r(n);
                ellipsoid::path_with(lanes, s[0], s[1], s[2], n, w.metres.data(), r.lat.data(), r.lon.data(),
                                     r.azimuth.data());
                for (size_t i = 0; i < n; i++)
                    EXPECT_TRUE(r.same(i, walked, i)) << ellipsoid::name_of(lanes) << " " << s[0] << " n=" << n;
            }
        }
    }
}

// Recorded on x86-64: aarch64, Windows, a CPU without FMA and every
// compiler must give the same bits.
TEST(Direct, TheRecordedBits)
{
    const Walks w = with_hard(seeded(20000));
    const Reached r = walk(ellipsoid::lanes_in_use(), w);
    EXPECT_EQ(hash_of({&r.lat, &r.lon, &r.azimuth}), 11316831848633537606u) << "in " << ellipsoid::name_of(ellipsoid::lanes_in_use());
    std::vector<double> height(w.size()), x(w.size()), y(w.size()), z(w.size());
    for (size_t i = 0; i < w.size(); i++)
        height[i] = std::fmod(w.metres[i], 11000.0) - 1000.0;
    ellipsoid::positions(w.size(), w.lat.data(), w.lon.data(), height.data(), x.data(), y.data(), z.data());
    EXPECT_EQ(hash_of({&x, &y, &z}), 9792388591659480142u);
    // The first walk in full, to tell a machine's difference from a
    // changed seed.
    EXPECT_TRUE(same_bits(r.lat[0], 0x1.dfd510aa9d77ap+5) && same_bits(r.lon[0], -0x1.1847f11b6ea4fp+7) &&
                same_bits(r.azimuth[0], 0x1.6b5bf1b0abb85p+6))
        << std::hexfloat << w.lat[0] << " " << w.lon[0] << " "
                                        << w.azimuth[0] << " " << w.metres[0] << ": " << r.lat[0] << " "
                                        << r.lon[0] << " " << r.azimuth[0];
}

// The C calls and the blocks: each walk and midpoint the same bits alone
// and in a block, refusals alike.
TEST(Direct, BlocksAreTheCallsOneByOne)
{
    Walks w = seeded(1000);
    w.lat[3] = 91, w.azimuth[5] = 361, w.metres[8] = -1, w.lon[13] = NAN;
    for (double &m : w.metres)
        m /= 1000;  // kilometres
    std::vector<ellipsoid::Point> walked(w.size()), halfway(w.size());
    const size_t refused = ellipsoid::walk_blocks(
        w.size(), [&](size_t i) { return ellipsoid::Walk{w.lat[i], w.lon[i], w.azimuth[i], w.metres[i]}; },
        [&](size_t i, const ellipsoid::Point &p) { walked[i] = p; });
    EXPECT_EQ(refused, 3u);
    // The walks' starts and the points reached as pairs.
    const size_t refused_pairs = ellipsoid::midpoint_blocks(
        w.size(), [&](size_t i) { return ellipsoid::Ends{w.lat[i], w.lon[i], walked[i].lat, walked[i].lon}; },
        [&](size_t i, const ellipsoid::Point &p) { halfway[i] = p; });
    EXPECT_EQ(refused_pairs, 1u);  // latitude 91
    for (size_t i = 0; i < w.size(); i++) {
        double lat = NAN, lon = NAN;
        const int rc = geodesic_walk(w.lat[i], w.lon[i], w.azimuth[i], w.metres[i], &lat, &lon);
        EXPECT_EQ(rc != 0, i == 3 || i == 5 || i == 8) << i;
        EXPECT_TRUE(same_bits(lat, walked[i].lat) && same_bits(lon, walked[i].lon)) << i;
        lat = lon = NAN;
        geodesic_midpoint(w.lat[i], w.lon[i], walked[i].lat, walked[i].lon, &lat, &lon);
        EXPECT_TRUE(same_bits(lat, halfway[i].lat) && same_bits(lon, halfway[i].lon)) << i;
        EXPECT_TRUE(std::isnan(walked[i].lat) || (walked[i].lon >= 0 && walked[i].lon <= 360)) << i;
    }
}

#if OSTREM_HAVE_GEOGRAPHICLIB

// Metres between two points given in degrees, for small differences.
double apart(double lat1, double lon1, double lat2, double lon2)
{
    double dlon = std::fabs(lon1 - lon2);
    dlon = std::min(dlon, std::fabs(dlon - 360));
    const double north = (lat1 - lat2) * 111.4e3;
    const double east = dlon * 111.4e3 * std::cos(lat1 * 0.017453292519943295);
    return std::hypot(north, east);
}

double angle(double x, double y)
{
    const double e = std::fabs(x - y);
    return std::min(e, 360 - e);
}

// Accuracy against GeographicLib: the point within 50 nm, the azimuth
// there within 1e-10 degrees (except within a metre of a pole, where a
// nanometre turns it by more).
TEST(Direct, WithinFiftyNanometresOfGeographicLib)
{
    const GeographicLib::Geodesic &wgs84 = GeographicLib::Geodesic::WGS84();
    const Walks w = with_hard(seeded(1000000));
    const Reached r = walk(ellipsoid::lanes_in_use(), w);
    double worst_point = 0, worst_azimuth = 0;
    size_t at_point = 0, at_azimuth = 0;
    for (size_t i = 0; i < w.size(); i++) {
        double lat, lon, azimuth;
        wgs84.Direct(w.lat[i], w.lon[i], w.azimuth[i], w.metres[i], lat, lon, azimuth);
        const double e = apart(lat, lon, r.lat[i], r.lon[i]);
        if (!(e <= worst_point))
            worst_point = e, at_point = i;
        const double a = angle(azimuth, r.azimuth[i]);
        if (90 - std::fabs(lat) > 1e-5 && !(a <= worst_azimuth))
            worst_azimuth = a, at_azimuth = i;
    }
    auto walk_of = [&w](size_t i) {
        char text[160];
        std::snprintf(text, sizeof text, "%.17g %.17g %.17g %.17g", w.lat[i], w.lon[i], w.azimuth[i], w.metres[i]);
        return std::string(text);
    };
    EXPECT_LE(worst_point, 50e-9) << walk_of(at_point);
    EXPECT_LE(worst_azimuth, 1e-10) << walk_of(at_azimuth);
    RecordProperty("worst_point_nm", std::to_string(worst_point * 1e9));
    RecordProperty("worst_azimuth_nanodegrees", std::to_string(worst_azimuth * 1e9));
}

// A path against GeographicLib's line: every point within 50 nm.
TEST(Direct, APathWithinFiftyNanometresOfGeographicLibsLine)
{
    const GeographicLib::Geodesic &wgs84 = GeographicLib::Geodesic::WGS84();
    const double starts[][3] = {{38.3, 142.4, 97.5}, {-90, 0, 10}, {0, 179.9, 90}, {12, -45, 180},
                                {-33.4, -70.6, 45.001}, {1e-7, 0, 89.9999}};
    double worst = 0;
    for (const auto &s : starts) {
        const GeographicLib::GeodesicLine line = wgs84.Line(s[0], s[1], s[2]);
        const size_t n = 10001;
        std::vector<double> metres(n);
        for (size_t i = 0; i < n; i++)
            metres[i] = 3 * half_meridian * static_cast<double>(i) / (n - 1);
        Reached r(n);
        ellipsoid::path(s[0], s[1], s[2], n, metres.data(), r.lat.data(), r.lon.data(), r.azimuth.data());
        for (size_t i = 0; i < n; i++) {
            double lat, lon;
            line.Position(metres[i], lat, lon);
            worst = std::max(worst, apart(lat, lon, r.lat[i], r.lon[i]));
        }
    }
    EXPECT_LE(worst, 50e-9);
    RecordProperty("worst_path_nm", std::to_string(worst * 1e9));
}

// Positions against GeographicLib's Geocentric, and so the hypocentral
// distance: within 50 nm.
TEST(Direct, PositionsWithinFiftyNanometresOfGeographicLib)
{
    const GeographicLib::Geocentric &earth = GeographicLib::Geocentric::WGS84();
    const Walks w = with_hard(seeded(1000000));
    std::vector<double> height(w.size()), x(w.size()), y(w.size()), z(w.size());
    for (size_t i = 0; i < w.size(); i++)
        height[i] = std::fmod(w.metres[i], 1012000.0) - 1000000.0;  // 1000 km down to 12 km up
    ellipsoid::positions(w.size(), w.lat.data(), w.lon.data(), height.data(), x.data(), y.data(), z.data());
    double worst = 0;
    for (size_t i = 0; i < w.size(); i++) {
        double gx, gy, gz;
        earth.Forward(w.lat[i], w.lon[i], height[i], gx, gy, gz);
        worst = std::max(worst, std::hypot(std::hypot(gx - x[i], gy - y[i]), gz - z[i]));
    }
    EXPECT_LE(worst, 50e-9);
    RecordProperty("worst_position_nm", std::to_string(worst * 1e9));
}

#endif

}  // namespace
