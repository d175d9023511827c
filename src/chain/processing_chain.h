// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <vector>

#include "spectra/band_vector.h"
#include "base/matrix.h"

namespace orvane {

class ProcessingSession;
class Site;
class Spectrum;

// Runs the chain for one spectrum with the session's current settings and returns the
// spectrum's own vector of the stage (nullptr for an unknown stage number).
BandVector* StageVector(const ProcessingSession& session, Spectrum& spectrum, int stage);
// Runs the whole chain and the feature step of the given type and returns the spectrum's own
// feature vector (n x 1); nullptr for an unknown type.
Matrix* FeatureVector(const ProcessingSession& session, Spectrum& spectrum, int type);

// The bands at which the derived stage of the current chain has a value for a spectrum with a
// value at every grid band: the bands an analysis across spectra shares. A spectrum whose own
// derived stage lacks one of them cannot join such an analysis.
std::vector<int> ChainDerivedBands(const ProcessingSession& session);

// The filter step: the raw values with every band the study's filter excludes set to no value.
void ApplyWavebandFilter(const ProcessingSession& session, Spectrum& spectrum);

// Mean of the group members' vectors of a stage, each band over the members with a value
// there. Throws OrvaneError for a group without members or an unknown stage.
std::unique_ptr<BandVector> StageMean(const ProcessingSession& session, Site& group, int stage);
// Feature vectors of all members as columns (dimension x members); throws OrvaneError for a
// group without members.
Matrix FeatureMatrix(const ProcessingSession& session, Site& group, int type);
// Row means of the feature matrix.
Matrix MeanFeature(const ProcessingSession& session, Site& group, int type);

}  // namespace orvane
