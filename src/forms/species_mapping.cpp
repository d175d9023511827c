// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/species_mapping.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "base/frontend.h"
#include "base/orvane_error.h"
#include "chain/chain_definition.h"
#include "chain/processing_session.h"
#include "forms/workspace.h"
#include "imagery/image_sensor.h"
#include "stats/class_models.h"
#include "stats/result_record.h"
#include "stats/spectral_statistics.h"

namespace orvane {

namespace {

// A reflectance image holds values near 0..1; radiance or unscaled integers lie far above.
constexpr float kLargestReflectance = 2.0f;

// The values of a patch at the image's centre, read before the long run so that a warning
// comes first.
void WarnUnlessReflectance(const SpectralImage& image, Frontend& frontend) {
    const int side = 64;
    const ImageWindow patch{std::max(0, image.Width() / 2 - side / 2),
                            std::max(0, image.Height() / 2 - side / 2),
                            std::min(side, image.Width()), std::min(side, image.Height())};
    std::vector<float> values(static_cast<size_t>(patch.Pixels()) * image.UsableBands().size());
    image.ReadWindow(patch, values.data());
    std::vector<float> finite;
    for (float v : values)
        if (std::isfinite(v)) finite.push_back(v);
    if (finite.empty()) return;
    std::sort(finite.begin(), finite.end());
    const float high = finite[finite.size() * 99 / 100];
    if (high <= kLargestReflectance) return;
    frontend.Report(fmt::format(
        "Warning: the image's values reach {} (99th percentile of a central patch; lowest {}): "
        "that looks like radiance or unscaled integers, while the library holds reflectance "
        "near 0 to 1. Check the image's scale factor (GDAL's band scale, or the ENVI header's "
        "\"reflectance scale factor\").",
        high, finite.front()));
}

}  // namespace

MapImageResult MapImage(Workspace& space, Frontend& frontend, const MapImageOptions& options) {
    SpectralStatistics& library = space.Library();
    const ClassModels& models = library.ReadyModels();
    const ChainSpec& chain = library.ChainInUse();
    if (!chain.sensor) throw OrvaneError("The library has no sensor; select one and build it.");

    SpectralImage image(options.image, options.wavelengths_file);
    image.RequireWavelengths();
    Feedback& progress = frontend.Progress();
    image.ScanBands(&progress);
    for (const std::string& note : image.Notes()) frontend.Report(note);
    CheckSensorMatchesImage(*chain.sensor, image);
    WarnUnlessReflectance(image, frontend);

    MapImageResult result;
    result.class_names = ClassNames(library, options.name_type);
    result.counts = MapSpecies(image, library.CompiledInUse(), models, result.class_names,
                               options.request, &progress);
    result.class_path = options.request.class_path;
    const SpeciesMapCounts& counts = result.counts;
    const double area = counts.grid.PixelArea();

    ProvenanceOptions provenance;
    provenance.library_id = library.LibraryId();
    provenance.validation = "";
    ResultJson record;
    record["provenance"] = Provenance(space.Session(), provenance);
    const ImageWindow& m = counts.mapped;
    record["image"] = {{"path", image.Path()},
                       {"driver", image.Driver()},
                       {"width", image.Width()},
                       {"height", image.Height()},
                       {"usable_bands", image.UsableBands().size()},
                       {"notes", image.Notes()}};
    record["map"] = {{"class_raster", options.request.class_path},
                     {"rules_raster", options.request.rules_path.empty()
                                          ? ResultJson()
                                          : ResultJson(options.request.rules_path)},
                     {"rules", RuleMeasureName(RuleMeasureOf(models.Kind()))},
                     {"threshold", options.request.threshold.Text()},
                     {"window", {m.x, m.y, m.width, m.height}},
                     {"tile", {options.request.tile, options.request.tiles}},
                     {"pixel_area", counts.grid.has_transform ? JsonNumber(area) : ResultJson()}};
    ResultJson classes = ResultJson::array();
    for (size_t c = 0; c < counts.pixels.size(); ++c)
        classes.push_back({{"value", c + 1},
                           {"name", result.class_names[c]},
                           {"pixels", counts.pixels[c]},
                           {"area", counts.grid.has_transform
                                        ? JsonNumber(static_cast<double>(counts.pixels[c]) * area)
                                        : ResultJson()}});
    record["classes"] = classes;
    record["unclassified_pixels"] = counts.unclassified;
    record["no_data_pixels"] = counts.no_data;
    record["masked_pixels"] = counts.masked;
    result.json_path = WriteJsonBeside(options.request.class_path, record, frontend);

    result.areas = MapAreaTable(result);
    std::string text = "Species map of " + image.Path() + " written to file:\n" +
                       options.request.class_path + "\n";
    if (!options.request.rules_path.empty())
        text += "Rules (" + std::string(RuleMeasureName(RuleMeasureOf(models.Kind()))) +
                "): " + options.request.rules_path + "\n";
    for (size_t r = 0; r < result.areas.rows.size(); ++r)
        text += fmt::format("  {}: {} pixels\n", result.areas.rows[r], result.areas.cells[r][0]);
    frontend.Report(text);
    return result;
}

ResultTable MapAreaTable(const MapImageResult& result) {
    const SpeciesMapCounts& counts = result.counts;
    const bool georeferenced = counts.grid.has_transform;
    const double area = counts.grid.PixelArea();
    ResultTable t;
    t.title = "Map Areas";
    t.corner = "Class";
    t.columns = {"Pixels", "Share of mapped (%)"};
    if (georeferenced) t.columns.push_back("Area (map units²)");
    long long mapped = counts.unclassified;
    for (long long n : counts.pixels) mapped += n;
    auto add = [&](const std::string& name, long long n) {
        t.rows.push_back(name);
        std::vector<std::string> row = {std::to_string(n),
                                        mapped > 0 ? fmt::format("{:.2f}", 100.0 * n / mapped) : ""};
        if (georeferenced) row.push_back(fmt::format("{:.6g}", static_cast<double>(n) * area));
        t.cells.push_back(row);
    };
    for (size_t c = 0; c < counts.pixels.size(); ++c) add(result.class_names[c], counts.pixels[c]);
    add("Unclassified", counts.unclassified);
    t.notes = {{"No data (pixels)", std::to_string(counts.no_data)},
               {"Masked (pixels)", std::to_string(counts.masked)}};
    return t;
}

}  // namespace orvane
