// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/spectral_statistics.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include <fmt/format.h>

#include "base/frontend.h"
#include "chain/chain_description.h"
#include "chain/processing_chain.h"
#include "chain/processing_session.h"
#include "chain/feature_space.h"
#include "spectra/species.h"
#include "spectra/species_names.h"
#include "study/study_loader.h"
#include "base/matrix_errors.h"
#include "base/matrix_stats.h"
#include "base/parallel.h"
#include "base/shown_text.h"
#include "stats/library_statistics.h"
#include "store/database.h"
#include "store/library_repository.h"
#include "store/study_lock.h"

namespace orvane {

SingularCovarianceError::SingularCovarianceError()
    : OrvaneError(
          "Error:\nClassification is not possible because of a singular covariance matrix.\nThe "
          "chosen feature space may not be suitable for the data of this study.") {}

namespace {

constexpr const char* kMatrixFailed = "Matrix computation failed: ";

}  // namespace

SpectralStatistics::SpectralStatistics(ProcessingSession& session, StudyLoader& loader)
    : session_(session), loader_(loader) {}

SpectralStatistics::~SpectralStatistics() = default;

void SpectralStatistics::PinChain(std::shared_ptr<const CompiledChain> chain) {
    pinned_ = std::move(chain);
}

std::shared_ptr<const CompiledChain> SpectralStatistics::CompiledInUse() const {
    return pinned_ ? pinned_ : session_.Compiled();
}

const ChainSpec& SpectralStatistics::ChainInUse() const { return CompiledInUse()->Settings(); }

int SpectralStatistics::ClassIndexOf(const std::string& folder_name) const {
    for (const LibraryClass& c : classes_)
        if (c.folder_name == folder_name) return c.index;
    return -1;
}

bool SpectralStatistics::BuildLibrary(Frontend& frontend) {
    const FeatureSpace* fs = ChainInUse().feature_space.get();
    if (!fs) return false;
    if (!ChainInUse().sensor) ThrowNoSensor();
    Database& db = session_.Db();
    const int study = session_.StudyId();
    cancelled_build_ = false;
    try {
        StudyLock lock(db, frontend, study);
        // The whole build is the unit: a build the server gave up as a collision with other
        // work is computed again from the stored rows.
        RunInTransaction(db, [&] {
            LibraryRepository libraries(db);
            const int library_id = libraries.StampBuild(ChainInUse().LibraryKeyOf());
            const std::vector<int> species_ids = libraries.SpeciesOfStudy(study);
            ProgressScope progress(frontend, "Building Library",
                                   static_cast<int>(species_ids.size()));
            std::vector<int> qualified;
            std::vector<Matrix> features;
            // One team of chains serves every species of the build.
            ChainTeam team(CompiledInUse());
            SpeciesReadAhead reader(loader_, {species_ids.begin(), species_ids.end()});
            for (size_t i = 0; i < species_ids.size(); ++i) {
                if (frontend.Cancelled())
                    throw Cancelled("cancelled; the previous library is unchanged");
                std::unique_ptr<Species> species = reader.Next();
                const int n = species->MemberCount();
                if (n >= session_.MinSpectraPerSpecies() && n > 0) {
                    qualified.push_back(species_ids[i]);
                    features.emplace_back();
                    WithMatrixErrors(kMatrixFailed, [&] {
                        features.back() = FeatureMatrix(team, *species, fs->Type());
                    });
                }
                frontend.StepProgress(static_cast<int>(i) + 1);
            }
            // A library without species would be "Ready" and classify nothing; the transaction
            // is left uncommitted, so an earlier build stays as it was.
            if (qualified.empty())
                throw OrvaneError(fmt::format(
                    "No library was built: no species of study '{}' has at "
                    "least {} enabled spectra, the study's minimum per "
                    "species.",
                    session_.StudyName(), std::max(session_.MinSpectraPerSpecies(), 1)));
            std::vector<ClassStatistics> statistics;
            WithMatrixErrors(kMatrixFailed, [&] { statistics = LibraryStatistics(features); });
            std::vector<LibraryRepository::StatisticRow> rows;
            for (size_t c = 0; c < statistics.size(); ++c)
                rows.push_back({qualified[c], statistics[c].n, statistics[c].mean,
                                statistics[c].cov, statistics[c].shrinkage});
            libraries.StoreStatistics(library_id, rows);
            // The row is reused, so a species that no longer qualifies still has its rows.
            libraries.DeleteStatisticsExcept(library_id, qualified);
        });
    } catch (const Cancelled&) {
        // The transaction rolled back, so the previous library is loaded as it was; the
        // status says why this configuration did not get a new one.
        cancelled_build_ = true;
        cancelled_key_ = CurrentKey();
        throw;
    }
    LoadLibrary();
    frontend.Report("New library built and reloaded\n" +
                    DescribeChain(session_, {true, true, true, false, &ChainInUse()}));
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
    const FeatureSpace* fs = ChainInUse().feature_space.get();
    if (!fs || !ChainInUse().sensor) return false;
    const std::optional<int> pca_data =
        fs->Type() == kFeaturePCT ? std::optional<int>(fs->PcaDataId()) : std::nullopt;
    const std::optional<int> id =
        LibraryRepository(session_.Db()).FindCurrent(ChainInUse().LibraryKeyOf(), pca_data);
    valid_ = id.has_value();
    if (valid_) library_id_ = *id;
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
    key.sensor = ChainInUse().SensorId();
    const FeatureSpace* fs = ChainInUse().feature_space.get();
    key.feature_space = fs ? fs->Id() : 0;
    key.fs_type = fs ? fs->Type() : 0;
    key.smoothing_filter = ChainInUse().smoothing.filter_id;
    key.derivative = ChainInUse().derivative.id;
    key.waveband_filter = ChainInUse().study_filter.FilterId();
    return key;
}

std::string SpectralStatistics::InvalidReason(Remedy& remedy) {
    remedy = Remedy::kNone;
    if (session_.StudyId() == 0) return "No study is selected.";
    if (!ChainInUse().sensor) return "No sensor is selected.";
    const FeatureSpace* fs = ChainInUse().feature_space.get();
    if (!fs) return "No feature space is selected; choose or create one of this type.";
    const std::string study = "study '" + session_.StudyName() + "'";
    remedy = Remedy::kBuildLibrary;
    LibraryRepository libraries(session_.Db());
    const std::optional<int> id = libraries.Find(ChainInUse().LibraryKeyOf());
    if (!id)
        return "No library has been built for " + study +
               " with the current sensor, splice correction, smoothing, continuum removal, "
               "derivative and feature space; build it.";
    if (libraries.OlderThanSpectra(*id))
        return "The library of " + study +
               " is older than its spectra (spectra were imported, deleted, disabled or enabled "
               "after it was built); build it again.";
    return "The library of " + study +
           " is older than the current settings (the feature space, smoothing, derivative, "
           "waveband filter, splice joins or continuum ranges changed after it was built); "
           "build it again.";
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
            classes += "\n  " + EscapeControls(Class(c).folder_name) + ": " + models.Problem(c);
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
    const FeatureSpace* fs = ChainInUse().feature_space.get();
    if (!IsLibraryValid()) {
        not_ready_ = InvalidReason(not_ready_remedy_);
        return;
    }
    LibraryRepository libraries(session_.Db());
    const int dimension = fs->Dimension();
    if (libraries.StatisticCount(library_id_) < 1) {
        not_ready_ = fmt::format("The library of study '{}' holds no species: none had the "
                                 "study's minimum of {} spectra when it was built.",
                                 session_.StudyName(), session_.MinSpectraPerSpecies());
        return;
    }
    for (StoredLibraryClass& stored : libraries.Classes(library_id_, dimension)) {
        LibraryClass c;
        c.folder_name = std::move(stored.folder_name);
        c.common_name = std::move(stored.common_name);
        c.maori_name = std::move(stored.maori_name);
        c.latin_name = std::move(stored.latin_name);
        c.index = static_cast<int>(classes_.size());
        c.species_id = stored.species_id;
        c.dimension = dimension;
        c.no_of_samples = stored.no_of_samples;
        c.mean = stored.mean;
        c.cov = stored.cov;
        c.shrinkage = stored.shrinkage;
        classes_.push_back(std::move(c));
    }
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

Chain& SpectralStatistics::Classifying() {
    if (chain_)
        chain_->Use(CompiledInUse());
    else
        chain_ = std::make_unique<Chain>(CompiledInUse());
    return *chain_;
}

const double* SpectralStatistics::FeaturesOf(Spectrum& spectrum) {
    const Matrix* features = nullptr;
    WithMatrixErrors(kMatrixFailed,
                     [&] { features = &Classifying().Features(spectrum, fs_type_); });
    return CheckedFeatures(features, spectrum);
}

const double* SpectralStatistics::CheckedFeatures(const Matrix* features,
                                                  const Spectrum& spectrum) const {
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

Matrix SpectralStatistics::FeatureRows(ChainTeam& team,
                                       const std::vector<Spectrum*>& members) const {
    const int d = dimension_;
    Matrix x(static_cast<int>(members.size()), d);
    if (members.empty()) return x;
    team.Prepare(WorkersFor(members.size()));
    // Each row by its index, so the matrix is the same for any number of threads.
    double* rows = x.Store();
    ParallelFor(members.size(), [&](size_t j, int worker) {
        const Matrix* features = nullptr;
        WithMatrixErrors(kMatrixFailed,
                         [&] { features = &team.For(worker).Features(*members[j], fs_type_); });
        const double* f = CheckedFeatures(features, *members[j]);
        std::copy(f, f + d, rows + j * static_cast<size_t>(d));
    });
    return x;
}

const ClassModels& SpectralStatistics::ReadyModels() {
    const std::string reason = NotReadyReason();
    if (!reason.empty())
        throw LibraryNotReadyError("Library Not Ready: " + reason, NotReadyRemedy());
    return Models();
}

ClassificationResult SpectralStatistics::Classify(Spectrum& spectrum) {
    const ClassModels& models = ReadyModels();
    return RankedResult(*this, models, orvane::Classify(models, FeaturesOf(spectrum)));
}

std::string SpectralStatistics::ClassifyToText(Spectrum& spectrum) {
    const ClassificationResult result = Classify(spectrum);
    return result.Verdict() + ": " + spectrum.DisplayName() + "\n" + result.Format(1);
}

ClassificationResult SpectralStatistics::ClassifySite(Site& site) {
    ClassificationResult votes(*this);
    const int n = site.MemberCount();
    // An empty site asks nothing of the library.
    const ClassModels* models = n > 0 ? &ReadyModels() : nullptr;
    for (int i = 0; i < n; ++i) {
        const Classification c = orvane::Classify(*models, FeaturesOf(*site.Member(i)));
        ++votes.entries[static_cast<size_t>(c.winner)].votes;
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
