// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "imagery/map_rasters.h"
#include "imagery/pixel_rule.h"
#include "imagery/spectral_image.h"

namespace orvane {

class ClassModels;
class CompiledChain;
class Feedback;

// What to map of an image and where to write it.
struct SpeciesMapRequest {
    std::string class_path;  // the class raster
    std::string rules_path;  // the rules raster; empty for none
    std::string mask_path;   // a raster of the image's size: 0 or nodata leaves a pixel unmapped
    MapThreshold threshold;
    std::optional<ImageWindow> window;  // the whole image when unset
    int tile = 1;  // this process maps band `tile` of `tiles` equal bands of the window's rows
    int tiles = 1;
};

// What a map holds.
struct SpeciesMapCounts {
    ImageWindow mapped;  // the part of the image the map covers
    RasterGrid grid;     // its grid
    std::vector<long long> pixels;  // per class
    long long unclassified = 0;     // left so by the threshold
    long long no_data = 0;          // a usable band or a feature without value
    long long masked = 0;
};

// The rows of `window` that tile `tile` of `tiles` maps: band i holds rows
// [h (i - 1) / N, h i / N) of it. Throws OrvaneError for a tile outside 1..N or an empty band.
ImageWindow TileOf(const ImageWindow& window, int tile, int tiles);

// Maps `image` (scanned: UsableBands() final) pixel by pixel: a pixel with a value in every
// usable band runs through `chain` from the sensor stage on (derivative, features), and its
// features are classified by `models` under the threshold; the class raster (and the rules)
// go to the request's paths under their final names only when the whole map is written. The
// image's usable bands must be the sensor's elements in order (CheckSensorMatchesImage).
// Windows are read and classified on all workers, each with a chain of its own, and written in
// order. `feedback` gets the progress and may cancel (throws Cancelled; nothing is left under
// the final names).
SpeciesMapCounts MapSpecies(const SpectralImage& image,
                            const std::shared_ptr<const CompiledChain>& chain,
                            const ClassModels& models, const std::vector<std::string>& class_names,
                            const SpeciesMapRequest& request, Feedback* feedback = nullptr);

}  // namespace orvane
