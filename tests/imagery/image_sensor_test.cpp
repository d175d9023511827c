// SPDX-License-Identifier: GPL-3.0-or-later
// `sensor import --from-image`: the sensor of an EnMAP tile's usable bands, stored and loaded
// back as the chain loads sensors.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <string>

#include "chain/sensor_synthesis.h"
#include "spectra/band_vector.h"
#include "spectra/sensor.h"
#include "support/cli_fixture.h"

namespace orvane {
namespace {

using test::Contains;

class ImageSensorImport : public test::CliFixture {
  protected:
    ImageSensorImport() : CliFixture("imagesensor") {}
};

TEST_F(ImageSensorImport, EnmapTileBecomesAGaussianSensorTheChainSynthesizes) {
    const std::string tile = test::TestData("imagery/enmap_potsdam_tile_64_0.tif");
    test::CliOutcome r = Cli({"sensor", "import", "--from-image", tile});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "6 bands hold no value in any pixel")) << r.out;
    EXPECT_TRUE(Contains(r.out, "218 of 224 bands of " + tile + " make the sensor "
                                "\"enmap_potsdam_tile_64_0\"")) << r.out;
    EXPECT_TRUE(Contains(r.out, "enmap_potsdam_tile_64_0 sensor added to database")) << r.out;
    EXPECT_EQ(Count("sensor_element"), 218);

    int id = 0;
    scratch_.Admin().QueryInt("select sensor_id from sensor", id);
    std::unique_ptr<Database> db = scratch_.Connect();
    std::unique_ptr<Sensor> sensor = MakeSensor(kResponseGaussian);
    sensor->Load(*db, id);
    ASSERT_EQ(sensor->ElementCount(), 218);
    // Band 1's metadata (python3-gdal): wavelength 418.24, fwhm 6.99561.
    EXPECT_EQ(sensor->Element(0).band_no, 1);
    EXPECT_EQ(sensor->Element(0).avg_wavelength, 418.24);
    EXPECT_EQ(sensor->Element(0).fwhm, 6.99561);
    EXPECT_TRUE(sensor->Element(0).usable);
    // A spectrum equal to its wavelength / 1000 synthesizes to each response's centre, but
    // for the window's cut at whole nanometres: band 1's Gaussian (sigma = 6.99561 / 2 *
    // 0.8493218003) over 409..427 nm weighs the wavelengths to 418.2364062 nm (numpy), and no
    // band lies more than 0.02 nm from its metadata's centre.
    BandVector ramp(350, 2150);
    for (int w = 350; w <= 2499; ++w) ramp.Set(w, w / 1000.0, w);
    const std::unique_ptr<BandVector> synth = SynthesizeSensorBands(ramp, *sensor);
    ASSERT_EQ(synth->Count(), 218);
    EXPECT_NEAR(synth->Values()[0] * 1000.0, 418.2364062, 1e-6);
    for (int k = 0; k < 218; ++k)
        EXPECT_NEAR(synth->Values()[k] * 1000.0, sensor->Element(k).avg_wavelength, 0.02) << k;

    // The name is taken once.
    r = Cli({"sensor", "import", "--from-image", tile});
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(Contains(r.err, "already a sensor named")) << r.err;
    EXPECT_EQ(Count("sensor"), 1);
}

TEST_F(ImageSensorImport, ImageWithoutWavelengthsSaysHowToGiveThem) {
    const std::string image = dir_.File("bare.img");
    std::ofstream(image, std::ios::binary) << std::string(2 * 2 * 3, '\x05');
    std::ofstream(dir_.File("bare.hdr"))
        << "ENVI\nsamples = 2\nlines = 2\nbands = 3\nheader offset = 0\ndata type = 1\n"
           "interleave = bsq\nbyte order = 0\n";
    test::CliOutcome r = Cli({"sensor", "import", "--from-image", image});
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(Contains(r.err, "has no wavelengths")) << r.err;
    EXPECT_TRUE(Contains(r.err, "(--wavelengths FILE)")) << r.err;
    EXPECT_EQ(Count("sensor"), 0);

    const std::string list = dir_.File("bands.txt");
    std::ofstream(list) << "500 10\n600 10\n700 10\n";
    r = Cli({"sensor", "import", "--from-image", image, "--name", "Camera", "--wavelengths",
             list});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(Count("sensor_element"), 3);
    EXPECT_EQ(test::Count(scratch_.Admin(), "select count(*) from sensor where name = 'Camera'"),
              1);

    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"sensor", "import", "--from-image", image, "--type", "ratio"},
          {"sensor", "import", "x.txt", "--wavelengths", list}}) {
        r = Cli(words);
        EXPECT_EQ(r.rc, 2) << r.err;
    }
}

}  // namespace
}  // namespace orvane
