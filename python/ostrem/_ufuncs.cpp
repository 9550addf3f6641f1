// NumPy ufuncs over the geodesy module: one C loop per element, over any
// strides NumPy hands over, with no Python inside the loop (NumPy releases
// the GIL around it, since no loop here needs the Python API).
//
// By default coordinates reach the module as floats rounded from double,
// exactly as the programs round what atof read, so every element gives the
// programs' bits; float64 results select the double-precision functions.  An out-of-range element gets NaN results and raises the invalid
// flag that NumPy's error state then reports; the flags the module's own
// arithmetic raises (a comparison with a NaN coordinate, an inexact or
// overflowing rounding to float) are not NumPy's business and are put back
// as they were, so a NaN coordinate gives NaN quietly.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#define NPY_NO_DEPRECATED_API NPY_1_7_API_VERSION
#include <numpy/arrayobject.h>
#include <numpy/ufuncobject.h>

#include <cfenv>
#include <cmath>
#include <type_traits>

#include "_pairs.h"
#include "arithmetic.h"
#include "ellipsoid_inverse.h"
#include "geodesic_blocks.h"

namespace {

// Keeps the floating-point flags of the loop's caller, and on leaving
// replaces whatever the loop raised by `invalid` alone.  NumPy clears the
// flags once per call and reads them after the last chunk, so the flags of
// earlier chunks must survive this one.
class Flags {
public:
    Flags() : saved_(std::fetestexcept(FE_ALL_EXCEPT)) {}
    ~Flags()
    {
        std::feclearexcept(FE_ALL_EXCEPT);
        int raise = saved_ | (invalid ? FE_INVALID : 0);
        if (raise)
            std::feraiseexcept(raise);
    }
    bool invalid = false;

private:
    int saved_;
};

// nin inputs of type T, rounded to C as the programs round atof's double
// (or widened exactly), nout results of type C, per element.
template <typename T, typename C, int nin, int nout, int (*f)(const C *, C *)>
void loop(char **args, const npy_intp *dims, const npy_intp *steps, void *)
{
    Flags flags;
    for (npy_intp i = 0; i < dims[0]; i++) {
        C c[nin], r[nout];
        for (int k = 0; k < nin; k++)
            c[k] = static_cast<C>(*reinterpret_cast<const T *>(args[k] + i * steps[k]));
        if (f(c, r) != 0) {
            for (C &x : r)
                x = static_cast<C>(NAN);
            flags.invalid = true;
        }
        for (int k = 0; k < nout; k++)
            *reinterpret_cast<C *>(args[nin + k] + i * steps[nin + k]) = r[k];
    }
}

// Three loops a function, in the order NumPy searches them: float32 in
// as it is; anything else NumPy casts safely to float64 (float64, Python
// floats and ints) rounded to float32, so that the default is the
// programs' bits; and, only when float64 results are asked for (dtype= or
// signature=), the double function with no rounding at all.
template <template <class> class P>
struct Loops {
    using Float = P<arithmetic::FloatSphere>;
    using Double = P<arithmetic::DoubleSphere>;
    static_assert(Float::nin == Double::nin && Float::nout == Double::nout,
                  "one problem, the same counts in both precisions");
    static constexpr int nin = Float::nin, nout = Float::nout, ntypes = 3;
    PyUFuncGenericFunction funcs[ntypes] = {loop<float, float, nin, nout, Float::call>,
                                            loop<double, float, nin, nout, Float::call>,
                                            loop<double, double, nin, nout, Double::call>};
    char types[ntypes * (nin + nout)];
    Loops()
    {
        char *t = types;
        const char in[ntypes] = {NPY_FLOAT, NPY_DOUBLE, NPY_DOUBLE};
        const char out[ntypes] = {NPY_FLOAT, NPY_FLOAT, NPY_DOUBLE};
        for (int l = 0; l < ntypes; l++) {
            for (int k = 0; k < nin; k++)
                *t++ = in[l];
            for (int k = 0; k < nout; k++)
                *t++ = out[l];
        }
    }
};

// The ellipsoid's, float64 only: kilometres and geodesic directions have
// no float32 programs to match.
template <class P>
struct DoubleLoop {
    static constexpr int nin = P::nin, nout = P::nout, ntypes = 1;
    PyUFuncGenericFunction funcs[ntypes] = {loop<double, double, nin, nout, P::call>};
    char types[nin + nout];
    DoubleLoop()
    {
        for (char &t : types)
            t = NPY_DOUBLE;
    }
};

// The ellipsoid's inverse problem solves a block of pairs at once in the
// processor's lanes: the elements are gathered from their strides into
// blocks and scattered back, each pair's results the same bits as alone.
void geodesic_loop(char **args, const npy_intp *dims, const npy_intp *steps, void *)
{
    Flags flags;
    auto in = [&](int k, size_t i) { return *reinterpret_cast<const double *>(args[k] + i * steps[k]); };
    auto out = [&](int k, size_t i) -> double & { return *reinterpret_cast<double *>(args[4 + k] + i * steps[4 + k]); };
    const size_t n = static_cast<size_t>(dims[0]);
    const size_t refused = ellipsoid::solve_blocks(
        n, [&](size_t i) { return ellipsoid::Ends{in(0, i), in(1, i), in(2, i), in(3, i)}; },
        [&](size_t i, const ellipsoid::Geodesic &g) {
            out(0, i) = g.km;
            out(1, i) = g.azimuth;
            out(2, i) = g.back_azimuth;
        });
    if (refused > 0)
        flags.invalid = true;
}

// Walks and midpoints on the ellipsoid the same way, a block at a time:
// four numbers in (a walk, or a pair's ends), a point out.
template <class In>
void point_loop(char **args, const npy_intp *dims, const npy_intp *steps, void *)
{
    Flags flags;
    auto in = [&](size_t i) {
        double x[4];
        for (int k = 0; k < 4; k++)
            x[k] = *reinterpret_cast<const double *>(args[k] + i * steps[k]);
        return In{x[0], x[1], x[2], x[3]};
    };
    auto out = [&](int k, size_t i) -> double & { return *reinterpret_cast<double *>(args[4 + k] + i * steps[4 + k]); };
    auto put = [&](size_t i, const ellipsoid::Point &p) {
        out(0, i) = p.lat;
        out(1, i) = p.lon;
    };
    const size_t n = static_cast<size_t>(dims[0]);
    size_t refused;
    if constexpr (std::is_same<In, ellipsoid::Walk>::value)
        refused = ellipsoid::walk_blocks(n, in, put);
    else
        refused = ellipsoid::midpoint_blocks(n, in, put);
    if (refused > 0)
        flags.invalid = true;
}

// A problem's float64 loop, done a block at a time by `blocks`.
template <class P, PyUFuncGenericFunction blocks>
struct BlockLoops : DoubleLoop<P> {
    BlockLoops() { this->funcs[0] = blocks; }
};
BlockLoops<arithmetic::Inverse<arithmetic::Ellipsoid>, geodesic_loop> geodesic_loops;
BlockLoops<arithmetic::Direct<arithmetic::Ellipsoid>, point_loop<ellipsoid::Walk>> geodesic_walk_loops;
BlockLoops<arithmetic::Midpoint<arithmetic::Ellipsoid>, point_loop<ellipsoid::Ends>> geodesic_midpoint_loops;
DoubleLoop<arithmetic::Hypocentral> hypocentral_loops;

Loops<arithmetic::Inverse> ostrem_loops;
Loops<arithmetic::Midpoint> midpoint_loops;
Loops<arithmetic::Direct> walk_loops;

// As NumPy's own functions do, a NaN made from a number (sin of an
// infinity inside) is invalid, and a NaN passed through is not.
template <double (*f)(double)>
void unary_loop(char **args, const npy_intp *dims, const npy_intp *steps, void *)
{
    Flags flags;
    char *in = args[0], *out = args[1];
    for (npy_intp i = 0; i < dims[0]; i++) {
        double x = *reinterpret_cast<const double *>(in);
        double y = f(x);
        if (std::isnan(y) && !std::isnan(x))
            flags.invalid = true;
        *reinterpret_cast<double *>(out) = y;
        in += steps[0], out += steps[1];
    }
}

PyUFuncGenericFunction geocen_loops[] = {unary_loop<geocen>};
PyUFuncGenericFunction geogrf_loops[] = {unary_loop<geogrf>};
char unary_types[] = {NPY_DOUBLE, NPY_DOUBLE};
void *no_data[] = {nullptr, nullptr, nullptr};

const char geocen_doc[] = R"(Geographic colatitude to geocentric colatitude.

tan(geocentric latitude) = 0.993305621334896 * tan(geographic latitude).

Parameters
----------
clat : array_like
    Geographic colatitude (radians from the north pole: 0 is the north
    pole, pi/2 the equator, pi the south pole).

Returns
-------
ndarray or scalar, float64
    Geocentric colatitude (radians), in [0, pi] for clat in [0, pi].

Notes
-----
``geocen(0.0)`` is exactly 0.0; the equator and the south pole map to
themselves within 1e-15.  A sine below 1e-30 is replaced by 1e-30, so an
argument just outside [0, pi] gives 0 or pi.  NaN gives NaN.

Examples
--------
>>> import numpy as np, ostrem
>>> float(90 - np.degrees(ostrem.geocen(np.radians(45.0))))
44.80757678...
)";

