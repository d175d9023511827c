// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

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

    // Other elements, as the window's choice: the residual line names them.
    r = Cli({"unmix", "--elements", "6, 1,2"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(Contains(r.out,
                         "0.70  grass\n0.30  soil\nresidual RMSE over sensor elements "
                         "1, 2, 6: 0.000000\n"))
        << r.out;
    // What the elements must be to unmix is UnmixTest's; here what the command line reads.
    ExpectRefusals({{{"unmix", "--elements", "0"}, 1, "\"0\" is no choice of sensor elements"},
                    {{"unmix", "--elements", "1,1"}, 1, "names sensor element 1 twice"}});
    EXPECT_TRUE(Contains(Cli({"unmix", "--help"}).out, "--elements N,N,...")) << r.out;

    r = Cli({"mixture", "remove", "mix", "--endmember", "soil"});
    EXPECT_EQ(r.out, "grass\t0.7\ntotal\t0.7\n");
    r = Cli({"endmember", "remove", "soil"});
    EXPECT_EQ(r.out, "Mixture species: soil\n");

    // What the core refuses is MixtureEditTest's; here the exit codes and the usage errors,
    // and that nothing changes.
    test::InsertStudyWithChainRows(scratch_.Admin(), "empty");
    ExpectRefusals({
        {{"endmember", "add"}, 2, "endmember add needs at least one FOLDER"},
        {{"mixture", "set", "mix", "--endmember", "grass", "--abundance", "lots"}, 1, "lots"},
        {{"mixture", "set", "mix", "--endmember", "grass", "--abundance", "-5"}, 1, "0 to 1"},
        {{"mixture", "set", "mix", "--abundance", "0.3"}, 2, "needs --endmember FOLDER"},
        {{"mixture", "show"}, 2, "needs one mixture FOLDER"},
        // The core names no command; the CLI adds its own.
        {{"unmix", "--study", "empty"},
         1,
         "mark species of the study as endmembers first (orvane-cli endmember add FOLDER...)."},
    });
    EXPECT_EQ(Cli({"endmember", "list"}).out, "grass\n");
    EXPECT_EQ(Count("mixture"), 1);
}

}  // namespace
}  // namespace orvane
