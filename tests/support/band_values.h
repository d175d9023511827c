// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "spectra/band_vector.h"
#include "spectra/sensor.h"

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

// Whether two vectors hold the same bits, band for band.
inline bool SameBits(const BandVector& a, const BandVector& b) {
    return a.First() == b.First() && a.Count() == b.Count() &&
           std::memcmp(a.Values(), b.Values(), sizeof(double) * a.Count()) == 0;
}

// A derived stage on a sensor axis with uneven spacing; kNoValue marks a band without value.
inline BandVector Derived(const std::vector<double>& x, const std::vector<double>& v) {
    BandVector d(1, static_cast<int>(x.size()));
    int valid = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        d.Set(static_cast<int>(i) + 1, v[i], x[i]);
        if (HasValue(v[i])) ++valid;
    }
    d.SetValidCount(valid);
    return d;
}

// A sensor held in memory, so that a test states its elements directly.
class MemorySensor : public Sensor {
  public:
    MemorySensor(int type, std::vector<SensorElement> elements) {
        response_type_ = type;
        elements_ = std::move(elements);
    }
    // Elements numbered from 1 at the given centres, 10 nm wide.
    explicit MemorySensor(const std::vector<double>& centres) {
        for (double centre : centres) {
            SensorElement e;
            e.number = e.band_no = static_cast<int>(elements_.size()) + 1;
            e.avg_wavelength = centre;
            e.fwhm = 10.0;
            elements_.push_back(e);
        }
    }
};

}  // namespace orvane::test
