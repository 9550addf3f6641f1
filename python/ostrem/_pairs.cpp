// Every earthquake against every station in a selection, for
// ostrem.pairs_within and ostrem.geodesic_pairs_within, and how those
// stations surround each earthquake, for ostrem.network_geometry and
// ostrem.geodesic_network_geometry: the pairing engine finds each
// earthquake's pairs, each computed by the very function the ufuncs call,
// so the pairs and their bits are those of computing every pair and
// keeping the selection's.  Plain buffers in and out, no NumPy C API: the
// Python side checks the ranges, makes the arrays and wraps what comes
// back; this side runs without the GIL.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "_pairs.h"
#include "arithmetic.h"
#include "computations.h"
#include "geodesic_blocks.h"
#include "geometry.h"
#include "pairing.h"

namespace {

using stations::Arithmetic;
using stations::Instant;

// The pairs found: indices, the three results (float or double), and the
// hypocentral distance where a depth was given.
template <class Real>
struct Found {
    std::vector<Py_ssize_t> i, j;
    std::vector<Real> distance, az, baz;
    std::vector<double> hypo;
};

// The pair's inverse problem, the filter's computation in the
// arithmetic's numbers (floats widened to double and back exactly).
template <class Real>
int solve(Arithmetic kind, double eqlat, double eqlon, double stlat, double stlon, Real r[])
{
    const double c[computations::pair_numbers] = {eqlat, eqlon, stlat, stlon};
    double x[computations::result_slots] = {};
    int rc;
    if constexpr (sizeof(Real) == sizeof(float)) {
        (void)kind;
        rc = computations::Distance<arithmetic::FloatSphere>::solve(c, x);
    } else {
        rc = kind == Arithmetic::ellipsoid ? computations::Distance<arithmetic::Ellipsoid>::solve(c, x)
                                           : computations::Distance<arithmetic::DoubleSphere>::solve(c, x);
    }
    for (int k = 0; k < 3; k++)
        r[k] = static_cast<Real>(x[k]);
    return rc;
}

// An instant from the Python side: seconds and nanoseconds, the seconds
// of NaT the least int64.
constexpr int64_t not_a_time = INT64_MIN;

struct Tables {
    const double *eqlat, *eqlon, *stlat, *stlon;
    size_t earthquakes, stations;
    const int64_t *times[6] = {};  // earthquake, start, end: seconds, nanoseconds each
    const double *depth = nullptr, *elevation = nullptr;
};

Instant instant(const int64_t *const t[2], size_t k, const Instant &nat)
{
    if (t[0][k] == not_a_time)
        return nat;
    return {t[0][k], static_cast<int32_t>(t[1][k])};
}

// The stations that take part (NaN ones do not), as the engine holds
// them, each with its place in the caller's arrays.
class Stations {
public:
    Stations(const Tables &t, Arithmetic kind, const stations::Selection &selection)
    {
        for (size_t k = 0; k < t.stations; k++) {
            if (std::isnan(t.stlat[k]) || std::isnan(t.stlon[k]))
                continue;
            lat_.push_back(t.stlat[k]);
            lon_.push_back(t.stlon[k]);
            at_.push_back(k);
            if (selection.by_time) {
                start_.push_back(instant(&t.times[2], k, Instant::earliest()));
                end_.push_back(instant(&t.times[4], k, Instant::latest()));
            }
        }
        stations::Table table;
        table.lat = lat_.data();
        table.lon = lon_.data();
        table.size = lat_.size();
        table.start = start_.data();
        table.end = end_.data();
        pairing_.reset(new stations::Pairing(kind, table, selection));
    }
    const stations::Pairing &pairing() const { return *pairing_; }
    size_t at(uint32_t k) const { return at_[k]; }

private:
    std::vector<double> lat_, lon_;
    std::vector<size_t> at_;
    std::vector<Instant> start_, end_;
    std::unique_ptr<stations::Pairing> pairing_;
};

// A pair's results in the arithmetic's numbers.
template <class Real>
struct Pair {
    Real r[arithmetic::Inverse<arithmetic::FloatSphere>::nout];
};

// On the ellipsoid the engine hands a block of an earthquake's stations
// at once, solved together in the processor's lanes: each pair the same
// bits as compute() gives it alone.
template <class One>
struct Blocks {
    One &one;
    double eqlat, eqlon;
    const Tables &t;
    const Stations &st;
    bool operator()(uint32_t k, Pair<double> &p, stations::Seen &s) const { return one(k, p, s); }
    void operator()(const uint32_t *ks, size_t n, Pair<double> *p, stations::Seen *s, bool *ok) const
    {
        // The caller checked the ranges, and without the ellipsoid it is
        // never asked: a pair refused is not reached.
        ellipsoid::solve_blocks(
            n, [&](size_t k) { return ellipsoid::Ends{eqlat, eqlon, t.stlat[st.at(ks[k])], t.stlon[st.at(ks[k])]}; },
            [&](size_t k, const ellipsoid::Geodesic &g) {
                p[k].r[0] = g.km, p[k].r[1] = g.azimuth, p[k].r[2] = g.back_azimuth;
                s[k] = {g.km, g.azimuth, g.back_azimuth};
                ok[k] = !std::isnan(g.km);
            });
    }
};

// Each earthquake that takes part (not NaN, its time not NaT), with its
// pairs: each(e, pair) calls pair(compute) with the computation of its
// pairs, which the caller hands to the engine with what it keeps.
template <class Real, class Each>
void each_earthquake(const Tables &t, Arithmetic kind, const stations::Selection &selection,
                     const Stations &st, Each &&each)
{
    for (size_t e = 0; e < t.earthquakes; e++) {
        const double eqlat = t.eqlat[e], eqlon = t.eqlon[e];
        bool takes_part = !std::isnan(eqlat) && !std::isnan(eqlon);
        Instant time;
        if (selection.by_time) {
            takes_part = takes_part && t.times[0][e] != not_a_time;  // NaT: no time to compare
            time = instant(&t.times[0], e, Instant());
        }
        auto compute = [&](uint32_t k, Pair<Real> &p, stations::Seen &s) {
            if (solve<Real>(kind, eqlat, eqlon, t.stlat[st.at(k)], t.stlon[st.at(k)], p.r) != 0)
                return false;  // not reached: the caller checked the ranges
            s = {p.r[0], p.r[1], p.r[2]};
            return true;
        };
        each(e, takes_part, [&](auto &&take) {
            if constexpr (sizeof(Real) == sizeof(double)) {
                if (kind == Arithmetic::ellipsoid) {  // a block of stations at once
                    Blocks<decltype(compute)> blocks{compute, eqlat, eqlon, t, st};
                    st.pairing().template pair<Pair<Real>>(eqlat, eqlon, time, blocks, take);
                    return;
                }
            }
            st.pairing().template pair<Pair<Real>>(eqlat, eqlon, time, compute, take);
        });
    }
}

template <class Real>
void pair_all(const Tables &t, Arithmetic kind, const stations::Selection &selection, Found<Real> &found)
{
    const Stations st(t, kind, selection);
    each_earthquake<Real>(t, kind, selection, st, [&](size_t e, bool takes_part, auto &&pairs) {
        if (!takes_part)
            return;
        pairs([&](uint32_t k, const Pair<Real> &p) {
            const size_t s = st.at(k);
            found.i.push_back(static_cast<Py_ssize_t>(e));
            found.j.push_back(static_cast<Py_ssize_t>(s));
            found.distance.push_back(p.r[0]);
            found.az.push_back(p.r[1]);
            found.baz.push_back(p.r[2]);
            if (t.depth) {
                const double c[computations::pair_numbers] = {
                    t.eqlat[e], t.eqlon[e], t.stlat[s], t.stlon[s], t.depth[e],
                    t.elevation ? t.elevation[s] : 0.0};
                double km;
                if (computations::hypocentral_of(c, &km) != 0)
                    km = NAN;  // a NaN height, as the ufunc gives it
                found.hypo.push_back(km);
            }
        });
    });
}

// How the stations surround each earthquake: one value of each a quake.
template <class Real>
struct Surroundings {
    std::vector<Py_ssize_t> n;
    std::vector<Real> nearest, gap, secondary;
};

template <class Real>
void surround_all(const Tables &t, Arithmetic kind, const stations::Selection &selection,
                  Surroundings<Real> &found)
{
    const Stations st(t, kind, selection);
    stations::NetworkGeometry<Real> network;
    each_earthquake<Real>(t, kind, selection, st, [&](size_t, bool takes_part, auto &&pairs) {
        stations::Geometry<Real> g{0, NAN, NAN, NAN};  // an earthquake that takes no part
        if (takes_part) {
            network.clear();
            pairs([&](uint32_t, const Pair<Real> &p) { network.add(p.r[0], p.r[1]); });
            g = network.result();
        }
        found.n.push_back(static_cast<Py_ssize_t>(g.count));
        found.nearest.push_back(g.nearest);
        found.gap.push_back(g.gap);
        found.secondary.push_back(g.secondary);
    });
}

template <class T>
PyObject *bytes_of(const std::vector<T> &v)
{
    return PyByteArray_FromStringAndSize(reinterpret_cast<const char *>(v.data()),
                                         static_cast<Py_ssize_t>(v.size() * sizeof(T)));
}

// The pairs, or the surroundings, found without the GIL, as the bytes of
// their arrays.
template <class Real>
PyObject *pairs_of(const Tables &t, Arithmetic kind, const stations::Selection &selection)
{
    Found<Real> found;
    Py_BEGIN_ALLOW_THREADS
    pair_all(t, kind, selection, found);
    Py_END_ALLOW_THREADS
    PyObject *hypo = t.depth ? bytes_of(found.hypo) : (Py_INCREF(Py_None), Py_None);
    return Py_BuildValue("(NNNNNN)", bytes_of(found.i), bytes_of(found.j), bytes_of(found.distance),
                         bytes_of(found.az), bytes_of(found.baz), hypo);
}

template <class Real>
PyObject *surroundings_of(const Tables &t, Arithmetic kind, const stations::Selection &selection)
{
    Surroundings<Real> found;
    Py_BEGIN_ALLOW_THREADS
    surround_all(t, kind, selection, found);
    Py_END_ALLOW_THREADS
    return Py_BuildValue("(NNNN)", bytes_of(found.n), bytes_of(found.nearest), bytes_of(found.gap),
                         bytes_of(found.secondary));
}

// The buffers a call was given, released however it ends.
class Buffers {
public:
    ~Buffers()
    {
        for (Py_buffer &b : held_)
            PyBuffer_Release(&b);
    }
    // A C-contiguous buffer of elements of size bytes each, and how many:
    // false and an error where o is none.
    bool take(PyObject *o, size_t size, const void **data, size_t *n)
    {
        Py_buffer b;
        if (PyObject_GetBuffer(o, &b, PyBUF_C_CONTIGUOUS) < 0)
            return false;
        held_.push_back(b);
        *data = b.buf;
        *n = static_cast<size_t>(b.len) / size;
        return true;
    }
    // One of n elements, or None (nullptr back).
    bool take(PyObject *o, size_t n, size_t size, const void **data)
    {
        size_t got = n;
        *data = nullptr;
        if (o != Py_None && !take(o, size, data, &got))
            return false;
        if (got != n) {
            PyErr_SetString(PyExc_ValueError, "_pairs: a buffer of the wrong length");
            return false;
        }
        return true;
    }

private:
    std::vector<Py_buffer> held_;
};

// _pairs(eqlat, eqlon, stlat, stlon, min, max, kind, azimuth, back_azimuth,
// nearest, times, depth, elevation): four C-contiguous float64 buffers;
// the distance window; the arithmetic (ARITHMETICS' codes); each sector
// (from, to) or None; the nearest N, or 0 for every pair; times None or
// six int64 buffers (the earthquakes', the stations' starts and ends,
// seconds then nanoseconds, NaT as the least int64); the earthquakes'
// depths (km) and the stations' elevations (m), float64 or None.  Six
// values back: i and j (intp), distance, azimuth and back-azimuth (float32
// for the float sphere, else float64), and hypo (float64) or None.
// What a call asks, read from its arguments.
struct Call {
    Buffers held;
    Tables t;
    stations::Selection selection;
    Arithmetic kind = Arithmetic::float_sphere;
};

// A sector (MIN, MAX) of azimuths, or None for every direction.
bool parse_sector(PyObject *o, stations::Sector &sector)
{
    if (o == Py_None)
        return true;
    double between[2];
    if (!PyArg_ParseTuple(o, "dd", &between[0], &between[1]))
        return false;
    sector = stations::Sector::between(between[0], between[1]);
    return true;
}

// The six buffers of times: the earthquakes', the stations' starts and
// ends, seconds then nanoseconds.
bool parse_times(PyObject *times, Call &call)
{
    PyObject *parts[6];
    if (!PyArg_ParseTuple(times, "OOOOOO", &parts[0], &parts[1], &parts[2], &parts[3], &parts[4], &parts[5]))
        return false;
    for (int k = 0; k < 6; k++) {
        const void *p;
        if (!call.held.take(parts[k], k < 2 ? call.t.earthquakes : call.t.stations, sizeof(int64_t), &p))
            return false;
        call.t.times[k] = static_cast<const int64_t *>(p);
    }
    return true;
}

bool parse(PyObject *args, Call &call)
{
    Buffers &held = call.held;
    Tables &t = call.t;
    stations::Selection &selection = call.selection;
    PyObject *b[4], *azimuth, *back_azimuth, *times, *depth, *elevation;
    double min, max;
    int kind;
    Py_ssize_t nearest;
    if (!PyArg_ParseTuple(args, "OOOOddiOOnOOO", &b[0], &b[1], &b[2], &b[3], &min, &max, &kind,
                          &azimuth, &back_azimuth, &nearest, &times, &depth, &elevation))
        return false;
    const void *data[4];
    if (!held.take(b[0], sizeof(double), &data[0], &t.earthquakes) ||
        !held.take(b[2], sizeof(double), &data[2], &t.stations) ||
        !held.take(b[1], t.earthquakes, sizeof(double), &data[1]) ||
        !held.take(b[3], t.stations, sizeof(double), &data[3]))
        return false;
    t.eqlat = static_cast<const double *>(data[0]);
    t.eqlon = static_cast<const double *>(data[1]);
    t.stlat = static_cast<const double *>(data[2]);
    t.stlon = static_cast<const double *>(data[3]);
    selection.window.by_distance = true;
    selection.window.min = min;
    selection.window.max = max;
    if (!parse_sector(azimuth, selection.window.azimuth) ||
        !parse_sector(back_azimuth, selection.window.back_azimuth))
        return false;
    selection.nearest = nearest > 0 ? static_cast<size_t>(nearest) : 0;
    if (times != Py_None) {
        if (!parse_times(times, call))
            return false;
        selection.by_time = true;
    }
    const void *heights[2];
    if (!held.take(depth, t.earthquakes, sizeof(double), &heights[0]) ||
        !held.take(elevation, t.stations, sizeof(double), &heights[1]))
        return false;
    t.depth = static_cast<const double *>(heights[0]);
    t.elevation = static_cast<const double *>(heights[1]);
    if (kind < 0 || kind > static_cast<int>(Arithmetic::ellipsoid)) {
        PyErr_SetString(PyExc_ValueError, "_pairs: no such arithmetic");
        return false;
    }
    call.kind = static_cast<Arithmetic>(kind);
    return true;
}

PyObject *pairs(PyObject *, PyObject *args)
{
    Call c;
    if (!parse(args, c))
        return nullptr;
    return c.kind == Arithmetic::float_sphere ? pairs_of<float>(c.t, c.kind, c.selection)
                                              : pairs_of<double>(c.t, c.kind, c.selection);
}

// _surroundings(...): the arguments of _pairs (depth and elevation None);
// four values back, one of each an earthquake: n (intp), then the
// nearest's distance, the gap and the secondary gap (float32 for the
// float sphere, else float64).
PyObject *surroundings(PyObject *, PyObject *args)
{
    Call c;
    if (!parse(args, c))
        return nullptr;
    return c.kind == Arithmetic::float_sphere ? surroundings_of<float>(c.t, c.kind, c.selection)
                                              : surroundings_of<double>(c.t, c.kind, c.selection);
}

}  // namespace

