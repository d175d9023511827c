#pragma once

#include <memory>

#include "spectra/band_vector.h"

namespace orvane {

class Sensor;
class ProcessingSession;

// Resamples a smoothed spectrum (1 nm grid) to the sensor's bands, one value per element, by
// the element's response. Returns a new vector on the sensor axis.
std::unique_ptr<BandVector> SynthesizeSensorBands(const BandVector& smoothed, const Sensor& sensor,
                                                  const ProcessingSession* session);

// Linear interpolation of a synthesized stage back onto the 1 nm grid; wavelengths outside
// the sensor's valid neighbouring bands stay without value.
void InterpolateToGrid(const BandVector& synthesized, BandVector& grid);

}  // namespace orvane
