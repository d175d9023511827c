// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/map_accuracy.h"

#include "base/number_text.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <utility>

#include "base/csv_table.h"
#include "base/feedback.h"
#include "base/frontend.h"
#include "base/matrix.h"
#include "base/orvane_error.h"
#include "base/output_folder.h"
#include "base/shown_text.h"
#include "base/text_file.h"
#include "base/version.h"
#include "stats/discriminant_analysis.h"
#include "stats/map_raster.h"
#include "stats/result_record.h"

namespace orvane {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Class numbers a map may hold: UInt16 reaches this far.
constexpr long long kMaxClassNumber = 65535;

double Sum(const std::vector<double>& values) {
    double s = 0.0;
    for (double v : values) s += v;
    return s;
}

}  // namespace

AreaAdjustedEstimates EstimateAreaAdjusted(const std::vector<std::vector<double>>& counts,
                                           const std::vector<double>& map_pixels) {
    const size_t k = counts.size();
    AreaAdjustedEstimates e;
    const double total = Sum(map_pixels);
    std::vector<double> n(k);  // n_i., the samples of each stratum
    for (size_t i = 0; i < k; ++i) {
        n[i] = Sum(counts[i]);
        e.weights.push_back(total > 0.0 ? map_pixels[i] / total : kNaN);
    }
    // Only strata with map pixels take part; one with pixels needs samples to be estimated.
    auto in_map = [&](size_t i) { return !(e.weights[i] == 0.0); };
    // n_ij / n_i. (1 - n_ij / n_i.) / (n_i. - 1): the sampling variance of a share in stratum i.
    auto share_variance = [&](size_t i, size_t j) {
        if (n[i] < 2.0) return kNaN;
        const double f = counts[i][j] / n[i];
        return f * (1.0 - f) / (n[i] - 1.0);
    };

    e.proportions.assign(k, std::vector<double>(k, 0.0));
    for (size_t i = 0; i < k; ++i)
        for (size_t j = 0; j < k; ++j)
            if (in_map(i))
                e.proportions[i][j] = n[i] > 0.0 ? e.weights[i] * counts[i][j] / n[i] : kNaN;

    for (size_t j = 0; j < k; ++j) {
        double p = 0.0;
        double variance = 0.0;
        for (size_t i = 0; i < k; ++i) {
            if (!in_map(i)) continue;
            p += e.proportions[i][j];
            variance += e.weights[i] * e.weights[i] * share_variance(i, j);
        }
        e.area_proportion.push_back(p);
        e.area_proportion_se.push_back(std::sqrt(variance));
    }

    double overall_variance = 0.0;
    e.overall = 0.0;
    for (size_t i = 0; i < k; ++i) {
        const double u = n[i] > 0.0 ? counts[i][i] / n[i] : kNaN;
        e.users.push_back(u);
        e.users_se.push_back(n[i] >= 2.0 ? std::sqrt(u * (1.0 - u) / (n[i] - 1.0)) : kNaN);
        if (!in_map(i)) continue;
        e.overall += e.proportions[i][i];
        overall_variance +=
            n[i] >= 2.0 ? e.weights[i] * e.weights[i] * u * (1.0 - u) / (n[i] - 1.0) : kNaN;
    }
    e.overall_se = std::sqrt(overall_variance);

    for (size_t j = 0; j < k; ++j) {
        const double p_j = e.area_proportion[j];
        const double producer = p_j > 0.0 ? e.proportions[j][j] / p_j : kNaN;
        e.producers.push_back(producer);
        // Eq. 7 with every count of pixels divided by the map's total, which cancels.
        double omitted = 0.0;
        for (size_t i = 0; i < k; ++i)
            if (i != j && in_map(i)) omitted += e.weights[i] * e.weights[i] * share_variance(i, j);
        double own = 0.0;
        if (in_map(j)) {
            const double u = e.users[j];
            own = n[j] >= 2.0 ? e.weights[j] * e.weights[j] * (1.0 - producer) * (1.0 - producer) *
                                    u * (1.0 - u) / (n[j] - 1.0)
                              : kNaN;
        }
        const double variance = (own + producer * producer * omitted) / (p_j * p_j);
        e.producers_se.push_back(p_j > 0.0 ? std::sqrt(variance) : kNaN);
    }
    return e;
}

namespace {

// A reference class as the mapping and the lookups compare it: a whole number in its plain
// form ("3" for "3", "3.0" and a raster's 3), any other text as it is.
std::string ReferenceKey(const std::string& text) {
    if (text.empty()) return text;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end && *end == '\0' && std::isfinite(value) && value == std::floor(value) &&
        std::fabs(value) < 9.0e15)
        return fmt::format("{}", static_cast<long long>(value));
    return text;
}

