// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <utility>
#include <vector>

namespace orvane {

enum class Stage;

class BandVector;
class DerivativeSettings;
class FeatureSpace;
class SensorSynthesis;
class SmoothingFilter;
class WavebandFilter;

// An optional stage's setting in a study: its mode (0 off) and the study's wavelength pairs for
// it (the splice joins, the continuum ranges; empty for the stage's default).
struct StageSetting {
    int mode = 0;
    std::vector<std::pair<int, int>> pairs;
};

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
    // The optional stages' settings by stage number; null or a missing entry is off.
    const std::vector<StageSetting>* stage_settings = nullptr;

    const StageSetting& Setting(Stage stage) const {
        static const StageSetting kOff;
        const size_t at = static_cast<size_t>(stage);
        return stage_settings && at < stage_settings->size() ? (*stage_settings)[at] : kOff;
    }
};

}  // namespace orvane
