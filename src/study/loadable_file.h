// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "spectra/spectrum.h"

namespace orvane {

class ProcessingSession;

// Reads any file the window's Loaded Spectra takes, by its reader (spectra/spectrum_file.h): a
// binary, SIG or SED field spectrum onto the 1 nm grid, or an ENVI Z profile onto the session's
// current sensor. Throws OrvaneError naming the file when it cannot be read, and for a Z profile
// when no sensor is selected.
std::unique_ptr<Spectrum> ReadLoadableFile(const std::string& path,
                                           const ProcessingSession* session);

// True when a file of the list lies on a sensor's bands (a Z profile), which needs the current
// sensor to be read.
bool AnyOnSensorBands(const std::vector<std::string>& paths);

}  // namespace orvane
