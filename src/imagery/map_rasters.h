// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "stats/map_raster.h"

namespace orvane {

// One colour per class of a map, distinct from each other and from the black of class 0:
// the plots' ten colours first, then hues spread by the golden angle.
std::vector<std::array<uint8_t, 3>> ClassColours(int count);

// The class raster and the optional rules raster of a map, written under temporary names in
// their folders and renamed to their final names only by Commit(), so that a failed,
// cancelled or killed run leaves an earlier map as it was. Class raster: one band, UInt8
// (UInt16 beyond 254 classes), 0 for unclassified or no data, a colour table and category
// names ("unclassified", then the classes). Rules raster: Float32, a band a class described by
// its name, NaN (its nodata) where the map had no data. Both tiled GeoTIFF with DEFLATE, on
// the grid given. Throws OrvaneError naming the file on any failure of GDAL (an unwritable
// folder, a full disk).
class MapRasters {
  public:
    static constexpr int kTile = 256;

    MapRasters(const std::string& class_path, const std::string& rules_path,
               const RasterGrid& grid, const std::vector<std::string>& class_names,
               const std::string& rules_description);
    ~MapRasters();
    MapRasters(const MapRasters&) = delete;
    MapRasters& operator=(const MapRasters&) = delete;

    bool HasRules() const { return rules_ != nullptr; }
    // Pixels [x, x + w) x [y, y + h) of the grid, row by row; rules pixel by pixel, a value
    // a class.
    void WriteClasses(int x, int y, int w, int h, const uint16_t* classes);
    void WriteRules(int x, int y, int w, int h, const float* rules);
    // Closes both files and gives them their final names.
    void Commit();

  private:
    void Discard();
    // Counts the pixels written into `dataset` and writes out (and lets go of) each row of
    // tiles once all its pixels are in, so that the blocks GDAL holds do not grow with the map.
    void Written(void* dataset, std::vector<long long>& missing, const std::string& path, int y,
                 int w, int h);

    std::string class_path_, rules_path_;
    std::string class_temp_, rules_temp_;
    int classes_ = 0;
    int width_ = 0;
    void* class_ = nullptr;  // GDALDatasetH
    void* rules_ = nullptr;
    // Per row of tiles, the pixels not written yet.
    std::vector<long long> class_missing_, rules_missing_;
};

// A class raster read back for display: its values at most `max_side` pixels a side (every
// n-th pixel of a larger one), the colour of every value (RGBA) and the category names.
struct ClassRasterPicture {
    int width = 0;   // of the raster on disk
    int height = 0;
    int shown_width = 0;  // of `values`
    int shown_height = 0;
    std::vector<uint16_t> values;
    std::vector<std::array<uint8_t, 4>> colours;  // by value
    std::vector<std::string> names;               // by value
};
// Throws OrvaneError naming the file when GDAL cannot read it.
ClassRasterPicture ReadClassRaster(const std::string& path, int max_side);

}  // namespace orvane
