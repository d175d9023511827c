// SPDX-License-Identifier: GPL-3.0-or-later
// Species maps of hyperspectral and multispectral images.
#include <ostream>

#include "base/number_text.h"
#include "base/shown_text.h"
#include "cli/cli_context.h"
#include "forms/species_mapping.h"

namespace orvane {

namespace {

// "X,Y,W,H": whole numbers, the corner at or above 0 and the size above 0.
ImageWindow WindowOption(const std::string& text) {
    std::vector<int> parts;
    size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        const size_t comma = text.find(',', start);
        if ((i < 3) == (comma == std::string::npos))
            throw UsageError("--window takes X,Y,W,H (four whole numbers); got \"" +
                             EscapeControls(text) + "\".");
        const std::string part = text.substr(start, comma - start);
        try {
            parts.push_back(ParseInt(part, i < 2 ? 0 : 1, 10000000, "--window"));
        } catch (const OrvaneError& e) {
            throw UsageError(e.what());
        }
        start = comma + 1;
    }
    return {parts[0], parts[1], parts[2], parts[3]};
}

// "I/N" with 1 <= I <= N.
std::pair<int, int> TileOption(const std::string& text) {
    const size_t slash = text.find('/');
    try {
        if (slash == std::string::npos) throw OrvaneError("");
        const int n = ParseInt(text.substr(slash + 1), 1, 100000, "--tile");
        const int i = ParseInt(text.substr(0, slash), 1, n, "--tile");
        return {i, n};
    } catch (const OrvaneError&) {
        throw UsageError("--tile takes I/N, this process's band I of N (1 <= I <= N); got \"" +
                         EscapeControls(text) + "\".");
    }
}

int CmdMap(Context& ctx) {
    const Args& a = ctx.args;
    if (!a.Has("image") || !a.Has("out")) throw UsageError("map needs --image IMAGE and --out CLASSES.tif");
    MapImageOptions options;
    options.image = a.Get("image");
    options.wavelengths_file = a.Get("wavelengths");
    options.request.class_path = a.Get("out");
    options.request.rules_path = a.Get("rules");
    options.request.mask_path = a.Get("mask");
    if (a.Has("threshold")) try {
            options.request.threshold = MapThreshold::Parse(a.Get("threshold"));
        } catch (const OrvaneError& e) {
            throw UsageError(std::string("--threshold: ") + e.what());
        }
    if (a.Has("window")) options.request.window = WindowOption(a.Get("window"));
    if (a.Has("tile"))
        std::tie(options.request.tile, options.request.tiles) = TileOption(a.Get("tile"));
    options.name_type = NameTypeOption(a);
    if (options.request.rules_path == options.request.class_path)
        throw UsageError("--rules must name another file than --out.");
    ApplyChainArgs(ctx);
    ctx.workspace->LoadLibrary();
    const MapImageResult result = MapImage(*ctx.workspace, ctx.frontend, options);
    // The paths last, one a line, for scripts.
    ctx.out << EscapeControls(options.request.class_path) << '\n';
    if (!options.request.rules_path.empty())
        ctx.out << EscapeControls(options.request.rules_path) << '\n';
    if (!result.json_path.empty()) ctx.out << EscapeControls(result.json_path) << '\n';
    return 0;
}

}  // namespace

std::vector<Command> MapCommands() {
    return {
        {"map",
         "map --image IMAGE --out CLASSES.tif [--rules RULES.tif] "
         "[--threshold chi2:P|prob:P|angle:RAD] [--mask MASK.tif] [--window X,Y,W,H] "
         "[--tile I/N] [--wavelengths FILE] [--names " + kNameTypes.Words() + "]",
         "Classify every pixel of an image (ENVI, GeoTIFF or any raster GDAL reads) with the "
         "library of the current study, sensor, chain, feature space and classifier; the "
         "library's sensor must be the image's usable bands (sensor import --from-image makes "
         "it). A pixel with a value in every usable band runs through the chain from the "
         "sensor stage on, as a library spectrum does. Writes CLASSES.tif (UInt8, 0 = "
         "unclassified or no data, a colour and a name per class, the image's "
         "georeferencing), with --rules a Float32 band per class (posterior probability for "
         "Mahalanobis, Mahalanobis (shrunk) and Gen. Squared Dist, the angle for SAM, the "
         "value otherwise), and CLASSES.json (provenance, pixels and area per class); prints "
         "their paths. --threshold leaves a pixel unclassified beyond the chi-square quantile "
         "P of its squared distance, below the posterior P, or beyond the angle RAD. --mask: "
         "pixels where MASK is 0 or nodata stay unmapped. --window maps part of the image; "
         "--tile I/N maps band I of N equal bands of its rows, for N processes whose tiles "
         "gdalbuildvrt joins. Nothing is written under the final names unless the whole map "
         "is.",
         CmdMap},
    };
}

}  // namespace orvane