std::optional<long long> WholeNumber(const std::string& key) {
    if (key.empty()) return std::nullopt;
    char* end = nullptr;
    const long long value = std::strtoll(key.c_str(), &end, 10);
    if (!end || *end != '\0') return std::nullopt;
    return value;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Plural(long long n, const char* one, const char* many) {
    return fmt::format("{} {}", n, n == 1 ? one : many);
}

// The column of the header named `name` (any case); -1 when there is none.
int ColumnOf(const CsvRecord& header, const std::string& name) {
    for (size_t c = 0; c < header.fields.size(); ++c)
        if (Lower(header.fields[c]) == name) return static_cast<int>(c);
    return -1;
}

// One labelled point of the reference: its pixel and class as written.
struct ReferencePoint {
    int row = 0;
    int column = 0;
    std::string key;
    int line = 0;
};

std::vector<ReferencePoint> ReadPoints(const std::string& path, const RasterGrid& grid) {
    const std::string what = "Reference points file";
    const CsvTable table = ReadCsvTable(path, what);
    if (table.records.empty()) throw OrvaneError(what + " " + path + " is empty.");
    const CsvRecord& header = table.records.front();
    const int x = ColumnOf(header, "x");
    const int y = ColumnOf(header, "y");
    const int cls = ColumnOf(header, "class");
    if (x < 0 || y < 0 || cls < 0)
        throw OrvaneError(what + " " + path +
                          ": its first line must name the columns x, y and class (map "
                          "coordinates of each point in the map's coordinate system and its "
                          "reference class, a code or a name).");
    if (!grid.has_transform)
        throw OrvaneError("The class map has no georeferencing, so the points of " + path +
                          " cannot be placed on it; give a reference raster of its grid "
                          "instead.");
    std::vector<ReferencePoint> points;
    for (size_t r = 1; r < table.records.size(); ++r) {
        const CsvRecord& record = table.records[r];
        const size_t needed = static_cast<size_t>(std::max({x, y, cls})) + 1;
        if (record.fields.size() < needed)
            throw OrvaneError(
                fmt::format("{} {}: line {}: it has {} fields, where x, y and class "
                            "need {}.",
                            what, path, record.line, record.fields.size(), needed));
        double coordinates[2];
        for (int axis = 0; axis < 2; ++axis) {
            const std::string& text = record.fields[static_cast<size_t>(axis == 0 ? x : y)];
            char* end = nullptr;
            coordinates[axis] = std::strtod(text.c_str(), &end);
            if (text.empty() || !end || *end != '\0' || !std::isfinite(coordinates[axis]))
                throw OrvaneError(fmt::format("{} {}: line {}: {} \"{}\" is not a number.", what,
                                              path, record.line, axis == 0 ? "x" : "y",
                                              EscapeControls(text)));
        }
        const std::string& label = record.fields[static_cast<size_t>(cls)];
        if (label.empty())
            throw OrvaneError(
                fmt::format("{} {}: line {}: the point has no class.", what, path, record.line));
        const std::optional<std::array<int, 2>> pixel =
            grid.PixelOf(coordinates[0], coordinates[1]);
        if (!pixel) {
            const std::array<double, 6>& t = grid.transform;
            throw OrvaneError(fmt::format(
                "{} {}: line {}: the point {:.10g}, {:.10g} lies outside the class map, which "
                "spans x {:.10g} to {:.10g} and y {:.10g} to {:.10g} in its coordinates; are "
                "the points in the map's coordinate system?",
                what, path, record.line, coordinates[0], coordinates[1],
                std::min(t[0], t[0] + t[1] * grid.width), std::max(t[0], t[0] + t[1] * grid.width),
                std::min(t[3], t[3] + t[5] * grid.height),
                std::max(t[3], t[3] + t[5] * grid.height)));
        }
        points.push_back({(*pixel)[1], (*pixel)[0], ReferenceKey(label), record.line});
    }
    std::stable_sort(
        points.begin(), points.end(),
        [](const ReferencePoint& a, const ReferencePoint& b) { return a.row < b.row; });
    return points;
}

// The mapping from reference classes to the map's: the map's class as written (empty: left
// out) and the line it came from.
struct MappingEntry {
    std::string target;
    int line = 0;
};

std::map<std::string, MappingEntry> ReadMapping(const std::string& path) {
    const std::string what = "Class mapping file";
    const CsvTable table = ReadCsvTable(path, what);
    if (table.records.empty()) throw OrvaneError(what + " " + path + " is empty.");
    const CsvRecord& header = table.records.front();
    const int reference = ColumnOf(header, "reference");
    const int map = ColumnOf(header, "map");
    if (reference < 0 || map < 0)
        throw OrvaneError(what + " " + path +
                          ": its first line must name the columns reference and map (a "
                          "reference class, code or name, and the map's class it counts as; "
                          "an empty map class leaves that reference class out).");
    std::map<std::string, MappingEntry> entries;
    for (size_t r = 1; r < table.records.size(); ++r) {
        const CsvRecord& record = table.records[r];
        const auto field = [&record](int c) {
            return static_cast<size_t>(c) < record.fields.size()
                       ? record.fields[static_cast<size_t>(c)]
                       : std::string();
        };
        const std::string key = ReferenceKey(field(reference));
        if (key.empty())
            throw OrvaneError(fmt::format("{} {}: line {}: the reference class is empty.", what,
                                          path, record.line));
        const MappingEntry entry{field(map), record.line};
        const auto [it, added] = entries.emplace(key, entry);
        if (!added && it->second.target != entry.target)
            throw OrvaneError(fmt::format(
                "{} {}: line {}: reference class \"{}\" is mapped to \"{}\" here and to \"{}\" "
                "on line {}; a reference class counts as one map class.",
                what, path, record.line, EscapeControls(key), EscapeControls(entry.target),
                EscapeControls(it->second.target), it->second.line));
    }
    return entries;
}

// The map's classes by their names, for messages.
std::string ClassList(const std::vector<std::string>& names) {
    std::string text;
    for (size_t c = 0; c < names.size(); ++c)
        text += fmt::format("{}{} {}", c ? ", " : "", c + 1, EscapeControls(names[c]));
    return text;
}

// The class (1..k) a reference code or a mapping names: a whole number is the class of that
// number, any other text the class of that name; 0 for none.
int MapClassNamed(const std::string& text, const std::vector<std::string>& names) {
    if (const std::optional<long long> number = WholeNumber(ReferenceKey(text)))
        return *number >= 1 && *number <= static_cast<long long>(names.size())
                   ? static_cast<int>(*number)
                   : 0;
    for (size_t c = 0; c < names.size(); ++c)
        if (names[c] == text) return static_cast<int>(c) + 1;
    return 0;
}

// A number for the CSV as the error matrix writes it; nothing where it has no value.
std::string CsvNumber(double value) {
    return std::isfinite(value) ? ScientificNumber(value) : std::string();
}

std::string PadRight(const std::string& text, size_t width) {
    const size_t w = DisplayWidth(text);
    return w >= width ? text : text + std::string(width - w, ' ');
}

std::string PadLeft(const std::string& text, size_t width) {
    const size_t w = DisplayWidth(text);
    return w >= width ? text : std::string(width - w, ' ') + text;
}

std::string AreaText(double value, double se, int digits) {
    if (!std::isfinite(value)) return "n/a";
    return std::isfinite(se) ? fmt::format("{:.{}f} ± {:.{}f}", value, digits, kZ95 * se, digits)
                             : fmt::format("{:.{}f} ± n/a", value, digits);
}

std::string AccuracyText(double value, double se) {
    if (!std::isfinite(value)) return "n/a";
    return std::isfinite(se) ? fmt::format("{:.2f} ± {:.2f} %", 100.0 * value, 100.0 * kZ95 * se)
                             : fmt::format("{:.2f} % ± n/a", 100.0 * value);
}

// The area-adjusted estimates as an aligned table for the report.
std::string FormatEstimates(const MapAccuracy& r) {
    const AreaAdjustedEstimates& e = r.estimates;
    const double total = Sum(r.map_pixels);
    const bool hectares = r.hectares_per_pixel > 0.0;
    std::vector<std::vector<std::string>> cells;
    std::vector<std::string> header = {"Class", "Map pixels", "Samples", "Area (pixels, 95 % CI)"};
    if (hectares) header.push_back("Area (ha, 95 % CI)");
    header.push_back("User's accuracy");
    header.push_back("Producer's accuracy");
    cells.push_back(header);
    for (size_t c = 0; c < r.names.size(); ++c) {
        const double area = e.area_proportion[c] * total;
        const double se = e.area_proportion_se[c] * total;
        std::vector<std::string> row = {
            EscapeControls(r.names[c]), fmt::format("{:.0f}", r.map_pixels[c]),
            fmt::format("{:.0f}", Sum(r.counts[c])), AreaText(area, se, 0)};
        if (hectares)
            row.push_back(AreaText(area * r.hectares_per_pixel, se * r.hectares_per_pixel, 2));
        row.push_back(AccuracyText(e.users[c], e.users_se[c]));
        row.push_back(AccuracyText(e.producers[c], e.producers_se[c]));
        cells.push_back(row);
    }
    std::vector<size_t> widths(header.size(), 0);
    for (const auto& row : cells)
        for (size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], DisplayWidth(row[c]));
    std::string text =
        "Area-adjusted estimates (stratified random sample, the map classes as strata; "
        "Olofsson et al. 2014), each ± its 95 % confidence interval\n";
    for (const auto& row : cells) {
        std::string line = PadRight(row[0], widths[0]);
        for (size_t c = 1; c < row.size(); ++c) line += "  " + PadLeft(row[c], widths[c]);
        text += line + "\n";
    }
    text += "Overall accuracy (area-adjusted): " + AccuracyText(e.overall, e.overall_se);
    return text;
}

