// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/linear_unmixing.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <memory>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "base/frontend.h"
#include "chain/chain_description.h"
#include "base/matrix.h"
#include "base/matrix_errors.h"
#include "base/orvane_error.h"
#include "base/output_folder.h"
#include "base/shown_text.h"
#include "base/text_file.h"
#include "chain/processing_chain.h"
#include "chain/processing_session.h"
#include "spectra/sensor.h"
#include "spectra/species.h"
#include "stats/result_record.h"
#include "store/mixture_store.h"
#include "study/study_loader.h"

namespace orvane {

namespace {

struct SpeciesRow {
    int species_id = 0;
    std::string folder_name;
};

std::vector<SpeciesRow> SpeciesOfKind(MixtureStore& store, bool endmembers) {
    std::vector<SpeciesRow> rows;
    for (SpeciesEntry& e : store.UnmixingSpecies(endmembers))
        rows.push_back({e.species_id, std::move(e.folder_name)});
    return rows;
}

// "1, 2, 3 and 6": the elements as a sentence names them.
std::string ElementsInWords(const std::vector<int>& elements) {
    std::string text;
    for (size_t i = 0; i < elements.size(); ++i) {
        if (i) text += i + 1 == elements.size() ? " and " : ", ";
        text += std::to_string(elements[i]);
    }
    return text;
}

// The choice in ascending order, each element once; refuses an empty choice or a number
// that is no element.
std::vector<int> CheckedElements(std::vector<int> elements) {
    std::sort(elements.begin(), elements.end());
    elements.erase(std::unique(elements.begin(), elements.end()), elements.end());
    if (elements.empty())
        throw OrvaneError(
            "Unmixing needs at least one sensor element; choose the elements "
            "to unmix on.");
    if (elements.front() < 1)
        throw OrvaneError(
            fmt::format("Unmixing is not possible on sensor element {}: "
                        "elements are numbered from 1.",
                        elements.front()));
    return elements;
}

// Refuses a sensor that lacks one of the unmixed elements.
void CheckUnmixElements(const Sensor& sensor, const std::vector<int>& elements) {
    for (int wanted : elements) {
        bool found = false;
        for (const SensorElement& e : sensor.Elements()) found = found || e.number == wanted;
        if (!found)
            throw OrvaneError(fmt::format(
                "Unmixing is not possible: the sensor \"{}\" has no element {}. Unmixing "
                "uses the elements {}; choose a sensor that has them, or other elements.",
                sensor.Name(), wanted, ElementsInWords(elements)));
    }
}

// The species' synthesized-stage mean at the unmixed elements.
std::vector<double> MeanAtElements(StudyLoader& loader, const ProcessingSession& session,
                                   const std::vector<int>& elements, const SpeciesRow& row,
                                   const char* kind) {
    std::unique_ptr<Species> species = loader.LoadSpecies(row.species_id);
    if (species->MemberCount() == 0)
        throw OrvaneError(fmt::format(
            "Unmixing is not possible: the {} species \"{}\" has no enabled spectra.", kind,
            row.folder_name));
    Chain chain(session.Compiled());
    const std::unique_ptr<BandVector> mean = StageMean(chain, *species, Stage::kSynthesized);
    std::vector<double> values;
    for (int number : elements) {
        const double v = mean->Value(number);
        if (!HasFiniteValue(v))
            throw OrvaneError(
                fmt::format("Unmixing is not possible: the mean of the {} species \"{}\" "
                            "has no value at sensor element {}.",
                            kind, row.folder_name, number));
        values.push_back(v);
    }
    return values;
}

// Whether E (bands x q, q <= bands) has full column rank, judged by its singular values: the
// smallest must exceed the largest x bands x the single-precision epsilon. The reflectances are stored in
// single precision, so a column that is a combination of the others up to that precision
// is one in fact, and its estimates would be made of rounding.
bool FullColumnRank(const Matrix& e) {
    DiagonalMatrix s;
    NEWMAT::SVD(e, s);
    double largest = 0.0, smallest = INFINITY;
    for (int i = 1; i <= s.Nrows(); ++i) {
        largest = std::max(largest, s(i));
        smallest = std::min(smallest, s(i));
    }
    return largest > 0.0 && smallest > largest * e.Nrows() * FLT_EPSILON;
}

// Why E cannot be solved; `elements` names the sensor elements when they are known.
OrvaneError SingularError(int q, int bands, const std::vector<int>& elements = {}) {
    const std::string on =
        elements.empty() ? fmt::format("the {} bands", bands)
                         : fmt::format("the sensor element{} {}", elements.size() == 1 ? "" : "s",
                                       ElementsInWords(elements));
    if (q > bands)
        return OrvaneError(fmt::format("Unmixing is not possible with {} endmembers: {} "
                                       "determine{} at most {}. Return some endmembers to the "
                                       "classes, or unmix on more sensor elements.",
                                       q, on, bands == 1 ? "s" : "", bands),
                           Remedy::kReturnEndmembers);
    return OrvaneError(fmt::format(
        "Unmixing is not possible: the endmember means are linearly dependent on {}, so E'E "
        "is singular. Choose endmembers whose spectra differ there.",
        on));
}

// "%.2f" of a value, without the sign of one that rounds to zero: rounding noise of an
// exact 0 would otherwise print as "-0.00".
std::string Fraction(double v) {
    std::string text = fmt::format("{:.2f}", v);
    if (text == "-0.00") text = "0.00";
    return text;
}

// (E'E)^-1 E', formed once for every mixture; refused when E has not full column rank.
Matrix LeastSquaresSolver(const Matrix& e, const std::vector<int>& elements = {}) {
    const int q = e.Ncols();
    Matrix solve;
    WithMatrixErrors("Matrix computation failed: ", [&] {
        try {
            if (q > e.Nrows() || !FullColumnRank(e)) throw SingularError(q, e.Nrows(), elements);
            const Matrix inverse = (e.t() * e).i();
            solve = inverse * e.t();
        } catch (const NEWMAT::SingularException&) {
            throw SingularError(q, e.Nrows(), elements);
        }
    });
    return solve;
}

// The fractions recorded for a mixture, walked in endmember order: t per endmember (0 where
// none is recorded) and their report lines.
bool ReadRecordedFractions(MixtureStore& store, const SpeciesRow& mixture,
                           const std::vector<SpeciesRow>& endmembers, UnmixedMixture& out) {
    // One query for the recorded rows; they are then walked in endmember order.
    const std::vector<RecordedFraction> recorded = store.Recorded(mixture.species_id);
    if (!recorded.empty()) out.text += "\nsimulated mixture abundances from database:\n";
    out.recorded_values.assign(endmembers.size(), 0.0);
    for (size_t j = 0; j < endmembers.size(); ++j) {
        for (const RecordedFraction& r : recorded) {
            if (r.endmember_id != endmembers[j].species_id) continue;
            const double t = std::atof(r.abundance.c_str());
            out.text += Fraction(t) + " " + r.folder_name + "\n";
            out.recorded_values[j] = t;
        }
    }
    return !recorded.empty();
}

// sqrt(mean over the unmixed elements of (y - E a)^2): how far the fitted mixture is from the
// measured mean, in reflectance units.
double ResidualRmse(const Matrix& e, const std::vector<double>& y, const std::vector<double>& a) {
    const int bands = e.Nrows();
    double sum = 0.0;
    for (int b = 0; b < bands; ++b) {
        double fitted = 0.0;
        for (size_t j = 0; j < a.size(); ++j) fitted += e(b + 1, static_cast<int>(j) + 1) * a[j];
        const double r = y[static_cast<size_t>(b)] - fitted;
        sum += r * r;
    }
    return std::sqrt(sum / bands);
}

// One mixture's estimates a = solve y, with the residual, and the recorded fractions and
// absolute errors when the mixture table has them.
UnmixedMixture UnmixMixture(MixtureStore& store, const SpeciesRow& mixture,
                            const LeastSquaresFractions& fitted, int k,
                            const std::vector<SpeciesRow>& endmembers,
                            const std::vector<int>& elements) {
    UnmixedMixture out;
    out.name = mixture.folder_name;
    for (size_t j = 0; j < endmembers.size(); ++j) {
        const double a = fitted.fractions(static_cast<int>(j) + 1, k + 1);
        out.estimates.push_back(a);
        const bool outside = OutsideFractionRange(a);
        out.out_of_range.push_back(outside);
        out.text += FractionText(a, 2) + "  " + endmembers[j].folder_name +
                    (outside ? "  (outside 0-1)" : "") + "\n";
    }
    out.rmse = fitted.rmse[static_cast<size_t>(k)];
    std::string numbers;
    for (int e : elements) numbers += (numbers.empty() ? "" : ", ") + std::to_string(e);
    out.text += fmt::format("residual RMSE over sensor elements {}: {:.6f}\n", numbers, out.rmse);
    out.recorded = ReadRecordedFractions(store, mixture, endmembers, out);
    if (out.recorded) {
        out.text += "\nabsolute errors:\n";
        for (size_t j = 0; j < endmembers.size(); ++j)
            out.text += Fraction(std::fabs(out.recorded_values[j] - out.estimates[j])) + "  " +
                        endmembers[j].folder_name + "\n";
    }
    return out;
}

}  // namespace

std::vector<int> DefaultUnmixElements() {
    return std::vector<int>(std::begin(kUnmixElements), std::end(kUnmixElements));
}

std::vector<int> ParseUnmixElements(const std::string& text) {
    std::vector<int> elements;
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find(',', at);
        if (end == std::string::npos) end = text.size();
        std::string word = text.substr(at, end - at);
        const size_t first = word.find_first_not_of(" \t");
        word = first == std::string::npos
                   ? ""
                   : word.substr(first, word.find_last_not_of(" \t") + 1 - first);
        const bool digits = !word.empty() && word.size() <= 6 &&
                            word.find_first_not_of("0123456789") == std::string::npos;
        if (!digits || std::stoi(word) < 1)
            throw OrvaneError(
                fmt::format("\"{}\" is no choice of sensor elements: give element numbers from 1, "
                            "separated by commas, as in \"1,2,3,6\".",
                            text));
        const int number = std::stoi(word);
        if (std::find(elements.begin(), elements.end(), number) != elements.end())
            throw OrvaneError(fmt::format(
                "\"{}\" names sensor element {} twice; give each element once.", text, number));
        elements.push_back(number);
        at = end + 1;
    }
    std::sort(elements.begin(), elements.end());
    return elements;
}

