// SPDX-License-Identifier: GPL-3.0-or-later
#include "imagery/map_rasters.h"

#include <gdal.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "stats/gdal_session.h"
#include "support/scratch_database.h"

namespace orvane {
namespace {

constexpr int kWidth = 600;   // three tiles across, the last one partly outside
constexpr int kHeight = 700;  // three rows of tiles, the last one partly outside
constexpr int kClasses = 3;
// What GDAL holds of one row of tiles of both rasters: a class byte and three rule floats.
constexpr long long kTileRowBytes =
    3LL * MapRasters::kTile * MapRasters::kTile * (1 + 4 * kClasses);

uint16_t ClassAt(int x, int y) { return static_cast<uint16_t>((7 * x + 3 * y) % (kClasses + 1)); }
float RuleAt(int x, int y, int c) { return 0.001f * static_cast<float>(x + 2 * y) + c; }

void Write(MapRasters& rasters, int x, int y, int w, int h) {
    std::vector<uint16_t> classes;
    std::vector<float> rules;
    for (int row = y; row < y + h; ++row)
        for (int col = x; col < x + w; ++col) {
            classes.push_back(ClassAt(col, row));
            for (int c = 0; c < kClasses; ++c) rules.push_back(RuleAt(col, row, c));
        }
    rasters.WriteClasses(x, y, w, h, classes.data());
    rasters.WriteRules(x, y, w, h, rules.data());
}

std::vector<float> Band(const std::string& path, int band) {
    GdalSession gdal;
    GDALDatasetH ds = GDALOpen(path.c_str(), GA_ReadOnly);
    if (!ds) return {};
    std::vector<float> values(static_cast<size_t>(kWidth) * kHeight);
    if (GDALRasterIO(GDALGetRasterBand(ds, band), GF_Read, 0, 0, kWidth, kHeight, values.data(),
                     kWidth, kHeight, GDT_Float32, 0, 0) != CE_None)
        values.clear();
    GDALClose(ds);
    return values;
}

// A map written in bands of 37 rows, each band right half first, so that rows of tiles fill
// in pieces: a complete row of tiles leaves GDAL's cache at once, and every value is there.
TEST(MapRasters, CompleteRowsOfTilesLeaveTheCacheAndEveryValueIsWritten) {
    test::TempDir dir;
    RasterGrid grid;
    grid.width = kWidth;
    grid.height = kHeight;
    const std::vector<std::string> names = {"a", "b", "c"};
    const long long cached_before = GDALGetCacheUsed64();
    long long most_cached_after_two_rows = 0;
    {
        MapRasters rasters(dir.File("map.tif"), dir.File("rules.tif"), grid, names, "test");
        for (int y = 0; y < kHeight; y += 37) {
            const int h = std::min(37, kHeight - y);
            Write(rasters, 250, y, kWidth - 250, h);
            Write(rasters, 0, y, 250, h);
            if (y >= 2 * MapRasters::kTile)
                most_cached_after_two_rows =
                    std::max(most_cached_after_two_rows, GDALGetCacheUsed64() - cached_before);
        }
        rasters.Commit();
    }
    // Only the third row of tiles is held; the blocks of finished rows went to the file.
    EXPECT_GT(most_cached_after_two_rows, 0);
    EXPECT_LT(most_cached_after_two_rows, kTileRowBytes * 3 / 2);
    const std::vector<float> classes = Band(dir.File("map.tif"), 1);
    ASSERT_EQ(classes.size(), static_cast<size_t>(kWidth) * kHeight);
    std::vector<std::vector<float>> rules;
    for (int c = 0; c < kClasses; ++c) rules.push_back(Band(dir.File("rules.tif"), c + 1));
    int wrong = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const size_t i = static_cast<size_t>(y) * kWidth + x;
            wrong += classes[i] != ClassAt(x, y);
            for (int c = 0; c < kClasses; ++c) wrong += rules[c][i] != RuleAt(x, y, c);
        }
    EXPECT_EQ(wrong, 0);
}

}  // namespace
}  // namespace orvane
