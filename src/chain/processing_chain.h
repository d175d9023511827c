#pragma once

#include "spectra/band_vector.h"
#include "base/matrix.h"

namespace orvane {

class Spectrum;

// Runs the chain for one spectrum with the session's current settings and returns the
// spectrum's own vector of the stage (nullptr for an unknown stage number).
BandVector* RunChainStage(Spectrum& spectrum, int stage);
// Runs the whole chain and the feature step of the given type.
Matrix* RunChainFeatures(Spectrum& spectrum, int type);

// The filter step: the raw values with every band the study's filter excludes set to no value.
void ApplyWavebandFilter(Spectrum& spectrum);

}  // namespace orvane
