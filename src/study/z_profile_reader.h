// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

#include "spectra/z_profile_reader.h"

namespace orvane {

class ProcessingSession;

// Reads a Z profile (spectra/z_profile_reader.h) on the session's current sensor and study
// filter. Throws OrvaneError naming the file when no sensor is selected, and as the reader does.
std::unique_ptr<Spectrum> ReadZProfile(const std::string& path, const ProcessingSession* session);

}  // namespace orvane