const char geogrf_doc[] = R"(Geocentric colatitude to geographic colatitude.

The inverse of `geocen` to within 2e-15 radians on [0, pi].

Parameters
----------
clat : array_like
    Geocentric colatitude (radians from the north pole).

Returns
-------
ndarray or scalar, float64
    Geographic colatitude (radians).

Notes
-----
``geogrf(0.0)`` is exactly 0.0; the same guard as `geocen` applies
outside [0, pi].  NaN gives NaN.

Examples
--------
>>> import numpy as np, ostrem
>>> float(ostrem.geogrf(ostrem.geocen(1.0)))
1.0
)";

}  // namespace

namespace {

PyModuleDef module = {PyModuleDef_HEAD_INIT, "_ufuncs",
                      "NumPy ufuncs over the ostrem geodesy module.", -1,
                      pairs_methods, nullptr, nullptr, nullptr, nullptr};

bool add(PyObject *m, const char *name, PyObject *ufunc)
{
    if (!ufunc)
        return false;
    if (PyModule_AddObject(m, name, ufunc) < 0) {
        Py_DECREF(ufunc);
        return false;
    }
    return true;
}

// A ufunc over a table of loops, with the counts of inputs, outputs and
// loops the table itself was built with.
template <class Table>
PyObject *ufunc(Table &t, const char *name, const char *doc)
{
    return PyUFunc_FromFuncAndData(t.funcs, no_data, t.types, Table::ntypes, Table::nin,
                                   Table::nout, PyUFunc_None, name, doc, 0);
}

}  // namespace

