// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectra/z_profile_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "base/orvane_error.h"
#include "base/regular_file.h"
#include "base/text_file.h"
#include "spectra/waveband_filter.h"
#include "spectra/field_spectrum_reader.h"
#include "spectra/sensor.h"

namespace orvane {

namespace {

constexpr int kHeaderLines = 3;

[[noreturn]] void Refuse(const std::string& path, const std::string& reason) {
    throw OrvaneError("Z profile " + path + " was not read: " + reason + ".");
}

// The first two tokens as wavelength and value; false when the line does not start with two
// finite numbers.
bool ParsePair(const std::string& line, double& wavelength, double& value) {
    double numbers[2];
    std::size_t pos = 0;
    for (double& number : numbers) {
        pos = line.find_first_not_of(" ,\t\r\n", pos);
        if (pos == std::string::npos) return false;
        const std::size_t end = std::min(line.find_first_of(" ,\t\r\n", pos), line.size());
        const std::string token = line.substr(pos, end - pos);
        char* stop = nullptr;
        number = std::strtod(token.c_str(), &stop);
        if (stop != token.c_str() + token.size() || !std::isfinite(number)) return false;
        pos = end;
    }
    wavelength = numbers[0];
    value = numbers[1];
    return true;
}

}  // namespace

bool LooksLikeZProfileStart(std::string_view start) {
    return start.substr(0, kZProfileFirstLine.size()) == kZProfileFirstLine;
}

std::unique_ptr<Spectrum> ReadZProfileOnSensor(const std::string& path, const Sensor* sensor,
                                               const WavebandFilter* filter) {
    if (!sensor) Refuse(path, "no sensor is selected to place its values on");
    return ReadZProfile(path, *sensor, filter);
}

std::unique_ptr<Spectrum> ReadZProfile(const std::string& path, const Sensor& sensor,
                                       const WavebandFilter* filter) {
    TextFile file(path, '#');
    try {
        // Read-only access is enough, so a profile on a write-protected medium still opens.
        file.OpenForReading();
    } catch (const NotRegularFileError& e) {
        Refuse(path, "it is " + e.Kind() + ", not a regular file");
    } catch (const FileNotFoundError&) {
        Refuse(path, "it does not exist or cannot be opened");
    }
    // Lines are read whole whatever their length, so a long line is never split in two.
    file.MeasureLines();

    auto spectrum = std::make_unique<Spectrum>();
    SetSpectrumFileIdentity(*spectrum, path);
    auto stage = std::make_unique<BandVector>(1, sensor.ElementCount(), filter);
    for (const SensorElement& e : sensor.Elements())
        if (stage->InRange(e.number)) stage->Set(e.number, kNoValue, e.avg_wavelength);

    // Lines are counted as the file has them, comments included, so a refusal names the line
    // an editor shows.
    std::string line;
    int line_number = 0;
    const auto next = [&] {
        while (file.ReadLine(line)) {
            ++line_number;
            if (line.empty() || line[0] != '#') return true;
        }
        return false;
    };
    for (int i = 0; i < kHeaderLines; ++i)
        if (!next()) break;
    int data_lines = 0;
    int placed = 0;
    while (next()) {
        // Blank lines carry nothing; any other line must be a wavelength and a value, or the
        // file is not a Z profile (a spectrum made of it would hold no real values).
        if (line.find_first_not_of(" ,\t\r\n") == std::string::npos) continue;
        double wavelength = 0.0;
        double value = 0.0;
        if (!ParsePair(line, wavelength, value)) {
            std::string shown = line.substr(0, line.find_last_not_of("\r\n") + 1);
            if (shown.size() > 60) shown = shown.substr(0, 60) + "...";
            Refuse(path, "line " + std::to_string(line_number) +
                             " is not a wavelength and a value (\"" + shown + "\")");
        }
        ++data_lines;
        // Wavelengths no sensor could have are skipped before they are truncated.
        if (std::fabs(wavelength) > 1e6) continue;
        if (value < 0.0) value = 0.0;
        const int position = sensor.ElementByWavelength(wavelength);
        if (position < 0) continue;
        const SensorElement& element = sensor.Element(position);
        if (!element.usable || !stage->InRange(element.number)) continue;
        const bool excluded = filter && filter->Excludes(static_cast<int>(wavelength));
        stage->Set(element.number, excluded ? kNoValue : value, wavelength);
        ++placed;
    }
    if (data_lines == 0)
        Refuse(path, "it holds no wavelength and value lines after its " +
                         std::to_string(kHeaderLines) + " header lines");
    if (placed == 0)
        Refuse(path, "none of its wavelengths is the centre of a usable band of sensor " +
                         sensor.Name());

    int valid = 0;
    for (int k = stage->First(); k <= stage->Last(); ++k) valid += HasValue(stage->Value(k));
    stage->SetValidCount(valid);
    spectrum->sensor_profile_ = std::move(stage);
    return spectrum;
}

}  // namespace orvane
