// SPDX-License-Identifier: GPL-3.0-or-later
// Instrument files and study folders read into numpy arrays.
#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "arrays.h"
#include "base/band_grid.h"
#include "base/orvane_error.h"
#include "bindings.h"
#include "sensors.h"
#include "spectra/field_spectrum_reader.h"
#include "spectra/species.h"
#include "spectra/spectrum_file.h"
#include "study/study_folder.h"

namespace orvane::python {

namespace {

py::object NumberOrNone(double v) {
    return std::isfinite(v) ? py::object(py::float_(v)) : py::none();
}

py::object TimeOf(const CaptureTime& t) {
    if (!ValidCaptureTime(t)) return py::none();
    return py::module_::import("datetime")
        .attr("datetime")(t.year, t.month, t.day, t.hour, t.minute, t.second);
}

// The values as the database stores them (single precision), NaN where a band has none.
void StoredValues(const std::vector<double>& read, double* out) {
    for (std::size_t k = 0; k < kSpectrumBands; ++k) {
        const float stored = static_cast<float>(read[k]);
        out[k] = stored == kStoredNoValue ? NAN : static_cast<double>(stored);
    }
}

py::array_t<double> GridWavelengths() {
    py::array_t<double> w(kSpectrumBands);
    double* out = w.mutable_data();
    for (int k = 0; k < kSpectrumBands; ++k) out[k] = kFirstWavelength + k;
    return w;
}

py::tuple ReadFile(const std::string& path, py::handle sensor_argument) {
    std::shared_ptr<const Sensor> sensor;
    if (!sensor_argument.is_none()) sensor = SensorArgument(sensor_argument, "sensor");
    FieldSpectrumContents contents;
    const SpectrumReader* reader = nullptr;
    Spectrum identity;
    std::unique_ptr<Spectrum> profile;
    {
        py::gil_scoped_release release;
        reader = &ReaderOfFile(path);
        if (reader->read_on_sensor) {
            if (!sensor)
                throw OrvaneError("Field spectrum file " + path + " was not read: it is an " +
                                  std::string(reader->name) + " profile, which lies on a "
                                  "sensor's bands; give that sensor as sensor=.");
            profile = reader->read_on_sensor(path, sensor.get(), nullptr);
        } else {
            contents = reader->read_values(path);
            SetSpectrumFileIdentity(identity, path);
        }
    }
    py::dict meta;
    meta["reader"] = std::string(reader->name);
    meta["path"] = path;
    if (profile) {
        // A pixel's profile: its values on the sensor's bands, at their centres.
        const BandVector& bands = *profile->sensor_profile_;
        py::array_t<double> wavelengths(bands.Count()), values(bands.Count());
        std::copy(bands.Xs(), bands.Xs() + bands.Count(), wavelengths.mutable_data());
        std::copy(bands.Values(), bands.Values() + bands.Count(), values.mutable_data());
        meta["name"] = profile->name_;
        meta["number"] = profile->number_;
        meta["sensor"] = sensor->Name();
        return py::make_tuple(wavelengths, values, meta);
    }
    py::array_t<double> values(kSpectrumBands);
    StoredValues(contents.reflectances, values.mutable_data());
    meta["name"] = contents.name.empty() ? identity.name_ : contents.name;
    meta["number"] = identity.number_;
    meta["instrument"] = contents.instrument;
    meta["time"] = TimeOf(contents.capture_time);
    meta["latitude"] = NumberOrNone(contents.latitude);
    meta["longitude"] = NumberOrNone(contents.longitude);
    meta["altitude"] = NumberOrNone(contents.altitude);
    meta["comment"] = contents.comment;
    meta["splice_points"] = contents.splice_points;
    meta["notes"] = contents.notes;
    return py::make_tuple(GridWavelengths(), values, meta);
}

py::tuple ReadStudy(const std::string& folder) {
    StudyFolder study;
    {
        py::gil_scoped_release release;
        study = ReadStudyFolder(folder);
    }
    std::size_t n = 0;
    for (const auto& species : study.species) n += static_cast<std::size_t>(species->TotalSpectra());
    py::array_t<double> values({static_cast<py::ssize_t>(n), static_cast<py::ssize_t>(kSpectrumBands)});
    double* out = values.mutable_data();
    std::vector<std::string> species_names, files;
    std::vector<int> sites;
    species_names.reserve(n);
    sites.reserve(n);
    files.reserve(n);
    for (const auto& species : study.species) {
        for (int s = 0; s < species->SiteCount(); ++s) {
            const Site& site = *species->SiteAt(s);
            for (int i = 0; i < site.MemberCount(); ++i) {
                const Spectrum& spectrum = *site.Member(i);
                for (int k = 0; k < kSpectrumBands; ++k) {
                    const float v = spectrum.reflectances_[static_cast<std::size_t>(k)];
                    *out++ = v == kStoredNoValue ? NAN : static_cast<double>(v);
                }
                species_names.push_back(species->folder_name_);
                sites.push_back(site.SiteNumber());
                files.push_back(FileNameOfPath(spectrum.path_));
            }
        }
    }
    return py::make_tuple(GridWavelengths(), values, species_names, sites, files, study.skipped);
}

}  // namespace

void BindReading(py::module_& m) {
    m.def("read_file", &ReadFile, py::arg("path"), py::arg("sensor") = py::none());
    m.def("read_study_folder", &ReadStudy, py::arg("folder"));
}

}  // namespace orvane::python
