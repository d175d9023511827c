// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <vector>

#include "base/matrix.h"
#include "chain/chain_stage.h"
#include "chain/compiled_chain.h"
#include "spectra/band_vector.h"

namespace orvane {

class Site;
class Spectrum;

// Throws the error every stage from the synthesis on gives without a sensor.
[[noreturn]] void ThrowNoSensor();

// Runs spectra through a compiled chain. A Chain belongs to one thread: it owns one buffer per
// stage (flat arrays of values and x values, NaN where a band has no value) and the kernels'
// work space, and reuses them from spectrum to spectrum, so a spectrum held in memory carries
// only its stored values; a returned vector is valid until the chain runs again. Any number of
// Chains may share one CompiledChain. Each stage is computed by the step its declaration names,
// from the stage the declaration names as its input.
class Chain {
  public:
    explicit Chain(std::shared_ptr<const CompiledChain> compiled);
    Chain(const Chain&) = delete;
    Chain& operator=(const Chain&) = delete;

    const CompiledChain& Compiled() const { return *compiled_; }
    const std::shared_ptr<const CompiledChain>& Shared() const { return compiled_; }
    // Takes another compiled chain, keeping the buffers: for a holder that outlives a change of
    // the settings.
    void Use(std::shared_ptr<const CompiledChain> compiled);

    // The spectrum's values at a stage with bands; throws OrvaneError for the feature stage,
    // and for a sensor stage without a sensor.
    const BandVector& Run(const Spectrum& spectrum, Stage stage);
    // The same for values on the 1 nm grid as stored (kSpectrumBands floats from
    // kFirstWavelength, kStoredNoValue where a band has none).
    const BandVector& RunGrid(const float* stored, Stage stage);
    // The same for doubles on the grid (kSpectrumBands of them, NaN where a band has none), as
    // spectra from outside the database come: the raw stage holds them as they are.
    const BandVector& RunGridValues(const double* values, Stage stage);
    // The same from values on the sensor's bands (one per element, in element order; NaN where
    // a band has none), as a pixel of an image taken by the sensor: the stages computed from
    // the synthesized one (synth, synth-interpolated, derived) see them as the synthesis of a
    // field spectrum, with no value where the synthesis could give none. Throws OrvaneError
    // for a stage before the synthesis and for a count other than the sensor's elements.
    const BandVector& RunSensorBands(const double* values, int count, Stage stage);

    // The feature vector (n x 1) of the current feature space's type `type` (FeatureType);
    // throws OrvaneError without a feature space or for an unknown type.
    const Matrix& Features(const Spectrum& spectrum, int type);
    const Matrix& FeaturesFromSensorBands(const double* values, int count);
    // The features of the feature space's own type from doubles on the grid (RunGridValues).
    const Matrix& FeaturesFromGrid(const double* values);

    // The bands at which the derived stage has a value for a spectrum with a value at every
    // grid band: the bands an analysis across spectra shares. A spectrum whose own derived
    // stage lacks one of them cannot join such an analysis.
    std::vector<int> DerivedBands();

  private:
    BandVector& Buffer(Stage stage);
    const BandVector& Compute(const StepInput& input, Stage stage, Stage given);
    const BandVector& RunFrom(const StepInput& input, Stage stage);
    const Matrix& FeaturesOf(const BandVector& derived, int type);

    std::shared_ptr<const CompiledChain> compiled_;
    ChainWork work_;
    std::vector<BandVector> buffers_;  // by stage number
    Matrix features_;
};

// One Chain per worker of ParallelFor over one compiled chain, made as the workers first ask.
class ChainTeam {
  public:
    explicit ChainTeam(std::shared_ptr<const CompiledChain> compiled);
    // The chain of a worker; only that worker may use it while ParallelFor runs.
    Chain& For(int worker);
    // Makes the chains of every worker `workers` will use, before they start.
    void Prepare(int workers);

  private:
    std::shared_ptr<const CompiledChain> compiled_;
    std::vector<std::unique_ptr<Chain>> chains_;
};

// Feature vectors of all members as columns (dimension x members), computed by the team's
// workers; the same matrix as the single chain gives.
Matrix FeatureMatrix(ChainTeam& team, Site& group, int type);

// Mean of the group members' vectors of a stage, each band over the members with a value
// there. Throws OrvaneError for a group without members or a stage without bands.
std::unique_ptr<BandVector> StageMean(Chain& chain, Site& group, Stage stage);
// Feature vectors of all members as columns (dimension x members); throws OrvaneError for a
// group without members.
Matrix FeatureMatrix(Chain& chain, Site& group, int type);
// Row means of the feature matrix.
Matrix MeanFeature(Chain& chain, Site& group, int type);

}  // namespace orvane
