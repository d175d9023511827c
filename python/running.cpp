// SPDX-License-Identifier: GPL-3.0-or-later
#include "running.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "base/band_grid.h"
#include "base/orvane_error.h"
#include "base/parallel.h"
#include "chain/feature_space.h"
#include "chain/processing_chain.h"
#include "chain/sensor_synthesis.h"
#include "spectra/sensor.h"
#include "spectra/spectrum.h"

namespace orvane::python {

namespace {

// Rows per task of the worker threads: enough to outweigh handing out a task.
constexpr py::ssize_t kRowsPerTask = 64;
// How many rows ahead Sensor.resample asks for the values it will read.
constexpr py::ssize_t kPrefetchRows = 4;

void RefuseInfinite(const Rows& rows, py::ssize_t i, py::ssize_t k, double v) {
    const std::string where =
        rows.Dims() == 1   ? "value " + std::to_string(k)
        : rows.Dims() == 2 ? "row " + std::to_string(i) + ", column " + std::to_string(k)
                           : "pixel (" + std::to_string(i / rows.Width()) + ", " +
                                 std::to_string(i % rows.Width()) + "), band " + std::to_string(k);
    Refuse(rows.Name(),
           where + " is " + (v > 0 ? "inf" : "-inf") + "; only NaN may stand for a missing value");
}

// Whether a row holds an infinity: its bits without the sign are the exponent's alone (a NaN
// has mantissa bits beside them); `nan`, when given, says whether it holds a NaN. Written as
// comparisons folded into integers, which the compiler makes vector code of (with a clone for
// processors with AVX2), so the scan costs a few per cent of a light chain.
__attribute__((target_clones("avx2", "default"))) bool AnyInfinite(const double* v,
                                                                   py::ssize_t n, bool* nan) {
    constexpr std::uint64_t kInfinity = 0xFFE0000000000000ull;
    std::uint64_t infinite = 0, missing = 0;
    for (py::ssize_t k = 0; k < n; ++k) {
        std::uint64_t bits;
        std::memcpy(&bits, v + k, sizeof bits);
        infinite |= (bits << 1) == kInfinity;
        missing |= (bits << 1) > kInfinity;
    }
    if (nan) *nan = missing != 0;
    return infinite != 0;
}

// Refuses the first infinite value of a row; `nan`, when given, says whether it holds a NaN.
void RequireNoInfinity(const Rows& rows, py::ssize_t i, const double* v, bool* nan = nullptr) {
    if (!AnyInfinite(v, rows.Columns(), nan)) return;
    for (py::ssize_t k = 0; k < rows.Columns(); ++k)
        if (std::isinf(v[k])) RefuseInfinite(rows, i, k, v[k]);
}

// The same for the bands of `runs` (first, last index) alone, the only ones a call reads.
void RequireNoInfinityIn(const Rows& rows, py::ssize_t i, const double* v,
                         const std::vector<std::pair<int, int>>& runs, bool* nan) {
    bool any_nan = false;
    for (const auto& [first, last] : runs) {
        bool run_nan = false;
        if (AnyInfinite(v + first, last - first + 1, &run_nan))
            for (int k = first; k <= last; ++k)
                if (std::isinf(v[k])) RefuseInfinite(rows, i, k, v[k]);
        any_nan |= run_nan;
    }
    *nan = any_nan;
}

// The shape of the output: the rows' shape with `width` values along the last axis.
std::vector<py::ssize_t> OutputShape(const Rows& rows, int width) {
    std::vector<py::ssize_t> shape;
    if (rows.Dims() == 3) shape = {rows.Height(), rows.Width()};
    if (rows.Dims() == 2) shape = {rows.Count()};
    shape.push_back(width);
    return shape;
}

// Runs body(first, last, worker) over the rows in tasks of kRowsPerTask on the worker threads.
// `workers` is the count the caller prepared work space for (TaskWorkers).
template <class Body>
void ForRowTasks(py::ssize_t n, int workers, Body body) {
    const std::size_t tasks = static_cast<std::size_t>((n + kRowsPerTask - 1) / kRowsPerTask);
    ParallelFor(tasks, [&](std::size_t task, int worker) {
        if (worker >= workers)
            throw OrvaneError("The number of threads changed while the call ran; run it again.");
        const py::ssize_t first = static_cast<py::ssize_t>(task) * kRowsPerTask;
        body(first, std::min(n, first + kRowsPerTask), worker);
    });
}

int TaskWorkers(py::ssize_t n) {
    return WorkersFor(static_cast<std::size_t>((n + kRowsPerTask - 1) / kRowsPerTask));
}

}  // namespace

py::array_t<double> ResampleRows(const SensorSynthesis& synthesis, const Rows& rows) {
    const int width = synthesis.Count();
    py::array_t<double> out(OutputShape(rows, width));
    double* o = out.mutable_data();
    const py::ssize_t n = rows.Count();
    py::gil_scoped_release release;
    const int workers = TaskWorkers(n);
    // Only the bands inside the responses are read: most of a row lies outside them, and a
    // scan of whole rows would take most of the call's time in memory traffic.
    std::vector<std::pair<int, int>> read;
    for (const auto& [first, last] : synthesis.ReadWavelengths()) {
        const int a = std::max(first, kFirstWavelength) - kFirstWavelength;
        const int b = std::min(last, kFirstWavelength + kSpectrumBands - 1) - kFirstWavelength;
        if (a <= b) read.emplace_back(a, b);
    }
    struct Work {
        std::vector<double> row;
        std::vector<int> missing;
        std::vector<int> complete;  // zeros
        BandVector bands;
    };
    std::vector<Work> work;
    for (int w = 0; w < workers; ++w)
        work.push_back(Work{std::vector<double>(kSpectrumBands),
                            std::vector<int>(kSpectrumBands + 1),
                            std::vector<int>(kSpectrumBands + 1, 0),
                            BandVector(synthesis.First(), width)});
    ForRowTasks(n, workers, [&](py::ssize_t first, py::ssize_t last, int worker) {
        Work& w = work[static_cast<std::size_t>(worker)];
        for (py::ssize_t i = first; i < last; ++i) {
            // The runs lie apart in memory, where the processor's own prefetching does not
            // look ahead: the next row's are asked for while this one is summed.
            if (rows.Direct() && i + kPrefetchRows < n) {
                const char* next =
                    reinterpret_cast<const char*>(rows.Row(i + kPrefetchRows, nullptr));
                for (const auto& [a, b] : read) {
                    for (int k = a; k <= b; k += 8) __builtin_prefetch(next + 8 * k);
                    __builtin_prefetch(next + 8 * b);
                }
            }
            const double* v = rows.Row(i, w.row.data());
            bool nan = false;
            RequireNoInfinityIn(rows, i, v, read, &nan);
            // A complete spectrum has no band without value before any band: the counts are
            // the zeros they start as, so only a spectrum with gaps is counted.
            if (nan) CountMissingBefore(v, kSpectrumBands, w.missing.data());
            const int* missing = nan ? w.missing.data() : w.complete.data();
            synthesis.Apply({v, missing, kFirstWavelength, kSpectrumBands}, w.bands);
            std::copy(w.bands.Values(), w.bands.Values() + width, o + i * width);
        }
    });
    return out;
}

std::optional<Stage> StageOfWord(const std::string& word, const std::string& argument) {
    const std::optional<Stage> stage = StageFromWord(word);
    if (!stage)
        Refuse(argument, "unknown stage \"" + word + "\"; choose one of " +
                             StageWords([](Stage) { return true; }, ", "));
    if (*stage == Stage::kFeatures) return std::nullopt;
    return stage;
}

int StageWidth(const CompiledChain& chain, std::optional<Stage> stage) {
    if (!stage) {
        const FeatureSpace* fs = chain.Features();
        if (!fs) return 0;
        return fs->Type() == kFeaturePCT ? fs->Transform().Nrows()
                                         : static_cast<int>(fs->Ranges().size());
    }
    if (OnSensorAxis(*stage)) return chain.Synthesis() ? chain.Synthesis()->Count() : 0;
    return kSpectrumBands;
}

InputAxis AxisOf(const CompiledChain& chain, const Rows& rows, const std::string& on) {
    const int sensor_bands = chain.Synthesis() ? chain.Synthesis()->Count() : -1;
    const std::string sensor_text =
        sensor_bands > 0
            ? std::to_string(sensor_bands) + " (the bands of " + chain.SensorOf()->Name() + ")"
            : "";
    if (on == "grid") {
        rows.RequireColumns(kSpectrumBands, "the 1 nm grid from 350 to 2499 nm");
        return InputAxis::kGrid;
    }
    if (on == "sensor") {
        if (sensor_bands < 0) Refuse("on", "the chain has no sensor");
        rows.RequireColumns(sensor_bands, "the bands of " + chain.SensorOf()->Name());
        return InputAxis::kSensorBands;
    }
    if (on != "auto") Refuse("on", "\"" + on + "\" is none of grid, sensor, auto");
    if (rows.Columns() == kSpectrumBands) return InputAxis::kGrid;
    if (rows.Columns() == sensor_bands) return InputAxis::kSensorBands;
    Refuse(rows.Name(), std::to_string(kSpectrumBands) +
                            " values per spectrum (the 1 nm grid from 350 to 2499 nm)" +
                            (sensor_text.empty() ? "" : " or " + sensor_text) +
                            " are needed, not " + std::to_string(rows.Columns()));
}

py::array_t<double> RunRows(const std::shared_ptr<const CompiledChain>& chain, const Rows& rows,
                            InputAxis axis, std::optional<Stage> stage) {
    const int width = StageWidth(*chain, stage);
    py::array_t<double> out(OutputShape(rows, width));
    double* o = out.mutable_data();
    const py::ssize_t n = rows.Count();
    const int columns = static_cast<int>(rows.Columns());
    py::gil_scoped_release release;
    const int workers = TaskWorkers(n);
    ChainTeam team(chain);
    team.Prepare(workers);
    std::vector<std::vector<double>> scratch(static_cast<std::size_t>(workers),
                                             std::vector<double>(rows.Columns()));
    ForRowTasks(n, workers, [&](py::ssize_t first, py::ssize_t last, int worker) {
        Chain& run = team.For(worker);
        double* buffer = scratch[static_cast<std::size_t>(worker)].data();
        for (py::ssize_t i = first; i < last; ++i) {
            const double* v = rows.Row(i, buffer);
            RequireNoInfinity(rows, i, v);
            double* target = o + i * width;
            if (!stage) {
                const Matrix& f = axis == InputAxis::kGrid
                                      ? run.FeaturesFromGrid(v)
                                      : run.FeaturesFromSensorBands(v, columns);
                for (int r = 0; r < width; ++r) target[r] = f(r + 1, 1);
                continue;
            }
            const BandVector& b = axis == InputAxis::kGrid ? run.RunGridValues(v, *stage)
                                                           : run.RunSensorBands(v, columns, *stage);
            if (b.Count() != width)
                throw OrvaneError("The stage has " + std::to_string(b.Count()) + " values where " +
                                  std::to_string(width) + " were expected.");
            std::copy(b.Values(), b.Values() + width, target);
        }
    });
    return out;
}

}  // namespace orvane::python
