// SPDX-License-Identifier: GPL-3.0-or-later
#include "imagery/map_rasters.h"

#include <gdal.h>
#include <gdal_priv.h>
#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <limits>

#include "base/orvane_error.h"
#include "stats/gdal_session.h"

namespace orvane {

std::vector<std::array<uint8_t, 3>> ClassColours(int count) {
    static const uint8_t kFirst[][3] = {{0x1f, 0x77, 0xb4}, {0xd6, 0x27, 0x28}, {0x2c, 0xa0, 0x2c},
                                        {0xff, 0x7f, 0x0e}, {0x94, 0x67, 0xbd}, {0x8c, 0x56, 0x4b},
                                        {0xe3, 0x77, 0xc2}, {0x7f, 0x7f, 0x7f}, {0xbc, 0xbd, 0x22},
                                        {0x17, 0xbe, 0xcf}};
    std::vector<std::array<uint8_t, 3>> colours;
    for (int i = 0; i < count; ++i) {
        std::array<uint8_t, 3> c;
        if (i < 10) {
            c = {kFirst[i][0], kFirst[i][1], kFirst[i][2]};
        } else {
            // Hue by the golden angle, three levels of saturation and value in turn.
            const double h = std::fmod(i * 137.50776405, 360.0) / 60.0;
            const double s = 0.45 + 0.2 * (i % 3);
            const double v = 0.95 - 0.15 * ((i / 3) % 3);
            const double f = h - std::floor(h);
            const double p = v * (1 - s), q = v * (1 - s * f), r = v * (1 - s * (1 - f));
            double rgb[3];
            switch (static_cast<int>(h) % 6) {
                case 0: rgb[0] = v, rgb[1] = r, rgb[2] = p; break;
                case 1: rgb[0] = q, rgb[1] = v, rgb[2] = p; break;
                case 2: rgb[0] = p, rgb[1] = v, rgb[2] = r; break;
                case 3: rgb[0] = p, rgb[1] = q, rgb[2] = v; break;
                case 4: rgb[0] = r, rgb[1] = p, rgb[2] = v; break;
                default: rgb[0] = v, rgb[1] = p, rgb[2] = q; break;
            }
            for (int k = 0; k < 3; ++k) c[k] = static_cast<uint8_t>(std::lround(rgb[k] * 255));
        }
        // Two classes never share a colour, and none is the black of class 0.
        for (bool clash = true; clash;) {
            clash = c == std::array<uint8_t, 3>{0, 0, 0};
            for (const auto& other : colours) clash = clash || other == c;
            if (clash) c[2] = static_cast<uint8_t>(c[2] + 7);
        }
        colours.push_back(c);
    }
    return colours;
}

namespace {

std::string TempBeside(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return folder + "." + name + ".partial-" + std::to_string(getpid()) + ".tif";
}

// `path` is the temporary file; `shown` the final name, which messages give.
GDALDatasetH Create(const GdalSession& gdal, const std::string& path, const std::string& shown,
                    const RasterGrid& grid, int bands, GDALDataType type) {
    GDALDriverH driver = GDALGetDriverByName("GTiff");
    char** options = nullptr;
    options = CSLSetNameValue(options, "TILED", "YES");
    options = CSLSetNameValue(options, "BLOCKXSIZE", std::to_string(MapRasters::kTile).c_str());
    options = CSLSetNameValue(options, "BLOCKYSIZE", std::to_string(MapRasters::kTile).c_str());
    options = CSLSetNameValue(options, "COMPRESS", "DEFLATE");
    // A rules raster of a large scene may pass 4 GB.
    options = CSLSetNameValue(options, "BIGTIFF", "IF_SAFER");
    if (bands > 1) options = CSLSetNameValue(options, "INTERLEAVE", "PIXEL");
    // Posteriors and angles are close to noise for DEFLATE: its fastest level writes them at
    // half the CPU time of the default level 6, for under 1 % more bytes.
    if (type == GDT_Float32) options = CSLSetNameValue(options, "ZLEVEL", "1");
    GDALDatasetH ds = GDALCreate(driver, path.c_str(), grid.width, grid.height, bands, type, options);
    CSLDestroy(options);
    if (!ds) gdal.Fail("Cannot write " + shown);
    if (grid.has_transform) {
        double t[6];
        for (int i = 0; i < 6; ++i) t[i] = grid.transform[static_cast<size_t>(i)];
        GDALSetGeoTransform(ds, t);
        if (!grid.projection.empty()) GDALSetProjection(ds, grid.projection.c_str());
    }
    return ds;
}

void CloseChecked(const GdalSession& gdal, void*& handle, const std::string& path) {
    if (!handle) return;
    CPLErrorReset();
    GDALClose(static_cast<GDALDatasetH>(handle));
    handle = nullptr;
    // Blocks go to the disk as the cache flushes them, so a full disk may first show here.
    if (CPLGetLastErrorType() >= CE_Failure) gdal.Fail("Cannot write " + path);
}

// GDAL keeps what a GeoTIFF cannot hold (the category names) in FILE.aux.xml beside it, so
// that file moves with its raster, and an earlier map's goes when the new one has none.
void TakeFinalName(const std::string& temp, const std::string& path) {
    const std::string aux = path + ".aux.xml";
    const std::string temp_aux = temp + ".aux.xml";
    std::remove(aux.c_str());
    if (std::rename(temp.c_str(), path.c_str()) != 0)
        throw OrvaneError("Cannot write " + path + ": " + std::strerror(errno) + ".");
    if (std::rename(temp_aux.c_str(), aux.c_str()) != 0 && errno != ENOENT)
        throw OrvaneError("Cannot write " + aux + ": " + std::strerror(errno) + ".");
}

}  // namespace

MapRasters::MapRasters(const std::string& class_path, const std::string& rules_path,
                       const RasterGrid& grid, const std::vector<std::string>& class_names,
                       const std::string& rules_description)
    : class_path_(class_path),
      rules_path_(rules_path),
      class_temp_(TempBeside(class_path)),
      rules_temp_(rules_path.empty() ? "" : TempBeside(rules_path)),
      classes_(static_cast<int>(class_names.size())),
      width_(grid.width) {
    for (int y = 0; y < grid.height; y += kTile)
        class_missing_.push_back(static_cast<long long>(grid.width) * std::min(kTile, grid.height - y));
    rules_missing_ = class_missing_;
    GdalSession gdal;
    try {
        class_ = Create(gdal, class_temp_, class_path_, grid, 1, classes_ > 254 ? GDT_UInt16 : GDT_Byte);
        GDALRasterBandH band = GDALGetRasterBand(static_cast<GDALDatasetH>(class_), 1);
        GDALSetRasterNoDataValue(band, 0);
        GDALColorTableH table = GDALCreateColorTable(GPI_RGB);
        const GDALColorEntry none = {0, 0, 0, 0};
        GDALSetColorEntry(table, 0, &none);
        const auto colours = ClassColours(classes_);
        char** names = CSLAddString(nullptr, "unclassified");
        for (int c = 0; c < classes_; ++c) {
            const auto& rgb = colours[static_cast<size_t>(c)];
            const GDALColorEntry e = {rgb[0], rgb[1], rgb[2], 255};
            GDALSetColorEntry(table, c + 1, &e);
            names = CSLAddString(names, class_names[static_cast<size_t>(c)].c_str());
        }
        GDALSetRasterColorTable(band, table);
        GDALDestroyColorTable(table);
        GDALSetRasterCategoryNames(band, names);
        CSLDestroy(names);
        if (!rules_path.empty()) {
            rules_ = Create(gdal, rules_temp_, rules_path_, grid, classes_, GDT_Float32);
            GDALSetMetadataItem(static_cast<GDALDatasetH>(rules_), "RULES",
                                rules_description.c_str(), nullptr);
            for (int c = 0; c < classes_; ++c) {
                GDALRasterBandH b = GDALGetRasterBand(static_cast<GDALDatasetH>(rules_), c + 1);
                GDALSetDescription(b, class_names[static_cast<size_t>(c)].c_str());
                GDALSetRasterNoDataValue(b, std::numeric_limits<double>::quiet_NaN());
            }
        }
    } catch (...) {
        Discard();
        throw;
    }
}

MapRasters::~MapRasters() { Discard(); }

void MapRasters::Discard() {
    for (void** handle : {&class_, &rules_})
        if (*handle) {
            GDALClose(static_cast<GDALDatasetH>(*handle));
            *handle = nullptr;
        }
    for (const std::string* temp : {&class_temp_, &rules_temp_})
        if (!temp->empty()) {
            std::remove(temp->c_str());
            std::remove((*temp + ".aux.xml").c_str());
        }
}

void MapRasters::WriteClasses(int x, int y, int w, int h, const uint16_t* classes) {
    GdalSession gdal;
    GDALRasterBandH band = GDALGetRasterBand(static_cast<GDALDatasetH>(class_), 1);
    if (GDALRasterIO(band, GF_Write, x, y, w, h, const_cast<uint16_t*>(classes), w, h, GDT_UInt16,
                     0, 0) != CE_None)
        gdal.Fail("Cannot write " + class_path_);
    Written(class_, class_missing_, class_path_, y, w, h);
}

void MapRasters::WriteRules(int x, int y, int w, int h, const float* rules) {
    if (!rules_) return;
    GdalSession gdal;
    const int k = classes_;
    const GSpacing pixel = static_cast<GSpacing>(sizeof(float)) * k;
    if (GDALDatasetRasterIOEx(static_cast<GDALDatasetH>(rules_), GF_Write, x, y, w, h,
                              const_cast<float*>(rules), w, h, GDT_Float32, k, nullptr, pixel,
                              pixel * w, sizeof(float), nullptr) != CE_None)
        gdal.Fail("Cannot write " + rules_path_);
    Written(rules_, rules_missing_, rules_path_, y, w, h);
}

void MapRasters::Written(void* dataset, std::vector<long long>& missing, const std::string& path,
                         int y, int w, int h) {
    GDALDataset* ds = GDALDataset::FromHandle(static_cast<GDALDatasetH>(dataset));
    for (int row = y / kTile; row * kTile < y + h; ++row) {
        const int top = std::max(y, row * kTile);
        const int bottom = std::min(y + h, (row + 1) * kTile);
        long long& left = missing.at(static_cast<size_t>(row));
        left -= static_cast<long long>(w) * (bottom - top);
        if (left != 0) continue;
        // A tile written out before all its pixels are in would be written again, compressed
        // anew at the end of the file; a complete row of tiles is final.
        GdalSession gdal;
        for (int b = 1; b <= ds->GetRasterCount(); ++b)
            for (int column = 0; column * kTile < width_; ++column)
                if (ds->GetRasterBand(b)->FlushBlock(column, row) != CE_None)
                    gdal.Fail("Cannot write " + path);
    }
}

void MapRasters::Commit() {
    GdalSession gdal;
    CloseChecked(gdal, class_, class_path_);
    CloseChecked(gdal, rules_, rules_path_);
    // The rules first: a class raster under its final name always has its rules beside it.
    if (!rules_temp_.empty()) {
        TakeFinalName(rules_temp_, rules_path_);
        rules_temp_.clear();
    }
    TakeFinalName(class_temp_, class_path_);
    class_temp_.clear();
}

ClassRasterPicture ReadClassRaster(const std::string& path, int max_side) {
    GdalSession gdal;
    GDALDatasetH ds = GDALOpen(path.c_str(), GA_ReadOnly);
    if (!ds) gdal.Fail("Cannot open " + path);
    ClassRasterPicture p;
    try {
        p.width = GDALGetRasterXSize(ds);
        p.height = GDALGetRasterYSize(ds);
        const int step = std::max(1, (std::max(p.width, p.height) + max_side - 1) / max_side);
        p.shown_width = std::max(1, p.width / step);
        p.shown_height = std::max(1, p.height / step);
        p.values.resize(static_cast<size_t>(p.shown_width) * p.shown_height);
        GDALRasterBandH band = GDALGetRasterBand(ds, 1);
        if (GDALRasterIO(band, GF_Read, 0, 0, p.width, p.height, p.values.data(), p.shown_width,
                         p.shown_height, GDT_UInt16, 0, 0) != CE_None)
            gdal.Fail("Cannot read " + path);
        if (GDALColorTableH table = GDALGetRasterColorTable(band))
            for (int i = 0; i < GDALGetColorEntryCount(table); ++i) {
                const GDALColorEntry* e = GDALGetColorEntry(table, i);
                p.colours.push_back({static_cast<uint8_t>(e->c1), static_cast<uint8_t>(e->c2),
                                     static_cast<uint8_t>(e->c3), static_cast<uint8_t>(e->c4)});
            }
        for (char** name = GDALGetRasterCategoryNames(band); name && *name; ++name)
            p.names.emplace_back(*name);
    } catch (...) {
        GDALClose(ds);
        throw;
    }
    GDALClose(ds);
    return p;
}

}  // namespace orvane
