// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/choice_words.h"

namespace orvane {

// How a derivative is computed, as stored in derivative.method (a new study's rows carry 2,
// which computes like the iterative method).
enum DerivativeMethod { kDerivativeIterative = 0, kDerivativeSavGol = 1 };

inline constexpr Choice<DerivativeMethod> kDerivativeMethodChoices[] = {
    {"iterative", "Iterative", kDerivativeIterative},
    {"savgol", "SavGol", kDerivativeSavGol},
};
inline constexpr ChoiceTable<DerivativeMethod> kDerivativeMethods{kDerivativeMethodChoices};

}  // namespace orvane
