// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "forms/result_tables.h"
#include "imagery/species_map.h"

namespace orvane {

class Frontend;
class Workspace;

// What both faces ask of a map: the image (and a file of its wavelengths), the outputs, the
// threshold, window and tile, and the names that label the classes.
struct MapImageOptions {
    std::string image;
    std::string wavelengths_file;
    SpeciesMapRequest request;
    int name_type = 3;  // kFolderName
};

struct MapImageResult {
    SpeciesMapCounts counts;
    std::string class_path;
    std::string json_path;
    std::vector<std::string> class_names;
    ResultTable areas;  // pixels and area per class, unclassified, no data
};

// Maps the image with the workspace's loaded library (Ready) and its chain: opens and scans
// the image, checks that the library's sensor is the image's usable bands, warns when the
// image's values do not look like reflectance, maps, and writes the JSON record beside the
// class raster (provenance, image, threshold, pixels and area per class). Reports through
// `frontend`, whose progress it steps and whose cancel it obeys.
MapImageResult MapImage(Workspace& space, Frontend& frontend, const MapImageOptions& options);

// The class areas of a map as the window's result table.
ResultTable MapAreaTable(const MapImageResult& result);

}  // namespace orvane
