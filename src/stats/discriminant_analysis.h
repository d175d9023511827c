#pragma once

#include <string>
#include <vector>

#include "base/matrix.h"

namespace orvane {

class Frontend;
class ProcessingSession;
class Spectra_factory_class;
class SpectralStatistics;

// What an accuracy run leaves behind: the error-matrix file (empty when it could not be
// written) and the overall accuracy in percent.
struct AccuracyResult {
    std::string path;
    double overall_accuracy = 0.0;
};

// Completes the error matrix E ((k + 2) x (k + 2): counts of predicted row class against
// actual column class) with totals and accuracies, then writes "Error Matrix.csv" to the
// output folder with the class names of the given type (0 common, 1 Maori, 2 Latin, 3 folder).
// A file that cannot be opened is reported and gives an empty path.
std::string WriteErrorMatrix(Matrix& e, int name_type, const SpectralStatistics& library,
                             const Spectra_factory_class& factory, Frontend& frontend);

// Classifies every enabled spectrum of every library species against the library
// (resubstitution) and writes the error matrix. Throws SingularCovarianceError, writing
// nothing, when a covariance cannot be inverted.
AccuracyResult RunDiscriminantAnalysis(SpectralStatistics& library, Spectra_factory_class& factory,
                                       Frontend& frontend, int name_type);

struct StudyItem {
    std::string name;
    int study_id;
};
// The studies other than the current one; the single item "No other studies found!" with id -1
// when there are none.
std::vector<StudyItem> IndependentStudies(ProcessingSession& session);

// Classifies the species of another study, matched to library classes by folder name, and
// writes the error matrix under the heading "Library Accuracy Check". Species without a
// library class of their folder name are reported and skipped.
AccuracyResult ClassifyIndependentSet(SpectralStatistics& library, Spectra_factory_class& factory,
                                      ProcessingSession& session, Frontend& frontend, int study_id,
                                      int name_type);

// Reports, for each site of a species, the share of its spectra that each library class wins,
// the winning class last.
void SiteAccuracyCheck(SpectralStatistics& library, Spectra_factory_class& factory,
                       Frontend& frontend, int species_id);

}  // namespace orvane
