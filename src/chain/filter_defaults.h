// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace orvane {

class WavebandFilter;

// Adds the configuration's default ranges (filter_b, filter_br) to `filter`, leaving out those
// FilterRangeProblem refuses, and returns what was added and left out as report text.
std::string AddDefaultRanges(const WavebandFilter& defaults, WavebandFilter& filter);

}  // namespace orvane
