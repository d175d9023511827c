// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "spectra/band_vector.h"

namespace orvane {

class Sensor;
class WavebandFilter;

// Resamples smoothed spectra (1 nm grid) to one sensor's bands, one value per element, by the
// element's response. The Gaussian weights of every element's widest window are computed once
// here, since they depend only on the sensor; each spectrum then only sums.
class SensorSynthesis {
  public:
    explicit SensorSynthesis(const Sensor& sensor);

    const Sensor& Source() const { return sensor_; }
    int First() const { return first_; }
    int Count() const { return static_cast<int>(windows_.size()); }

    // A smoothed stage as flat arrays: values[k] of grid band first + k (kNoValue where it has
    // none) and missing_before[k] the count of bands without value before it (k = 0..count).
    struct GridValues {
        const double* values;
        const int* missing_before;
        int first;
        int count;
    };

    // Fills `out`, which must lie on the sensor's axis (First(), Count()); every entry is
    // written, so a vector from an earlier spectrum can be reused. `scratch` is the caller's
    // work space (one per thread), so one synthesis serves any number of threads.
    void Apply(const BandVector& smoothed, BandVector& out, std::vector<int>& scratch) const;
    void Apply(const BandVector& smoothed, BandVector& out) const;
    void Apply(const GridValues& smoothed, BandVector& out) const;

    // The grid wavelengths Apply may read, as sorted runs without overlap (first, last, both
    // included): the Gaussian windows, the ratio wavelengths or the centres of the usable
    // elements. A value elsewhere does not change any band.
    std::vector<std::pair<int, int>> ReadWavelengths() const;

    // Finds every element's window once for smoothed stages without value exactly where
    // `pattern` has none (the stage a spectrum with a value at every band leaves), so that
    // Apply only checks that pattern for such a stage and sums. Call before sharing.
    void PlanFor(const BandVector& pattern);

  private:
    struct Lanes;
    struct Window {
        int centre = 0;
        int radius = -1;  // -1: no Gaussian window (not usable, or no width)
        std::size_t offset = 0;
        double weight_sum = 0.0;  // the full window's weights added in window order
    };
    // The window actually used for one spectrum: cut at three standard deviations or at the
    // nearest band without value on either side. False when even the centre has no value.
    bool GaussianWindow(const GridValues& smoothed, std::size_t element, Window& use) const;
    void ApplyGaussian(const GridValues& smoothed, BandVector& out, int& valid) const;
    // The vector's values with the count of bands without value before each position, counted
    // into `scratch`.
    static GridValues FlattenValues(const BandVector& smoothed, std::vector<int>& scratch);
    // The windows of the usable elements from `first` on, at most Lanes::kCount of them; the
    // others get no value in `out` right away.
    void GatherLanes(const GridValues& smoothed, std::size_t first, Lanes& lanes,
                     BandVector& out) const;
    // Each lane's weighted sum of its window.
    static void SumLanes(const Lanes& lanes, double* numerator);

    // A Gaussian element's window under the planned pattern: its first band's position in
    // the stage, its weights and its weight sum.
    struct PlannedWindow {
        int start = 0;
        int length = 0;
        std::size_t offset = 0;
        std::size_t element = 0;
        double weight_sum = 0.0;
    };
    struct Plan {
        int first = 0;
        // Per band of the stage, all bits set where it has no value.
        std::vector<long long> missing;
        std::vector<PlannedWindow> windows;  // in element order
        std::vector<std::size_t> without;    // the elements that get no value
    };
    bool Matches(const GridValues& smoothed) const;
    void ApplyPlanned(const GridValues& smoothed, BandVector& out, int& valid) const;

    const Sensor& sensor_;
    std::optional<Plan> plan_;
    int first_ = 1;
    std::vector<Window> windows_;
    std::vector<double> weights_;  // per Gaussian element: g(c - r) .. g(c + r)
    std::vector<std::size_t> lane_order_;  // the elements by window length, for the passes
};

// One-off synthesis into a new vector on the sensor axis.
std::unique_ptr<BandVector> SynthesizeSensorBands(const BandVector& smoothed, const Sensor& sensor,
                                                  const WavebandFilter* filter = nullptr);

// Linear interpolation of a synthesized stage back onto the 1 nm grid; wavelengths outside
// the sensor's valid neighbouring bands stay without value.
void InterpolateToGrid(const BandVector& synthesized, BandVector& grid);

}  // namespace orvane
