// Every earthquake against every station within a window, for
// ostrem.pairs_within and ostrem.geodesic_pairs_within: the stations' index
// gives each earthquake's candidates, and each candidate's pair is computed
// by the very function the ufuncs call, so the pairs and their bits are
// those of computing every pair.  Plain buffers in and out, no NumPy C
// API: the Python side checks the ranges, makes the arrays and wraps what
// comes back; this side runs without the GIL.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "arithmetic.h"
#include "station_index.h"

namespace {

enum Kind { sphere_float, sphere_double, ellipsoid };

// The pairs found: indices, then the three results, float or double.
template <class Real>
struct Found {
    std::vector<Py_ssize_t> i, j;
    std::vector<Real> distance, az, baz;
};

// The ufuncs' own inverse problem, in the arithmetic's numbers.
template <class Real>
int solve(Kind kind, double eqlat, double eqlon, double stlat, double stlon, Real r[3])
{
    const Real c[4] = {static_cast<Real>(eqlat), static_cast<Real>(eqlon), static_cast<Real>(stlat),
                       static_cast<Real>(stlon)};
    if constexpr (sizeof(Real) == sizeof(float)) {
        (void)kind;
        return arithmetic::Inverse<arithmetic::FloatSphere>::call(c, r);
    } else {
        return kind == ellipsoid ? arithmetic::Inverse<arithmetic::Ellipsoid>::call(c, r)
                                 : arithmetic::Inverse<arithmetic::DoubleSphere>::call(c, r);
    }
}

struct Tables {
    const double *eqlat, *eqlon, *stlat, *stlon;
    size_t earthquakes, stations;
};

// The stations without the NaN ones, which take no part.
void usable(const double *lat, const double *lon, size_t n, std::vector<double> &la,
            std::vector<double> &lo, std::vector<size_t> &at)
{
    for (size_t k = 0; k < n; k++) {
        if (std::isnan(lat[k]) || std::isnan(lon[k]))
            continue;
        la.push_back(lat[k]);
        lo.push_back(lon[k]);
        at.push_back(k);
    }
}

template <class Real>
void pair_all(const Tables &t, Kind kind, double min, double max, Found<Real> &found)
{
    const bool single = kind == sphere_float;
    std::vector<double> la, lo;
    std::vector<size_t> at;
    usable(t.stlat, t.stlon, t.stations, la, lo, at);
    const stations::Index index(kind == ellipsoid ? stations::Surface::ellipsoid
                                                  : stations::Surface::sphere,
                                single, la.data(), lo.data(), la.size());
    std::vector<uint32_t> near;
    for (size_t e = 0; e < t.earthquakes; e++) {
        if (std::isnan(t.eqlat[e]) || std::isnan(t.eqlon[e]))
            continue;
        index.near(t.eqlat[e], t.eqlon[e], max, near);
        for (uint32_t k : near) {
            Real r[3];
            const size_t s = at[k];
            if (solve<Real>(kind, t.eqlat[e], t.eqlon[e], t.stlat[s], t.stlon[s], r) != 0)
                continue;  // not reached: the caller checked the ranges
            const double d = r[0];
            if (!(d >= min && d <= max))
                continue;
            found.i.push_back(static_cast<Py_ssize_t>(e));
            found.j.push_back(static_cast<Py_ssize_t>(s));
            found.distance.push_back(r[0]);
            found.az.push_back(r[1]);
            found.baz.push_back(r[2]);
        }
    }
}

template <class T>
PyObject *bytes_of(const std::vector<T> &v)
{
    return PyByteArray_FromStringAndSize(reinterpret_cast<const char *>(v.data()),
                                         static_cast<Py_ssize_t>(v.size() * sizeof(T)));
}

template <class Real>
PyObject *run(const Tables &t, Kind kind, double min, double max)
{
    Found<Real> found;
    Py_BEGIN_ALLOW_THREADS
    pair_all(t, kind, min, max, found);
    Py_END_ALLOW_THREADS
    return Py_BuildValue("(NNNNN)", bytes_of(found.i), bytes_of(found.j), bytes_of(found.distance),
                         bytes_of(found.az), bytes_of(found.baz));
}

// _pairs(eqlat, eqlon, stlat, stlon, min, max, kind): four C-contiguous
// float64 buffers, the window, and 0 (float sphere), 1 (double sphere) or 2
// (the ellipsoid); five bytearrays back: i and j (intp), then distance,
// azimuth and back-azimuth (float32 for kind 0, else float64).
PyObject *pairs(PyObject *, PyObject *args)
{
    Py_buffer b[4];
    double min, max;
    int kind;
    if (!PyArg_ParseTuple(args, "y*y*y*y*ddi", &b[0], &b[1], &b[2], &b[3], &min, &max, &kind))
        return nullptr;
    Tables t{static_cast<const double *>(b[0].buf), static_cast<const double *>(b[1].buf),
             static_cast<const double *>(b[2].buf), static_cast<const double *>(b[3].buf),
             static_cast<size_t>(b[0].len) / sizeof(double),
             static_cast<size_t>(b[2].len) / sizeof(double)};
    PyObject *result = nullptr;
    if (b[1].len != b[0].len || b[3].len != b[2].len || kind < 0 || kind > 2)
        PyErr_SetString(PyExc_ValueError, "_pairs: mismatched buffers or kind");
    else if (kind == ellipsoid && !geodesic_available())
        PyErr_SetString(PyExc_RuntimeError, "this build of ostrem has no ellipsoid");
    else if (kind == sphere_float)
        result = run<float>(t, sphere_float, min, max);
    else
        result = run<double>(t, static_cast<Kind>(kind), min, max);
    for (Py_buffer &x : b)
        PyBuffer_Release(&x);
    return result;
}

}  // namespace

PyMethodDef pairs_methods[] = {
    {"_pairs", pairs, METH_VARARGS, "Every pair within a window: see ostrem.pairs_within."},
    {nullptr, nullptr, 0, nullptr}};
