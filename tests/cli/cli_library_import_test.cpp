// SPDX-License-Identifier: GPL-3.0-or-later
// Spectral libraries made into studies, and the accuracy of a class map, from the command line.
#include <gtest/gtest.h>

#include <fstream>

#include "support/cli_fixture.h"
#include "support/raster_file.h"

namespace orvane {
namespace {

using test::Contains;
using Outcome = test::CliOutcome;

std::string LastLine(const std::string& text) {
    const size_t end = text.find_last_not_of('\n');
    const size_t start = text.rfind('\n', end);
    return text.substr(start == std::string::npos ? 0 : start + 1,
                       end - (start == std::string::npos ? 0 : start + 1) + 1);
}

class CliLibraryImport : public test::CliFixture {
  protected:
    CliLibraryImport() : CliFixture("clilibimport") {}

    std::string Write(const std::string& name, const std::string& text) {
        std::ofstream(dir_.File(name)) << text;
        return dir_.File(name);
    }
    // Spectra of study `b` equal to those of study `a` by species, site, number and value.
    int SameSpectra(int a, int b) {
        return test::Count(
            scratch_.Admin(),
            "select count(*) from spectrum x join site sx on sx.site_id = x.site_id join species "
            "px on px.species_id = x.species_id join spectrum y join site sy on sy.site_id = "
            "y.site_id join species py on py.species_id = y.species_id where x.study_id = " +
                std::to_string(a) + " and y.study_id = " + std::to_string(b) +
                " and px.folder_name = py.folder_name and sx.site_no = sy.site_no and "
                "x.spectrum_no = y.spectrum_no and x.reflectances = y.reflectances");
    }
};

TEST_F(CliLibraryImport, ExportedLibraryComesBackAsTheStudy) {
    ASSERT_EQ(Cli({"study", "create", "--name", "Demo", "--path",
                   test::SourcePath("examples/demo-study")})
                  .rc,
              0);
    ASSERT_EQ(Cli({"import"}).rc, 0);
    const Outcome exported =
        Cli({"export", "--stage", "raw", "--format", "envi-sli", "--species", "all"});
    ASSERT_EQ(exported.rc, 0) << exported.err;
    const std::string sli = LastLine(exported.out);

    const Outcome r = Cli({"study", "import-library", sli, "--name", "Back"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "2\tBack\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "4 species, 17 sites and 149 spectra")) << r.out;
    // Every stored float comes back bit for bit, in its species, site and number.
    EXPECT_EQ(SameSpectra(1, 2), 149);
    EXPECT_EQ(Count("spectrum"), 298);
}

TEST_F(CliLibraryImport, TableOfRowsClassesAndRefusals) {
    const std::string table = test::TestData("library/parthenium_excerpt.csv");
    Outcome r = Cli({"study", "import-library", table});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "1\tparthenium_excerpt\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "divided by 100 (percent)")) << r.out;
    EXPECT_EQ(Count("species where study_id = 1"), 2);
    EXPECT_EQ(Count("spectrum where study_id = 1"), 3);

    const std::string classes = Write("classes.csv", "spectrum,class\nPH,weed\nAT,\n");
    r = Cli({"study", "import-library", table, "--name", "Weeds", "--classes", classes});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "1 species, 1 sites and 2 spectra; 1 left out")) << r.out;
    EXPECT_EQ(Count("species where study_id = 2 and folder_name = 'weed'"), 1);

    // Refused without a study left behind.
    const struct {
        std::vector<std::string> args;
        int rc;
        const char* says;
    } cases[] = {
        {{"study", "import-library", table, "--name", "Weeds"}, 1, "There is a study \"Weeds\""},
        {{"study", "import-library", dir_.File("none.csv")}, 1, "cannot be opened"},
        {{"study", "import-library",
          Write("twice.csv",
                "nm,a site 1 spectrum 2,a site 1 "
                "spectrum 2\n400,0.1,0.2\n")},
         1,
         "would both be spectrum 2 of site 1 of species \"a\""},
        {{"study", "import-library", table, "--classes",
          Write("two.csv", "spectrum,class\nPH,x\nAT,y\nPH,z\n")},
         1,
         "spectrum \"PH\" is given the class \"z\" here and \"x\" on line 2"},
        {{"study", "import-library", table, "--classes",
          Write("some.csv", "spectrum,class\nPH,x\n")},
         1,
         "gives no class for the spectra \"AT\""},
        {{"study", "import-library", table, "--scale", "0"}, 2, "--scale"},
        {{"study", "import-library"}, 2, "needs one FILE"},
    };
    for (const auto& c : cases) {
        const Outcome refused = Cli(c.args);
        EXPECT_EQ(refused.rc, c.rc) << c.says << "\n" << refused.err;
        EXPECT_TRUE(Contains(refused.err, c.says)) << refused.err;
    }
    EXPECT_EQ(Count("study"), 2);
}

TEST_F(CliLibraryImport, MapAccuracyPrintsItsFiles) {
    // A 3 x 2 map of two classes against labels that miss one pixel of each.
    const std::string map = dir_.File("map.tif");
    const std::string labels = dir_.File("labels.tif");
    test::WriteRaster(map, GDT_UInt16, 3, 2, {1, 1, 2, 1, 2, 2}, 500000.0,
                      {"none", "crop", "fallow"});
    test::WriteRaster(labels, GDT_Byte, 3, 2, {1, 2, 2, 1, 1, 2});
    Outcome r = Cli({"map-accuracy", "--map", map, "--reference", labels});
    ASSERT_EQ(r.rc, 0) << r.err;
    const std::string csv = dir_.Path() + "/output/Map Accuracy.csv";
    EXPECT_TRUE(Contains(r.out, "Overall Accuracy: 66.66667 % (6 labelled pixels)")) << r.out;
    EXPECT_TRUE(Contains(r.out, "\n" + csv + "\n" + dir_.Path() + "/output/Map Accuracy.json\n"))
        << r.out;

    r = Cli({"map-accuracy", "--map", map});
    EXPECT_EQ(r.rc, 2);
    EXPECT_TRUE(Contains(r.err, "needs --reference")) << r.err;
    r = Cli({"map-accuracy", "--map", map, "--reference", labels, "--classes",
             Write("m.csv", "reference,map\n1,crop\n2,rye\n")});
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(Contains(r.err,
                         "\"rye\" is no class of the map; its classes are 1 crop, 2 "
                         "fallow"))
        << r.err;
}

}  // namespace
}  // namespace orvane
