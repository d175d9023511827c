// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/feature_space_actions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/frontend.h"
#include "base/orvane_error.h"
#include "chain/processing_session.h"
#include "study/sensor_import.h"
#include "support/scratch_database.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

// What the dialog adds to storing: its working list, the modes and the state between OKs.
class FeatureSpaceActionsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::InsertStudy(scratch_.Admin(), "actions");
        session_ = std::make_unique<ProcessingSession>(scratch_.Connect(), nullptr);
        SilentFrontend quiet;
        ImportSensor(*session_, quiet, test::TestData("sensors/landsat8_oli.txt"), 0);
        FeatureSpaceActions actions(*session_);
        actions.Show(FeatureSpaceActions::kNew);
        actions.SetName("red edge");
        actions.SetDescription("stored");
        for (int w : {650, 700, 860}) actions.New(w, w + 50);
        di_ = actions.Ok();
    }

    test::ScratchDatabase scratch_{"fsactions"};
    std::unique_ptr<ProcessingSession> session_;
    int di_ = 0;
};

TEST_F(FeatureSpaceActionsTest, ModesFillTheWorkingCopy) {
    FeatureSpaceActions actions(*session_);
    actions.Show(FeatureSpaceActions::kCopyAndEdit);
    EXPECT_EQ(actions.Title(), "Edit a copied DI Feature Space");
    EXPECT_EQ(actions.Name(), "red edge_copy");
    EXPECT_EQ(actions.Lines(),
              (std::vector<std::string>{"650 - 700 nm", "700 - 750 nm", "860 - 910 nm"}));
    EXPECT_FALSE(actions.DimensionEnabled());
    EXPECT_THROW(actions.SetDimension(5), OrvaneError);

    session_->SetFeatureSpaceType(2);
    actions.Show(FeatureSpaceActions::kNew);
    EXPECT_EQ(actions.Title(), "Edit a new PCT Feature Space");
    EXPECT_TRUE(actions.Name().empty());
    EXPECT_TRUE(actions.DimensionEnabled());
    EXPECT_THROW(actions.New(400, 500), OrvaneError);

    session_->SetFeatureSpace(0);
    EXPECT_THROW(actions.Show(FeatureSpaceActions::kEdit), OrvaneError);
}

TEST_F(FeatureSpaceActionsTest, TheListStaysAlignedAndOkSavesTheShownSpaceOnce) {
    FeatureSpaceActions actions(*session_);
    actions.Show(FeatureSpaceActions::kEdit);
    ASSERT_TRUE(actions.Modify(0, 660, 710));
    ASSERT_TRUE(actions.Delete(1));
    EXPECT_FALSE(actions.Delete(7));
    EXPECT_FALSE(actions.Modify(-1, 1, 2));
    actions.New(1000, 1200);
    EXPECT_EQ(actions.Lines(),
              (std::vector<std::string>{"660 - 710 nm", "860 - 910 nm", "1000 - 1200 nm"}));
    EXPECT_EQ(actions.Dimension(), 3);
    EXPECT_EQ(actions.LastWavelength1(), 1000);

    // The form's selection changes while the dialog is open; OK still saves the shown one.
    session_->SetFeatureSpaceType(1);
    session_->SetFeatureSpace(0);
    EXPECT_EQ(actions.Ok(), di_);
    EXPECT_THROW(actions.Ok(), OrvaneError);
    session_->SetFeatureSpace(di_);
    EXPECT_EQ(session_->CurrentFeatureSpace()->Ranges().size(), 3u);

    actions.Show(FeatureSpaceActions::kNew);
    actions.SetName("many");
    for (int i = 0; i < 100; ++i) actions.New(400 + i, 401 + i);
    EXPECT_THROW(actions.New(900, 901), OrvaneError);
    EXPECT_EQ(actions.Lines().size(), 100u);
}

}  // namespace
}  // namespace orvane
