// SPDX-License-Identifier: GPL-3.0-or-later
// The processing chain made of plain arguments and run on arrays.
#include "chain.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <string>
#include <utility>
#include <vector>

#include "arrays.h"
#include "base/band_grid.h"
#include "base/orvane_error.h"
#include "bindings.h"
#include "chain/chain_definition.h"
#include "chain/chain_description.h"
#include "chain/chain_options.h"
#include "chain/chain_stage.h"
#include "chain/feature_space.h"
#include "chain/processing_chain.h"
#include "chain/savitzky_golay.h"
#include "chain/smoothing_type.h"
#include "spectra/spectrum.h"
#include "running.h"
#include "sensors.h"

namespace orvane::python {

namespace {

// Runs a core check of one argument; its refusal becomes a ValueError naming the argument.
template <class Check>
auto Checked(const char* argument, Check check) -> decltype(check()) {
    try {
        return check();
    } catch (const OrvaneError& e) {
        Refuse(argument, e.what());
    }
}

int IntOf(py::handle value, const char* argument, const char* what) {
    if (py::isinstance<py::bool_>(value) || !py::isinstance<py::int_>(value)) {
        try {
            const double v = value.cast<double>();
            if (v == static_cast<int>(v)) return static_cast<int>(v);
        } catch (const py::cast_error&) {
        }
        Refuse(argument, std::string(what) + " must be a whole number, not " +
                             py::repr(value).cast<std::string>());
    }
    return value.cast<int>();
}

std::string WordOf(py::handle value, const char* argument) {
    if (!py::isinstance<py::str>(value))
        Refuse(argument, "a word is needed, not " + py::repr(value).cast<std::string>());
    return value.cast<std::string>();
}

// Pairs of whole numbers: (a, b) items, or single numbers as (w, w) when `singles`.
std::vector<std::pair<int, int>> PairsOf(py::handle value, const char* argument, bool singles) {
    std::vector<std::pair<int, int>> pairs;
    if (py::isinstance<py::str>(value) || !py::isinstance<py::iterable>(value))
        Refuse(argument, "a list of (from, to) pairs is needed");
    for (py::handle item : value) {
        if (singles && !py::isinstance<py::iterable>(item)) {
            const int w = IntOf(item, argument, "a wavelength");
            pairs.emplace_back(w, w);
            continue;
        }
        const py::sequence pair = py::reinterpret_borrow<py::object>(item);
        if (!py::isinstance<py::sequence>(item) || py::len(pair) != 2)
            Refuse(argument, "each item must be a (from, to) pair, not " +
                                 py::repr(item).cast<std::string>());
        pairs.emplace_back(IntOf(pair[0], argument, "a wavelength"),
                           IntOf(pair[1], argument, "a wavelength"));
    }
    return pairs;
}

py::object Item(const py::dict& d, const char* key) {
    return d.contains(key) ? py::reinterpret_borrow<py::object>(d[key]) : py::object(py::none());
}

void RequireKeys(const py::dict& d, const char* argument, std::vector<std::string> known) {
    for (auto item : d) {
        const std::string key = py::str(item.first).cast<std::string>();
        if (std::find(known.begin(), known.end(), key) == known.end()) {
            std::string list;
            for (const std::string& k : known) list += (list.empty() ? "" : ", ") + k;
            Refuse(argument, "unknown key \"" + key + "\"; the keys are " + list);
        }
    }
}

void SetFilter(py::handle value, ChainSpec& spec) {
    if (value.is_none()) return;
    for (const auto& [lower, upper] : PairsOf(value, "filter", true)) {
        if (lower > upper || lower < kFirstWavelength || upper > kGridEdge)
            Refuse("filter", "the range " + std::to_string(lower) + "-" + std::to_string(upper) +
                                 " nm does not lie within 350 to 2500 nm from low to high");
        Checked("filter", [&] {
            if (lower == upper)
                spec.study_filter.AddBand(lower);
            else
                spec.study_filter.AddRange(lower, upper);
            return 0;
        });
    }
}

void SetSmoothing(py::handle value, ChainSpec& spec) {
    if (value.is_none()) return;
    py::object type = py::reinterpret_borrow<py::object>(value);
    py::object window = py::none(), order = py::none();
    if (py::isinstance<py::dict>(value)) {
        const py::dict d = py::reinterpret_borrow<py::dict>(value);
        RequireKeys(d, "smoothing", {"type", "window", "order"});
        type = Item(d, "type");
        window = Item(d, "window");
        order = Item(d, "order");
    }
    spec.smoothing.type =
        Checked("smoothing", [&] { return ParseSmoothingType(WordOf(type, "smoothing")); });
    if (!window.is_none()) spec.smoothing.size = IntOf(window, "smoothing", "the window");
    if (!order.is_none()) spec.smoothing.polynomial_order = IntOf(order, "smoothing", "the order");
    if (IsSavitzkyGolay(spec.smoothing.type))
        Checked("smoothing", [&] {
            if (spec.smoothing.size < 1 || spec.smoothing.size % 2 == 0)
                throw OrvaneError("the window must be an odd number of bands, not " +
                                  std::to_string(spec.smoothing.size));
            return SavitzkyGolayKernel::ForSmoothing(spec.smoothing.size,
                                                     spec.smoothing.polynomial_order);
        });
}

void SetDerivative(py::handle value, ChainSpec& spec) {
    if (value.is_none()) return;
    py::object order = py::reinterpret_borrow<py::object>(value);
    py::object method = py::none(), window = py::none(), polynomial = py::none();
    if (py::isinstance<py::dict>(value)) {
        const py::dict d = py::reinterpret_borrow<py::dict>(value);
        RequireKeys(d, "derivative", {"order", "method", "window", "polynomial_order"});
        order = Item(d, "order");
        method = Item(d, "method");
        window = Item(d, "window");
        polynomial = Item(d, "polynomial_order");
    }
    const int n = IntOf(order, "derivative", "the order");
    if (n < 0 || n > kMaxDerivativeOrder)
        Refuse("derivative", "the order must lie between 0 and " +
                                 std::to_string(kMaxDerivativeOrder) + ", not " +
                                 std::to_string(n));
    spec.derivative = DefaultDerivative(n);
    if (!method.is_none())
        spec.derivative.method =
            Checked("derivative", [&] { return ParseDerivativeMethod(WordOf(method, "derivative")); });
    if (!window.is_none()) spec.derivative.size = IntOf(window, "derivative", "the window");
    if (!polynomial.is_none())
        spec.derivative.polynomial_order =
            IntOf(polynomial, "derivative", "the polynomial order");
    if (n >= 1 && spec.derivative.method == kDerivativeSavGol)
        Checked("derivative", [&] {
            return SavitzkyGolayKernel::ForDerivative(spec.derivative.size,
                                                      spec.derivative.polynomial_order, n);
        });
}

// An optional stage: a mode word, or its pairs (which switch it on).
void SetStage(py::handle value, Stage stage, const char* argument, ChainSpec& spec) {
    if (value.is_none()) return;
    const StageOption& option = *Declaration(stage).option;
    StageSetting& setting = spec.stages[static_cast<std::size_t>(stage)];
    if (py::isinstance<py::str>(value)) {
        setting.mode =
            Checked(argument, [&] { return ParseStageMode(option, value.cast<std::string>()); });
        return;
    }
    setting.pairs = PairsOf(value, argument, false);
    Checked(argument, [&] {
        option.check_pairs(setting.pairs);
        return 0;
    });
    setting.mode = 1;
}

std::shared_ptr<const FeatureSpace> FeatureSpaceOf(py::handle value, const orvane::Sensor* sensor) {
    py::object type, definition;
    if (py::isinstance<py::dict>(value)) {
        const py::dict d = py::reinterpret_borrow<py::dict>(value);
        RequireKeys(d, "feature_space", {"type", "ranges", "projection"});
        type = Item(d, "type");
        definition = d.contains("projection") ? Item(d, "projection") : Item(d, "ranges");
    } else if (py::isinstance<py::tuple>(value) && py::len(value) == 2) {
        const py::tuple t = py::reinterpret_borrow<py::tuple>(value);
        type = t[0];
        definition = t[1];
    } else {
        Refuse("feature_space", "a (type, ranges) pair or a dict is needed, such as "
                                "(\"NTBI\", [(660, 860)])");
    }
    const int kind = Checked("feature_space", [&] {
        return ParseFeatureSpaceType(WordOf(type, "feature_space"));
    });
    if (!sensor) Refuse("feature_space", "a feature space lies on a sensor's bands; give sensor=");
    auto fs = std::make_shared<FeatureSpace>();
    if (kind == kFeaturePCT) {
        Rows rows(definition, "feature_space", 2, 2);
        rows.RequireFinite(false);
        Matrix projection(static_cast<int>(rows.Count()), static_cast<int>(rows.Columns()));
        std::vector<double> scratch(static_cast<std::size_t>(rows.Columns()));
        for (py::ssize_t i = 0; i < rows.Count(); ++i) {
            const double* v = rows.Row(i, scratch.data());
            for (py::ssize_t k = 0; k < rows.Columns(); ++k)
                projection(static_cast<int>(i) + 1, static_cast<int>(k) + 1) = v[k];
        }
        if (projection.Nrows() < 1) Refuse("feature_space", "the projection has no rows");
        fs->DefineProjection(projection);
        return fs;
    }
    const std::vector<std::pair<int, int>> pairs = PairsOf(definition, "feature_space", false);
    if (pairs.empty() || static_cast<int>(pairs.size()) > FeatureSpace::kMaxRanges)
        Refuse("feature_space", "1 to " + std::to_string(FeatureSpace::kMaxRanges) +
                                    " ranges are needed, not " + std::to_string(pairs.size()));
    std::vector<FeatureSpace::BandRange> ranges(pairs.size());
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        ranges[i].wavelength1 = pairs[i].first;
        ranges[i].wavelength2 = pairs[i].second;
    }
    fs->Define(kind, static_cast<int>(ranges.size()), ranges);
    fs->MapToSensor(*sensor);
    return fs;
}

std::shared_ptr<PyChain> MakeChain(py::handle filter, py::handle smoothing, py::handle derivative,
                                   py::handle splice, py::handle continuum, py::handle sensor,
                                   py::handle feature_space) {
    ChainSpec spec;
    std::size_t slots = 0;
    for (const StageDeclaration& s : Stages()) slots = std::max(slots, static_cast<std::size_t>(s.id) + 1);
    spec.stages.resize(slots);
    spec.stage_option_ids.assign(slots, 0);
    SetFilter(filter, spec);
    SetSmoothing(smoothing, spec);
    SetDerivative(derivative, spec);
    SetStage(splice, Stage::kSpliced, "splice", spec);
    SetStage(continuum, Stage::kContinuumRemoved, "continuum", spec);
    if (!sensor.is_none()) spec.sensor = SensorArgument(sensor, "sensor");
    if (!feature_space.is_none()) spec.feature_space = FeatureSpaceOf(feature_space, spec.sensor.get());
    auto chain = std::make_shared<PyChain>();
    chain->compiled = CompiledChain::Compile(spec);
    if (spec.feature_space && spec.feature_space->Type() == kFeaturePCT) {
        const int bands = static_cast<int>(Chain(chain->compiled).DerivedBands().size());
        if (spec.feature_space->Transform().Ncols() != bands)
            Refuse("feature_space", "the projection has " +
                                        std::to_string(spec.feature_space->Transform().Ncols()) +
                                        " columns, but the chain's derived stage has " +
                                        std::to_string(bands) + " bands");
    }
    return chain;
}

std::string Describe(const PyChain& chain) {
    const ChainSpec& spec = chain.compiled->Settings();
    std::string text = "<orvane.Chain";
    text += spec.study_filter.Count() ? ", filter of " + std::to_string(spec.study_filter.Count()) + " ranges" : "";
    text += spec.smoothing.type ? ", smoothing " + std::string(kSmoothingTypes.Of(static_cast<SmoothingType>(spec.smoothing.type))->word) +
                                      " (" + std::to_string(spec.smoothing.size) + ", " + std::to_string(spec.smoothing.polynomial_order) + ")"
                                : "";
    for (int id : {static_cast<int>(Stage::kSpliced), static_cast<int>(Stage::kContinuumRemoved)})
        if (spec.Setting(static_cast<Stage>(id)).mode)
            text += ", " + std::string(Declaration(static_cast<Stage>(id)).word) + " " +
                    DescribeStageOption(spec, id);
    if (spec.sensor) text += ", sensor \"" + spec.sensor->Name() + "\"";
    if (spec.derivative.order) text += ", derivative of order " + std::to_string(spec.derivative.order);
    if (spec.feature_space)
        text += ", " + std::string(kFeatureTypes.Of(static_cast<FeatureType>(spec.feature_space->Type()))->word) +
                " feature space of " + std::to_string(StageWidth(*chain.compiled, std::nullopt)) + " features";
    return text + ">";
}

}  // namespace

