// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <optional>
#include <set>
#include <string>
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
#include "chain/chain_stage.h"
#include "chain/processing_chain.h"
#include "chain/smoothing_filter.h"
#include "spectra/species.h"
#include "support/refusal.h"
#include "support/scratch_database.h"
#include "support/study_rows.h"
#include "support/band_values.h"
#include "study/z_profile_reader.h"

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

// A spectrum whose raw values are one constant.
std::unique_ptr<Spectrum> Constant(float value) {
    auto s = std::make_unique<Spectrum>();
    std::vector<float> values(kSpectrumBands, value);
    s->SetReflectances(values.data());
    return s;
}

// Every stage has its own word and label, a word names it back, and the lists both faces show
// (the plot's stages, the export's buttons with "Interpolate") reach every stage.
TEST(StageDeclarations, EveryStageHasOneWordAndLabelAndIsListed) {
    std::set<std::string> words;
    std::set<std::string> labels;
    std::set<Stage> listed;
    for (const StageDeclaration& s : Stages()) {
        EXPECT_TRUE(words.insert(s.word).second) << s.word;
        EXPECT_TRUE(labels.insert(s.label).second) << s.label;
        EXPECT_EQ(StageFromWord(s.word), s.id) << s.word;
        EXPECT_EQ(&Declaration(s.id), &s) << s.word;
        listed.insert(s.id);
    }
    EXPECT_EQ(listed.size(), 7u);
    for (const char* unknown : {"cooked", "", "Raw", "synth-interpolated "})
        EXPECT_EQ(StageFromWord(unknown), std::nullopt) << unknown;
    // The words and labels users know stay what they were.
    EXPECT_EQ(StageWords([](Stage) { return true; }),
              "raw|filtered|smoothed|synth|synth-interpolated|derived|features");
    EXPECT_EQ(StageWords(HasBands), "raw|filtered|smoothed|synth|synth-interpolated|derived");
    EXPECT_STREQ(Declaration(Stage::kFeatures).label, "Feature Space");
    // What needs a sensor follows from what each stage is computed from.
    for (const auto& [stage, sensor] : std::vector<std::pair<Stage, bool>>{
             {Stage::kRaw, false}, {Stage::kSmoothed, false}, {Stage::kSynthesized, true},
             {Stage::kInterpolated, true}, {Stage::kDerived, true}, {Stage::kFeatures, true}})
        EXPECT_EQ(NeedsSensor(stage), sensor) << Declaration(stage).word;
}

// A spectrum held in memory is its stored values and metadata; the stages live in the chain.
TEST(Spectrum, HeldInMemoryCostsLessThan24KB) {
    EXPECT_LE(sizeof(Spectrum), 24u * 1024u);
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
    test::TempDir dir_;
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
        Chain chain(session_->ChainSnapshot());
        const BandVector& out = chain.Run(s, Stage::kSmoothed);
        for (int w : {350, 364, 1335, 1400, 1465, 2485, 2499})
            EXPECT_FALSE(HasValue(out.Value(w))) << "type " << type << " at " << w;
        for (int w : {365, 1334, 1466, 2484})
            EXPECT_GT(out.Value(w), 0.0) << "type " << type << " at " << w;
    }
}

