// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace orvane {

// The 1 nm grid every stored spectrum lies on: 2150 bands from 350 to 2499 nm. Filter ranges
// may reach 2500 nm, the grid's upper edge.
constexpr int kFirstWavelength = 350;
constexpr int kSpectrumBands = 2150;
constexpr int kLastWavelength = kFirstWavelength + kSpectrumBands - 1;
constexpr int kGridEdge = kFirstWavelength + kSpectrumBands;

}  // namespace orvane
