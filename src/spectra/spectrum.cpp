// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectra/spectrum.h"

#include <algorithm>

namespace orvane {

Spectrum::Spectrum() = default;

Spectrum::~Spectrum() = default;

void Spectrum::SetReflectances(const float* values) {
    std::copy(values, values + kSpectrumBands, reflectances_.begin());
}

}  // namespace orvane
