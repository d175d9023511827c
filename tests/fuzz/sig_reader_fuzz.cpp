// SPDX-License-Identifier: GPL-3.0-or-later
#include <cmath>
#include <cstdlib>

#include "base/orvane_error.h"
#include "fuzz_file.h"
#include "spectra/sig_spectrum_reader.h"

// Any bytes read as a SIG file either give 2150 values a stored float holds and a position
// that is a position, or a refusal.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const orvane::FieldSpectrumContents c =
            orvane::ReadSigSpectrumValues(TheFuzzFile().Write(data, size));
        if (c.reflectances.size() != orvane::kSpectrumBands) std::abort();
        for (double v : c.reflectances)
            if (!std::isfinite(v) || !std::isfinite(static_cast<float>(v))) std::abort();
        if (std::isfinite(c.latitude) && std::fabs(c.latitude) > 90.0) std::abort();
        if (std::isfinite(c.longitude) && std::fabs(c.longitude) > 180.0) std::abort();
    } catch (const orvane::OrvaneError&) {
    }
    return 0;
}
