// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvane {

// Where a raster's pixels lie: its size, the affine transform from pixel to map coordinates
// (GDAL's order: x origin, x step, row rotation, y origin, column rotation, y step) and its
// coordinate system as WKT (empty when it has none).
struct RasterGrid {
    int width = 0;
    int height = 0;
    bool has_transform = false;
    std::array<double, 6> transform = {0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
    std::string projection;

    // The pixel (column, row) holding the map point (x, y); nothing outside the raster or
    // without a transform that can be inverted.
    std::optional<std::array<int, 2>> PixelOf(double x, double y) const;
    // The area of one pixel in squared map units; 0 without a transform.
    double PixelArea() const;
    // The grid of the pixels [x, x + w) x [y, y + h) of this one.
    RasterGrid Window(int x, int y, int w, int h) const;
};

// Why two grids are not the same, or empty when they are: the same size, the same transform
// (within a millionth of a pixel) and, where both name one, the same coordinate system.
std::string GridDifference(const RasterGrid& a, const RasterGrid& b);

// Metres in one unit of the grid's coordinates where its coordinate system is projected; 0
// where it has none or is geographic (degrees measure no area).
double MetresPerMapUnit(const RasterGrid& grid);

// The first band of a raster read through GDAL, rows at a time, so that a scene of any size
// costs the rows in hand. Opening refuses with GDAL's message and the file's name.
class BandRaster {
  public:
    // `what` names the raster in messages ("Class map", "Reference raster").
    BandRaster(const std::string& path, const std::string& what);
    ~BandRaster();
    BandRaster(const BandRaster&) = delete;
    BandRaster& operator=(const BandRaster&) = delete;

    const std::string& Path() const { return path_; }
    const RasterGrid& Grid() const { return grid_; }
    int BandCount() const { return bands_; }
    // GDAL's name of the data type ("Byte", "UInt16", "Float32").
    std::string DataTypeName() const;
    // Whether the band holds whole numbers (any integer type).
    bool IntegerType() const;
    // The value that marks a pixel without data, where the band declares one.
    std::optional<double> NoData() const;
    // The band's category names (entry i names value i); empty when it has none.
    std::vector<std::string> CategoryNames() const;
    // How many rows one read should take: the band's block height, at least one.
    int RowsPerRead() const;
    // Rows [first, first + count) into `values`, row after row, scale and offset not applied.
    // Throws OrvaneError with GDAL's message when the file cannot give them.
    void ReadRows(int first, int count, std::vector<double>& values) const;

  private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
    std::string path_;
    std::string what_;
    RasterGrid grid_;
    int bands_ = 0;
};

}  // namespace orvane
