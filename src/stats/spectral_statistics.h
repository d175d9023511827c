#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/orvane_error.h"
#include "stats/classification_result.h"
#include "stats/library_class.h"

namespace orvane {

class Frontend;
class ProcessingSession;
class Site;
class Species;
class Spectra_factory_class;
class Spectrum;

// A covariance matrix of the library cannot be inverted; the text is the one users see.
class SingularCovarianceError : public OrvaneError {
  public:
    SingularCovarianceError();
};

// The spectral library of the current study and chain configuration: building it into the
// database, deciding whether the stored one is current, loading it, and classifying spectra
// against it.
class SpectralStatistics {
  public:
    SpectralStatistics(ProcessingSession& session, Spectra_factory_class& factory);
    ~SpectralStatistics();

    void SetStudy(int study_id) { study_id_ = study_id; }

    // Builds or rebuilds the library of the current configuration in one transaction and
    // reloads it; false (and nothing done) without a current feature space.
    bool BuildLibrary(Frontend& frontend);
    // True when a library newer than every part of the current configuration exists.
    bool IsLibraryValid();
    // Replaces the loaded classes by those of the valid library; without one (or without
    // statistic rows) the classes loaded before stay.
    void LoadLibrary();
    // "Ready" or "Not Ready", from the last validity check.
    const char* StatusText() const { return valid_ ? "Ready" : "Not Ready"; }
    bool Valid() const { return valid_; }
    int LibraryId() const { return library_id_; }

    int ClassCount() const { return static_cast<int>(classes_.size()); }
    const LibraryClass& Class(int index) const { return classes_.at(static_cast<size_t>(index)); }
    // First exact, case-sensitive match of a folder name; -1 when none.
    int ClassIndexOf(const std::string& folder_name) const;
    int Dimension() const { return dimension_; }

    // Ranks the library classes for one spectrum with the session's classifier, smallest value
    // first. With d = x - m_c and C_c the class covariance:
    //   0 Mahalanobis: ln det(C_c) + d'C_c^-1 d, the Gaussian maximum-likelihood discriminant
    //     up to constants, ranked by its signed value; a class whose determinant is not
    //     positive is ranked by d'C_c^-1 d behind the others (regular 0);
    //   1 Modified Mahalanobis: -ln det(C_c) * d'C_c^-1 d, ranked by magnitude;
    //   2 Gen. Squared Dist: d'P^-1 d with the pooled covariance P (divisor N);
    //   3 SAM: the angle between x and m_c in radians.
    // Log-determinants are sums of the logs of the LU pivots, so they hold where the
    // determinant itself under- or overflows. Throws SingularCovarianceError when a covariance
    // cannot be inverted and OrvaneError when the library is empty or does not fit the
    // spectrum's features.
    ClassificationResult Classify(Spectrum& spectrum);
    // Votes of the library classes over a site's or a species' spectra (library order).
    ClassificationResult ClassifySite(Site& site);
    ClassificationResult ClassifySpecies(Species& species);

  private:
    struct Inverses;
    const Inverses& ClassInverses();

    ProcessingSession& session_;
    Spectra_factory_class& factory_;
    std::vector<LibraryClass> classes_;
    int dimension_ = 0;
    int fs_type_ = 0;
    int study_id_ = 0;
    int library_id_ = 0;
    bool valid_ = false;
    // The inverses depend only on the loaded classes, so they are computed once per load.
    std::unique_ptr<Inverses> inverses_;
};

}  // namespace orvane