void WriteLine(TextFile& file, const std::vector<std::string>& fields) {
    for (size_t i = 0; i < fields.size(); ++i) file.WriteString((i ? "," : "") + fields[i]);
    file.WriteEol();
}

// The error matrix in the labelled layout of a validated discriminant analysis (rows classified
// as, columns reference, totals and accuracies in percent), then the files compared and the
// area-adjusted estimates.
std::string WriteCsv(const MapAccuracy& r, const Matrix& e, const OutputFolder& output,
                     Frontend& frontend) {
    const int k = static_cast<int>(r.names.size());
    const std::string path = output.PathFor("Map Accuracy", "csv");
    TextFile file(path, '#');
    if (!file.OpenForWriting()) {
        frontend.Error(CannotWriteMessage(path, file.FailureReason()));
        return "";
    }
    std::vector<std::string> header = {"Classified as / Reference"};
    for (const std::string& name : r.names) header.push_back(CsvQuoted(name));
    header.push_back("Row Total");
    header.push_back("User Accuracy");
    WriteLine(file, header);
    for (int i = 1; i <= k + 2; ++i) {
        std::vector<std::string> row = {i <= k ? CsvQuoted(r.names[static_cast<size_t>(i - 1)])
                                        : i == k + 1 ? std::string("Column Total")
                                                     : std::string("Producer Accuracy")};
        for (int j = 1; j <= k + 2; ++j) {
            if ((i == k + 2 && j >= k + 1) || (i == k + 1 && j == k + 2))
                row.emplace_back();
            else if (i == k + 2 || j == k + 2)
                row.push_back(CsvNumber(e(i, j)));
            else
                row.push_back(fmt::format("{:.0f}", e(i, j)));
        }
        WriteLine(file, row);
    }
    file.WriteEol();
    WriteLine(file, {"Overall Accuracy", CsvNumber(r.overall_accuracy)});
    WriteLine(file, {"Kappa", CsvNumber(r.kappa)});
    WriteLine(file, {"Map", CsvQuoted(r.map_path)});
    WriteLine(file, {"Reference", CsvQuoted(r.reference_path)});
    if (!r.classes_path.empty()) WriteLine(file, {"Classes", CsvQuoted(r.classes_path)});
    WriteLine(file, {"Samples", fmt::format("{}", r.samples)});
    WriteLine(file,
              {"Samples on unclassified pixels", fmt::format("{}", r.samples_on_unclassified)});
    if (!r.classes_path.empty())
        WriteLine(file, {"Samples left out by the mapping", fmt::format("{}", r.samples_left_out)});
    WriteLine(file, {"Unclassified pixels", fmt::format("{}", r.unclassified_pixels)});
    file.WriteEol();

    const AreaAdjustedEstimates& est = r.estimates;
    const double total = Sum(r.map_pixels);
    const bool hectares = r.hectares_per_pixel > 0.0;
    WriteLine(file, {"Area-adjusted estimates (stratified random sample; strata: the map classes; "
                     "Olofsson et al. 2014; 95 % CI = estimate +/- 1.96 SE; accuracies in "
                     "percent)"});
    std::vector<std::string> columns = {"Class",
                                        "Map Pixels",
                                        "Weight",
                                        "Samples",
                                        "Area Proportion",
                                        "Area Proportion SE",
                                        "Area (pixels)",
                                        "Area SE (pixels)",
                                        "Area 95% CI Low (pixels)",
                                        "Area 95% CI High (pixels)"};
    if (hectares)
        for (const char* c :
             {"Area (ha)", "Area SE (ha)", "Area 95% CI Low (ha)", "Area 95% CI High (ha)"})
            columns.emplace_back(c);
    for (const char* c :
         {"User Accuracy", "User Accuracy SE", "Producer Accuracy", "Producer Accuracy SE"})
        columns.emplace_back(c);
    WriteLine(file, columns);
    for (size_t c = 0; c < r.names.size(); ++c) {
        const double area = est.area_proportion[c] * total;
        const double se = est.area_proportion_se[c] * total;
        std::vector<std::string> row = {CsvQuoted(r.names[c]),
                                        fmt::format("{:.0f}", r.map_pixels[c]),
                                        CsvNumber(est.weights[c]),
                                        fmt::format("{:.0f}", Sum(r.counts[c])),
                                        CsvNumber(est.area_proportion[c]),
                                        CsvNumber(est.area_proportion_se[c]),
                                        CsvNumber(area),
                                        CsvNumber(se),
                                        CsvNumber(area - kZ95 * se),
                                        CsvNumber(area + kZ95 * se)};
        if (hectares)
            for (double v : {area, se, area - kZ95 * se, area + kZ95 * se})
                row.push_back(CsvNumber(v * r.hectares_per_pixel));
        for (double v : {est.users[c], est.users_se[c], est.producers[c], est.producers_se[c]})
            row.push_back(CsvNumber(100.0 * v));
        WriteLine(file, row);
    }
    WriteLine(file, {"Overall Accuracy (area-adjusted)", CsvNumber(100.0 * est.overall)});
    WriteLine(file, {"Overall Accuracy SE", CsvNumber(100.0 * est.overall_se)});
    if (!file.Close()) {
        frontend.Error(CannotReplaceMessage(path, file.FailureReason()));
        return "";
    }
    return path;
}

