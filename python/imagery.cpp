// SPDX-License-Identifier: GPL-3.0-or-later
// Species maps of images through a library fitted in Python, written by the core's mapping.
#include <pybind11/stl.h>

#include <string>
#include <vector>

#include "arrays.h"
#include "base/orvane_error.h"
#include "bindings.h"
#include "chain/compiled_chain.h"
#include "imagery/image_sensor.h"
#include "imagery/species_map.h"
#include "imagery/spectral_image.h"
#include "spectra/sensor.h"
#include "statistics.h"

namespace orvane::python {

namespace {

py::dict MapImage(const PyModels& library, const std::vector<std::string>& class_names,
                  py::handle image_argument, py::handle out, py::handle rules,
                  const std::string& threshold, py::handle mask, py::handle wavelengths) {
    if (!library.chain || !library.chain->SensorOf())
        Refuse("library", "a library fitted with a chain that has a sensor is needed "
                          "(Library.fit(..., chain=Chain(sensor=..., feature_space=...)))");
    const std::string path = PathArgument(image_argument, "image");
    SpeciesMapRequest request;
    request.class_path = PathArgument(out, "out");
    if (!rules.is_none()) request.rules_path = PathArgument(rules, "rules");
    if (!mask.is_none()) request.mask_path = PathArgument(mask, "mask");
    const std::string wavelengths_file =
        wavelengths.is_none() ? std::string() : PathArgument(wavelengths, "wavelengths");
    try {
        request.threshold = MapThreshold::Parse(threshold);
        PixelRule check(*library.models, request.threshold);
    } catch (const OrvaneError& e) {
        Refuse("threshold", e.what());
    }
    SpeciesMapCounts counts;
    std::vector<std::string> notes;
    std::string warning;
    {
        py::gil_scoped_release release;
        SpectralImage image(path, wavelengths_file);
        image.RequireWavelengths();
        image.ScanBands();
        notes = image.Notes();
        CheckSensorMatchesImage(*library.chain->SensorOf(), image);
        warning = ReflectanceWarning(image);
        counts = MapSpecies(image, library.chain, *library.models, class_names, request);
    }
    py::dict result;
    result["class_raster"] = request.class_path;
    result["rules_raster"] = request.rules_path.empty() ? py::object(py::none())
                                                        : py::object(py::str(request.rules_path));
    result["pixels"] = counts.pixels;
    result["unclassified"] = counts.unclassified;
    result["no_data"] = counts.no_data;
    result["masked"] = counts.masked;
    result["pixel_area"] = counts.grid.has_transform ? py::object(py::float_(counts.grid.PixelArea()))
                                                     : py::object(py::none());
    result["notes"] = notes;
    result["warning"] = warning;
    return result;
}

}  // namespace

void BindImagery(py::module_& m) {
    m.def("_map_image", &MapImage, py::arg("library"), py::arg("class_names"), py::arg("image"),
          py::arg("out"), py::arg("rules"), py::arg("threshold"), py::arg("mask"),
          py::arg("wavelengths"));
}

}  // namespace orvane::python
