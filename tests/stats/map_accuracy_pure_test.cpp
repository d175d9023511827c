// SPDX-License-Identifier: GPL-3.0-or-later
// The accuracy of a class map: the area-adjusted estimators on the worked example of Olofsson
// et al. (2014), and the whole run on small rasters and point files written here with GDAL.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>

#include "base/orvane_error.h"
#include "base/output_folder.h"
#include "forms/result_tables.h"
#include "stats/map_accuracy.h"
#include "support/analysis_rig.h"
#include "support/raster_file.h"
#include "support/scratch_database.h"

namespace orvane {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Olofsson, Foody, Herold, Stehman, Woodcock, Wulder (2014), Remote Sensing of Environment 148:
// 42-57, Table 8: sample counts (rows map class = stratum, columns reference) and the mapped
// pixels of deforestation, forest gain, stable forest, stable non-forest.
const std::vector<std::vector<double>> kOlofssonCounts = {
    {66, 0, 5, 4}, {0, 55, 8, 12}, {1, 0, 153, 11}, {2, 1, 9, 313}};
const std::vector<double> kOlofssonPixels = {200000, 150000, 3200000, 6450000};

TEST(MapAccuracyEstimates, OlofssonWorkedExample) {
    const AreaAdjustedEstimates e = EstimateAreaAdjusted(kOlofssonCounts, kOlofssonPixels);
    const double total = 10000000.0;
    // numpy, eqs. 4 and 9-10 written out on the table above (tests record the literals):
    //   W = A / A.sum(); p = W[:,None] * n / n.sum(1)[:,None]; area = p.sum(0) * A.sum()
    //   se = sqrt((W[:,None]**2 * f * (1 - f) / (n_i - 1)).sum(0)) * A.sum(), f = n / n_i
    // In hectares (x 0.09) these are the paper's 21,158 ± 6,158, 11,686 ± 3,756,
    // 285,770 ± 15,510 and 581,386 ± 16,282 ha (estimate ± 1.96 SE).
    const double area[] = {235086.2470862471, 129846.1538461538, 3175221.4452214455,
                           6459846.153846155};
    const double area_se[] = {34907.2244108116, 21291.5307562577, 87924.2420532233,
                              92299.639185061};
    for (size_t j = 0; j < 4; ++j) {
        EXPECT_NEAR(e.area_proportion[j] * total, area[j], 1e-6) << j;
        EXPECT_NEAR(e.area_proportion_se[j] * total, area_se[j], 1e-6) << j;
    }
    // The paper's Table 9 (to four places): p_11 0.0176, p_34 0.0213, p_44 0.6212.
    EXPECT_NEAR(e.proportions[0][0], 0.0176, 5e-5);
    EXPECT_NEAR(e.proportions[2][3], 0.0213, 5e-5);
    EXPECT_NEAR(e.proportions[3][3], 0.6212, 5e-5);
    // numpy: U = diag(p) / p.sum(1), SE sqrt(U (1 - U) / (n_i - 1)) (eq. 6); P = diag(p) /
    // p.sum(0) with eq. 7; O = trace(p), SE sqrt(sum W^2 U (1 - U) / (n_i - 1)) (eq. 5). The
    // paper prints 0.88 ± 0.07, 0.73 ± 0.10, 0.93 ± 0.04, 0.96 ± 0.02 (user's), 0.75 ± 0.21,
    // 0.85 ± 0.23 (eq. 7 gives ± 0.25), 0.93 ± 0.03, 0.96 ± 0.01 (eq. 7: ± 0.02) (producer's)
    // and 0.95 ± 0.02 (overall).
    const double users[] = {0.88, 0.7333333333333333, 0.9272727272727272, 0.9630769230769231};
    const double users_se[] = {0.0377760113, 0.0514066401, 0.0202782499, 0.0104762759};
    const double producers[] = {0.7486614048, 0.8471563981, 0.9345089086, 0.9616089928};
    const double producers_se[] = {0.1088315576, 0.129800184, 0.0175124605, 0.0093681303};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_NEAR(e.users[i], users[i], 1e-9) << i;
        EXPECT_NEAR(e.users_se[i], users_se[i], 1e-9) << i;
        EXPECT_NEAR(e.producers[i], producers[i], 1e-9) << i;
        EXPECT_NEAR(e.producers_se[i], producers_se[i], 1e-9) << i;
    }
    EXPECT_NEAR(e.overall, 0.9465118881118881, 1e-12);
    EXPECT_NEAR(e.overall_se, 0.009430417215588906, 1e-12);
}

