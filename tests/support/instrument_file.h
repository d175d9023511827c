// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "spectra/spectrum.h"

namespace orvane::test {

// What a test instrument file holds; position in degrees and minutes as the instrument stores
// it (-2545.5 is -25 degrees 45.5 minutes).
struct InstrumentFile {
    int seed = 1;  // reflectances: DistinctReflectances(seed)
    CaptureTime time{2019, 3, 4, 10, 11, 12};
    double latitude = 0.0;
    double longitude = 0.0;
    double altitude = 0.0;
    std::string comment = "test";  // up to 157 bytes fill the field without a terminator
    std::vector<float> values = {};  // the reflectances when not empty
};

// Writes the oldest layout: a 484-byte header without a channel count, then 2150 floats.
void WriteInstrumentFile(const std::string& path, const InstrumentFile& file = {});

}  // namespace orvane::test
