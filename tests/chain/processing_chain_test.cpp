// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "base/config_file.h"
#include "base/frontend.h"
#include "base/matrix.h"
#include "base/orvane_error.h"
#include "chain/chain_options.h"
#include "chain/chain_stage.h"
#include "chain/derivative_settings.h"
#include "chain/processing_session.h"
#include "forms/waveband_filter_setup.h"
#include "spectra/waveband_filter.h"
#include "store/array_codec.h"
#include "study/sensor_import.h"
#include "support/refusal.h"
#include "support/scratch_database.h"
#include "support/study_rows.h"
#include "support/workbench_rows.h"

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

std::vector<std::string> Names(const std::vector<FeatureSpaceItem>& items) {
    std::vector<std::string> names;
    for (const FeatureSpaceItem& item : items) names.push_back(item.name);
    return names;
}

ChainOptions Options(std::optional<int> smoothing, std::optional<int> order = {},
                     std::optional<int> type = {}, std::optional<std::string> feature_space = {},
                     std::optional<std::string> study = {}) {
    ChainOptions options;
    options.smoothing_type = smoothing;
    options.derivative_order = order;
    options.feature_space_type = type;
    options.feature_space = feature_space;
    options.study = study;
    return options;
}

// The starter feature spaces and one study on the Landsat 8 sensor.
class ChainOptionsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::ImportSensors(scratch_, {"landsat8_oli"});
        test::LoadSeedFeatureSpaces(db());
        study_ = test::InsertStudyWithChainRows(db(), "options");
        session_ = std::make_unique<ProcessingSession>(scratch_.Connect(), nullptr);
        ApplyChainOptions(*session_, ChainOptions());
    }

    Database& db() { return scratch_.Admin(); }
    int FeatureSpaceId(const std::string& name) {
        return test::Count(db(), "select feature_space_id from feature_space where name = '" +
                                     name + "'");
    }

    // A stored analysis of the session's chain of `dim` components, newer than its settings.
    void InsertPcaData(int dim) {
        ProcessingSession& s = *session_;
        db().Execute(Sql("insert into pca_data (study_id, sensor_id, smoothing_filter_id, "
                         "derivative_id, waveband_filter_id, dim, build_date) values (%i, %i, "
                         "%i, %i, %i, %i, current_timestamp(6) + interval 1 minute)",
                         s.StudyId(), s.CurrentSensor()->SensorId(), s.SmoothingFilterId(),
                         s.DerivativeId(), s.WavebandFilterId(), dim));
        const int pca = static_cast<int>(db().InsertId());
        ColumnVector values(dim);
        Matrix vectors(dim, dim);
        for (int i = 1; i <= dim; ++i) {
            values(i) = i;
            for (int j = 1; j <= dim; ++j) vectors(i, j) = i == j ? 1.0 : 0.0;
        }
        for (const auto& [column, block] : {std::pair{"eigenvalues", EncodeMatrix(values)},
                                            std::pair{"eigenvectors", EncodeMatrix(vectors)}})
            db().WriteBlob(Sql("update pca_data set %s = ? where pca_data_id = %i", column, pca),
                           block.data(), block.size());
    }

    test::ScratchDatabase scratch_{"chainoptions"};
    int study_ = 0;
    std::unique_ptr<ProcessingSession> session_;
};

