// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/sensor_synthesis.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/orvane_error.h"
#include "spectra/sensor.h"

namespace orvane {

namespace {

// The value at a grid wavelength; no value outside the stage.
double ValueAt(const SensorSynthesis::GridValues& smoothed, int wavelength) {
    const int k = wavelength - smoothed.first;
    return k >= 0 && k < smoothed.count ? smoothed.values[k] : kNoValue;
}

double Ratio(const SensorSynthesis::GridValues& smoothed, const SensorElement& e) {
    double numerator = 0.0;
    double denominator = 0.0;
    int counted = 0;
    for (const auto& [wavelength, ratio] : e.ratios) {
        const double v = ValueAt(smoothed, static_cast<int>(wavelength));
        if (HasFiniteValue(v)) {
            numerator += v * ratio;
            denominator += ratio;
            ++counted;
        }
    }
    // Responses that sum to zero define no value rather than a division by zero.
    if (counted == 0 || denominator == 0.0) return kNoValue;
    return numerator / denominator;
}

}  // namespace

SensorSynthesis::SensorSynthesis(const Sensor& sensor)
    : sensor_(sensor), windows_(static_cast<size_t>(sensor.ElementCount())) {
    first_ = sensor.ElementCount() > 0 ? sensor.Element(0).number : 1;
    lane_order_.resize(windows_.size());
    for (size_t i = 0; i < lane_order_.size(); ++i) lane_order_[i] = i;
    if (sensor.ResponseType() != kResponseGaussian) return;
    for (size_t i = 0; i < windows_.size(); ++i) {
        const SensorElement& e = sensor.Elements()[i];
        const double sigma = e.fwhm / 2.0 * 0.8493218003;
        if (!e.usable || !(sigma > 0.0)) continue;
        Window& window = windows_[i];
        window.centre = Sensor::RoundCentre(e.avg_wavelength);
        window.radius = Sensor::RoundCentre(3.0 * sigma);
        window.offset = weights_.size();
        const double norm = 1.0 / (std::sqrt(2.0 * 3.1415926535) * sigma);
        for (int w = window.centre - window.radius; w <= window.centre + window.radius; ++w) {
            const double z = (w - e.avg_wavelength) / sigma;
            weights_.push_back(norm * std::exp(-0.5 * z * z));
            window.weight_sum += weights_.back();
        }
    }
    // Elements of like window lengths share a pass (see SumLanes), so that a long window
    // runs beside other long ones rather than alone after short ones.
    std::stable_sort(lane_order_.begin(), lane_order_.end(), [this](size_t a, size_t b) {
        return windows_[a].radius < windows_[b].radius;
    });
}

bool SensorSynthesis::GaussianWindow(const GridValues& smoothed, size_t element,
                                     Window& use) const {
    const Window& window = windows_[element];
    if (window.radius < 0) return false;
    const double* values = smoothed.values;
    const int* missing_before = smoothed.missing_before;
    const int lo = smoothed.first;
    const int hi = smoothed.first + smoothed.count - 1;
    const auto has_value = [&](int w) { return w >= lo && w <= hi && HasValue(values[w - lo]); };
    const int c = window.centre;
    int h = -1;
    const int r = window.radius;
    if (c - r >= lo && c + r <= hi && missing_before[c + r + 1 - lo] == missing_before[c - r - lo]) {
        h = r;  // the usual case: every band of the full window has a value
    } else {
        // The window grows while both sides still have values, up to three standard
        // deviations.
        for (int j = 0; j <= r; ++j) {
            if (!has_value(c - j) || !has_value(c + j)) break;
            h = j;
        }
    }
    if (h < 0) return false;
    use.centre = c - h - lo;  // position of the window's first band in the smoothed stage
    use.radius = h;
    use.offset = window.offset + static_cast<size_t>(window.radius - h);
    // A cut window sums its own weights; the full one has its sum ready, added in the same
    // order.
    use.weight_sum = -1.0;
    if (h == r) use.weight_sum = window.weight_sum;
    return true;
}

// Up to four elements summed side by side: each element's sums are sequential chains of
// additions, and four independent chains keep the processor busy.
struct SensorSynthesis::Lanes {
    static constexpr size_t kCount = 4;
    const double* v[kCount];
    const double* g[kCount];
    int length[kCount];
    size_t element[kCount];
    double weight_sum[kCount];
    size_t used = 0;
};

// Every element still adds its terms in window order, so the result does not depend on which
// elements share a pass.
void SensorSynthesis::SumLanes(const Lanes& lanes, double* numerator) {
    int done = 0;
    if (lanes.used == Lanes::kCount) {
        const int* length = lanes.length;
        const int common = std::min(std::min(length[0], length[1]), std::min(length[2], length[3]));
        const double* const* v = lanes.v;
        const double* const* g = lanes.g;
        double n0 = 0.0, n1 = 0.0, n2 = 0.0, n3 = 0.0;
        for (int k = 0; k < common; ++k) {
            n0 += v[0][k] * g[0][k];
            n1 += v[1][k] * g[1][k];
            n2 += v[2][k] * g[2][k];
            n3 += v[3][k] * g[3][k];
        }
        numerator[0] = n0, numerator[1] = n1, numerator[2] = n2, numerator[3] = n3;
        done = common;
    }
    // What is left of longer windows: the lanes that still run go on side by side, the
    // shortest first, each still adding in window order.
    size_t left[Lanes::kCount];
    size_t count = 0;
    for (size_t l = 0; l < lanes.used; ++l)
        if (lanes.length[l] > done) left[count++] = l;
    for (size_t i = 1; i < count; ++i)
        for (size_t j = i; j > 0 && lanes.length[left[j]] < lanes.length[left[j - 1]]; --j)
            std::swap(left[j], left[j - 1]);
    for (size_t f = 0; f < count; ++f) {
        const int end = lanes.length[left[f]];
        const size_t running = count - f;
        const size_t a = left[f];
        if (running >= 2) {
            const size_t b = left[f + 1];
            const size_t c = running >= 3 ? left[f + 2] : b;
            double na = numerator[a], nb = numerator[b], nc = numerator[c];
            if (running >= 3) {
                for (int k = done; k < end; ++k) {
                    na += lanes.v[a][k] * lanes.g[a][k];
                    nb += lanes.v[b][k] * lanes.g[b][k];
                    nc += lanes.v[c][k] * lanes.g[c][k];
                }
                numerator[c] = nc;
            } else {
                for (int k = done; k < end; ++k) {
                    na += lanes.v[a][k] * lanes.g[a][k];
                    nb += lanes.v[b][k] * lanes.g[b][k];
                }
            }
            numerator[a] = na, numerator[b] = nb;
        } else {
            for (int k = done; k < end; ++k) numerator[a] += lanes.v[a][k] * lanes.g[a][k];
        }
        done = end;
    }
}

SensorSynthesis::GridValues SensorSynthesis::FlattenValues(const BandVector& smoothed,
                                                            std::vector<int>& scratch) {
    const double* values = smoothed.Values();
    const int count = smoothed.Count();
    scratch.resize(static_cast<size_t>(count) + 1);
    CountMissingBefore(values, count, scratch.data());
    return {values, scratch.data(), smoothed.First(), count};
}

void SensorSynthesis::GatherLanes(const GridValues& smoothed, size_t first, Lanes& lanes,
                                  BandVector& out) const {
    const std::vector<SensorElement>& elements = sensor_.Elements();
    lanes.used = 0;
    for (size_t j = first; j < lane_order_.size() && j < first + Lanes::kCount; ++j) {
        const size_t i = lane_order_[j];
        Window use;
        if (elements[i].usable && GaussianWindow(smoothed, i, use)) {
            const size_t l = lanes.used++;
            lanes.v[l] = smoothed.values + use.centre;
            lanes.g[l] = weights_.data() + use.offset;
            lanes.length[l] = 2 * use.radius + 1;
            lanes.element[l] = i;
            lanes.weight_sum[l] = use.weight_sum;
        } else {
            out.Set(first_ + static_cast<int>(i), kNoValue, elements[i].avg_wavelength);
        }
    }
}

void SensorSynthesis::ApplyGaussian(const GridValues& smoothed, BandVector& out, int& valid) const {
    const std::vector<SensorElement>& elements = sensor_.Elements();
    Lanes lanes;
    for (size_t first = 0; first < elements.size(); first += Lanes::kCount) {
        GatherLanes(smoothed, first, lanes, out);
        double numerator[Lanes::kCount] = {};
        SumLanes(lanes, numerator);
        for (size_t l = 0; l < lanes.used; ++l) {
            double den = lanes.weight_sum[l];
            if (den < 0.0) {
                den = 0.0;
                for (int k = 0; k < lanes.length[l]; ++k) den += lanes.g[l][k];
            }
            const double value = den > 0.0 ? numerator[l] / den : kNoValue;
            valid += HasValue(value);
            const size_t i = lanes.element[l];
            out.Set(first_ + static_cast<int>(i), value, elements[i].avg_wavelength);
        }
    }
}

void SensorSynthesis::PlanFor(const BandVector& pattern) {
    plan_.reset();
    if (sensor_.ResponseType() != kResponseGaussian) return;
    std::vector<int> scratch;
    const GridValues stage = FlattenValues(pattern, scratch);
    Plan plan;
    plan.first = stage.first;
    plan.missing.resize(static_cast<size_t>(stage.count));
    for (int k = 0; k < stage.count; ++k)
        plan.missing[static_cast<size_t>(k)] = HasValue(stage.values[k]) ? 0 : -1;
    const std::vector<SensorElement>& elements = sensor_.Elements();
    for (size_t i = 0; i < elements.size(); ++i) {
        Window use;
        if (!elements[i].usable || !GaussianWindow(stage, i, use)) {
            plan.without.push_back(i);
            continue;
        }
        PlannedWindow w;
        w.start = use.centre;
        w.length = 2 * use.radius + 1;
        w.offset = use.offset;
        w.element = i;
        // A cut window's weights summed in window order, as ApplyGaussian sums them.
        w.weight_sum = use.weight_sum;
        if (w.weight_sum < 0.0) {
            w.weight_sum = 0.0;
            for (int k = 0; k < w.length; ++k) w.weight_sum += weights_[use.offset + k];
        }
        plan.windows.push_back(w);
    }
    plan_ = std::move(plan);
}

namespace {

typedef double Doubles4 __attribute__((vector_size(32)));
typedef long long Flags4 __attribute__((vector_size(32)));

// Whether values[0, n) lack a value exactly where `missing` is set. Four bands at a time with
// no early exit, so that it stays vector code.
__attribute__((target_clones("avx2", "default"))) bool SamePattern(const double* values,
                                                                   const long long* missing,
                                                                   int n) {
    Flags4 differ = {};
    int k = 0;
    for (; k + 4 <= n; k += 4) {
        Doubles4 v;
        Flags4 m;
        std::memcpy(&v, values + k, sizeof v);
        std::memcpy(&m, missing + k, sizeof m);
        differ |= (v != v) ^ m;
    }
    bool same = (differ[0] | differ[1] | differ[2] | differ[3]) == 0;
    for (; k < n; ++k) same &= HasValue(values[k]) == (missing[k] == 0);
    return same;
}

}  // namespace

bool SensorSynthesis::Matches(const GridValues& smoothed) const {
    return plan_ && smoothed.first == plan_->first &&
           smoothed.count == static_cast<int>(plan_->missing.size()) &&
           SamePattern(smoothed.values, plan_->missing.data(), smoothed.count);
}

void SensorSynthesis::ApplyPlanned(const GridValues& smoothed, BandVector& out,
                                   int& valid) const {
    const std::vector<SensorElement>& elements = sensor_.Elements();
    for (size_t i : plan_->without)
        out.Set(first_ + static_cast<int>(i), kNoValue, elements[i].avg_wavelength);
    const std::vector<PlannedWindow>& windows = plan_->windows;
    Lanes lanes;
    for (size_t first = 0; first < windows.size(); first += Lanes::kCount) {
        lanes.used = std::min(Lanes::kCount, windows.size() - first);
        for (size_t l = 0; l < lanes.used; ++l) {
            const PlannedWindow& w = windows[first + l];
            lanes.v[l] = smoothed.values + w.start;
            lanes.g[l] = weights_.data() + w.offset;
            lanes.length[l] = w.length;
        }
        double numerator[Lanes::kCount] = {};
        SumLanes(lanes, numerator);
        for (size_t l = 0; l < lanes.used; ++l) {
            const PlannedWindow& w = windows[first + l];
            const double value = w.weight_sum > 0.0 ? numerator[l] / w.weight_sum : kNoValue;
            valid += HasValue(value);
            out.Set(first_ + static_cast<int>(w.element), value,
                    elements[w.element].avg_wavelength);
        }
    }
}

void SensorSynthesis::Apply(const BandVector& smoothed, BandVector& out,
                            std::vector<int>& scratch) const {
    if (out.First() != first_ || out.Count() != Count())
        throw OrvaneError("The synthesized stage does not lie on the sensor's axis.");
    // A stage with the planned pattern needs no count of bands without value: every window
    // is known.
    const GridValues stage = {smoothed.Values(), nullptr, smoothed.First(), smoothed.Count()};
    if (Matches(stage)) {
        int valid = 0;
        ApplyPlanned(stage, out, valid);
        out.SetValidCount(valid);
        return;
    }
    // The values laid out side by side, so the window sums read 8 bytes per band instead of
    // whole stage entries.
    Apply(FlattenValues(smoothed, scratch), out);
}

void SensorSynthesis::Apply(const BandVector& smoothed, BandVector& out) const {
    std::vector<int> scratch;
    Apply(smoothed, out, scratch);
}

void SensorSynthesis::Apply(const GridValues& smoothed, BandVector& out) const {
    if (out.First() != first_ || out.Count() != Count())
        throw OrvaneError("The synthesized stage does not lie on the sensor's axis.");
    const std::vector<SensorElement>& elements = sensor_.Elements();
    const int type = sensor_.ResponseType();
    int valid = 0;
    if (type == kResponseGaussian) {
        ApplyGaussian(smoothed, out, valid);
        out.SetValidCount(valid);
        return;
    }
    for (size_t i = 0; i < elements.size(); ++i) {
        const SensorElement& e = elements[i];
        double value = kNoValue;
        if (e.usable) {
            if (type == kResponseRatio)
                value = Ratio(smoothed, e);
            else if (type == kResponseCentre)
                value = ValueAt(smoothed, static_cast<int>(e.avg_wavelength));
        }
        valid += HasValue(value);
        out.Set(first_ + static_cast<int>(i), value, e.avg_wavelength);
    }
    out.SetValidCount(valid);
}

std::vector<std::pair<int, int>> SensorSynthesis::ReadWavelengths() const {
    std::vector<std::pair<int, int>> runs;
    const std::vector<SensorElement>& elements = sensor_.Elements();
    const int type = sensor_.ResponseType();
    for (size_t i = 0; i < elements.size(); ++i) {
        const SensorElement& e = elements[i];
        if (!e.usable) continue;
        if (type == kResponseGaussian) {
            const Window& w = windows_[i];
            if (w.radius >= 0) runs.emplace_back(w.centre - w.radius, w.centre + w.radius);
        } else if (type == kResponseRatio) {
            for (const auto& entry : e.ratios) {
                const int wavelength = static_cast<int>(entry.first);
                runs.emplace_back(wavelength, wavelength);
            }
        } else if (type == kResponseCentre) {
            const int wavelength = static_cast<int>(e.avg_wavelength);
            runs.emplace_back(wavelength, wavelength);
        }
    }
    std::sort(runs.begin(), runs.end());
    std::vector<std::pair<int, int>> merged;
    for (const auto& run : runs) {
        if (!merged.empty() && run.first <= merged.back().second + 1)
            merged.back().second = std::max(merged.back().second, run.second);
        else
            merged.push_back(run);
    }
    return merged;
}

std::unique_ptr<BandVector> SynthesizeSensorBands(const BandVector& smoothed, const Sensor& sensor,
                                                  const WavebandFilter* filter) {
    const SensorSynthesis synthesis(sensor);
    auto out = std::make_unique<BandVector>(synthesis.First(), synthesis.Count(), filter);
    synthesis.Apply(smoothed, *out);
    return out;
}

void InterpolateToGrid(const BandVector& synthesized, BandVector& grid) {
    grid.FillValues(kNoValue);
    for (int w = grid.First(); w <= grid.Last(); ++w) grid.Set(w, kNoValue, w);
    for (int k = synthesized.First(); k < synthesized.Last(); ++k) {
        const double v0 = synthesized.Value(k);
        const double v1 = synthesized.Value(k + 1);
        if (!HasFiniteValue(v0) || !HasFiniteValue(v1)) continue;
        const double x0 = synthesized.X(k);
        const double x1 = synthesized.X(k + 1);
        if (x1 == x0) continue;
        const double m = (v1 - v0) / (x1 - x0);
        const double b = v0 - m * x0;
        for (int w = static_cast<int>(x0); w <= static_cast<int>(x1); ++w) {
            if (grid.InRange(w)) grid.Set(w, m * w + b, w);
        }
    }
    int valid = 0;
    for (int k = grid.First(); k <= grid.Last(); ++k) valid += HasValue(grid.Value(k));
    grid.SetValidCount(valid);
}

}  // namespace orvane
