// SPDX-License-Identifier: GPL-3.0-or-later
#include "imagery/image_sensor.h"

#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "base/frontend.h"
#include "base/orvane_error.h"
#include "base/shown_text.h"
#include "imagery/spectral_image.h"
#include "study/sensor_import.h"

namespace orvane {

namespace {

// How far a sensor's centre may lie from the image band it stands for.
constexpr double kCentreTolerance = 0.5;

std::string FileStem(const std::string& path) {
    const size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

// `text` cut to at most `bytes` bytes at a character boundary.
std::string Cut(const std::string& text, size_t bytes) {
    if (text.size() <= bytes) return text;
    size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

// The mean distance from band `number`'s centre to the nearest distinct lower and higher
// centres among the image's bands; NaN when it has no neighbour.
double Spacing(const SpectralImage& image, const std::vector<double>& sorted, int number) {
    const double c = image.Band(number).wavelength;
    const auto above = std::upper_bound(sorted.begin(), sorted.end(), c);
    const auto below = std::lower_bound(sorted.begin(), sorted.end(), c);
    double sum = 0.0;
    int gaps = 0;
    if (above != sorted.end()) {
        sum += *above - c;
        ++gaps;
    }
    if (below != sorted.begin()) {
        sum += c - *(below - 1);
        ++gaps;
    }
    return gaps == 0 ? std::numeric_limits<double>::quiet_NaN() : sum / gaps;
}

}  // namespace

GaussianSensor SensorOfImage(SpectralImage& image, const std::string& name,
                             std::vector<std::string>& notes, Feedback* feedback) {
    image.RequireWavelengths();
    image.ScanBands(feedback);
    const std::vector<int>& usable = image.UsableBands();
    if (usable.empty())
        throw OrvaneError("The image " + image.Path() +
                          " has no usable band: every band is marked bad or holds no value.");
    std::vector<double> sorted;
    for (const ImageBand& b : image.Bands()) sorted.push_back(b.wavelength);
    std::sort(sorted.begin(), sorted.end());
    std::vector<SensorElement> elements;
    std::vector<int> spaced;
    for (int number : usable) {
        const ImageBand& band = image.Band(number);
        SensorElement e;
        e.band_no = number;
        e.avg_wavelength = band.wavelength;
        e.fwhm = band.fwhm;
        if (!(e.fwhm > 0.0)) {
            e.fwhm = Spacing(image, sorted, number);
            if (!(e.fwhm > 0.0))
                throw OrvaneError(fmt::format(
                    "Band {} of the image {} has no FWHM, and no other band's centre to take "
                    "the spacing from; give the FWHM beside each wavelength in a wavelengths "
                    "file.",
                    number, image.Path()),
                    Remedy::kGiveWavelengths);
            spaced.push_back(number);
        }
        elements.push_back(e);
    }
    if (!spaced.empty()) {
        const ImageBand& first = image.Band(spaced.front());
        notes.push_back(fmt::format(
            "{} of {} bands have no FWHM; each takes the spacing of its neighbours (the mean "
            "distance to the nearest lower and higher centre), band {} at {:g} nm {:.4g} nm.",
            spaced.size(), usable.size(), first.number, first.wavelength,
            elements[static_cast<size_t>(std::find(usable.begin(), usable.end(), spaced.front()) -
                                         usable.begin())]
                .fwhm));
    }
    const std::string sensor_name = name.empty() ? FileStem(image.Path()) : name;
    const std::string description =
        fmt::format("{} of {} bands of the image {}", usable.size(), image.BandCount(),
                    Cut(FileStem(image.Path()), 900));
    GaussianSensor sensor;
    try {
        sensor.Define(sensor_name, description, std::move(elements));
    } catch (const OrvaneError& e) {
        throw OrvaneError("The sensor of the image " + image.Path() + " cannot be made: " +
                          e.what());
    }
    return sensor;
}

int ImportImageSensor(ProcessingSession& session, Frontend& frontend,
                      const ImageSensorRequest& request) {
    SpectralImage image(request.image, request.wavelengths_file);
    std::vector<std::string> notes;
    GaussianSensor sensor = [&] {
        ProgressScope progress(frontend, "Reading the bands of " + image.Path(), 100);
        return SensorOfImage(image, request.name, notes, &frontend.Progress());
    }();
    for (const std::string& note : image.Notes()) frontend.Report(EscapeControls(note));
    for (const std::string& note : notes) frontend.Report(EscapeControls(note));
    frontend.Report(fmt::format("{} of {} bands of {} make the sensor \"{}\".",
                                sensor.ElementCount(), image.BandCount(),
                                EscapeControls(image.Path()), EscapeControls(sensor.Name())));
    return AddImportedSensor(session, frontend, sensor);
}

std::string SensorMismatch(const Sensor& sensor, const SpectralImage& image) {
    const std::vector<int>& usable = image.UsableBands();
    const size_t bands = usable.size();
    const size_t elements = static_cast<size_t>(sensor.ElementCount());
    const std::string head =
        fmt::format("The sensor \"{}\" does not match the image {}: it has {} bands, the image "
                    "{} usable bands; ",
                    EscapeControls(sensor.Name()), image.Path(), elements, bands);
    for (size_t i = 0; i < std::max(bands, elements); ++i) {
        const bool has_band = i < bands;
        const bool has_element = i < elements;
        const double centre = has_element ? sensor.Element(static_cast<int>(i)).avg_wavelength : 0;
        const double wavelength = has_band ? image.Band(usable[i]).wavelength : 0;
        if (has_band && has_element && std::fabs(centre - wavelength) <= kCentreTolerance)
            continue;
        const std::string sensor_side =
            has_element ? fmt::format("the sensor's band {} (number {}) lies at {:g} nm", i + 1,
                                      sensor.Element(static_cast<int>(i)).band_no, centre)
                        : fmt::format("the sensor has no band {}", i + 1);
        const std::string image_side =
            has_band ? fmt::format("the image's usable band {} (band {} of the file) at {:g} nm",
                                   i + 1, usable[i], wavelength)
                     : fmt::format("the image has no usable band {}", i + 1);
        return head + "the first that differs: " + sensor_side + ", " + image_side +
               fmt::format(" (centres must agree within {:g} nm).", kCentreTolerance);
    }
    return "";
}

void CheckSensorMatchesImage(const Sensor& sensor, const SpectralImage& image) {
    const std::string mismatch = SensorMismatch(sensor, image);
    if (!mismatch.empty()) throw OrvaneError(mismatch);
}

}  // namespace orvane
