// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

#include "spectra/spectrum.h"

namespace orvane {

class ProcessingSession;
class Sensor;
class WavebandFilter;

// Reads a Z profile (wavelength/value pairs of one image pixel, three header lines) into the
// sensor profile of a new spectrum on the session's current sensor. Throws OrvaneError,
// naming the file (and the line), when the file cannot be opened, no sensor is selected, a
// line after the header is neither blank nor a wavelength and a value, or no value falls on a
// usable band of the sensor.
std::unique_ptr<Spectrum> ReadZProfile(const std::string& path, const ProcessingSession* session);

// The same on a given sensor and waveband filter (the filter may be null).
std::unique_ptr<Spectrum> ReadZProfile(const std::string& path, const Sensor& sensor,
                                       const WavebandFilter* filter);

}  // namespace orvane
