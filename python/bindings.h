// SPDX-License-Identifier: GPL-3.0-or-later
// The parts of the module, each binding one floor of the core into `_orvane`.
#pragma once

#include <pybind11/pybind11.h>

namespace orvane::python {

namespace py = pybind11;

void BindErrors(py::module_& m);
void BindReading(py::module_& m);
void BindSensors(py::module_& m);
void BindChain(py::module_& m);
void BindStatistics(py::module_& m);
void BindImagery(py::module_& m);

}  // namespace orvane::python
