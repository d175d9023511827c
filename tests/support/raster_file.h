// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gdal.h>

#include <string>
#include <vector>

namespace orvane::test {

// Writes a one-band GeoTIFF of `values` (row after row) at `path`: origin (x0, 5800000), 30 m
// pixels, WGS 84 / UTM 33N, and the band's category names when given. Fails the test when
// GDAL cannot write it.
void WriteRaster(const std::string& path, GDALDataType type, int width, int height,
                 const std::vector<double>& values, double x0 = 500000.0,
                 const std::vector<std::string>& categories = {});

}  // namespace orvane::test
