// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "chain/chain_settings.h"
#include "chain/derivative_settings.h"
#include "spectra/waveband_filter.h"
#include "store/feature_space_repository.h"
#include "store/library_repository.h"

namespace orvane {

enum class Stage;
class FeatureSpace;
class Sensor;

// The smoothing step's settings: its type (0 none, 1 moving window, 2 FFT), the study's row
// they come from and the Savitzky-Golay window of the two filtering types.
struct SmoothingSettings {
    int type = 0;
    int filter_id = 0;
    int size = 31;
    int polynomial_order = 4;
    bool operator==(const SmoothingSettings& o) const;
};

// The derivative step's settings: its order (0 none), the study's row of that order, the
// method and the Savitzky-Golay window the method savgol uses.
struct DerivativeSettings {
    int id = 0;
    int order = 0;
    int method = kDerivativeIterative;
    int size = 5;
    int polynomial_order = 4;
    bool operator==(const DerivativeSettings& o) const;
};

// The derivative settings a study starts with for an order: a Savitzky-Golay window of
// max(4, order) + 1 bands and polynomial order max(4, order), the iterative method.
DerivativeSettings DefaultDerivative(int order);

// Everything a processing chain computes from, as a plain value: the study's waveband filter,
// the smoothing, the optional stages' modes and pairs, the sensor whose bands are synthesized,
// the derivative and the feature space (mapped to the sensor, with its PCA transform). The ids
// of the stored rows the settings come from travel along, since the libraries and analyses
// stored for a chain are found by them. Copies share the sensor and the feature space, which
// nothing changes once they are in a definition.
struct ChainSpec {
    int study_id = 0;
    WavebandFilter study_filter;
    SmoothingSettings smoothing;
    DerivativeSettings derivative;
    // By stage number; a missing entry is off.
    std::vector<StageSetting> stages;
    // The ids of the study's stage_option rows of the stages that are on, by stage number.
    std::vector<int> stage_option_ids;
    std::shared_ptr<const Sensor> sensor;
    std::shared_ptr<const FeatureSpace> feature_space;

    const StageSetting& Setting(Stage stage) const;
    int SensorId() const;
    int FeatureSpaceId() const;

    // The ids of the stage_option rows of the stages that are on, ascending, joined by commas:
    // the part of a library's key they make ("" with every optional stage off).
    std::string StageOptionKey() const;
    // The keys stored libraries and principal component analyses of this chain answer to.
    LibraryKey LibraryKeyOf() const;
    PcaKey PcaKeyOf() const;
    // A text that names every setting the chain computes from, equal for equal definitions: for
    // caches, logs and comparing two chains.
    std::string Key() const;

    bool operator==(const ChainSpec& o) const { return Key() == o.Key(); }
    bool operator!=(const ChainSpec& o) const { return !(*this == o); }
};

}  // namespace orvane
