// SPDX-License-Identifier: GPL-3.0-or-later
// Rows of an array run through a compiled chain on Orvane's worker threads, the GIL released.
#pragma once

#include <pybind11/numpy.h>

#include <memory>
#include <optional>
#include <string>

#include "arrays.h"
#include "chain/chain_stage.h"
#include "chain/compiled_chain.h"

namespace orvane {
class SensorSynthesis;
}

namespace orvane::python {

// Where input rows lie: the 1 nm grid from 350 nm, or a sensor's bands.
enum class InputAxis { kGrid, kSensorBands };

// The axis of `rows` for the chain: `on` is "grid", "sensor" or "auto" (by the column count).
// Refuses (ValueError naming the rows) a count that fits neither.
InputAxis AxisOf(const CompiledChain& chain, const Rows& rows, const std::string& on);

// Every row at `stage` (nullopt: the features), into a new array of the rows' shape with the
// stage's values along the last axis. A row with an infinite value is refused naming it.
py::array_t<double> RunRows(const std::shared_ptr<const CompiledChain>& chain, const Rows& rows,
                            InputAxis axis, std::optional<Stage> stage);

// Spectra on the grid resampled onto a sensor's bands, as the synth stage of a chain with
// nothing before it computes them (the synthesis straight from the values given).
py::array_t<double> ResampleRows(const SensorSynthesis& synthesis, const Rows& rows);

// The number of values a stage has per spectrum in the chain (features: the dimension).
int StageWidth(const CompiledChain& chain, std::optional<Stage> stage);

// The stage of a word; "features" gives nullopt. Refuses an unknown word naming the choices.
std::optional<Stage> StageOfWord(const std::string& word, const std::string& argument);

}  // namespace orvane::python
