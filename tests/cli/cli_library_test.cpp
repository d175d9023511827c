#include <gtest/gtest.h>

#include <filesystem>

#include "support/cli_fixture.h"
#include "support/feature_study.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

using test::Contains;

class CliLibrary : public test::CliFixture {
  protected:
    CliLibrary() : CliFixture("clilibrary", {"--study", "field", "--fs-type", "NTBI"}) {}

    void SetUp() override {
        Database& db = scratch_.Admin();
        const int study = test::InsertStudyWithChainRows(db, "field");
        test::InsertFeatureSpecies(
            db, study, "alpha",
            {{1, {{0.10, 0.20}, {0.30, 0.10}}}, {2, {{0.20, 0.40}, {0.15, 0.25}}}});
        test::InsertFeatureSpecies(
            db, study, "beta",
            {{1, {{-0.20, 0.00}, {0.00, -0.20}, {-0.10, -0.10}, {-0.05, 0.05}}}});
        const int other = test::InsertStudyWithChainRows(db, "elsewhere");
        test::InsertFeatureSpecies(db, other, "beta", {{1, {{-0.1, -0.05}, {-0.05, -0.1}}}});
        test::InsertPairFeatureSpace(db);
        test::WriteThreeBandSensor(dir_.File("bands.txt"));
        ASSERT_EQ(Cli({"sensor", "import", dir_.File("bands.txt")}).rc, 0);
    }
};

TEST_F(CliLibrary, BuildThenAnalyse) {
    test::CliOutcome r = Cli({"library", "status"});
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "Not Ready\n");

    r = Cli({"library", "build"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "New library built and reloaded")) << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - 6), "Ready\n");
    EXPECT_EQ(Cli({"library", "status"}).out, "Ready\n");

    r = Cli({"da", "--names", "folder"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "Discriminant Analysis")) << r.out;
    EXPECT_TRUE(Contains(r.out, "Cohen's kappa: 1.00000")) << r.out;
    EXPECT_TRUE(Contains(r.out, "Overall Accuracy: 100.00000")) << r.out;
    const std::string matrix = dir_.Path() + "/output/Error Matrix.csv";
    EXPECT_TRUE(Contains(r.out, "Error Matrix.csv")) << r.out;
    EXPECT_TRUE(std::filesystem::exists(matrix)) << matrix;

    r = Cli({"da-independent", "--with", "elsewhere"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "Library Accuracy Check")) << r.out;
    EXPECT_TRUE(Contains(r.out, "Overall Accuracy: 100.00000")) << r.out;

    r = Cli({"site-check", "--species", "alpha"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "Site Accuracy Check for alpha\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "Site 1 (2 spectra)\n1.  beta  -> 0.00  \n2.  alpha  -> 100.00  \n"))
        << r.out;

    r = Cli({"classify", test::TestData("asd/as7/v7sample00003.asd"), dir_.File("missing.asd")});
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(Contains(r.out, "v7sample00003.asd\n1.  ")) << r.out;
    EXPECT_TRUE(Contains(r.err, "missing.asd")) << r.err;

    // Another derivative is another chain: its library was never built.
    r = Cli({"da", "--derivative", "1"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(Contains(r.err, "Library Not Ready")) << r.err;
    EXPECT_EQ(Cli({"library", "status", "--derivative", "1"}).out, "Not Ready\n");
}

TEST_F(CliLibrary, RefusalsAreClear) {
    const struct {
        std::vector<std::string> args;
        int rc;
        const char* in_err;
    } cases[] = {
        {{"da"}, 1, "Library Not Ready: No library has been built for study 'field'"},
        {{"classify", "x.asd"}, 1, "Library Not Ready"},
        {{"site-check", "--species", "alpha"}, 1, "Library Not Ready"},
        {{"site-check"}, 2, "site-check needs --species FOLDER"},
        {{"da-independent"}, 2, "da-independent needs --with STUDY"},
        {{"da-independent", "--with", "nowhere"}, 1, "There is no study \"nowhere\""},
        {{"da", "--names", "nick"}, 2, "--names must be common|maori|latin|folder"},
    };
    for (const auto& c : cases) {
        const test::CliOutcome r = Cli(c.args);
        EXPECT_EQ(r.rc, c.rc) << c.in_err;
        EXPECT_TRUE(Contains(r.err, c.in_err)) << r.err;
    }
    ASSERT_EQ(Cli({"library", "build"}).rc, 0);
    const test::CliOutcome r = Cli({"site-check", "--species", "gamma"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(Contains(r.err, "The library has no class \"gamma\"")) << r.err;
}

}  // namespace
}  // namespace orvane
