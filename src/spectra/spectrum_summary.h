// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace orvane {

class Spectrum;

// One line describing a spectrum read from a file: name, number, capture time, position and
// comment, tab-separated.
std::string SpectrumSummary(const Spectrum& spectrum);

}  // namespace orvane
