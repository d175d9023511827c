// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/discriminant_analysis.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "base/frontend.h"
#include "base/output_folder.h"
#include "base/shown_text.h"
#include "chain/processing_chain.h"
#include "chain/chain_description.h"
#include "base/text_file.h"
#include "chain/processing_session.h"
#include "spectra/site.h"
#include "spectra/species.h"
#include "stats/cross_validation.h"
#include "stats/spectral_statistics.h"
#include "store/study_repository.h"
#include "study/study_loader.h"

namespace orvane {

namespace {

Matrix EmptyErrorMatrix(int k) {
    Matrix e(k + 2, k + 2);
    e = 0.0;
    return e;
}

void WriteSummaryLine(TextFile& file, const char* label, double value) {
    file.WriteString(label);
    file.WriteDoubleLn(value);
}

// Minimum, maximum and mean over the finite values; the minimum starts at 100 and the maximum
// at 0 as accuracies are percentages.
void WriteSummary(TextFile& file, const std::vector<double>& values, const char* min_label,
                  const char* max_label, const char* mean_label) {
    double low = 100.0;
    double high = 0.0;
    double sum = 0.0;
    int n = 0;
    for (double v : values) {
        if (!std::isfinite(v)) continue;
        low = std::min(low, v);
        high = std::max(high, v);
        sum += v;
        ++n;
    }
    WriteSummaryLine(file, min_label, low);
    WriteSummaryLine(file, max_label, high);
    WriteSummaryLine(file, mean_label, sum / n);
}

std::string PadLeft(const std::string& text, size_t width) {
    const size_t w = DisplayWidth(text);
    return w >= width ? text : std::string(width - w, ' ') + text;
}

std::string PadRight(const std::string& text, size_t width) {
    const size_t w = DisplayWidth(text);
    return w >= width ? text : text + std::string(width - w, ' ');
}

// The report names a class by the chosen name, or by its folder when that name is empty.
std::vector<std::string> ReportNames(const SpectralStatistics& library, int name_type) {
    std::vector<std::string> names;
    for (int c = 0; c < library.ClassCount(); ++c) {
        std::string name = library.Class(c).NameOfType(name_type);
        names.push_back(name.empty() ? library.Class(c).folder_name : name);
    }
    return names;
}

// Once per run, before any result: the classes the classifier leaves unmodelled, and why.
void ReportUnmodelled(SpectralStatistics& library, Frontend& frontend) {
    const std::string note = library.UnmodelledNote();
    if (!note.empty()) frontend.Report(note);
}

// Once per run: the classes whose chosen name is unset and shown by folder name.
void ReportMissingNames(const SpectralStatistics& library, int name_type, Frontend& frontend) {
    const std::string note = library.MissingNamesNote(name_type);
    if (!note.empty()) frontend.Report(note);
}

std::string Percent(double value) {
    return std::isfinite(value) ? fmt::format("{:.2f} %", value) : std::string("n/a");
}

std::string WriteErrorMatrixOf(Matrix& e, int name_type, const SpectralStatistics& library,
                               const OutputFolder& output, Frontend& frontend,
                               const Validation& validation);

// The heading, the error matrix as a table, its file, the class accuracies with kappa and the
// overall accuracy, in the order users read them; a validated run's note follows the heading.
// `record` holds what the JSON twin of the error matrix says beyond the matrix itself;
// `method` says how the overall accuracy was obtained, as a reader must know to weigh it.
AccuracyResult ReportAccuracy(const std::string& heading, const std::string& method, Matrix& e,
                              int name_type, const SpectralStatistics& library,
                              const OutputFolder& output, Frontend& frontend, ResultJson record,
                              const Validation& validation = Validation(),
                              const std::string& note = "") {
    const int k = library.ClassCount();
    frontend.Report(heading + "\n" + DescribeChain(library.Session()));
    if (!note.empty()) frontend.Report(note);
    const std::vector<std::string> names = ReportNames(library, name_type);
    frontend.Report(FormatErrorMatrix(e, names));
    AccuracyResult result;
    result.names = names;
    // `method` names how the counts were obtained; an independent set is no resubstitution.
    result.validation = method;
    for (int r = 1; r <= k; ++r) {
        std::vector<double> row;
        for (int c = 1; c <= k; ++c) row.push_back(e(r, c));
        result.counts.push_back(std::move(row));
    }
    result.path = WriteErrorMatrixOf(e, name_type, library, output, frontend, validation);
    if (!result.path.empty()) {
        ProvenanceOptions options;
        options.library_id = library.LibraryId();
        options.validation = method;
        record["provenance"] = Provenance(library.Session(), options);
        record.update(ErrorMatrixRecord(e, name_type, library));
        result.json_path = WriteJsonBeside(result.path, record, frontend);
    }
    result.kappa = CohensKappa(e, k);
    std::string accuracies = FormatClassAccuracies(e, names);
    accuracies += "Cohen's kappa: " +
                  (std::isfinite(result.kappa) ? fmt::format("{:.5f}", result.kappa)
                                               : std::string("n/a"));
    frontend.Report(accuracies);
    result.overall_accuracy = e(k + 2, k + 2);
    frontend.Report(
        fmt::format("Overall Accuracy: {:.5f} % ({})", result.overall_accuracy, method));
    return result;
}

// Each class's feature rows (d x n, columns in database id order, the order folds are assigned
// by) from its enabled spectra.
std::vector<Matrix> LibraryFeatureRows(SpectralStatistics& library, StudyLoader& loader,
                                       Frontend& frontend) {
    const int k = library.ClassCount();
    std::vector<Matrix> rows;
    ProgressScope progress(frontend, "Reading the library spectra's features", k);
    std::vector<int64_t> species_ids;
    for (int c = 0; c < k; ++c) species_ids.push_back(library.Class(c).species_id);
    SpeciesReadAhead reader(loader, std::move(species_ids));
    ChainTeam team(library.CompiledInUse());
    for (int c = 0; c < k; ++c) {
        if (frontend.Cancelled()) throw Cancelled("cancelled: discriminant analysis");
        std::unique_ptr<Species> species = reader.Next();
        std::vector<Spectrum*> members;
        for (int i = 0; i < species->MemberCount(); ++i) members.push_back(species->Member(i));
        // Sites come in no defined order; the ids give one that a rerun reproduces.
        std::stable_sort(members.begin(), members.end(), [](const Spectrum* a, const Spectrum* b) {
            return a->spectrum_id_ < b->spectrum_id_;
        });
        // Each spectrum's features as a column.
        Matrix x = library.FeatureRows(team, members).t();
        rows.push_back(std::move(x));
        frontend.StepProgress(c + 1);
    }
    return rows;
}

// Names the classes that some held-out sets left unmodelled, as they were never the winner
// there; empty when there are none.
std::string UnmodelledNote(const ValidationCounts& counts, const std::vector<std::string>& names) {
    std::string text;
    for (size_t c = 0; c < names.size(); ++c)
        if (counts.unmodelled_sets[c] > 0)
            text += fmt::format("\n  {}: unmodelled in {} of {} held-out sets",
                                EscapeControls(names[c]),
                                counts.unmodelled_sets[c], counts.held_out_sets);
    if (text.empty()) return text;
    return "Without their held-out spectra these classes could not be modelled, so they won "
           "nothing there:" + text;
}

// Mahalanobis (shrunk) depends on each class's shrinkage intensity: the report lists them
// before the results they produced.
void ReportShrinkage(SpectralStatistics& library, int name_type, Frontend& frontend) {
    const ClassModels& models = library.Models();
    if (!NeedsShrinkage(models.Kind())) return;
    const std::vector<std::string> names = ReportNames(library, name_type);
    size_t width = 0;
    for (const std::string& name : names)
        width = std::max(width, DisplayWidth(EscapeControls(name)));
    std::string text = "Ledoit-Wolf shrinkage intensities (standardised features)\n";
    for (int c = 0; c < models.Count(); ++c) {
        const double s = models.Statistics(c).shrinkage;
        text += PadRight(EscapeControls(names[static_cast<size_t>(c)]), width) + "  " +
                (std::isfinite(s) ? fmt::format("{:.6f}", s) : std::string("n/a"));
        if (!models.Modelled(c)) text += "  (unmodelled: " + models.Problem(c) + ")";
        text += "\n";
    }
    frontend.Report(text);
}

}  // namespace

void CompleteErrorMatrix(Matrix& e, int k) {
    for (int r = 1; r <= k + 1; ++r) {
        double row = 0.0;
        double column = 0.0;
        for (int c = 1; c <= k; ++c) {
            row += e(r, c);
            column += e(c, r);
        }
        e(r, k + 1) = row;
        e(k + 1, r) = column;
    }
    double trace = 0.0;
    for (int i = 1; i <= k + 1; ++i) {
        e(k + 2, i) = e(i, i) / e(k + 1, i) * 100.0;
        e(i, k + 2) = e(i, i) / e(i, k + 1) * 100.0;
        if (i <= k) trace += e(i, i);
    }
    e(k + 2, k + 2) = trace / e(k + 1, k + 1) * 100.0;
}

double CohensKappa(const Matrix& e, int k) {
    double n = 0.0;
    double agreed = 0.0;
    double chance = 0.0;
    for (int i = 1; i <= k; ++i) {
        double row = 0.0;
        double column = 0.0;
        for (int j = 1; j <= k; ++j) {
            row += e(i, j);
            column += e(j, i);
            n += e(i, j);
        }
        agreed += e(i, i);
        chance += row * column;
    }
    // kappa = (N * sum x_ii - sum x_i+ x_+i) / (N^2 - sum x_i+ x_+i); undefined (NaN) when the
    // chance agreement is total.
    const double denominator = n * n - chance;
    if (denominator == 0.0) return std::nan("");
    return (n * agreed - chance) / denominator;
}

namespace {

// Names are escaped one by one before the table is laid out: the report keeps the entry's own
// line ends, so a line end inside a name would otherwise break the table's rows.
std::vector<std::string> ShownNames(const std::vector<std::string>& names) {
    std::vector<std::string> shown;
    for (const std::string& name : names) shown.push_back(EscapeControls(name));
    return shown;
}

}  // namespace

std::string FormatErrorMatrix(const Matrix& e, const std::vector<std::string>& raw_names) {
    const std::vector<std::string> names = ShownNames(raw_names);
    const int k = static_cast<int>(names.size());
    std::vector<std::vector<std::string>> cells;
    std::vector<std::string> header = {""};
    for (const std::string& name : names) header.push_back(name);
    header.push_back("Row Total");
    cells.push_back(header);
    for (int r = 1; r <= k + 1; ++r) {
        std::vector<std::string> row = {r <= k ? names[static_cast<size_t>(r - 1)]
                                               : std::string("Column Total")};
        double total = 0.0;
        for (int c = 1; c <= k; ++c) {
            double count = 0.0;
            if (r <= k) {
                count = e(r, c);
            } else {
                for (int i = 1; i <= k; ++i) count += e(i, c);
            }
            total += count;
            row.push_back(fmt::format("{:.0f}", count));
        }
        row.push_back(fmt::format("{:.0f}", total));
        cells.push_back(row);
    }
    std::vector<size_t> widths(static_cast<size_t>(k + 2), 0);
    for (const auto& row : cells)
        for (size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], DisplayWidth(row[c]));
    std::string text = "Error matrix (rows: classified as, columns: reference class)\n";
    for (const auto& row : cells) {
        std::string line = PadRight(row[0], widths[0]);
        for (size_t c = 1; c < row.size(); ++c) line += "  " + PadLeft(row[c], widths[c]);
        text += line + "\n";
    }
    return text;
}

