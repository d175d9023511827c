// SPDX-License-Identifier: GPL-3.0-or-later
// The study commands and the import, run in-process on the demo study.
#include <gtest/gtest.h>

#include <fstream>

#include "support/cli_fixture.h"
#include "support/instrument_file.h"

namespace orvane {
namespace {

using Outcome = test::CliOutcome;

using test::Contains;

class CliStudy : public test::CliFixture {
  protected:
    CliStudy() : CliFixture("clistudy") {}
};

TEST_F(CliStudy, CreateImportReportDeleteAndSkip) {
    ExpectRefusals({{{"study", "create", "--path", "/d"}, 2, "--name"},
                    {{"study", "create", "--name", "A"}, 2, "--path"},
                    {{"study", "report"}, 1, "no study"}});
    const std::string demo = test::SourcePath("examples/demo-study");
    Outcome r = Cli({"study", "create", "--name", "Demo", "--path", demo, "--description",
                     "four classes", "--min-samples", "8"});
    ASSERT_EQ(r.rc, 0) << r.err;
    int id = 0;
    scratch_.Admin().QueryInt("select study_id from study", id);
    EXPECT_EQ(r.out, std::to_string(id) + "\tDemo\n");

    r = Cli({"--study", "Demo", "import"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out,
              "Processing AT\nProcessing GS\nProcessing OPS\nProcessing PH\n"
              "Added 4 species, 17 sites and 149 spectra; 0 skipped\n");
    EXPECT_EQ(Count("spectrum"), 149);

    r = Cli({"study", "report"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, "Report about study 'Demo':\n\nDescription:\nfour classes\n\nDatapath:\n" +
                         demo +
                         "\n\nNumber of minimum spectra per endmember:\n8\n\nNumber of species:\n4"
                         "\n\nNumber of spectra:\n149\n\nSpectra capturing timeframe:\n"
                         "2019-03-05 09:00:00 - 2019-03-11 09:00:00\n");

    // Without --yes nothing goes, and the user is told how to confirm.
    r = Cli({"study", "delete", "--study", "Demo"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(Contains(r.err, "The study 'Demo' including all spectral data will be deleted"))
        << r.err;
    EXPECT_TRUE(Contains(r.err, "add --yes")) << r.err;
    EXPECT_EQ(Count("spectrum"), 149);

    r = Cli({"study", "delete", "--yes"});
    ASSERT_EQ(r.rc, 0) << r.err;
    // The window's "Click OK" has no place where a flag answers.
    EXPECT_FALSE(Contains(r.out + r.err, "Click OK")) << r.err;
    EXPECT_TRUE(Contains(r.out, "Study 'Demo' has been removed from the database\n")) << r.out;
    EXPECT_EQ(Count("study"), 0);
    EXPECT_EQ(Count("spectrum"), 0);

    // An import that skipped files ends with status 3.
    test::WriteInstrumentFile(dir_.File("tree/Kauri/site1/k.001"));
    std::ofstream(dir_.File("tree/Kauri/site1/k.002"), std::ios::binary) << "short";
    ASSERT_EQ(Cli({"study", "create", "--name", "Tree", "--path", dir_.File("tree")}).rc, 0);
    r = Cli({"import"});
    EXPECT_EQ(r.rc, 3) << r.err;
    EXPECT_TRUE(Contains(r.out, "Added 1 species, 1 sites and 1 spectra; 1 skipped")) << r.out;
}

// A study named with digits once took the place of another study's id: "study delete --yes"
// deleted the study the user did not mean.
TEST_F(CliStudy, DigitNamesAreRefusedAndNeverPickAnotherStudy) {
    for (const char* name : {"Alpha", "Beta"})
        ASSERT_EQ(Cli({"study", "create", "--name", name, "--path", "/d"}).rc, 0);
    // Which names are refused is NewNames's; here that study creation checks them.
    ExpectRefusals({{{"study", "create", "--name", "2", "--path", "/d"}, 1,
                     "The study name \"2\" is made of digits only"},
                    {{"study", "create", "--name", "bad\xFF\xFE", "--path", "/d"}, 1,
                     "\"bad\\xff\\xfe\" is not valid UTF-8"}});
    EXPECT_EQ(Count("study"), 2);

    // A study that got the name "1" before such names were refused (id 3) is reached by
    // name:1, and bare "1" picks neither it nor study 1.
    scratch_.Admin().Execute("insert into study (name, datapath) values ('1', '/d')");
    Outcome r = Cli({"--study", "1", "study", "delete", "--yes"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(Contains(r.err, "\"1\" is ambiguous: it is the id of a study, and study 3 is "
                                "named \"1\"; give id:1 for the id or name:1 for the name."))
        << r.err;
    EXPECT_EQ(Count("study"), 3);
    r = Cli({"--study", "id:1", "study", "report"});
    EXPECT_TRUE(Contains(r.out, "Report about study 'Alpha'")) << r.out << r.err;
    r = Cli({"study", "delete", "--study", "name:1", "--yes"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(Count("study where name = 'Alpha'"), 1);
    EXPECT_EQ(Count("study where study_id = 3"), 0);
    // With the clash gone, bare digits are the id again.
    ASSERT_EQ(Cli({"study", "delete", "--study", "2", "--yes"}).rc, 0);
    EXPECT_EQ(Count("study where name = 'Beta'"), 0);
    EXPECT_EQ(Count("study"), 1);
}

// Two runs of the real program on one study at once both end well, and each species and
// spectrum is stored once.
TEST_F(CliStudy, TwoImportsOfOneStudyAtOnceStoreEachSpectrumOnce) {
    const std::string demo = test::SourcePath("examples/demo-study");
    for (const std::string name : {"Demo1", "Demo2", "Demo3"}) {
        ASSERT_EQ(Cli({"study", "create", "--name", name, "--path", demo}).rc, 0);
        const std::string command = std::string(ORVANE_CLI_PATH) + " --config " + config_ +
                                    " --study " + name + " import >/dev/null 2>&1";
        FILE* runs[2] = {popen(command.c_str(), "r"), popen(command.c_str(), "r")};
        for (FILE* run : runs) {
            ASSERT_NE(run, nullptr);
            const int status = pclose(run);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << name;
        }
        const std::string of_study =
            " where study_id = (select study_id from study where name = '" + name + "')";
        EXPECT_EQ(Count("spectrum" + of_study), 149);
        EXPECT_EQ(Count("species" + of_study), 4);
    }
}

}  // namespace
}  // namespace orvane