std::string UnmixElementsText(const std::vector<int>& elements) {
    std::string text;
    for (int e : elements) text += (text.empty() ? "" : ",") + std::to_string(e);
    return text;
}

bool OutsideFractionRange(double estimate) {
    // Least squares on the same data gives an exact 0 or 1 only up to rounding; beyond 1e-9
    // the estimate is no fraction, however small the excess.
    constexpr double kSlack = 1e-9;
    return !(estimate >= -kSlack && estimate <= 1.0 + kSlack);
}

std::string FractionText(double estimate, int decimals) {
    if (!std::isfinite(estimate)) return fmt::format("{}", estimate);
    std::string text = fmt::format("{:.{}f}", estimate, decimals);
    if (OutsideFractionRange(estimate)) {
        for (int more = decimals + 1; more <= 17; ++more) {
            // The printed number is flagged by the same rule as the estimate.
            if (OutsideFractionRange(std::strtod(text.c_str(), nullptr))) break;
            text = fmt::format("{:.{}f}", estimate, more);
        }
    } else if (text[0] == '-' && std::strtod(text.c_str(), nullptr) == 0.0) {
        // Rounding noise of an exact 0 would otherwise print as "-0.00".
        text.erase(0, 1);
    }
    return text;
}

LeastSquaresFractions UnmixLeastSquares(const Matrix& endmembers, const Matrix& mixtures) {
    const Matrix& e = endmembers;
    const int bands = e.Nrows();
    if (mixtures.Nrows() != bands)
        throw OrvaneError(fmt::format("The mixtures have {} bands but the endmembers {}.",
                                      mixtures.Nrows(), bands));
    const Matrix solve = LeastSquaresSolver(e);
    const int q = e.Ncols();
    const int m = mixtures.Ncols();
    LeastSquaresFractions out;
    out.fractions.ReSize(q, m);
    for (int k = 1; k <= m; ++k) {
        std::vector<double> y(static_cast<size_t>(bands));
        for (int b = 0; b < bands; ++b) y[static_cast<size_t>(b)] = mixtures(b + 1, k);
        std::vector<double> a;
        for (int j = 0; j < q; ++j) {
            double sum = 0.0;
            for (int b = 0; b < bands; ++b)
                sum += solve(j + 1, b + 1) * y[static_cast<size_t>(b)];
            a.push_back(sum);
            out.fractions(j + 1, k) = sum;
        }
        out.rmse.push_back(ResidualRmse(e, y, a));
    }
    return out;
}

