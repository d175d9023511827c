// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>

#include "support/cli_fixture.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

class CliExport : public test::CliFixture {
  protected:
    CliExport() : CliFixture("cliexport") {}

    void SetUp() override {
        Database& db = scratch_.Admin();
        const int study = test::InsertStudy(db, "cli study");
        const int species = test::InsertSpecies(db, study, "GS");
        const int site = test::InsertSite(db, study, species, 1);
        for (int i = 1; i <= 3; ++i) {
            test::SpectrumValues row;
            row.spectrum_no = i;
            test::InsertSpectrum(db, study, species, site, row,
                                 test::Blob(test::DistinctReflectances(i)));
        }
        ASSERT_EQ(Cli({"sensor", "import", test::TestData("sensors/landsat8_oli.txt")}).rc, 0);
    }
};

TEST_F(CliExport, PrintsThePathOfTheFileItWroteOrRefusesBadChoices) {
    test::CliOutcome r = Cli({"export"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_NE(r.out.find("Exported 1 species"), std::string::npos) << r.out;
    const std::string path = r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1);
    EXPECT_EQ(std::filesystem::path(path.substr(0, path.size() - 1)).filename(),
              "cli study_Landsat 8 OLI_synth_lib_species.csv");
    EXPECT_TRUE(std::filesystem::exists(path.substr(0, path.size() - 1)));
    r = Cli({"export", "--stage", "raw", "--format", "envi", "--details", "site-mean", "--names",
             "number", "--offset", "5"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_NE(r.out.find("cli study_raw_lib_species_site_mean.txt"), std::string::npos) << r.out;

    for (const auto& [args, in_err] : {
             std::pair<std::vector<std::string>, const char*>{
                 {"export", "--stage", "cooked"}, "--stage must be raw|filtered|smoothed|synth"},
             {{"export", "--format", "xls"}, "--format must be arff|csv|envi"},
             {{"export", "--offset", "150"}, "--offset must be a whole number from 0 to 100"},
         }) {
        r = Cli(args);
        EXPECT_EQ(r.rc, 2) << in_err;
        EXPECT_NE(r.err.find(in_err), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace orvane