TEST_F(ChainOptionsTest, PctSpacesAreOfferedAndKeptOnlyWhileACurrentAnalysisIsStored) {
    EXPECT_EQ(session_->StudyId(), study_);
    EXPECT_EQ(session_->FeatureSpaceId(), FeatureSpaceId("Full range curvature"));
    ApplyChainOptions(*session_, Options({}, {}, 2));
    EXPECT_TRUE(ListFeatureSpaces(*session_).empty());
    EXPECT_EQ(session_->CurrentFeatureSpace(), nullptr);
    EXPECT_EQ(CurrentPcaDataId(*session_), 0);

    InsertPcaData(8);
    EXPECT_NE(CurrentPcaDataId(*session_), 0);
    EXPECT_EQ(Names(ListFeatureSpaces(*session_)),
              (std::vector<std::string>{"PCT 2", "PCT 3", "PCT 5"}));
    // Switching to PCT keeps the current PCT space while it is offered, else takes the first.
    ApplyChainOptions(*session_, Options({}, {}, 0));
    EXPECT_EQ(SwitchToPct(*session_), FeatureSpaceId("PCT 2"));
    EXPECT_EQ(session_->FeatureSpaceType(), 2);
    ApplyChainOptions(*session_, Options({}, {}, {}, "PCT 5"));
    EXPECT_EQ(SwitchToPct(*session_), FeatureSpaceId("PCT 5"));
    EXPECT_EQ(session_->FeatureSpaceId(), FeatureSpaceId("PCT 5"));
    // A changed chain setting makes the analysis stale.
    ApplyChainOptions(*session_, Options(1));
    EXPECT_TRUE(ListFeatureSpaces(*session_).empty());
}

TEST_F(ChainOptionsTest, OptionsOutOfRangeOrUnknownAreRefusedBeforeAnythingChanges) {
    const struct {
        const char* name;
        ChainOptions options;
        const char* in_message;
    } cases[] = {
        {"smoothing type 3", Options(3), "smoothing type must be from 0 to 2, not 3"},
        {"derivative order 31", Options({}, 31), "derivative order must be from 0 to 30"},
        {"feature-space type -1", Options({}, {}, -1), "feature-space type"},
        {"unknown study", Options({}, {}, {}, {}, "absent"), "no study \"absent\""},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(test::Refuses([&] { ApplyChainOptions(*session_, c.options); }, c.in_message))
            << c.name;
        EXPECT_EQ(session_->SmoothingType(), 0) << c.name;
        EXPECT_EQ(session_->FeatureSpaceType(), 0) << c.name;
    }
    EXPECT_TRUE(test::Refuses([] { ParseSmoothingType("sg"); },
                              "choose one of none, sg-mw, sg-fft"));
}

TEST(WavebandFilter, LoadReplacesEntriesWithTheStudysRanges) {
    test::ScratchDatabase scratch("wbfilter");
    auto db = scratch.Connect();
    const int study = test::InsertStudy(*db, "a");
    const int other = test::InsertStudy(*db, "b");
    const int filter_id = test::InsertWavebandFilter(*db, study, {{1800, 1950}, {1350, 1450}});
    test::InsertWavebandFilter(*db, other, {{400, 500}});

    WavebandFilter f;
    f.AddBand(700);
    f.Load(*db, study);
    EXPECT_EQ(f.FilterId(), filter_id);
    ASSERT_EQ(f.Count(), 2);
    EXPECT_EQ(std::make_tuple(f.At(0).kind, f.At(0).lower, f.At(1).upper),
              std::make_tuple(1, 1800, 1450));
    EXPECT_FALSE(f.Excludes(700));
    EXPECT_FALSE(f.Excludes(450));

    WavebandFilter copy;
    copy.CopyFrom(f);
    EXPECT_EQ(copy.FilterId(), 0);
    EXPECT_EQ(copy.Count(), 2);
    EXPECT_TRUE(copy.Excludes(1900));

    // More stored ranges than a filter holds: refused, and the filter keeps what it had.
    std::vector<std::pair<int, int>> many;
    for (int i = 0; i < 101; ++i) many.emplace_back(400 + i, 400 + i);
    const int crowded = test::InsertStudy(*db, "c");
    test::InsertWavebandFilter(*db, crowded, many);
    EXPECT_THROW(f.Load(*db, crowded), OrvaneError);
    EXPECT_EQ(std::make_pair(f.Count(), f.FilterId()), std::make_pair(2, filter_id));

    f.Load(*db, 9999);  // a study without a filter
    EXPECT_EQ(f.Count(), 0);
}

}  // namespace
}  // namespace orvane
