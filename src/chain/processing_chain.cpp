// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/processing_chain.h"

#include <string>

#include "base/orvane_error.h"
#include "chain/processing_session.h"
#include "chain/derivative_settings.h"
#include "chain/feature_space.h"
#include "chain/savitzky_golay.h"
#include "chain/savitzky_golay_filter.h"
#include "chain/sensor_synthesis.h"
#include "chain/smoothing_filter.h"
#include "spectra/waveband_filter.h"
#include "base/matrix_stats.h"
#include "spectra/site.h"
#include "spectra/spectrum.h"

namespace orvane {

namespace {

// A stage on the sensor axis is written whole by its step, so the previous request's vector
// serves again while the axis is the same; only a changed axis needs a new one.
void Reuse(std::unique_ptr<BandVector>& stage, int first, int count,
           const ProcessingSession& session) {
    if (!stage || stage->First() != first || stage->Count() != count)
        stage = std::make_unique<BandVector>(first, count, session.StudyFilter());
    else
        stage->SetFilter(session.StudyFilter());
}

// The filter step from the stored floats on the 1 nm grid, with the filter's verdicts as one
// byte per band; with `input` it also lays the filtered values out for the moving-window
// kernel and counts the bands without value in the same pass. False when the spectrum or the
// session is not on that grid, and nothing was done.
bool FilterStoredValues(const ProcessingSession& session, Spectrum& spectrum,
                        const SavitzkyGolayKernel::Input* input) {
    const BandVector& raw = *spectrum.raw_;
    BandVector& out = *spectrum.filtered_;
    const int n = kSpectrumBands;
    if (raw.First() != kFirstWavelength || raw.Count() != n ||
        out.First() != kFirstWavelength || out.Count() != n ||
        session.FilterMask().First() != kFirstWavelength || session.FilterMask().Count() != n ||
        static_cast<int>(session.FilterExcluded().size()) != n)
        return false;
    const unsigned char* m = session.FilterExcluded().data();
    const float* r = spectrum.reflectances_.data();
    BandEntry* o = out.EntryAt(out.First());
    int valid = 0;
    if (input) {
        double* values = input->values;
        int* missing = input->missing_before;
        missing[0] = 0;
        for (int k = 0; k < n; ++k) {
            const bool excluded = m[k] != 0;
            const double v = excluded ? kNoValue : static_cast<double>(r[k]);
            o[k].value = v;
            o[k].x = static_cast<double>(kFirstWavelength + k);
            values[k] = v;
            missing[k + 1] = missing[k] + !HasValue(v);
            valid += !excluded;
        }
    } else {
        for (int k = 0; k < n; ++k) {
            const bool excluded = m[k] != 0;
            o[k].value = excluded ? kNoValue : static_cast<double>(r[k]);
            o[k].x = static_cast<double>(kFirstWavelength + k);
            valid += !excluded;
        }
    }
    out.SetValidCount(valid);
    return true;
}

void Smooth(const ProcessingSession& session, Spectrum& spectrum) {
    SmoothingFilter* smoothing = session.Smoothing();
    if (!smoothing)
        throw OrvaneError("The session has no smoothing filter for smoothing type " +
                          std::to_string(session.SmoothingType()) + ".");
    // The moving window's input is made while filtering: one pass over the grid less.
    auto* savitzky_golay = dynamic_cast<SavitzkyGolayFilter*>(smoothing);
    if (SavitzkyGolayKernel* kernel =
            savitzky_golay ? savitzky_golay->MovingWindowKernel() : nullptr) {
        const SavitzkyGolayKernel::Input input = kernel->PrepareInput(kSpectrumBands);
        if (FilterStoredValues(session, spectrum, &input)) {
            kernel->ApplyMovingWindowPrepared(*spectrum.filtered_, *spectrum.smoothed_,
                                              savitzky_golay->Widened());
            return;
        }
    }
    ApplyWavebandFilter(session, spectrum);
    BandVector& out = *spectrum.smoothed_;
    smoothing->Apply(*spectrum.filtered_, out);
    if (smoothing->ClampsNegatives()) return;
    // Small negative values are noise around zero reflectance; the marker -1.0 stays.
    BandEntry* e = out.EntryAt(out.First());
    for (int k = 0; k < out.Count(); ++k) {
        const double v = e[k].value;
        e[k].value = HasValue(v) && v < 0.0 ? 0.0 : v;
    }
}

void Synthesize(const ProcessingSession& session, Spectrum& spectrum) {
    Smooth(session, spectrum);
    session.RequireSensor();
    const SensorSynthesis& synthesis = *session.Synthesis();
    Reuse(spectrum.synthesized_, synthesis.First(), synthesis.Count(), session);
    synthesis.Apply(*spectrum.smoothed_, *spectrum.synthesized_);
}

void Derive(const ProcessingSession& session, Spectrum& spectrum) {
    Synthesize(session, spectrum);
    const BandVector& synth = *spectrum.synthesized_;
    Reuse(spectrum.derived_, synth.First(), synth.Count(), session);
    if (session.DerivativeOrder() < 1 || !session.Derivative()) {
        for (const BandEntry& e : synth.Entries()) spectrum.derived_->Set(e.index, e.value, e.x);
        spectrum.derived_->SetValidCount(synth.ValidCount());
    } else {
        session.Derivative()->Apply(synth, *spectrum.derived_);
    }
}

}  // namespace

void ApplyWavebandFilter(const ProcessingSession& session, Spectrum& spectrum) {
    const BandVector& raw = *spectrum.raw_;
    BandVector& out = *spectrum.filtered_;
    const int n = raw.Count();
    const BandEntry* in = raw.EntryAt(raw.First());
    BandEntry* o = out.EntryAt(out.First());
    // The filter mask holds the study filter's verdict for every grid band already; one pass
    // over three arrays is the whole step.
    const BandVector& mask = session.FilterMask();
    const bool same_axis = mask.First() == raw.First() && mask.Count() == n &&
                           static_cast<int>(session.FilterExcluded().size()) == n &&
                           out.First() == raw.First() && out.Count() == n;
    int valid = 0;
    if (FilterStoredValues(session, spectrum, nullptr)) return;
    if (same_axis) {
        const unsigned char* m = session.FilterExcluded().data();
        for (int k = 0; k < n; ++k) {
            const bool excluded = m[k] != 0;
            o[k].value = excluded ? kNoValue : in[k].value;
            o[k].x = in[k].x;
            valid += !excluded;
        }
    } else {
        const WavebandFilter* filter = session.StudyFilter();
        for (const BandEntry& e : raw.Entries()) {
            const bool excluded = filter && filter->Excludes(e.index);
            out.Set(e.index, excluded ? kNoValue : e.value, e.x);
            valid += !excluded;
        }
    }
    out.SetValidCount(valid);
}

BandVector* StageVector(const ProcessingSession& session, Spectrum& spectrum, int stage) {
    switch (stage) {
        case kStageRaw:
            return spectrum.raw_.get();
        case kStageFiltered:
            ApplyWavebandFilter(session, spectrum);
            return spectrum.filtered_.get();
        case kStageSmoothed:
            Smooth(session, spectrum);
            return spectrum.smoothed_.get();
        case kStageSynthesized:
            Synthesize(session, spectrum);
            return spectrum.synthesized_.get();
        case kStageDerived:
            Derive(session, spectrum);
            return spectrum.derived_.get();
        case kStageInterpolated:
            Synthesize(session, spectrum);
            InterpolateToGrid(*spectrum.synthesized_, *spectrum.interpolated_);
            return spectrum.interpolated_.get();
        default:
            return nullptr;
    }
}

std::vector<int> ChainDerivedBands(const ProcessingSession& session) {
    // Which bands keep a value depends on the filter, the windows and the sensor, not on the
    // values, so a flat spectrum run through the chain shows them.
    Spectrum complete;
    complete.reflectances_.fill(0.5f);
    complete.UpdateRawStage();
    std::vector<int> bands;
    for (const BandEntry& e : StageVector(session, complete, kStageDerived)->Entries())
        if (HasValue(e.value)) bands.push_back(e.index);
    return bands;
}

Matrix* FeatureVector(const ProcessingSession& session, Spectrum& spectrum, int type) {
    if (type < kFeatureDI || type > kFeaturePCT) return nullptr;
    const FeatureSpace* fs = session.CurrentFeatureSpace();
    if (!fs) throw OrvaneError("No feature space is selected.");
    Derive(session, spectrum);
    auto& slot = spectrum.features_[static_cast<size_t>(type)];
    if (!slot) slot = std::make_unique<Matrix>();
    switch (type) {
        case kFeatureDI:
            fs->DIFeatures(*spectrum.derived_, *slot);
            break;
        case kFeatureNTBI:
            fs->NTBIFeatures(*spectrum.derived_, *slot);
            break;
        default:
            fs->PCTFeatures(*spectrum.derived_, *slot);
            break;
    }
    return slot.get();
}

std::unique_ptr<BandVector> StageMean(const ProcessingSession& session, Site& group, int stage) {
    if (group.MemberCount() == 0)
        throw OrvaneError("Cannot average a group without spectra (site " +
                          std::to_string(group.SiteNumber()) + ").");
    BandMean mean;
    for (int i = 0; i < group.MemberCount(); ++i) {
        const BandVector* v = StageVector(session, *group.Member(i), stage);
        if (!v) throw OrvaneError("Unknown processing stage " + std::to_string(stage) + ".");
        mean.Add(*v);
    }
    return mean.Result();
}

Matrix FeatureMatrix(const ProcessingSession& session, Site& group, int type) {
    const int n = group.MemberCount();
    if (n == 0) throw OrvaneError("Cannot build the feature matrix of a group without spectra.");
    Matrix result;
    for (int i = 0; i < n; ++i) {
        const Matrix* f = FeatureVector(session, *group.Member(i), type);
        if (!f) throw OrvaneError("Unknown feature type " + std::to_string(type) + ".");
        if (i == 0) result.ReSize(f->Nrows(), n);
        if (f->Nrows() != result.Nrows())
            throw OrvaneError("Feature vectors of one group differ in length.");
        result.Column(i + 1) = *f;
    }
    return result;
}

Matrix MeanFeature(const ProcessingSession& session, Site& group, int type) {
    return RowMeans(FeatureMatrix(session, group, type));
}

}  // namespace orvane
