// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>

#include "support/cli_fixture.h"
#include "support/feature_study.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

using test::Contains;

// Two species of known features in "field" (beta alone, with fewer spectra, in "elsewhere"),
// the three-band sensor, the NTBI pair feature space and a PCT one.
class CliLibrary : public test::CliFixture {
  protected:
    CliLibrary() : CliFixture("clilibrary", {"--study", "field", "--fs-type", "NTBI"}) {}

    void SetUp() override {
        Database& db = scratch_.Admin();
        test::InsertAlphaBetaStudy(db, "field");
        const int other = test::InsertStudyWithChainRows(db, "elsewhere");
        test::InsertFeatureSpecies(db, other, "beta", {{1, {{-0.1, -0.05}, {-0.05, -0.1}}}});
        test::InsertPairFeatureSpace(db);
        db.Execute(
            "insert into feature_space (name, description, dimension, fs_type_id, build_date) "
            "values ('PCT 2', '', 2, (select fs_type_id from feature_space_type where type = 2), "
            "current_timestamp(6))");
        test::WriteThreeBandSensor(dir_.File("bands.txt"));
        ASSERT_EQ(Cli({"sensor", "import", dir_.File("bands.txt")}).rc, 0);
    }
    std::string Output(const std::string& name) { return dir_.Path() + "/output/" + name; }
};

// The usage errors are the interface's own; why a library is not ready is the core's.
TEST_F(CliLibrary, RefusalsThenBuildAnalyseAndWriteTheirFiles) {
    const struct {
        std::vector<std::string> args;
        int rc;
        const char* in_err;
    } cases[] = {
        {{"da"}, 1, "Library Not Ready: No library has been built for study 'field'"},
        {{"site-check"}, 2, "site-check needs --species FOLDER"},
        {{"da-independent"}, 2, "da-independent needs --with STUDY"},
        {{"da", "--names", "nick"}, 2, "--names must be common|maori|latin|folder"},
        {{"separability", "--distance", "jb"}, 2, "--distance must be jm|b|both"},
    };
    for (const auto& c : cases) {
        const test::CliOutcome refused = Cli(c.args);
        EXPECT_EQ(refused.rc, c.rc) << c.in_err;
        EXPECT_TRUE(Contains(refused.err, c.in_err)) << refused.err;
    }
    test::CliOutcome r = Cli({"library", "status"});
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "Not Ready\n");

    r = Cli({"library", "build"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "New library built and reloaded")) << r.out;
    EXPECT_EQ(Cli({"library", "status"}).out, "Ready\n");

    r = Cli({"da", "--names", "folder"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "Cohen's kappa: 1.00000")) << r.out;
    EXPECT_TRUE(Contains(r.out, "Overall Accuracy: 100.00000")) << r.out;
    EXPECT_TRUE(std::filesystem::exists(Output("Error Matrix.csv")));

    // Both faces name the shrunk classifier; its report opens with the classes' intensities
    // (scikit-learn's LedoitWolf on the standardised features).
    r = Cli({"da", "--names", "folder", "--classifier", "mahalanobis-shrunk"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "Ledoit-Wolf shrinkage intensities (standardised features)\n"
                                "alpha  1.000000\nbeta   1.000000\n"))
        << r.out;
    EXPECT_TRUE(Contains(r.out, "Overall Accuracy: 100.00000")) << r.out;
    EXPECT_TRUE(Contains(Cli({"--help"}).out,
                         "--classifier mahalanobis|modified-mahalanobis|gsd|sam|"
                         "mahalanobis-shrunk\n"));

    r = Cli({"da-independent", "--with", "elsewhere"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "Library Accuracy Check")) << r.out;

    r = Cli({"site-check", "--species", "alpha"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(
        Contains(r.out, "Site 1 (2 spectra)\n1.  beta  -> 0.00  \n2.  alpha  -> 100.00  \n"))
        << r.out;

    r = Cli({"classify", test::TestData("asd/as7/v7sample00003.asd"), dir_.File("missing.asd")});
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(Contains(r.out, "v7sample00003.asd\n1.  ")) << r.out;
    EXPECT_TRUE(Contains(r.err, "missing.asd")) << r.err;

    r = Cli({"separability", "--distance", "jm"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "JM output written to file:\n" + Output("JM output.csv")));

    r = Cli({"pca"});
    ASSERT_EQ(r.rc, 0) << r.err;
    const std::string csv = Output("pca_output.csv");
    const std::string svg = Output("pca_score_plot.svg");
    EXPECT_EQ(r.out.substr(r.out.size() - csv.size() - svg.size() - 2), csv + "\n" + svg + "\n");
    const std::string plot = test::FileText(svg);
    EXPECT_TRUE(Contains(plot, "<title>PCA Score Plot of study 'field'</title>")) << plot;
    size_t circles = 0;  // one per spectrum of alpha and beta
    for (size_t at = 0; (at = plot.find("<circle ", at)) != std::string::npos; ++at) ++circles;
    EXPECT_EQ(circles, 8u);

    // Another derivative is another chain: its library was never built.
    r = Cli({"da", "--derivative", "1"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(Contains(r.err, "Library Not Ready")) << r.err;
    EXPECT_EQ(Cli({"library", "status", "--derivative", "1"}).out, "Not Ready\n");
}

}  // namespace
}  // namespace orvane
