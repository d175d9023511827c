// SPDX-License-Identifier: GPL-3.0-or-later
// Sensors: the shipped definitions, definitions from response tables and images, and the
// resampling of spectra onto their bands.
#include "sensors.h"

#include <dlfcn.h>
#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "arrays.h"
#include "base/data_files.h"
#include "base/orvane_error.h"
#include "bindings.h"
#include "chain/chain_definition.h"
#include "imagery/image_sensor.h"
#include "imagery/spectral_image.h"
#include "running.h"

namespace orvane::python {

namespace {

// The files that come with Orvane: the checkout's when the module lies in its build folder
// (build/release/python/orvane), else the installed ones.
DataFiles ModuleDataFiles() {
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&ModuleDataFiles), &info) && info.dli_fname) {
        const std::filesystem::path module(info.dli_fname);
        return DataFiles::ForProgramIn(module.parent_path().parent_path().parent_path().string());
    }
    return DataFiles::ForProgramIn("");
}

// Whether a definition file is a response table ("band,wavelength,ratio" as its third line).
bool IsResponseTable(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    for (int i = 0; i < 3 && std::getline(in, line); ++i) {
    }
    return line.find("ratio") != std::string::npos;
}

// A definition file read as `orvane-cli sensor import` stores it and the programs load it.
std::shared_ptr<const orvane::Sensor> ReadSensorFile(const std::string& path, bool table) {
    if (table) {
        auto sensor = std::make_shared<RatioSensor>();
        sensor->ReadFile(path);
        return sensor;
    }
    auto sensor = std::make_shared<GaussianSensor>();
    sensor->ReadFile(path);
    sensor->KeepLoadedElements();
    return sensor;
}

// The shipped sensors by name, read once.
const std::vector<std::shared_ptr<PySensor>>& Shipped() {
    static std::once_flag once;
    static std::vector<std::shared_ptr<PySensor>> sensors;
    std::call_once(once, [] {
        const std::string folder = ModuleDataFiles().sensors;
        std::vector<std::string> files;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder, error))
            if (entry.path().extension() == ".txt") files.push_back(entry.path().string());
        if (error)
            throw OrvaneError("The sensor definitions in " + folder +
                              " cannot be listed: " + error.message() + ".");
        std::sort(files.begin(), files.end());
        for (const std::string& file : files)
            sensors.push_back(
                std::make_shared<PySensor>(ReadSensorFile(file, IsResponseTable(file))));
    });
    return sensors;
}

std::vector<double> DoublesOf(py::handle value, const char* argument) {
    Rows rows(value, argument, 1, 1);
    std::vector<double> out(static_cast<std::size_t>(rows.Columns()));
    const double* v = rows.Row(0, out.data());
    std::copy(v, v + rows.Columns(), out.begin());
    return out;
}

std::vector<int> BandNumbers(py::handle bands, std::size_t count) {
    std::vector<int> numbers;
    if (bands.is_none()) {
        for (std::size_t i = 0; i < count; ++i) numbers.push_back(static_cast<int>(i) + 1);
        return numbers;
    }
    for (double v : DoublesOf(bands, "bands")) {
        if (v != std::floor(v) || !(v >= 0 && v <= 99999))
            Refuse("bands", "band numbers are whole numbers from 0 to 99999");
        numbers.push_back(static_cast<int>(v));
    }
    if (numbers.size() != count)
        Refuse("bands", std::to_string(count) + " band numbers are needed, not " +
                            std::to_string(numbers.size()));
    return numbers;
}

template <class Define>
std::shared_ptr<PySensor> Defined(Define define, const char* argument) {
    try {
        return std::make_shared<PySensor>(define());
    } catch (const OrvaneError& e) {
        Refuse(argument, e.what());
    }
}

std::shared_ptr<PySensor> FromGaussian(const std::string& name, py::handle centres, py::handle fwhm,
                                       py::handle bands, const std::string& description) {
    const std::vector<double> c = DoublesOf(centres, "centres");
    const std::vector<double> f = DoublesOf(fwhm, "fwhm");
    if (f.size() != c.size())
        Refuse("fwhm", std::to_string(c.size()) + " widths are needed (one per centre), not " +
                           std::to_string(f.size()));
    const std::vector<int> numbers = BandNumbers(bands, c.size());
    std::vector<SensorElement> elements(c.size());
    for (std::size_t i = 0; i < c.size(); ++i) {
        elements[i].band_no = numbers[i];
        elements[i].avg_wavelength = c[i];
        elements[i].fwhm = f[i];
    }
    return Defined(
        [&] {
            auto sensor = std::make_shared<GaussianSensor>();
            sensor->Define(name, description, elements);
            sensor->KeepLoadedElements();
            return sensor;
        },
        "centres");
}

