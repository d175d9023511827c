// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/processing_chain.h"

#include <algorithm>
#include <string>

#include "base/matrix_stats.h"
#include "base/orvane_error.h"
#include "chain/feature_space.h"
#include "spectra/site.h"
#include "spectra/spectrum.h"

namespace orvane {

void ThrowNoSensor() {
    throw OrvaneError(
        "There is no sensor in the database. Import a sensor before processing spectra.",
        Remedy::kImportSensor);
}

Chain::Chain(const ChainSettings& settings) : settings_(settings) {
    // Every buffer exists from the start: a stage's input stays where it is while the stage
    // computes its output.
    size_t slots = 0;
    for (const StageDeclaration& s : Stages())
        slots = std::max(slots, static_cast<size_t>(s.id) + 1);
    buffers_.assign(slots, BandVector(0, 0));
}

BandVector& Chain::Buffer(Stage stage) { return buffers_[static_cast<size_t>(stage)]; }

const BandVector& Chain::Compute(const Spectrum& spectrum, Stage stage) {
    const StageDeclaration& declaration = Declaration(stage);
    if (!declaration.apply)
        throw OrvaneError("The feature stage has no bands; ask the chain for features instead.");
    const BandVector& input =
        declaration.input == stage ? Buffer(stage) : Compute(spectrum, declaration.input);
    // An optional stage that is off passes its input on unchanged: its input's buffer serves.
    if (declaration.option && settings_.Setting(stage).mode == 0) return input;
    BandVector& output = Buffer(stage);
    declaration.apply(settings_, spectrum, input, output);
    return output;
}

const BandVector& Chain::Run(const Spectrum& spectrum, Stage stage) {
    // Without a sensor the synthesis would refuse only after the smoothing has run.
    if (NeedsSensor(stage) && !settings_.synthesis) ThrowNoSensor();
    return Compute(spectrum, stage);
}

std::vector<int> Chain::DerivedBands() {
    // Which bands keep a value depends on the filter, the windows and the sensor, not on the
    // values, so a flat spectrum run through the chain shows them.
    Spectrum complete;
    complete.reflectances_.fill(0.5f);
    const BandVector& derived = Run(complete, Stage::kDerived);
    std::vector<int> bands;
    for (int k = derived.First(); k <= derived.Last(); ++k)
        if (HasValue(derived.Value(k))) bands.push_back(k);
    return bands;
}

const Matrix& Chain::Features(const Spectrum& spectrum, int type) {
    if (type < kFeatureDI || type > kFeaturePCT)
        throw OrvaneError("Unknown feature type " + std::to_string(type) + ".");
    const FeatureSpace* fs = settings_.feature_space;
    if (!fs) throw OrvaneError("No feature space is selected.");
    const BandVector& derived = Run(spectrum, Stage::kDerived);
    switch (type) {
        case kFeatureDI:
            fs->DIFeatures(derived, features_);
            break;
        case kFeatureNTBI:
            fs->NTBIFeatures(derived, features_);
            break;
        default:
            fs->PCTFeatures(derived, features_);
            break;
    }
    return features_;
}

std::unique_ptr<BandVector> StageMean(Chain& chain, Site& group, Stage stage) {
    if (group.MemberCount() == 0)
        throw OrvaneError("Cannot average a group without spectra (site " +
                          std::to_string(group.SiteNumber()) + ").");
    BandMean mean;
    for (int i = 0; i < group.MemberCount(); ++i) mean.Add(chain.Run(*group.Member(i), stage));
    return mean.Result();
}

Matrix FeatureMatrix(Chain& chain, Site& group, int type) {
    const int n = group.MemberCount();
    if (n == 0) throw OrvaneError("Cannot build the feature matrix of a group without spectra.");
    Matrix result;
    for (int i = 0; i < n; ++i) {
        const Matrix& f = chain.Features(*group.Member(i), type);
        if (i == 0) result.ReSize(f.Nrows(), n);
        if (f.Nrows() != result.Nrows())
            throw OrvaneError("Feature vectors of one group differ in length.");
        result.Column(i + 1) = f;
    }
    return result;
}

Matrix MeanFeature(Chain& chain, Site& group, int type) {
    return RowMeans(FeatureMatrix(chain, group, type));
}

}  // namespace orvane
