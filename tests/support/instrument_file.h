// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "spectra/spectrum.h"
#include "support/study_rows.h"

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
inline void WriteInstrumentFile(const std::string& path, const InstrumentFile& f = {}) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::vector<char> bytes(484, 0);
    // The test machine is little-endian.
    const auto put = [&](size_t at, const auto value) {
        std::memcpy(bytes.data() + at, &value, sizeof value);
    };
    std::memcpy(bytes.data(), "as1", 3);
    std::memcpy(bytes.data() + 3, f.comment.data(), std::min<size_t>(f.comment.size(), 157));
    const int time[6] = {f.time.second, f.time.minute,    f.time.hour,
                         f.time.day,    f.time.month - 1, f.time.year - 1900};
    for (size_t i = 0; i < 6; ++i) put(160 + 2 * i, static_cast<int16_t>(time[i]));
    bytes[186] = 1;
    put(350, f.latitude);
    put(358, f.longitude);
    put(366, f.altitude);
    const std::string values = Blob(f.values.empty() ? DistinctReflectances(f.seed) : f.values);
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<long>(bytes.size()))
        << values;
}

}  // namespace orvane::test
