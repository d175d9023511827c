// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/smoothing_type.h"
#include "chain/chain_definition_repository.h"

#include <algorithm>

#include "base/orvane_error.h"
#include "chain/chain_stage.h"
#include "chain/feature_space.h"
#include "spectra/sensor.h"
#include "spectra/spectrum.h"
#include "store/chain_settings_repository.h"
#include "store/sensor_repository.h"
#include "store/stage_option_repository.h"

namespace orvane {

namespace {

size_t StageSlots() {
    size_t slots = 0;
    for (const StageDeclaration& s : Stages())
        slots = std::max(slots, static_cast<size_t>(s.id) + 1);
    return slots;
}

std::shared_ptr<const Sensor> LoadSensor(Database& db, int sensor_id) {
    for (const auto& [id, type] : SensorRepository(db).AllWithResponseType()) {
        if (id != sensor_id) continue;
        std::unique_ptr<Sensor> sensor = MakeSensor(type);
        if (!sensor)
            throw OrvaneError("Sensor " + std::to_string(id) + " has the unknown response type " +
                              std::to_string(type) + ".");
        sensor->Load(db, id);
        return sensor;
    }
    throw OrvaneError("There is no sensor with id " + std::to_string(sensor_id) + ".");
}

}  // namespace

ChainSpec ChainSpecRepository::Load(const ChainChoices& choices) {
    ChainSpec definition;
    definition.study_id = choices.study;
    definition.study_filter = StudyFilter(choices.study);
    definition.smoothing = Smoothing(choices.study, choices.smoothing_type);
    definition.stages.resize(StageSlots());
    for (const auto& [stage, mode] : choices.stage_modes)
        definition.stages[static_cast<size_t>(stage)].mode = mode;
    LoadStages(choices.study, definition);
    if (choices.sensor != 0) definition.sensor = LoadSensor(db_, choices.sensor);
    definition.derivative = Derivative(choices.study, choices.derivative_order);
    definition.feature_space = FeatureSpaceFor(definition, choices.feature_space);
    return definition;
}

WavebandFilter ChainSpecRepository::StudyFilter(int study_id) {
    WavebandFilter filter;
    filter.Load(db_, study_id);
    return filter;
}

SmoothingSettings ChainSpecRepository::Smoothing(int study_id, int type) {
    ChainSettingsRepository settings(db_);
    SmoothingSettings smoothing;
    smoothing.type = type;
    if (const std::optional<int> id = settings.SmoothingId(study_id, type))
        smoothing.filter_id = *id;
    else if (IsSavitzkyGolay(type))
        smoothing.filter_id = settings.InsertSmoothing(study_id, type);
    if (!IsSavitzkyGolay(type)) return smoothing;
    const std::optional<StoredSmoothing> stored = settings.Smoothing(smoothing.filter_id);
    if (!stored)
        throw OrvaneError("There is no smoothing filter with id " +
                          std::to_string(smoothing.filter_id) + ".");
    smoothing.size = stored->size;
    smoothing.polynomial_order = stored->polynomial_order;
    return smoothing;
}

DerivativeSettings ChainSpecRepository::Derivative(int study_id, int order) {
    ChainSettingsRepository settings(db_);
    DerivativeSettings derivative;
    if (const std::optional<int> id = settings.DerivativeId(study_id, order)) {
        derivative.id = *id;
    } else {
        const DerivativeSettings start = DefaultDerivative(order);
        derivative.id = settings.InsertDerivative(study_id, order, start.polynomial_order,
                                                  start.size, 0);
    }
    derivative.order = order;
    if (const std::optional<StoredDerivative> stored = settings.Derivative(derivative.id)) {
        derivative.polynomial_order = stored->polynomial_order;
        derivative.size = stored->size;
        derivative.method = stored->method;
    }
    // The row a new study starts with carries method 2, which computes like the iterative one.
    if (derivative.method != kDerivativeSavGol) derivative.method = kDerivativeIterative;
    return derivative;
}

int ChainSpecRepository::StageOptionId(int study_id, Stage stage, int mode) {
    if (mode == 0 || study_id == 0) return 0;
    return StageOptionRepository(db_).RowId(study_id, static_cast<int>(stage), mode);
}

void ChainSpecRepository::LoadStages(int study_id, ChainSpec& definition) {
    const size_t slots = StageSlots();
    definition.stages.resize(slots);
    definition.stage_option_ids.assign(slots, 0);
    StageOptionRepository options(db_);
    for (const StageDeclaration* s : OptionalStages()) {
        const size_t at = static_cast<size_t>(s->id);
        StageSetting& setting = definition.stages[at];
        setting.pairs = study_id ? options.Pairs(study_id, static_cast<int>(s->id)) : StagePairs{};
        definition.stage_option_ids[at] = StageOptionId(study_id, s->id, setting.mode);
    }
}

std::shared_ptr<const FeatureSpace> ChainSpecRepository::FeatureSpaceFor(
    const ChainSpec& definition, int id) {
    if (id == 0) return nullptr;
    auto fs = std::make_shared<FeatureSpace>();
    fs->Load(db_, definition, id);
    if (fs->Type() != kFeaturePCT && definition.sensor) fs->MapToSensor(*definition.sensor);
    return fs;
}

void ChainSpecRepository::SaveSmoothingWindow(const SmoothingSettings& smoothing) {
    ChainSettingsRepository(db_).UpdateSmoothingWindow(smoothing.filter_id, smoothing.size,
                                                       smoothing.polynomial_order);
}

void ChainSpecRepository::SaveDerivativeMethod(const DerivativeSettings& derivative) {
    ChainSettingsRepository(db_).UpdateDerivativeMethod(derivative.id, derivative.method);
}

void ChainSpecRepository::SaveDerivativeWindow(const DerivativeSettings& derivative) {
    ChainSettingsRepository(db_).UpdateDerivativeWindow(derivative.id, derivative.polynomial_order,
                                                        derivative.size);
}

std::shared_ptr<const FeatureSpace> MappedFeatureSpace(
    const std::shared_ptr<const FeatureSpace>& fs, const Sensor* sensor) {
    if (!fs || fs->Type() == kFeaturePCT || !sensor) return fs;
    auto mapped = std::make_shared<FeatureSpace>(*fs);
    mapped->MapToSensor(*sensor);
    return mapped;
}

}  // namespace orvane
