// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "base/choice_words.h"
#include "base/matrix.h"
#include "spectra/species_names.h"
#include "stats/class_models.h"
#include "stats/result_record.h"

namespace orvane {

class Frontend;
class OutputFolder;
class SpectralStatistics;

// What the "JM/B Distance" dialog chooses; it opens with these defaults every time.
struct SeparabilitySettings {
    enum Distance { kJM = 0, kB = 1, kBoth = 2 };
    int name_type = kFolderName;  // NameType
    int distance = kBoth;
};

inline constexpr Choice<SeparabilitySettings::Distance> kDistanceChoices[] = {
    {"jm", "JM", SeparabilitySettings::kJM},
    {"b", "B", SeparabilitySettings::kB},
    {"both", "JM and B", SeparabilitySettings::kBoth},
};
inline constexpr ChoiceTable<SeparabilitySettings::Distance> kDistances{kDistanceChoices};

// "JM", "B" or "JM and B": the label of the distance type, which also names the file.
const char* DistanceName(int distance);

// A Gaussian class model as the separability measures read it.
struct GaussianClass {
    const Matrix* mean = nullptr;  // n x 1
    const Matrix* cov = nullptr;   // n x n
    double log_det = 0.0;          // ln det(cov); NaN when not positive
};

// Bhattacharyya distance between two Gaussian classes,
//   B = d'A^-1 d / 8 + (ln det A - ln det C_i / 2 - ln det C_j / 2) / 2,
// with d = m_i - m_j and A = (C_i + C_j) / 2, from log-determinants (sums of the logs of the LU
// pivots): the determinants themselves underflow for a dozen small derivative features.
// Infinite when either class or A has no positive determinant (singular or indefinite): such
// a pair cannot be modelled, and its JM is 2.
double BhattacharyyaDistance(const GaussianClass& i, const GaussianClass& j);
// Jeffries-Matusita distance from B: 2 (1 - e^-B), from 0 for identical classes towards 2.
double JeffriesMatusita(double b);

// B of every pair of the library's classes (k x k, symmetric, 0 on the diagonal). NaN for a
// pair with a class whose covariance cannot be estimated (SpectralStatistics::
// CovarianceProblemOf): such a class is unmodelled and has no distance; infinity where the
// mean covariance of two modelled classes still cannot be inverted.
Matrix PairwiseBhattacharyya(const SpectralStatistics& library);
// The same for classes given by their statistics (spectrum count, mean, covariance): a class is
// unmodelled when CovarianceProblem finds its covariance not estimable.
Matrix PairwiseBhattacharyya(const std::vector<ClassStatistics>& classes);

// The machine-readable twin of the pairwise table: the chosen distances of every pair of
// classes (class1 before class2 in library order), infinity written as null.
ResultJson SeparabilityRecord(const SpectralStatistics& library, const Matrix& distances,
                              const SeparabilitySettings& settings);

// What a separability report leaves behind: its file (empty when it could not be written) and
// the pairwise B (PairwiseBhattacharyya) it was written from, which the window tabulates
// without computing it again.
struct SeparabilityResult {
    std::string path;
    Matrix distances;
};

// Writes the pairwise table of the loaded library's classes to "<distance name> output.csv"
// in the output folder: a header of class names, then one row per class with "-" on the
// diagonal, JM above it and B below it ("%.14E", "Inf." for an infinite B, "n/a" for both
// where a class is unmodelled, which the report names with the reason); a distance that was
// not chosen leaves its triangle's cells empty. Reports the file and returns its path; a
// file that cannot be opened is reported and gives an empty path. Throws LibraryNotReadyError
// unless the library of the current study and settings is Ready. SeparabilityRecord goes
// beside it as "<distance name> output.json".
SeparabilityResult SeparabilityReport(const SpectralStatistics& library,
                               const OutputFolder& output, Frontend& frontend,
                               const SeparabilitySettings& settings);

}  // namespace orvane