std::string FormatClassAccuracies(const Matrix& e, const std::vector<std::string>& raw_names) {
    const std::vector<std::string> names = ShownNames(raw_names);
    const int k = static_cast<int>(names.size());
    const std::string producer = "Producer's accuracy";
    const std::string user = "User's accuracy";
    size_t width = DisplayWidth("Class");
    for (const std::string& name : names) width = std::max(width, DisplayWidth(name));
    std::string text = PadRight("Class", width) + "  " + producer + "  " + user + "\n";
    for (int i = 1; i <= k; ++i) {
        double row = 0.0;
        double column = 0.0;
        for (int j = 1; j <= k; ++j) {
            row += e(i, j);
            column += e(j, i);
        }
        text += PadRight(names[static_cast<size_t>(i - 1)], width) + "  " +
                PadLeft(Percent(e(i, i) / column * 100.0), producer.size()) + "  " +
                PadLeft(Percent(e(i, i) / row * 100.0), user.size()) + "\n";
    }
    return text;
}

ResultJson ErrorMatrixRecord(const Matrix& e, int name_type, const SpectralStatistics& library) {
    const int k = library.ClassCount();
    ResultJson classes = ResultJson::array();
    ResultJson counts = ResultJson::array();
    double n = 0.0;
    for (int i = 1; i <= k; ++i) {
        const LibraryClass& c = library.Class(i - 1);
        classes.push_back({{"name", c.NameOfType(name_type)},
                           {"folder", c.folder_name},
                           {"classified_total", e(i, k + 1)},
                           {"reference_total", e(k + 1, i)},
                           {"producers_accuracy", JsonNumber(e(k + 2, i))},
                           {"users_accuracy", JsonNumber(e(i, k + 2))}});
        ResultJson row = ResultJson::array();
        for (int j = 1; j <= k; ++j) {
            row.push_back(static_cast<long long>(e(i, j)));
            n += e(i, j);
        }
        counts.push_back(row);
    }
    ResultJson record;
    record["classes"] = classes;
    record["error_matrix"] = {
        {"rows", "classified as"}, {"columns", "reference"}, {"counts", counts}};
    record["spectra"] = static_cast<long long>(n);
    record["overall_accuracy"] = JsonNumber(e(k + 2, k + 2));
    record["kappa"] = JsonNumber(CohensKappa(e, k));
    return record;
}

