// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "base/config_file.h"
#include "base/frontend.h"
#include "base/orvane_error.h"
#include "chain/chain_stage.h"
#include "chain/derivative_settings.h"
#include "chain/processing_session.h"
#include "forms/waveband_filter_setup.h"
#include "study/sensor_import.h"
#include "support/refusal.h"
#include "support/scratch_database.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

class ChainTest : public ::testing::Test {
  protected:
    void SetUp() override {
        study_ = test::InsertStudyWithChainRows(scratch_.Admin(), "chain");
        session_ = std::make_unique<ProcessingSession>(scratch_.Connect(), nullptr);
        SilentFrontend quiet;
        ImportSensor(*session_, quiet, test::SourcePath("data/sensors/landsat8_oli.txt"), 0);
        session_->SetStudy(study_);
    }

    test::ScratchDatabase scratch_{"chain"};
    test::TempDir dir_;
    int study_ = 0;
    std::unique_ptr<ProcessingSession> session_;
};

// The joins and ranges are the study's: stored, read by the next session, refused when wrong
// without changing what is stored.
TEST_F(ChainTest, StagePairsAreStoredWithTheStudy) {
    EXPECT_TRUE(session_->StagePairsOf(Stage::kSpliced).empty());
    session_->SetStagePairs(Stage::kSpliced, {{990, 991}, {1790, 1791}});
    session_->SetStagePairs(Stage::kContinuumRemoved, {{400, 1300}});
    EXPECT_TRUE(test::Refuses(
        [&] { session_->SetStagePairs(Stage::kSpliced, {{1000, 990}}); }, "1000-990"));
    EXPECT_THROW(session_->SetStageMode(Stage::kSpliced, 2), OrvaneError);
    EXPECT_THROW(session_->SetStageMode(Stage::kRaw, 1), OrvaneError);
    ProcessingSession next(scratch_.Connect(), nullptr);
    next.SetStudy(study_);
    EXPECT_EQ(next.StagePairsOf(Stage::kSpliced), (StagePairs{{990, 991}, {1790, 1791}}));
    EXPECT_EQ(next.StagePairsOf(Stage::kContinuumRemoved), (StagePairs{{400, 1300}}));
    // Every stage off is the key libraries had before the stages existed.
    EXPECT_EQ(next.StageOptionKey(), "");
    next.SetStageMode(Stage::kContinuumRemoved, 1);
    next.SetStageMode(Stage::kSpliced, 1);
    const std::string both = next.StageOptionKey();
    EXPECT_NE(both.find(','), std::string::npos) << both;
    next.SetStageMode(Stage::kSpliced, 0);
    EXPECT_EQ(both.find(next.StageOptionKey()) != std::string::npos, true);
}

TEST_F(ChainTest, RefusedSettingsChangeNothing) {
    session_->SetDerivativeOrder(2);
    session_->SetDerivativeMethod(kDerivativeSavGol);
    const ChainSpec before = session_->Settings();
    EXPECT_THROW(session_->SetDerivativeWindow(3, 4), OrvaneError);
    EXPECT_EQ(session_->Settings(), before);
}

TEST_F(ChainTest, FilterRangesMustRunUpwardsInsideTheGrid) {
    WavebandFilterSetup setup(*session_);
    setup.Show();
    setup.New(350, 2500);
    setup.New(1400, 1400);
    const std::pair<int, int> refused[] = {{1950, 1800}, {-5, 400}, {400, 99999}, {349, 400}};
    for (const auto& [lower, upper] : refused) {
        EXPECT_THROW(setup.New(lower, upper), OrvaneError) << lower << "-" << upper;
        EXPECT_THROW(setup.Modify(0, lower, upper), OrvaneError) << lower << "-" << upper;
    }
    EXPECT_EQ(setup.Lines(), (std::vector<std::string>{"350 - 2500 nm", "1400 - 1400 nm"}));
    EXPECT_NE(setup.AddDefaultRanges().find("has no default ranges"), std::string::npos);

    // The configured default filter: every "filter_b" first, in file order, then every
    // "filter_br", whatever order the lines stand in.
    const std::string path = dir_.File("config.txt");
    std::ofstream(path)
        << "filter_br 1800 1950\nfilter_b 1000\nfilter_br 2400 2600\nfilter_b 1100\n";
    ConfigFile config(path);
    config.Open();
    ProcessingSession configured(scratch_.Connect(), &config);
    configured.SetStudy(study_);
    WavebandFilterSetup with_defaults(configured);
    with_defaults.Show();
    EXPECT_EQ(with_defaults.AddDefaultRanges(),
              "Added the configured default ranges:\n  1000 - 1000 nm\n  1100 - 1100 nm\n"
              "  1800 - 1950 nm\nSkipped, as outside 350 - 2500 nm or reversed:\n  2400 - 2600 nm");
    EXPECT_EQ(with_defaults.Lines().size(), 3u);
}

}  // namespace
}  // namespace orvane