PyMODINIT_FUNC PyInit__ufuncs(void)
{
    PyObject *m = PyModule_Create(&module);
    if (!m)
        return nullptr;
    import_array();
    import_umath();
    // The docstrings of ostrem, midpoint and walk live on the Python
    // functions that wrap these three ufuncs.
    if (!add(m, "ostrem", ufunc(ostrem_loops, "ostrem",
                                "Distance, azimuth and back-azimuth: see ostrem.ostrem.")) ||
        !add(m, "midpoint", ufunc(midpoint_loops, "midpoint",
                                  "Great-circle midpoint: see ostrem.midpoint.")) ||
        !add(m, "walk", ufunc(walk_loops, "walk",
                              "The point reached along an azimuth: see ostrem.walk.")) ||
        !add(m, "geodesic", ufunc(geodesic_loops, "geodesic",
                                  "The WGS84 geodesic: see ostrem.geodesic.")) ||
        !add(m, "geodesic_walk", ufunc(geodesic_walk_loops, "geodesic_walk",
                                       "Along the WGS84 geodesic: see ostrem.geodesic_walk.")) ||
        !add(m, "geodesic_midpoint",
             ufunc(geodesic_midpoint_loops, "geodesic_midpoint",
                   "The WGS84 geodesic's midpoint: see ostrem.geodesic_midpoint.")) ||
        !add(m, "hypocentral", ufunc(hypocentral_loops, "hypocentral",
                                     "The hypocentral distance: see ostrem.hypocentral.")) ||
        PyModule_AddIntConstant(m, "has_ellipsoid", geodesic_available()) < 0 ||
        PyModule_AddStringConstant(m, "lanes", ellipsoid::name_of(ellipsoid::lanes_in_use())) < 0 ||
        !add_pairing_constants(m) ||
        !add(m, "geocen",
             PyUFunc_FromFuncAndData(geocen_loops, no_data, unary_types, 1, 1, 1,
                                     PyUFunc_None, "geocen", geocen_doc, 0)) ||
        !add(m, "geogrf",
             PyUFunc_FromFuncAndData(geogrf_loops, no_data, unary_types, 1, 1, 1,
                                     PyUFunc_None, "geogrf", geogrf_doc, 0)) ||
        PyModule_AddStringConstant(m, "version", OSTREM_VERSION) < 0) {
        Py_DECREF(m);
        return nullptr;
    }
    return m;
}
