// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <pybind11/numpy.h>

#include <functional>
#include <memory>
#include <string>

#include "arrays.h"
#include "chain/compiled_chain.h"
#include "stats/class_models.h"

namespace orvane::python {

// What a library's rows are: features, or spectra on the grid or a sensor's bands that its
// chain turns into features.
enum class Feed { kFeatures, kGrid, kSensorBands };

// A library fitted in Python: its class models and, when it was fitted with one, the chain
// that makes its features.
struct PyModels {
    PyModels(ClassModels fitted, std::shared_ptr<const CompiledChain> chain);

    std::unique_ptr<ClassModels> models;
    std::shared_ptr<const CompiledChain> chain;

    Feed FeedOf(const Rows& rows, const std::string& on) const;
    // Calls body(row, features, worker) for every row on `workers` threads (Workers(n)), the
    // features null where they are not all finite; `strict` refuses such a row instead. Runs
    // without the GIL.
    void ForEachFeatureRow(const Rows& rows, Feed feed, bool strict,
                           const std::function<void(py::ssize_t, const double*, int)>& body,
                           int workers) const;
    int Workers(py::ssize_t n) const;
    // Every class's value of every row (n x classes).
    py::array_t<double> Values(py::handle x, const std::string& on) const;
};

void BindStatistics(py::module_& m);

}  // namespace orvane::python
