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
    const std::string warning = ReflectanceWarning(image);
    if (!warning.empty()) frontend.Report("Warning: " + warning);

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
