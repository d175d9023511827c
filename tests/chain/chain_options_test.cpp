// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/chain_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/matrix.h"
#include "base/orvane_error.h"
#include "store/array_codec.h"
#include "support/refusal.h"
#include "support/scratch_database.h"
#include "support/study_rows.h"
#include "support/workbench_rows.h"

namespace orvane {
namespace {

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

}  // namespace
}  // namespace orvane
