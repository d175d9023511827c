// SPDX-License-Identifier: GPL-3.0-or-later
// The step of each stage with bands, as the stage declarations name them.
#include <algorithm>
#include <string>

#include "base/band_grid.h"
#include "base/orvane_error.h"
#include "chain/chain_settings.h"
#include "chain/chain_stage.h"
#include "chain/derivative_settings.h"
#include "chain/processing_chain.h"
#include "chain/sensor_synthesis.h"
#include "chain/smoothing_filter.h"
#include "spectra/band_vector.h"
#include "spectra/spectrum.h"
#include "spectra/waveband_filter.h"

namespace orvane {

namespace {

// Puts `out` on the 1 nm grid; its x values (the wavelengths) are written only when it was on
// another axis, since a grid never changes them.
void OnGrid(BandVector& out) {
    if (!out.Reshape(kFirstWavelength, kSpectrumBands)) return;
    double* x = out.Xs();
    for (int k = 0; k < kSpectrumBands; ++k) x[k] = kFirstWavelength + k;
}

// The stored floats as doubles, the stored encoding of a missing band as no value. Loops over
// whole spectra get a clone for processors with AVX2, which widens a float mask in one step.
__attribute__((target_clones("avx2", "default"))) void ReadFloats(const float* r, double* o,
                                                                  int n) {
    for (int k = 0; k < n; ++k)
        o[k] = ValueUnless(r[k] == kStoredNoValue, static_cast<double>(r[k]));
}

// v with no value where the flag is set.
__attribute__((target_clones("avx2", "default"))) void MaskValues(const double* v,
                                                                  const unsigned char* excluded,
                                                                  double* o, int n) {
    for (int k = 0; k < n; ++k) o[k] = ValueUnless(excluded[k] != 0, v[k]);
}

}  // namespace

void ReadStoredValues(const ChainSettings&, const Spectrum& spectrum, const BandVector&,
                      BandVector& out) {
    OnGrid(out);
    ReadFloats(spectrum.reflectances_.data(), out.Values(), kSpectrumBands);
    out.SetFilter(nullptr);
}

void ApplyStudyFilter(const ChainSettings& settings, const Spectrum&, const BandVector& in,
                      BandVector& out) {
    OnGrid(out);
    out.SetFilter(settings.study_filter);
    const double* v = in.Values();
    double* o = out.Values();
    const std::vector<unsigned char>* excluded = settings.filter_excluded;
    if (excluded && static_cast<int>(excluded->size()) == kSpectrumBands &&
        in.First() == kFirstWavelength) {
        // The filter's verdicts, one byte per band, taken once per settings change.
        MaskValues(v, excluded->data(), o, kSpectrumBands);
    } else {
        const WavebandFilter* filter = settings.study_filter;
        for (int k = 0; k < kSpectrumBands; ++k)
            o[k] = filter && filter->Excludes(kFirstWavelength + k) ? kNoValue : v[k];
    }
}

void ApplySmoothing(const ChainSettings& settings, const Spectrum&, const BandVector& in,
                    BandVector& out) {
    SmoothingFilter* smoothing = settings.smoothing;
    if (!smoothing)
        throw OrvaneError("The session has no smoothing filter for smoothing type " +
                          std::to_string(settings.smoothing_type) + ".");
    OnGrid(out);
    out.SetFilter(settings.study_filter);
    smoothing->Apply(in, out);
    if (smoothing->ClampsNegatives()) return;
    // Negative values are noise around zero reflectance.
    double* o = out.Values();
    for (int k = 0; k < out.Count(); ++k) o[k] = o[k] < 0.0 ? 0.0 : o[k];
}

void SynthesizeSensor(const ChainSettings& settings, const Spectrum& spectrum, const BandVector& in,
                      BandVector& out) {
    if (!settings.synthesis) ThrowNoSensor();
    const SensorSynthesis& synthesis = *settings.synthesis;
    out.Reshape(synthesis.First(), synthesis.Count());
    out.SetFilter(settings.study_filter);
    // A Z profile lies on the sensor's bands already: its values are the stage, not a synthesis
    // of its (empty) reflectances.
    if (const BandVector* profile = spectrum.sensor_profile_.get()) {
        if (profile->First() != out.First() || profile->Count() != out.Count())
            throw OrvaneError(spectrum.DisplayName() +
                              " was read on another sensor's bands; load it again on the "
                              "current sensor.");
        std::copy(profile->Values(), profile->Values() + profile->Count(), out.Values());
        std::copy(profile->Xs(), profile->Xs() + profile->Count(), out.Xs());
        return;
    }
    synthesis.Apply(in, out);
}

void InterpolateSynthesized(const ChainSettings&, const Spectrum&, const BandVector& in,
                            BandVector& out) {
    OnGrid(out);
    out.SetFilter(nullptr);
    InterpolateToGrid(in, out);
}

void ApplyDerivative(const ChainSettings& settings, const Spectrum&, const BandVector& in,
                     BandVector& out) {
    out.Reshape(in.First(), in.Count());
    out.SetFilter(settings.study_filter);
    if (settings.derivative_order < 1 || !settings.derivative) {
        std::copy(in.Values(), in.Values() + in.Count(), out.Values());
        std::copy(in.Xs(), in.Xs() + in.Count(), out.Xs());
        return;
    }
    settings.derivative->Apply(in, out);
}

}  // namespace orvane