std::string WriteErrorMatrix(Matrix& e, int name_type, const SpectralStatistics& library,
                             const OutputFolder& output, Frontend& frontend) {
    return WriteErrorMatrixOf(e, name_type, library, output, frontend, Validation());
}

namespace {

// The resubstitution file keeps its name and content; a validated run's goes beside it,
// named and closed by its validation.
std::string WriteErrorMatrixOf(Matrix& e, int name_type, const SpectralStatistics& library,
                               const OutputFolder& output, Frontend& frontend,
                               const Validation& validation) {
    const int k = library.ClassCount();
    // The accuracies are computed even when the file cannot be written, so the overall
    // accuracy reported afterwards is the real one.
    CompleteErrorMatrix(e, k);
    const std::string path = output.PathFor(
        validation.Resubstitution() ? std::string("Error Matrix")
                                    : "Error Matrix (" + validation.Name() + ")",
        "csv");
    TextFile file(path, '#');
    if (!file.OpenForWriting()) {
        frontend.Error(CannotWriteMessage(path, file.FailureReason()));
        return "";
    }
    // A validated file is read on its own, often in a paper's table, so every figure in it
    // carries a label; the resubstitution file keeps the layout its readers rely on.
    const bool labelled = !validation.Resubstitution();
    file.WriteString(labelled ? "Classified as / Reference," : ",");
    for (int c = 0; c < k; ++c)
        file.WriteString(CsvQuoted(library.Class(c).NameOfType(name_type)) + ",");
    file.WriteString("Row Total,");
    file.WriteString("User Accuracy");
    file.WriteEol();
    const int n = k + 2;
    for (int r = 1; r <= n; ++r) {
        if (r <= k)
            file.WriteString(CsvQuoted(library.Class(r - 1).NameOfType(name_type)) + ",");
        else
            file.WriteString(r == k + 1 ? "Column Total," : "Producer Accuracy,");
        for (int j = 1; j <= n; ++j) {
            const bool empty = (r == k + 2 && j == k + 1) || (r == k + 1 && j == k + 2) ||
                               (labelled && r == k + 2 && j == k + 2);
            if (!empty) {
                if (j == k + 2 || r == k + 2) {
                    if (std::isfinite(e(r, j))) file.WriteDouble(e(r, j));
                } else {
                    file.WriteInt(static_cast<int>(e(r, j)));
                }
            }
            if (j <= k + 1) file.WriteString(",");
        }
        file.WriteEol();
    }
    file.WriteEol();
    if (labelled) {
        file.WriteString("Overall Accuracy,");
        if (std::isfinite(e(k + 2, k + 2))) file.WriteDouble(e(k + 2, k + 2));
        file.WriteEol();
        const double kappa = CohensKappa(e, k);
        file.WriteString("Kappa,");
        if (std::isfinite(kappa)) file.WriteDouble(kappa);
        file.WriteEol();
    }
    std::vector<double> producer;
    std::vector<double> user;
    for (int i = 1; i <= k; ++i) {
        producer.push_back(e(k + 2, i));
        user.push_back(e(i, k + 2));
    }
    WriteSummary(file, producer, "Prod. Acc. Min,", "Prod. Acc. Max,", "Prod. Acc. Mean,");
    WriteSummary(file, user, "User Acc. Min,", "User Acc. Max,", "User Acc. Mean,");
    if (!validation.Resubstitution()) {
        file.WriteString("Validation," + validation.Description());
        file.WriteEol();
    }
    if (!file.Close()) {
        frontend.Error(CannotReplaceMessage(path, file.FailureReason()));
        return "";
    }
    frontend.Report("Error matrix written to file:\n" + path);
    return path;
}

}  // namespace

