// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/chain_options.h"

#include <fmt/format.h>

#include "base/orvane_error.h"
#include "chain/derivative_settings.h"
#include "spectra/sensor.h"
#include "chain/smoothing_type.h"
#include "spectra/spectrum.h"
#include "store/database.h"
#include "store/feature_space_repository.h"
#include "store/name_lookup.h"

namespace orvane {

int ParseSmoothingType(const std::string& word) {
    return static_cast<int>(kSmoothingTypes.Parse(word, "smoothing type"));
}

int ParseDerivativeMethod(const std::string& word) {
    return kDerivativeMethods.Parse(word, "derivative method");
}

int ParseFeatureSpaceType(const std::string& word) {
    return kFeatureTypes.Parse(word, "feature-space type");
}

int CurrentPcaDataId(Database& db, const ChainSpec& chain) {
    if (!chain.sensor) return 0;
    return FeatureSpaceRepository(db).FindCurrentPca(chain.PcaKeyOf());
}

int CurrentPcaDataId(ProcessingSession& session) {
    return CurrentPcaDataId(session.Db(), session.Settings());
}

std::vector<FeatureSpaceItem> ListFeatureSpaces(Database& db, const ChainSpec& chain, int type) {
    std::vector<FeatureSpaceItem> items;
    const int elements = chain.sensor ? chain.sensor->ElementCount() : 0;
    if (type == kFeaturePCT && CurrentPcaDataId(db, chain) == 0) return items;
    for (auto& [name, id] : FeatureSpaceRepository(db).OfTypeUpTo(type, elements))
        items.push_back({std::move(name), id});
    return items;
}

std::vector<FeatureSpaceItem> ListFeatureSpaces(ProcessingSession& session) {
    return ListFeatureSpaces(session.Db(), session.Settings(), session.FeatureSpaceType());
}

int SwitchToPct(ProcessingSession& session) {
    const int kept = session.FeatureSpaceType() == kFeaturePCT ? session.FeatureSpaceId() : 0;
    session.SetFeatureSpaceType(kFeaturePCT);
    const std::vector<FeatureSpaceItem> items = ListFeatureSpaces(session);
    int pick = items.empty() ? 0 : items.front().id;
    for (const FeatureSpaceItem& item : items)
        if (kept != 0 && item.id == kept) pick = kept;
    session.SetFeatureSpace(pick);
    return pick;
}

int ResolveStudy(ProcessingSession& session, const std::string& name_or_id) {
    return ResolveByNameOrId(session.Db(), kStudyNames, name_or_id);
}

int ResolveSensor(ProcessingSession& session, const std::string& name_or_id) {
    return ResolveByNameOrId(session.Db(), kSensorNames, name_or_id);
}

int ResolveAnyFeatureSpace(ProcessingSession& session, const std::string& name_or_id,
                           std::optional<int> type) {
    return FeatureSpaceRepository(session.Db()).Resolve(name_or_id, type);
}

namespace {

void RequireWithin(const std::optional<int>& value, int low, int high, const char* what) {
    if (value && (*value < low || *value > high))
        throw OrvaneError(
            fmt::format("The {} must be from {} to {}, not {}.", what, low, high, *value));
}

}  // namespace

void ApplyChainOptions(ProcessingSession& session, const ChainOptions& options) {
    RequireWithin(options.smoothing_type, 0, 2, "smoothing type");
    RequireWithin(options.derivative_order, 0, kMaxDerivativeOrder, "derivative order");
    RequireWithin(options.derivative_method, 0, 1, "derivative method");
    RequireWithin(options.feature_space_type, 0, 2, "feature-space type");
    Database& db = session.Db();
    const int study =
        options.study ? ResolveByNameOrId(db, kStudyNames, *options.study) : session.StudyId();
    if (study == 0)
        throw OrvaneError("There is no study in the database; create or import one first.");
    session.SetStudy(study);
    if (options.sensor) session.SetSensor(ResolveByNameOrId(db, kSensorNames, *options.sensor));
    session.SetSmoothingType(options.smoothing_type.value_or(session.SmoothingType()));
    session.SetDerivativeOrder(options.derivative_order.value_or(session.DerivativeOrder()));
    if (options.derivative_method && session.DerivativeOrder() >= 1 &&
        session.Settings().derivative.method != *options.derivative_method)
        session.SetDerivativeMethod(*options.derivative_method);
    session.SetFeatureSpaceType(options.feature_space_type.value_or(session.FeatureSpaceType()));
    if (options.feature_space) {
        session.SetFeatureSpace(ResolveByNameOrId(db, kFeatureSpaceNames, *options.feature_space));
    } else {
        const std::vector<FeatureSpaceItem> items = ListFeatureSpaces(session);
        session.SetFeatureSpace(items.empty() ? 0 : items.front().id);
    }
    if (options.classifier) session.SetClassifier(*options.classifier);
    for (const auto& [stage, mode] : options.stage_modes) session.SetStageMode(stage, mode);
}

}  // namespace orvane