ResultJson Interval(double value, double se) {
    return ResultJson::array({JsonNumber(value - kZ95 * se), JsonNumber(value + kZ95 * se)});
}

ResultJson JsonRecord(const MapAccuracy& r, const Matrix& e) {
    const int k = static_cast<int>(r.names.size());
    const AreaAdjustedEstimates& est = r.estimates;
    const double total = Sum(r.map_pixels);
    ResultJson record;
    record["analysis"] = "map accuracy";
    record["provenance"] = {
        {"map", r.map_path},
        {"reference", r.reference_path},
        {"reference_kind", r.reference_points ? "points" : "raster"},
        {"classes", r.classes_path.empty() ? ResultJson(nullptr) : ResultJson(r.classes_path)},
        {"program", {{"name", "Orvane"}, {"version", kOrvaneVersion}}},
        {"run_at", RunAtUtc()}};
    record["map"] = {
        {"width", r.width},
        {"height", r.height},
        {"classified_pixels", static_cast<long long>(total)},
        {"unclassified_pixels", r.unclassified_pixels},
        {"hectares_per_pixel",
         r.hectares_per_pixel > 0.0 ? ResultJson(r.hectares_per_pixel) : ResultJson(nullptr)}};
    ResultJson classes = ResultJson::array();
    ResultJson counts = ResultJson::array();
    for (int i = 1; i <= k; ++i) {
        const size_t c = static_cast<size_t>(i - 1);
        classes.push_back({{"value", i},
                           {"name", r.names[c]},
                           {"map_pixels", static_cast<long long>(r.map_pixels[c])},
                           {"classified_total", static_cast<long long>(e(i, k + 1))},
                           {"reference_total", static_cast<long long>(e(k + 1, i))},
                           {"producers_accuracy", JsonNumber(e(k + 2, i))},
                           {"users_accuracy", JsonNumber(e(i, k + 2))}});
        ResultJson row = ResultJson::array();
        for (int j = 1; j <= k; ++j) row.push_back(static_cast<long long>(e(i, j)));
        counts.push_back(row);
    }
    record["classes"] = classes;
    record["error_matrix"] = {
        {"rows", "classified as"}, {"columns", "reference"}, {"counts", counts}};
    record["samples"] = r.samples;
    record["samples_on_unclassified"] = r.samples_on_unclassified;
    record["samples_left_out"] = r.samples_left_out;
    record["overall_accuracy"] = JsonNumber(r.overall_accuracy);
    record["kappa"] = JsonNumber(r.kappa);

    ResultJson strata = ResultJson::array();
    ResultJson proportions = ResultJson::array();
    for (size_t c = 0; c < r.names.size(); ++c) {
        const double area = est.area_proportion[c] * total;
        const double se = est.area_proportion_se[c] * total;
        ResultJson entry = {{"name", r.names[c]},
                            {"weight", JsonNumber(est.weights[c])},
                            {"area_proportion", JsonNumber(est.area_proportion[c])},
                            {"area_proportion_se", JsonNumber(est.area_proportion_se[c])},
                            {"area_pixels", JsonNumber(area)},
                            {"area_pixels_se", JsonNumber(se)},
                            {"area_pixels_ci95", Interval(area, se)}};
        if (r.hectares_per_pixel > 0.0) {
            entry["area_ha"] = JsonNumber(area * r.hectares_per_pixel);
            entry["area_ha_se"] = JsonNumber(se * r.hectares_per_pixel);
            entry["area_ha_ci95"] =
                Interval(area * r.hectares_per_pixel, se * r.hectares_per_pixel);
        }
        entry["users_accuracy"] = JsonNumber(100.0 * est.users[c]);
        entry["users_accuracy_se"] = JsonNumber(100.0 * est.users_se[c]);
        entry["producers_accuracy"] = JsonNumber(100.0 * est.producers[c]);
        entry["producers_accuracy_se"] = JsonNumber(100.0 * est.producers_se[c]);
        strata.push_back(entry);
        ResultJson row = ResultJson::array();
        for (double p : est.proportions[c]) row.push_back(JsonNumber(p));
        proportions.push_back(row);
    }
    record["area_adjusted"] = {
        {"design",
         "stratified random sample with the map classes as strata (Olofsson et al. "
         "2014, Remote Sensing of Environment 148: 42-57)"},
        {"confidence_level", 0.95},
        {"z", kZ95},
        {"classes", strata},
        {"proportions", proportions},
        {"overall_accuracy", JsonNumber(100.0 * est.overall)},
        {"overall_accuracy_se", JsonNumber(100.0 * est.overall_se)}};
    record["notes"] = r.notes;
    return record;
}

