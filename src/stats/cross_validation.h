// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/matrix.h"
#include "chain/processing_session.h"
#include "stats/class_models.h"

namespace orvane {

// Which spectra the discriminant analysis classifies against which statistics.
//   Resubstitution: every spectrum against the statistics it helped to estimate (optimistic).
//   Leave-one-out: each spectrum against the statistics of all the others.
//   k-fold: within each class, the spectra in the order of their database id, the i-th (from
//     0) goes to fold i mod K; each fold is classified against the statistics of the others.
// Held-out spectra leave the class means and covariances (and so the pooled covariance and
// the rank check); the feature space is not refitted.
struct Validation {
    enum class Kind { kResubstitution, kLeaveOneOut, kKFold };
    Kind kind = Kind::kResubstitution;
    int folds = 5;  // K of k-fold

    bool Resubstitution() const { return kind == Kind::kResubstitution; }
    // "resubstitution", "leave-one-out", "5-fold": the report heading's and file name's tag.
    std::string Name() const;
    // The file's "Validation," line: "leave-one-out", "5-fold (class-wise, i mod 5)".
    std::string Description() const;
};

constexpr int kDefaultFolds = 5;

// Reads "resubstitution", "loo" or "kfold[:K]" (K a whole number >= 2, default 5); throws
// OrvaneError naming the accepted forms.
Validation ParseValidation(const std::string& text);

// Refuses (OrvaneError) a K below 2 or above the smallest class, which would leave a fold
// without a spectrum of that class; `sizes` are the class spectrum counts.
void RequireFoldsFit(const Validation& validation, const std::vector<int>& sizes,
                     const std::vector<std::string>& names);

// The statistics of the columns (spectra) of `rows` (d x n) whose `keep` flag is set; `keep`
// empty keeps all. A classifier that needs more of the rows than the mean and covariance
// (a shrunk covariance) computes it here, so every fold gets it.
ClassStatistics StatisticsOfColumns(const Matrix& rows, const std::vector<char>& keep = {});

// What a validated run found: the k x k counts (row: classified as, column: reference class,
// both from 1) and, per class, the number of held-out sets in which it was unmodelled.
struct ValidationCounts {
    Matrix counts;
    std::vector<int> unmodelled_sets;
    int held_out_sets = 0;
};

// Classifies every spectrum (column) of `rows[c]`, class c's feature rows (d x n_c, columns in
// database id order), by models estimated without its held-out set, under `validation`
// (resubstitution uses every spectrum). Leave-one-out down-dates the mean and covariance of
// the held-out spectrum's class by one rank and refits only that class (and the pooled
// covariance). `cancelled` is asked between held-out sets; throws Cancelled when it says
// yes, and as ClassModels does when a held-out set leaves no class modelled.
ValidationCounts CrossValidate(Classifier classifier, const std::vector<Matrix>& rows,
                               const Validation& validation,
                               const std::function<bool()>& cancelled = {});

}  // namespace orvane
