// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/processing_session.h"

#include "chain/processing_chain.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "base/config_file.h"
#include "base/orvane_error.h"
#include "chain/derivative_settings.h"
#include "chain/feature_space.h"
#include "chain/savitzky_golay_filter.h"
#include "chain/sensor_synthesis.h"
#include "chain/smoothing_filter.h"
#include "store/array_codec.h"
#include "store/chain_settings_repository.h"
#include "store/schema_version.h"
#include "store/sensor_repository.h"
#include "store/stage_option_repository.h"
#include "store/study_repository.h"

namespace orvane {

ProcessingSession::ProcessingSession(ConfigFile& config)
    : db_(std::make_unique<Database>(config.Connection())) {
    Initialise(&config);
}

ProcessingSession::ProcessingSession(std::unique_ptr<Database> db, ConfigFile* config)
    : db_(std::move(db)) {
    Initialise(config);
}

ProcessingSession::~ProcessingSession() = default;

void ProcessingSession::Initialise(ConfigFile* config) {
    RequireSchemaVersion(*db_);
    filter_mask_ = std::make_unique<BandVector>(kFirstWavelength, kSpectrumBands);
    smoothing_mask_ = std::make_unique<BandVector>(kFirstWavelength, kSpectrumBands);
    if (config) ReadDefaultFilter(*config);
    LoadStudyFilter();
    LoadSensors();
    warnings_.insert(warnings_.begin(), db_->Notices().begin(), db_->Notices().end());
    if (const std::optional<int> first = StudyRepository(*db_).AnyStudy()) study_id_ = *first;
    LoadStageSettings();
    smoothing_filter_ = std::make_unique<PassThroughFilter>(*this, SmoothingFilterIdForType(0));
}

void ProcessingSession::ReadDefaultFilter(ConfigFile& config) {
    default_filter_.Clear();
    for (const ConfigFile::FilterEntry& e : config.DefaultFilter()) {
        if (e.single)
            default_filter_.AddBand(e.lower);
        else
            default_filter_.AddRange(e.lower, e.upper);
    }
}

// --- study and filters ------------------------------------------------------------------------

void ProcessingSession::SetStudy(int study_id) {
    study_id_ = study_id;
    if (const std::optional<StudyChainRow> row = StudyRepository(*db_).ChainRow(study_id)) {
        min_spectra_ = row->min_spectra;
        study_name_ = row->name;
    }
    LoadStudyFilter();
    LoadStageSettings();
}

void ProcessingSession::LoadStudyFilter() {
    auto filter = std::make_unique<WavebandFilter>();
    filter->Load(*db_, study_id_);
    // Adjusted filters may point at the old study filter until the smoothing filter refreshes.
    if (smoothing_adjusted_ == study_filter_.get()) smoothing_adjusted_ = filter.get();
    if (derivative_adjusted_ == study_filter_.get()) derivative_adjusted_ = filter.get();
    study_filter_ = std::move(filter);
    ComputeFilterMask();
    if (smoothing_filter_) smoothing_filter_->Refresh();
}

void ProcessingSession::RegisterAdjustedFilter(FilterContext context,
                                               const WavebandFilter* filter) {
    if (context == FilterContext::kSmoothing) {
        // With no derivative the derivative-adjusted filter is the smoothing one; follow it
        // so that it never points at a filter that is about to be replaced.
        if (derivative_adjusted_ == smoothing_adjusted_) derivative_adjusted_ = filter;
        smoothing_adjusted_ = filter;
        ComputeSmoothingMask();
        ComputeSensorMask();
    } else if (context == FilterContext::kDerivative) {
        derivative_adjusted_ = filter;
        ComputeDerivativeMask();
    }
}

void ProcessingSession::ComputeFilterMask() {
    filter_excluded_.assign(static_cast<size_t>(filter_mask_->Count()), 0);
    for (int w = filter_mask_->First(); w <= filter_mask_->Last(); ++w) {
        const bool excluded = study_filter_ && study_filter_->Excludes(w);
        filter_mask_->Set(w, excluded ? kNoValue : 1.0, w);
        filter_excluded_[static_cast<size_t>(w - filter_mask_->First())] = excluded;
    }
}

void ProcessingSession::ComputeSmoothingMask() {
    for (int w = smoothing_mask_->First(); w <= smoothing_mask_->Last(); ++w) {
        const bool excluded = smoothing_adjusted_ && smoothing_adjusted_->Excludes(w);
        smoothing_mask_->Set(w, excluded ? kNoValue : 1.0, w);
    }
}

void ProcessingSession::ComputeSensorMask() {
    if (!current_sensor_) {
        sensor_mask_.reset();
        return;
    }
    const Sensor& s = *current_sensor_;
    const int first = s.ElementCount() > 0 ? s.Element(0).number : 1;
    if (!sensor_mask_ || sensor_mask_->First() != first ||
        sensor_mask_->Count() != s.ElementCount())
        sensor_mask_ = std::make_unique<BandVector>(first, s.ElementCount());
    for (int i = 0; i < s.ElementCount(); ++i) {
        const SensorElement& e = s.Element(i);
        const bool kept =
            e.usable && !(smoothing_adjusted_ &&
                          smoothing_adjusted_->Excludes(static_cast<int>(e.avg_wavelength)));
        sensor_mask_->Set(first + i, kept ? 1.0 : kNoValue, e.avg_wavelength);
    }
    ComputeDerivativeMask();
}

void ProcessingSession::ComputeDerivativeMask() {
    if (!sensor_mask_) {
        derivative_mask_.reset();
        return;
    }
    if (!derivative_mask_ || derivative_mask_->First() != sensor_mask_->First() ||
        derivative_mask_->Count() != sensor_mask_->Count())
        derivative_mask_ =
            std::make_unique<BandVector>(sensor_mask_->First(), sensor_mask_->Count());
    for (int k = sensor_mask_->First(); k <= sensor_mask_->Last(); ++k) {
        const double x = sensor_mask_->X(k);
        const bool kept = HasValue(sensor_mask_->Value(k)) &&
                          !(derivative_adjusted_ && derivative_adjusted_->Excludes(static_cast<int>(x)));
        derivative_mask_->Set(k, kept ? 1.0 : kNoValue, x);
    }
}

// --- sensors ----------------------------------------------------------------------------------

void ProcessingSession::LoadSensors() {
    std::vector<std::unique_ptr<Sensor>> loaded;
    std::vector<std::string> warnings;
    const std::vector<std::pair<int, int>> ids = SensorRepository(*db_).AllWithResponseType();
    for (const auto& [id, type] : ids) {
        std::unique_ptr<Sensor> sensor = MakeSensor(type);
        if (!sensor) {
            warnings.push_back("Sensor " + std::to_string(id) + " has the unknown response type " +
                               std::to_string(type) + " and was not loaded.");
            continue;
        }
        sensor->Load(*db_, id);
        loaded.push_back(std::move(sensor));
    }
    sensors_ = std::move(loaded);
    warnings_ = std::move(warnings);
    UseSensor(sensors_.empty() ? nullptr : sensors_.front().get());
    ComputeSensorMask();
}

void ProcessingSession::UseSensor(Sensor* sensor) {
    current_sensor_ = sensor;
    synthesis_ = sensor ? std::make_unique<SensorSynthesis>(*sensor) : nullptr;
}

void ProcessingSession::RequireSensor() const {
    if (!current_sensor_) ThrowNoSensor();
}

orvane::ChainSettings ProcessingSession::ChainSnapshot() const {
    orvane::ChainSettings settings;
    settings.study_filter = study_filter_.get();
    settings.filter_mask = filter_mask_.get();
    settings.filter_excluded = &filter_excluded_;
    settings.smoothing = smoothing_filter_.get();
    settings.smoothing_type = smoothing_type_;
    settings.synthesis = current_sensor_ ? synthesis_.get() : nullptr;
    settings.derivative = derivative_settings_.get();
    settings.derivative_order = derivative_order_;
    settings.feature_space = feature_space_.get();
    settings.stage_settings = &stage_settings_;
    return settings;
}

// --- optional stages --------------------------------------------------------------------------

const StageOption& ProcessingSession::OptionOf(Stage stage) const {
    const StageDeclaration& declaration = Declaration(stage);
    if (!declaration.option)
        throw OrvaneError(std::string("The ") + declaration.label + " stage has no option.");
    return *declaration.option;
}

void ProcessingSession::LoadStageSettings() {
    size_t slots = 0;
    for (const StageDeclaration& s : Stages())
        slots = std::max(slots, static_cast<size_t>(s.id) + 1);
    stage_settings_.resize(slots);
    stage_option_ids_.assign(slots, 0);
    StageOptionRepository options(*db_);
    for (const StageDeclaration* s : OptionalStages()) {
        const size_t at = static_cast<size_t>(s->id);
        StageSetting& setting = stage_settings_[at];
        setting.pairs = study_id_ ? options.Pairs(study_id_, static_cast<int>(s->id))
                                  : StagePairs{};
        if (setting.mode != 0 && study_id_)
            stage_option_ids_[at] =
                options.RowId(study_id_, static_cast<int>(s->id), setting.mode);
    }
}

void ProcessingSession::SetStageMode(Stage stage, int mode) {
    const StageOption& option = OptionOf(stage);
    if (mode < 0 || mode >= static_cast<int>(option.modes.size()))
        throw OrvaneError(std::string("The ") + option.label + " has no mode " +
                          std::to_string(mode) + ".");
    const size_t at = static_cast<size_t>(stage);
    if (stage_settings_[at].mode == mode) return;
    stage_settings_[at].mode = mode;
    stage_option_ids_[at] =
        mode != 0 && study_id_
            ? StageOptionRepository(*db_).RowId(study_id_, static_cast<int>(stage), mode)
            : 0;
    NotifyChainChanged();
}

int ProcessingSession::StageMode(Stage stage) const {
    const size_t at = static_cast<size_t>(stage);
    return at < stage_settings_.size() ? stage_settings_[at].mode : 0;
}

const StagePairs& ProcessingSession::StagePairsOf(Stage stage) const {
    static const StagePairs kNone;
    const size_t at = static_cast<size_t>(stage);
    return at < stage_settings_.size() ? stage_settings_[at].pairs : kNone;
}

void ProcessingSession::SetStagePairs(Stage stage, const StagePairs& pairs) {
    OptionOf(stage).check_pairs(pairs);
    if (study_id_ == 0)
        throw OrvaneError("There is no study in the database; create or import one first.");
    StageOptionRepository(*db_).ReplacePairs(study_id_, static_cast<int>(stage), pairs);
    stage_settings_[static_cast<size_t>(stage)].pairs = pairs;
    NotifyChainChanged();
}

std::string ProcessingSession::StageOptionKey() const {
    std::vector<int> ids;
    for (int id : stage_option_ids_)
        if (id != 0) ids.push_back(id);
    std::sort(ids.begin(), ids.end());
    std::string key;
    for (int id : ids) key += (key.empty() ? "" : ",") + std::to_string(id);
    return key;
}

void ProcessingSession::SetSensor(int sensor_id) {
    if (sensors_.empty()) return;
    Sensor* chosen = sensors_.back().get();
    for (const auto& s : sensors_) {
        if (s->SensorId() == sensor_id) {
            chosen = s.get();
            break;
        }
    }
    UseSensor(chosen);
    sensor_mask_.reset();
    ComputeSensorMask();
    RefreshDerivative();
}

void ProcessingSession::AddSensor(std::unique_ptr<Sensor> sensor) {
    sensors_.push_back(std::move(sensor));
    if (!current_sensor_) {
        UseSensor(sensors_.back().get());
        ComputeSensorMask();
    }
}

void ProcessingSession::RemoveSensor(int sensor_id) {
    const bool was_current = current_sensor_ && current_sensor_->SensorId() == sensor_id;
    if (was_current) UseSensor(nullptr);
    for (auto it = sensors_.begin(); it != sensors_.end(); ++it) {
        if ((*it)->SensorId() == sensor_id) {
            sensors_.erase(it);
            break;
        }
    }
    if (!was_current) return;
    if (!sensors_.empty()) {
        SetSensor(sensors_.front()->SensorId());
        return;
    }
    // Nothing is left to synthesise onto; the feature space was mapped to the removed bands.
    feature_space_.reset();
    ComputeSensorMask();
    ComputeDerivativeMask();
    NotifyChainChanged();
}

// --- smoothing --------------------------------------------------------------------------------

int ProcessingSession::SmoothingFilterIdForType(int type) {
    ChainSettingsRepository settings(*db_);
    if (const std::optional<int> id = settings.SmoothingId(study_id_, type)) return *id;
    if (type == 1 || type == 2) return settings.InsertSmoothing(study_id_, type);
    return 0;
}

int ProcessingSession::SmoothingFilterId() const {
    return smoothing_filter_ ? smoothing_filter_->FilterId() : 0;
}

void ProcessingSession::RebuildSmoothingFilter() {
    std::unique_ptr<SmoothingFilter> next;
    if (smoothing_type_ == 0) {
        smoothing_filter_.reset();
        next = std::make_unique<PassThroughFilter>(*this, SmoothingFilterIdForType(0));
    } else if (smoothing_type_ == 1 || smoothing_type_ == 2) {
        next = std::make_unique<SavitzkyGolayFilter>(*this, *db_,
                                                     SmoothingFilterIdForType(smoothing_type_));
    }
    smoothing_filter_ = std::move(next);
}

void ProcessingSession::SetSmoothingType(int type) {
    smoothing_type_ = type;
    RebuildSmoothingFilter();
    ComputeSensorMask();
    RefreshDerivative();
}

// --- derivative -------------------------------------------------------------------------------

int ProcessingSession::DerivativeIdForOrder(int order) {
    ChainSettingsRepository settings(*db_);
    if (const std::optional<int> id = settings.DerivativeId(study_id_, order)) return *id;
    const int m = std::max(4, order);
    return settings.InsertDerivative(study_id_, order, m, m + 1, 0);
}

void ProcessingSession::SetDerivativeOrder(int order) {
    if (order < 0 || order > 30)
        throw OrvaneError("The derivative order must lie between 0 and 30.");
    derivative_order_ = order;
    RefreshDerivative();
}

void ProcessingSession::RefreshDerivative() {
    derivative_id_ = DerivativeIdForOrder(derivative_order_);
    if (derivative_order_ >= 1) {
        derivative_adjusted_ = smoothing_adjusted_;
        derivative_settings_.reset();
        derivative_settings_ = std::make_unique<DerivativeSettings>(*this, derivative_id_);
    } else {
        RegisterAdjustedFilter(FilterContext::kDerivative, smoothing_adjusted_);
    }
    NotifyChainChanged();
}

void ProcessingSession::NotifyChainChanged() {
    if (feature_space_ && feature_space_->Type() != 2 && current_sensor_)
        feature_space_->MapToSensor(*current_sensor_);
    if (chain_changed_) chain_changed_();
}

// --- feature space ----------------------------------------------------------------------------

void ProcessingSession::SetFeatureSpaceType(int type) {
    fs_type_ = type;
    if (const std::optional<std::string> name =
            ChainSettingsRepository(*db_).FeatureSpaceTypeName(type))
        fs_type_name_ = *name;
}

void ProcessingSession::SetFeatureSpace(int feature_space_id) {
    if (feature_space_id == 0) {
        feature_space_.reset();
        return;
    }
    auto fs = std::make_unique<FeatureSpace>();
    fs->Load(*db_, *this, feature_space_id);
    if (fs_type_ != 2 && current_sensor_) fs->MapToSensor(*current_sensor_);
    feature_space_ = std::move(fs);
}

int ProcessingSession::FeatureSpaceId() const { return feature_space_ ? feature_space_->Id() : 0; }

}  // namespace orvane