// Counts of (map class, reference class) from the joint pass: the map's class number (0 where
// it has none) and the reference class as written.
using JointCounts = std::map<std::pair<long long, std::string>, long long>;

// The map's class of one pixel value; 0 for unclassified or no data. A value no class map
// holds is refused.
long long MapCode(double value, const std::optional<double>& nodata, const BandRaster& map,
                  int column, int row) {
    if (nodata && value == *nodata) return 0;
    if (!(value >= 0.0 && value <= static_cast<double>(kMaxClassNumber)))
        throw OrvaneError(
            fmt::format("Class map {} holds the value {:.10g} at column {}, row {}; "
                        "a class map holds 0 (unclassified or no data) and class "
                        "numbers from 1 to {}.",
                        map.Path(), value, column + 1, row + 1, kMaxClassNumber));
    return static_cast<long long>(value);
}

}  // namespace

MapAccuracy RunMapAccuracy(const MapAccuracyOptions& options, const OutputFolder& output,
                           Frontend& frontend) {
    MapAccuracy r;
    // The result names the files wherever it is read later, so their paths are made whole.
    const auto whole = [](const std::string& path) {
        std::error_code ec;
        const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
        return path.empty() || ec ? path : absolute.lexically_normal().string();
    };
    r.map_path = whole(options.map_path);
    r.reference_path = whole(options.reference_path);
    r.classes_path = whole(options.classes_path);

    const BandRaster map(options.map_path, "Class map");
    if (map.BandCount() != 1)
        throw OrvaneError(
            fmt::format("Class map {} has {} bands; a class map has one band of "
                        "class numbers.",
                        options.map_path, map.BandCount()));
    if (!map.IntegerType())
        throw OrvaneError("Class map " + options.map_path + " holds " + map.DataTypeName() +
                          " values; a class map holds whole class numbers (Byte or UInt16).");
    const RasterGrid& grid = map.Grid();
    r.width = grid.width;
    r.height = grid.height;
    const std::optional<double> map_nodata = map.NoData();
    std::vector<std::string> categories = map.CategoryNames();
    // Some programs pad the list to every value the data type holds; only names count.
    while (!categories.empty() && categories.back().empty()) categories.pop_back();

    // Read and checked before the scene is read, so that a wrong file costs no time.
    std::map<std::string, MappingEntry> mapping;
    if (!options.classes_path.empty()) mapping = ReadMapping(options.classes_path);
    std::string extension = options.reference_path;
    extension = Lower(extension.substr(std::min(extension.size(), extension.rfind('.'))));
    r.reference_points = extension == ".csv" || extension == ".txt";
    std::vector<ReferencePoint> points;
    std::unique_ptr<BandRaster> labels;
    if (r.reference_points) {
        points = ReadPoints(options.reference_path, grid);
    } else {
        labels = std::make_unique<BandRaster>(options.reference_path, "Reference raster");
        if (labels->BandCount() != 1)
            throw OrvaneError(
                fmt::format("Reference raster {} has {} bands; a reference raster "
                            "has one band of class codes.",
                            options.reference_path, labels->BandCount()));
        const std::string difference = GridDifference(grid, labels->Grid());
        if (!difference.empty())
            throw OrvaneError("Reference raster " + options.reference_path +
                              " does not lie on the grid of the class map " + options.map_path +
                              " (" + difference +
                              "); resample it onto the map's grid, or give the reference as "
                              "points (x,y,class).");
    }
    const std::optional<double> label_nodata = labels ? labels->NoData() : std::nullopt;

    std::vector<double> map_pixels;  // by class number; [0] unused
    JointCounts joint;
    std::map<std::pair<long long, long long>, long long> raster_joint;
    {
        const int step = map.RowsPerRead();
        const int chunks = (grid.height + step - 1) / step;
        ProgressScope progress(frontend, "Reading the class map", chunks);
        std::vector<double> values;
        std::vector<double> reference;
        size_t next_point = 0;
        for (int chunk = 0; chunk < chunks; ++chunk) {
            if (frontend.Cancelled())
                throw Cancelled("cancelled: map accuracy; nothing was written");
            const int first = chunk * step;
            const int count = std::min(step, grid.height - first);
            map.ReadRows(first, count, values);
            if (labels) labels->ReadRows(first, count, reference);
            const size_t width = static_cast<size_t>(grid.width);
            for (int row = 0; row < count; ++row) {
                for (size_t column = 0; column < width; ++column) {
                    const size_t at = static_cast<size_t>(row) * width + column;
                    const long long code =
                        MapCode(values[at], map_nodata, map, static_cast<int>(column), first + row);
                    if (code == 0) {
                        ++r.unclassified_pixels;
                    } else {
                        if (map_pixels.size() <= static_cast<size_t>(code))
                            map_pixels.resize(static_cast<size_t>(code) + 1, 0.0);
                        map_pixels[static_cast<size_t>(code)] += 1.0;
                    }
                    if (!labels) continue;
                    const double label = reference[at];
                    if (std::isnan(label) || (label_nodata && label == *label_nodata) ||
                        label == 0.0)
                        continue;
                    if (label != std::floor(label) || std::fabs(label) > 2.0e9)
                        throw OrvaneError(fmt::format(
                            "Reference raster {} holds {:.10g} at column {}, row {}; a reference "
                            "raster holds whole class codes (0 or its no-data value for an "
                            "unlabelled pixel).",
                            options.reference_path, label, column + 1, first + row + 1));
                    ++raster_joint[{code, static_cast<long long>(label)}];
                }
            }
            for (; next_point < points.size() && points[next_point].row < first + count;
                 ++next_point) {
                const ReferencePoint& p = points[next_point];
                const size_t at =
                    static_cast<size_t>(p.row - first) * width + static_cast<size_t>(p.column);
                const long long code = MapCode(values[at], map_nodata, map, p.column, p.row);
                if (p.key == "0") continue;  // a point labelled 0 is unlabelled, as a pixel is
                ++joint[{code, p.key}];
            }
            frontend.StepProgress(chunk + 1);
        }
    }
    for (const auto& [key, n] : raster_joint)
        joint[{key.first, fmt::format("{}", key.second)}] += n;

    // The map's classes: those its category names give (entry 0 names value 0) and any number
    // beyond them that its pixels hold.
    const size_t named = categories.size() > 1 ? categories.size() - 1 : 0;
    const size_t k = std::max(named, map_pixels.empty() ? 0 : map_pixels.size() - 1);
    if (k == 0)
        throw OrvaneError("Class map " + options.map_path +
                          " names no class and holds no classified pixel.");
    for (size_t c = 1; c <= k; ++c)
        r.names.push_back(c < categories.size() && !categories[c].empty()
                              ? categories[c]
                              : fmt::format("class {}", c));
    map_pixels.resize(k + 1, 0.0);
    r.map_pixels.assign(map_pixels.begin() + 1, map_pixels.end());

    // Each mapping names a class of the map, checked now that the map's classes are known.
    std::map<std::string, int> mapped;  // reference key -> map class (0: left out)
    for (const auto& [key, entry] : mapping) {
        int target = 0;
        if (!entry.target.empty()) {
            target = MapClassNamed(entry.target, r.names);
            if (target == 0)
                throw OrvaneError(fmt::format(
                    "Class mapping file {}: line {}: \"{}\" is no class of the map; its classes "
                    "are {}.",
                    options.classes_path, entry.line, EscapeControls(entry.target),
                    ClassList(r.names)));
        }
        mapped[key] = target;
    }

    r.counts.assign(k, std::vector<double>(k, 0.0));
    std::map<std::string, long long> unknown;  // reference classes no rule places, with counts
    for (const auto& [key, n] : joint) {
        const long long code = key.first;
        const std::string& reference = key.second;
        int target = 0;
        if (!options.classes_path.empty()) {
            const auto it = mapped.find(reference);
            if (it == mapped.end()) {
                unknown[reference] += n;
                continue;
            }
            target = it->second;
        } else {
            target = MapClassNamed(reference, r.names);
            if (target == 0) {
                unknown[reference] += n;
                continue;
            }
        }
        if (code == 0) {
            r.samples_on_unclassified += n;
        } else if (target == 0) {
            r.samples_left_out += n;
        } else {
            r.counts[static_cast<size_t>(code - 1)][static_cast<size_t>(target - 1)] +=
                static_cast<double>(n);
            r.samples += n;
        }
    }
    if (!unknown.empty()) {
        std::string list;
        for (const auto& [reference, n] : unknown)
            list +=
                fmt::format("{}\"{}\" ({})", list.empty() ? "" : ", ", EscapeControls(reference),
                            Plural(n, r.reference_points ? "point" : "pixel",
                                   r.reference_points ? "points" : "pixels"));
        if (!options.classes_path.empty())
            throw OrvaneError("Class mapping file " + options.classes_path +
                              " does not name the reference classes " + list +
                              "; add a line for each (an empty map class leaves it out).");
        throw OrvaneError("The reference classes " + list + " of " + options.reference_path +
                          " are no classes of the map, whose classes are " + ClassList(r.names) +
                          "; map them with --classes MAPPING.csv (columns reference,map).");
    }
    if (r.samples == 0)
        throw OrvaneError(fmt::format(
            "No labelled reference {} of {} falls on a classified pixel of the map ({} on "
            "unclassified pixels, {} left out by the mapping), so there is nothing to assess.",
            r.reference_points ? "point" : "pixel", options.reference_path,
            r.samples_on_unclassified, r.samples_left_out));

    const int kk = static_cast<int>(k);
    Matrix e(kk + 2, kk + 2);
    e = 0.0;
    for (int i = 1; i <= kk; ++i)
        for (int j = 1; j <= kk; ++j)
            e(i, j) = r.counts[static_cast<size_t>(i - 1)][static_cast<size_t>(j - 1)];
    r.kappa = CohensKappa(e, kk);
    r.overall_accuracy = OverallAccuracy(e, kk);
    CompleteErrorMatrix(e, kk);

    r.estimates = EstimateAreaAdjusted(r.counts, r.map_pixels);
    const double metres = MetresPerMapUnit(grid);
    if (metres > 0.0) r.hectares_per_pixel = grid.PixelArea() * metres * metres / 10000.0;

    const std::string sample = r.reference_points ? "points" : "labelled pixels";
    for (size_t c = 0; c < k; ++c) {
        const double n = Sum(r.counts[c]);
        if (r.map_pixels[c] > 0.0 && n == 0.0)
            r.notes.push_back(fmt::format(
                "{} covers {:.0f} map pixels but holds no reference sample, so the area-adjusted "
                "estimates that sum over the classes are not defined; label samples in it.",
                EscapeControls(r.names[c]), r.map_pixels[c]));
        else if (r.map_pixels[c] > 0.0 && n == 1.0)
            r.notes.push_back(
                fmt::format("{} holds a single reference sample, too few for a standard error.",
                            EscapeControls(r.names[c])));
    }
    if (r.samples_on_unclassified > 0)
        r.notes.push_back(
            fmt::format("{} {} lie where the map is unclassified or has no data; "
                        "they are not in the matrix.",
                        r.samples_on_unclassified, sample));
    if (r.samples_left_out > 0)
        r.notes.push_back(fmt::format("{} {} have a reference class the mapping leaves out.",
                                      r.samples_left_out, sample));

    std::string heading = "Map Accuracy\nMap: " + EscapeControls(options.map_path) +
                          fmt::format(" ({} x {} pixels, {} classes)", grid.width, grid.height, k) +
                          "\nReference: " + EscapeControls(options.reference_path) +
                          (r.reference_points ? " (points)" : " (raster)");
    if (!options.classes_path.empty())
        heading += "\nClasses: " + EscapeControls(options.classes_path);
    frontend.Report(heading);
    frontend.Report(FormatErrorMatrix(e, r.names));
    frontend.Report(FormatClassAccuracies(e, r.names) + "Cohen's kappa: " +
                    (std::isfinite(r.kappa) ? fmt::format("{:.5f}", r.kappa) : std::string("n/a")));
    frontend.Report(
        fmt::format("Overall Accuracy: {:.5f} % ({} {})", r.overall_accuracy, r.samples, sample));
    frontend.Report(FormatEstimates(r));
    for (const std::string& note : r.notes) frontend.Report(note);

    r.path = WriteCsv(r, e, output, frontend);
    if (!r.path.empty()) {
        r.json_path = WriteJsonBeside(r.path, JsonRecord(r, e), frontend);
        frontend.Report("Map accuracy written to file:\n" + r.path);
    }
    return r;
}

}  // namespace orvane
