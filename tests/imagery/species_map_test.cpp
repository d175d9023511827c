// SPDX-License-Identifier: GPL-3.0-or-later
// Species maps of the two EnMAP tiles with a library of the demo study on the tiles' own sensor.
#include <gdal.h>
#include <cpl_string.h>
#include <gdal_utils.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "chain/chain_options.h"
#include "chain/processing_chain.h"
#include "forms/species_mapping.h"
#include "forms/workspace.h"
#include "imagery/spectral_image.h"
#include "stats/gdal_session.h"
#include "stats/spectral_statistics.h"
#include "support/cli_fixture.h"
#include "support/recording_frontend.h"

namespace orvane {
namespace {

const char* const kTiles[] = {"enmap_potsdam_tile_64_0.tif", "enmap_potsdam_tile_160_96.tif"};

std::string Tile(int i) { return test::TestData(std::string("imagery/") + kTiles[i]); }

// One band of a raster, row after row.
std::vector<double> Band(const std::string& path, int band = 1) {
    GdalSession gdal;
    GDALDatasetH ds = GDALOpen(path.c_str(), GA_ReadOnly);
    if (!ds) return {};
    const int w = GDALGetRasterXSize(ds), h = GDALGetRasterYSize(ds);
    std::vector<double> values(static_cast<size_t>(w) * h);
    if (GDALRasterIO(GDALGetRasterBand(ds, band), GF_Read, 0, 0, w, h, values.data(), w, h,
                     GDT_Float64, 0, 0) != CE_None)
        values.clear();
    GDALClose(ds);
    return values;
}

std::string Classes(const std::string& path) {
    std::string digits;
    for (double v : Band(path)) digits += static_cast<char>('0' + static_cast<int>(v));
    return digits;
}

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The demo study, the sensor of the tiles' usable bands (both tiles have the same) and a
// library in the first five principal components of the first derivative.
class SpeciesMap : public test::CliFixture {
  protected:
    SpeciesMap()
        : CliFixture("speciesmap", {"--study", "Demo study", "--sensor", "EnMAP tile",
                                    "--fs-type", "PCT", "--feature-space", "PCT 5"}) {}

    void SetUp() override {
        auto plain = [&](std::vector<std::string> words) {
            words.insert(words.begin(), {"--config", config_});
            const test::CliOutcome r = test::RunCliWords(words);
            ASSERT_EQ(r.rc, 0) << r.err;
        };
        plain({"study", "create", "--name", "Demo study", "--path",
               test::SourcePath("examples/demo-study")});
        plain({"--study", "Demo study", "import"});
        plain({"--study", "Demo study", "sensor", "import", "--from-image", Tile(0), "--name",
               "EnMAP tile"});
        plain({"--study", "Demo study", "--sensor", "EnMAP tile", "--derivative", "1", "pca"});
        plain({"--study", "Demo study", "--sensor", "EnMAP tile", "feature-space", "new",
               "--fs-type", "PCT", "--name", "PCT 5", "--dimension", "5"});
        const test::CliOutcome built = Cli({"--derivative", "1", "library", "build"});
        ASSERT_EQ(built.rc, 0) << built.err;
    }

