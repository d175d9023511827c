// SPDX-License-Identifier: GPL-3.0-or-later
// A study database, read only: its studies, their stored spectra at any stage of a chain and
// their built libraries, through the session, loader and library the programs use.
#include "store/database.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "arrays.h"
#include "base/band_grid.h"
#include "base/config_file.h"
#include "base/orvane_error.h"
#include "bindings.h"
#include "chain/chain_description.h"
#include "chain/chain_options.h"
#include "chain/chain_stage.h"
#include "chain/feature_space.h"
#include "chain/processing_chain.h"
#include "chain/processing_session.h"
#include "chain/sensor_synthesis.h"
#include "running.h"
#include "spectra/spectrum.h"
#include "statistics.h"
#include "stats/spectral_statistics.h"
#include "store/study_repository.h"
#include "study/study_loader.h"

namespace orvane::python {

namespace {

// The choices a call makes, as orvane-cli's chain options; what is not given is the
// command line's default (no smoothing, no derivative, the optional stages off).
struct Choices {
    std::string study;
    std::optional<std::string> sensor;
    std::string smoothing = "none";
    int derivative = 0;
    std::string splice = "off";
    std::string continuum = "off";
    std::optional<std::string> feature_space;
    std::optional<std::string> feature_type;
    std::optional<std::string> classifier;
};

std::string NameOrId(py::handle value, const char* argument) {
    if (py::isinstance<py::str>(value)) return value.cast<std::string>();
    if (py::isinstance<py::int_>(value) && !py::isinstance<py::bool_>(value))
        return std::to_string(value.cast<long long>());
    Refuse(argument, "a name or an id is needed, not " + py::repr(value).cast<std::string>());
}

class PyDatabase {
  public:
    explicit PyDatabase(const std::string& config_path) {
        ConfigFile config(config_path);
        config.Open();
        auto db = std::make_unique<Database>(config.Connection());
        // Nothing this client does may change the study database.
        db->SetReadOnly();
        session_ = std::make_unique<ProcessingSession>(std::move(db), &config);
        session_->SetReadOnly();
        loader_ = std::make_unique<StudyLoader>(*session_);
        library_ = std::make_unique<SpectralStatistics>(*session_, *loader_);
        session_->Db().Release();
        path_ = config_path;
    }

    ~PyDatabase() { Close(); }
    PyDatabase(const PyDatabase&) = delete;
    PyDatabase& operator=(const PyDatabase&) = delete;

    // Holds the connection for one call on the calling thread.
    class Use {
      public:
        explicit Use(PyDatabase& owner) : lock_(owner.mutex_), owner_(owner) {
            if (!owner.session_) throw OrvaneError("The database connection is closed.");
            owner.session_->Db().Adopt();
        }
        ~Use() {
            if (owner_.session_) owner_.session_->Db().Release();
        }

      private:
        std::lock_guard<std::mutex> lock_;
        PyDatabase& owner_;
    };

    void Close() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!session_) return;
        session_->Db().Adopt();
        library_.reset();
        loader_.reset();
        session_.reset();
    }

    // Makes the choices the session's, as the command line's options do.
    void Apply(const Choices& c) {
        ChainOptions options;
        options.study = c.study;
        options.sensor = c.sensor;
        options.smoothing_type =
            Checked("smoothing", [&] { return ParseSmoothingType(c.smoothing); });
        if (c.derivative < 0 || c.derivative > kMaxDerivativeOrder)
            Refuse("derivative",
                   "the order must lie between 0 and " + std::to_string(kMaxDerivativeOrder));
        options.derivative_order = c.derivative;
        for (const StageDeclaration* s : OptionalStages()) {
            const std::string& word = s->id == Stage::kSpliced ? c.splice : c.continuum;
            const char* argument = s->id == Stage::kSpliced ? "splice" : "continuum";
            options.stage_modes[s->id] =
                Checked(argument, [&] { return ParseStageMode(*s->option, word); });
        }
        if (c.feature_type)
            options.feature_space_type =
                Checked("feature_space", [&] { return ParseFeatureSpaceType(*c.feature_type); });
        options.feature_space = c.feature_space;
        if (c.classifier)
            options.classifier =
                Checked("classifier", [&] { return ParseClassifier(*c.classifier); });
        ApplyChainOptions(*session_, options);
        loader_->SetStudy(session_->StudyId());
        library_->SetStudy(session_->StudyId());
    }