TEST(MapAccuracyEstimates, StrataWithoutSamplesOrPixels) {
    // The second class covers pixels but was never sampled: nothing that sums over the strata
    // is defined, while the first class's own user's accuracy still is. A third class has
    // neither pixels nor samples and changes nothing.
    const AreaAdjustedEstimates e =
        EstimateAreaAdjusted({{3, 1, 0}, {0, 0, 0}, {0, 0, 0}}, {60, 40, 0});
    EXPECT_NEAR(e.users[0], 0.75, 1e-15);
    EXPECT_TRUE(std::isnan(e.users[1]));
    EXPECT_TRUE(std::isnan(e.area_proportion[0]));
    EXPECT_TRUE(std::isnan(e.overall));
    const AreaAdjustedEstimates f =
        EstimateAreaAdjusted({{3, 1, 0}, {1, 4, 0}, {0, 0, 0}}, {60, 40, 0});
    EXPECT_NEAR(f.overall, 0.6 * 0.75 + 0.4 * 0.8, 1e-15);
    EXPECT_EQ(f.area_proportion[2], 0.0);
    EXPECT_TRUE(std::isnan(f.producers[2]));
}

// A 6 x 5 class map (UInt8, classes grass, tree, water, 0 unclassified) and reference labels
// (Float32, 0 and NaN unlabelled) on a 30 m UTM grid.
const int kMap[5][6] = {{1, 1, 1, 2, 2, 0},
                        {1, 1, 2, 2, 2, 3},
                        {1, 1, 2, 2, 3, 3},
                        {0, 1, 2, 3, 3, 3},
                        {1, 1, 2, 2, 3, 3}};
const double kLabels[5][6] = {{1, 1, 2, 2, 2, 1},
                              {1, 0, 2, 2, 1, 3},
                              {1, 1, 2, 3, 3, 3},
                              {2, 1, 2, 3, 3, 0},
                              {1, 2, 2, 2, 3, kNaN}};

class MapAccuracyFiles : public ::testing::Test {
  protected:
    std::string Raster(const std::string& name, GDALDataType type, int width, int height,
                       const std::vector<double>& values, double x0 = 500000.0,
                       const std::vector<std::string>& categories = {}) {
        test::WriteRaster(dir_.File(name), type, width, height, values, x0, categories);
        return dir_.File(name);
    }

    std::string Map() {
        std::vector<double> v;
        for (const auto& row : kMap)
            for (int x : row) v.push_back(x);
        return Raster("map.tif", GDT_Byte, 6, 5, v, 500000.0,
                      {"unclassified", "grass", "tree", "water"});
    }
    std::string Labels(const std::string& name = "labels.tif", int height = 5,
                       double x0 = 500000.0) {
        std::vector<double> v;
        for (int y = 0; y < height; ++y)
            for (double x : kLabels[y % 5]) v.push_back(x);
        return Raster(name, GDT_Float32, 6, height, v, x0);
    }
    std::string Write(const std::string& name, const std::string& text) {
        std::ofstream(dir_.File(name)) << text;
        return dir_.File(name);
    }

    test::TempDir dir_;
    OutputFolder output_{"", dir_.Path() + "/out"};
    test::RecordingFrontend frontend_;
};

