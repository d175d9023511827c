// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <cmath>

#include "spectra/band_vector.h"

namespace orvane::test {

// Two band values agree: both without value, or both values within `tolerance` of each other.
inline ::testing::AssertionResult SameValue(double actual, double expected,
                                            double tolerance = 0.0) {
    if (!HasValue(actual) && !HasValue(expected)) return ::testing::AssertionSuccess();
    if (HasValue(actual) && HasValue(expected) && std::fabs(actual - expected) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "got " << (HasValue(actual) ? std::to_string(actual) : "no value") << ", expected "
           << (HasValue(expected) ? std::to_string(expected) : "no value");
}

}  // namespace orvane::test
