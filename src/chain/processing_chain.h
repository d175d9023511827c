// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <vector>

#include "base/matrix.h"
#include "chain/chain_settings.h"
#include "chain/chain_stage.h"
#include "spectra/band_vector.h"

namespace orvane {

class Site;
class Spectrum;

// Throws the error every stage from the synthesis on gives without a sensor.
[[noreturn]] void ThrowNoSensor();

// Runs spectra through the chain. The chain owns one buffer per stage (flat arrays of values
// and x values, NaN where a band has no value) and reuses it from spectrum to spectrum, so a
// spectrum held in memory carries only its stored values; a returned vector is valid until the
// chain runs again. Each stage is computed by the step its declaration names, from the stage
// the declaration names as its input.
class Chain {
  public:
    explicit Chain(const ChainSettings& settings);
    Chain(const Chain&) = delete;
    Chain& operator=(const Chain&) = delete;

    const ChainSettings& Settings() const { return settings_; }
    // Takes new settings, keeping the buffers: for a holder that outlives a settings change.
    void Use(const ChainSettings& settings) { settings_ = settings; }

    // The spectrum's values at a stage with bands; throws OrvaneError for the feature stage,
    // and for a sensor stage without a sensor.
    const BandVector& Run(const Spectrum& spectrum, Stage stage);
    // The feature vector (n x 1) of the current feature space's type `type` (FeatureType);
    // throws OrvaneError without a feature space or for an unknown type.
    const Matrix& Features(const Spectrum& spectrum, int type);

    // The bands at which the derived stage has a value for a spectrum with a value at every
    // grid band: the bands an analysis across spectra shares. A spectrum whose own derived
    // stage lacks one of them cannot join such an analysis.
    std::vector<int> DerivedBands();

  private:
    BandVector& Buffer(Stage stage);
    const BandVector& Compute(const Spectrum& spectrum, Stage stage);

    ChainSettings settings_;
    std::vector<BandVector> buffers_;  // by stage number
    Matrix features_;
};

// Mean of the group members' vectors of a stage, each band over the members with a value
// there. Throws OrvaneError for a group without members or a stage without bands.
std::unique_ptr<BandVector> StageMean(Chain& chain, Site& group, Stage stage);
// Feature vectors of all members as columns (dimension x members); throws OrvaneError for a
// group without members.
Matrix FeatureMatrix(Chain& chain, Site& group, int type);
// Row means of the feature matrix.
Matrix MeanFeature(Chain& chain, Site& group, int type);

}  // namespace orvane
