// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "chain/chain_definition.h"
#include "chain/savitzky_golay.h"
#include "chain/sensor_synthesis.h"
#include "spectra/band_vector.h"
#include "spectra/waveband_filter.h"

namespace orvane {

class FeatureSpace;
class Spectrum;

// A chain made ready to run from its definition: the filter's verdict per band, the smoothing and
// derivative kernels with the widened filters their windows need, the synthesis weights of the
// sensor and the masks every stage leaves. Made once, never changed, and shared between threads
// (std::shared_ptr<const CompiledChain>); each thread runs it with a Chain of its own, which
// holds the buffers and the kernels' work space.
class CompiledChain {
  public:
    // Throws OrvaneError when the settings cannot compute (a window too small for its
    // polynomial order, an unknown smoothing type or derivative method).
    static std::shared_ptr<const CompiledChain> Compile(ChainSpec definition);

    const ChainSpec& Settings() const { return settings_; }
    const StageSetting& Setting(Stage stage) const { return settings_.Setting(stage); }

    const WavebandFilter& StudyFilter() const { return settings_.study_filter; }
    // The study filter's verdict, one byte per grid band (1 excluded).
    const std::vector<unsigned char>& FilterExcluded() const { return filter_excluded_; }
    // The same as runs of kept grid positions, [begin, end), in order.
    const std::vector<std::pair<int, int>>& FilterKeptRuns() const { return filter_kept_runs_; }
    // 1 where a stage keeps a value for a spectrum with a value at every band, none elsewhere:
    // on the grid after the filter and after the smoothing, on the sensor's bands after the
    // synthesis and after the derivative (these two null without a sensor).
    const BandVector& FilterMask() const { return filter_mask_; }
    const BandVector& SmoothingMask() const { return smoothing_mask_; }
    const BandVector* SensorMask() const { return sensor_mask_ ? &*sensor_mask_ : nullptr; }
    const BandVector* DerivativeMask() const {
        return derivative_mask_ ? &*derivative_mask_ : nullptr;
    }
    // The study's filter widened by the smoothing window, and that one widened by the
    // derivative's reach on the sensor's bands.
    const WavebandFilter& SmoothingAdjustedFilter() const { return smoothing_adjusted_; }
    const WavebandFilter& DerivativeAdjustedFilter() const { return derivative_adjusted_; }

    // The smoothing kernel of the Savitzky-Golay types (null for none); each Chain works on a
    // copy of it, which shares the FFT plans.
    const SavitzkyGolayKernel* SmoothingKernel() const {
        return smoothing_kernel_ ? &*smoothing_kernel_ : nullptr;
    }
    // The derivative's Savitzky-Golay kernel (method savgol, order 1 or more; else null).
    const SavitzkyGolayKernel* DerivativeKernel() const {
        return derivative_kernel_ ? &*derivative_kernel_ : nullptr;
    }
    // Null without a sensor.
    const SensorSynthesis* Synthesis() const { return synthesis_ ? &*synthesis_ : nullptr; }
    const Sensor* SensorOf() const { return settings_.sensor.get(); }
    const FeatureSpace* Features() const { return settings_.feature_space.get(); }

  private:
    explicit CompiledChain(ChainSpec definition);

    ChainSpec settings_;
    std::vector<unsigned char> filter_excluded_;
    std::vector<std::pair<int, int>> filter_kept_runs_;
    BandVector filter_mask_;
    BandVector smoothing_mask_;
    std::optional<BandVector> sensor_mask_;
    std::optional<BandVector> derivative_mask_;
    WavebandFilter smoothing_adjusted_;
    WavebandFilter derivative_adjusted_;
    std::optional<SavitzkyGolayKernel> smoothing_kernel_;
    std::optional<SavitzkyGolayKernel> derivative_kernel_;
    std::optional<SensorSynthesis> synthesis_;
};

// What one running chain changes while it computes: copies of the compiled kernels (their work
// space), the synthesis's scratch space and the iterative derivative's verdicts per band of the
// axis last seen. One per thread.
struct ChainWork {
    explicit ChainWork(const CompiledChain& chain);

    std::optional<SavitzkyGolayKernel> smoothing;
    std::optional<SavitzkyGolayKernel> derivative;
    std::vector<int> synthesis_scratch;
    std::vector<unsigned char> derivative_excluded;
    int axis_first = 0;
    double axis_x_front = 0.0;
    double axis_x_back = 0.0;
};

// What a stage's step reads: the compiled chain, the running thread's work space, and the
// spectrum's stored values (the 1 nm grid, kStoredNoValue where a band has none) or, for a
// spectrum measured on the sensor's bands, those values.
struct StepInput {
    const CompiledChain& chain;
    ChainWork& work;
    const float* stored = nullptr;
    const BandVector* sensor_profile = nullptr;
    // The spectrum being run, when there is one: an error names it.
    const Spectrum* spectrum = nullptr;
    // Values on the 1 nm grid given as doubles (NaN where a band has none) instead of stored
    // floats: spectra from outside the database keep their precision.
    const double* grid = nullptr;

    const StageSetting& Setting(Stage stage) const { return chain.Setting(stage); }
};

}  // namespace orvane
