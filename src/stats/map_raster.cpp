// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/map_raster.h"

#include <cpl_error.h>
#include <cpl_vsi.h>
#include <fmt/format.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <cmath>
#include <mutex>

#include "base/orvane_error.h"
#include "stats/gdal_session.h"

namespace orvane {

namespace {

OGRSpatialReference ReferenceOf(const std::string& wkt) {
    OGRSpatialReference srs;
    if (!wkt.empty()) srs.importFromWkt(wkt.c_str());
    return srs;
}

}  // namespace

RasterGrid RasterGrid::Window(int x, int y, int w, int h) const {
    RasterGrid g = *this;
    g.width = w;
    g.height = h;
    const std::array<double, 6>& t = transform;
    g.transform[0] = t[0] + x * t[1] + y * t[2];
    g.transform[3] = t[3] + x * t[4] + y * t[5];
    return g;
}

std::optional<std::array<int, 2>> RasterGrid::PixelOf(double x, double y) const {
    if (!has_transform) return std::nullopt;
    const std::array<double, 6>& t = transform;
    const double det = t[1] * t[5] - t[2] * t[4];
    if (det == 0.0 || !std::isfinite(det)) return std::nullopt;
    const double dx = x - t[0];
    const double dy = y - t[3];
    const double column = (t[5] * dx - t[2] * dy) / det;
    const double row = (-t[4] * dx + t[1] * dy) / det;
    if (!(column >= 0.0 && column < width && row >= 0.0 && row < height)) return std::nullopt;
    return std::array<int, 2>{static_cast<int>(std::floor(column)),
                              static_cast<int>(std::floor(row))};
}

double RasterGrid::PixelArea() const {
    if (!has_transform) return 0.0;
    return std::fabs(transform[1] * transform[5] - transform[2] * transform[4]);
}

std::string GridDifference(const RasterGrid& a, const RasterGrid& b) {
    if (a.width != b.width || a.height != b.height)
        return fmt::format("{} x {} pixels against {} x {}", a.width, a.height, b.width, b.height);
    if (a.has_transform != b.has_transform)
        return "one has a georeferencing transform and the other none";
    if (a.has_transform) {
        // A millionth of a pixel: the same grid written by two programs may differ in the last
        // digits of its origin, never by that much.
        const double step = std::max(std::fabs(a.transform[1]) + std::fabs(a.transform[2]),
                                     std::fabs(a.transform[4]) + std::fabs(a.transform[5]));
        for (size_t i = 0; i < 6; ++i)
            if (std::fabs(a.transform[i] - b.transform[i]) > 1e-6 * step)
                return fmt::format(
                    "origin {:.10g}, {:.10g} and pixel {:.10g} x {:.10g} against "
                    "origin {:.10g}, {:.10g} and pixel {:.10g} x {:.10g}",
                    a.transform[0], a.transform[3], a.transform[1], a.transform[5], b.transform[0],
                    b.transform[3], b.transform[1], b.transform[5]);
    }
    if (!a.projection.empty() && !b.projection.empty()) {
        const OGRSpatialReference sa = ReferenceOf(a.projection);
        const OGRSpatialReference sb = ReferenceOf(b.projection);
        if (!sa.IsSame(&sb)) {
            const char* na = sa.GetName();
            const char* nb = sb.GetName();
            return fmt::format("coordinate system \"{}\" against \"{}\"", na ? na : "unnamed",
                               nb ? nb : "unnamed");
        }
    }
    return "";
}

double MetresPerMapUnit(const RasterGrid& grid) {
    if (grid.projection.empty()) return 0.0;
    const OGRSpatialReference srs = ReferenceOf(grid.projection);
    if (!srs.IsProjected()) return 0.0;
    const double metres = srs.GetLinearUnits();
    return std::isfinite(metres) && metres > 0.0 ? metres : 0.0;
}

struct BandRaster::Handle {
    GDALDatasetUniquePtr dataset;
    GDALRasterBand* band = nullptr;
};

BandRaster::BandRaster(const std::string& path, const std::string& what)
    : handle_(std::make_unique<Handle>()), path_(path), what_(what) {
    GdalSession gdal;
    VSIStatBufL status;
    if (VSIStatL(path.c_str(), &status) != 0)
        throw OrvaneError(what + " " + path + " cannot be read: there is no such file.");
    handle_->dataset.reset(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
    if (!handle_->dataset)
        throw OrvaneError(what + " " + path + " cannot be read: " +
                          gdal.Reason("it is in no raster format GDAL knows") + ".");
    GDALDataset& ds = *handle_->dataset;
    bands_ = ds.GetRasterCount();
    if (bands_ < 1) throw OrvaneError(what + " " + path + " holds no raster band.");
    handle_->band = ds.GetRasterBand(1);
    grid_.width = ds.GetRasterXSize();
    grid_.height = ds.GetRasterYSize();
    double t[6];
    grid_.has_transform = ds.GetGeoTransform(t) == CE_None;
    if (grid_.has_transform)
        for (size_t i = 0; i < 6; ++i) grid_.transform[i] = t[i];
    const char* wkt = ds.GetProjectionRef();
    grid_.projection = wkt ? wkt : "";
}

BandRaster::~BandRaster() = default;

std::string BandRaster::DataTypeName() const {
    return GDALGetDataTypeName(handle_->band->GetRasterDataType());
}

bool BandRaster::IntegerType() const {
    const GDALDataType type = handle_->band->GetRasterDataType();
    return GDALDataTypeIsInteger(type) && !GDALDataTypeIsComplex(type);
}

std::optional<double> BandRaster::NoData() const {
    int has = 0;
    const double value = handle_->band->GetNoDataValue(&has);
    if (!has) return std::nullopt;
    return value;
}

std::vector<std::string> BandRaster::CategoryNames() const {
    std::vector<std::string> names;
    if (char** list = handle_->band->GetCategoryNames())
        for (char** p = list; *p; ++p) names.emplace_back(*p);
    return names;
}

int BandRaster::RowsPerRead() const {
    int block_x = 0;
    int block_y = 0;
    handle_->band->GetBlockSize(&block_x, &block_y);
    // A striped file's strip is one row; reading a few dozen at once costs little memory.
    return std::max(block_y, std::min(64, grid_.height));
}

void BandRaster::ReadRows(int first, int count, std::vector<double>& values) const {
    values.resize(static_cast<size_t>(grid_.width) * static_cast<size_t>(count));
    GdalSession gdal;
    if (handle_->band->RasterIO(GF_Read, 0, first, grid_.width, count, values.data(), grid_.width,
                                count, GDT_Float64, 0, 0) != CE_None)
        throw OrvaneError(fmt::format("{} {} could not be read at rows {} to {}: {}.", what_, path_,
                                      first + 1, first + count, gdal.Reason()));
}

}  // namespace orvane
