// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/matrix.h"
#include "stats/cross_validation.h"
#include "stats/result_record.h"

namespace orvane {

class Frontend;
class ProcessingSession;
class OutputFolder;
class StudyLoader;
class SpectralStatistics;

// What an accuracy run leaves behind: the error-matrix file (empty when it could not be
// written) and the overall accuracy in percent.
struct AccuracyResult {
    std::string path;
    std::string json_path;  // "Error Matrix.json" beside it; empty when not written
    double overall_accuracy = 0.0;
    double kappa = 0.0;  // Cohen's kappa; NaN when chance agreement is total
    // What the window tabulates: the class names as reported, the k x k counts (rows
    // classified as, columns reference) and how the accuracy was validated.
    std::vector<std::string> names;
    std::vector<std::vector<double>> counts;
    std::string validation;
};

// Cohen's kappa of the k x k counts in the top left of E (rows predicted, columns actual):
// (N sum x_ii - sum x_i+ x_+i) / (N^2 - sum x_i+ x_+i); NaN when the denominator is 0.
double CohensKappa(const Matrix& e, int k);
// Fills an error matrix (k + 2 square) whose k x k counts are set: row and column totals, each
// class's user's (last column) and producer's (last row) accuracy and the overall accuracy in
// the corner, in percent; NaN where a total is 0.
void CompleteErrorMatrix(Matrix& e, int k);
// The k x k counts of E with row and column totals as an aligned table of whole numbers,
// classes labelled by `names`, under a line saying which way it reads.
std::string FormatErrorMatrix(const Matrix& e, const std::vector<std::string>& names);
// One line per class: its producer's accuracy (correct / column total) and user's accuracy
// (correct / row total) in percent, "n/a" where the total is 0.
std::string FormatClassAccuracies(const Matrix& e, const std::vector<std::string>& names);

// The machine-readable twin of a completed error matrix (see WriteErrorMatrix): the k x k
// counts (rows classified as, columns reference), each class's names, totals and producer's
// and user's accuracies, the overall accuracy and kappa, in percent where the CSV has percent.
ResultJson ErrorMatrixRecord(const Matrix& e, int name_type, const SpectralStatistics& library);

// Completes the error matrix E ((k + 2) x (k + 2): counts of predicted row class against
// actual column class) with totals and accuracies, then writes "Error Matrix.csv" to the
// output folder with the class names of the given type (0 common, 1 Maori, 2 Latin, 3 folder).
// A file that cannot be opened is reported and gives an empty path.
std::string WriteErrorMatrix(Matrix& e, int name_type, const SpectralStatistics& library,
                             const OutputFolder& output, Frontend& frontend);

// The counts of classifying every enabled spectrum of every library species against the
// library (resubstitution): a (k + 2) x (k + 2) matrix whose top left k x k block holds the
// predicted row class against the actual column class, zero elsewhere. Calls `class_done` with
// the number of classes done after each one; throws Cancelled when the frontend is cancelled
// and SingularCovarianceError when a covariance cannot be inverted.
Matrix ResubstitutionCounts(SpectralStatistics& library, StudyLoader& loader, Frontend& frontend,
                            const std::function<void(int)>& class_done = {});
// The share of the k x k counts on the diagonal, in percent; NaN without any count.
double OverallAccuracy(const Matrix& e, int k);

// The counts under a cross-validation (leave-one-out or k-fold) in the same layout, from the
// library classes' spectra re-estimated without each held-out set; `note` receives what the
// report says of the run (the validation and the classes it left unmodelled). Throws
// OrvaneError when the folds do not fit the classes, Cancelled when the frontend is cancelled.
Matrix ValidatedCounts(SpectralStatistics& library, StudyLoader& loader, Frontend& frontend,
                       const Validation& validation, int name_type, std::string* note);

// Classifies every enabled spectrum of every library species against the library, writes the
// error matrix and reports it with the class accuracies and kappa. Resubstitution uses the
// stored statistics and writes "Error Matrix.csv" under "Discriminant Analysis"; a validated
// run re-estimates them from the spectra's features without each held-out set (Validation)
// and writes "Error Matrix (leave-one-out).csv" or "Error Matrix (5-fold).csv", whose last
// line names the validation, under "Discriminant Analysis (leave-one-out)" and so on. Throws
// LibraryNotReadyError unless the library is Ready, OrvaneError when the folds do not fit the
// classes, and SingularCovarianceError, writing nothing, when a covariance cannot be inverted.
AccuracyResult RunDiscriminantAnalysis(SpectralStatistics& library, StudyLoader& loader,
                                       const OutputFolder& output, Frontend& frontend,
                                       int name_type, const Validation& validation = Validation());

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
AccuracyResult ClassifyIndependentSet(SpectralStatistics& library, StudyLoader& loader,
                                      const OutputFolder& output, ProcessingSession& session, Frontend& frontend, int study_id,
                                      int name_type);

// Reports, for each site of a species under "Site N (k spectra)", the share of its spectra
// that each library class wins, the winning class last. Given an output folder, also writes
// the shares per site to "site_check.json" there and returns its path (empty otherwise or
// when it could not be written, which is reported).
std::string SiteAccuracyCheck(SpectralStatistics& library, StudyLoader& loader,
                              Frontend& frontend, int species_id,
                              const OutputFolder* output = nullptr);

}  // namespace orvane
