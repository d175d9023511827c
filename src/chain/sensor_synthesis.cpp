#include "chain/sensor_synthesis.h"

#include <cmath>

#include "spectra/sensor.h"

namespace orvane {

namespace {

double Gaussian(const BandVector& smoothed, const SensorElement& e) {
    const int c = Sensor::RoundCentre(e.avg_wavelength);
    const double sigma = e.fwhm / 2.0 * 0.8493218003;
    const int r = Sensor::RoundCentre(3.0 * sigma);
    // The window grows while both sides still have values, up to three standard deviations.
    int h = -1;
    for (int j = 0; j <= r; ++j) {
        if (smoothed.Value(c - j) == kNoValue || smoothed.Value(c + j) == kNoValue) break;
        h = j;
    }
    if (h < 0 || !(sigma > 0.0)) return kNoValue;
    const double norm = 1.0 / (std::sqrt(2.0 * 3.1415926535) * sigma);
    double numerator = 0.0;
    double denominator = 0.0;
    for (int w = c - h; w <= c + h; ++w) {
        const double z = (w - e.avg_wavelength) / sigma;
        const double g = norm * std::exp(-0.5 * z * z);
        numerator += smoothed.Value(w) * g;
        denominator += g;
    }
    return denominator > 0.0 ? numerator / denominator : kNoValue;
}

double Ratio(const BandVector& smoothed, const SensorElement& e) {
    double numerator = 0.0;
    double denominator = 0.0;
    int counted = 0;
    for (const auto& [wavelength, ratio] : e.ratios) {
        const double v = smoothed.Value(static_cast<int>(wavelength));
        if (v > kNoValue) {
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

std::unique_ptr<BandVector> SynthesizeSensorBands(const BandVector& smoothed, const Sensor& sensor,
                                                  const ProcessingSession* session) {
    const int first = sensor.ElementCount() > 0 ? sensor.Element(0).number : 1;
    auto out = std::make_unique<BandVector>(first, sensor.ElementCount(), session);
    int k = first;
    int valid = 0;
    for (const SensorElement& e : sensor.Elements()) {
        double value = kNoValue;
        if (e.usable) {
            switch (sensor.ResponseType()) {
                case kResponseGaussian:
                    value = Gaussian(smoothed, e);
                    break;
                case kResponseRatio:
                    value = Ratio(smoothed, e);
                    break;
                case kResponseCentre:
                    value = smoothed.Value(static_cast<int>(e.avg_wavelength));
                    break;
                default:
                    break;
            }
        }
        if (value != kNoValue) ++valid;
        out->Set(k, value, e.avg_wavelength);
        ++k;
    }
    out->SetValidCount(valid);
    return out;
}

void InterpolateToGrid(const BandVector& synthesized, BandVector& grid) {
    grid.FillValues(kNoValue);
    for (int w = grid.First(); w <= grid.Last(); ++w) grid.Set(w, kNoValue, w);
    for (int k = synthesized.First(); k < synthesized.Last(); ++k) {
        const double v0 = synthesized.Value(k);
        const double v1 = synthesized.Value(k + 1);
        if (!(v0 > kNoValue && v1 > kNoValue)) continue;
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
    for (const BandEntry& e : grid.Entries())
        if (e.value > kNoValue) ++valid;
    grid.SetValidCount(valid);
}

}  // namespace orvane
