#include "chain/processing_chain.h"

#include <string>

#include "app/orvane_error.h"
#include "app/processing_session.h"
#include "chain/derivative_settings.h"
#include "chain/feature_space.h"
#include "chain/sensor_synthesis.h"
#include "chain/smoothing_filter.h"
#include "chain/waveband_filter.h"
#include "spectra/spectrum.h"

namespace orvane {

namespace {

const ProcessingSession& SessionOf(const Spectrum& spectrum) {
    if (!spectrum.Session())
        throw OrvaneError("A spectrum without a processing session cannot be processed.");
    return *spectrum.Session();
}

void Smooth(Spectrum& spectrum) {
    ApplyWavebandFilter(spectrum);
    const ProcessingSession& session = SessionOf(spectrum);
    BandVector& out = *spectrum.smoothed_;
    if (!session.Smoothing())
        throw OrvaneError("The session has no smoothing filter for smoothing type " +
                          std::to_string(session.SmoothingType()) + ".");
    session.Smoothing()->Apply(*spectrum.filtered_, out);
    // Small negative values are noise around zero reflectance; the marker -1.0 stays.
    for (const BandEntry& e : out.Entries()) {
        if (e.value > kNoValue && e.value < 0.0) out.Set(e.index, 0.0, e.x);
    }
}

void Synthesize(Spectrum& spectrum) {
    Smooth(spectrum);
    const ProcessingSession& session = SessionOf(spectrum);
    session.RequireSensor();
    spectrum.synthesized_ =
        SynthesizeSensorBands(*spectrum.smoothed_, *session.CurrentSensor(), &session);
}

void Derive(Spectrum& spectrum) {
    Synthesize(spectrum);
    const ProcessingSession& session = SessionOf(spectrum);
    const BandVector& synth = *spectrum.synthesized_;
    spectrum.derived_ = std::make_unique<BandVector>(synth.First(), synth.Count(), &session);
    if (session.DerivativeOrder() < 1 || !session.Derivative()) {
        for (const BandEntry& e : synth.Entries()) spectrum.derived_->Set(e.index, e.value, e.x);
        spectrum.derived_->SetValidCount(synth.ValidCount());
    } else {
        session.Derivative()->Apply(synth, *spectrum.derived_);
    }
}

}  // namespace

void ApplyWavebandFilter(Spectrum& spectrum) {
    const ProcessingSession* session = spectrum.Session();
    const WavebandFilter* filter = session ? session->StudyFilter() : nullptr;
    BandVector& out = *spectrum.filtered_;
    int valid = 0;
    for (const BandEntry& e : spectrum.raw_->Entries()) {
        const bool excluded = filter && filter->Excludes(e.index);
        out.Set(e.index, excluded ? kNoValue : e.value, e.x);
        if (!excluded) ++valid;
    }
    out.SetValidCount(valid);
}

BandVector* RunChainStage(Spectrum& spectrum, int stage) {
    switch (stage) {
        case kStageRaw:
            return spectrum.raw_.get();
        case kStageFiltered:
            ApplyWavebandFilter(spectrum);
            return spectrum.filtered_.get();
        case kStageSmoothed:
            Smooth(spectrum);
            return spectrum.smoothed_.get();
        case kStageSynthesized:
            Synthesize(spectrum);
            return spectrum.synthesized_.get();
        case kStageDerived:
            Derive(spectrum);
            return spectrum.derived_.get();
        case kStageInterpolated:
            Synthesize(spectrum);
            InterpolateToGrid(*spectrum.synthesized_, *spectrum.interpolated_);
            return spectrum.interpolated_.get();
        default:
            return nullptr;
    }
}

Matrix* RunChainFeatures(Spectrum& spectrum, int type) {
    if (type < kFeatureDI || type > kFeaturePCT) return nullptr;
    const ProcessingSession& session = SessionOf(spectrum);
    const FeatureSpace* fs = session.CurrentFeatureSpace();
    if (!fs) throw OrvaneError("No feature space is selected.");
    Derive(spectrum);
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

}  // namespace orvane
