// SPDX-License-Identifier: GPL-3.0-or-later
// The step of each stage with bands, as the stage declarations name them.
#include <algorithm>
#include <cstring>
#include <string>

#include "chain/smoothing_type.h"
#include "base/band_grid.h"
#include "base/orvane_error.h"
#include "chain/chain_stage.h"
#include "chain/compiled_chain.h"
#include "chain/processing_chain.h"
#include "chain/savitzky_golay.h"
#include "chain/sensor_synthesis.h"
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

void ReadStoredValues(const StepInput& step, const BandVector&, BandVector& out) {
    if (step.grid) {
        OnGrid(out);
        std::copy(step.grid, step.grid + kSpectrumBands, out.Values());
        out.SetFilter(nullptr);
        return;
    }
    if (!step.stored)
        throw OrvaneError("A spectrum on the sensor's bands has no values on the 1 nm grid.");
    OnGrid(out);
    ReadFloats(step.stored, out.Values(), kSpectrumBands);
    out.SetFilter(nullptr);
}

void ApplyStudyFilter(const StepInput& step, const BandVector& in, BandVector& out) {
    OnGrid(out);
    const WavebandFilter& filter = step.chain.StudyFilter();
    out.SetFilter(&filter);
    const double* v = in.Values();
    double* o = out.Values();
    const std::vector<unsigned char>& excluded = step.chain.FilterExcluded();
    if (static_cast<int>(excluded.size()) == kSpectrumBands && in.First() == kFirstWavelength) {
        // The filter's verdicts, one byte per band, taken once when the chain was compiled.
        MaskValues(v, excluded.data(), o, kSpectrumBands);
    } else {
        for (int k = 0; k < kSpectrumBands; ++k)
            o[k] = filter.Excludes(kFirstWavelength + k) ? kNoValue : v[k];
    }
}

void FilterStoredValues(const StepInput& step, BandVector& out) {
    if (!step.stored || step.grid)
        throw OrvaneError("The filter step was asked to read stored values it was not given.");
    // The compiled chain took the filter's verdict for every grid band: the kept runs are
    // read, the bands between them are no value.
    OnGrid(out);
    out.SetFilter(&step.chain.StudyFilter());
    double* o = out.Values();
    int k = 0;
    for (const auto& [begin, end] : step.chain.FilterKeptRuns()) {
        std::fill(o + k, o + begin, kNoValue);
        ReadFloats(step.stored + begin, o + begin, end - begin);
        k = end;
    }
    std::fill(o + k, o + kSpectrumBands, kNoValue);
}

void ApplySmoothing(const StepInput& step, const BandVector& in, BandVector& out) {
    const CompiledChain& chain = step.chain;
    const int type = chain.Settings().smoothing.type;
    OnGrid(out);
    out.SetFilter(&chain.StudyFilter());
    if (Is(type, SmoothingType::kNone)) {
        if (in.First() == out.First() && in.Count() == out.Count()) {
            // The input on the same axis, negatives clamped in the same pass: a clamp keeps
            // every value a value, so a count the input knows still holds.
            const bool counted = in.ValidCountKnown();
            const int valid = counted ? in.ValidCount() : 0;
            const double* v = in.Values();
            double* o = out.Values();
            for (int k = 0; k < in.Count(); ++k) o[k] = v[k] < 0.0 ? 0.0 : v[k];
            std::copy(in.Xs(), in.Xs() + in.Count(), out.Xs());
            if (counted) out.SetValidCount(valid);
            return;
        }
        for (int k = in.First(); k <= in.Last(); ++k)
            if (out.InRange(k)) out.Set(k, in.Value(k), in.X(k));
    } else {
        SavitzkyGolayKernel& kernel = *step.work.smoothing;
        // The kernel clamps negative values itself.
        if (Is(type, SmoothingType::kFft))
            kernel.ApplyFft(in, out, chain.SmoothingAdjustedFilter());
        else
            kernel.ApplyMovingWindow(in, out, chain.SmoothingAdjustedFilter());
        return;
    }
    // Negative values are noise around zero reflectance.
    double* o = out.Values();
    for (int k = 0; k < out.Count(); ++k) o[k] = o[k] < 0.0 ? 0.0 : o[k];
}

void SynthesizeSensor(const StepInput& step, const BandVector& in, BandVector& out) {
    const SensorSynthesis* synthesis = step.chain.Synthesis();
    if (!synthesis) ThrowNoSensor();
    out.Reshape(synthesis->First(), synthesis->Count());
    out.SetFilter(&step.chain.StudyFilter());
    // A Z profile lies on the sensor's bands already: its values are the stage, not a synthesis
    // of its (empty) reflectances.
    if (const BandVector* profile = step.sensor_profile) {
        if (profile->First() != out.First() || profile->Count() != out.Count())
            throw OrvaneError((step.spectrum ? step.spectrum->DisplayName() : std::string("The spectrum")) +
                              " was read on another sensor's bands; load it again on the "
                              "current sensor.");
        std::copy(profile->Values(), profile->Values() + profile->Count(), out.Values());
        std::copy(profile->Xs(), profile->Xs() + profile->Count(), out.Xs());
        return;
    }
    synthesis->Apply(in, out, step.work.synthesis_scratch);
}

void InterpolateSynthesized(const StepInput&, const BandVector& in, BandVector& out) {
    OnGrid(out);
    out.SetFilter(nullptr);
    InterpolateToGrid(in, out);
}

namespace {

// The iterative derivative's verdict per band of the axis: it depends only on the axis while
// the chain lives, so it is taken once per axis instead of for every spectrum.
const unsigned char* DerivativeExclusions(const StepInput& step, const BandVector& derived) {
    ChainWork& work = step.work;
    const int n = derived.Count();
    const bool same_axis = static_cast<int>(work.derivative_excluded.size()) == n &&
                           work.axis_first == derived.First() &&
                           (n == 0 || (work.axis_x_front == derived.X(derived.First()) &&
                                       work.axis_x_back == derived.X(derived.Last())));
    if (!same_axis) {
        const WavebandFilter& widened = step.chain.DerivativeAdjustedFilter();
        work.derivative_excluded.assign(static_cast<size_t>(n), 0);
        for (int k = 0; k < n; ++k)
            work.derivative_excluded[static_cast<size_t>(k)] =
                widened.Excludes(static_cast<int>(derived.X(derived.First() + k)));
        work.axis_first = derived.First();
        work.axis_x_front = n ? derived.X(derived.First()) : 0.0;
        work.axis_x_back = n ? derived.X(derived.Last()) : 0.0;
    }
    return work.derivative_excluded.data();
}

}  // namespace

void ApplyDerivative(const StepInput& step, const BandVector& in, BandVector& out) {
    out.Reshape(in.First(), in.Count());
    out.SetFilter(&step.chain.StudyFilter());
    const DerivativeSettings& derivative = step.chain.Settings().derivative;
    if (derivative.order < 1) {
        std::copy(in.Values(), in.Values() + in.Count(), out.Values());
        std::copy(in.Xs(), in.Xs() + in.Count(), out.Xs());
        return;
    }
    if (step.work.derivative) {
        step.work.derivative->ApplyMovingWindow(in, out, step.chain.DerivativeAdjustedFilter());
        return;
    }
    std::copy(in.Values(), in.Values() + in.Count(), out.Values());
    std::copy(in.Xs(), in.Xs() + in.Count(), out.Xs());
    IterativeDerivative(out, derivative.order, DerivativeExclusions(step, out));
}

}  // namespace orvane
