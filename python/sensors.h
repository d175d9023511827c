// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <pybind11/pybind11.h>

#include <memory>

#include "chain/compiled_chain.h"
#include "spectra/sensor.h"

namespace orvane::python {

namespace py = pybind11;

// A sensor as Python holds it: the definition and the chain that resamples onto its bands
// alone (no filter, no smoothing), made once.
struct PySensor {
    explicit PySensor(std::shared_ptr<const orvane::Sensor> definition);
    std::shared_ptr<const orvane::Sensor> sensor;
    std::shared_ptr<const CompiledChain> resampling;
};

// A sensor given as a Sensor or by the name of a shipped one; refuses (ValueError naming
// `argument`) anything else.
std::shared_ptr<const orvane::Sensor> SensorArgument(py::handle value, const char* argument);

void BindSensors(py::module_& m);

}  // namespace orvane::python
