// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/orvane_error.h"
#include "fuzz_file.h"
#include "spectra/sensor.h"
#include "spectra/waveband_filter.h"
#include "study/z_profile_reader.h"

namespace {

// A sensor with close, equal and unusable centres, built without a database.
class FixedSensor : public orvane::Sensor {
  public:
    FixedSensor() {
        const double centres[] = {450.2, 500.7, 500.1, 650.0, 800.5, 1200.0, 2499.6};
        int number = 0;
        for (double c : centres) {
            orvane::SensorElement e;
            e.number = ++number;
            e.band_no = number;
            e.avg_wavelength = c;
            e.fwhm = 20.0;
            e.usable = c != 650.0 && c < 2499.5;
            elements_.push_back(e);
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FixedSensor sensor;
    static orvane::WavebandFilter filter = [] {
        orvane::WavebandFilter f;
        f.AddRange(780, 820);
        f.AddBand(1200);
        return f;
    }();
    try {
        orvane::ReadZProfile(TheFuzzFile().Write(data, size), sensor, &filter);
    } catch (const orvane::OrvaneError&) {
    }
    return 0;
}