std::shared_ptr<PySensor> FromTable(const std::string& name, py::handle wavelengths,
                                    py::handle responses, py::handle bands,
                                    const std::string& description) {
    const std::vector<double> w = DoublesOf(wavelengths, "wavelengths");
    Rows table(responses, "responses", 1, 2);
    const py::ssize_t length = table.Dims() == 1 ? table.Columns() : table.Count();
    if (length != static_cast<py::ssize_t>(w.size()))
        Refuse("responses", "one row per wavelength is needed (" + std::to_string(w.size()) +
                                "), not " + std::to_string(length));
    const std::size_t columns = static_cast<std::size_t>(table.Dims() == 1 ? 1 : table.Columns());
    const std::vector<int> numbers = BandNumbers(bands, columns);
    std::vector<RatioSensor::Sample> samples;
    std::vector<double> scratch(static_cast<std::size_t>(table.Columns()));
    // Band by band, as a definition file lists them; a zero response adds nothing to a band.
    for (std::size_t b = 0; b < columns; ++b)
        for (std::size_t r = 0; r < w.size(); ++r) {
            const double response = table.Dims() == 1
                                        ? table.Row(0, scratch.data())[r]
                                        : table.Row(static_cast<py::ssize_t>(r), scratch.data())[b];
            if (response != 0.0) samples.push_back({numbers[b], w[r], response});
        }
    return Defined(
        [&] {
            auto sensor = std::make_shared<RatioSensor>();
            sensor->Define(name, description, samples);
            return sensor;
        },
        "responses");
}

std::shared_ptr<PySensor> FromImage(py::handle path_argument, py::handle wavelengths_argument,
                                    const std::string& name) {
    const std::string path = PathArgument(path_argument, "path");
    const std::string wavelengths = wavelengths_argument.is_none()
                                        ? std::string()
                                        : PathArgument(wavelengths_argument, "wavelengths");
    std::shared_ptr<GaussianSensor> sensor;
    {
        py::gil_scoped_release release;
        SpectralImage image(path, wavelengths);
        std::vector<std::string> notes;
        const std::string stem = std::filesystem::path(path).stem().string();
        sensor = std::make_shared<GaussianSensor>(
            SensorOfImage(image, name.empty() ? stem : name, notes));
        sensor->KeepLoadedElements();
    }
    return std::make_shared<PySensor>(sensor);
}

py::array_t<double> ElementValues(const orvane::Sensor& s, double SensorElement::*field) {
    py::array_t<double> out(s.ElementCount());
    double* o = out.mutable_data();
    for (int i = 0; i < s.ElementCount(); ++i) o[i] = s.Element(i).*field;
    return out;
}

}  // namespace

PySensor::PySensor(std::shared_ptr<const orvane::Sensor> bands) : sensor(std::move(bands)) {
    ChainSpec definition;
    definition.sensor = sensor;
    resampling = CompiledChain::Compile(definition);
}

std::shared_ptr<const orvane::Sensor> SensorArgument(py::handle value, const char* argument) {
    if (py::isinstance<PySensor>(value)) return value.cast<PySensor&>().sensor;
    if (py::isinstance<py::str>(value)) {
        const std::string name = value.cast<std::string>();
        std::string names;
        for (const auto& s : Shipped()) {
            if (s->sensor->Name() == name) return s->sensor;
            names += (names.empty() ? "\"" : ", \"") + s->sensor->Name() + "\"";
        }
        Refuse(argument, "no shipped sensor is named \"" + name + "\"; they are " + names);
    }
    Refuse(argument, "a Sensor or the name of a shipped sensor is needed");
}

