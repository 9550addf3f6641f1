// ostrem._travel: the travel times of many elements, for
// ostrem.travel_times and ostrem.arrivals.  Arrays come in as buffers of
// doubles, contiguous and of one length (the Python side broadcasts), and
// go out as bytes that NumPy views.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <memory>
#include <string>
#include <vector>

#include "travel_times.h"

namespace {

// The model and the phases (a list, items joined by ',' or '+': all of
// them are looked at), or a Python error.
bool model_and_phases(const char *model_name, const char *list, std::shared_ptr<const travel::TimesModel> &model,
                      std::vector<std::string> &phases)
{
    std::vector<std::vector<std::string>> items;
    std::string wrong = travel::read_phase_list(list, items);
    if (!wrong.empty()) {
        PyErr_SetString(PyExc_ValueError, wrong.c_str());
        return false;
    }
    for (const auto &item : items)
        phases.insert(phases.end(), item.begin(), item.end());
    model = travel::shared_model(model_name, wrong);
    if (!model) {
        PyErr_SetString(PyExc_ValueError, wrong.c_str());
        return false;
    }
    return true;
}

struct Doubles {
    Py_buffer distance{}, depth{};
    bool held[2] = {false, false};
    ~Doubles()
    {
        if (held[0])
            PyBuffer_Release(&distance);
        if (held[1])
            PyBuffer_Release(&depth);
    }
    size_t size() const { return static_cast<size_t>(distance.len) / sizeof(double); }
    bool take(PyObject *a, PyObject *b)
    {
        held[0] = PyObject_GetBuffer(a, &distance, PyBUF_C_CONTIGUOUS) == 0;
        held[1] = held[0] && PyObject_GetBuffer(b, &depth, PyBUF_C_CONTIGUOUS) == 0;
        if (held[1] && (distance.len != depth.len || distance.len % sizeof(double) != 0)) {
            PyErr_SetString(PyExc_ValueError, "distances and depths: doubles, as many of each");
            return false;
        }
        return held[1];
    }
};

// The arguments both functions take: (distance, depth, phases, model).
bool arguments(PyObject *args, Doubles &in, std::shared_ptr<const travel::TimesModel> &model,
               std::vector<std::string> &phases)
{
    PyObject *a, *b;
    const char *list, *model_name;
    return PyArg_ParseTuple(args, "OOss", &a, &b, &list, &model_name) && in.take(a, b) &&
           model_and_phases(model_name, list, model, phases);
}

// first(distance, depth, phases, model) -> (time: bytes, ray_parameter: bytes)
PyObject *first(PyObject *, PyObject *args)
{
    Doubles in;
    std::shared_ptr<const travel::TimesModel> model;
    std::vector<std::string> phases;
    if (!arguments(args, in, model, phases))
        return nullptr;
    const size_t n = in.size();
    std::vector<double> time(n), ray_parameter(n);
    std::string wrong;
    Py_BEGIN_ALLOW_THREADS
    wrong = travel::first_arrivals(*model, phases, n, static_cast<const double *>(in.distance.buf),
                                   static_cast<const double *>(in.depth.buf), time.data(), ray_parameter.data());
    Py_END_ALLOW_THREADS
    if (!wrong.empty()) {
        PyErr_SetString(PyExc_ValueError, wrong.c_str());
        return nullptr;
    }
    const Py_ssize_t bytes = static_cast<Py_ssize_t>(n * sizeof(double));
    return Py_BuildValue("(y#y#)", reinterpret_cast<const char *>(time.data()), bytes,
                         reinterpret_cast<const char *>(ray_parameter.data()), bytes);
}

// every(distance, depth, phases, model) -> (element: bytes of int64,
// phase: list of str, time, ray_parameter, takeoff, incidence, deepest: bytes)
PyObject *every(PyObject *, PyObject *args)
{
    Doubles in;
    std::shared_ptr<const travel::TimesModel> model;
    std::vector<std::string> phases;
    if (!arguments(args, in, model, phases))
        return nullptr;
    std::vector<travel::ElementArrival> found;
    std::string wrong;
    Py_BEGIN_ALLOW_THREADS
    wrong = travel::every_arrival(*model, phases, in.size(), static_cast<const double *>(in.distance.buf),
                                  static_cast<const double *>(in.depth.buf), found);
    Py_END_ALLOW_THREADS
    if (!wrong.empty()) {
        PyErr_SetString(PyExc_ValueError, wrong.c_str());
        return nullptr;
    }
    const size_t m = found.size();
    std::vector<long long> element(m);
    std::vector<double> values[5];
    for (auto &v : values)
        v.resize(m);
    PyObject *names = PyList_New(static_cast<Py_ssize_t>(m));
    if (!names)
        return nullptr;
    for (size_t i = 0; i < m; i++) {
        const travel::Arrival &r = found[i].arrival;
        element[i] = static_cast<long long>(found[i].element);
        values[0][i] = r.time, values[1][i] = r.ray_parameter;
        values[2][i] = r.takeoff, values[3][i] = r.incidence, values[4][i] = r.deepest;
        PyObject *name = PyUnicode_FromStringAndSize(r.phase.data(), static_cast<Py_ssize_t>(r.phase.size()));
        if (!name) {
            Py_DECREF(names);
            return nullptr;
        }
        PyList_SET_ITEM(names, static_cast<Py_ssize_t>(i), name);
    }
    const Py_ssize_t bytes = static_cast<Py_ssize_t>(m * sizeof(double));
    auto raw = [](const auto &v) { return reinterpret_cast<const char *>(v.data()); };
    return Py_BuildValue("(y#Ny#y#y#y#y#)", raw(element), static_cast<Py_ssize_t>(m * sizeof(long long)), names,
                         raw(values[0]), bytes, raw(values[1]), bytes, raw(values[2]), bytes, raw(values[3]),
                         bytes, raw(values[4]), bytes);
}

PyMethodDef methods[] = {
    {"first", first, METH_VARARGS, "The earliest arrival among phases: see ostrem.travel_times."},
    {"every", every, METH_VARARGS, "Every arrival of each phase: see ostrem.arrivals."},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef module = {PyModuleDef_HEAD_INIT, "_travel", "Seismic travel times of many elements.", -1, methods,
                      nullptr, nullptr, nullptr, nullptr};

}  // namespace

PyMODINIT_FUNC PyInit__travel(void) { return PyModule_Create(&module); }
