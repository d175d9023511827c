#include <gtest/gtest.h>

#include <filesystem>

#include "support/cli_fixture.h"
#include "support/feature_study.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

using test::Contains;

size_t Occurrences(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

class CliAnalysis : public test::CliFixture {
  protected:
    CliAnalysis() : CliFixture("clianalysis", {"--study", "field"}) {}

    void SetUp() override {
        Database& db = scratch_.Admin();
        const int study = test::InsertStudyWithChainRows(db, "field");
        test::InsertFeatureSpecies(
            db, study, "alpha",
            {{1, {{0.10, 0.20}, {0.30, 0.10}}}, {2, {{0.20, 0.40}, {0.15, 0.25}}}});
        test::InsertFeatureSpecies(
            db, study, "beta",
            {{1, {{-0.20, 0.00}, {0.00, -0.20}, {-0.10, -0.10}, {-0.05, 0.05}}}});
        const int sparse = test::InsertStudyWithChainRows(db, "sparse");
        test::InsertFeatureSpecies(db, sparse, "beta", {{1, {{-0.1, -0.05}, {-0.05, -0.1}}}});
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

TEST_F(CliAnalysis, PcaAndSeparabilityWriteTheirFilesOrSayWhyNot) {
    test::CliOutcome r = Cli({"pca"});
    ASSERT_EQ(r.rc, 0) << r.err;
    const std::string csv = Output("pca_output.csv");
    const std::string svg = Output("pca_score_plot.svg");
    EXPECT_EQ(r.out.substr(r.out.size() - csv.size() - svg.size() - 2), csv + "\n" + svg + "\n");
    EXPECT_TRUE(Contains(r.out, "Principal Component Analysis")) << r.out;
    const std::string plot = test::FileText(svg);
    EXPECT_TRUE(Contains(plot, "<title>PCA Score Plot of study 'field'</title>")) << plot;
    EXPECT_EQ(Occurrences(plot, "<circle "), 8u);  // one per spectrum of alpha and beta
    EXPECT_EQ(Occurrences(plot, "<line "), 12u);   // two axes, five ticks on each
    EXPECT_EQ(Occurrences(plot, "<text "), 10u);   // their labels
    // The form's list now offers the PCT feature space.
    EXPECT_TRUE(Contains(Cli({"--fs-type", "PCT", "feature-space", "list"}).out, "PCT 2"));

    const struct {
        std::vector<std::string> args;
        int rc;
        const char* in_err;
    } refusals[] = {
        {{"--study", "sparse", "pca"}, 1, "No data found for PCA!"},
        {{"--fs-type", "NTBI", "separability"}, 1, "Library Not Ready: No library has been built"},
        {{"separability", "--distance", "jb"}, 2, "--distance must be jm|b|both"},
    };
    for (const auto& c : refusals) {
        r = Cli(c.args);
        EXPECT_EQ(r.rc, c.rc) << c.in_err;
        EXPECT_TRUE(Contains(r.err, c.in_err)) << r.err;
    }
    ASSERT_EQ(Cli({"--fs-type", "NTBI", "library", "build"}).rc, 0);
    r = Cli({"--fs-type", "NTBI", "separability", "--distance", "jm"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "JM output written to file:\n" + Output("JM output.csv")));
    scratch_.Admin().Execute("delete from feature_space where name = 'PCT 2'");
    r = Cli({"pca"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.out.substr(r.out.size() - csv.size() - 1), csv + "\n");
    EXPECT_TRUE(Contains(r.err, "No score plot: there is no PCT feature space")) << r.err;
}

}  // namespace
}  // namespace orvane
