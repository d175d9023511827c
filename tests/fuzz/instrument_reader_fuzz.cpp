// SPDX-License-Identifier: GPL-3.0-or-later
#include <cmath>

#include "base/orvane_error.h"
#include "fuzz_file.h"
#include "spectra/field_spectrum_reader.h"

// Any bytes either give 2150 finite values and a position that is a position, or a refusal.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const orvane::FieldSpectrumContents c =
            orvane::ReadFieldSpectrumValues(TheFuzzFile().Write(data, size));
        if (c.reflectances.size() != orvane::kSpectrumBands) std::abort();
        for (double v : c.reflectances)
            if (!std::isfinite(v)) std::abort();
        if (std::isfinite(c.latitude) && std::fabs(c.latitude) > 90.0) std::abort();
        if (std::isfinite(c.longitude) && std::fabs(c.longitude) > 180.0) std::abort();
        (void)orvane::SpectrumNumberOfFileName(std::string(reinterpret_cast<const char*>(data),
                                                           size < 64 ? size : 64));
    } catch (const orvane::OrvaneError&) {
    }
    return 0;
}