TEST_F(MapAccuracyFiles, RasterReferenceGivesMatrixEstimatesAndFiles) {
    MapAccuracyOptions options;
    options.map_path = Map();
    options.reference_path = Labels();
    const MapAccuracy r = RunMapAccuracy(options, output_, frontend_);

    EXPECT_EQ(r.names, (std::vector<std::string>{"grass", "tree", "water"}));
    // numpy on the two arrays above: counts[m-1, r-1] over pixels labelled (not 0, not NaN)
    // where the map has a class; two labelled pixels lie on unclassified ones.
    EXPECT_EQ(r.counts, (std::vector<std::vector<double>>{{7, 2, 0}, {1, 8, 1}, {0, 0, 6}}));
    EXPECT_EQ(r.map_pixels, (std::vector<double>{10, 10, 8}));
    EXPECT_EQ(r.unclassified_pixels, 2);
    EXPECT_EQ(r.samples, 25);
    EXPECT_EQ(r.samples_on_unclassified, 2);
    EXPECT_NEAR(r.overall_accuracy, 84.0, 1e-12);
    EXPECT_NEAR(r.kappa, 0.7566909975669099, 1e-12);
    EXPECT_NEAR(r.hectares_per_pixel, 0.09, 1e-12);
    // numpy with the estimators of the worked example on these counts and pixels.
    const AreaAdjustedEstimates& e = r.estimates;
    const double area[] = {8.777777777777779, 10.222222222222221, 9.0};
    const double area_se[] = {1.777777777777778, 1.984507899943528, 1.0};
    const double producers_se[] = {0.102732143597961, 0.116049424932029, 0.098765432098765};
    for (size_t c = 0; c < 3; ++c) {
        EXPECT_NEAR(e.area_proportion[c] * 28.0, area[c], 1e-12) << c;
        EXPECT_NEAR(e.area_proportion_se[c] * 28.0, area_se[c], 1e-12) << c;
        EXPECT_NEAR(e.producers_se[c], producers_se[c], 1e-12) << c;
    }
    EXPECT_NEAR(e.overall, 0.8492063492063492, 1e-12);
    EXPECT_NEAR(e.overall_se, 0.07087528214084028, 1e-12);

    // The error matrix in the labelled layout of da's validated file, then the estimates.
    ASSERT_EQ(r.path, output_.PathFor("Map Accuracy", "csv"));
    const std::vector<std::string> lines = test::Lines(r.path);
    ASSERT_GT(lines.size(), 20u);
    EXPECT_EQ(lines[0], "Classified as / Reference,grass,tree,water,Row Total,User Accuracy");
    EXPECT_EQ(lines[1], "grass,7,2,0,9,7.77777777777778E+01");
    EXPECT_EQ(lines[4], "Column Total,8,10,7,25,");
    EXPECT_EQ(lines[5].rfind("Producer Accuracy,8.75000000000000E+01,", 0), 0u) << lines[5];
    EXPECT_EQ(lines[7], "Overall Accuracy,8.40000000000000E+01");
    size_t estimates = 0;
    while (estimates < lines.size() && lines[estimates].rfind("Class,Map Pixels", 0) != 0)
        ++estimates;
    ASSERT_LT(estimates + 1, lines.size());
    const std::vector<std::string> water = test::Cells(lines[estimates + 3]);
    EXPECT_EQ(water[0], "water");
    EXPECT_EQ(water[1], "8");
    EXPECT_EQ(water[6], "9.00000000000000E+00");   // area in pixels
    EXPECT_EQ(water[10], "8.10000000000000E-01");  // in hectares

    const nlohmann::json json = test::ReadJson(r.json_path);
    EXPECT_EQ(json["analysis"], "map accuracy");
    EXPECT_EQ(json["provenance"]["map"], options.map_path);
    EXPECT_EQ(json["error_matrix"]["counts"][1][2], 1);
    EXPECT_NEAR(json["area_adjusted"]["classes"][1]["area_ha"].get<double>(), 0.92, 1e-12);

    // The window's two tables.
    const std::vector<ResultTable> tables = MapAccuracyTables(r);
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_EQ(tables[0].cells[0][0], "7");
    EXPECT_EQ(tables[1].rows, r.names);
    EXPECT_EQ(tables[1].cells[2][2], "9");
}

