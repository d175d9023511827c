// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/processing_chain.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/matrix_stats.h"
#include "base/orvane_error.h"
#include "base/band_grid.h"
#include "base/parallel.h"
#include "chain/feature_space.h"
#include "spectra/sensor.h"
#include "spectra/site.h"
#include "spectra/spectrum.h"

namespace orvane {

void ThrowNoSensor() {
    throw OrvaneError(
        "There is no sensor in the database. Import a sensor before processing spectra.",
        Remedy::kImportSensor);
}

namespace {

// No stage is computed into the feature stage, so as the given stage it means none is given.
constexpr Stage kNothingGiven = Stage::kFeatures;

size_t StageSlots() {
    size_t slots = 0;
    for (const StageDeclaration& s : Stages())
        slots = std::max(slots, static_cast<size_t>(s.id) + 1);
    return slots;
}

// Whether `stage` holds the raw values unchanged: it is the raw stage, or an optional stage
// that is off and computed from such a stage.
bool RawPassesTo(const StepInput& input, Stage stage) {
    for (; stage != Stage::kRaw; stage = Declaration(stage).input)
        if (!Declaration(stage).option || input.Setting(stage).mode != 0) return false;
    return true;
}

}  // namespace

Chain::Chain(std::shared_ptr<const CompiledChain> compiled)
    : compiled_(std::move(compiled)), work_(*compiled_) {
    // Every buffer exists from the start: a stage's input stays where it is while the stage
    // computes its output.
    buffers_.assign(StageSlots(), BandVector(0, 0));
}

void Chain::Use(std::shared_ptr<const CompiledChain> compiled) {
    if (compiled == compiled_) return;
    work_ = ChainWork(*compiled);
    compiled_ = std::move(compiled);
}

BandVector& Chain::Buffer(Stage stage) { return buffers_[static_cast<size_t>(stage)]; }

const BandVector& Chain::Compute(const StepInput& input, Stage stage, Stage given) {
    if (given != kNothingGiven && stage == given) return Buffer(stage);
    const StageDeclaration& declaration = Declaration(stage);
    if (!declaration.apply)
        throw OrvaneError("The feature stage has no bands; ask the chain for features instead.");
    // A step that can read the stored values itself does so when the stages between them
    // would pass the raw values on unchanged.
    if (declaration.from_stored && given == kNothingGiven && input.stored && !input.grid &&
        RawPassesTo(input, declaration.input)) {
        BandVector& output = Buffer(stage);
        declaration.from_stored(input, output);
        return output;
    }
    if (declaration.input == stage && given != kNothingGiven)
        throw OrvaneError(std::string("The ") + declaration.label +
                          " stage lies before the sensor's bands; a spectrum on them has no "
                          "values there.");
    const BandVector& in =
        declaration.input == stage ? Buffer(stage) : Compute(input, declaration.input, given);
    // An optional stage that is off passes its input on unchanged: its input's buffer serves.
    if (declaration.option && input.Setting(stage).mode == 0) return in;
    BandVector& output = Buffer(stage);
    declaration.apply(input, in, output);
    return output;
}

const BandVector& Chain::RunFrom(const StepInput& input, Stage stage) {
    // Without a sensor the synthesis would refuse only after the smoothing has run.
    if (NeedsSensor(stage) && !compiled_->Synthesis()) ThrowNoSensor();
    return Compute(input, stage, kNothingGiven);
}

const BandVector& Chain::Run(const Spectrum& spectrum, Stage stage) {
    StepInput input{*compiled_, work_, spectrum.reflectances_.data(),
                    spectrum.sensor_profile_.get(), &spectrum};
    return RunFrom(input, stage);
}

const BandVector& Chain::RunGrid(const float* stored, Stage stage) {
    StepInput input{*compiled_, work_, stored, nullptr, nullptr};
    return RunFrom(input, stage);
}

const BandVector& Chain::RunGridValues(const double* values, Stage stage) {
    StepInput input{*compiled_, work_, nullptr, nullptr, nullptr, values};
    return RunFrom(input, stage);
}

const BandVector& Chain::RunSensorBands(const double* values, int count, Stage stage) {
    const SensorSynthesis* synthesis = compiled_->Synthesis();
    if (!synthesis) ThrowNoSensor();
    if (count != synthesis->Count())
        throw OrvaneError("The sensor " + compiled_->SensorOf()->Name() + " has " +
                          std::to_string(synthesis->Count()) + " bands, but " +
                          std::to_string(count) + " values were given.");
    // The synthesized stage as the synthesis would leave it: the sensor's centres as x values,
    // no value where the synthesis gives none (an unusable band, one the filter excludes).
    BandVector& synthesized = Buffer(Stage::kSynthesized);
    const BandVector& mask = *compiled_->SensorMask();
    synthesized.Reshape(mask.First(), mask.Count());
    synthesized.SetFilter(&compiled_->StudyFilter());
    double* v = synthesized.Values();
    double* x = synthesized.Xs();
    const double* m = mask.Values();
    const double* mx = mask.Xs();
    int valid = 0;
    for (int k = 0; k < count; ++k) {
        x[k] = mx[k];
        v[k] = HasValue(m[k]) && std::isfinite(values[k]) ? values[k] : kNoValue;
        valid += HasValue(v[k]);
    }
    synthesized.SetValidCount(valid);
    StepInput input{*compiled_, work_, nullptr, nullptr, nullptr};
    return Compute(input, stage, Stage::kSynthesized);
}

std::vector<int> Chain::DerivedBands() {
    // Which bands keep a value depends on the filter, the windows and the sensor, not on the
    // values, so a flat spectrum run through the chain shows them.
    std::vector<float> complete(kSpectrumBands, 0.5f);
    const BandVector& derived = RunGrid(complete.data(), Stage::kDerived);
    std::vector<int> bands;
    for (int k = derived.First(); k <= derived.Last(); ++k)
        if (HasValue(derived.Value(k))) bands.push_back(k);
    return bands;
}

const Matrix& Chain::FeaturesOf(const BandVector& derived, int type) {
    const FeatureSpace* fs = compiled_->Features();
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

namespace {

void CheckFeatures(const CompiledChain& chain, int type) {
    if (type < kFeatureDI || type > kFeaturePCT)
        throw OrvaneError("Unknown feature type " + std::to_string(type) + ".");
    if (!chain.Features()) throw OrvaneError("No feature space is selected.");
}

}  // namespace

const Matrix& Chain::Features(const Spectrum& spectrum, int type) {
    CheckFeatures(*compiled_, type);
    return FeaturesOf(Run(spectrum, Stage::kDerived), type);
}

const Matrix& Chain::FeaturesFromSensorBands(const double* values, int count) {
    const FeatureSpace* fs = compiled_->Features();
    CheckFeatures(*compiled_, fs ? fs->Type() : kFeatureDI);
    return FeaturesOf(RunSensorBands(values, count, Stage::kDerived), fs->Type());
}

const Matrix& Chain::FeaturesFromGrid(const double* values) {
    const FeatureSpace* fs = compiled_->Features();
    CheckFeatures(*compiled_, fs ? fs->Type() : kFeatureDI);
    return FeaturesOf(RunGridValues(values, Stage::kDerived), fs->Type());
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

ChainTeam::ChainTeam(std::shared_ptr<const CompiledChain> compiled)
    : compiled_(std::move(compiled)) {}

void ChainTeam::Prepare(int workers) {
    while (static_cast<int>(chains_.size()) < workers)
        chains_.push_back(std::make_unique<Chain>(compiled_));
}

Chain& ChainTeam::For(int worker) { return *chains_.at(static_cast<size_t>(worker)); }

Matrix FeatureMatrix(ChainTeam& team, Site& group, int type) {
    const int n = group.MemberCount();
    if (n == 0) throw OrvaneError("Cannot build the feature matrix of a group without spectra.");
    team.Prepare(WorkersFor(static_cast<size_t>(n)));
    // Each member's vector by its index, gathered into the matrix in member order afterwards.
    std::vector<std::vector<double>> columns(static_cast<size_t>(n));
    ParallelFor(static_cast<size_t>(n), [&](size_t i, int worker) {
        const Matrix& f = team.For(worker).Features(*group.Member(static_cast<int>(i)), type);
        columns[i].assign(f.Store(), f.Store() + f.Nrows());
    });
    Matrix result(static_cast<int>(columns[0].size()), n);
    for (int i = 0; i < n; ++i) {
        const std::vector<double>& c = columns[static_cast<size_t>(i)];
        if (static_cast<int>(c.size()) != result.Nrows())
            throw OrvaneError("Feature vectors of one group differ in length.");
        for (int r = 0; r < result.Nrows(); ++r) result(r + 1, i + 1) = c[static_cast<size_t>(r)];
    }
    return result;
}

Matrix MeanFeature(Chain& chain, Site& group, int type) {
    return RowMeans(FeatureMatrix(chain, group, type));
}

}  // namespace orvane
