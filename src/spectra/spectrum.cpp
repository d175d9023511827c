#include "spectra/spectrum.h"

#include "chain/processing_chain.h"

namespace orvane {

Spectrum::Spectrum(const ProcessingSession* session)
    : raw_(std::make_unique<BandVector>(kFirstWavelength, kSpectrumBands, session)),
      filtered_(std::make_unique<BandVector>(kFirstWavelength, kSpectrumBands, session)),
      smoothed_(std::make_unique<BandVector>(kFirstWavelength, kSpectrumBands, session)),
      interpolated_(std::make_unique<BandVector>(kFirstWavelength, kSpectrumBands, session)),
      session_(session) {}

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

BandVector* Spectrum::StageVector(int stage) { return RunChainStage(*this, stage); }

Matrix* Spectrum::FeatureVector(int type) { return RunChainFeatures(*this, type); }

void Spectrum::ResetFeatures() {
    for (auto& f : features_) f.reset();
}

}  // namespace orvane
