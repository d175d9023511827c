// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/smoothing_type.h"
#include "chain/compiled_chain.h"

#include <string>

#include "base/band_grid.h"
#include "base/orvane_error.h"
#include "chain/feature_space.h"
#include "spectra/sensor.h"

namespace orvane {

std::shared_ptr<const CompiledChain> CompiledChain::Compile(ChainSpec definition) {
    return std::shared_ptr<const CompiledChain>(new CompiledChain(std::move(definition)));
}

CompiledChain::CompiledChain(ChainSpec definition)
    : settings_(std::move(definition)),
      filter_mask_(kFirstWavelength, kSpectrumBands),
      smoothing_mask_(kFirstWavelength, kSpectrumBands) {
    const WavebandFilter& study = settings_.study_filter;
    filter_excluded_.assign(kSpectrumBands, 0);
    for (int w = kFirstWavelength; w <= kLastWavelength; ++w) {
        const bool excluded = study.Excludes(w);
        filter_mask_.Set(w, excluded ? kNoValue : 1.0, w);
        filter_excluded_[static_cast<size_t>(w - kFirstWavelength)] = excluded;
    }
    for (int k = 0; k < kSpectrumBands;) {
        if (filter_excluded_[static_cast<size_t>(k)]) {
            ++k;
            continue;
        }
        const int begin = k;
        while (k < kSpectrumBands && !filter_excluded_[static_cast<size_t>(k)]) ++k;
        filter_kept_runs_.emplace_back(begin, k);
    }

    // The smoothing window cannot reach past an excluded band or the grid's ends, so those
    // bands join the filter for every later step.
    const SmoothingSettings& smoothing = settings_.smoothing;
    smoothing_adjusted_.CopyFrom(study);
    if (IsSavitzkyGolay(smoothing.type)) {
        if (smoothing.size < 1) throw OrvaneError("The filter size must be at least 1.");
        const int half = (smoothing.size - 1) / 2;
        smoothing_kernel_.emplace(half, half, smoothing.polynomial_order, 0,
                                  SavitzkyGolayKernel::Context::kSmoothing);
        if (Is(smoothing.type, SmoothingType::kFft)) smoothing_kernel_->PrepareFft();
        smoothing_kernel_->SetClampNegatives(true);
        smoothing_kernel_->SetOutputAxisKept(true);
        smoothing_adjusted_.Widen(half, half, filter_mask_);
    } else if (!Is(smoothing.type, SmoothingType::kNone)) {
        throw OrvaneError("Unknown smoothing type " + std::to_string(smoothing.type) + ".");
    }
    for (int w = kFirstWavelength; w <= kLastWavelength; ++w)
        smoothing_mask_.Set(w, smoothing_adjusted_.Excludes(w) ? kNoValue : 1.0, w);

    derivative_adjusted_.CopyFrom(smoothing_adjusted_);
    if (!settings_.sensor) return;
    const Sensor& sensor = *settings_.sensor;
    synthesis_.emplace(sensor);
    // Most spectra have a value at every band: their smoothed stage lacks values where this
    // one does, so the synthesis finds its windows for it once.
    BandVector complete = filter_mask_;
    if (smoothing_kernel_) {
        SavitzkyGolayKernel kernel = *smoothing_kernel_;
        kernel.ApplyMovingWindow(filter_mask_, complete, smoothing_adjusted_);
    }
    synthesis_->PlanFor(complete);
    const int first = sensor.ElementCount() > 0 ? sensor.Element(0).number : 1;
    sensor_mask_.emplace(first, sensor.ElementCount());
    for (int i = 0; i < sensor.ElementCount(); ++i) {
        const SensorElement& e = sensor.Element(i);
        const bool kept =
            e.usable && !smoothing_adjusted_.Excludes(static_cast<int>(e.avg_wavelength));
        sensor_mask_->Set(first + i, kept ? 1.0 : kNoValue, e.avg_wavelength);
    }

    // The derivative's reach on the sensor's bands widens the filter once more.
    const DerivativeSettings& derivative = settings_.derivative;
    if (derivative.order >= 1) {
        if (derivative.method == kDerivativeSavGol) {
            const int nr = derivative.size / 2;
            const int nl = derivative.size - 1 - nr;
            derivative_kernel_.emplace(nl, nr, derivative.polynomial_order, derivative.order,
                                       SavitzkyGolayKernel::Context::kDerivative);
            derivative_adjusted_.Widen(nl, nr, *sensor_mask_);
        } else {
            derivative_adjusted_.Widen(0, derivative.order, *sensor_mask_);
        }
    }
    derivative_mask_.emplace(sensor_mask_->First(), sensor_mask_->Count());
    for (int k = sensor_mask_->First(); k <= sensor_mask_->Last(); ++k) {
        const double x = sensor_mask_->X(k);
        const bool kept = HasValue(sensor_mask_->Value(k)) &&
                          !derivative_adjusted_.Excludes(static_cast<int>(x));
        derivative_mask_->Set(k, kept ? 1.0 : kNoValue, x);
    }
}

ChainWork::ChainWork(const CompiledChain& chain) {
    if (chain.SmoothingKernel()) smoothing.emplace(*chain.SmoothingKernel());
    if (chain.DerivativeKernel()) derivative.emplace(*chain.DerivativeKernel());
}

}  // namespace orvane
