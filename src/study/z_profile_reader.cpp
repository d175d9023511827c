// SPDX-License-Identifier: GPL-3.0-or-later
#include "study/z_profile_reader.h"

#include "chain/processing_session.h"

namespace orvane {

std::unique_ptr<Spectrum> ReadZProfile(const std::string& path, const ProcessingSession* session) {
    const Sensor* sensor = session ? session->CurrentSensor() : nullptr;
    return ReadZProfileOnSensor(path, sensor, sensor ? session->StudyFilter() : nullptr);
}

}  // namespace orvane
