// SPDX-License-Identifier: GPL-3.0-or-later
// Classifiers fitted from feature arrays, their validation, separability, principal components
// and unmixing: the core's functions of feature matrices and class labels.
#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "arrays.h"
#include "base/orvane_error.h"
#include "base/parallel.h"
#include "bindings.h"
#include "chain.h"
#include "chain/classifiers.h"
#include "chain/feature_space.h"
#include "chain/processing_chain.h"
#include "chain/sensor_synthesis.h"
#include "imagery/pixel_rule.h"
#include "running.h"
#include "spectra/spectrum.h"
#include "stats/class_models.h"
#include "stats/cross_validation.h"
#include "stats/discriminant_analysis.h"
#include "stats/library_statistics.h"
#include "stats/linear_unmixing.h"
#include "stats/principal_components.h"
#include "stats/separability.h"
#include "statistics.h"

namespace orvane::python {

namespace {

constexpr py::ssize_t kRowsPerTask = 256;

// The rows as a d x n matrix of columns (Newmat's layout for the core's statistics).
Matrix ColumnsOf(const Rows& rows) {
    Matrix m(static_cast<int>(rows.Columns()), static_cast<int>(rows.Count()));
    std::vector<double> scratch(static_cast<std::size_t>(rows.Columns()));
    for (py::ssize_t i = 0; i < rows.Count(); ++i) {
        const double* v = rows.Row(i, scratch.data());
        for (py::ssize_t k = 0; k < rows.Columns(); ++k)
            m(static_cast<int>(k) + 1, static_cast<int>(i) + 1) = v[k];
    }
    return m;
}

// Class codes 0..count-1, one per row.
std::vector<int> CodesOf(py::array_t<long long, py::array::c_style | py::array::forcecast> codes,
                         py::ssize_t rows, int count) {
    if (codes.ndim() != 1 || codes.shape(0) != rows)
        Refuse("y", "one label per row of X is needed (" + std::to_string(rows) + "), not " +
                        std::to_string(codes.ndim() == 1 ? codes.shape(0) : codes.size()));
    std::vector<int> out(static_cast<std::size_t>(rows));
    for (py::ssize_t i = 0; i < rows; ++i) {
        const long long c = codes.at(i);
        if (c < 0 || c >= count) Refuse("y", "a class code out of range");
        out[static_cast<std::size_t>(i)] = static_cast<int>(c);
    }
    return out;
}

Classifier ClassifierOf(const std::string& word) {
    try {
        return ParseClassifier(word);
    } catch (const OrvaneError& e) {
        Refuse("classifier", e.what());
    }
}

// The features of X, checked: finite everywhere and two classes or more.
Rows CheckedFeatures(py::handle x, int class_count) {
    Rows rows(x, "X", 2, 2);
    if (rows.Count() < 1 || rows.Columns() < 1) Refuse("X", "no spectra or no features");
    {
        py::gil_scoped_release release;
        rows.RequireFinite(false);
    }
    if (class_count < 2) Refuse("y", "at least two classes are needed");
    return rows;
}

// Each class's rows as its own d x n_c matrix, in row order.
std::vector<Matrix> ClassColumns(const Rows& rows, const std::vector<int>& codes, int count) {
    const Matrix all = ColumnsOf(rows);
    std::vector<std::vector<int>> members(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < codes.size(); ++i)
        members[static_cast<std::size_t>(codes[i])].push_back(static_cast<int>(i) + 1);
    std::vector<Matrix> classes;
    for (const std::vector<int>& m : members) {
        if (m.empty()) Refuse("y", "every class needs a spectrum");
        Matrix c(all.Nrows(), static_cast<int>(m.size()));
        for (std::size_t j = 0; j < m.size(); ++j) c.Column(static_cast<int>(j) + 1) = all.Column(m[j]);
        classes.push_back(c);
    }
    return classes;
}

py::array_t<double> ToArray(const Matrix& m) {
    py::array_t<double> out({static_cast<py::ssize_t>(m.Nrows()), static_cast<py::ssize_t>(m.Ncols())});
    double* o = out.mutable_data();
    for (int r = 1; r <= m.Nrows(); ++r)
        for (int c = 1; c <= m.Ncols(); ++c) *o++ = m(r, c);
    return out;
}

}  // namespace

PyModels::PyModels(ClassModels fitted, std::shared_ptr<const CompiledChain> chain_in)
    : models(std::make_unique<ClassModels>(std::move(fitted))), chain(std::move(chain_in)) {}

// Where a row of X lies for a library: its features, or, with a chain, the grid or the
// chain's sensor bands.
Feed PyModels::FeedOf(const Rows& rows, const std::string& on) const {
    const py::ssize_t d = models->Dimension();
    if (on == "features" || (on == "auto" && (!chain || rows.Columns() == d))) {
        rows.RequireColumns(d, "the library's features");
        return Feed::kFeatures;
    }
    if (!chain) Refuse("on", "\"" + on + "\" needs a library with a chain; fit it with chain=");
    return AxisOf(*chain, rows, on) == InputAxis::kGrid ? Feed::kGrid : Feed::kSensorBands;
}

void PyModels::ForEachFeatureRow(const Rows& rows, Feed feed, bool strict,
                                 const std::function<void(py::ssize_t, const double*, int)>& body,
                                 int workers) const {
    const py::ssize_t n = rows.Count();
    const std::size_t tasks = static_cast<std::size_t>((n + kRowsPerTask - 1) / kRowsPerTask);
    std::unique_ptr<ChainTeam> team;
    if (feed != Feed::kFeatures) {
        team = std::make_unique<ChainTeam>(chain);
        team->Prepare(workers);
    }
    std::vector<std::vector<double>> scratch(static_cast<std::size_t>(workers),
                                             std::vector<double>(static_cast<std::size_t>(rows.Columns())));
    const int d = models->Dimension();
    ParallelFor(tasks, [&](std::size_t task, int worker) {
        if (worker >= workers)
            throw OrvaneError("The number of threads changed while the call ran; run it again.");
        double* buffer = scratch[static_cast<std::size_t>(worker)].data();
        const py::ssize_t first = static_cast<py::ssize_t>(task) * kRowsPerTask;
        const py::ssize_t last = std::min(n, first + kRowsPerTask);
        for (py::ssize_t i = first; i < last; ++i) {
            const double* v = rows.Row(i, buffer);
            const double* x = v;
            if (feed == Feed::kGrid) {
                x = team->For(worker).FeaturesFromGrid(v).Store();
            } else if (feed == Feed::kSensorBands) {
                x = team->For(worker).FeaturesFromSensorBands(v, static_cast<int>(rows.Columns())).Store();
            }
            bool finite = true;
            for (int k = 0; k < d; ++k) finite &= std::isfinite(x[k]);
            if (!finite && strict) {
                const std::string where = feed == Feed::kFeatures ? "" : "the features of ";
                Refuse(rows.Name(), where + "row " + std::to_string(i) +
                                        " hold NaN or infinity; every row needs a finite value "
                                        "at every feature");
            }
            body(i, finite ? x : nullptr, worker);
        }
    });
}

int PyModels::Workers(py::ssize_t n) const {
    return WorkersFor(static_cast<std::size_t>((n + kRowsPerTask - 1) / kRowsPerTask));
}

py::array_t<double> PyModels::Values(py::handle x, const std::string& on) const {
    Rows rows(x, "X", 2, 2);
    const Feed feed = FeedOf(rows, on);
    const int k = models->Count();
    py::array_t<double> out({rows.Count(), static_cast<py::ssize_t>(k)});
    double* o = out.mutable_data();
    py::gil_scoped_release release;
    ForEachFeatureRow(rows, feed, true, [&](py::ssize_t i, const double* f, int) {
        models->Values(f, o + i * k);
    }, Workers(rows.Count()));
    return out;
}

py::array Classes(const PyModels& library, py::handle x, const std::string& on,
                  const std::string& threshold) {
    Rows rows(x, "X", 2, 3);
    const Feed feed = library.FeedOf(rows, on);
    MapThreshold limit;
    try {
        limit = MapThreshold::Parse(threshold);
    } catch (const OrvaneError& e) {
        Refuse("threshold", e.what());
    }
    std::unique_ptr<PixelRule> rule;
    try {
        rule = std::make_unique<PixelRule>(*library.models, limit);
    } catch (const OrvaneError& e) {
        Refuse("threshold", e.what());
    }
    // A cube's pixels without values are left unclassified; a row of a table is refused.
    const bool strict = rows.Dims() == 2;
    std::vector<py::ssize_t> shape = {rows.Count()};
    if (rows.Dims() == 3) shape = {rows.Height(), rows.Width()};
    py::array_t<int> out(shape);
    int* o = out.mutable_data();
    const int workers = library.Workers(rows.Count());
    std::vector<std::vector<double>> scratch(static_cast<std::size_t>(workers),
                                             std::vector<double>(static_cast<std::size_t>(library.models->Count())));
    py::gil_scoped_release release;
    library.ForEachFeatureRow(rows, feed, strict, [&](py::ssize_t i, const double* f, int worker) {
        o[i] = f ? rule->Decide(f, scratch[static_cast<std::size_t>(worker)].data(), nullptr) : 0;
    }, workers);
    return std::move(out);
}

void BindStatistics(py::module_& m) {
    py::class_<PyModels, std::shared_ptr<PyModels>>(m, "_Models")
        .def_property_readonly("dimension", [](const PyModels& l) { return l.models->Dimension(); })
        .def_property_readonly("classifier", [](const PyModels& l) {
            return std::string(ClassifierEntryOf(l.models->Kind()).word);
        })
        .def_property_readonly("problems", [](const PyModels& l) {
            std::vector<std::string> problems;
            for (int c = 0; c < l.models->Count(); ++c) problems.push_back(l.models->Problem(c));
            return problems;
        })
        .def_property_readonly("chain", [](const PyModels& l) -> py::object {
            if (!l.chain) return py::none();
            return py::cast(std::make_shared<PyChain>(PyChain{l.chain}));
        })
        .def("values", &PyModels::Values, py::arg("X"), py::arg("on") = "auto")
        .def("classes", &Classes, py::arg("X"), py::arg("on") = "auto",
             py::arg("threshold") = "none");

    m.def(
        "_fit",
        [](py::handle x, py::handle codes, int count, const std::string& classifier,
           py::handle chain) {
            const Classifier kind = ClassifierOf(classifier);
            std::shared_ptr<const CompiledChain> compiled;
            if (!chain.is_none()) {
                compiled = chain.cast<const PyChain&>().compiled;
                if (!compiled->Features())
                    Refuse("chain", "the chain has no feature space; give it feature_space=");
            }
            const Rows rows = CheckedFeatures(x, count);
            if (compiled)
                rows.RequireColumns(StageWidth(*compiled, std::nullopt), "the chain's features");
            const std::vector<int> labels = CodesOf(py::reinterpret_borrow<py::object>(codes), rows.Count(), count);
            py::gil_scoped_release release;
            std::vector<ClassStatistics> statistics = LibraryStatistics(ColumnsOf(rows), labels, count);
            return std::make_shared<PyModels>(ClassModels(kind, std::move(statistics)), compiled);
        },
        py::arg("X"), py::arg("codes"), py::arg("count"), py::arg("classifier"), py::arg("chain"));

    m.def(
        "_cross_validate",
        [](py::handle x, py::handle codes, int count, const std::string& classifier,
           const std::string& validate, const std::vector<std::string>& names) {
            const Classifier kind = ClassifierOf(classifier);
            Validation validation;
            try {
                validation = ParseValidation(validate);
            } catch (const OrvaneError& e) {
                Refuse("validate", e.what());
            }
            const Rows rows = CheckedFeatures(x, count);
            const std::vector<int> labels = CodesOf(py::reinterpret_borrow<py::object>(codes), rows.Count(), count);
            const std::vector<Matrix> classes = ClassColumns(rows, labels, count);
            std::vector<int> sizes;
            for (const Matrix& c : classes) sizes.push_back(c.Ncols());
            try {
                RequireFoldsFit(validation, sizes, names);
            } catch (const OrvaneError& e) {
                Refuse("validate", e.what());
            }
            ValidationCounts counts;
            double accuracy = 0.0, kappa = 0.0;
            {
                py::gil_scoped_release release;
                counts = CrossValidate(kind, classes, validation);
                accuracy = OverallAccuracy(counts.counts, count);
                kappa = CohensKappa(counts.counts, count);
            }
            return py::make_tuple(ToArray(counts.counts.SubMatrix(1, count, 1, count)), accuracy,
                                  kappa, counts.unmodelled_sets, validation.Name());
        },
        py::arg("X"), py::arg("codes"), py::arg("count"), py::arg("classifier"),
        py::arg("validate"), py::arg("names"));

    m.def(
        "_separability",
        [](py::handle x, py::handle codes, int count) {
            const Rows rows = CheckedFeatures(x, count);
            const std::vector<int> labels = CodesOf(py::reinterpret_borrow<py::object>(codes), rows.Count(), count);
            Matrix b;
            std::vector<std::string> problems;
            {
                py::gil_scoped_release release;
                const std::vector<ClassStatistics> statistics =
                    LibraryStatistics(ColumnsOf(rows), labels, count);
                b = PairwiseBhattacharyya(statistics);
                for (const ClassStatistics& s : statistics)
                    problems.push_back(CovarianceProblem(s.cov, s.n));
            }
            Matrix jm = b;
            for (int i = 1; i <= count; ++i)
                for (int j = 1; j <= count; ++j)
                    jm(i, j) = std::isnan(b(i, j)) ? b(i, j) : JeffriesMatusita(b(i, j));
            return py::make_tuple(ToArray(jm), ToArray(b), problems);
        },
        py::arg("X"), py::arg("codes"), py::arg("count"));

    m.def(
        "_pca",
        [](py::handle x) {
            Rows rows(x, "X", 2, 2);
            if (rows.Count() < 2)
                Refuse("X", "the covariance needs two spectra or more, not " +
                                std::to_string(rows.Count()));
            {
                py::gil_scoped_release release;
                rows.RequireFinite(false);
            }
            PcaDecomposition pca;
            {
                py::gil_scoped_release release;
                pca = DecomposeCovariance(ColumnsOf(rows));
            }
            return py::make_tuple(pca.eigenvalues, ToArray(pca.components));
        },
        py::arg("X"));

    m.def(
        "_unmix",
        [](py::handle endmembers, py::handle x) {
            Rows e(endmembers, "endmembers", 2, 2);
            Rows y(x, "X", 1, 2);
            y.RequireColumns(e.Columns(), "one per band of the endmembers");
            {
                py::gil_scoped_release release;
                e.RequireFinite(false);
                y.RequireFinite(false);
            }
            LeastSquaresFractions result;
            {
                py::gil_scoped_release release;
                try {
                    result = UnmixLeastSquares(ColumnsOf(e), ColumnsOf(y));
                } catch (const OrvaneError& error) {
                    // Only the endmembers decide whether E has full column rank.
                    Refuse("endmembers", error.what());
                }
            }
            return py::make_tuple(ToArray(result.fractions.t()), result.rmse);
        },
        py::arg("endmembers"), py::arg("X"));
}

}  // namespace orvane::python
