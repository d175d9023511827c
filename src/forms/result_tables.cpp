// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/result_tables.h"

#include <cmath>

#include <fmt/format.h>

#include "base/text_file.h"
#include "stats/discriminant_analysis.h"
#include "stats/linear_unmixing.h"
#include "stats/map_accuracy.h"
#include "stats/sensor_comparison.h"
#include "stats/separability.h"
#include "stats/spectral_statistics.h"

namespace orvane {

namespace {

std::string Fixed(double value, int digits) {
    if (std::isnan(value)) return "n/a";
    if (std::isinf(value)) return "Inf";
    return fmt::format("{:.{}f}", value, digits);
}

std::string Percent(double value) {
    return std::isfinite(value) ? fmt::format("{:.2f} %", value) : std::string("n/a");
}

std::string Count(double value) { return fmt::format("{:.0f}", value); }

// Every line of the table, header first, as fields; `quote` prepares each field.
template <typename Quote>
std::string Joined(const ResultTable& t, char separator, Quote quote) {
    std::string text;
    auto line = [&](const std::vector<std::string>& fields) {
        for (size_t i = 0; i < fields.size(); ++i) {
            if (i) text += separator;
            text += quote(fields[i]);
        }
        text += '\n';
    };
    std::vector<std::string> header{t.corner};
    header.insert(header.end(), t.columns.begin(), t.columns.end());
    line(header);
    for (size_t r = 0; r < t.rows.size(); ++r) {
        std::vector<std::string> fields{t.rows[r]};
        if (r < t.cells.size()) fields.insert(fields.end(), t.cells[r].begin(), t.cells[r].end());
        line(fields);
    }
    if (!t.notes.empty()) text += '\n';
    for (const auto& [label, value] : t.notes) line({label, value});
    return text;
}

}  // namespace

std::string ResultTable::TabText() const {
    // A tab or line end inside a name would break the grid; a space keeps it readable.
    return Joined(*this, '\t', [](const std::string& field) {
        std::string plain = field;
        for (char& c : plain)
            if (c == '\t' || c == '\n' || c == '\r') c = ' ';
        return plain;
    });
}

std::string ResultTable::Csv() const {
    return Joined(*this, ',', [](const std::string& field) { return CsvQuoted(field); });
}

ResultTable ErrorMatrixTable(const AccuracyResult& result) {
    ResultTable t;
    t.title = "Error Matrix";
    t.corner = "Classified as \\ Reference";
    const size_t k = result.names.size();
    t.columns = result.names;
    t.columns.push_back("Row Total");
    t.columns.push_back("User's Accuracy");
    std::vector<double> column_total(k, 0.0);
    double correct = 0.0;
    double all = 0.0;
    for (size_t r = 0; r < k; ++r) {
        t.rows.push_back(result.names[r]);
        std::vector<std::string> cells;
        double row_total = 0.0;
        for (size_t c = 0; c < k; ++c) {
            const double n = result.counts[r][c];
            cells.push_back(Count(n));
            row_total += n;
            column_total[c] += n;
        }
        correct += result.counts[r][r];
        all += row_total;
        cells.push_back(Count(row_total));
        cells.push_back(Percent(row_total > 0 ? 100.0 * result.counts[r][r] / row_total : NAN));
        t.cells.push_back(std::move(cells));
    }
    std::vector<std::string> totals;
    std::vector<std::string> producers;
    for (size_t c = 0; c < k; ++c) {
        totals.push_back(Count(column_total[c]));
        producers.push_back(
            Percent(column_total[c] > 0 ? 100.0 * result.counts[c][c] / column_total[c] : NAN));
    }
    totals.push_back(Count(all));
    totals.push_back("");
    producers.push_back("");
    producers.push_back("");
    t.rows.push_back("Column Total");
    t.cells.push_back(std::move(totals));
    t.rows.push_back("Producer's Accuracy");
    t.cells.push_back(std::move(producers));
    t.notes.push_back({"Overall Accuracy", Percent(all > 0 ? 100.0 * correct / all : NAN)});
    t.notes.push_back({"Cohen's kappa", Fixed(result.kappa, 4)});
    t.notes.push_back(
        {"Validation", result.validation.empty() ? "resubstitution" : result.validation});
    return t;
}

ResultTable IndependentSetTable(const AccuracyResult& result, const std::string& study) {
    ResultTable t = ErrorMatrixTable(result);
    t.title = "Independent Set";
    for (auto& [label, value] : t.notes)
        if (label == "Validation") value = "independent set: study '" + study + "'";
    return t;
}

std::vector<ResultTable> SeparabilityTables(const std::vector<std::string>& names,
                                            const Matrix& b) {
    ResultTable jm;
    jm.title = "JM Distance";
    jm.corner = "Jeffries-Matusita (0 to 2)";
    ResultTable bt;
    bt.title = "B Distance";
    bt.corner = "Bhattacharyya";
    const int k = static_cast<int>(names.size());
    for (ResultTable* t : {&jm, &bt}) {
        t->columns = names;
        t->rows = names;
        t->cells.assign(k, std::vector<std::string>(k));
        t->scale.assign(k, std::vector<double>(k, -1.0));
    }
    for (int i = 0; i < k; ++i) {
        for (int j = 0; j < k; ++j) {
            if (i == j) {
                jm.cells[i][j] = bt.cells[i][j] = "-";
                continue;
            }
            const double d = b(i + 1, j + 1);
            if (std::isnan(d)) {
                jm.cells[i][j] = bt.cells[i][j] = "n/a";
                continue;
            }
            const double j_m = JeffriesMatusita(d);
            jm.cells[i][j] = Fixed(j_m, 4);
            bt.cells[i][j] = Fixed(d, 4);
            // Both tables share the JM scale, which B maps onto monotonically.
            jm.scale[i][j] = bt.scale[i][j] = j_m / 2.0;
        }
    }
    jm.notes.push_back({"Scale", "JM 2 means fully separable; below about 1.9 the pair is "
                                 "poorly separable"});
    bt.notes.push_back({"Scale", "Inf: a pair whose mean covariance cannot be inverted"});
    return {jm, bt};
}

std::vector<std::string> ClassNames(const SpectralStatistics& library, int name_type) {
    std::vector<std::string> names;
    for (int c = 0; c < library.ClassCount(); ++c) {
        const std::string& name = library.Class(c).NameOfType(name_type);
        names.push_back(name.empty() ? library.Class(c).folder_name : name);
    }
    return names;
}

ResultTable UnmixingTable(const UnmixResult& result) {
    ResultTable t;
    t.title = "Unmixing";
    t.corner = "Mixture \\ Endmember";
    t.columns = result.endmembers;
    t.columns.push_back("Sum");
    t.columns.push_back("Residual RMSE");
    t.columns.push_back("Outside 0-1");
    bool any_recorded = false;
    for (const UnmixedMixture& m : result.mixtures) any_recorded |= m.recorded;
    if (any_recorded)
        for (const std::string& e : result.endmembers) t.columns.push_back(e + " (recorded)");
    for (const UnmixedMixture& m : result.mixtures) {
        t.rows.push_back(m.name);
        std::vector<std::string> cells;
        double sum = 0.0;
        std::string outside;
        for (size_t i = 0; i < m.estimates.size(); ++i) {
            const double a = m.estimates[i];
            cells.push_back(FractionText(a, 4));
            sum += a;
            if (OutsideFractionRange(a) && i < result.endmembers.size())
                outside += (outside.empty() ? "" : ", ") + result.endmembers[i];
        }
        cells.push_back(Fixed(sum, 4));
        cells.push_back(Fixed(m.rmse, 6));
        cells.push_back(outside);
        if (any_recorded)
            for (size_t i = 0; i < result.endmembers.size(); ++i)
                cells.push_back(m.recorded && i < m.recorded_values.size()
                                    ? Fixed(m.recorded_values[i], 4)
                                    : std::string());
        t.cells.push_back(std::move(cells));
    }
    if (!result.elements.empty()) {
        std::string elements;
        for (int e : result.elements)
            elements += (elements.empty() ? "" : ", ") + std::to_string(e);
        t.notes.push_back({"Sensor elements", elements});
    }
    t.notes.push_back({"Outside 0-1",
                       "the endmembers whose estimate lies below 0 or above 1 by "
                       "more than 1e-9: no fraction, as least squares does not "
                       "keep the estimates in 0-1"});
    return t;
}

std::vector<ResultTable> MapAccuracyTables(const MapAccuracy& result) {
    AccuracyResult counts;
    counts.names = result.names;
    counts.counts = result.counts;
    counts.kappa = result.kappa;
    ResultTable matrix = ErrorMatrixTable(counts);
    matrix.title = "Map Error Matrix";
    for (auto& [label, value] : matrix.notes)
        if (label == "Validation") {
            label = "Reference";
            value = result.reference_path;
        }
    matrix.notes.push_back({"Map", result.map_path});
    if (!result.classes_path.empty()) matrix.notes.push_back({"Classes", result.classes_path});

    ResultTable areas;
    areas.title = "Map Area Estimates";
    areas.corner = "Map class";
    const bool hectares = result.hectares_per_pixel > 0.0;
    areas.columns = {"Map Pixels", "Samples", "Area (pixels)", "95% CI (pixels)"};
    if (hectares) {
        areas.columns.push_back("Area (ha)");
        areas.columns.push_back("95% CI (ha)");
    }
    for (const char* c : {"User's Accuracy", "SE", "Producer's Accuracy", "SE"})
        areas.columns.emplace_back(c);
    const AreaAdjustedEstimates& e = result.estimates;
    double total = 0.0;
    for (double n : result.map_pixels) total += n;
    const auto interval = [](double value, double se, int digits) {
        if (!std::isfinite(value) || !std::isfinite(se)) return std::string("n/a");
        return Fixed(value - kZ95 * se, digits) + " to " + Fixed(value + kZ95 * se, digits);
    };
    for (size_t c = 0; c < result.names.size(); ++c) {
        areas.rows.push_back(result.names[c]);
        double samples = 0.0;
        for (double n : result.counts[c]) samples += n;
        const double area = e.area_proportion[c] * total;
        const double se = e.area_proportion_se[c] * total;
        std::vector<std::string> cells = {Count(result.map_pixels[c]), Count(samples),
                                          Fixed(area, 0), interval(area, se, 0)};
        if (hectares) {
            cells.push_back(Fixed(area * result.hectares_per_pixel, 2));
            cells.push_back(interval(area * result.hectares_per_pixel,
                                     se * result.hectares_per_pixel, 2));
        }
        cells.push_back(Percent(100.0 * e.users[c]));
        cells.push_back(Percent(100.0 * e.users_se[c]));
        cells.push_back(Percent(100.0 * e.producers[c]));
        cells.push_back(Percent(100.0 * e.producers_se[c]));
        areas.cells.push_back(std::move(cells));
    }
    areas.notes.push_back({"Overall Accuracy (area-adjusted)",
                           Percent(100.0 * e.overall) + " (SE " + Percent(100.0 * e.overall_se) +
                               ")"});
    areas.notes.push_back({"Design", "stratified random sample, the map classes as strata "
                                     "(Olofsson et al. 2014); 95% CI = estimate +/- 1.96 SE"});
    for (const std::string& note : result.notes) areas.notes.push_back({"Note", note});
    return {matrix, areas};
}

ResultTable SensorComparisonTable(const SensorComparison& comparison) {
    ResultTable t;
    t.title = "Sensor Comparison";
    t.corner = "Sensor";
    t.columns = {"Classes",     "Modelled", "Overall Accuracy", "Kappa",       "Validation",
                 "Minimum JM",  "Mean JM",  "JM Pairs",         "Closest Pair"};
    for (const SensorComparisonRow& row : comparison.rows) {
        t.rows.push_back(row.sensor);
        t.cells.push_back({std::to_string(row.classes), std::to_string(row.classes_modelled),
                           Percent(row.overall_accuracy), Fixed(row.kappa, 4), row.validation,
                           Fixed(row.min_jm, 4), Fixed(row.mean_jm, 4),
                           std::to_string(row.jm_pairs),
                           row.closest_first.empty()
                               ? std::string()
                               : row.closest_first + " / " + row.closest_second});
    }
    t.notes.push_back({"Study", comparison.study});
    t.notes.push_back({"Feature space", comparison.feature_space + " (" +
                                            comparison.feature_space_type + ", " +
                                            std::to_string(comparison.dimension) + " features)"});
    return t;
}

}  // namespace orvane