    test::CliOutcome Map(std::vector<std::string> words) {
        words.insert(words.begin(), {"--derivative", "1", "map"});
        return Cli(words);
    }
    std::string Out(const std::string& name) { return dir_.File(name); }
};

// The classes scikit-learn and numpy give the same features: the library's spectra and each
// pixel in the library's chain, as this test writes them with ORVANE_MAP_REFERENCE=DIR; then
// tests/imagery/map_reference.py DIR fits QuadraticDiscriminantAnalysis and
// LinearDiscriminantAnalysis with equal priors (scikit-learn 1.2.1) and takes the smallest
// spectral angle to the class means (numpy), and prints the class numbers of the 32 x 32 pixels
// row after row (0 where a pixel has no value), classes in library order (AT, GS, OPS, PH).
struct Expected {
    const char* classifier;
    const char* tiles[2];
};
const Expected kExpected[] = {
#include "map_reference.inc"
};

// The fixture's library, as the map commands choose it.
SpectralStatistics& LoadMapLibrary(Workspace& space) {
    ChainOptions options;
    options.study = "Demo study";
    options.sensor = "EnMAP tile";
    options.derivative_order = 1;
    options.feature_space_type = ParseFeatureSpaceType("PCT");
    options.feature_space = "PCT 5";
    ApplyChainOptions(space.Session(), options);
    return space.LoadLibrary();
}

// Each pixel's features in the library's chain, "tile,row,column,f1,...", for the reference.
void WritePixelFeatures(const std::string& path, const std::string& config) {
    Workspace space(config);
    Chain chain(LoadMapLibrary(space).CompiledInUse());
    std::ofstream out(path);
    out.precision(17);
    for (int t = 0; t < 2; ++t) {
        SpectralImage image(Tile(t));
        image.ScanBands();
        const int bands = static_cast<int>(image.UsableBands().size());
        std::vector<float> values(static_cast<size_t>(image.Width()) * image.Height() * bands);
        image.ReadWindow({0, 0, image.Width(), image.Height()}, values.data());
        std::vector<double> pixel(static_cast<size_t>(bands));
        for (int p = 0; p < image.Width() * image.Height(); ++p) {
            out << t << ',' << p / image.Width() << ',' << p % image.Width();
            bool complete = true;
            for (int b = 0; b < bands; ++b) {
                pixel[static_cast<size_t>(b)] = values[static_cast<size_t>(p) * bands + b];
                complete = complete && !std::isnan(pixel[static_cast<size_t>(b)]);
            }
            if (complete) {
                const Matrix& f = chain.FeaturesFromSensorBands(pixel.data(), bands);
                for (int i = 0; i < f.Nrows(); ++i) out << ',' << f.Store()[i];
            }
            out << '\n';
        }
    }
}

TEST_F(SpeciesMap, ClassesAgreeWithScikitLearnAndNumpyOnTheSameFeatures) {
    if (const char* dir = std::getenv("ORVANE_MAP_REFERENCE")) {
        const test::CliOutcome r = Cli({"--derivative", "1", "export", "--stage", "features",
                                        "--format", "csv", "--number-format", "plain"});
        ASSERT_EQ(r.rc, 0) << r.err;
        // The file's path is the last line.
        const std::string path = r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1);
        std::ofstream(std::string(dir) + "/library.csv") << Bytes(path.substr(0, path.size() - 1));
        WritePixelFeatures(std::string(dir) + "/pixels.csv", config_);
    }
    for (const Expected& e : kExpected)
        for (int t = 0; t < 2; ++t) {
            const std::string out = Out(std::string(e.classifier) + std::to_string(t) + ".tif");
            const test::CliOutcome r = Map({"--classifier", e.classifier, "--image", Tile(t),
                                            "--out", out});
            ASSERT_EQ(r.rc, 0) << r.err;
            EXPECT_EQ(Classes(out), e.tiles[t]) << e.classifier << " on " << kTiles[t];
        }
}

// Four processes' tiles joined by a VRT give the one-process map pixel for pixel; a window is
// that part of the map; the rasters say what they hold.
TEST_F(SpeciesMap, TilesJoinIntoTheWholeMapAndTheRastersDescribeThemselves) {
    const std::string whole = Out("whole.tif"), rules = Out("rules.tif");
    test::CliOutcome r = Map({"--image", Tile(1), "--out", whole, "--rules", rules});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out.substr(r.out.size() - (whole.size() + rules.size() + Out("whole.json").size() + 3)),
              whole + "\n" + rules + "\n" + Out("whole.json") + "\n");
    std::vector<std::string> tiles;
    for (int i = 1; i <= 4; ++i) {
        tiles.push_back(Out("tile" + std::to_string(i) + ".tif"));
        r = Map({"--image", Tile(1), "--out", tiles.back(), "--tile", std::to_string(i) + "/4"});
        ASSERT_EQ(r.rc, 0) << r.err;
    }
    {
        GdalSession gdal;
        std::vector<const char*> names;
        for (const std::string& t : tiles) names.push_back(t.c_str());
        GDALDatasetH vrt = GDALBuildVRT(Out("joined.vrt").c_str(), 4, nullptr, names.data(),
                                        nullptr, nullptr);
        ASSERT_TRUE(vrt) << gdal.Reason();
        GDALClose(vrt);
    }
    EXPECT_EQ(Classes(Out("joined.vrt")), Classes(whole));
    r = Map({"--image", Tile(1), "--out", Out("part.tif"), "--window", "5,7,10,12"});
    ASSERT_EQ(r.rc, 0) << r.err;
    const std::string all = Classes(whole), part = Classes(Out("part.tif"));
    ASSERT_EQ(part.size(), 120u);
    for (int row = 0; row < 12; ++row)
        EXPECT_EQ(part.substr(row * 10, 10), all.substr((row + 7) * 32 + 5, 10)) << row;

