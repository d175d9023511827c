// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/orvane_error.h"
#include "stats/class_models.h"
#include "stats/classification_result.h"
#include "stats/library_class.h"

namespace orvane {

class Chain;
class ChainTeam;
class CompiledChain;
struct ChainSpec;
class Frontend;
class ProcessingSession;
class Site;
class Species;
class StudyLoader;
class Spectrum;

// A covariance matrix of the library cannot be inverted; the text is the one users see.
class SingularCovarianceError : public OrvaneError {
  public:
    SingularCovarianceError();
};

// A command that needs the library of the current study and chain settings found it "Not
// Ready"; the text says why.
class LibraryNotReadyError : public OrvaneError {
  public:
    using OrvaneError::OrvaneError;
};

// The spectral library of the current study and chain configuration: building it into the
// database, deciding whether the stored one is current, loading it, and classifying spectra
// against it.
class SpectralStatistics {
  public:
    SpectralStatistics(ProcessingSession& session, StudyLoader& loader);
    ~SpectralStatistics();

    void SetStudy(int study_id) { study_id_ = study_id; }
    // Answers for this chain (its sensor, feature space and every setting) instead of the
    // session's current one, which stays as it is: one library per chain, side by side.
    void PinChain(std::shared_ptr<const CompiledChain> chain);
    const ChainSpec& ChainInUse() const;
    std::shared_ptr<const CompiledChain> CompiledInUse() const;

    // Builds or rebuilds the library of the current configuration in one transaction and
    // reloads it; false (and nothing done) without a current feature space. A cancel ends it
    // with Cancelled, leaving the previous library as it was. A study in which
    // no species reaches its minimum number of spectra is refused (OrvaneError naming the
    // minimum) and nothing is stored.
    bool BuildLibrary(Frontend& frontend);
    // True when a library newer than every part of the current configuration exists.
    bool IsLibraryValid();
    // Replaces the loaded classes by those of the valid library. Without one, or when it holds
    // no species, no classes stay loaded: a library of other settings must never answer.
    void LoadLibrary();

    // The one readiness rule. Empty when the loaded library is the current one of the current
    // study and chain settings ("Ready"); otherwise why it is "Not Ready". Costs no query, so
    // a window may ask it whenever it enables its commands.
    std::string NotReadyReason() const;
    // What makes a Not Ready library Ready, for the faces to name: building it, for every
    // reason but a missing selection or too few spectra.
    Remedy NotReadyRemedy() const;
    // Checks the database again (a setting may have changed since the last load), reloads,
    // and throws LibraryNotReadyError with the reason unless the library is Ready. Every
    // command that classifies or analyses the library calls it first.
    void RequireReady();
    // "Ready" or "Not Ready", by the rule above.
    const char* StatusText() const { return NotReadyReason().empty() ? "Ready" : "Not Ready"; }
    // The status line the faces show: StatusText(), and when Ready how many classes the
    // session's classifier models, "Ready (3 of 4 classes modelled)". After a cancelled build
    // of the current settings it says so: "Not Ready (build cancelled)".
    std::string StatusLine() const;
    bool Valid() const { return valid_; }
    int LibraryId() const { return library_id_; }
    // The session whose settings the library answers for, for the records of its results.
    ProcessingSession& Session() const { return session_; }

