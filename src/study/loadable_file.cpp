// SPDX-License-Identifier: GPL-3.0-or-later
#include "study/loadable_file.h"

#include <algorithm>

#include "chain/processing_session.h"
#include "spectra/spectrum_file.h"

namespace orvane {

std::unique_ptr<Spectrum> ReadLoadableFile(const std::string& path,
                                           const ProcessingSession* session) {
    const SpectrumReader& reader = ReaderOfFile(path);
    if (reader.Bands() == ReaderBands::kFieldGrid) return ReadSpectrumFile(path, reader);
    const Sensor* sensor = session ? session->CurrentSensor() : nullptr;
    return reader.read_on_sensor(path, sensor, sensor ? session->StudyFilter() : nullptr);
}

bool AnyOnSensorBands(const std::vector<std::string>& paths) {
    return std::any_of(paths.begin(), paths.end(), [](const std::string& path) {
        return ReaderOfFile(path).Bands() == ReaderBands::kSensorBands;
    });
}

}  // namespace orvane