    GdalSession gdal;
    GDALDatasetH map = GDALOpen(whole.c_str(), GA_ReadOnly);
    GDALDatasetH image = GDALOpen(Tile(1).c_str(), GA_ReadOnly);
    ASSERT_TRUE(map && image);
    GDALRasterBandH band = GDALGetRasterBand(map, 1);
    EXPECT_EQ(GDALGetRasterDataType(band), GDT_Byte);
    int bx = 0, by = 0;
    GDALGetBlockSize(band, &bx, &by);
    EXPECT_EQ(bx, 256);  // tiled, not striped
    EXPECT_STREQ(GDALGetMetadataItem(map, "COMPRESSION", "IMAGE_STRUCTURE"), "DEFLATE");
    double a[6], b[6];
    GDALGetGeoTransform(map, a);
    GDALGetGeoTransform(image, b);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(a[i], b[i]);
    EXPECT_STREQ(GDALGetProjectionRef(map), GDALGetProjectionRef(image));
    char** names = GDALGetRasterCategoryNames(band);
    ASSERT_EQ(CSLCount(names), 5);
    EXPECT_STREQ(names[0], "unclassified");
    EXPECT_STREQ(names[1], "AT");
    EXPECT_STREQ(names[4], "PH");
    GDALColorTableH colours = GDALGetRasterColorTable(band);
    ASSERT_TRUE(colours);
    for (int i = 1; i <= 4; ++i)
        for (int j = 0; j < i; ++j) {
            const GDALColorEntry* ci = GDALGetColorEntry(colours, i);
            const GDALColorEntry* cj = GDALGetColorEntry(colours, j);
            EXPECT_FALSE(ci->c1 == cj->c1 && ci->c2 == cj->c2 && ci->c3 == cj->c3) << i << j;
        }
    GDALClose(map);
    GDALClose(image);

    // Posteriors of every mapped pixel sum to 1; a pixel without data has none.
    std::vector<std::vector<double>> p;
    for (int c = 1; c <= 4; ++c) p.push_back(Band(rules, c));
    for (size_t i = 0; i < all.size(); ++i) {
        const double sum = p[0][i] + p[1][i] + p[2][i] + p[3][i];
        if (all[i] == '0')
            EXPECT_TRUE(std::isnan(sum)) << i;
        else
            EXPECT_NEAR(sum, 1.0, 1e-5) << i;
    }
    const nlohmann::json record = nlohmann::json::parse(test::FileText(Out("whole.json")));
    long long counted = record["unclassified_pixels"].get<long long>() +
                        record["no_data_pixels"].get<long long>();
    for (const auto& c : record["classes"]) {
        EXPECT_DOUBLE_EQ(c["area"].get<double>(), c["pixels"].get<double>() * 900.0);
        counted += c["pixels"].get<long long>();
    }
    EXPECT_EQ(counted, 32 * 32);
    EXPECT_EQ(record["provenance"]["sensor"]["name"], "EnMAP tile");
}