    int ClassCount() const { return static_cast<int>(classes_.size()); }
    const LibraryClass& Class(int index) const { return classes_.at(static_cast<size_t>(index)); }
    // One report line naming the classes that have no name of the chosen type, whose folder
    // names stand in; empty when all have one (or the folder name was chosen).
    std::string MissingNamesNote(int name_type) const;
    // First exact, case-sensitive match of a folder name; -1 when none.
    int ClassIndexOf(const std::string& folder_name) const;
    int Dimension() const { return dimension_; }
    // Why the covariance of loaded class c cannot be estimated in the library's feature space
    // (CovarianceProblem), empty when it can: such a class is unmodelled for the classifiers
    // that use class covariances, and has no separability.
    const std::string& CovarianceProblemOf(int c) const {
        return covariance_problems_.at(static_cast<size_t>(c));
    }
    // The loaded classes the session's classifier models (all of them for SAM and Gen.
    // Squared Dist, which need no class covariance).
    int ModelledClassCount() const;
    // One report paragraph naming each class the session's classifier leaves unmodelled, and
    // why; empty when it models every class. Commands that classify report it once per run.
    // Throws as Models() does.
    std::string UnmodelledNote();
    // The loaded classes fitted for the session's classifier: which are modelled, and why not.
    // An analysis takes them once and classifies every spectrum by them (orvane::Classify).
    // Throws as Classify does.
    const ClassModels& Models();
    // Models(), refused (LibraryNotReadyError with the reason) unless the library is Ready.
    const ClassModels& ReadyModels();

    // Ranks the library classes for one spectrum with the session's classifier, smallest value
    // first (the values and the rule for unmodelled classes: ClassModels): its FeaturesOf
    // classified by Models(), which changes nothing of the loaded or stored classes. Throws
    // SingularCovarianceError when Gen. Squared Dist's pooled covariance cannot be inverted,
    // LibraryNotReadyError when the library is not Ready, and OrvaneError when no class is
    // modelled or the spectrum's features do not fit the library or are not all finite numbers.
    ClassificationResult Classify(Spectrum& spectrum);
    // One "Indiv. Classify" block: the spectrum's name, then its ranking (distance, class).
    std::string ClassifyToText(Spectrum& spectrum);
    // Votes of the library classes over a site's or a species' spectra (library order).
    ClassificationResult ClassifySite(Site& site);
    ClassificationResult ClassifySpecies(Species& species);

    // The spectrum's feature vector at the library's dimension (Dimension() values), refused
    // unless every feature is a finite number.
    const double* FeaturesOf(Spectrum& spectrum);
    // FeaturesOf of each member as row j (so each row's values lie side by side), computed on
    // every core by `team`, a team of CompiledInUse(); refused as FeaturesOf refuses.
    Matrix FeatureRows(ChainTeam& team, const std::vector<Spectrum*>& members) const;

  private:
    const double* CheckedFeatures(const Matrix* features, const Spectrum& spectrum) const;
    Chain& Classifying();

    // What a library is looked up by; the loaded classes answer only for the key they were
    // loaded under.
    struct Key {
        int study = 0;
        int sensor = 0;
        int feature_space = 0;
        int fs_type = 0;
        int smoothing_filter = 0;
        int derivative = 0;
        int waveband_filter = 0;
        bool operator==(const Key& o) const;
    };
    Key CurrentKey() const;
    // Why IsLibraryValid() found nothing: no study, sensor or feature space, or no library
    // built, or one older than the settings; `remedy` becomes building it for the latter.
    std::string InvalidReason(Remedy& remedy);

    ProcessingSession& session_;
    StudyLoader& loader_;
    std::vector<LibraryClass> classes_;
    std::vector<std::string> covariance_problems_;  // per loaded class, by CovarianceProblem
    int dimension_ = 0;
    int fs_type_ = 0;
    int study_id_ = 0;
    int library_id_ = 0;
    bool valid_ = false;
    Key loaded_key_;
    bool loaded_ = false;
    std::string not_ready_;  // the reason found by the last load; empty when it found one
    Remedy not_ready_remedy_ = Remedy::kNone;
    // The models depend only on the loaded classes and the classifier, so they are fitted
    // once per load and classifier.
    std::unique_ptr<ClassModels> models_;
    // Reused from spectrum to spectrum while classifying, with the session's settings of the
    // moment.
    std::unique_ptr<Chain> chain_;
    std::shared_ptr<const CompiledChain> pinned_;
    // The last build was cancelled, under these settings.
    bool cancelled_build_ = false;
    Key cancelled_key_;
};

}  // namespace orvane
