// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <pybind11/pybind11.h>

#include <memory>

#include "chain/compiled_chain.h"

namespace orvane::python {

namespace py = pybind11;

// A chain as Python holds it: compiled once, run by every call on its own worker chains.
struct PyChain {
    std::shared_ptr<const CompiledChain> compiled;
};

void BindChain(py::module_& m);

}  // namespace orvane::python
