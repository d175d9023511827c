// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/sensor_comparison.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <set>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "base/frontend.h"
#include "chain/chain_description.h"
#include "base/orvane_error.h"
#include "base/output_folder.h"
#include "base/shown_text.h"
#include "base/text_file.h"
#include "chain/chain_options.h"
#include "chain/chain_definition_repository.h"
#include "chain/compiled_chain.h"
#include "chain/feature_space.h"
#include "chain/processing_session.h"
#include "spectra/sensor.h"
#include "spectra/spectrum.h"
#include "stats/discriminant_analysis.h"
#include "stats/result_record.h"
#include "stats/separability.h"
#include "stats/spectral_statistics.h"
#include "study/study_loader.h"

namespace orvane {

namespace {

std::shared_ptr<const Sensor> LoadedSensor(const ProcessingSession& session, int sensor_id) {
    for (const auto& sensor : session.Sensors())
        if (sensor->SensorId() == sensor_id) return sensor;
    return nullptr;
}

std::string Quoted(const std::string& name) { return "\"" + EscapeControls(name) + "\""; }

// The session's chain on another sensor, with the feature space loaded for it (mapped to its
// bands, or with its own principal components); refuses when the space is not offered there,
// by the rule the feature-space list of either face follows. The session stays as it is.
std::shared_ptr<const CompiledChain> ChainOnSensor(ProcessingSession& session,
                                                   const std::shared_ptr<const Sensor>& on,
                                                   const FeatureSpace& space) {
    const Sensor& sensor = *on;
    ChainSpec definition = session.Settings();
    definition.sensor = on;
    definition.feature_space = nullptr;
    bool offered = false;
    for (const FeatureSpaceItem& item : ListFeatureSpaces(session.Db(), definition, space.Type()))
        if (item.id == space.Id()) offered = true;
    const std::string what =
        "Feature space " + Quoted(space.Name()) + " (" + space.TypeName() + ")";
    if (!offered) {
        if (space.Type() == kFeaturePCT && CurrentPcaDataId(session.Db(), definition) == 0)
            throw OrvaneError(what + " takes its components from each sensor's principal " +
                              "component analysis, and sensor " + Quoted(sensor.Name()) +
                              " has none of the current study and chain settings; run the " +
                              "principal component analysis with that sensor first.");
        throw OrvaneError(what + " has " + std::to_string(space.Dimension()) +
                          " features, more than the " + std::to_string(sensor.ElementCount()) +
                          " bands of sensor " + Quoted(sensor.Name()) + ".");
    }
    try {
        definition.feature_space = ChainSpecRepository(session.Db()).FeatureSpaceFor(definition, space.Id());
        return CompiledChain::Compile(std::move(definition));
    } catch (const OrvaneError& e) {
        throw OrvaneError("Sensor " + Quoted(sensor.Name()) + ": " + e.what(), e.GetRemedy());
    }
}

void SummariseSeparability(const SpectralStatistics& library, int name_type,
                           SensorComparisonRow& row) {
    const Matrix b = PairwiseBhattacharyya(library);
    const int k = library.ClassCount();
    double sum = 0.0;
    row.min_jm = std::nan("");
    for (int i = 1; i <= k; ++i) {
        for (int j = i + 1; j <= k; ++j) {
            if (!std::isfinite(b(i, j))) continue;
            const double jm = JeffriesMatusita(b(i, j));
            sum += jm;
            ++row.jm_pairs;
            // Strictly smaller, so a tie keeps the first pair in library order.
            if (row.jm_pairs == 1 || jm < row.min_jm) {
                row.min_jm = jm;
                row.closest_first = library.Class(i - 1).NameOfType(name_type);
                row.closest_second = library.Class(j - 1).NameOfType(name_type);
            }
        }
    }
    row.mean_jm = row.jm_pairs > 0 ? sum / row.jm_pairs : std::nan("");
}

SensorComparisonRow CompareOn(ProcessingSession& session, StudyLoader& loader,
                              Frontend& frontend, const SensorComparisonOptions& options,
                              const Validation& validation, const Sensor& sensor,
                              std::shared_ptr<const CompiledChain> chain,
                              std::string& names_note) {
    SensorComparisonRow row;
    row.sensor_id = sensor.SensorId();
    row.sensor = sensor.Name();
    row.validation = validation.Name();
    SpectralStatistics library(session, loader);
    library.PinChain(std::move(chain));
    library.SetStudy(session.StudyId());
    library.LoadLibrary();
    if (!library.NotReadyReason().empty() &&
        library.NotReadyRemedy() == Remedy::kBuildLibrary) {
        // The build fills the first half of this sensor's share, the check the second.
        ProgressSlice build(frontend, 0, 50);
        library.BuildLibrary(frontend);
        row.library_built = true;
    }
    try {
        library.RequireReady();
    } catch (const LibraryNotReadyError& e) {
        throw LibraryNotReadyError("Sensor " + Quoted(sensor.Name()) + ": " + e.what(),
                                   e.GetRemedy());
    }
    const int k = library.ClassCount();
    row.classes = k;
    row.classes_modelled = library.ModelledClassCount();
    // Which classes a sensor cannot model differs from sensor to sensor, and its row's
    // figures leave them out, so each sensor's note comes before the table.
    std::string unmodelled = library.UnmodelledNote();
    std::string validation_note;
    Matrix counts;
    {
        ProgressSlice check(frontend, 50, 100);
        ProgressScope progress(frontend, "Comparing sensors: " + sensor.Name(), k);
        counts = validation.Resubstitution()
                     ? ResubstitutionCounts(library, loader, frontend,
                                            [&](int done) { frontend.StepProgress(done); })
                     : ValidatedCounts(library, loader, frontend, validation,
                                       options.name_type, &validation_note);
    }
    // The validation's own note starts with the validation, which the table names; the rest
    // lists the classes some held-out sets left unmodelled.
    const size_t held_out = validation_note.find('\n');
    if (held_out != std::string::npos)
        unmodelled += (unmodelled.empty() ? "" : "\n") + validation_note.substr(held_out + 1);
    if (!unmodelled.empty())
        frontend.Report("Sensor " + Quoted(sensor.Name()) + ": " + unmodelled);
    row.overall_accuracy = OverallAccuracy(counts, k);
    row.kappa = CohensKappa(counts, k);
    SummariseSeparability(library, options.name_type, row);
    if (names_note.empty()) names_note = library.MissingNamesNote(options.name_type);
    return row;
}

std::string Figure(double value, int decimals) {
    return std::isfinite(value) ? fmt::format("{:.{}f}", value, decimals) : std::string("n/a");
}

void WriteFigure(TextFile& file, double value) {
    if (std::isfinite(value))
        file.WriteDouble(value);
    else
        file.WriteString("n/a");
}

std::string WriteTable(const SensorComparison& comparison, const OutputFolder& output,
                       Frontend& frontend) {
    const std::string path = output.PathFor("sensor_comparison", "csv");
    TextFile file(path, '#');
    if (!file.OpenForWriting()) {
        frontend.Error(CannotWriteMessage(path, file.FailureReason()));
        return "";
    }
    file.WriteStringLn(
        "Sensor,Sensor Id,Classes,Classes Modelled,Overall Accuracy,Kappa,Validation,Min JM,"
        "Mean JM,JM Pairs,Min JM Class 1,Min JM Class 2");
    for (const SensorComparisonRow& r : comparison.rows) {
        file.WriteString(CsvQuoted(r.sensor) + ",");
        file.WriteString(fmt::format("{},{},{},", r.sensor_id, r.classes, r.classes_modelled));
        WriteFigure(file, r.overall_accuracy);
        file.WriteString(",");
        WriteFigure(file, r.kappa);
        file.WriteString("," + CsvQuoted(r.validation) + ",");
        WriteFigure(file, r.min_jm);
        file.WriteString(",");
        WriteFigure(file, r.mean_jm);
        file.WriteString(fmt::format(",{},", r.jm_pairs));
        file.WriteString(CsvQuoted(r.closest_first) + "," + CsvQuoted(r.closest_second));
        file.WriteEol();
    }
    if (!file.Close()) {
        frontend.Error(CannotReplaceMessage(path, file.FailureReason()));
        return "";
    }
    return path;
}

}  // namespace

SensorComparison CompareSensors(ProcessingSession& session, StudyLoader& loader,
                                const OutputFolder& output, Frontend& frontend,
                                const SensorComparisonOptions& options) {
    if (options.sensor_ids.empty()) throw OrvaneError("Choose at least one sensor to compare.");
    // Refused here, before any library is built.
    const Validation validation = ParseValidation(options.validation);
    const FeatureSpace* current = session.CurrentFeatureSpace();
    if (!current)
        throw OrvaneError(
            "No feature space is selected; choose the one to compare the sensors in.");
    const FeatureSpace& space = *current;
    std::vector<std::shared_ptr<const Sensor>> sensors;
    std::set<int> seen;
    for (int id : options.sensor_ids) {
        std::shared_ptr<const Sensor> sensor = LoadedSensor(session, id);
        if (!sensor)
            throw OrvaneError("Sensor " + std::to_string(id) +
                              " is not loaded; only sensors of a known response type can be "
                              "compared.");
        if (!seen.insert(id).second)
            throw OrvaneError("Sensor " + Quoted(sensor->Name()) +
                              " is listed twice; give each sensor once.");
        sensors.push_back(sensor);
    }
    SensorComparison comparison;
    comparison.study = session.StudyName();
    comparison.feature_space = space.Name();
    comparison.feature_space_type = space.TypeName();
    comparison.dimension = space.Dimension();
    comparison.chain = DescribeChain(session, {false, true, true, true});
    // Each sensor runs its own chain; every one is made before any library is built, so a
    // refusal costs nothing.
    std::vector<std::shared_ptr<const CompiledChain>> chains;
    for (const auto& sensor : sensors) chains.push_back(ChainOnSensor(session, sensor, space));
    std::string names_note;
    const double share = 100.0 / static_cast<double>(sensors.size());
    for (size_t i = 0; i < sensors.size(); ++i) {
        const Sensor& sensor = *sensors[i];
        if (frontend.Cancelled()) throw Cancelled("cancelled: sensor comparison");
        // Each sensor's build and check fill its own share of the one progress bar.
        ProgressSlice slice(frontend, share * static_cast<double>(i),
                            share * static_cast<double>(i + 1));
        comparison.rows.push_back(CompareOn(session, loader, frontend, options, validation,
                                            sensor, chains[i], names_note));
    }
    if (!names_note.empty()) frontend.Report(names_note);
    comparison.path = WriteTable(comparison, output, frontend);
    if (!comparison.path.empty()) {
        // The rows' libraries differ by sensor; each row names its sensor, and the provenance
        // the chain and feature space they share (the session's own sensor is restored later).
        ProvenanceOptions provenance;
        provenance.validation = validation.Description();
        ResultJson record;
        record["analysis"] = "sensor comparison";
        record["provenance"] = Provenance(session, provenance);
        record["provenance"]["sensor"] = nullptr;
        ResultJson rows = ResultJson::array();
        for (const SensorComparisonRow& r : comparison.rows)
            rows.push_back({{"sensor", {{"id", r.sensor_id}, {"name", r.sensor}}},
                            {"classes", r.classes},
                            {"classes_modelled", r.classes_modelled},
                            {"library_built", r.library_built},
                            {"overall_accuracy", JsonNumber(r.overall_accuracy)},
                            {"kappa", JsonNumber(r.kappa)},
                            {"validation", r.validation},
                            {"min_jm", JsonNumber(r.min_jm)},
                            {"mean_jm", JsonNumber(r.mean_jm)},
                            {"jm_pairs", r.jm_pairs},
                            {"closest_pair", r.jm_pairs > 0
                                                 ? ResultJson{r.closest_first, r.closest_second}
                                                 : ResultJson(nullptr)}});
        record["rows"] = rows;
        WriteJsonBeside(comparison.path, record, frontend);
    }
    std::string text = FormatSensorComparison(comparison);
    if (!comparison.path.empty()) text += "\nSensor comparison written to file:\n" + comparison.path;
    frontend.Report(text);
    return comparison;
}

std::string FormatSensorComparison(const SensorComparison& comparison) {
    std::vector<std::vector<std::string>> cells = {
        {"Sensor", "Classes", "Overall Accuracy", "Kappa", "Validation", "Min JM", "Mean JM",
         "Closest pair"}};
    for (const SensorComparisonRow& r : comparison.rows) {
        const std::string pair = r.jm_pairs > 0 ? EscapeControls(r.closest_first) + " / " +
                                                      EscapeControls(r.closest_second)
                                                : std::string("n/a");
        cells.push_back({EscapeControls(r.sensor),
                         fmt::format("{} of {}", r.classes_modelled, r.classes),
                         std::isfinite(r.overall_accuracy)
                             ? fmt::format("{:.2f} %", r.overall_accuracy)
                             : std::string("n/a"),
                         Figure(r.kappa, 4), r.validation, Figure(r.min_jm, 4),
                         Figure(r.mean_jm, 4), pair});
    }
    std::vector<size_t> widths(cells.front().size(), 0);
    for (const auto& row : cells)
        for (size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], DisplayWidth(row[c]));
    std::string text = "Sensor Comparison\nStudy " + Quoted(comparison.study) +
                       ", feature space " + Quoted(comparison.feature_space) + " (" +
                       comparison.feature_space_type + ", " +
                       std::to_string(comparison.dimension) + " features)\n" +
                       (comparison.chain.empty() ? "" : comparison.chain + "\n");
    for (const auto& row : cells) {
        std::string line;
        for (size_t c = 0; c < row.size(); ++c) {
            const std::string pad(widths[c] - DisplayWidth(row[c]), ' ');
            // Names and words to the left, figures to the right.
            const bool left = c == 0 || c == 4 || c == 7;
            if (c > 0) line += "  ";
            line += left ? row[c] + (c + 1 < row.size() ? pad : "") : pad + row[c];
        }
        text += line + "\n";
    }
    return text;
}

}  // namespace orvane