Matrix ResubstitutionCounts(SpectralStatistics& library, StudyLoader& loader, Frontend& frontend,
                            const std::function<void(int)>& class_done) {
    const int k = library.ClassCount();
    Matrix e = EmptyErrorMatrix(k);
    // Fitted once; every spectrum is classified by them and the library stays as loaded.
    const ClassModels& models = library.ReadyModels();
    std::vector<int64_t> species_ids;
    for (int c = 0; c < k; ++c) species_ids.push_back(library.Class(c).species_id);
    SpeciesReadAhead reader(loader, std::move(species_ids));
    ChainTeam team(library.CompiledInUse());
    for (int c = 0; c < k; ++c) {
        if (frontend.Cancelled()) throw Cancelled("cancelled: discriminant analysis");
        // The species is read in one go; its enabled spectra are those the per-spectrum query
        // of the study would give.
        std::unique_ptr<Species> species = reader.Next();
        std::vector<Spectrum*> members;
        for (int i = 0; i < species->MemberCount(); ++i) members.push_back(species->Member(i));
        const Matrix x = library.FeatureRows(team, members);
        for (int i = 0; i < x.Nrows(); ++i) {
            const Classification r = Classify(models, x.Store() + i * x.Ncols());
            e(r.winner + 1, c + 1) += 1.0;
        }
        if (class_done) class_done(c + 1);
    }
    return e;
}