PyMethodDef pairs_methods[] = {
    {"_pairs", pairs, METH_VARARGS, "Every pair in a selection: see ostrem.pairs_within."},
    {"_surroundings", surroundings, METH_VARARGS,
     "How the stations surround each earthquake: see ostrem.network_geometry."},
    {nullptr, nullptr, 0, nullptr}};

// The codes _pairs takes for its arithmetics, and the bounds the Python
// side checks coordinates and heights against, from the module's headers.
bool add_pairing_constants(PyObject *m)
{
    PyObject *codes = Py_BuildValue("{sisisi}", "float_sphere", static_cast<int>(Arithmetic::float_sphere),
                                    "double_sphere", static_cast<int>(Arithmetic::double_sphere),
                                    "ellipsoid", static_cast<int>(Arithmetic::ellipsoid));
    PyObject *bounds = Py_BuildValue(
        "{s(dd)s(dd)s(dd)s(dd)}", "latitude", OSTREM_LATITUDE_MIN, OSTREM_LATITUDE_MAX, "longitude",
        OSTREM_LONGITUDE_MIN, OSTREM_LONGITUDE_MAX, "depth", GEODESIC_DEPTH_MIN, GEODESIC_DEPTH_MAX,
        "elevation", GEODESIC_ELEVATION_MIN, GEODESIC_ELEVATION_MAX);
    if (!codes || !bounds || PyModule_AddObject(m, "ARITHMETICS", codes) < 0) {
        Py_XDECREF(codes);
        Py_XDECREF(bounds);
        return false;
    }
    if (PyModule_AddObject(m, "BOUNDS", bounds) < 0) {
        Py_DECREF(bounds);
        return false;
    }
    return true;
}
