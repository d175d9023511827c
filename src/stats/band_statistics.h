// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

namespace orvane {

class BandVector;

// Per-band mean and sample standard deviation (divisor n - 1) of a group of band vectors on
// one axis. Each band is averaged over the members that have a value there; a band without a
// value in any member has none (NaN), and a band with a single value has deviation 0. The
// group's x values are those of its first member.
struct BandStatistics {
    std::vector<double> x;
    std::vector<double> mean;
    std::vector<double> deviation;
    std::vector<int> count;  // members with a value at the band
};

// Throws OrvaneError when the vectors do not share one axis; an empty group gives no bands.
BandStatistics MeanAndDeviation(const std::vector<const BandVector*>& members);

}  // namespace orvane
