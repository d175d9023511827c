// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/raster_file.h"

#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <ogr_spatialref.h>

namespace orvane::test {

void WriteRaster(const std::string& path, GDALDataType type, int width, int height,
                 const std::vector<double>& values, double x0,
                 const std::vector<std::string>& categories) {
    GDALAllRegister();
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GTiff");
    ASSERT_NE(driver, nullptr);
    GDALDataset* ds = driver->Create(path.c_str(), width, height, 1, type, nullptr);
    ASSERT_NE(ds, nullptr) << path;
    double transform[6] = {x0, 30.0, 0.0, 5800000.0, 0.0, -30.0};
    ds->SetGeoTransform(transform);
    OGRSpatialReference utm;
    utm.importFromEPSG(32633);
    char* wkt = nullptr;
    utm.exportToWkt(&wkt);
    ds->SetProjection(wkt);
    CPLFree(wkt);
    GDALRasterBand* band = ds->GetRasterBand(1);
    std::vector<double> copy = values;
    EXPECT_EQ(band->RasterIO(GF_Write, 0, 0, width, height, copy.data(), width, height, GDT_Float64,
                             0, 0),
              CE_None);
    if (!categories.empty()) {
        CPLStringList list;
        for (const std::string& c : categories) list.AddString(c.c_str());
        band->SetCategoryNames(list.List());
    }
    GDALClose(ds);
}

}  // namespace orvane::test