namespace {

// The estimates per mixture and endmember, with the recorded fractions where the mixture
// table records the mixture (0 for an endmember it does not list, as in the report).
ResultJson UnmixRecord(ProcessingSession& session, const UnmixResult& result) {
    ProvenanceOptions options;
    options.classifier = false;
    options.feature_space = false;
    options.derivative = false;
    options.validation.clear();
    ResultJson record;
    record["analysis"] = "unmixing";
    record["provenance"] = Provenance(session, options);
    record["model"] = "y = E a, unconstrained least squares";
    record["sensor_elements"] = result.elements;
    record["endmembers"] = result.endmembers;
    ResultJson mixtures = ResultJson::array();
    for (const UnmixedMixture& m : result.mixtures) {
        ResultJson fractions = ResultJson::array();
        for (size_t j = 0; j < m.estimates.size(); ++j) {
            ResultJson f;
            f["endmember"] = result.endmembers[j];
            f["estimate"] = JsonNumber(m.estimates[j]);
            f["recorded"] = m.recorded ? JsonNumber(m.recorded_values[j]) : ResultJson(nullptr);
            f["outside_0_1"] = static_cast<bool>(m.out_of_range[j]);
            fractions.push_back(f);
        }
        mixtures.push_back(
            {{"mixture", m.name}, {"fractions", fractions}, {"rmse", JsonNumber(m.rmse)}});
    }
    record["mixtures"] = mixtures;
    return record;
}

// The estimates as a table for a spreadsheet: one row per mixture and endmember, the recorded
// fraction empty where the mixture table has none; empty when the file cannot be written.
std::string WriteUnmixTable(const UnmixResult& result, const OutputFolder& output,
                            Frontend& frontend) {
    const std::string path = output.PathFor("unmixing", "csv");
    TextFile file(path, '#');
    if (!file.OpenForWriting()) {
        frontend.Error(CannotWriteMessage(path, file.FailureReason()));
        return "";
    }
    file.WriteStringLn("Mixture,Endmember,Estimate,Outside 0-1,Recorded,Residual RMSE");
    for (const UnmixedMixture& m : result.mixtures) {
        for (size_t j = 0; j < m.estimates.size(); ++j) {
            file.WriteString(CsvQuoted(m.name) + "," + CsvQuoted(result.endmembers[j]) + ",");
            file.WriteString(
                fmt::format("{},{},", m.estimates[j], m.out_of_range[j] ? "yes" : "no"));
            if (m.recorded) file.WriteString(fmt::format("{}", m.recorded_values[j]));
            file.WriteStringLn(fmt::format(",{}", m.rmse));
        }
    }
    if (!file.Close()) {
        frontend.Error(CannotReplaceMessage(path, file.FailureReason()));
        return "";
    }
    return path;
}

}  // namespace

