// SPDX-License-Identifier: GPL-3.0-or-later
// Images read through GDAL: the EnMAP tiles against values GDAL's Python bindings give, and
// small ENVI images written here in every layout, data type and byte order.
#include "imagery/spectral_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/orvane_error.h"
#include "imagery/image_sensor.h"
#include "support/scratch_database.h"

namespace orvane {
namespace {

using test::Contains;

const std::string kTile = test::TestData("imagery/enmap_potsdam_tile_64_0.tif");

// What OrvaneError `f` throws; fails the test when it throws none.
std::string Refusal(const std::function<void()>& f, Remedy* remedy = nullptr) {
    try {
        f();
    } catch (const OrvaneError& e) {
        if (remedy) *remedy = e.GetRemedy();
        return e.what();
    }
    ADD_FAILURE() << "no OrvaneError";
    return "";
}

std::vector<float> ReadAll(const SpectralImage& image, const ImageWindow& w) {
    std::vector<float> out(static_cast<size_t>(w.Pixels()) * image.UsableBands().size());
    image.ReadWindow(w, out.data());
    return out;
}

// Bit-equal, NaN equal to NaN.
bool Same(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

TEST(SpectralImage, EnmapTileMetadataScanAndValues) {
    SpectralImage image(kTile);
    EXPECT_EQ(image.Driver(), "GTiff");
    EXPECT_EQ(image.Width(), 32);
    EXPECT_EQ(image.Height(), 32);
    ASSERT_EQ(image.BandCount(), 224);
    // gdal.Open(tile).GetGeoTransform() and its projection's name.
    ASSERT_TRUE(image.HasGeoTransform());
    EXPECT_EQ(image.GeoTransform(),
              (std::array<double, 6>{364095.0, 30.0, 0.0, 5809965.0, 0.0, -30.0}));
    EXPECT_TRUE(Contains(image.Projection(), "UTM zone 33N")) << image.Projection();
    // float(band.GetMetadataItem('wavelength')) and 'fwhm' of bands 1, 90, 91, 224, and
    // GetScale(), GetOffset(), GetNoDataValue() (python3-gdal).
    const struct {
        int band;
        double wavelength, fwhm;
    } expected[] = {{1, 418.24, 6.99561},
                    {90, 984.932, 10.7183},
                    {91, 993.083, 10.6375},
                    {224, 2445.53, 7.1581}};
    for (const auto& e : expected) {
        const ImageBand& b = image.Band(e.band);
        EXPECT_EQ(b.wavelength, e.wavelength) << e.band;
        EXPECT_EQ(b.fwhm, e.fwhm) << e.band;
        EXPECT_EQ(b.scale, 0.0001);
        EXPECT_EQ(b.offset, 0.0);
        EXPECT_TRUE(b.has_nodata);
        EXPECT_EQ(b.nodata, -32768.0);
    }
    // bbl is 0 for bands 130-135 alone, and those six hold -32768 in every pixel (numpy:
    // [i for i in range(224) if (a[i] == -32768).all()]); every other band has 1024 values.
    for (int b = 1; b <= 224; ++b) EXPECT_EQ(image.Band(b).bad, b >= 130 && b <= 135) << b;
    EXPECT_EQ(image.UsableBands().size(), 218u);
    const BandScan& scan = image.ScanBands();
    EXPECT_EQ(scan.empty, (std::vector<int>{130, 131, 132, 133, 134, 135}));
    for (int b = 1; b <= 224; ++b)
        EXPECT_EQ(scan.valid[static_cast<size_t>(b - 1)], b >= 130 && b <= 135 ? 0 : 1024) << b;
    // np.nanmin / np.nanmax of band 1 as float32 values * 0.0001, with -32768 as NaN.
    EXPECT_EQ(scan.minimum[0], static_cast<double>(0.0265f));
    EXPECT_EQ(scan.maximum[0], static_cast<double>(0.1211f));
    EXPECT_TRUE(std::isnan(scan.minimum[129]));
    // Reflectance: the usable bands average 0.189 (numpy), so no warning.
    EXPECT_EQ(ReflectanceWarning(image), "");
    std::string notes;
    for (const std::string& n : image.Notes()) notes += n + '\n';
    EXPECT_TRUE(Contains(notes, "6 bands hold no value in any pixel")) << notes;
    EXPECT_TRUE(Contains(notes, "130 (1331.22 nm)")) << notes;
    EXPECT_FALSE(Contains(notes, "no unit")) << notes;

    // The usable bands by wavelength, as Python's stable sorted(usable, key=wavelength) orders
    // them: the SWIR detector's first bands fall between the VNIR's last ones.
    const std::vector<int>& usable = image.UsableBands();
    ASSERT_EQ(usable.size(), 218u);
    EXPECT_EQ(usable[79], 92);
    EXPECT_EQ(usable[80], 80);
    EXPECT_EQ(usable[82], 93);
    EXPECT_EQ(usable[83], 82);
    EXPECT_EQ(usable[98], 90);
    EXPECT_EQ(usable[99], 91);
    EXPECT_EQ(usable[217], 224);

    // np.float32(a[b-1, y, x].astype(float64) * 0.0001) of ds.ReadAsArray().
    const std::vector<float> all = ReadAll(image, {0, 0, 32, 32});
    const auto at = [&](int x, int y, int band) {
        const size_t k = static_cast<size_t>(
            std::find(usable.begin(), usable.end(), band) - usable.begin());
        return all[static_cast<size_t>(y * 32 + x) * usable.size() + k];
    };
    EXPECT_EQ(at(0, 0, 1), 0.066f);
    EXPECT_EQ(at(5, 7, 50), 0.0474f);
    EXPECT_EQ(at(31, 31, 224), 0.0621f);
    EXPECT_EQ(at(17, 3, 91), 0.2821f);
    EXPECT_EQ(at(17, 3, 88), 0.2683f);
    // A window reads the same values as the whole image.
    const std::vector<float> part = ReadAll(image, {17, 3, 2, 5});
    EXPECT_EQ(part[0], at(17, 3, usable[0]));
    EXPECT_EQ(part[(4 * 2 + 1) * 218 + 100], at(18, 7, usable[100]));
    // Nodata reads as no value.
    std::vector<float> empty_band(4);
    image.ReadWindow({0, 0, 2, 2}, {130}, empty_band.data());
    for (float v : empty_band) EXPECT_TRUE(std::isnan(v));

    // Outside the image and empty windows are refused.
    float one = 0;
    EXPECT_TRUE(Contains(Refusal([&] { image.ReadWindow({30, 0, 3, 1}, &one); }),
                         "reaches outside the image"));
    EXPECT_TRUE(Contains(Refusal([&] { image.ReadWindow({0, 0, 0, 1}, &one); }), "is empty"));
}

TEST(SpectralImage, AnyGeoTiffLayoutReadsTheSameAndWindowsFollowItsBlocks) {
    test::TempDir dir;
    SpectralImage band_interleaved(kTile);
    band_interleaved.ScanBands();
    const std::vector<float> reference = ReadAll(band_interleaved, {0, 0, 32, 32});
    const std::string tiled = dir.File("tiled.tif");
    ASSERT_EQ(std::system(("gdal_translate -q -co INTERLEAVE=PIXEL -co TILED=YES -co "
                           "BLOCKXSIZE=16 -co BLOCKYSIZE=16 -co COMPRESS=DEFLATE '" +
                           kTile + "' '" + tiled + "'")
                              .c_str()),
              0);
    const std::string striped = dir.File("striped.tif");
    ASSERT_EQ(std::system(("gdal_translate -q -co INTERLEAVE=PIXEL -co BLOCKYSIZE=3 '" + kTile +
                           "' '" + striped + "'")
                              .c_str()),
              0);
    for (const std::string& path : {tiled, striped}) {
        SpectralImage image(path);
        image.ScanBands();
        EXPECT_EQ(image.UsableBands(), band_interleaved.UsableBands());
        EXPECT_TRUE(Same(ReadAll(image, {0, 0, 32, 32}), reference)) << path;
    }

    // 218 bands of floats are 872 bytes a pixel: 0.5 MB holds a row of 16 x 16 blocks, 0.2 MB
    // not even that, so the windows are single blocks, cut to the region asked for.
    SpectralImage image(tiled);
    image.ScanBands();
    EXPECT_EQ(image.BlockSize(), std::make_pair(16, 16));
    EXPECT_EQ(image.BlockWindows(0.5),
              (std::vector<ImageWindow>{{0, 0, 32, 16}, {0, 16, 32, 16}}));
    const ImageWindow region{5, 5, 20, 20};
    EXPECT_EQ(image.BlockWindows(0.2, &region),
              (std::vector<ImageWindow>{{5, 5, 11, 11}, {16, 5, 9, 11}, {5, 16, 11, 9},
                                        {16, 16, 9, 9}}));
    SpectralImage rows(striped);
    EXPECT_EQ(rows.BlockWindows(1000.0), (std::vector<ImageWindow>{{0, 0, 32, 32}}));
    EXPECT_EQ(rows.BlockWindows(0.01).front(), (ImageWindow{0, 0, 32, 3}));
}

TEST(SpectralImage, ReadsFromManyThreadsAgreeWithOneThread) {
    SpectralImage image(kTile);
    image.ScanBands();
    std::vector<ImageWindow> windows;
    for (int y = 0; y < 32; y += 8)
        for (int x = 0; x < 32; x += 8) windows.push_back({x, y, 8, 8});
    std::vector<std::vector<float>> alone(windows.size()), together(windows.size());
    for (size_t i = 0; i < windows.size(); ++i) alone[i] = ReadAll(image, windows[i]);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (size_t i = t; i < windows.size(); i += 4) together[i] = ReadAll(image, windows[i]);
        });
    for (std::thread& t : threads) t.join();
    for (size_t i = 0; i < windows.size(); ++i) EXPECT_TRUE(Same(alone[i], together[i])) << i;
}

// A small ENVI image of 3 x 2 pixels and 4 bands: band b (1-based), row y, column x holds
// 7 b + 3 y + x + 1, except pixel (1, 0) of band 2, which holds the ignore value 250.
struct EnviImage {
    int type = 4;  // ENVI's data type code
    std::string interleave = "bsq";
    bool big_endian = false;
    std::string header_extra;

