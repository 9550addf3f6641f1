// ostrem._files: StationXML and QuakeML as the FDSN text they stand for,
// through the same reader as the filter's (stations/files), for
// ostrem.read_stations and ostrem.read_events.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <string>

#include "fdsn_xml.h"

namespace {

const char *kind_name(files::Kind k)
{
    switch (k) {
    case files::Kind::stations: return "stations";
    case files::Kind::events: return "events";
    case files::Kind::other: return "other";
    default: return "unknown";
    }
}

// text(data: bytes) -> (kind, text: bytes, root, malformed, problems,
// problem_count); problems a list of (line, what).  The header line first.
PyObject *text(PyObject *, PyObject *args)
{
    Py_buffer data;
    if (!PyArg_ParseTuple(args, "y*", &data))
        return nullptr;
    files::Converted c;
    Py_BEGIN_ALLOW_THREADS
    c = files::convert(static_cast<const char *>(data.buf), static_cast<size_t>(data.len), true);
    Py_END_ALLOW_THREADS
    PyBuffer_Release(&data);
    PyObject *problems = PyList_New(0);
    if (!problems)
        return nullptr;
    for (const files::Problem &p : c.problems) {
        PyObject *item = Py_BuildValue("(ks#)", p.line, p.what.data(), static_cast<Py_ssize_t>(p.what.size()));
        if (!item || PyList_Append(problems, item) < 0) {
            Py_XDECREF(item);
            Py_DECREF(problems);
            return nullptr;
        }
        Py_DECREF(item);
    }
    return Py_BuildValue("(sy#s#ONk)", kind_name(c.kind), c.text.data(),
                         static_cast<Py_ssize_t>(c.text.size()), c.root.data(),
                         static_cast<Py_ssize_t>(c.root.size()), c.malformed ? Py_True : Py_False, problems,
                         c.problem_count);
}

PyMethodDef methods[] = {
    {"text", text, METH_VARARGS, "StationXML or QuakeML as FDSN text: see ostrem.read_stations."},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef module = {PyModuleDef_HEAD_INIT, "_files", "StationXML and QuakeML read as FDSN text.", -1,
                      methods, nullptr, nullptr, nullptr, nullptr};

}  // namespace

PyMODINIT_FUNC PyInit__files(void)
{
    PyObject *m = PyModule_Create(&module);
    if (!m)
        return nullptr;
    if (PyModule_AddStringConstant(m, "station_columns", files::station_columns) < 0 ||
        PyModule_AddStringConstant(m, "event_columns", files::event_columns) < 0) {
        Py_DECREF(m);
        return nullptr;
    }
    return m;
}