double OverallAccuracy(const Matrix& e, int k) {
    double all = 0.0;
    double agreed = 0.0;
    for (int i = 1; i <= k; ++i) {
        agreed += e(i, i);
        for (int j = 1; j <= k; ++j) all += e(i, j);
    }
    return all > 0.0 ? agreed / all * 100.0 : std::nan("");
}

Matrix ValidatedCounts(SpectralStatistics& library, StudyLoader& loader, Frontend& frontend,
                       const Validation& validation, int name_type, std::string* note) {
    const int k = library.ClassCount();
    const std::vector<std::string> names = ReportNames(library, name_type);
    const std::vector<Matrix> rows = LibraryFeatureRows(library, loader, frontend);
    std::vector<int> sizes;
    for (const Matrix& r : rows) sizes.push_back(r.Ncols());
    RequireFoldsFit(validation, sizes, names);
    const ValidationCounts counts =
        CrossValidate(library.Models().Kind(), rows, validation,
                      [&frontend] { return frontend.Cancelled(); });
    Matrix e = EmptyErrorMatrix(k);
    for (int r = 1; r <= k; ++r)
        for (int c = 1; c <= k; ++c) e(r, c) = counts.counts(r, c);
    if (note) {
        *note = "Validation: " + validation.Description();
        if (validation.kind == Validation::Kind::kKFold)
            *note += "; within each class the i-th spectrum by database id (from 0) is in fold "
                     "i mod K";
        const std::string unmodelled = UnmodelledNote(counts, names);
        if (!unmodelled.empty()) *note += "\n" + unmodelled;
    }
    return e;
}

AccuracyResult RunDiscriminantAnalysis(SpectralStatistics& library, StudyLoader& loader,
                                       const OutputFolder& output, Frontend& frontend,
                                       int name_type, const Validation& validation) {
    library.RequireReady();
    ReportUnmodelled(library, frontend);
    ReportMissingNames(library, name_type, frontend);
    ReportShrinkage(library, name_type, frontend);
    if (!validation.Resubstitution()) {
        std::string note;
        Matrix e;
        {
            ProgressScope progress(frontend, "Performing Discriminant Analysis (" +
                                                 validation.Name() + ")", 0);
            e = ValidatedCounts(library, loader, frontend, validation, name_type, &note);
        }
        return ReportAccuracy("Discriminant Analysis (" + validation.Name() + ")",
                              validation.Description(), e, name_type, library, output, frontend,
                              {{"analysis", "discriminant analysis"}}, validation, note);
    }
    Matrix e;
    {
        ProgressScope progress(frontend, "Performing Discriminant Analysis", library.ClassCount());
        e = ResubstitutionCounts(library, loader, frontend,
                                 [&](int done) { frontend.StepProgress(done); });
    }
    return ReportAccuracy("Discriminant Analysis (resubstitution)", "resubstitution", e, name_type,
                          library, output, frontend, {{"analysis", "discriminant analysis"}});
}

