// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "spectra/spectrum.h"

namespace orvane {

class Sensor;
class WavebandFilter;

// Reads a Z profile (wavelength/value pairs of one image pixel, three header lines) into the
// sensor profile of a new spectrum on a sensor's bands, values in the bands the waveband filter
// (which may be null) excludes set to no value. Throws OrvaneError, naming the file (and the
// line), when the file cannot be opened, a line after the header is neither blank nor a
// wavelength and a value, or no value falls on a usable band of the sensor.
std::unique_ptr<Spectrum> ReadZProfile(const std::string& path, const Sensor& sensor,
                                       const WavebandFilter* filter);

// The same where no sensor may be selected (null), which refuses the file naming it.
std::unique_ptr<Spectrum> ReadZProfileOnSensor(const std::string& path, const Sensor* sensor,
                                               const WavebandFilter* filter);

// The first line the image software writes into a Z profile it saves.
constexpr std::string_view kZProfileFirstLine = "ENVI ASCII Plot File";

// True when the start of a text begins with that line.
bool LooksLikeZProfileStart(std::string_view start);

}  // namespace orvane
