// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "base/band_grid.h"
#include "base/matrix.h"

namespace orvane {

// Byte layouts of the stored arrays: IEEE values, little-endian, packed, no header. A reader
// knows the dimension from elsewhere and refuses a block of any other length.
constexpr unsigned long kSpectrumBlobBytes = kSpectrumBands * 4;

std::string EncodeFloats(const float* values, size_t count);
// Any Newmat matrix: its element storage, row by row (the diagonal of a DiagonalMatrix).
std::string EncodeMatrix(const NEWMAT::GeneralMatrix& matrix);

// Fills the matrix (already sized) from a block; throws OrvaneError naming `what` when the
// block's length is not exactly the matrix's storage.
void DecodeMatrix(const std::string& block, NEWMAT::GeneralMatrix& matrix, const std::string& what);
void DecodeFloats(const char* data, size_t bytes, float* values, size_t count,
                  const std::string& what);

}  // namespace orvane