std::vector<StudyItem> IndependentStudies(ProcessingSession& session) {
    std::vector<StudyItem> items;
    for (StudyName& study : StudyRepository(session.Db()).OtherStudies(session.StudyId()))
        items.push_back({std::move(study.name), study.study_id});
    if (items.empty()) items.push_back({"No other studies found!", -1});
    return items;
}

AccuracyResult ClassifyIndependentSet(SpectralStatistics& library, StudyLoader& loader,
                                      const OutputFolder& output, ProcessingSession& session,
                                      Frontend& frontend, int study_id, int name_type) {
    library.RequireReady();
    if (study_id == session.StudyId())
        throw OrvaneError("The independent set must be another study than the current one.");
    ReportUnmodelled(library, frontend);
    ReportMissingNames(library, name_type, frontend);
    const std::vector<SpeciesFolder> species_list = StudyRepository(session.Db()).Species(study_id);
    ReportShrinkage(library, name_type, frontend);
    const int k = library.ClassCount();
    Matrix e = EmptyErrorMatrix(k);
    {
        ProgressScope progress(frontend, "Performing classification of indep dataset",
                               static_cast<int>(species_list.size()));
        for (size_t s = 0; s < species_list.size(); ++s) {
            if (frontend.Cancelled()) throw Cancelled("cancelled: classification");
            const int c = library.ClassIndexOf(species_list[s].folder_name);
            if (c < 0) {
                // Without a library class of its name the species has no column to count in.
                frontend.Report("Skipped species " + EscapeControls(species_list[s].folder_name) +
                                ": the library has no class of that folder name");
            } else {
                std::unique_ptr<Species> species = loader.LoadSpecies(species_list[s].species_id);
                const ClassificationResult r = library.ClassifySpecies(*species);
                for (const ClassScore& entry : r.entries)
                    e(entry.class_index + 1, c + 1) += entry.votes;
            }
            frontend.StepProgress(static_cast<int>(s) + 1);
        }
    }
    const std::string study_name = StudyRepository(session.Db()).Name(study_id).value_or("");
    return ReportAccuracy("Library Accuracy Check", "independent set", e, name_type, library,
                          output, frontend,
                          {{"analysis", "independent set"},
                           {"independent_study", {{"id", study_id}, {"name", study_name}}}});
}

std::string SiteAccuracyCheck(SpectralStatistics& library, StudyLoader& loader,
                              Frontend& frontend, int species_id, const OutputFolder* output) {
    library.RequireReady();
    std::unique_ptr<Species> species = loader.LoadSpecies(species_id);
    ReportUnmodelled(library, frontend);
    frontend.Report("Site Accuracy Check for " + EscapeControls(species->folder_name_) + "\n" +
                    DescribeChain(library.Session()));
    ResultJson sites = ResultJson::array();
    ProgressScope progress(frontend, "Checking sites", species->SiteCount());
    for (int s = 0; s < species->SiteCount(); ++s) {
        if (frontend.Cancelled()) throw Cancelled("cancelled: site check; nothing was written");
        frontend.StepProgress(s);
        const Site& site = *species->SiteAt(s);
        ClassificationResult r = library.ClassifySite(*species->SiteAt(s));
        // Library order, before the report's sort by share.
        ResultJson shares = ResultJson::array();
        for (const ClassScore& c : r.entries)
            shares.push_back({{"class", c.name}, {"votes", c.votes}, {"share", JsonNumber(c.share)}});
        r.SortByShare();
        frontend.Report(
            fmt::format("Site {} ({} spectra)\n", site.SiteNumber(), site.MemberCount()) +
            r.Format(0));
        sites.push_back({{"site", site.SiteNumber()},
                         {"spectra", site.MemberCount()},
                         {"winner", r.entries.empty() ? ResultJson(nullptr)
                                                      : ResultJson(r.entries.front().name)},
                         {"classes", shares}});
    }
    if (!output) return "";
    ProvenanceOptions options;
    options.library_id = library.LibraryId();
    ResultJson record;
    record["analysis"] = "site check";
    record["provenance"] = Provenance(library.Session(), options);
    record["species"] = {{"id", species_id}, {"folder", species->folder_name_}};
    record["sites"] = sites;
    return WriteJsonResult(*output, "site_check", record, frontend);
}

}  // namespace orvane
