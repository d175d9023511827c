// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/instrument_file.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "support/study_rows.h"

namespace orvane::test {

namespace {
template <typename T>
void Put(std::vector<char>& bytes, size_t at, T value) {
    std::memcpy(bytes.data() + at, &value, sizeof value);  // the test machine is little-endian
}
}  // namespace

void WriteInstrumentFile(const std::string& path, const InstrumentFile& f) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::vector<char> bytes(484, 0);
    std::memcpy(bytes.data(), "as1", 3);
    std::memcpy(bytes.data() + 3, f.comment.data(), std::min<size_t>(f.comment.size(), 157));
    const int16_t time[6] = {
        static_cast<int16_t>(f.time.second),    static_cast<int16_t>(f.time.minute),
        static_cast<int16_t>(f.time.hour),      static_cast<int16_t>(f.time.day),
        static_cast<int16_t>(f.time.month - 1), static_cast<int16_t>(f.time.year - 1900)};
    for (int i = 0; i < 6; ++i) Put(bytes, 160 + 2 * static_cast<size_t>(i), time[i]);
    bytes[186] = 1;
    Put(bytes, 350, f.latitude);
    Put(bytes, 358, f.longitude);
    Put(bytes, 366, f.altitude);
    const std::string values = Blob(f.values.empty() ? DistinctReflectances(f.seed) : f.values);
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<long>(bytes.size()))
        << values;
}

}  // namespace orvane::test