    py::tuple Studies() {
        std::vector<int> ids;
        std::vector<std::string> names, paths;
        {
            py::gil_scoped_release release;
            Use use(*this);
            StudyRepository studies(session_->Db());
            std::vector<StudyName> all = studies.OtherStudies(0);
            std::sort(all.begin(), all.end(), [](const StudyName& a, const StudyName& b) {
                return a.study_id < b.study_id;
            });
            for (const StudyName& s : all) {
                ids.push_back(s.study_id);
                names.push_back(s.name);
                paths.push_back(studies.DataPath(s.study_id).value_or(""));
            }
        }
        return py::make_tuple(ids, names, paths);
    }

    py::tuple Spectra(const Choices& choices, const std::string& stage_word) {
        const std::optional<Stage> stage = StageOfWord(stage_word, "stage");
        std::vector<std::string> species;
        std::vector<int> sites, numbers;
        std::vector<double> columns;
        std::vector<double> values;
        std::string chain_text;
        int width = 0;
        {
            py::gil_scoped_release release;
            Use use(*this);
            Apply(choices);
            const std::shared_ptr<const CompiledChain> compiled = session_->Compiled();
            if (!stage && !compiled->Features())
                Refuse("feature_space", "the features need a feature space; give feature_space=");
            if ((!stage || NeedsSensor(*stage)) && !compiled->Synthesis())
                Refuse("sensor", "the " + stage_word + " stage needs a sensor; give sensor=");
            width = StageWidth(*compiled, stage);
            chain_text = DescribeChain(*session_, ChainParts{true, true, !stage, false, nullptr});
            std::vector<StoredSpectrum> rows =
                StudyRepository(session_->Db())
                    .Spectra(session_->StudyId(), std::nullopt, std::nullopt);
            rows.erase(std::remove_if(rows.begin(), rows.end(),
                                      [](const StoredSpectrum& s) { return s.disabled; }),
                       rows.end());
            std::map<int, std::size_t> position;
            std::vector<int> ids;
            for (std::size_t i = 0; i < rows.size(); ++i) {
                position[rows[i].spectrum_id] = i;
                ids.push_back(rows[i].spectrum_id);
                species.push_back(rows[i].species);
                sites.push_back(rows[i].site_no);
                numbers.push_back(rows[i].spectrum_no);
            }
            std::sort(ids.begin(), ids.end());
            values.assign(rows.size() * static_cast<std::size_t>(width), 0.0);
            Chain chain(compiled);
            const int type = compiled->Features() ? compiled->Features()->Type() : 0;
            bool axis_known = false;
            loader_->ForEachSpectrum(ids, [&](Spectrum& spectrum, const SpectrumRecord&) {
                double* out = values.data() + position.at(static_cast<int>(spectrum.spectrum_id_)) *
                                                  static_cast<std::size_t>(width);
                if (!stage) {
                    const Matrix& f = chain.Features(spectrum, type);
                    for (int r = 0; r < width; ++r) out[r] = f(r + 1, 1);
                    return;
                }
                const BandVector& v = chain.Run(spectrum, *stage);
                std::copy(v.Values(), v.Values() + width, out);
                if (!axis_known) columns.assign(v.Xs(), v.Xs() + width);
                axis_known = true;
            });
            if (!stage)
                for (int r = 1; r <= width; ++r) columns.push_back(r);
            else if (!axis_known)
                for (int k = 0; k < width; ++k)
                    columns.push_back(OnSensorAxis(*stage)
                                          ? compiled->SensorOf()->Element(k).avg_wavelength
                                          : kFirstWavelength + k);
        }
        py::array_t<double> array(
            {static_cast<py::ssize_t>(species.size()), static_cast<py::ssize_t>(width)});
        std::copy(values.begin(), values.end(), array.mutable_data());
        return py::make_tuple(array, species, sites, numbers, columns, chain_text);
    }

