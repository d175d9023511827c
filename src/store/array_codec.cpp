// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/array_codec.h"

#include <cstdint>
#include <cstring>

#include "base/orvane_error.h"

namespace orvane {

static_assert(sizeof(float) == 4 && sizeof(double) == 8, "IEEE single and double expected");
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "stored arrays are little-endian; a big-endian build needs byte swapping here");

namespace {
void LengthError(const std::string& what, size_t got, size_t expected) {
    throw OrvaneError("Stored " + what + " has " + std::to_string(got) + " bytes where " +
                      std::to_string(expected) + " were expected; the row is rejected.");
}
}  // namespace

std::string EncodeFloats(const float* values, size_t count) {
    return std::string(reinterpret_cast<const char*>(values), count * sizeof(float));
}

std::string EncodeMatrix(const NEWMAT::GeneralMatrix& matrix) {
    const size_t count = static_cast<size_t>(matrix.Storage());
    return std::string(reinterpret_cast<const char*>(matrix.Store()), count * sizeof(double));
}

void DecodeMatrix(const std::string& block, NEWMAT::GeneralMatrix& matrix, const std::string& what) {
    const size_t expected = static_cast<size_t>(matrix.Storage()) * sizeof(double);
    if (block.size() != expected) LengthError(what, block.size(), expected);
    if (expected) std::memcpy(matrix.Store(), block.data(), expected);
}

void DecodeFloats(const char* data, size_t bytes, float* values, size_t count,
                  const std::string& what) {
    if (bytes != count * sizeof(float)) LengthError(what, bytes, count * sizeof(float));
    std::memcpy(values, data, bytes);
}

}  // namespace orvane