// A Z profile lies on the sensor's bands already: the sensor stage is its own values, not a
// synthesis of reflectances it does not have.
TEST_F(ChainTest, AZProfileIsItsOwnSensorStage) {
    const std::string path = dir_.File("pixel.txt");
    std::ofstream(path) << "ENVI ASCII Plot File\nColumn 1: Wavelength\nColumn 2: Z Profile\n"
                           "442.98 0.03\n482.59 0.05\n561.33 0.08\n654.61 0.04\n864.57 0.36\n";
    const auto profile = ReadZProfile(path, session_.get());
    Chain chain(session_->ChainSnapshot());
    const BandVector& synth = chain.Run(*profile, Stage::kSynthesized);
    const double expected[] = {0.03, 0.05, 0.08, 0.04, 0.36};
    for (int k = 1; k <= 5; ++k) EXPECT_EQ(synth.Value(k), expected[k - 1]) << "band " << k;
    EXPECT_EQ(chain.Run(*profile, Stage::kDerived).Value(5), 0.36);
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


TEST_F(ChainTest, GroupMeansFollowTheStage) {
    WavebandFilterSetup setup(*session_);
    setup.Show();
    setup.New(1350, 1450);
    setup.New(1800, 1950);
    setup.Ok();
    Site site(1, 2);
    site.AddMember(Constant(0.25f));
    site.AddMember(Constant(0.75f));
    Chain chain(session_->ChainSnapshot());
    const auto mean = StageMean(chain, site, Stage::kFiltered);
    for (const auto& [wavelength, value] : std::vector<std::pair<int, double>>{
             {1349, 0.5}, {1350, kNoValue}, {1450, kNoValue}, {1451, 0.5}, {1800, kNoValue},
             {1950, kNoValue}, {350, 0.5}})
        EXPECT_TRUE(test::SameValue(mean->Value(wavelength), value)) << wavelength;
    // The raw stage of the same group knows nothing of the filter.
    EXPECT_EQ(StageMean(chain, site, Stage::kRaw)->Value(1400), 0.5);
    EXPECT_THROW(StageMean(chain, site, Stage::kFeatures), OrvaneError);
}

TEST_F(ChainTest, GroupsWithoutMembersRaiseAnError) {
    Site empty_site(3, 0);
    Chain chain(session_->ChainSnapshot());
    EXPECT_THROW(StageMean(chain, empty_site, Stage::kRaw), OrvaneError);
    EXPECT_THROW(FeatureMatrix(chain, empty_site, kFeatureDI), OrvaneError);
    EXPECT_THROW(MeanFeature(chain, empty_site, kFeatureDI), OrvaneError);
}

// A constant spectrum with one band without value: whatever a step sums (a window, a Gaussian
// response, a difference, a mean, a feature), a result with a value must be the constant's own
// result; had the band's marker entered a sum, it would pull the result away.
TEST_F(ChainTest, ABandWithoutValueNeverEntersASum) {
    constexpr float kLevel = 0.5f;
    constexpr int kHole = 880;  // under the tail of the 865 nm element's response
    std::vector<float> values(kSpectrumBands, kLevel);
    values[kHole - kFirstWavelength] = kStoredNoValue;
    Site site(1, 2);
    site.AddMember(std::make_unique<Spectrum>());
    site.Member(0)->SetReflectances(values.data());
    site.AddMember(Constant(kLevel));
    const Spectrum& holed = *site.Member(0);

    struct Case {
        int smoothing;
        int derivative;
        Stage stage;
        double expected;  // at every band with a value
    } cases[] = {
        {0, 0, Stage::kFiltered, kLevel},    {1, 0, Stage::kSmoothed, kLevel},
        {2, 0, Stage::kSmoothed, kLevel},    {0, 0, Stage::kSynthesized, kLevel},
        {0, 0, Stage::kInterpolated, kLevel}, {0, 1, Stage::kDerived, 0.0},
        {1, 1, Stage::kDerived, 0.0}};
    for (const Case& c : cases) {
        const std::string name = Declaration(c.stage).word + (" smoothing " +
                                 std::to_string(c.smoothing));
        session_->SetSmoothingType(c.smoothing);
        session_->SetDerivativeOrder(c.derivative);
        Chain chain(session_->ChainSnapshot());
        const BandVector& v = chain.Run(holed, c.stage);
        int with_value = 0;
        for (int k = v.First(); k <= v.Last(); ++k) {
            if (!HasValue(v.Value(k))) continue;
            ++with_value;
            ASSERT_NEAR(v.Value(k), c.expected, 1e-9) << name << " band " << k;
        }
        EXPECT_GT(with_value, 0) << name;
        if (!OnSensorAxis(c.stage) && c.stage != Stage::kInterpolated) {
            EXPECT_FALSE(HasValue(v.Value(kHole))) << name;
        }
        // The group mean takes the hole's band from the member that has it.
        const auto mean = StageMean(chain, site, Stage::kFiltered);
        EXPECT_EQ(mean->Value(kHole), kLevel) << name;
    }
}

TEST(ChainWithoutSensor, ProcessingIsRefusedWithAMessage) {
    test::ScratchDatabase scratch("nosensor");
    test::InsertStudyWithChainRows(scratch.Admin(), "empty");
    ProcessingSession session(scratch.Connect(), nullptr);
    EXPECT_FALSE(session.HasSensor());
    ApplyChainOptions(session, ChainOptions());
    Spectrum s;
    FillSmooth(s);
    Chain chain(session.ChainSnapshot());
    EXPECT_EQ(chain.Run(s, Stage::kSmoothed).Count(), kSpectrumBands);
    for (Stage stage : {Stage::kSynthesized, Stage::kDerived, Stage::kInterpolated})
        EXPECT_TRUE(test::Refuses([&] { chain.Run(s, stage); }, "no sensor"));
}

}  // namespace
}  // namespace orvane
