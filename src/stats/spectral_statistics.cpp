// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/spectral_statistics.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <fmt/format.h>

#include "base/frontend.h"
#include "chain/processing_chain.h"
#include "chain/processing_session.h"
#include "chain/feature_space.h"
#include "spectra/species.h"
#include "spectra/species_names.h"
#include "study/study_loader.h"
#include "base/matrix_errors.h"
#include "base/matrix_stats.h"
#include "store/array_codec.h"
#include "store/database.h"
#include "store/study_lock.h"

namespace orvane {

SingularCovarianceError::SingularCovarianceError()
    : OrvaneError(
          "Error:\nClassification is not possible because of a singular covariance matrix.\nThe "
          "chosen feature space may not be suitable for the data of this study.") {}

namespace {

constexpr const char* kMatrixFailed = "Matrix computation failed: ";

// The classes of a stored library in folder-name order, with their decoded statistics.
std::vector<LibraryClass> ReadLibraryClasses(Database& db, int library_id, int dimension) {
    std::vector<LibraryClass> loaded;
    std::vector<int> statistic_ids;
    {
        ResultSet rows = db.Query(
            Sql("SELECT statistic_id, common_name, latin_name, maori_name, folder_name, "
                "sp.species_id, no_of_samples from statistic st, species sp WHERE st.library_id "
                "= %i AND st.species_id = sp.species_id ORDER BY folder_name",
                library_id));
        while (rows.Next()) {
            LibraryClass c;
            statistic_ids.push_back(rows.Int(0));
            if (!rows.IsNull(1)) c.common_name = rows.String(1);
            if (!rows.IsNull(2)) c.latin_name = rows.String(2);
            if (!rows.IsNull(3)) c.maori_name = rows.String(3);
            c.folder_name = rows.String(4);
            c.species_id = rows.Int(5);
            c.no_of_samples = rows.Int(6);
            c.index = static_cast<int>(loaded.size());
            c.dimension = dimension;
            c.mean.ReSize(dimension, 1);
            c.cov.ReSize(dimension, dimension);
            c.score.ReSize(1, 1);
            c.score = 0.0;
            loaded.push_back(std::move(c));
        }
    }
    for (size_t i = 0; i < loaded.size(); ++i) {
        ResultSet rows = db.Query(
            Sql("SELECT mean, cov FROM statistic where statistic_id = %i", statistic_ids[i]));
        const std::string what = "the statistics of species " + loaded[i].folder_name;
        while (rows.Next()) {
            DecodeMatrix(rows.String(0), loaded[i].mean, "mean of " + what);
            DecodeMatrix(rows.String(1), loaded[i].cov, "covariance of " + what);
        }
        // The binary protocol keeps every bit of the intensity.
        Statement shrinkage(db, "SELECT shrinkage FROM statistic WHERE statistic_id = ?");
        shrinkage.BindIntParams({statistic_ids[i]});
        double value = 0.0;
        shrinkage.BindResultDouble(0, &value);
        shrinkage.Execute();
        if (shrinkage.Fetch() && !shrinkage.IsNull(0)) loaded[i].shrinkage = value;
    }
    return loaded;
}

// The library row of the current chain settings, created or stamped with a new build date.
int StoreLibraryRow(ProcessingSession& session, const FeatureSpace& fs) {
    Database& db = session.Db();
    int library_id = 0;
    const std::string find =
        Sql("select library_id from library l where l.feature_space_id = %i and "
            "l.smoothing_filter_id = %i and l.derivative_id = %i and l.sensor_id = %i and "
            "l.study_id = %i",
            fs.Id(), session.SmoothingFilterId(), session.DerivativeId(),
            session.CurrentSensor()->SensorId(), session.StudyId());
    if (!db.QueryInt(find, library_id)) {
        db.Execute(Sql("INSERT into library (feature_space_id, study_id, smoothing_filter_id, "
                       "derivative_id, sensor_id, waveband_filter_id, build_date) VALUES (%i, "
                       "%i, %i, %i, %i, %i, CURRENT_TIMESTAMP(6))",
                       fs.Id(), session.StudyId(), session.SmoothingFilterId(),
                       session.DerivativeId(), session.CurrentSensor()->SensorId(),
                       session.WavebandFilterId()));
        return static_cast<int>(db.InsertId());
    }
    db.Execute(Sql("UPDATE library set build_date = CURRENT_TIMESTAMP(6) where library_id = %i",
                   library_id));
    return library_id;
}

// One species' mean and covariance of its features, stored in its statistic row of the
// library; returns the row's id and keeps the species' features in `x` (one column per
// spectrum) for the shrinkage intensities, which need every class first.
int StoreSpeciesStatistic(ProcessingSession& session, int library_id, int type, Species& species,
                          int species_id, Matrix& x) {
    Database& db = session.Db();
    const int n = species.MemberCount();
    Matrix mean;
    Matrix cov;
    WithMatrixErrors(kMatrixFailed, [&] {
        x = FeatureMatrix(session, species, type);
        mean = RowMeans(x);
        cov = CovarianceOfColumns(x);
    });
    const int statistic_id = static_cast<int>(db.FindOrInsert(
        Sql("SELECT statistic_id FROM statistic where library_id = %i and species_id = %i",
            library_id, species_id),
        Sql("INSERT into statistic (library_id, species_id, no_of_samples) VALUES (%i, %i, %i)",
            library_id, species_id, n)));
    // The pooled covariance weighs each class by this count: it must be the one the
    // statistics come from, also when the row is from an earlier build.
    db.Execute(
        Sql("UPDATE statistic SET no_of_samples = %i WHERE statistic_id = %i", n, statistic_id));
    const std::string mean_bytes = EncodeMatrix(mean);
    const std::string cov_bytes = EncodeMatrix(cov);
    db.WriteBlob(Sql("UPDATE statistic SET mean = ? WHERE statistic_id = %i", statistic_id),
                 mean_bytes.data(), mean_bytes.size());
    db.WriteBlob(Sql("UPDATE statistic SET cov = ? WHERE statistic_id = %i", statistic_id),
                 cov_bytes.data(), cov_bytes.size());
    return statistic_id;
}

// The Ledoit-Wolf intensities of the built classes in the standardisation of all their
// spectra, stored beside their statistics (NULL where there is none).
void StoreShrinkage(Database& db, const std::vector<int>& statistic_ids,
                    const std::vector<Matrix>& features) {
    std::vector<ClassStatistics> classes(features.size());
    std::vector<const Matrix*> pointers;
    for (const Matrix& x : features) pointers.push_back(&x);
    WithMatrixErrors(kMatrixFailed, [&] { SetLedoitWolfShrinkage(classes, pointers); });
    Statement update(db, "UPDATE statistic SET shrinkage = ? WHERE statistic_id = ?");
    for (size_t c = 0; c < classes.size(); ++c) {
        if (std::isfinite(classes[c].shrinkage))
            update.SetDouble(0, classes[c].shrinkage);
        else
            update.SetNull(0);
        update.SetInt(1, statistic_ids[c]);
        update.Execute();
    }
}

}  // namespace

SpectralStatistics::SpectralStatistics(ProcessingSession& session, StudyLoader& loader)
    : session_(session), loader_(loader) {}

SpectralStatistics::~SpectralStatistics() = default;

int SpectralStatistics::ClassIndexOf(const std::string& folder_name) const {
    for (const LibraryClass& c : classes_)
        if (c.folder_name == folder_name) return c.index;
    return -1;
}

bool SpectralStatistics::BuildLibrary(Frontend& frontend) {
    const FeatureSpace* fs = session_.CurrentFeatureSpace();
    if (!fs) return false;
    session_.RequireSensor();
    Database& db = session_.Db();
    const int study = session_.StudyId();
    cancelled_build_ = false;
    try {
        StudyLock lock(db, frontend, study);
        Transaction tx(db);
        const int library_id = StoreLibraryRow(session_, *fs);
        std::vector<int> species_ids;
        {
            ResultSet rows =
                db.Query(Sql("SELECT species_id FROM species WHERE study_id = %i", study));
            while (rows.Next()) species_ids.push_back(rows.Int(0));
        }
        ProgressScope progress(frontend, "Building Library", static_cast<int>(species_ids.size()));
        int qualified = 0;
        std::vector<int> statistic_ids;
        std::vector<Matrix> features;
        for (size_t i = 0; i < species_ids.size(); ++i) {
            if (frontend.Cancelled())
                throw Cancelled("cancelled; the previous library is unchanged");
            std::unique_ptr<Species> species = loader_.LoadSpecies(species_ids[i]);
            const int n = species->MemberCount();
            if (n >= session_.MinSpectraPerSpecies() && n > 0) {
                ++qualified;
                features.emplace_back();
                statistic_ids.push_back(StoreSpeciesStatistic(
                    session_, library_id, fs->Type(), *species, species_ids[i], features.back()));
            }
            frontend.StepProgress(static_cast<int>(i) + 1);
        }
        // A library without species would be "Ready" and classify nothing; the transaction
        // is left uncommitted, so an earlier build stays as it was.
        if (qualified == 0)
            throw OrvaneError(fmt::format("No library was built: no species of study '{}' has at "
                                          "least {} enabled spectra, the study's minimum per "
                                          "species.",
                                          session_.StudyName(),
                                          std::max(session_.MinSpectraPerSpecies(), 1)));
        StoreShrinkage(db, statistic_ids, features);
        tx.Commit();
    } catch (const Cancelled&) {
        // The transaction rolled back, so the previous library is loaded as it was; the
        // status says why this configuration did not get a new one.
        cancelled_build_ = true;
        cancelled_key_ = CurrentKey();
        throw;
    }
    LoadLibrary();
    frontend.Report("New library built and reloaded");
    // Every class is stored; the ones whose covariance this feature space cannot estimate are
    // named, as Mahalanobis and Modified Mahalanobis will leave them out.
    std::string unestimable;
    for (size_t c = 0; c < classes_.size(); ++c)
        if (!covariance_problems_[c].empty())
            unestimable += "\n  " + classes_[c].folder_name + ": " + covariance_problems_[c];
    if (!unestimable.empty())
        frontend.Report(
            "The covariance of these classes cannot be estimated in this feature space; "
            "Mahalanobis and Modified Mahalanobis leave them unmodelled (SAM and Gen. Squared "
            "Dist use them):" +
            unestimable);
    return true;
}

bool SpectralStatistics::IsLibraryValid() {
    valid_ = false;
    const FeatureSpace* fs = session_.CurrentFeatureSpace();
    if (!fs || !session_.CurrentSensor()) return false;
    // Beside the chain settings, the study's spectra: an import or a disabled spectrum after
    // the build leaves the library out of date.
    std::string sql = Sql(
        "select library_id from library l, feature_space fs, smoothing_filter sf, derivative d, "
        "waveband_filter wf, study st where l.feature_space_id = fs.feature_space_id and l.build_date > "
        "fs.build_date and l.feature_space_id = %i and l.build_date > sf.changed_at and "
        "sf.smoothing_filter_id = l.smoothing_filter_id and sf.smoothing_filter_id = %i and "
        "l.derivative_id = d.derivative_id and l.build_date > d.changed_at and d.derivative_id = "
        "%i and l.sensor_id = %i and l.study_id = %i and l.build_date > wf.changed_at and "
        "l.waveband_filter_id = wf.waveband_filter_id and wf.waveband_filter_id = %i and "
        "st.study_id = l.study_id and (st.spectra_changed_at is null or l.build_date > "
        "st.spectra_changed_at)",
        fs->Id(), session_.SmoothingFilterId(), session_.DerivativeId(),
        session_.CurrentSensor()->SensorId(), session_.StudyId(), session_.WavebandFilterId());
    if (fs->Type() == kFeaturePCT)
        sql += Sql(" and l.build_date > (select build_date from pca_data where pca_data_id = %i)",
                   fs->PcaDataId());
    int id = 0;
    valid_ = session_.Db().QueryInt(sql, id);
    if (valid_) library_id_ = id;
    return valid_;
}

bool SpectralStatistics::Key::operator==(const Key& o) const {
    return study == o.study && sensor == o.sensor && feature_space == o.feature_space &&
           fs_type == o.fs_type && smoothing_filter == o.smoothing_filter &&
           derivative == o.derivative && waveband_filter == o.waveband_filter;
}

SpectralStatistics::Key SpectralStatistics::CurrentKey() const {
    Key key;
    key.study = session_.StudyId();
    key.sensor = session_.CurrentSensor() ? session_.CurrentSensor()->SensorId() : 0;
    const FeatureSpace* fs = session_.CurrentFeatureSpace();
    key.feature_space = fs ? fs->Id() : 0;
    key.fs_type = fs ? fs->Type() : 0;
    key.smoothing_filter = session_.SmoothingFilterId();
    key.derivative = session_.DerivativeId();
    key.waveband_filter = session_.WavebandFilterId();
    return key;
}

std::string SpectralStatistics::InvalidReason(Remedy& remedy) {
    remedy = Remedy::kNone;
    if (session_.StudyId() == 0) return "No study is selected.";
    if (!session_.CurrentSensor()) return "No sensor is selected.";
    const FeatureSpace* fs = session_.CurrentFeatureSpace();
    if (!fs) return "No feature space is selected; choose or create one of this type.";
    const std::string study = "study '" + session_.StudyName() + "'";
    remedy = Remedy::kBuildLibrary;
    int id = 0;
    const bool built = session_.Db().QueryInt(
        Sql("select library_id from library l where l.feature_space_id = %i and "
            "l.smoothing_filter_id = %i and l.derivative_id = %i and l.sensor_id = %i and "
            "l.study_id = %i",
            fs->Id(), session_.SmoothingFilterId(), session_.DerivativeId(),
            session_.CurrentSensor()->SensorId(), session_.StudyId()),
        id);
    if (!built)
        return "No library has been built for " + study +
               " with the current sensor, smoothing, derivative and feature space; build it.";
    int spectra_changed = 0;
    session_.Db().QueryInt(Sql("select count(*) from library l, study st where l.library_id = %i "
                               "and st.study_id = l.study_id and l.build_date <= "
                               "st.spectra_changed_at",
                               id),
                           spectra_changed);
    if (spectra_changed > 0)
        return "The library of " + study +
               " is older than its spectra (spectra were imported, deleted, disabled or enabled "
               "after it was built); build it again.";
    return "The library of " + study +
           " is older than the current settings (the feature space, smoothing, derivative or "
           "waveband filter changed after it was built); build it again.";
}

std::string SpectralStatistics::StatusLine() const {
    // A cancelled build is named only while its settings are still the current ones.
    const bool cancelled = cancelled_build_ && cancelled_key_ == CurrentKey();
    if (!NotReadyReason().empty())
        return cancelled ? std::string(StatusText()) + " (build cancelled)" : StatusText();
    return fmt::format("{} ({} of {} classes modelled{})", StatusText(), ModelledClassCount(),
                       ClassCount(), cancelled ? "; last build cancelled" : "");
}

int SpectralStatistics::ModelledClassCount() const {
    const Classifier classifier = session_.ClassifierInUse();
    if (!UsesClassCovariance(classifier)) return ClassCount();
    // The shrunk covariances are known once fitted; before that, every class that has one.
    if (NeedsShrinkage(classifier)) {
        if (models_ && models_->Kind() == classifier) return models_->ModelledCount();
        return static_cast<int>(std::count_if(classes_.begin(), classes_.end(),
                                              [](const LibraryClass& c) {
                                                  return c.no_of_samples >= 2;
                                              }));
    }
    return static_cast<int>(
        std::count(covariance_problems_.begin(), covariance_problems_.end(), std::string()));
}

std::string SpectralStatistics::UnmodelledNote() {
    const ClassModels& models = Models();
    std::string classes;
    for (int c = 0; c < models.Count(); ++c)
        if (!models.Modelled(c))
            classes += "\n  " + Class(c).folder_name + ": " + models.Problem(c);
    if (classes.empty()) return "";
    return fmt::format("{} of {} classes are not modelled with this classifier: their "
                       "covariance cannot be estimated in this feature space, so they rank last "
                       "and never win.",
                       models.Count() - models.ModelledCount(), models.Count()) +
           classes;
}

std::string SpectralStatistics::NotReadyReason() const {
    if (!not_ready_.empty()) return not_ready_;
    if (!loaded_)
        return "No library is loaded for the current study and chain settings; build it.";
    if (!(loaded_key_ == CurrentKey()))
        return "The loaded library belongs to another study or other chain settings; build or "
               "reload the library of the current ones.";
    // A library built before intensities were stored has none at all; a current build has
    // one for every class of at least 2 spectra whose features are finite.
    const auto has = [](const LibraryClass& c) { return std::isfinite(c.shrinkage); };
    const auto estimable = [](const LibraryClass& c) { return c.no_of_samples > 1; };
    if (NeedsShrinkage(session_.ClassifierInUse()) &&
        std::any_of(classes_.begin(), classes_.end(), estimable) &&
        std::none_of(classes_.begin(), classes_.end(), has))
        return "The library holds no shrinkage intensities for Mahalanobis (shrunk): it was "
               "built before they were stored; build it again.";
    return "";
}

Remedy SpectralStatistics::NotReadyRemedy() const {
    if (!not_ready_.empty()) return not_ready_remedy_;
    return NotReadyReason().empty() ? Remedy::kNone : Remedy::kBuildLibrary;
}

void SpectralStatistics::RequireReady() {
    LoadLibrary();
    const std::string reason = NotReadyReason();
    if (!reason.empty())
        throw LibraryNotReadyError("Library Not Ready: " + reason, NotReadyRemedy());
}

void SpectralStatistics::LoadLibrary() {
    // Whatever was loaded before belongs to settings that may no longer hold.
    classes_.clear();
    covariance_problems_.clear();
    models_.reset();
    loaded_ = false;
    not_ready_.clear();
    not_ready_remedy_ = Remedy::kNone;
    const FeatureSpace* fs = session_.CurrentFeatureSpace();
    if (!IsLibraryValid()) {
        not_ready_ = InvalidReason(not_ready_remedy_);
        return;
    }
    Database& db = session_.Db();
    const int dimension = fs->Dimension();
    int count = 0;
    db.QueryInt(Sql("SELECT count(*) FROM statistic s, library l WHERE s.library_id = "
                    "l.library_id AND l.library_id = %i",
                    library_id_),
                count);
    if (count < 1) {
        not_ready_ = fmt::format("The library of study '{}' holds no species: none had the "
                                 "study's minimum of {} spectra when it was built.",
                                 session_.StudyName(), session_.MinSpectraPerSpecies());
        return;
    }
    std::vector<LibraryClass> loaded = ReadLibraryClasses(db, library_id_, dimension);
    classes_ = std::move(loaded);
    for (const LibraryClass& c : classes_)
        covariance_problems_.push_back(CovarianceProblem(c.cov, c.no_of_samples));
    dimension_ = dimension;
    fs_type_ = fs->Type();
    loaded_key_ = CurrentKey();
    loaded_ = true;
}

const ClassModels& SpectralStatistics::Models() {
    if (models_ && models_->Kind() == session_.ClassifierInUse()) return *models_;
    std::vector<ClassStatistics> statistics;
    for (const LibraryClass& c : classes_)
        statistics.push_back({c.no_of_samples, c.mean, c.cov, c.shrinkage});
    models_ = std::make_unique<ClassModels>(session_.ClassifierInUse(), std::move(statistics));
    return *models_;
}

const double* SpectralStatistics::FeaturesOf(Spectrum& spectrum) {
    const Matrix* features = nullptr;
    WithMatrixErrors(kMatrixFailed,
                     [&] { features = FeatureVector(session_, spectrum, fs_type_); });
    const int n = dimension_;
    if (!features || features->Nrows() != n || features->Ncols() != 1)
        throw OrvaneError("The spectrum has " + std::to_string(features ? features->Nrows() : 0) +
                          " features but the library has " + std::to_string(n) +
                          "; rebuild the library for the current feature space.");
    const double* x = features->Store();
    for (int i = 0; i < n; ++i)
        if (!std::isfinite(x[i]))
            throw OrvaneError(fmt::format("{} was not classified: its feature {} is not a finite "
                                          "number (the spectrum has no usable values where the "
                                          "feature space needs them).",
                                          spectrum.DisplayName(), i + 1));
    return x;
}

ClassificationResult SpectralStatistics::Classify(Spectrum& spectrum) {
    const std::string reason = NotReadyReason();
    if (!reason.empty())
        throw LibraryNotReadyError("Library Not Ready: " + reason, NotReadyRemedy());
    const ClassModels& models = Models();
    std::vector<double> values(classes_.size());
    models.Values(FeaturesOf(spectrum), values.data());

    ClassificationResult result;
    result.entries.resize(classes_.size());
    for (size_t c = 0; c < classes_.size(); ++c) {
        LibraryClass& cls = classes_[c];
        cls.score(1, 1) = values[c];
        ClassScore& e = result.entries[c];
        e.name = cls.folder_name;
        e.class_index = static_cast<int>(c);
        // An unmodelled class has no value: it ranks last and never wins.
        e.regular = models.Modelled(static_cast<int>(c)) ? 1 : 0;
        e.distance = values[c];
    }
    result.SortByDistance(models.Ranks());
    return result;
}

std::string SpectralStatistics::ClassifyToText(Spectrum& spectrum) {
    const ClassificationResult result = Classify(spectrum);
    return result.Verdict() + ": " + spectrum.DisplayName() + "\n" + result.Format(1);
}

ClassificationResult SpectralStatistics::ClassifySite(Site& site) {
    ClassificationResult votes(*this);
    const int n = site.MemberCount();
    for (int i = 0; i < n; ++i) {
        const ClassificationResult r = Classify(*site.Member(i));
        ++votes.entries[static_cast<size_t>(r.Winner().class_index)].votes;
    }
    for (ClassScore& e : votes.entries) {
        e.share = n > 0 ? 100.0 * e.votes / n : 0.0;
        e.spectra_count = n;
    }
    return votes;
}

ClassificationResult SpectralStatistics::ClassifySpecies(Species& species) {
    ClassificationResult votes(*this);
    for (int s = 0; s < species.SiteCount(); ++s) {
        const ClassificationResult r = ClassifySite(*species.SiteAt(s));
        for (const ClassScore& e : r.entries)
            votes.entries[static_cast<size_t>(e.class_index)].votes += e.votes;
    }
    const int n = species.TotalSpectra();
    for (ClassScore& e : votes.entries) {
        e.share = n > 0 ? 100.0 * e.votes / n : 0.0;
        e.spectra_count = n;
    }
    return votes;
}

}  // namespace orvane

namespace orvane {

std::string SpectralStatistics::MissingNamesNote(int name_type) const {
    std::vector<std::pair<std::string, std::string>> names;
    for (const LibraryClass& c : classes_)
        names.emplace_back(c.folder_name, c.StoredNameOfType(name_type));
    return orvane::MissingNamesNote(names, name_type);
}

}  // namespace orvane
