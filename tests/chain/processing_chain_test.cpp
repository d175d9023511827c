// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
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
#include "chain/sensor_synthesis.h"
#include "spectra/species.h"
#include "support/refusal.h"
#include "support/scratch_database.h"
#include "support/study_rows.h"
#include "support/band_values.h"
#include "study/z_profile_reader.h"

namespace orvane {
namespace {

using test::SameBits;

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
        Chain chain(session_->Compiled());
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
    Chain chain(session_->Compiled());
    const BandVector& synth = chain.Run(*profile, Stage::kSynthesized);
    const double expected[] = {0.03, 0.05, 0.08, 0.04, 0.36};
    for (int k = 1; k <= 5; ++k) EXPECT_EQ(synth.Value(k), expected[k - 1]) << "band " << k;
    EXPECT_EQ(chain.Run(*profile, Stage::kDerived).Value(5), 0.36);
}

// Switched off, the optional stages pass their input on bit for bit, so every later stage is
// what it was before they existed; switched on, the filter reads the spliced values and the
// synthesis the continuum-removed ones.
TEST_F(ChainTest, OptionalStagesSitInTheChainAndPassTheirInputWhenOff) {
    Spectrum s;
    FillSmooth(s);
    std::array<float, kSpectrumBands> stepped{};
    for (int w = kFirstWavelength; w <= kLastWavelength; ++w)
        stepped[static_cast<size_t>(w - kFirstWavelength)] =
            s.reflectances_[static_cast<size_t>(w - kFirstWavelength)] + (w > 1000 ? 0.04f : 0.0f);
    s.SetReflectances(stepped.data());
    session_->SetSmoothingType(1);
    {
        Chain chain(session_->Compiled());
        const BandVector raw = chain.Run(s, Stage::kRaw);
        EXPECT_TRUE(SameBits(chain.Run(s, Stage::kSpliced), raw));
        const BandVector smoothed = chain.Run(s, Stage::kSmoothed);
        EXPECT_TRUE(SameBits(chain.Run(s, Stage::kContinuumRemoved), smoothed));
    }
    ApplyChainOptions(*session_, [] {
        ChainOptions o;
        o.stage_modes = {{Stage::kSpliced, 1}, {Stage::kContinuumRemoved, 1}};
        return o;
    }());
    EXPECT_EQ(session_->StageMode(Stage::kSpliced), 1);
    Chain chain(session_->Compiled());
    const BandVector& filtered = chain.Run(s, Stage::kFiltered);
    // The step of 0.04 is gone: across the join the spectrum moves as little as beside it.
    EXPECT_LT(std::fabs(filtered.Value(1001) - filtered.Value(1000)), 0.005);
    const BandVector removed = chain.Run(s, Stage::kContinuumRemoved);
    for (int w = 400; w <= 2400; w += 50) EXPECT_LE(removed.Value(w), 1.0 + 1e-12) << w;
    const SensorSynthesis& synthesis = *session_->Synthesis();
    BandVector expected(synthesis.First(), synthesis.Count());
    synthesis.Apply(removed, expected);
    const BandVector& synth = chain.Run(s, Stage::kSynthesized);
    int compared = 0;
    for (int k = synth.First(); k <= synth.Last(); ++k) {
        EXPECT_TRUE(test::SameValue(synth.Value(k), expected.Value(k))) << k;
        compared += HasValue(synth.Value(k));
    }
    EXPECT_GT(compared, 3);
}

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
    Chain chain(session_->Compiled());
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
    Chain chain(session_->Compiled());
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
        Chain chain(session_->Compiled());
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
    Chain chain(session.Compiled());
    EXPECT_EQ(chain.Run(s, Stage::kSmoothed).Count(), kSpectrumBands);
    for (Stage stage : {Stage::kSynthesized, Stage::kDerived, Stage::kInterpolated})
        EXPECT_TRUE(test::Refuses([&] { chain.Run(s, stage); }, "no sensor"));
}

}  // namespace
}  // namespace orvane