UnmixResult Unmix(StudyLoader& loader, ProcessingSession& session, Frontend& frontend,
                  const OutputFolder* output, const std::vector<int>& chosen) {
    const std::vector<int> elements = CheckedElements(chosen);
    const int bands = static_cast<int>(elements.size());
    MixtureStore store(session.Db(), session.StudyId());
    const std::vector<SpeciesRow> endmembers = SpeciesOfKind(store, true);
    if (endmembers.empty())
        throw OrvaneError(
            "Unmixing needs endmembers: mark species of the study as endmembers first.",
            Remedy::kMarkEndmembers);
    const int q = static_cast<int>(endmembers.size());
    if (q > bands) throw SingularError(q, bands, elements);
    session.RequireSensor();
    CheckUnmixElements(*session.CurrentSensor(), elements);
    const std::vector<SpeciesRow> mixtures = SpeciesOfKind(store, false);

    ProgressScope progress(frontend, "Spectral Unmixing", q + static_cast<int>(mixtures.size()));
    int done = 0;
    UnmixResult result;
    result.elements = elements;
    Matrix e(bands, q);
    for (int j = 0; j < q; ++j) {
        if (frontend.Cancelled()) throw Cancelled("cancelled: unmixing; nothing was written");
        const std::vector<double> column = MeanAtElements(
            loader, session, elements, endmembers[static_cast<size_t>(j)], "endmember");
        for (int b = 0; b < bands; ++b) e(b + 1, j + 1) = column[static_cast<size_t>(b)];
        result.endmembers.push_back(endmembers[static_cast<size_t>(j)].folder_name);
        frontend.StepProgress(++done);
    }
    // Refused before the mixtures are read: a singular E is the cause to name first.
    LeastSquaresSolver(e, elements);

    std::vector<std::vector<double>> means;
    means.reserve(mixtures.size());
    for (const SpeciesRow& m : mixtures) {
        if (frontend.Cancelled()) throw Cancelled("cancelled: unmixing; nothing was written");
        means.push_back(MeanAtElements(loader, session, elements, m, "mixture"));
        frontend.StepProgress(++done);
    }

    Matrix y(bands, static_cast<int>(means.size()));
    for (size_t k = 0; k < means.size(); ++k)
        for (int b = 0; b < bands; ++b)
            y(b + 1, static_cast<int>(k) + 1) = means[k][static_cast<size_t>(b)];
    const LeastSquaresFractions fitted = UnmixLeastSquares(e, y);

    frontend.Report("Spectral Unmixing\n" + DescribeChain(session, {true, false, false, false}));
    for (size_t k = 0; k < mixtures.size(); ++k) {
        UnmixedMixture out =
            UnmixMixture(store, mixtures[k], fitted, static_cast<int>(k), endmembers, elements);
        frontend.Report(EscapeControls(out.name));
        frontend.Report(out.text);
        result.mixtures.push_back(std::move(out));
    }
    if (output)
        result.json_path =
            WriteJsonResult(*output, "unmixing_output", UnmixRecord(session, result), frontend);
    if (output) result.csv_path = WriteUnmixTable(result, *output, frontend);
    return result;
}

}  // namespace orvane
