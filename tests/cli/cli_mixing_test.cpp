// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/cli_fixture.h"
#include "support/mixing_study.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

using test::Contains;

// Two endmember candidates and a mixture of them (0.7 grass, 0.3 soil) on the six-band sensor.
class CliMixing : public test::CliFixture {
  protected:
    CliMixing() : CliFixture("climixing", {"--study", "field"}) {}

    void SetUp() override {
        test::InsertGrassSoilMixStudy(scratch_.Admin(), "field");
        test::WriteMixingSensor(dir_.File("six.txt"));
        ASSERT_EQ(Cli({"sensor", "import", dir_.File("six.txt")}).rc, 0);
    }
};

TEST_F(CliMixing, MarkRecordUnmixAndRefuse) {
    test::CliOutcome r = Cli({"endmember", "add", "grass", "soil"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, "Endmember: grass\nEndmember: soil\n");

    r = Cli({"mixture", "set", "mix", "--endmember", "grass", "--abundance", "0.7"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, "grass\t0.7\ntotal\t0.7\n");
    ASSERT_EQ(Cli({"mixture", "set", "mix", "--endmember", "soil", "--abundance", "0.25"}).rc, 0);
    r = Cli({"mixture", "set", "mix", "--endmember", "soil", "--abundance", "0.3"});
    EXPECT_EQ(r.out, "grass\t0.7\nsoil\t0.3\ntotal\t1\n");
    EXPECT_EQ(Count("mixture"), 2);

    r = Cli({"unmix"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out,
              "Spectral Unmixing\nChain: study \"field\"; sensor Mixing 6 bands; splice correction off (splice joins: 1000-1001 1800-1801); waveband filter none; smoothing none; continuum removal off (continuum ranges: the whole valid range)\n"
              "mix\n0.70  grass\n0.30  soil\n"
              "residual RMSE over sensor elements 1, 2, 3, 6: 0.000000\n\nsimulated mixture "
              "abundances from database:\n0.70 grass\n0.30 soil\n\nabsolute errors:\n"
              "0.00  grass\n0.00  soil\n");
    const nlohmann::json unmixed =
        nlohmann::json::parse(test::FileText(dir_.Path() + "/output/unmixing_output.json"));
    EXPECT_EQ(unmixed["mixtures"][0]["mixture"], "mix");
    EXPECT_NEAR(unmixed["mixtures"][0]["fractions"][0]["estimate"].get<double>(), 0.7, 0.005);
    EXPECT_EQ(
        test::FileText(dir_.Path() + "/output/unmixing.csv")
            .rfind("Mixture,Endmember,Estimate,Outside 0-1,Recorded,Residual RMSE\nmix,grass,", 0),
        0u);

    // Other elements, as the window's choice: the residual line and the files name them.
    r = Cli({"unmix", "--elements", "6, 1,2"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(Contains(r.out,
                         "0.70  grass\n0.30  soil\nresidual RMSE over sensor elements "
                         "1, 2, 6: 0.000000\n"))
        << r.out;
    EXPECT_EQ(nlohmann::json::parse(
                  test::FileText(dir_.Path() + "/output/unmixing_output.json"))["sensor_elements"],
              nlohmann::json({1, 2, 6}));
    const struct {
        const char* elements;
        const char* in_err;
    } refused[] = {
        {"1,9", "has no element 9"},
        {"6", "with 2 endmembers: the sensor element 6 determines at most 1"},
        {"0", "\"0\" is no choice of sensor elements"},
        {"1,1", "names sensor element 1 twice"},
    };
    for (const auto& c : refused) {
        r = Cli({"unmix", "--elements", c.elements});
        EXPECT_EQ(r.rc, 1) << c.elements;
        EXPECT_TRUE(Contains(r.err, c.in_err)) << r.err;
        EXPECT_EQ(r.out, "") << c.elements;
    }
    EXPECT_TRUE(Contains(Cli({"unmix", "--help"}).out, "--elements N,N,...")) << r.out;

    r = Cli({"mixture", "remove", "mix", "--endmember", "soil"});
    EXPECT_EQ(r.out, "grass\t0.7\ntotal\t0.7\n");
    r = Cli({"endmember", "remove", "soil"});
    EXPECT_EQ(r.out, "Mixture species: soil\n");

    // What the core refuses is MixtureEditTest's; here the exit codes and the usage errors,
    // and that nothing changes.
    const struct {
        std::vector<std::string> args;
        int rc;
        const char* in_err;
    } cases[] = {
        {{"endmember", "add"}, 2, "endmember add needs at least one FOLDER"},
        {{"mixture", "set", "mix", "--endmember", "grass", "--abundance", "lots"}, 1, "lots"},
        {{"mixture", "set", "mix", "--endmember", "grass", "--abundance", "-5"}, 1, "0 to 1"},
        {{"mixture", "set", "mix", "--abundance", "0.3"}, 2, "needs --endmember FOLDER"},
        {{"mixture", "show"}, 2, "needs one mixture FOLDER"},
        // The core names no command; the CLI adds its own.
        {{"unmix", "--study", "empty"},
         1,
         "mark species of the study as endmembers first (orvane-cli endmember add FOLDER...)."},
    };
    test::InsertStudyWithChainRows(scratch_.Admin(), "empty");
    for (const auto& c : cases) {
        const test::CliOutcome r = Cli(c.args);
        EXPECT_EQ(r.rc, c.rc) << c.in_err;
        EXPECT_TRUE(Contains(r.err, c.in_err)) << r.err;
    }
    EXPECT_EQ(Cli({"endmember", "list"}).out, "grass\n");
    EXPECT_EQ(Count("mixture"), 1);
}

}  // namespace
}  // namespace orvane