void BindSensors(py::module_& m) {
    py::class_<PySensor, std::shared_ptr<PySensor>> sensor(m, "Sensor", R"doc(
The bands of an instrument that field spectra are resampled onto.

A Gaussian sensor gives each band a centre and a full width at half maximum (FWHM); a band's
value is the mean of the grid values within three standard deviations of its centre (at
whole nanometres), weighted by the Gaussian, over the widest window symmetric about the
centre in which every band has a value. A response-table sensor weights the grid values by
its table's responses at whole nanometres. Make one with Sensor.from_response,
Sensor.from_file or Sensor.from_image, or take a shipped one from orvane.sensors().
)doc");
    sensor
        .def_static(
            "from_response",
            [](const std::string& name, py::handle centres, py::handle fwhm, py::handle wavelengths,
               py::handle responses, py::handle bands, const std::string& description) {
                if (!responses.is_none()) {
                    if (!centres.is_none() || !fwhm.is_none())
                        Refuse("responses",
                               "give either centres and fwhm or wavelengths and "
                               "responses, not both");
                    return FromTable(name, wavelengths, responses, bands, description);
                }
                if (!wavelengths.is_none())
                    Refuse("wavelengths", "responses are needed with the wavelengths");
                return FromGaussian(name, centres, fwhm, bands, description);
            },
            py::arg("name"), py::arg("centres") = py::none(), py::arg("fwhm") = py::none(),
            py::kw_only(), py::arg("wavelengths") = py::none(), py::arg("responses") = py::none(),
            py::arg("bands") = py::none(), py::arg("description") = "",
            R"doc(A sensor of the given spectral responses.

Gaussian: centres and fwhm (nm), one band per centre; centres lie within 300 to 2600 nm,
widths above 0 up to 1000 nm. Measured responses: wavelengths (1-D, nm) and responses, one
row per wavelength and one column per band (relative responses of any scale, not below 0),
taken at whole nanometres (wavelengths truncated) as a response table imported into a study
is. bands: the band numbers (default 1, 2, ...). A refusal raises ValueError naming the
argument and the band.)doc")
        .def_static(
            "from_file",
            [](py::handle argument) {
                const std::string path = PathArgument(argument, "path");
                return std::make_shared<PySensor>(ReadSensorFile(path, IsResponseTable(path)));
            },
            py::arg("path"),
            R"doc(A sensor definition file as `orvane-cli sensor import` reads it: a name, a
description, a header line, then one band per line ("band,avg_wavelength,fwhm,mark") or one
response per line ("band,wavelength,ratio", told by its header line).)doc")
        .def_static("from_image", &FromImage, py::arg("path"), py::arg("wavelengths") = py::none(),
                    py::arg("name") = "",
                    R"doc(The Gaussian sensor of an image's usable bands (read through GDAL),
in wavelength order, each centred on its wavelength with its FWHM (a band without FWHM takes
the spacing of its neighbours). The image is scanned once for bands without values.
wavelengths: a file of one centre (and FWHM) per band, replacing the image's own; name:
default the file's name without its extension.)doc")
        .def_property_readonly(
            "name", [](const PySensor& s) { return s.sensor->Name(); }, "The sensor's name.")
        .def_property_readonly(
            "description", [](const PySensor& s) { return s.sensor->Description(); },
            "The sensor's description, as its definition gives it.")
        .def_property_readonly(
            "response",
            [](const PySensor& s) {
                return s.sensor->ResponseType() == kResponseRatio ? "table" : "gaussian";
            },
            "\"gaussian\" or \"table\".")
        .def_property_readonly(
            "centres",
            [](const PySensor& s) {
                return ElementValues(*s.sensor, &SensorElement::avg_wavelength);
            },
            "Each band's centre (nm); a table band's is the middle of its responses.")
        .def_property_readonly(
            "fwhm",
            [](const PySensor& s) { return ElementValues(*s.sensor, &SensorElement::fwhm); },
            "Each band's FWHM (nm); 0 for a table band.")
        .def_property_readonly(
            "bands",
            [](const PySensor& s) {
                std::vector<int> numbers;
                for (const SensorElement& e : s.sensor->Elements()) numbers.push_back(e.band_no);
                return numbers;
            },
            "The band numbers, in band order.")
        .def_property_readonly(
            "usable",
            [](const PySensor& s) {
                std::vector<bool> usable;
                for (const SensorElement& e : s.sensor->Elements()) usable.push_back(e.usable);
                return usable;
            },
            "Whether each band is resampled (a band centred outside 350 to 2499 nm gives NaN). "
            "Bands a definition file marks X are left out, as a study database leaves them.")
        .def("__len__", [](const PySensor& s) { return s.sensor->ElementCount(); })
        .def("__repr__",
             [](const PySensor& s) {
                 return "<orvane.Sensor \"" + s.sensor->Name() + "\", " +
                        std::to_string(s.sensor->ElementCount()) + " bands>";
             })
        .def(
            "resample",
            [](const PySensor& s, py::handle values) {
                Rows rows(values, "values", 1, 2);
                rows.RequireColumns(kSpectrumBands, "the 1 nm grid from 350 to 2499 nm");
                return ResampleRows(*s.resampling->Synthesis(), rows);
            },
            py::arg("values"), R"doc(Resample spectra onto the sensor's bands.

values: 1-D (one spectrum) or 2-D (one spectrum per row) on the 1 nm grid from 350 to
2499 nm, NaN where a band has no value. Returns float64 of the same number of dimensions with
one value per band, NaN where a band cannot be resampled. Only the wavelengths inside the
bands' responses are read (an infinity there raises ValueError; what lies outside them does not
count). Float64 input in C order is read without a copy; the GIL is released while the threads
run.)doc");

    m.def(
        "sensors",
        [] {
            py::dict out;
            for (const auto& s : Shipped()) out[py::str(s->sensor->Name())] = s;
            return out;
        },
        R"doc(The sensors that come with Orvane, by name (dict of Sensor), as `orvane-db init`
imports them into a new database.)doc");
    m.def(
        "_input_address",
        [](py::handle values) {
            Rows rows(values, "values", 1, 3);
            return reinterpret_cast<std::uintptr_t>(rows.Direct() ? rows.Address() : nullptr);
        },
        py::arg("values"));
}

}  // namespace orvane::python
