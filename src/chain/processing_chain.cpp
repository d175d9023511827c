#include "chain/processing_chain.h"

#include <string>

#include "app/orvane_error.h"
#include "app/processing_session.h"
#include "chain/waveband_filter.h"
#include "spectra/spectrum.h"

namespace orvane {

void ApplyWavebandFilter(Spectrum& spectrum) {
    const ProcessingSession* session = spectrum.Session();
    const WavebandFilter* filter = session ? session->StudyFilter() : nullptr;
    BandVector& out = *spectrum.filtered_;
    for (const BandEntry& e : spectrum.raw_->Entries()) {
        const bool excluded = filter && filter->Excludes(e.index);
        out.Set(e.index, excluded ? kNoValue : e.value, e.x);
    }
}

BandVector* RunChainStage(Spectrum& spectrum, int stage) {
    switch (stage) {
        case kStageRaw:
            return spectrum.raw_.get();
        case kStageFiltered:
            ApplyWavebandFilter(spectrum);
            return spectrum.filtered_.get();
        case kStageSmoothed:
        case kStageSynthesized:
        case kStageDerived:
        case kStageInterpolated:
            throw OrvaneError("Processing stage " + std::to_string(stage) +
                              " needs the smoothing and synthesis steps, which this build lacks.");
        default:
            return nullptr;
    }
}

Matrix* RunChainFeatures(Spectrum&, int type) {
    if (type < 0 || type > 2) return nullptr;
    throw OrvaneError("Feature vectors need the feature-space step, which this build lacks.");
}

}  // namespace orvane
