// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/processing_chain.h"

#include <string>

#include "base/band_grid.h"
#include "base/matrix_stats.h"
#include "base/orvane_error.h"
#include "chain/derivative_settings.h"
#include "chain/feature_space.h"
#include "chain/savitzky_golay.h"
#include "chain/savitzky_golay_filter.h"
#include "chain/sensor_synthesis.h"
#include "chain/smoothing_filter.h"
#include "spectra/site.h"
#include "spectra/spectrum.h"
#include "spectra/waveband_filter.h"

namespace orvane {

namespace {

// A stage on the sensor axis is written whole by its step, so the previous spectrum's vector
// serves again while the axis is the same; only a changed axis needs a new one.
void Reuse(std::unique_ptr<BandVector>& stage, int first, int count,
           const WavebandFilter* filter) {
    if (!stage || stage->First() != first || stage->Count() != count)
        stage = std::make_unique<BandVector>(first, count, filter);
    else
        stage->SetFilter(filter);
}

// The filter step from the stored floats on the 1 nm grid, with the filter's verdicts as one
// byte per band, into `out`; with `input` instead into the moving-window kernel's input, with
// the bands without value counted in the same pass (`out` is then left as it is). False when
// the settings' mask is not on that grid, and nothing was done.
bool FilterStoredValues(const ChainSettings& settings, const Spectrum& spectrum, BandVector& out,
                        const SavitzkyGolayKernel::Input* input) {
    const int n = kSpectrumBands;
    if (!settings.filter_mask || !settings.filter_excluded ||
        settings.filter_mask->First() != kFirstWavelength || settings.filter_mask->Count() != n ||
        static_cast<int>(settings.filter_excluded->size()) != n)
        return false;
    const unsigned char* m = settings.filter_excluded->data();
    const float* r = spectrum.reflectances_.data();
    if (input) {
        double* values = input->values;
        int* missing = input->missing_before;
        missing[0] = 0;
        for (int k = 0; k < n; ++k) {
            const double v = m[k] != 0 ? kNoValue : static_cast<double>(r[k]);
            values[k] = v;
            missing[k + 1] = missing[k] + !HasValue(v);
        }
        return true;
    }
    BandEntry* o = out.EntryAt(out.First());
    int valid = 0;
    for (int k = 0; k < n; ++k) {
        const bool excluded = m[k] != 0;
        o[k].value = excluded ? kNoValue : static_cast<double>(r[k]);
        valid += !excluded;
    }
    out.SetValidCount(valid);
    return true;
}

// A grid vector whose x values are its wavelengths, as every grid stage has them.
BandVector GridVector() {
    BandVector v(kFirstWavelength, kSpectrumBands);
    for (int w = kFirstWavelength; w < kFirstWavelength + kSpectrumBands; ++w)
        v.Set(w, kNoValue, static_cast<double>(w));
    return v;
}

}  // namespace

void ThrowNoSensor() {
    throw OrvaneError(
        "There is no sensor in the database. Import a sensor before processing spectra.",
        Remedy::kImportSensor);
}

Chain::Chain(const ChainSettings& settings)
    : settings_(settings),
      raw_(GridVector()),
      filtered_(GridVector()),
      smoothed_(GridVector()),
      smoothed_values_(static_cast<size_t>(kSpectrumBands)),
      smoothed_missing_(static_cast<size_t>(kSpectrumBands) + 1),
      interpolated_(GridVector()) {
    Use(settings);
}

void Chain::Use(const ChainSettings& settings) {
    settings_ = settings;
    filtered_.SetFilter(settings.study_filter);
    smoothed_.SetFilter(settings.study_filter);
}

void Chain::Raw(const Spectrum& spectrum) {
    BandEntry* o = raw_.EntryAt(raw_.First());
    const float* r = spectrum.reflectances_.data();
    for (int k = 0; k < kSpectrumBands; ++k) o[k].value = static_cast<double>(r[k]);
}

void Chain::Filter(const Spectrum& spectrum) {
    if (FilterStoredValues(settings_, spectrum, filtered_, nullptr)) return;
    // Without the per-band verdicts the filter itself is asked band by band.
    const WavebandFilter* filter = settings_.study_filter;
    const float* r = spectrum.reflectances_.data();
    int valid = 0;
    for (int k = 0; k < kSpectrumBands; ++k) {
        const int w = kFirstWavelength + k;
        const bool excluded = filter && filter->Excludes(w);
        filtered_.SetValue(w, excluded ? kNoValue : static_cast<double>(r[k]));
        valid += !excluded;
    }
    filtered_.SetValidCount(valid);
}

bool Chain::SmoothFlat(const Spectrum& spectrum) {
    // The moving window's input is made while filtering and its output is what the synthesis
    // reads: no pass over the grid moves values between layouts.
    auto* savitzky_golay = dynamic_cast<SavitzkyGolayFilter*>(settings_.smoothing);
    SavitzkyGolayKernel* kernel = savitzky_golay ? savitzky_golay->MovingWindowKernel() : nullptr;
    if (kernel) {
        const SavitzkyGolayKernel::Input input = kernel->PrepareInput(kSpectrumBands);
        if (FilterStoredValues(settings_, spectrum, filtered_, &input)) {
            kernel->ApplyMovingWindowFlat(filtered_, savitzky_golay->Widened(),
                                          smoothed_values_.data(), smoothed_missing_.data());
            return true;
        }
    }
    SmoothVector(spectrum);
    return false;
}

void Chain::Smooth(const Spectrum& spectrum) {
    if (!SmoothFlat(spectrum)) return;
    for (int k = 0; k < kSpectrumBands; ++k)
        smoothed_.SetValue(kFirstWavelength + k, smoothed_values_[static_cast<size_t>(k)]);
    smoothed_.SetValidCount(kSpectrumBands - smoothed_missing_.back());
}

void Chain::SmoothVector(const Spectrum& spectrum) {
    SmoothingFilter* smoothing = settings_.smoothing;
    if (!smoothing)
        throw OrvaneError("The session has no smoothing filter for smoothing type " +
                          std::to_string(settings_.smoothing_type) + ".");
    Filter(spectrum);
    smoothing->Apply(filtered_, smoothed_);
    if (smoothing->ClampsNegatives()) return;
    // Small negative values are noise around zero reflectance; the marker -1.0 stays.
    BandEntry* e = smoothed_.EntryAt(smoothed_.First());
    for (int k = 0; k < smoothed_.Count(); ++k) {
        const double v = e[k].value;
        e[k].value = HasValue(v) && v < 0.0 ? 0.0 : v;
    }
}

void Chain::Synthesize(const Spectrum& spectrum) {
    if (!settings_.synthesis) ThrowNoSensor();
    const SensorSynthesis& synthesis = *settings_.synthesis;
    Reuse(synthesized_, synthesis.First(), synthesis.Count(), settings_.study_filter);
    // A Z profile lies on the sensor's bands already: its values are the stage, not a synthesis
    // of its (empty) reflectances.
    if (const BandVector* profile = spectrum.sensor_profile_.get()) {
        if (profile->First() != synthesized_->First() || profile->Count() != synthesized_->Count())
            throw OrvaneError(spectrum.DisplayName() +
                              " was read on another sensor's bands; load it again on the "
                              "current sensor.");
        for (int k = profile->First(); k <= profile->Last(); ++k)
            synthesized_->Set(k, profile->Value(k), profile->X(k));
        synthesized_->SetValidCount(profile->ValidCount());
        return;
    }
    if (SmoothFlat(spectrum))
        synthesis.Apply(SensorSynthesis::GridValues{smoothed_values_.data(),
                                                    smoothed_missing_.data(), kFirstWavelength,
                                                    kSpectrumBands},
                        *synthesized_);
    else
        synthesis.Apply(smoothed_, *synthesized_);
}

void Chain::Derive(const Spectrum& spectrum) {
    Synthesize(spectrum);
    const BandVector& synth = *synthesized_;
    Reuse(derived_, synth.First(), synth.Count(), settings_.study_filter);
    if (settings_.derivative_order < 1 || !settings_.derivative) {
        for (int k = synth.First(); k <= synth.Last(); ++k)
            derived_->Set(k, synth.Value(k), synth.X(k));
        derived_->SetValidCount(synth.ValidCount());
    } else {
        settings_.derivative->Apply(synth, *derived_);
    }
}

const BandVector& Chain::Run(const Spectrum& spectrum, Stage stage) {
    switch (stage) {
        case Stage::kRaw:
            Raw(spectrum);
            return raw_;
        case Stage::kFiltered:
            Filter(spectrum);
            return filtered_;
        case Stage::kSmoothed:
            Smooth(spectrum);
            return smoothed_;
        case Stage::kSynthesized:
            Synthesize(spectrum);
            return *synthesized_;
        case Stage::kDerived:
            Derive(spectrum);
            return *derived_;
        case Stage::kInterpolated:
            Synthesize(spectrum);
            InterpolateToGrid(*synthesized_, interpolated_);
            return interpolated_;
        case Stage::kFeatures:
            break;
    }
    throw OrvaneError("The feature stage has no bands; ask the chain for features instead.");
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
    Derive(spectrum);
    switch (type) {
        case kFeatureDI:
            fs->DIFeatures(*derived_, features_);
            break;
        case kFeatureNTBI:
            fs->NTBIFeatures(*derived_, features_);
            break;
        default:
            fs->PCTFeatures(*derived_, features_);
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
