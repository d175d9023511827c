// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/separability.h"

#include <cmath>
#include <limits>

#include <nlohmann/json.hpp>

#include "base/frontend.h"
#include "chain/chain_description.h"
#include "base/matrix_errors.h"
#include "base/matrix_stats.h"
#include "base/orvane_error.h"
#include "base/shown_text.h"
#include "base/text_file.h"
#include "stats/result_record.h"
#include "stats/spectral_statistics.h"
#include "base/output_folder.h"

namespace orvane {

namespace {

constexpr double kInfinite = std::numeric_limits<double>::infinity();
constexpr double kNotModelled = std::numeric_limits<double>::quiet_NaN();
constexpr const char* kSeparabilityFailed = "Separability analysis failed: ";

// The classes the report compares: those the library holds now, as classification uses them.
// Which libraries qualify (current, of the current study) is decided here and only here.
void RequireSeparabilityLibrary(const SpectralStatistics& library) {
    const std::string reason = library.NotReadyReason();
    if (!reason.empty())
        throw LibraryNotReadyError("Library Not Ready: " + reason, library.NotReadyRemedy());
}

}  // namespace

const char* DistanceName(int distance) {
    const auto* choice = kDistances.Of(static_cast<SeparabilitySettings::Distance>(distance));
    return choice ? choice->label : kDistances.Of(SeparabilitySettings::kBoth)->label;
}

double BhattacharyyaDistance(const GaussianClass& i, const GaussianClass& j) {
    if (!std::isfinite(i.log_det) || !std::isfinite(j.log_det)) return kInfinite;
    // A singular mean covariance separates the classes completely; any other failure (classes
    // of different dimensions) is the program's error.
    return WithMatrixErrors(kSeparabilityFailed, [&] {
        try {
            const Matrix a = (*i.cov + *j.cov) / 2.0;
            const Matrix d = *i.mean - *j.mean;
            // One LU decomposition gives both the log-determinant and the solve.
            const NEWMAT::CroutMatrix lu(a);
            const NEWMAT::LogAndSign ld = lu.LogDeterminant();
            if (ld.Sign() <= 0) return kInfinite;
            const Matrix solved = lu.i() * d;
            double quad = 0.0;
            for (int r = 1; r <= d.Nrows(); ++r) quad += d(r, 1) * solved(r, 1);
            return quad / 8.0 + 0.5 * (ld.LogValue() - 0.5 * i.log_det - 0.5 * j.log_det);
        } catch (const NEWMAT::SingularException&) {
            return kInfinite;
        }
    });
}

double JeffriesMatusita(double b) { return 2.0 * (1.0 - std::exp(-b)); }

namespace {

// B of every pair of `means` and `covs`; a pair with a class that is not `modelled` has none.
Matrix Pairwise(const std::vector<const Matrix*>& means, const std::vector<const Matrix*>& covs,
                const std::vector<bool>& modelled) {
    const int k = static_cast<int>(means.size());
    std::vector<GaussianClass> classes(static_cast<size_t>(k));
    return WithMatrixErrors(kSeparabilityFailed, [&] {
            for (size_t c = 0; c < classes.size(); ++c)
                classes[c] = {means[c], covs[c], LogDeterminant(*covs[c])};
            Matrix b(k, k);
            b = 0.0;
            for (int r = 0; r < k; ++r) {
                for (int c = r + 1; c < k; ++c) {
                    // A covariance that cannot be estimated gives no distance, not a large one.
                    const bool unmodelled =
                        !modelled[static_cast<size_t>(r)] || !modelled[static_cast<size_t>(c)];
                    const double v =
                        unmodelled ? kNotModelled
                                   : BhattacharyyaDistance(classes[static_cast<size_t>(r)],
                                                           classes[static_cast<size_t>(c)]);
                    b(r + 1, c + 1) = v;
                    b(c + 1, r + 1) = v;
                }
            }
            return b;
    });
}

}  // namespace

Matrix PairwiseBhattacharyya(const SpectralStatistics& library) {
    std::vector<const Matrix*> means, covs;
    std::vector<bool> modelled;
    for (int c = 0; c < library.ClassCount(); ++c) {
        means.push_back(&library.Class(c).mean);
        covs.push_back(&library.Class(c).cov);
        modelled.push_back(library.CovarianceProblemOf(c).empty());
    }
    return Pairwise(means, covs, modelled);
}

Matrix PairwiseBhattacharyya(const std::vector<ClassStatistics>& classes) {
    std::vector<const Matrix*> means, covs;
    std::vector<bool> modelled;
    for (const ClassStatistics& c : classes) {
        means.push_back(&c.mean);
        covs.push_back(&c.cov);
        modelled.push_back(WithMatrixErrors(kSeparabilityFailed, [&] {
            return CovarianceProblem(c.cov, c.n).empty();
        }));
    }
    return Pairwise(means, covs, modelled);
}

ResultJson SeparabilityRecord(const SpectralStatistics& library, const Matrix& distances,
                              const SeparabilitySettings& settings) {
    const bool jm = settings.distance != SeparabilitySettings::kB;
    const bool b = settings.distance != SeparabilitySettings::kJM;
    const int k = library.ClassCount();
    ProvenanceOptions options;
    options.library_id = library.LibraryId();
    options.classifier = false;
    options.validation.clear();
    ResultJson record;
    record["analysis"] = "separability";
    record["provenance"] = Provenance(library.Session(), options);
    record["distance"] = DistanceName(settings.distance);
    ResultJson classes = ResultJson::array();
    for (int c = 0; c < k; ++c)
        classes.push_back({{"name", library.Class(c).NameOfType(settings.name_type)},
                           {"folder", library.Class(c).folder_name}});
    record["classes"] = classes;
    ResultJson pairs = ResultJson::array();
    for (int r = 1; r <= k; ++r) {
        for (int c = r + 1; c <= k; ++c) {
            ResultJson pair;
            pair["class1"] = library.Class(r - 1).NameOfType(settings.name_type);
            pair["class2"] = library.Class(c - 1).NameOfType(settings.name_type);
            if (jm) pair["jm"] = JsonNumber(JeffriesMatusita(distances(r, c)));
            if (b) pair["b"] = JsonNumber(distances(r, c));
            pairs.push_back(pair);
        }
    }
    record["pairs"] = pairs;
    return record;
}

SeparabilityResult SeparabilityReport(const SpectralStatistics& library,
                               const OutputFolder& output, Frontend& frontend,
                               const SeparabilitySettings& settings) {
    RequireSeparabilityLibrary(library);
    const std::string missing = library.MissingNamesNote(settings.name_type);
    if (!missing.empty()) frontend.Report(missing);
    const std::string name = DistanceName(settings.distance);
    const bool jm = settings.distance != SeparabilitySettings::kB;
    const bool b = settings.distance != SeparabilitySettings::kJM;
    SeparabilityResult result;
    result.distances = PairwiseBhattacharyya(library);
    const Matrix& distances = result.distances;
    const std::string path = output.PathFor(name + " output", "csv");
    TextFile file(path, '#');
    if (!file.OpenForWriting()) {
        frontend.Error(CannotWriteMessage(path, file.FailureReason()));
        return result;
    }
    const int k = library.ClassCount();
    file.WriteString(",");
    for (int c = 0; c < k; ++c)
        file.WriteString(CsvQuoted(library.Class(c).NameOfType(settings.name_type)) + ",");
    file.WriteEol();
    for (int r = 1; r <= k; ++r) {
        file.WriteString(CsvQuoted(library.Class(r - 1).NameOfType(settings.name_type)));
        for (int c = 1; c <= k; ++c) {
            if (c == r) {
                file.WriteString(",-");
                continue;
            }
            file.WriteString(",");
            const double v = distances(r, c);
            if (std::isnan(v)) {
                if ((c > r && jm) || (c < r && b)) file.WriteString("n/a");
                continue;
            }
            if (c > r && jm) file.WriteDouble(JeffriesMatusita(v));
            if (c < r && b) {
                if (std::isinf(v))
                    file.WriteString("Inf.");
                else
                    file.WriteDouble(v);
            }
        }
        file.WriteEol();
    }
    if (!file.Close()) {
        frontend.Error(CannotReplaceMessage(path, file.FailureReason()));
        return result;
    }
    std::string unmodelled;
    for (int c = 0; c < k; ++c)
        if (!library.CovarianceProblemOf(c).empty())
            unmodelled += "\n  " + EscapeControls(library.Class(c).folder_name) + ": " +
                          library.CovarianceProblemOf(c);
    if (!unmodelled.empty())
        unmodelled = "\n\nn/a for every pair with these classes: their covariance cannot be "
                     "estimated in this feature space." +
                     unmodelled;
    frontend.Report("Separability Analysis\n" +
                    DescribeChain(library.Session(), {true, true, true, false}) + "\nUsing " +
                    name + " distance" + unmodelled +
                    "\n\n" + name + " output written to file:\n" + path);
    WriteJsonBeside(path, SeparabilityRecord(library, distances, settings), frontend);
    result.path = path;
    return result;
}

}  // namespace orvane