// Each refusal says what is wrong and writes nothing, and an earlier map under the same name
// stays as it was, also when a run is cancelled half way.
TEST_F(SpeciesMap, RefusalsAndCancelsLeaveAnEarlierMapAsItWas) {
    const std::string out = Out("map.tif");
    ASSERT_EQ(Map({"--image", Tile(0), "--out", out, "--rules", Out("rules.tif")}).rc, 0);
    const std::string before = Bytes(out), rules_before = Bytes(Out("rules.tif"));

    // A tile without its band metadata has no wavelengths.
    const std::string bare = Out("bare.tif");
    {
        GdalSession gdal;
        GDALDatasetH src = GDALOpen(Tile(0).c_str(), GA_ReadOnly);
        char* argv[] = {const_cast<char*>("-of"), const_cast<char*>("GTiff"),
                        const_cast<char*>("-b"), const_cast<char*>("1"), const_cast<char*>("-b"),
                        const_cast<char*>("2"), nullptr};
        GDALTranslateOptions* options = GDALTranslateOptionsNew(argv, nullptr);
        GDALDatasetH copy = GDALTranslate(bare.c_str(), src, options, nullptr);
        GDALTranslateOptionsFree(options);
        ASSERT_TRUE(copy);
        for (int b = 1; b <= 2; ++b) GDALSetMetadata(GDALGetRasterBand(copy, b), nullptr, nullptr);
        GDALClose(copy);
        GDALClose(src);
    }
    // The same tile without its scale holds integers in the thousands: mapped, with a warning.
    {
        GdalSession gdal;
        GDALDatasetH src = GDALOpen(Tile(0).c_str(), GA_ReadOnly);
        char* argv[] = {const_cast<char*>("-a_scale"), const_cast<char*>("1"), nullptr};
        GDALTranslateOptions* options = GDALTranslateOptionsNew(argv, nullptr);
        GDALDatasetH copy = GDALTranslate(Out("unscaled.tif").c_str(), src, options, nullptr);
        GDALTranslateOptionsFree(options);
        ASSERT_TRUE(copy);
        GDALClose(copy);
        GDALClose(src);
    }
    const test::CliOutcome unscaled = Map({"--image", Out("unscaled.tif"), "--out", Out("unscaled-map.tif")});
    EXPECT_EQ(unscaled.rc, 0) << unscaled.err;
    EXPECT_TRUE(test::Contains(unscaled.out, "The image may hold radiance")) << unscaled.out;

    std::string truncated = Bytes(Tile(0));
    truncated.resize(truncated.size() / 2);
    std::ofstream(Out("truncated.tif"), std::ios::binary) << truncated;

    const struct {
        std::vector<std::string> words;
        const char* says;
    } refusals[] = {
        {{"--image", bare}, "--wavelengths"},
        {{"--image", Out("truncated.tif")}, "truncated.tif"},
        {{"--image", Out("none.tif")}, "none.tif"},
        {{"--image", Tile(0), "--window", "30,30,5,5"}, "reaches outside the image"},
        {{"--image", Tile(0), "--tile", "5/4"}, "--tile"},
        {{"--image", Tile(0), "--threshold", "angle:0.1"}, "needs SAM"},
        {{"--image", Tile(0), "--derivative", "2"}, "run the principal component analysis"},
    };
    for (const auto& refusal : refusals) {
        std::vector<std::string> words = refusal.words;
        words.insert(words.end(), {"--out", out, "--rules", Out("rules.tif")});
        const test::CliOutcome r = Map(words);
        EXPECT_NE(r.rc, 0) << refusal.says;
        EXPECT_TRUE(test::Contains(r.err, refusal.says)) << r.err;
    }
    // A folder that cannot take the file.
    const test::CliOutcome r = Map({"--image", Tile(0), "--out", Out("missing/map.tif")});
    EXPECT_NE(r.rc, 0);
    EXPECT_TRUE(test::Contains(r.err, "missing/map.tif")) << r.err;

    // A disk that fills half way (here a file-size limit, as a full disk would): an error that
    // names the file and the reason, and the earlier map as it was.
    const std::string message = Out("message.txt");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        rlimit limit{4096, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &limit);
        signal(SIGXFSZ, SIG_IGN);
        int rc = 0;
        try {
            Workspace own(config_);
            LoadMapLibrary(own);
            test::RecordingFrontend quiet;
            MapImageOptions full;
            full.image = Tile(0);
            full.request.class_path = out;
            full.request.rules_path = Out("rules.tif");
            MapImage(own, quiet, full);
        } catch (const OrvaneError& e) {
            limit.rlim_cur = RLIM_INFINITY;  // room for the message
            setrlimit(RLIMIT_FSIZE, &limit);
            std::ofstream(message) << e.what();
            rc = 3;
        }
        _exit(rc);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3) << "a map the disk could not take must be an error";
    EXPECT_TRUE(test::Contains(Bytes(message), "Cannot write " + dir_.Path()) &&
                test::Contains(Bytes(message), "File too large"))
        << Bytes(message);

    // Cancelled at the first window.
    Workspace space(config_);
    LoadMapLibrary(space);
    test::RecordingFrontend frontend;
    frontend.Progress().RequestCancel();
    MapImageOptions options;
    options.image = Tile(0);
    options.request.class_path = out;
    options.request.rules_path = Out("rules.tif");
    EXPECT_THROW(MapImage(space, frontend, options), Cancelled);

    EXPECT_EQ(Bytes(out), before);
    EXPECT_EQ(Bytes(Out("rules.tif")), rules_before);
    for (const auto& entry : std::filesystem::directory_iterator(dir_.Path())) {
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(name.find(".partial-"), std::string::npos) << name;
        EXPECT_NE(name, "bare.json");
        EXPECT_NE(name, "truncated.json");
    }
}

}  // namespace
}  // namespace orvane
