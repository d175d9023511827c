// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/choice_words.h"

namespace orvane {

// How the filtered spectra are smoothed. The numbers are stored (chain settings, the window's
// settings, result records), so they never change.
enum class SmoothingType { kNone = 0, kMovingWindow = 1, kFft = 2 };

inline constexpr Choice<SmoothingType> kSmoothingTypeChoices[] = {
    {"none", "none", SmoothingType::kNone},
    {"sg-mw", "Savitzky-Golay (MW)", SmoothingType::kMovingWindow},
    {"sg-fft", "Savitzky-Golay (FFT)", SmoothingType::kFft},
};
inline constexpr ChoiceTable<SmoothingType> kSmoothingTypes{kSmoothingTypeChoices};

// Whether a stored smoothing type number is one of the two Savitzky-Golay filters, the types
// with a window.
constexpr bool IsSavitzkyGolay(int type) {
    return type == static_cast<int>(SmoothingType::kMovingWindow) ||
           type == static_cast<int>(SmoothingType::kFft);
}
constexpr bool Is(int type, SmoothingType which) { return type == static_cast<int>(which); }

}  // namespace orvane
