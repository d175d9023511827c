// SPDX-License-Identifier: GPL-3.0-or-later
#include "imagery/species_map.h"

#include <algorithm>
#include <cmath>
#include <future>
#include <limits>

#include "base/feedback.h"
#include "base/orvane_error.h"
#include "base/parallel.h"
#include "chain/processing_chain.h"
#include "stats/class_models.h"

namespace orvane {

namespace {

// About this many megabytes of a window's values are read at once per worker.
constexpr double kWindowMegabytes = 16.0;
// A batch gives each worker up to this many windows, within about this many megabytes of
// classes and rules (a window's values are let go once it is mapped).
constexpr size_t kWindowsPerWorker = 4;
constexpr double kBatchResultMegabytes = 32.0;

// One window's result, as the writers take it.
struct WindowResult {
    ImageWindow window;
    std::vector<uint16_t> classes;
    std::vector<float> rules;
    std::vector<long long> pixels;
    long long unclassified = 0, no_data = 0, masked = 0;
};

void MapWindow(const SpectralImage& image, const SpectralImage* mask, Chain& chain,
               const PixelRule& rule, bool rules_wanted, std::vector<float>& values,
               WindowResult& r) {
    const int bands = static_cast<int>(image.UsableBands().size());
    const long long n = r.window.Pixels();
    const int k = rule.ClassCount();
    values.resize(static_cast<size_t>(n * bands));
    image.ReadWindow(r.window, values.data());
    std::vector<float> masking;
    if (mask) {
        masking.resize(static_cast<size_t>(n));
        mask->ReadWindow(r.window, {1}, masking.data());
    }
    r.classes.assign(static_cast<size_t>(n), 0);
    if (rules_wanted) r.rules.assign(static_cast<size_t>(n * k), std::nanf(""));
    r.pixels.assign(static_cast<size_t>(k), 0);
    std::vector<double> pixel(static_cast<size_t>(bands));
    std::vector<double> scratch(static_cast<size_t>(k));
    for (long long p = 0; p < n; ++p) {
        if (mask && !(masking[static_cast<size_t>(p)] != 0.0f)) {  // 0 or NaN
            ++r.masked;
            continue;
        }
        const float* v = values.data() + p * bands;
        bool complete = true;
        for (int b = 0; b < bands; ++b) {
            if (std::isnan(v[b])) {
                complete = false;
                break;
            }
            pixel[static_cast<size_t>(b)] = v[b];
        }
        if (!complete) {
            ++r.no_data;
            continue;
        }
        const Matrix& features = chain.FeaturesFromSensorBands(pixel.data(), bands);
        const double* x = features.Store();
        bool finite = true;
        for (int i = 0; i < features.Nrows(); ++i) finite = finite && std::isfinite(x[i]);
        if (!finite) {
            ++r.no_data;
            continue;
        }
        float* rules = rules_wanted ? r.rules.data() + p * k : nullptr;
        const int number = rule.Decide(x, scratch.data(), rules);
        r.classes[static_cast<size_t>(p)] = static_cast<uint16_t>(number);
        if (number == 0)
            ++r.unclassified;
        else
            ++r.pixels[static_cast<size_t>(number - 1)];
    }
}

}  // namespace

ImageWindow TileOf(const ImageWindow& window, int tile, int tiles) {
    if (tiles < 1 || tile < 1 || tile > tiles)
        throw OrvaneError("--tile " + std::to_string(tile) + "/" + std::to_string(tiles) +
                          ": I must lie between 1 and N.");
    const long long h = window.height;
    const int first = static_cast<int>(h * (tile - 1) / tiles);
    const int last = static_cast<int>(h * tile / tiles);
    if (last <= first)
        throw OrvaneError("Tile " + std::to_string(tile) + "/" + std::to_string(tiles) +
                          " holds no row: the window has only " + std::to_string(h) + " rows.");
    return {window.x, window.y + first, window.width, last - first};
}

SpeciesMapCounts MapSpecies(const SpectralImage& image,
                            const std::shared_ptr<const CompiledChain>& chain,
                            const ClassModels& models, const std::vector<std::string>& class_names,
                            const SpeciesMapRequest& request, Feedback* feedback) {
    const ImageWindow whole{0, 0, image.Width(), image.Height()};
    const ImageWindow asked = request.window.value_or(whole);
    if (asked.width <= 0 || asked.height <= 0)
        throw OrvaneError("The window to map is empty (" + std::to_string(asked.width) + " x " +
                          std::to_string(asked.height) + " pixels).");
    if (asked.x < 0 || asked.y < 0 || asked.x + asked.width > image.Width() ||
        asked.y + asked.height > image.Height())
        throw OrvaneError("The window " + std::to_string(asked.x) + "," + std::to_string(asked.y) +
                          "," + std::to_string(asked.width) + "," + std::to_string(asked.height) +
                          " reaches outside the image of " + std::to_string(image.Width()) +
                          " x " + std::to_string(image.Height()) + " pixels.");
    const ImageWindow region = TileOf(asked, request.tile, request.tiles);
    std::unique_ptr<SpectralImage> mask;
    if (!request.mask_path.empty()) {
        mask = std::make_unique<SpectralImage>(request.mask_path);
        if (mask->Width() != image.Width() || mask->Height() != image.Height())
            throw OrvaneError("The mask " + request.mask_path + " has " +
                              std::to_string(mask->Width()) + " x " +
                              std::to_string(mask->Height()) + " pixels; the image has " +
                              std::to_string(image.Width()) + " x " +
                              std::to_string(image.Height()) + ".");
    }
    const PixelRule rule(models, request.threshold);

    SpeciesMapCounts counts;
    counts.mapped = region;
    RasterGrid grid;
    grid.width = image.Width();
    grid.height = image.Height();
    grid.has_transform = image.HasGeoTransform();
    grid.transform = image.GeoTransform();
    grid.projection = image.Projection();
    counts.grid = grid.Window(region.x, region.y, region.width, region.height);
    counts.pixels.assign(class_names.size(), 0);

    MapRasters rasters(request.class_path, request.rules_path, counts.grid, class_names,
                       RuleMeasureName(rule.Measure()));
    const std::vector<ImageWindow> windows = image.BlockWindows(kWindowMegabytes, &region);
    ChainTeam team(chain);
    const size_t workers = static_cast<size_t>(std::max(1, WorkerCount()));
    team.Prepare(static_cast<int>(workers));
    // Each worker reads its windows into one buffer of its own, rather than a new one each.
    std::vector<std::vector<float>> buffers(workers);
    long long largest = 1;
    for (const ImageWindow& w : windows) largest = std::max(largest, w.Pixels());
    const double result_bytes =
        static_cast<double>(largest) *
        (sizeof(uint16_t) + (rasters.HasRules() ? 4.0 * rule.ClassCount() : 0.0));
    const size_t batch =
        std::clamp(static_cast<size_t>(kBatchResultMegabytes * 1048576.0 / result_bytes), workers,
                   workers * kWindowsPerWorker);
    long long done = 0;
    // Writes a batch's results (in window order, on a thread of its own: GDAL compresses the
    // tiles there while the workers map the next batch).
    auto write = [&](const std::vector<WindowResult>& results) {
        for (const WindowResult& r : results) {
            const ImageWindow& w = r.window;
            rasters.WriteClasses(w.x - region.x, w.y - region.y, w.width, w.height,
                                 r.classes.data());
            if (rasters.HasRules())
                rasters.WriteRules(w.x - region.x, w.y - region.y, w.width, w.height,
                                   r.rules.data());
            for (size_t c = 0; c < r.pixels.size(); ++c) counts.pixels[c] += r.pixels[c];
            counts.unclassified += r.unclassified;
            counts.no_data += r.no_data;
            counts.masked += r.masked;
            done += w.Pixels();
        }
    };
    // The previous batch's writing; waited for (and its error rethrown) before the next one
    // starts, and by its destructor when mapping fails, so that nothing outlives `rasters`.
    std::future<void> writing;
    auto finish_writing = [&] {
        if (!writing.valid()) return;
        writing.get();
        if (feedback) feedback->Step(done, region.Pixels());
    };
    for (size_t first = 0; first < windows.size(); first += batch) {
        if (feedback) feedback->ThrowIfCancelled();
        const size_t count = std::min(batch, windows.size() - first);
        std::vector<WindowResult> results(count);
        for (size_t i = 0; i < count; ++i) results[i].window = windows[first + i];
        ParallelFor(count, [&](size_t i, int worker) {
            MapWindow(image, mask.get(), team.For(worker), rule, rasters.HasRules(),
                      buffers[static_cast<size_t>(worker)], results[i]);
        });
        finish_writing();
        writing = std::async(
            std::launch::async, [&write](std::vector<WindowResult> r) { write(r); },
            std::move(results));
    }
    finish_writing();
    if (feedback) feedback->ThrowIfCancelled();
    rasters.Commit();
    return counts;
}

}  // namespace orvane