void BindChain(py::module_& m) {
    py::class_<PyChain, std::shared_ptr<PyChain>>(m, "Chain", R"doc(
The processing chain as a value: every stage a study's spectra go through, made of plain
arguments, without a database.

Stages, in order: raw, spliced, filtered, smoothed, continuum-removed, synth (the sensor's
bands), synth-interpolated (back on the 1 nm grid), derived, features.

filter       excluded wavelengths: a list of (lower, upper) ranges or single wavelengths (nm).
smoothing    "none", "sg-mw" (Savitzky-Golay, moving window) or "sg-fft", or a dict
             {"type": ..., "window": 31, "order": 4}.
derivative   its order (0 to 30), or a dict {"order": 1, "method": "iterative" | "savgol",
             "window": 5, "polynomial_order": 4}; the window and polynomial order default to
             max(4, order) + 1 and max(4, order), as in a new study.
splice       "off" or "additive", or a list of joins (a, b), which switches it on; the default
             joins are (1000, 1001) and (1800, 1801).
continuum    "off" or "on", or a list of (from, to) ranges, which switches it on.
sensor       a Sensor or the name of a shipped one (orvane.sensors()).
feature_space  ("DI", [(from, to), ...]) ranges, ("NTBI", [(band1, band2), ...]) pairs, or
             ("PCT", projection) with the projection's rows the components over the derived
             stage's bands (orvane.pca). Needs a sensor.

Settings the core cannot compute with raise ValueError naming the argument.
)doc")
        .def(py::init(&MakeChain), py::kw_only(), py::arg("filter") = py::none(),
             py::arg("smoothing") = py::none(), py::arg("derivative") = py::none(),
             py::arg("splice") = py::none(), py::arg("continuum") = py::none(),
             py::arg("sensor") = py::none(), py::arg("feature_space") = py::none())
        .def(
            "run",
            [](const PyChain& chain, py::handle values, const std::string& stage,
               const std::string& on) {
                const std::optional<Stage> s = StageOfWord(stage, "stage");
                Rows rows(values, "values", 1, 3);
                const InputAxis axis = AxisOf(*chain.compiled, rows, on);
                if (!s && !chain.compiled->Features())
                    Refuse("stage", "the chain has no feature space; give feature_space=");
                if (s && NeedsSensor(*s) && !chain.compiled->Synthesis())
                    Refuse("stage", "the " + stage + " stage needs a sensor; give sensor=");
                if (axis == InputAxis::kSensorBands && s && !OnSensorAxis(*s) &&
                    *s != Stage::kInterpolated)
                    Refuse("stage", "values on the sensor's bands enter the chain at the synth "
                                    "stage; \"" + stage + "\" lies before it");
                return RunRows(chain.compiled, rows, axis, s);
            },
            py::arg("values"), py::arg("stage") = "features", py::arg("on") = "auto",
            R"doc(Run spectra through the chain up to a stage.

values: 1-D (one spectrum), 2-D (one per row) or 3-D (an image cube, height x width x
bands), either on the 1 nm grid from 350 to 2499 nm or on the sensor's bands (as image pixels
are, entering at the synth stage); on="grid" or "sensor" says which where the count cannot.
NaN marks a band without value. Returns float64 of the same shape but the last axis, which
holds the stage's values (2150 on the grid, one per sensor band, one per feature), NaN where
the stage has none. Float64 input in C order is read without a copy; the GIL is released
while Orvane's threads run.)doc")
        .def_property_readonly(
            "derived_bands",
            [](const PyChain& chain) {
                std::vector<int> positions;
                if (!chain.compiled->Synthesis()) return positions;
                const int first = chain.compiled->Synthesis()->First();
                for (int k : Chain(chain.compiled).DerivedBands()) positions.push_back(k - first);
                return positions;
            },
            "The positions (from 0) of the sensor's bands at which the derived stage has a value "
            "for a complete spectrum: the bands a PCT projection runs over.")
        .def_property_readonly(
            "dimension",
            [](const PyChain& chain) { return StageWidth(*chain.compiled, std::nullopt); },
            "The number of features (0 without a feature space).")
        .def_property_readonly(
            "sensor",
            [](const PyChain& chain) -> py::object {
                if (!chain.compiled->Settings().sensor) return py::none();
                return py::cast(std::make_shared<PySensor>(chain.compiled->Settings().sensor));
            })
        .def("__repr__", &Describe);
}

}  // namespace orvane::python
