// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/smoothing_type.h"
#include "chain/processing_session.h"

#include <algorithm>

#include "base/config_file.h"
#include "base/orvane_error.h"
#include "chain/chain_definition_repository.h"
#include "chain/feature_space.h"
#include "chain/processing_chain.h"
#include "chain/savitzky_golay.h"
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

ChainSpecRepository ProcessingSession::Repository() {
    // A study the account may not change is worked on from what is stored and in memory.
    return ChainSpecRepository(*db_, !read_only_ && rights_.MayChangeStudy(study_id_));
}

void ProcessingSession::Initialise(ConfigFile* config) {
    RequireSchemaVersion(*db_);
    rights_ = ReadAccountRights(*db_);
    if (config) ReadDefaultFilter(*config);
    if (const std::optional<int> first = StudyRepository(*db_).AnyStudy()) study_id_ = *first;
    ChainSpecRepository repository = Repository();
    ChainSpec definition;
    definition.study_id = study_id_;
    definition.study_filter = repository.StudyFilter(study_id_);
    definition.smoothing = repository.Smoothing(study_id_, 0);
    repository.LoadStages(study_id_, definition);
    compiled_ = CompiledChain::Compile(std::move(definition));
    LoadSensors();
    warnings_.insert(warnings_.begin(), db_->Notices().begin(), db_->Notices().end());
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

void ProcessingSession::Adopt(ChainSpec next) {
    compiled_ = CompiledChain::Compile(std::move(next));
}

template <class Part>
void ProcessingSession::AdoptStored(ChainSpec next,
                                    void (ChainSpecRepository::*store)(const Part&),
                                    Part ChainSpec::*part) {
    // Compiled before it is stored, so refused settings change neither the rows nor the chain.
    std::shared_ptr<const CompiledChain> compiled = CompiledChain::Compile(next);
    ChainSpecRepository repository = Repository();
    (repository.*store)(next.*part);
    compiled_ = std::move(compiled);
}

// --- study and filters ------------------------------------------------------------------------

void ProcessingSession::SetStudy(int study_id) {
    study_id_ = study_id;
    // A study the editor made just now, or was granted since, is read anew.
    if (rights_.role == Role::kEditor && !rights_.MayChangeStudy(study_id))
        rights_ = ReadAccountRights(*db_);
    if (const std::optional<StudyChainRow> row = StudyRepository(*db_).ChainRow(study_id)) {
        min_spectra_ = row->min_spectra;
        study_name_ = row->name;
    }
    ChainSpecRepository repository = Repository();
    ChainSpec next = Settings();
    next.study_id = study_id;
    next.study_filter = repository.StudyFilter(study_id);
    repository.LoadStages(study_id, next);
    // The smoothing and derivative rows are the study's own: the previous study's would key
    // this study's libraries wrongly.
    if (study_id != 0) {
        next.smoothing = repository.Smoothing(study_id, next.smoothing.type);
        next.derivative = repository.Derivative(study_id, next.derivative.order);
    }
    Adopt(std::move(next));
}

void ProcessingSession::LoadStudyFilter() {
    ChainSpec next = Settings();
    next.study_filter = Repository().StudyFilter(study_id_);
    Adopt(std::move(next));
}

// --- sensors ----------------------------------------------------------------------------------

void ProcessingSession::LoadSensors() {
    std::vector<std::shared_ptr<const Sensor>> loaded;
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
    UseSensor(sensors_.empty() ? nullptr : sensors_.front());
}

void ProcessingSession::UseSensor(std::shared_ptr<const Sensor> sensor) {
    current_sensor_ = sensor;
    ChainSpec next = Settings();
    next.sensor = std::move(sensor);
    next.feature_space = next.sensor ? MappedFeatureSpace(next.feature_space, next.sensor.get())
                                     : nullptr;
    Adopt(std::move(next));
}

void ProcessingSession::RequireSensor() const {
    if (!current_sensor_) ThrowNoSensor();
}

void ProcessingSession::SetSensor(int sensor_id) {
    if (sensors_.empty()) return;
    std::shared_ptr<const Sensor> chosen = sensors_.back();
    for (const auto& s : sensors_) {
        if (s->SensorId() == sensor_id) {
            chosen = s;
            break;
        }
    }
    UseSensor(chosen);
    NotifyChainChanged();
}

void ProcessingSession::AddSensor(std::unique_ptr<Sensor> sensor) {
    sensors_.push_back(std::shared_ptr<const Sensor>(std::move(sensor)));
    if (!current_sensor_) UseSensor(sensors_.back());
}

void ProcessingSession::RemoveSensor(int sensor_id) {
    const bool was_current = current_sensor_ && current_sensor_->SensorId() == sensor_id;
    sensors_.erase(std::remove_if(sensors_.begin(), sensors_.end(),
                                  [&](const auto& s) { return s->SensorId() == sensor_id; }),
                   sensors_.end());
    if (!was_current) return;
    if (!sensors_.empty()) {
        SetSensor(sensors_.front()->SensorId());
        return;
    }
    // Nothing is left to synthesise onto; the feature space was mapped to the removed bands.
    UseSensor(nullptr);
    NotifyChainChanged();
}

// --- optional stages --------------------------------------------------------------------------

const StageOption& ProcessingSession::OptionOf(Stage stage) const {
    const StageDeclaration& declaration = Declaration(stage);
    if (!declaration.option)
        throw OrvaneError(std::string("The ") + declaration.label + " stage has no option.");
    return *declaration.option;
}

void ProcessingSession::SetStageMode(Stage stage, int mode) {
    const StageOption& option = OptionOf(stage);
    if (mode < 0 || mode >= static_cast<int>(option.modes.size()))
        throw OrvaneError(std::string("The ") + option.label + " has no mode " +
                          std::to_string(mode) + ".");
    if (StageMode(stage) == mode) return;
    ChainSpec next = Settings();
    const size_t at = static_cast<size_t>(stage);
    next.stages[at].mode = mode;
    next.stage_option_ids[at] = Repository().StageOptionId(study_id_, stage, mode);
    Adopt(std::move(next));
    NotifyChainChanged();
}

void ProcessingSession::SetStagePairs(Stage stage, const StagePairs& pairs) {
    OptionOf(stage).check_pairs(pairs);
    if (study_id_ == 0)
        throw OrvaneError("There is no study in the database; create or import one first.");
    StageOptionRepository(*db_).ReplacePairs(study_id_, static_cast<int>(stage), pairs);
    ChainSpec next = Settings();
    next.stages[static_cast<size_t>(stage)].pairs = pairs;
    Adopt(std::move(next));
    NotifyChainChanged();
}

// --- smoothing --------------------------------------------------------------------------------

void ProcessingSession::SetSmoothingType(int type) {
    ChainSpec next = Settings();
    next.smoothing = Repository().Smoothing(study_id_, type);
    Adopt(std::move(next));
    ReloadDerivative();
}

void ProcessingSession::SetSmoothingWindow(int size, int polynomial_order) {
    if (!IsSavitzkyGolay(SmoothingType()))
        throw OrvaneError("Choose a Savitzky-Golay smoothing type before setting its window.");
    ChainSpec next = Settings();
    next.smoothing.size = size;
    next.smoothing.polynomial_order = polynomial_order;
    AdoptStored(std::move(next), &ChainSpecRepository::SaveSmoothingWindow, &ChainSpec::smoothing);
    ReloadDerivative();
}

// --- derivative -------------------------------------------------------------------------------

void ProcessingSession::SetDerivativeOrder(int order) {
    if (order < 0 || order > 30)
        throw OrvaneError("The derivative order must lie between 0 and 30.");
    ChainSpec next = Settings();
    next.derivative.order = order;
    Adopt(std::move(next));
    ReloadDerivative();
}

void ProcessingSession::ReloadDerivative() {
    ChainSpec next = Settings();
    next.derivative = Repository().Derivative(study_id_, next.derivative.order);
    Adopt(std::move(next));
    NotifyChainChanged();
}

void ProcessingSession::SetDerivativeMethod(int method) {
    if (method != kDerivativeIterative && method != kDerivativeSavGol)
        throw OrvaneError("Unknown derivative method " + std::to_string(method) + ".");
    if (DerivativeOrder() < 1)
        throw OrvaneError("Choose a derivative order of 1 or more before setting its method.");
    ChainSpec next = Settings();
    next.derivative.method = method;
    AdoptStored(std::move(next), &ChainSpecRepository::SaveDerivativeMethod,
                &ChainSpec::derivative);
    NotifyChainChanged();
}

void ProcessingSession::SetDerivativeWindow(int size, int polynomial_order) {
    if (DerivativeOrder() < 1)
        throw OrvaneError("Choose a derivative order of 1 or more before setting its window.");
    if (polynomial_order < DerivativeOrder())
        throw OrvaneError("The polynomial order must be at least the derivative order.");
    // Checked on a scratch kernel as well: the method may not use the window yet.
    SavitzkyGolayKernel::ForDerivative(size, polynomial_order, DerivativeOrder());
    ChainSpec next = Settings();
    next.derivative.size = size;
    next.derivative.polynomial_order = polynomial_order;
    AdoptStored(std::move(next), &ChainSpecRepository::SaveDerivativeWindow, &ChainSpec::derivative);
    NotifyChainChanged();
}

void ProcessingSession::NotifyChainChanged() {
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
    ChainSpec next = Settings();
    next.feature_space = Repository().FeatureSpaceFor(next, feature_space_id);
    Adopt(std::move(next));
}

}  // namespace orvane
