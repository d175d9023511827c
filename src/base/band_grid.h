// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace orvane {

// The 1 nm grid every stored spectrum lies on: 2150 bands from 350 to 2499 nm. Filter ranges
// may reach 2500 nm, the grid's upper edge.
constexpr int kFirstWavelength = 350;
constexpr int kSpectrumBands = 2150;
constexpr int kLastWavelength = kFirstWavelength + kSpectrumBands - 1;
constexpr int kGridEdge = kFirstWavelength + kSpectrumBands;

// A stored reflectance (the float BLOB of a spectrum, a value read from a file) that marks a band
// without value, such as one outside the range an instrument measured. The chain reads it as no
// value; stored rows keep this encoding.
constexpr float kStoredNoValue = -1.0f;

}  // namespace orvane
