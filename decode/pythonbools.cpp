// Python's header goes first and alone: it must precede the system headers,
// and its "slots" member clashes with Qt's keywords.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "pythonbools.h"

#include <initializer_list>

namespace decode {

void keepPythonBoolsAlive()
{
#if PY_VERSION_HEX < 0x030C0000
    // Far above any count a session can spend, far below overflow.
    constexpr Py_ssize_t Floor = Py_ssize_t(1) << 40;
    const PyGILState_STATE gil = PyGILState_Ensure();
    for (PyObject *singleton : {Py_True, Py_False})
        if (Py_REFCNT(singleton) < Floor)
            Py_SET_REFCNT(singleton, Py_REFCNT(singleton) + 2 * Floor);
    PyGILState_Release(gil);
#endif
}

} // namespace decode
