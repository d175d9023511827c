// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace orvane {

// How a derivative is computed, as stored in derivative.method (a new study's rows carry 2,
// which computes like the iterative method).
enum DerivativeMethod { kDerivativeIterative = 0, kDerivativeSavGol = 1 };

}  // namespace orvane
