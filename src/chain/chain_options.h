// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "chain/classifiers.h"
#include "chain/processing_session.h"

namespace orvane {

// The highest derivative order either face accepts.
constexpr int kMaxDerivativeOrder = 30;

// The processing chain as a user chooses it, in a window's controls or on a command line:
// each field left empty keeps the session's current choice. Names or ids are resolved when
// the options are applied.
struct ChainOptions {
    std::optional<std::string> study;   // name or id
    std::optional<std::string> sensor;  // name or id
    std::optional<int> smoothing_type;  // SmoothingType
    std::optional<int> derivative_order;
    std::optional<int> derivative_method;      // DerivativeMethod
    std::optional<int> feature_space_type;     // FeatureType
    std::optional<std::string> feature_space;  // name or id
    std::optional<Classifier> classifier;
    // The modes of optional stages (chain_stage.h), by stage.
    std::map<Stage, int> stage_modes;
};

// Parses the user's words (any case) for the enumerated settings, by their tables
// (kSmoothingTypes, kDerivativeMethods, kFeatureTypes); throws OrvaneError naming the choices.
int ParseSmoothingType(const std::string& word);
int ParseDerivativeMethod(const std::string& word);
int ParseFeatureSpaceType(const std::string& word);

// The id of a study given by id or name; throws OrvaneError when none matches.
int ResolveStudy(ProcessingSession& session, const std::string& name_or_id);
// The same for a sensor.
int ResolveSensor(ProcessingSession& session, const std::string& name_or_id);
// Any stored feature space by id or exact name, whatever sensor it fits; `type` narrows a
// name that feature spaces of several types share. Throws OrvaneError when none or several
// match.
int ResolveAnyFeatureSpace(ProcessingSession& session, const std::string& name_or_id,
                           std::optional<int> type);

// Checks the options and makes them current through the session in the order of the chain:
// study, sensor, smoothing, derivative order and method, feature-space type, feature space,
// classifier, the optional stages' modes. A value out of range or a name that matches nothing
// throws OrvaneError. Without an explicit feature space the first of the current type (fewest
// dimensions first) that fits the sensor is taken.
void ApplyChainOptions(ProcessingSession& session, const ChainOptions& options);

// The feature spaces offered for the current type and sensor, ordered by dimension; for PCT
// only while a principal component analysis of the current chain is stored.
struct FeatureSpaceItem {
    std::string name;
    int id = 0;
};
std::vector<FeatureSpaceItem> ListFeatureSpaces(ProcessingSession& session);
// The same for a chain other than the session's and a feature-space type.
std::vector<FeatureSpaceItem> ListFeatureSpaces(Database& db, const ChainSpec& chain, int type);

// The stored principal component analysis of the session's study, sensor, waveband filter,
// smoothing and derivative that is newer than each of them and than the last change of the
// study's spectra (an import, a deletion, a spectrum disabled or enabled); 0 when there is none.
int CurrentPcaDataId(ProcessingSession& session);
int CurrentPcaDataId(Database& db, const ChainSpec& chain);

// After a principal component analysis: PCT becomes the feature-space type, the current PCT
// feature space stays when it is still offered, otherwise the first one offered is taken.
// Returns its id (0 when none is offered).
int SwitchToPct(ProcessingSession& session);

}  // namespace orvane
