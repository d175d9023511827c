// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/workspace.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "base/orvane_error.h"
#include "chain/chain_options.h"
#include "chain/processing_session.h"
#include "study/study_loader.h"
#include "support/scratch_database.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

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
// a loader left on the previous study would import one study's files into another. An unknown
// study is refused and the current one stays.
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
    EXPECT_THROW(w.OpenStudy(std::string("Nowhere")), OrvaneError);
    EXPECT_EQ(w.Session().StudyId(), north_);
    EXPECT_EQ(w.Loader().StudyId(), north_);
}

}  // namespace
}  // namespace orvane
