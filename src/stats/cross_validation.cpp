// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/cross_validation.h"

#include "base/parallel.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include <fmt/format.h>

#include "base/feedback.h"
#include "base/matrix_errors.h"
#include "base/matrix_stats.h"
#include "base/orvane_error.h"
#include "base/shown_text.h"

namespace orvane {

namespace {

constexpr const char* kMatrixFailed = "Matrix computation failed: ";

std::vector<double> Column(const Matrix& rows, int j) {
    std::vector<double> x(static_cast<size_t>(rows.Nrows()));
    for (int i = 0; i < rows.Nrows(); ++i) x[static_cast<size_t>(i)] = rows(i + 1, j + 1);
    return x;
}

// The statistics of class c without its spectrum x: the mean and the scatter lose x's share
// (a rank-one down-date of the scatter), which costs d^2 instead of n d^2.
ClassStatistics WithoutOne(const ClassStatistics& all, const std::vector<double>& x) {
    const int n = all.n;
    const int d = all.mean.Nrows();
    ClassStatistics s;
    s.n = n - 1;
    s.mean.ReSize(d, 1);
    s.cov.ReSize(d, d);
    s.cov = 0.0;
    std::vector<double> delta(static_cast<size_t>(d));
    for (int i = 0; i < d; ++i) {
        const double m = all.mean(i + 1, 1);
        delta[static_cast<size_t>(i)] = x[static_cast<size_t>(i)] - m;
        s.mean(i + 1, 1) = (n * m - x[static_cast<size_t>(i)]) / (n - 1.0);
    }
    // Two or more spectra left: scatter' = scatter - n / (n - 1) delta delta', over n - 2.
    if (n - 1 >= 2) {
        const double w = static_cast<double>(n) / (n - 1.0);
        for (int i = 0; i < d; ++i)
            for (int j = 0; j < d; ++j)
                s.cov(i + 1, j + 1) =
                    ((n - 1.0) * all.cov(i + 1, j + 1) -
                     w * delta[static_cast<size_t>(i)] * delta[static_cast<size_t>(j)]) /
                    (n - 2.0);
    }
    return s;
}

void CheckCancelled(const std::function<bool()>& cancelled) {
    if (cancelled && cancelled()) throw Cancelled("cancelled: discriminant analysis");
}

}  // namespace

std::string Validation::Name() const {
    switch (kind) {
        case Kind::kResubstitution:
            return "resubstitution";
        case Kind::kLeaveOneOut:
            return "leave-one-out";
        case Kind::kKFold:
            break;
    }
    return fmt::format("{}-fold", folds);
}

std::string Validation::Description() const {
    if (kind != Kind::kKFold) return Name();
    return fmt::format("{}-fold (class-wise, i mod {})", folds, folds);
}

Validation ParseValidation(const std::string& text) {
    Validation v;
    if (text == "resubstitution") return v;
    if (text == "loo") {
        v.kind = Validation::Kind::kLeaveOneOut;
        return v;
    }
    const std::string kfold = "kfold";
    if (text.compare(0, kfold.size(), kfold) == 0) {
        v.kind = Validation::Kind::kKFold;
        v.folds = kDefaultFolds;
        if (text.size() == kfold.size()) return v;
        if (text[kfold.size()] == ':') {
            const std::string k = text.substr(kfold.size() + 1);
            char* end = nullptr;
            errno = 0;
            const long folds = k.empty() ? 0 : std::strtol(k.c_str(), &end, 10);
            if (!k.empty() && *end == '\0' && errno == 0 && k[0] != '-' && k[0] != '+') {
                if (folds < 2 || folds > 1000000)
                    throw OrvaneError(fmt::format(
                        "kfold:{} has too few folds: K must be at least 2.", k));
                v.folds = static_cast<int>(folds);
                return v;
            }
        }
    }
    throw OrvaneError("Unknown validation \"" + EscapeControls(text) +
                      "\": use resubstitution, loo or kfold[:K] (K a whole number of at "
                      "least 2, default 5).");
}

void RequireFoldsFit(const Validation& validation, const std::vector<int>& sizes,
                     const std::vector<std::string>& names) {
    if (validation.Resubstitution() || sizes.empty()) return;
    const auto smallest = std::min_element(sizes.begin(), sizes.end());
    const std::string name = names.at(static_cast<size_t>(smallest - sizes.begin()));
    if (validation.kind == Validation::Kind::kLeaveOneOut) {
        if (*smallest < 2)
            throw OrvaneError(fmt::format(
                "Leave-one-out is not possible: class {} has {} spectrum, so holding it out "
                "leaves the class without spectra.",
                name, *smallest));
        return;
    }
    if (validation.folds > *smallest)
        throw OrvaneError(fmt::format(
            "{} validation is not possible: class {} has only {} spectra, so some folds "
            "would hold none of it. Choose K between 2 and {}, or leave-one-out.",
            validation.Name(), name, *smallest, std::max(*smallest, 2)));
}

ClassStatistics StatisticsOfColumns(const Matrix& rows, const std::vector<char>& keep) {
    ClassStatistics s;
    WithMatrixErrors(kMatrixFailed, [&] {
        if (keep.empty()) {
            s.n = rows.Ncols();
            s.mean = RowMeans(rows);
            s.cov = CovarianceOfColumns(rows);
            return;
        }
        const int n = static_cast<int>(std::count(keep.begin(), keep.end(), 1));
        Matrix kept(rows.Nrows(), n);
        int j = 0;
        for (int c = 0; c < rows.Ncols(); ++c)
            if (keep[static_cast<size_t>(c)]) kept.Column(++j) = rows.Column(c + 1);
        s.n = n;
        if (n == 0) {
            s.mean.ReSize(rows.Nrows(), 1);
            s.mean = 0.0;
            s.cov.ReSize(rows.Nrows(), rows.Nrows());
            s.cov = 0.0;
            return;
        }
        s.mean = RowMeans(kept);
        s.cov = CovarianceOfColumns(kept);
    });
    return s;
}

namespace {

// Each class's statistics from its columns that `held_out(c, j)` leaves in. Mahalanobis
// (shrunk) also needs each class's Ledoit-Wolf intensity, computed on features standardised
// over all the training spectra together, so it is recomputed for every training set.
std::vector<ClassStatistics> TrainingStatistics(Classifier classifier,
                                                const std::vector<Matrix>& rows,
                                                const std::function<bool(int, int)>& held_out) {
    std::vector<ClassStatistics> training;
    std::vector<Matrix> kept;
    for (size_t c = 0; c < rows.size(); ++c) {
        const Matrix& r = rows[c];
        std::vector<char> keep(static_cast<size_t>(r.Ncols()));
        for (int j = 0; j < r.Ncols(); ++j)
            keep[static_cast<size_t>(j)] = held_out(static_cast<int>(c), j) ? 0 : 1;
        training.push_back(StatisticsOfColumns(r, keep));
        if (!NeedsShrinkage(classifier)) continue;
        Matrix columns(r.Nrows(), training.back().n);
        for (int j = 0, out = 0; j < r.Ncols(); ++j)
            if (keep[static_cast<size_t>(j)]) columns.Column(++out) = r.Column(j + 1);
        kept.push_back(std::move(columns));
    }
    if (NeedsShrinkage(classifier)) {
        std::vector<const Matrix*> features;
        for (const Matrix& m : kept) features.push_back(&m);
        SetLedoitWolfShrinkage(training, features);
    }
    return training;
}

}  // namespace

ValidationCounts CrossValidate(Classifier classifier, const std::vector<Matrix>& rows,
                               const Validation& validation,
                               const std::function<bool()>& cancelled) {
    const int k = static_cast<int>(rows.size());
    ValidationCounts result;
    result.counts.ReSize(k, k);
    result.counts = 0.0;
    result.unmodelled_sets.assign(static_cast<size_t>(k), 0);
    const std::vector<ClassStatistics> all =
        TrainingStatistics(classifier, rows, [](int, int) { return false; });

    // The cancel request is asked on the calling thread only (worker 0, and before and after
    // each loop: the other workers may take every set), where the faces answer it. Each
    // held-out set's models and verdicts, recorded by the set's number and added up in
    // that order, so any number of threads gives the same counts.
    struct HeldOut {
        std::vector<char> unmodelled;
        std::vector<std::pair<int, int>> verdicts;  // (winner, reference)
    };
    auto hold_out = [&](const ClassModels& models, HeldOut& set) {
        set.unmodelled.assign(static_cast<size_t>(k), 0);
        for (int c = 0; c < k; ++c) set.unmodelled[static_cast<size_t>(c)] = !models.Modelled(c);
    };
    auto verdict = [&](const ClassModels& models, int reference, int spectrum) {
        const std::vector<double> x = Column(rows[static_cast<size_t>(reference)], spectrum);
        return std::pair<int, int>(Classify(models, x.data()).winner, reference);
    };
    auto add = [&](const HeldOut& set) {
        ++result.held_out_sets;
        for (int c = 0; c < k; ++c)
            result.unmodelled_sets[static_cast<size_t>(c)] += set.unmodelled[static_cast<size_t>(c)];
        for (const auto& [winner, reference] : set.verdicts)
            result.counts(winner + 1, reference + 1) += 1.0;
    };

    CheckCancelled(cancelled);
    switch (validation.kind) {
        case Validation::Kind::kResubstitution: {
            const ClassModels models(classifier, all);
            HeldOut set;
            hold_out(models, set);
            for (int c = 0; c < k; ++c)
                for (int j = 0; j < rows[static_cast<size_t>(c)].Ncols(); ++j)
                    set.verdicts.push_back(verdict(models, c, j));
            add(set);
            break;
        }
        case Validation::Kind::kLeaveOneOut: {
            // One held-out set per spectrum, numbered class by class.
            std::vector<std::pair<int, int>> spectra;
            for (int c = 0; c < k; ++c)
                for (int j = 0; j < rows[static_cast<size_t>(c)].Ncols(); ++j)
                    spectra.emplace_back(c, j);
            std::vector<HeldOut> sets(spectra.size());
            if (NeedsShrinkage(classifier)) {
                // Every held-out spectrum moves the standardisation of all classes: no
                // down-date, each training set is estimated afresh.
                ParallelFor(spectra.size(), [&](size_t s, int worker) {
                    if (worker == 0) CheckCancelled(cancelled);
                    const int c = spectra[s].first;
                    const int j = spectra[s].second;
                    const ClassModels models(
                        classifier, TrainingStatistics(classifier, rows, [&](int cc, int jj) {
                            return cc == c && jj == j;
                        }));
                    hold_out(models, sets[s]);
                    sets[s].verdicts.push_back(verdict(models, c, j));
                });
            } else {
                // Class by class: the models of all classes are made once per class, and one
                // class's down-dates follow each other.
                std::vector<size_t> first(static_cast<size_t>(k) + 1, 0);
                for (int c = 0; c < k; ++c)
                    first[static_cast<size_t>(c) + 1] =
                        first[static_cast<size_t>(c)] +
                        static_cast<size_t>(rows[static_cast<size_t>(c)].Ncols());
                ParallelFor(static_cast<size_t>(k), [&](size_t cu, int worker) {
                    if (worker == 0) CheckCancelled(cancelled);
                    const int c = static_cast<int>(cu);
                    const Matrix& r = rows[cu];
                    ClassModels models(classifier, all);
                    for (int j = 0; j < r.Ncols(); ++j) {
                        HeldOut& set = sets[first[cu] + static_cast<size_t>(j)];
                        models.SetClass(c, WithoutOne(all[cu], Column(r, j)));
                        hold_out(models, set);
                        set.verdicts.push_back(verdict(models, c, j));
                    }
                });
            }
            CheckCancelled(cancelled);
            for (const HeldOut& set : sets) add(set);
            break;
        }
        case Validation::Kind::kKFold: {
            const int folds = validation.folds;
            std::vector<HeldOut> sets(static_cast<size_t>(folds));
            ParallelFor(static_cast<size_t>(folds), [&](size_t fu, int worker) {
                if (worker == 0) CheckCancelled(cancelled);
                const int f = static_cast<int>(fu);
                const ClassModels models(
                    classifier, TrainingStatistics(classifier, rows, [&](int, int j) {
                        return j % folds == f;
                    }));
                hold_out(models, sets[fu]);
                for (int c = 0; c < k; ++c)
                    for (int j = f; j < rows[static_cast<size_t>(c)].Ncols(); j += folds)
                        sets[fu].verdicts.push_back(verdict(models, c, j));
            });
            CheckCancelled(cancelled);
            for (const HeldOut& set : sets) add(set);
            break;
        }
    }
    return result;
}

}  // namespace orvane
