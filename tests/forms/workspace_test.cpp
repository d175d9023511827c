// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/workspace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "base/orvane_error.h"
#include "chain/chain_options.h"
#include "chain/processing_session.h"
#include "stats/spectral_statistics.h"
#include "store/database.h"
#include "study/study_loader.h"
#include "support/scratch_database.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

using test::Contains;

// The command line prints the configuration's warnings even when the server then cannot be
// reached, so the workspace must hand them over before it connects.
TEST(WorkspaceStartup, ConfigurationWarningsComeOutBeforeAFailedConnection) {
    test::TempDir dir;
    const std::string path = dir.File("spectra_config.txt");
    std::ofstream(path) << "server 127.0.0.1\nport 1\nuser nobody\npassword x\ndatabase none\n"
                        << "output_dir " << dir.Path() << "/output\n";
    std::filesystem::permissions(path, std::filesystem::perms::others_read,
                                 std::filesystem::perm_options::add);
    std::vector<std::string> seen;
    EXPECT_THROW(Workspace(path, [&seen](const std::string& w) { seen.push_back(w); }),
                 ConnectError);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(Contains(seen[0], "chmod 600 " + path)) << seen[0];
}

TEST(WorkspaceStartup, AMissingConfigurationIsNamed) {
    test::TempDir dir;
    try {
        Workspace workspace(dir.File("absent.txt"));
        ADD_FAILURE() << "opened";
    } catch (const FileNotFoundError& e) {
        EXPECT_TRUE(Contains(e.what(), "absent.txt")) << e.what();
    }
}

class WorkspaceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        north_ = test::InsertStudyWithChainRows(scratch_.Admin(), "North");
        south_ = test::InsertStudyWithChainRows(scratch_.Admin(), "South");
        workspace_ = std::make_unique<Workspace>(scratch_.WriteConfig(dir_.Path()));
    }

    test::ScratchDatabase scratch_{"workspace"};
    test::TempDir dir_;
    int north_ = 0;
    int south_ = 0;
    std::unique_ptr<Workspace> workspace_;
};

// However a study becomes current, the loader that imports into and reads from it follows:
// a loader left on the previous study would import one study's files into another.
TEST_F(WorkspaceTest, TheLoaderFollowsTheCurrentStudyHoweverItWasChosen) {
    Workspace& w = *workspace_;
    EXPECT_EQ(w.Session().StudyId(), north_);
    EXPECT_EQ(w.Loader().StudyId(), north_);
    struct Case {
        const char* how;
        std::function<void()> choose;
        int study;
    };
    for (const Case& c : std::vector<Case>{
             {"by name", [&] { w.OpenStudy(std::string("South")); }, south_},
             {"by id", [&] { w.OpenStudy(north_); }, north_},
             {"by the chain options",
              [&] {
                  ChainOptions options;
                  options.study = "South";
                  ApplyChainOptions(w.Session(), options);
              },
              south_},
             {"through the session alone", [&] { w.Session().SetStudy(north_); }, north_},
         }) {
        c.choose();
        EXPECT_EQ(w.Session().StudyId(), c.study) << c.how;
        EXPECT_EQ(w.Loader().StudyId(), c.study) << c.how;
    }
}

TEST_F(WorkspaceTest, AnUnknownStudyIsRefusedAndTheCurrentOneStays) {
    EXPECT_THROW(workspace_->OpenStudy(std::string("Nowhere")), OrvaneError);
    EXPECT_EQ(workspace_->Session().StudyId(), north_);
    EXPECT_EQ(workspace_->Loader().StudyId(), north_);
}

}  // namespace
}  // namespace orvane
