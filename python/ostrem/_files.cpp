// ostrem._files: StationXML and QuakeML as the FDSN text they stand for,
// through the same reader as the filter's (stations/files), for
// ostrem.read_stations and ostrem.read_events.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <string>

#include "channels.h"
#include "fdsn_text.h"
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

// text(data: bytes, types: str = "", instead: bool = False) -> (kind,
// text: bytes, root, malformed, problems, problem_count); problems a list
// of (line, what).  The header line first.  types ranks the magnitude
// types ("Mw,mb"), as files::Magnitudes says.
PyObject *text(PyObject *, PyObject *args)
{
    Py_buffer data;
    const char *types = "";
    int instead = 0;
    if (!PyArg_ParseTuple(args, "y*|sp", &data, &types, &instead))
        return nullptr;
    files::Magnitudes magnitudes;
    if (*types && !files::magnitude_types(types, magnitudes)) {
        PyBuffer_Release(&data);
        PyErr_Format(PyExc_ValueError, "magnitude types separated by commas (Mw,mb), not %R",
                     PyTuple_GET_ITEM(args, 1));
        return nullptr;
    }
    magnitudes.instead = instead != 0;
    files::Converted c;
    Py_BEGIN_ALLOW_THREADS
    c = files::convert(static_cast<const char *>(data.buf), static_cast<size_t>(data.len), true, false,
                       files::Kind::unknown, magnitudes);
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

// station_epochs(data: bytes) -> text: bytes, or None where data is not
// FDSN channel text: one line per station epoch (channels.h).
PyObject *station_epochs(PyObject *, PyObject *args)
{
    Py_buffer data;
    if (!PyArg_ParseTuple(args, "y*", &data))
        return nullptr;
    const char *p = static_cast<const char *>(data.buf);
    const size_t n = static_cast<size_t>(data.len);
    const files::TextHeader h = files::fdsn_text(p, n);
    if (h.kind != files::Text::channels) {
        PyBuffer_Release(&data);
        Py_RETURN_NONE;
    }
    files::StationEpochs e;
    Py_BEGIN_ALLOW_THREADS
    e = files::station_epochs(p, n, h);
    Py_END_ALLOW_THREADS
    PyBuffer_Release(&data);
    return PyBytes_FromStringAndSize(e.text.data(), static_cast<Py_ssize_t>(e.text.size()));
}

PyMethodDef methods[] = {
    {"text", text, METH_VARARGS, "StationXML or QuakeML as FDSN text: see ostrem.read_stations."},
    {"station_epochs", station_epochs, METH_VARARGS,
     "FDSN channel text as one line per station epoch: see ostrem.read_stations."},
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
