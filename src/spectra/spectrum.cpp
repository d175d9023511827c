#include "spectra/spectrum.h"

#include <algorithm>

namespace orvane {

Spectrum::Spectrum()
    : raw_(std::make_unique<BandVector>(kFirstWavelength, kSpectrumBands)),
      filtered_(std::make_unique<BandVector>(kFirstWavelength, kSpectrumBands)),
      smoothed_(std::make_unique<BandVector>(kFirstWavelength, kSpectrumBands)),
      interpolated_(std::make_unique<BandVector>(kFirstWavelength, kSpectrumBands)) {}

Spectrum::~Spectrum() = default;

void Spectrum::SetReflectances(const float* values) {
    std::copy(values, values + kSpectrumBands, reflectances_.begin());
    UpdateRawStage();
}

void Spectrum::UpdateRawStage() {
    for (int i = 0; i < kSpectrumBands; ++i) {
        const int w = kFirstWavelength + i;
        raw_->Set(w, static_cast<double>(reflectances_[static_cast<size_t>(i)]),
                  static_cast<double>(w));
    }
}

void Spectrum::ResetFeatures() {
    for (auto& f : features_) f.reset();
}

}  // namespace orvane
