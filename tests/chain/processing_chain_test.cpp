// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <utility>
#include <vector>

#include "chain/chain_options.h"
#include "base/config_file.h"
#include "base/frontend.h"
#include "base/orvane_error.h"
#include "chain/processing_session.h"
#include "study/sensor_import.h"
#include "forms/waveband_filter_setup.h"
#include "chain/derivative_settings.h"
#include "chain/feature_space.h"
#include "chain/processing_chain.h"
#include "chain/smoothing_filter.h"
#include "spectra/species.h"
#include "support/refusal.h"
#include "support/scratch_database.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

// A smooth vegetation-like curve: a red edge around 720 nm and water dips.
void FillSmooth(Spectrum& s) {
    std::array<float, kSpectrumBands> v{};
    for (int i = 0; i < kSpectrumBands; ++i) {
        const double w = 350.0 + i;
        const double edge = 0.05 + 0.4 / (1.0 + std::exp(-(w - 720.0) / 15.0));
        const double water = 0.15 * std::exp(-std::pow((w - 1450.0) / 60.0, 2)) +
                             0.2 * std::exp(-std::pow((w - 1940.0) / 70.0, 2));
        v[static_cast<size_t>(i)] = static_cast<float>(edge - water * edge);
    }
    s.SetReflectances(v.data());
}

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
    int study_ = 0;
    std::unique_ptr<ProcessingSession> session_;
};

TEST_F(ChainTest, SmoothedEdgesAndExcludedRangeCarryNoValue) {
    WavebandFilterSetup setup(*session_);
    setup.Show();
    setup.New(1350, 1450);
    setup.Ok();
    for (int type : {1, 2}) {
        session_->SetSmoothingType(type);
        Spectrum s;
        FillSmooth(s);
        const BandVector& out = *StageVector(*session_, s, kStageSmoothed);
        for (int w : {350, 364, 1335, 1400, 1465, 2485, 2499})
            EXPECT_EQ(out.Value(w), kNoValue) << "type " << type << " at " << w;
        for (int w : {365, 1334, 1466, 2484})
            EXPECT_GT(out.Value(w), 0.0) << "type " << type << " at " << w;
    }
}

TEST_F(ChainTest, RefusedSettingsChangeNothing) {
    session_->SetDerivativeOrder(2);
    session_->Derivative()->SetMethod(kDerivativeSavGol);
    const int size = session_->Derivative()->FilterSize();
    EXPECT_THROW(session_->Derivative()->SetSizeAndOrder(3, 4), OrvaneError);
    EXPECT_EQ(session_->Derivative()->FilterSize(), size);
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

    test::TempDir dir;
    const std::string path = dir.File("config.txt");
    std::ofstream(path) << "filter_b 1000\nfilter_br 1800 1950\nfilter_br 2400 2600\n";
    ConfigFile config(path);
    config.Open();
    ProcessingSession configured(scratch_.Connect(), &config);
    configured.SetStudy(study_);
    WavebandFilterSetup with_defaults(configured);
    with_defaults.Show();
    EXPECT_EQ(with_defaults.AddDefaultRanges(),
              "Added the configured default ranges:\n  1000 - 1000 nm\n  1800 - 1950 nm\n"
              "Skipped, as outside 350 - 2500 nm or reversed:\n  2400 - 2600 nm");
    EXPECT_EQ(with_defaults.Lines().size(), 2u);
}

// A spectrum whose raw values are one constant.
std::unique_ptr<Spectrum> Constant(float value) {
    auto s = std::make_unique<Spectrum>();
    std::vector<float> values(kSpectrumBands, value);
    s->SetReflectances(values.data());
    return s;
}

TEST_F(ChainTest, GroupMeansFollowTheStage) {
    WavebandFilterSetup setup(*session_);
    setup.Show();
    setup.New(1350, 1450);
    setup.New(1800, 1950);
    setup.Ok();
    Site site(1, 2);
    site.AddMember(Constant(0.25f));
    site.AddMember(Constant(0.75f));
    const auto mean = StageMean(*session_, site, kStageFiltered);
    for (const auto& [wavelength, value] : std::vector<std::pair<int, double>>{
             {1349, 0.5}, {1350, kNoValue}, {1450, kNoValue}, {1451, 0.5}, {1800, kNoValue},
             {1950, kNoValue}, {350, 0.5}})
        EXPECT_EQ(mean->Value(wavelength), value) << wavelength;
    // The raw stage of the same group knows nothing of the filter.
    EXPECT_EQ(StageMean(*session_, site, kStageRaw)->Value(1400), 0.5);
    EXPECT_THROW(StageMean(*session_, site, 99), OrvaneError);
}

TEST_F(ChainTest, GroupsWithoutMembersRaiseAnError) {
    Site empty_site(3, 0);
    EXPECT_THROW(StageMean(*session_, empty_site, kStageRaw), OrvaneError);
    EXPECT_THROW(FeatureMatrix(*session_, empty_site, kFeatureDI), OrvaneError);
    EXPECT_THROW(MeanFeature(*session_, empty_site, kFeatureDI), OrvaneError);
}

TEST(ChainWithoutSensor, ProcessingIsRefusedWithAMessage) {
    test::ScratchDatabase scratch("nosensor");
    test::InsertStudyWithChainRows(scratch.Admin(), "empty");
    ProcessingSession session(scratch.Connect(), nullptr);
    EXPECT_FALSE(session.HasSensor());
    ApplyChainOptions(session, ChainOptions());
    Spectrum s;
    FillSmooth(s);
    EXPECT_NE(StageVector(session, s, kStageSmoothed), nullptr);
    EXPECT_TRUE(test::Refuses([&] { StageVector(session, s, kStageSynthesized); }, "no sensor"));
}

}  // namespace
}  // namespace orvane
