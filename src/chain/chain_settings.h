// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

namespace orvane {

class BandVector;
class DerivativeSettings;
class FeatureSpace;
class SensorSynthesis;
class SmoothingFilter;
class WavebandFilter;

// The chain's settings at one moment: the study's filter and its per-band verdicts, the
// smoothing, the synthesis onto the current sensor, the derivative and the feature space. A
// computation takes this instead of the whole session; it stays valid until the session's
// chain settings change (the session owns the prepared filters it points to).
struct ChainSettings {
    const WavebandFilter* study_filter = nullptr;
    const BandVector* filter_mask = nullptr;
    // The filter's verdict as one byte per grid band (1 excluded).
    const std::vector<unsigned char>* filter_excluded = nullptr;
    SmoothingFilter* smoothing = nullptr;
    int smoothing_type = 0;
    // Null when there is no sensor to synthesize onto.
    const SensorSynthesis* synthesis = nullptr;
    DerivativeSettings* derivative = nullptr;
    int derivative_order = 0;
    const FeatureSpace* feature_space = nullptr;
};

}  // namespace orvane