TEST_F(MapAccuracyFiles, PointsAndAMappingOfNames) {
    // Pixel centres: column c, row r at x = 500015 + 30 c, y = 5799985 - 30 r.
    const std::string points = Write("points.csv",
                                     "id,x,y,class\n"
                                     "1,500015,5799985,Gras\n"       // map grass
                                     "2,500105,5799955,Baum\n"       // map tree
                                     "3,500165,5799955,Wasser\n"     // map water
                                     "4,500135,5799925,Baum\n"       // map water
                                     "5,500015,5799895,Gras\n"       // map unclassified
                                     "6,500045,5799865,Strasse\n");  // left out
    const std::string mapping = Write("mapping.csv",
                                      "reference,map\nGras,grass\nBaum,2\n\"Wasser\",water\n"
                                      "Strasse,\n");
    MapAccuracyOptions options{Map(), points, mapping};
    const MapAccuracy r = RunMapAccuracy(options, output_, frontend_);
    EXPECT_TRUE(r.reference_points);
    EXPECT_EQ(r.counts, (std::vector<std::vector<double>>{{1, 0, 0}, {0, 1, 0}, {0, 1, 1}}));
    EXPECT_EQ(r.samples, 4);
    EXPECT_EQ(r.samples_on_unclassified, 1);
    EXPECT_EQ(r.samples_left_out, 1);
    // Without a mapping the names must be the map's own.
    const std::string named = Write("named.csv",
                                    "x,y,class\n500015,5799985,grass\n"
                                    "500105,5799955,2\n");
    const MapAccuracy n = RunMapAccuracy({Map(), named, ""}, output_, frontend_);
    EXPECT_EQ(n.counts, (std::vector<std::vector<double>>{{1, 0, 0}, {0, 1, 0}, {0, 0, 0}}));
}

TEST_F(MapAccuracyFiles, RefusesBadInputAndWritesNothing) {
    const std::string map = Map();
    const std::string points = Write("p.csv", "x,y,class\n500015,5799985,Gras\n");
    // A map cut short, as a copy that did not finish leaves it: GDAL's reason with its name.
    const std::string cut = dir_.File("cut.tif");
    std::filesystem::copy_file(map, cut);
    std::filesystem::resize_file(cut, std::filesystem::file_size(cut) - 20);
    const struct {
        MapAccuracyOptions options;
        std::string says;
    } cases[] = {
        {{map, Labels("short.tif", 4), ""}, "does not lie on the grid"},
        {{map, Labels("shifted.tif", 5, 500030.0), ""}, "does not lie on the grid"},
        {{map, dir_.File("missing.tif"), ""}, "missing.tif cannot be read"},
        {{dir_.File("none.tif"), Labels(), ""}, "none.tif cannot be read: there is no such file"},
        {{cut, Labels(), ""}, "Class map " + cut},
        // The labels hold 1 to 3; a mapping that sends 3 to a class the map lacks is refused.
        {{map, Labels(), Write("m1.csv", "reference,map\n1,grass\n2,tree\n3,forest\n")},
         "\"forest\" is no class of the map"},
        {{map, Labels(), Write("m2.csv", "reference,map\n1,grass\n2,tree\n")},
         "does not name the reference classes \"3\""},
        {{map, Labels(), Write("m3.csv", "reference,map\n1,grass\n1,tree\n")},
         "is mapped to \"tree\" here and to \"grass\" on line 2"},
        {{map, points, ""}, "reference classes \"Gras\" (1 point)"},
        {{map, Write("far.csv", "x,y,class\n400000,5799985,1\n"), ""},
         "lies outside the class map"},
        {{map, Write("q.csv", "x,y,class\n500015,5799985,\"grass\n"), ""}, "never closed"},
        {{map, Raster("half.tif", GDT_Float32, 6, 5, std::vector<double>(30, 1.5)), ""},
         "holds 1.5 at column 1, row 1"},
    };
    for (const auto& c : cases) {
        try {
            RunMapAccuracy(c.options, output_, frontend_);
            ADD_FAILURE() << "accepted: " << c.says;
        } catch (const OrvaneError& e) {
            EXPECT_TRUE(test::Contains(e.what(), c.says)) << e.what();
        }
    }
    EXPECT_FALSE(std::filesystem::exists(output_.PathFor("Map Accuracy", "csv")));
}

}  // namespace
}  // namespace orvane
