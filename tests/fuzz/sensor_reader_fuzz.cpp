// SPDX-License-Identifier: GPL-3.0-or-later
#include <cmath>

#include "base/orvane_error.h"
#include "fuzz_file.h"
#include "spectra/sensor.h"

// A definition either reads with every value in range or is refused; both kinds are tried on
// each input, the first byte choosing the one whose rules the rest must meet.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = TheFuzzFile().Write(data, size);
    try {
        orvane::GaussianSensor gaussian;
        gaussian.ReadFile(path);
        for (const orvane::SensorElement& e : gaussian.Elements()) {
            if (!(e.avg_wavelength >= 300.0 && e.avg_wavelength <= 2600.0)) std::abort();
            if (!(e.fwhm > 0.0) || !std::isfinite(e.fwhm)) std::abort();
            (void)orvane::Sensor::RoundCentre(e.avg_wavelength);
            (void)gaussian.ElementByWavelength(e.avg_wavelength);
        }
        (void)gaussian.NearestElement(static_cast<double>(size));
    } catch (const orvane::OrvaneError&) {
    }
    try {
        orvane::RatioSensor ratio;
        ratio.ReadFile(path);
        for (const orvane::RatioSensor::Sample& s : ratio.Samples())
            if (!(s.ratio >= 0.0) || !std::isfinite(s.ratio)) std::abort();
    } catch (const orvane::OrvaneError&) {
    }
    return 0;
}
