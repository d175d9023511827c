// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "spectra/sensor.h"

namespace orvane {

class Feedback;
class Frontend;
class ProcessingSession;
class SpectralImage;

// What `sensor import --from-image` and the Import Sensor dialog's image choice ask for.
struct ImageSensorRequest {
    std::string image;
    std::string name;              // empty: the image's file name without its extension
    std::string wavelengths_file;  // empty: the image's own wavelengths
};

// A Gaussian sensor of the image's usable bands (scanning them first when that has not been
// done), in their order, each element numbered as its band in the file, centred on its
// wavelength with its FWHM; a band without FWHM takes the spacing of its neighbours (the mean
// distance to the nearest lower and higher centre among the image's bands), and `notes` says
// so. Not stored. Throws OrvaneError when the image has no wavelengths (Remedy
// kGiveWavelengths), no usable band, or a band the sensor rules refuse.
GaussianSensor SensorOfImage(SpectralImage& image, const std::string& name,
                             std::vector<std::string>& notes, Feedback* feedback = nullptr);

// Opens the image, reports what was inferred or left out, stores its sensor and adds it to the
// session as ImportSensor does; returns the new sensor's id. Nothing is stored on a refusal
// or a cancel.
int ImportImageSensor(ProcessingSession& session, Frontend& frontend,
                      const ImageSensorRequest& request);

// Whether `sensor` (a library's) serves the image's UsableBands() (run ScanBands first): the
// same count, each centre within 0.5 nm of the band in the same place. "" when it does, else
// a sentence naming the first band that differs with both wavelengths.
std::string SensorMismatch(const Sensor& sensor, const SpectralImage& image);
// Throws OrvaneError with that sentence when they differ.
void CheckSensorMatchesImage(const Sensor& sensor, const SpectralImage& image);

}  // namespace orvane