    py::tuple Library(const Choices& choices) {
        std::vector<std::string> names;
        std::shared_ptr<PyModels> models;
        {
            py::gil_scoped_release release;
            Use use(*this);
            Apply(choices);
            if (!session_->CurrentFeatureSpace())
                Refuse("feature_space", "no feature space of the chosen type fits the sensor");
            library_->PinChain(nullptr);
            library_->RequireReady();
            std::vector<ClassStatistics> statistics;
            for (int c = 0; c < library_->ClassCount(); ++c) {
                const LibraryClass& k = library_->Class(c);
                statistics.push_back({k.no_of_samples, k.mean, k.cov, k.shrinkage});
                names.push_back(k.folder_name);
            }
            models = std::make_shared<PyModels>(
                ClassModels(session_->ClassifierInUse(), std::move(statistics)),
                library_->CompiledInUse());
        }
        return py::make_tuple(models, names);
    }

    const std::string& Path() const { return path_; }

  private:
    template <class Check>
    static auto Checked(const char* argument, Check check) -> decltype(check()) {
        try {
            return check();
        } catch (const OrvaneError& e) {
            Refuse(argument, e.what());
        }
    }

    std::mutex mutex_;
    std::string path_;
    std::unique_ptr<ProcessingSession> session_;
    std::unique_ptr<StudyLoader> loader_;
    std::unique_ptr<SpectralStatistics> library_;
};

Choices ChoicesOf(py::handle study, py::handle sensor, py::handle smoothing, py::handle derivative,
                  py::handle splice, py::handle continuum, py::handle feature_space,
                  py::handle feature_type, py::handle classifier) {
    Choices c;
    c.study = NameOrId(study, "study");
    if (!sensor.is_none()) c.sensor = NameOrId(sensor, "sensor");
    const auto word = [](py::handle value, const char* argument, std::string fallback) {
        if (value.is_none()) return fallback;
        if (!py::isinstance<py::str>(value)) Refuse(argument, "a word is needed");
        return value.cast<std::string>();
    };
    c.smoothing = word(smoothing, "smoothing", "none");
    if (!derivative.is_none()) {
        if (!py::isinstance<py::int_>(derivative) || py::isinstance<py::bool_>(derivative))
            Refuse("derivative", "the order must be a whole number");
        c.derivative = derivative.cast<int>();
    }
    c.splice = word(splice, "splice", "off");
    c.continuum = word(continuum, "continuum", "off");
    if (!feature_space.is_none()) c.feature_space = NameOrId(feature_space, "feature_space");
    if (!feature_type.is_none()) c.feature_type = word(feature_type, "feature_type", "");
    if (!classifier.is_none()) c.classifier = word(classifier, "classifier", "");
    return c;
}

}  // namespace

void BindDatabase(py::module_& m) {
    py::class_<PyDatabase, std::shared_ptr<PyDatabase>>(m, "_Database")
        .def_property_readonly("config", &PyDatabase::Path)
        .def("studies", &PyDatabase::Studies)
        .def("close", &PyDatabase::Close)
        .def("spectra",
             [](PyDatabase& db, py::handle study, const std::string& stage, py::handle sensor,
                py::handle smoothing, py::handle derivative, py::handle splice,
                py::handle continuum, py::handle feature_space, py::handle feature_type) {
                 return db.Spectra(ChoicesOf(study, sensor, smoothing, derivative, splice,
                                             continuum, feature_space, feature_type, py::none()),
                                   stage);
             })
        .def("library",
             [](PyDatabase& db, py::handle study, py::handle sensor, py::handle feature_space,
                py::handle feature_type, py::handle classifier, py::handle smoothing,
                py::handle derivative, py::handle splice, py::handle continuum) {
                 return db.Library(ChoicesOf(study, sensor, smoothing, derivative, splice,
                                             continuum, feature_space, feature_type, classifier));
             });

    m.def(
        "_connect",
        [](py::handle config) {
            std::string path;
            if (config.is_none()) {
                path = ConfigFile::Locate();
                if (path.empty()) throw OrvaneError(ConfigFile::NotFoundMessage());
            } else {
                path = PathArgument(config, "config");
            }
            py::gil_scoped_release release;
            return std::make_shared<PyDatabase>(path);
        },
        py::arg("config"));
}

}  // namespace orvane::python
