// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/smoothing_type.h"
#include "stats/result_record.h"

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <optional>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "base/frontend.h"
#include "base/output_folder.h"
#include "base/text_file.h"
#include "base/version.h"
#include "chain/derivative_settings.h"
#include "chain/feature_space.h"
#include "chain/chain_options.h"
#include "chain/chain_stage.h"
#include "chain/processing_session.h"
#include "spectra/sensor.h"
#include "spectra/waveband_filter.h"
#include "store/chain_settings_repository.h"
#include "store/database.h"
#include "store/library_repository.h"

namespace orvane {

namespace {

// "2024-05-01T12:34:56Z", or with ".123456" before the Z when `micros` is given.
std::string IsoUtc(std::time_t seconds, long micros = -1) {
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &tm);
    return micros < 0 ? fmt::format("{}Z", text) : fmt::format("{}.{:06d}Z", text, micros);
}

ResultJson NameOrNull(const std::optional<std::string>& name) {
    return name ? ResultJson(*name) : ResultJson(nullptr);
}

ResultJson WavebandFilterRecord(const ProcessingSession& session) {
    const WavebandFilter* filter = session.StudyFilter();
    ResultJson record;
    record["id"] = session.WavebandFilterId();
    ResultJson excluded = ResultJson::array();
    if (filter) {
        for (int i = 0; i < filter->Count(); ++i) {
            const WavebandFilter::Entry& e = filter->At(i);
            // A single band is a range of one wavelength, so every entry reads alike.
            const int lower = e.kind == 1 ? e.lower : e.band;
            const int upper = e.kind == 1 ? e.upper : e.band;
            excluded.push_back({{"from_nm", lower}, {"to_nm", upper}});
        }
    }
    record["excluded"] = excluded;
    return record;
}

ResultJson SmoothingRecord(ProcessingSession& session) {
    const int type = session.SmoothingType();
    ResultJson record;
    record["type"] = type;
    record["name"] =
        NameOrNull(ChainSettingsRepository(session.Db()).SmoothingTypeName(type));
    const bool sg = IsSavitzkyGolay(type);
    const SmoothingSettings& smoothing = session.Settings().smoothing;
    record["window"] = sg ? ResultJson(smoothing.size) : ResultJson(nullptr);
    record["polynomial_order"] =
        sg ? ResultJson(smoothing.polynomial_order) : ResultJson(nullptr);
    return record;
}

ResultJson DerivativeRecord(ProcessingSession& session) {
    ResultJson record;
    record["order"] = session.DerivativeOrder();
    if (session.DerivativeOrder() < 1) {
        record["method"] = nullptr;
        record["window"] = nullptr;
        record["polynomial_order"] = nullptr;
        return record;
    }
    const DerivativeSettings& d = session.Settings().derivative;
    record["method"] =
        NameOrNull(ChainSettingsRepository(session.Db()).DerivativeMethodName(d.method));
    const bool sg = d.method == kDerivativeSavGol;
    record["window"] = sg ? ResultJson(d.size) : ResultJson(nullptr);
    record["polynomial_order"] = sg ? ResultJson(d.polynomial_order) : ResultJson(nullptr);
    return record;
}

ResultJson FeatureSpaceRecord(const ProcessingSession& session) {
    const FeatureSpace* fs = session.CurrentFeatureSpace();
    if (!fs) return nullptr;
    ResultJson record;
    record["id"] = fs->Id();
    record["name"] = fs->Name();
    record["type"] = fs->TypeName().empty() ? session.FeatureSpaceTypeName() : fs->TypeName();
    record["dimension"] = fs->Dimension();
    record["description"] = fs->Description();
    // DI: the curvature over each range; NTBI: the normalised difference of each pair; PCT:
    // the leading principal components of the stored analysis, so no ranges.
    ResultJson ranges = ResultJson::array();
    for (const FeatureSpace::BandRange& r : fs->Ranges())
        ranges.push_back({{"wavelength1_nm", r.wavelength1}, {"wavelength2_nm", r.wavelength2}});
    record["ranges"] = ranges;
    record["pca_data_id"] = fs->PcaDataId() ? ResultJson(fs->PcaDataId()) : ResultJson(nullptr);
    return record;
}

// An optional stage's mode and the wavelength pairs it works with: the study's own, or none
// and the words for the stage's default. Written whether the stage is on or off, so a reader
// never has to guess from a missing key.
ResultJson StageOptionRecord(const ProcessingSession& session, const StageDeclaration& stage) {
    const StageOption& option = *stage.option;
    const int mode = session.StageMode(stage.id);
    ResultJson record;
    record["mode"] = mode >= 0 && mode < static_cast<int>(option.modes.size())
                         ? ResultJson(option.modes[static_cast<size_t>(mode)])
                         : ResultJson(mode);
    ResultJson pairs = ResultJson::array();
    for (const auto& [lower, upper] : session.StagePairsOf(stage.id))
        pairs.push_back({{"from_nm", lower}, {"to_nm", upper}});
    record["default_pairs"] = pairs.empty() ? ResultJson(option.default_pairs) : nullptr;
    record["pairs"] = pairs;
    return record;
}

// "splice_correction" for "Splice Correction".
std::string JsonKey(const std::string& label) {
    std::string key;
    for (char c : label)
        key += c == ' ' ? '_' : (c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    return key;
}

ResultJson LibraryRecord(Database& db, int library_id) {
    if (library_id == 0) return nullptr;
    ResultJson record;
    record["id"] = library_id;
    // The stored instant itself, free of the server's time zone.
    if (const std::optional<std::string> stored =
            LibraryRepository(db).BuildDateEpoch(library_id)) {
        const std::string& epoch = *stored;
        char* end = nullptr;
        const double value = std::strtod(epoch.c_str(), &end);
        const auto seconds = static_cast<std::time_t>(std::floor(value));
        const size_t dot = epoch.find('.');
        long micros = 0;
        if (dot != std::string::npos) {
            std::string digits = epoch.substr(dot + 1, 6);
            digits.resize(6, '0');
            micros = std::strtol(digits.c_str(), nullptr, 10);
        }
        record["build_date"] = IsoUtc(seconds, micros);
    } else {
        record["build_date"] = nullptr;
    }
    return record;
}

}  // namespace

std::string RunAtUtc() { return IsoUtc(std::time(nullptr)); }

const char* ClassifierName(Classifier classifier) {
    for (const ClassifierEntry& c : ClassifierRegistry())
        if (c.kind == classifier) return c.label;
    return "unknown";
}

ResultJson Provenance(ProcessingSession& session, const ProvenanceOptions& options) {
    ResultJson record;
    record["study"] = {{"id", session.StudyId()}, {"name", session.StudyName()}};
    const Sensor* sensor = session.CurrentSensor();
    record["sensor"] = sensor ? ResultJson{{"id", sensor->SensorId()}, {"name", sensor->Name()}}
                              : ResultJson(nullptr);
    record["waveband_filter"] = WavebandFilterRecord(session);
    for (const StageDeclaration* stage : OptionalStages())
        record[JsonKey(stage->option->label)] = StageOptionRecord(session, *stage);
    record["smoothing"] = SmoothingRecord(session);
    record["derivative"] = options.derivative ? DerivativeRecord(session) : nullptr;
    record["feature_space"] = options.feature_space ? FeatureSpaceRecord(session) : nullptr;
    record["classifier"] =
        options.classifier ? ResultJson(ClassifierName(session.ClassifierInUse())) : nullptr;
    record["validation"] =
        options.validation.empty() ? ResultJson(nullptr) : ResultJson(options.validation);
    record["library"] = LibraryRecord(session.Db(), options.library_id);
    record["program"] = {{"name", "Orvane"}, {"version", kOrvaneVersion}};
    record["run_at"] = RunAtUtc();
    return record;
}

ResultJson JsonNumber(double value) {
    return std::isfinite(value) ? ResultJson(value) : ResultJson(nullptr);
}

std::string JsonPathBeside(const std::string& result_path) {
    const size_t slash = result_path.find_last_of('/');
    const size_t dot = result_path.find_last_of('.');
    const bool has_extension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return (has_extension ? result_path.substr(0, dot) : result_path) + ".json";
}

std::string WriteJsonBeside(const std::string& result_path, const ResultJson& record,
                            Frontend& frontend) {
    const std::string path = JsonPathBeside(result_path);
    // Names come from folders and the database, so a byte that is not UTF-8 must not stop
    // the file: it is replaced instead of raising.
    const std::string text =
        record.dump(2, ' ', false, nlohmann::detail::error_handler_t::replace) + "\n";
    TextFile file(path, '#');
    if (!file.OpenForWriting()) {
        frontend.Error(CannotWriteMessage(path, file.FailureReason()));
        return "";
    }
    file.WriteString(text);
    if (!file.Close()) {
        frontend.Error(CannotReplaceMessage(path, file.FailureReason()));
        return "";
    }
    return path;
}

std::string WriteJsonResult(const OutputFolder& output, const std::string& name,
                            const ResultJson& record, Frontend& frontend) {
    return WriteJsonBeside(output.PathFor(name, "json"), record, frontend);
}

}  // namespace orvane
