// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/chain_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/matrix.h"
#include "base/orvane_error.h"
#include "store/array_codec.h"
#include "support/scratch_database.h"
#include "support/workbench_rows.h"

namespace orvane {
namespace {

std::vector<std::string> Names(const std::vector<FeatureSpaceItem>& items) {
    std::vector<std::string> names;
    for (const FeatureSpaceItem& item : items) names.push_back(item.name);
    return names;
}

// The starter feature spaces and one study on the Landsat 8 sensor.
class ChainOptionsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::ImportSensors(scratch_, {"landsat8_oli"});
        test::LoadSeedFeatureSpaces(db());
        study_ = test::MakeStudy(db(), "options");
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

TEST_F(ChainOptionsTest, PctSpacesAreOfferedOnlyWhileACurrentAnalysisIsStored) {
    EXPECT_EQ(session_->StudyId(), study_);
    EXPECT_EQ(session_->FeatureSpaceId(), FeatureSpaceId("Full range curvature"));
    ChainOptions pct;
    pct.feature_space_type = 2;
    ApplyChainOptions(*session_, pct);
    EXPECT_TRUE(ListFeatureSpaces(*session_).empty());
    EXPECT_EQ(session_->CurrentFeatureSpace(), nullptr);
    EXPECT_EQ(CurrentPcaDataId(*session_), 0);

    InsertPcaData(8);
    EXPECT_NE(CurrentPcaDataId(*session_), 0);
    EXPECT_EQ(Names(ListFeatureSpaces(*session_)),
              (std::vector<std::string>{"PCT 2", "PCT 3", "PCT 5"}));
    // A changed chain setting makes the analysis stale.
    ChainOptions smoothed;
    smoothed.smoothing_type = 1;
    ApplyChainOptions(*session_, smoothed);
    EXPECT_TRUE(ListFeatureSpaces(*session_).empty());
}

TEST_F(ChainOptionsTest, SwitchingToPctKeepsTheCurrentPctSpaceOnlyWhileItIsOffered) {
    InsertPcaData(8);
    // From DI: the first PCT space offered.
    EXPECT_EQ(SwitchToPct(*session_), FeatureSpaceId("PCT 2"));
    EXPECT_EQ(session_->FeatureSpaceType(), 2);
    ChainOptions chosen;
    chosen.feature_space = "PCT 5";
    ApplyChainOptions(*session_, chosen);
    EXPECT_EQ(SwitchToPct(*session_), FeatureSpaceId("PCT 5"));
    EXPECT_EQ(session_->FeatureSpaceId(), FeatureSpaceId("PCT 5"));
}

TEST_F(ChainOptionsTest, OptionsOutOfRangeOrUnknownAreRefusedBeforeAnythingChanges) {
    struct Case {
        const char* name;
        ChainOptions options;
        const char* in_message;
    };
    std::vector<Case> cases(5);
    cases[0] = {"smoothing type 3", {}, "smoothing type must be from 0 to 2, not 3"};
    cases[0].options.smoothing_type = 3;
    cases[1] = {"derivative order 31", {}, "derivative order must be from 0 to 30"};
    cases[1].options.derivative_order = 31;
    cases[2] = {"feature-space type -1", {}, "feature-space type"};
    cases[2].options.feature_space_type = -1;
    cases[3] = {"unknown study", {}, "no study \"absent\""};
    cases[3].options.study = "absent";
    cases[4] = {"unknown word", {}, "choose one of none, sg-mw, sg-fft"};
    for (const Case& c : cases) {
        try {
            if (c.name == std::string("unknown word")) ParseSmoothingType("sg");
            ApplyChainOptions(*session_, c.options);
            ADD_FAILURE() << c.name << ": not refused";
        } catch (const OrvaneError& e) {
            EXPECT_TRUE(test::Contains(e.what(), c.in_message)) << c.name << ": " << e.what();
        }
        EXPECT_EQ(session_->SmoothingType(), 0) << c.name;
        EXPECT_EQ(session_->FeatureSpaceType(), 0) << c.name;
    }
}

}  // namespace
}  // namespace orvane