    static constexpr int kWidth = 3, kHeight = 2, kBands = 4;
    static double Value(int b, int y, int x) {
        return b == 2 && y == 0 && x == 1 ? 250.0 : 7.0 * b + 3.0 * y + x + 1.0;
    }

    template <typename T>
    static void Put(std::string& data, double v, bool big_endian) {
        const T t = static_cast<T>(v);
        char bytes[sizeof(T)];
        std::memcpy(bytes, &t, sizeof(T));
        if (big_endian)
            for (size_t i = 0; i < sizeof(T) / 2; ++i) std::swap(bytes[i], bytes[sizeof(T) - 1 - i]);
        data.append(bytes, sizeof(T));
    }

    std::string Write(const std::string& stem) const {
        std::string data;
        const auto put = [&](int b, int y, int x) {
            const double v = Value(b, y, x);
            switch (type) {
                case 1: Put<uint8_t>(data, v, big_endian); break;
                case 2: Put<int16_t>(data, v, big_endian); break;
                case 3: Put<int32_t>(data, v, big_endian); break;
                case 4: Put<float>(data, v, big_endian); break;
                case 5: Put<double>(data, v, big_endian); break;
                case 12: Put<uint16_t>(data, v, big_endian); break;
                case 13: Put<uint32_t>(data, v, big_endian); break;
            }
        };
        for (int outer = 0; outer < (interleave == "bsq" ? kBands : kHeight); ++outer)
            for (int middle = 0; middle < (interleave == "bip" ? kWidth
                                           : interleave == "bil" ? kBands
                                                                 : kHeight);
                 ++middle)
                for (int inner = 0; inner < (interleave == "bip" ? kBands : kWidth); ++inner) {
                    if (interleave == "bsq") put(outer + 1, middle, inner);
                    if (interleave == "bil") put(middle + 1, outer, inner);
                    if (interleave == "bip") put(inner + 1, outer, middle);
                }
        std::ofstream(stem + ".img", std::ios::binary) << data;
        std::ofstream(stem + ".hdr", std::ios::binary)
            << "ENVI\nsamples = 3\nlines = 2\nbands = 4\nheader offset = 0\n"
               "file type = ENVI Standard\ndata type = "
            << type << "\ninterleave = " << interleave << "\nbyte order = " << (big_endian ? 1 : 0)
            << '\n'
            << header_extra;
        return stem + ".img";
    }
};

TEST(SpectralImage, EnviInEveryLayoutTypeAndByteOrder) {
    test::TempDir dir;
    // Micrometres, out of order; band 4 bad; the values scaled by gain 2 and offset 1.
    const std::string header =
        "wavelength units = Micrometers\n"
        "wavelength = { 0.45, 0.65,\n   0.55, 0.75 }\n"
        "fwhm = {0.01, 0.012, 0.011, 0.013}\n"
        "bbl = {1, 1, 1, 0}\n"
        "data ignore value = 250\n"
        "data gain values = {2, 2, 2, 2}\n"
        "data offset values = {1, 1, 1, 1}\n";
    int made = 0;
    for (int type : {1, 2, 3, 4, 5, 12, 13})
        for (const char* interleave : {"bsq", "bil", "bip"})
            for (bool big_endian : {false, true}) {
                const EnviImage envi{type, interleave, big_endian, header};
                const std::string what = std::to_string(type) + interleave + (big_endian ? "B" : "L");
                SpectralImage image(envi.Write(dir.File("i" + std::to_string(made++))));
                EXPECT_EQ(image.Driver(), "ENVI");
                EXPECT_EQ(image.BandCount(), 4);
                EXPECT_NEAR(image.Band(2).wavelength, 650.0, 1e-9) << what;
                EXPECT_NEAR(image.Band(3).fwhm, 11.0, 1e-9) << what;
                // Bands by wavelength: 450, 550, 650 nm; band 4 is bad.
                image.ScanBands();
                ASSERT_EQ(image.UsableBands(), (std::vector<int>{1, 3, 2})) << what;
                const std::vector<float> out = ReadAll(image, {0, 0, 3, 2});
                for (int y = 0; y < 2; ++y)
                    for (int x = 0; x < 3; ++x)
                        for (int k = 0; k < 3; ++k) {
                            const int b = image.UsableBands()[static_cast<size_t>(k)];
                            const float got = out[static_cast<size_t>((y * 3 + x) * 3 + k)];
                            if (b == 2 && y == 0 && x == 1)
                                EXPECT_TRUE(std::isnan(got)) << what;
                            else
                                EXPECT_EQ(got, static_cast<float>(
                                                   EnviImage::Value(b, y, x) * 2.0 + 1.0))
                                    << what << " band " << b << " at " << x << "," << y;
                        }
            }
}

TEST(SpectralImage, EnviUnitsScaleFactorAndWavelengthsFile) {
    test::TempDir dir;
    std::string notes;
    const auto all_notes = [&](const SpectralImage& image) {
        notes.clear();
        for (const std::string& n : image.Notes()) notes += n + '\n';
    };
    // No unit, all below 100: micrometres; the reflectance scale factor divides.
    {
        SpectralImage image(
            EnviImage{2, "bip", false,
                      "wavelength = {0.45, 0.5, 0.65, 0.75}\nreflectance scale factor = 10000\n"}
                .Write(dir.File("um")));
        EXPECT_NEAR(image.Band(4).wavelength, 750.0, 1e-9);
        EXPECT_TRUE(std::isnan(image.Band(1).fwhm));
        EXPECT_EQ(image.Band(1).scale, 1.0 / 10000);
        all_notes(image);
        EXPECT_TRUE(Contains(notes, "have no unit; read as micrometres")) << notes;
        EXPECT_TRUE(Contains(notes, "reflectance scale factor 10000")) << notes;
        EXPECT_TRUE(Contains(notes, "no FWHM")) << notes;
        // Float32 of int16 17 / 10000 (exact arithmetic, rounded to float).
        const std::vector<float> out = ReadAll(image, {2, 1, 1, 1});
        EXPECT_EQ(out[0], static_cast<float>((7.0 + 3.0 + 2.0 + 1.0) * 0.0001));

        // Scaled like reflectance: no warning; the same integers unscaled get one.
        image.ScanBands();
        EXPECT_EQ(ReflectanceWarning(image), "");
        // Without FWHM the sensor takes the band spacing: (50 + 150) / 2 for 500 nm, 50 at the
        // lower end.
        std::vector<std::string> sensor_notes;
        const GaussianSensor sensor = SensorOfImage(image, "", sensor_notes);
        ASSERT_EQ(sensor.ElementCount(), 4);
        EXPECT_EQ(sensor.Name(), "um");
        EXPECT_NEAR(sensor.Element(0).fwhm, 50.0, 1e-9);
        EXPECT_NEAR(sensor.Element(1).fwhm, 100.0, 1e-9);
        EXPECT_NEAR(sensor.Element(3).fwhm, 100.0, 1e-9);
        ASSERT_EQ(sensor_notes.size(), 1u);
        EXPECT_TRUE(Contains(sensor_notes[0], "4 of 4 bands have no FWHM")) << sensor_notes[0];
    }
    // No unit, values of 100 and more: nanometres, said as well.
    {
        SpectralImage image(EnviImage{4, "bsq", true, "wavelength = {450, 500, 650, 750}\n"}
                                .Write(dir.File("nm")));
        EXPECT_EQ(image.Band(2).wavelength, 500.0);
        all_notes(image);
        EXPECT_TRUE(Contains(notes, "have no unit; read as nanometres")) << notes;
    }
    {
        SpectralImage unscaled(EnviImage{2, "bsq", false, "wavelength = {450, 500, 650, 750}\n"}
                                   .Write(dir.File("unscaled")));
        unscaled.ScanBands();
        // The values 7 b + 3 y + x + 1 for bands 1-4 with 250 in one pixel: 8 to 250.
        EXPECT_TRUE(Contains(ReflectanceWarning(unscaled), "range from 8 to 250"))
            << ReflectanceWarning(unscaled);
    }
    // A GeoTIFF without band metadata takes them, and its nodata, from an ENVI header beside
    // it.
    {
        const std::string plain = EnviImage{12, "bil", false, ""}.Write(dir.File("plain"));
        const std::string tiff = dir.File("beside.tif");
        ASSERT_EQ(std::system(("gdal_translate -q --config GDAL_PAM_ENABLED NO -co "
                               "PROFILE=BASELINE '" + plain + "' '" + tiff + "'")
                                  .c_str()),
                  0);
        std::ofstream(dir.File("beside.hdr"))
            << "ENVI\nwavelength units = Nanometers\nwavelength = {400,500,600,700}\n"
               "fwhm = {10,10,10,10}\ndata ignore value = 250\n";
        SpectralImage image(tiff);
        EXPECT_EQ(image.Driver(), "GTiff");
        EXPECT_EQ(image.Band(3).wavelength, 600.0);
        EXPECT_EQ(image.Band(3).fwhm, 10.0);
        std::vector<float> pixel(4);
        image.ReadWindow({1, 0, 1, 1}, {1, 2, 3, 4}, pixel.data());
        EXPECT_EQ(pixel[0], 7.0f + 1 + 1);
        EXPECT_TRUE(std::isnan(pixel[1]));
    }
    // No wavelengths at all: refused with the remedy, until a wavelengths file gives them.
    const std::string bare = EnviImage{1, "bil", false, ""}.Write(dir.File("bare"));
    {
        SpectralImage image(bare);
        EXPECT_FALSE(image.HasWavelengths());
        Remedy remedy = Remedy::kNone;
        const std::string why = Refusal([&] { image.RequireWavelengths(); }, &remedy);
        EXPECT_EQ(remedy, Remedy::kGiveWavelengths);
        EXPECT_TRUE(Contains(why, bare)) << why;
        EXPECT_TRUE(Contains(why, "one line per band")) << why;
        std::vector<std::string> sensor_notes;
        EXPECT_TRUE(Contains(Refusal([&] { SensorOfImage(image, "x", sensor_notes); }),
                             "has no wavelengths"));
    }
    const std::string list = dir.File("bands.txt");
    std::ofstream(list) << "# centre, FWHM (nm)\n400 10\n\n500, 11 # green\n600\t12\n700 13\n";
    SpectralImage image(bare, list);
    EXPECT_EQ(image.Band(3).wavelength, 600.0);
    EXPECT_EQ(image.Band(4).fwhm, 13.0);
    const std::string three = dir.File("three.txt");
    std::ofstream(three) << "400\n500\n600\n";
    EXPECT_TRUE(Contains(Refusal([&] { SpectralImage(bare, three); }),
                         "gives 3 wavelengths, but the image has 4 bands"));
    const std::string mixed = dir.File("mixed.txt");
    std::ofstream(mixed) << "400 10\n500\n600 1\n700 1\n";
    EXPECT_TRUE(Contains(Refusal([&] { SpectralImage(bare, mixed); }), mixed + ", line 2"));
    const std::string words = dir.File("words.txt");
    std::ofstream(words) << "400\nfive hundred\n600\n700\n";
    EXPECT_TRUE(Contains(Refusal([&] { SpectralImage(bare, words); }), "line 2: \"five\" is not a positive wavelength"));
}

TEST(SpectralImage, BrokenFilesAreRefusedNamingThem) {
    test::TempDir dir;
    // A raw file cut short: GDAL would read zeros, so the size is checked.
    const std::string cut = EnviImage{2, "bsq", false, ""}.Write(dir.File("cut"));
    {
        std::string data = test::FileText(cut);
        std::ofstream(cut, std::ios::binary) << data.substr(0, data.size() - 5);
    }
    std::string why = Refusal([&] { SpectralImage image(cut); });
    EXPECT_TRUE(Contains(why, cut) && Contains(why, "truncated")) << why;
    // A GeoTIFF cut short: GDAL's own error, with the file's name, when its blocks are read.
    const std::string tiff = dir.File("cut.tif");
    std::ofstream(tiff, std::ios::binary) << test::FileText(kTile).substr(0, 500000);
    why = Refusal([&] {
        SpectralImage image(tiff);
        image.ScanBands();
    });
    EXPECT_TRUE(Contains(why, "Cannot read the image " + tiff)) << why;
    EXPECT_TRUE(Contains(why, "IReadBlock failed")) << why;
    // Not an image at all, a missing file, and a header chosen instead of its data file.
    const std::string text = dir.File("notes.txt");
    std::ofstream(text) << "hello\n";
    why = Refusal([&] { SpectralImage image(text); });
    EXPECT_TRUE(Contains(why, "Cannot open the image " + text)) << why;
    EXPECT_TRUE(Contains(why, "not recognized as a supported file format")) << why;
    why = Refusal([&] { SpectralImage image(dir.File("missing.tif")); });
    EXPECT_TRUE(Contains(why, "missing.tif does not exist")) << why;
    const std::string data =
        EnviImage{4, "bip", false, "wavelength = {400, 500, 600, 700}\n"}.Write(dir.File("h"));
    SpectralImage from_header(dir.File("h.hdr"));
    EXPECT_EQ(from_header.Path(), data);
    EXPECT_EQ(from_header.Band(4).wavelength, 700.0);
}

TEST(ImageSensor, MadeOfTheUsableBandsAndCheckedAgainstALibrarySensor) {
    SpectralImage image(kTile);
    std::vector<std::string> notes;
    const GaussianSensor sensor = SensorOfImage(image, "EnMAP tile", notes);
    EXPECT_TRUE(notes.empty());
    ASSERT_EQ(sensor.ElementCount(), 218);
    EXPECT_EQ(sensor.Description(), "218 of 224 bands of the image enmap_potsdam_tile_64_0");
    // The band metadata (python3-gdal): band 92 is the 80th by wavelength.
    EXPECT_EQ(sensor.Element(0).band_no, 1);
    EXPECT_EQ(sensor.Element(0).avg_wavelength, 418.24);
    EXPECT_EQ(sensor.Element(0).fwhm, 6.99561);
    EXPECT_EQ(sensor.Element(79).band_no, 92);
    EXPECT_EQ(sensor.Element(217).avg_wavelength, 2445.53);
    EXPECT_EQ(SensorMismatch(sensor, image), "");

    // A sensor whose 100th centre lies 0.6 nm off, and one with a band fewer.
    std::vector<SensorElement> elements = sensor.Elements();
    elements[99].avg_wavelength += 0.6;
    GaussianSensor shifted;
    shifted.Define("shifted", "", elements);
    const std::string why = Refusal([&] { CheckSensorMatchesImage(shifted, image); });
    EXPECT_TRUE(Contains(why, "the sensor's band 100 (number 91) lies at 993.683 nm, the "
                              "image's usable band 100 (band 91 of the file) at 993.083 nm"))
        << why;
    elements = sensor.Elements();
    elements.pop_back();
    GaussianSensor fewer;
    fewer.Define("fewer", "", elements);
    const std::string short_by_one = SensorMismatch(fewer, image);
    EXPECT_TRUE(Contains(short_by_one, "it has 217 bands, the image 218 usable bands")) << short_by_one;
    EXPECT_TRUE(Contains(short_by_one, "the sensor has no band 218")) << short_by_one;
}

}  // namespace
}  // namespace orvane
