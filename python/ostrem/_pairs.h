// What the pairs' half of the extension (_pairs.cpp) gives the module that
// _ufuncs.cpp defines: its functions, and its constants.
#ifndef OSTREM_PYTHON_PAIRS_H
#define OSTREM_PYTHON_PAIRS_H

#define PY_SSIZE_T_CLEAN
#include <Python.h>

// ostrem._pairs and ostrem._surroundings, ended by an empty entry.
extern PyMethodDef pairs_methods[];

// The codes _pairs takes for its arithmetics and the bounds the Python side
// checks against, as the module's constants; false, with a Python error
// set, when one cannot be added.
bool add_pairing_constants(PyObject *m);

#endif
