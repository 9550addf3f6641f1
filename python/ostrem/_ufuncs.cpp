// NumPy ufuncs over the geodesy module: one C loop per element, over any
// strides NumPy hands over, with no Python inside the loop (NumPy releases
// the GIL around it, since no loop here needs the Python API).
//
// Coordinates reach the module as floats rounded from double, exactly as
// the programs round what atof read, so every element gives the programs'
// bits.  An out-of-range element gets NaN results and raises the invalid
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

#include "ostrem.h"

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

constexpr float nanf = NAN;

// The two module calls behind one signature: four coordinates in, the
// results out, 0 or 1 back.
int call_ostrem(const float *c, float *r)
{
    return ostrem(c[0], c[1], c[2], c[3], &r[0], &r[1], &r[2]);
}
int call_midpoint(const float *c, float *r)
{
    return midpoint(c[0], c[1], c[2], c[3], &r[0], &r[1]);
}

// Four coordinates of type T in, nout float32 results out, per element.
template <typename T, int nout, int (*f)(const float *, float *)>
void pair_loop(char **args, const npy_intp *dims, const npy_intp *steps, void *)
{
    Flags flags;
    for (npy_intp i = 0; i < dims[0]; i++) {
        float c[4], r[nout];
        for (int k = 0; k < 4; k++)
            c[k] = static_cast<float>(*reinterpret_cast<const T *>(args[k] + i * steps[k]));
        if (f(c, r) != 0) {
            for (float &x : r)
                x = nanf;
            flags.invalid = true;
        }
        for (int k = 0; k < nout; k++)
            *reinterpret_cast<float *>(args[4 + k] + i * steps[4 + k]) = r[k];
    }
}

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

// float32 coordinates go in as they are; everything else NumPy can cast
// safely (float64, Python floats and ints) goes through the double loop.
PyUFuncGenericFunction ostrem_loops[] = {pair_loop<float, 3, call_ostrem>,
                                         pair_loop<double, 3, call_ostrem>};
char ostrem_types[] = {NPY_FLOAT,  NPY_FLOAT,  NPY_FLOAT, NPY_FLOAT, NPY_FLOAT, NPY_FLOAT, NPY_FLOAT,
                       NPY_DOUBLE, NPY_DOUBLE, NPY_DOUBLE, NPY_DOUBLE, NPY_FLOAT, NPY_FLOAT, NPY_FLOAT};
PyUFuncGenericFunction midpoint_loops[] = {pair_loop<float, 2, call_midpoint>,
                                           pair_loop<double, 2, call_midpoint>};
char midpoint_types[] = {NPY_FLOAT,  NPY_FLOAT,  NPY_FLOAT,  NPY_FLOAT,  NPY_FLOAT, NPY_FLOAT,
                         NPY_DOUBLE, NPY_DOUBLE, NPY_DOUBLE, NPY_DOUBLE, NPY_FLOAT, NPY_FLOAT};
PyUFuncGenericFunction geocen_loops[] = {unary_loop<geocen>};
PyUFuncGenericFunction geogrf_loops[] = {unary_loop<geogrf>};
char unary_types[] = {NPY_DOUBLE, NPY_DOUBLE};
void *no_data[] = {nullptr, nullptr};

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

PyModuleDef module = {PyModuleDef_HEAD_INIT, "_ufuncs",
                      "NumPy ufuncs over the ostrem geodesy module.", -1,
                      nullptr, nullptr, nullptr, nullptr, nullptr};

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

}  // namespace

PyMODINIT_FUNC PyInit__ufuncs(void)
{
    PyObject *m = PyModule_Create(&module);
    if (!m)
        return nullptr;
    import_array();
    import_umath();
    // The docstrings of ostrem and midpoint live on the Python functions
    // that wrap these two ufuncs.
    if (!add(m, "ostrem",
             PyUFunc_FromFuncAndData(ostrem_loops, no_data, ostrem_types, 2, 4, 3,
                                     PyUFunc_None, "ostrem",
                                     "Distance, azimuth and back-azimuth: see ostrem.ostrem.", 0)) ||
        !add(m, "midpoint",
             PyUFunc_FromFuncAndData(midpoint_loops, no_data, midpoint_types, 2, 4, 2,
                                     PyUFunc_None, "midpoint",
                                     "Great-circle midpoint: see ostrem.midpoint.", 0)) ||
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
