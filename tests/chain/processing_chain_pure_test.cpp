// SPDX-License-Identifier: GPL-3.0-or-later
// The stages' declarations and the optional stages without a database: settings compiled in
// memory and spectra made by hand on the 1 nm grid.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "base/band_grid.h"
#include "base/matrix_stats.h"
#include "base/orvane_error.h"
#include "chain/chain_stage.h"
#include "chain/classifiers.h"
#include "chain/compiled_chain.h"
#include "chain/feature_space.h"
#include "chain/processing_chain.h"
#include "chain/sensor_synthesis.h"
#include "spectra/sensor.h"
#include "spectra/site.h"
#include "spectra/spectrum.h"
#include "spectra/z_profile_reader.h"
#include "stats/class_models.h"
#include "support/band_values.h"
#include "support/refusal.h"
#include "support/scratch_database.h"

namespace orvane {
namespace {

using test::SameBits;

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
    EXPECT_EQ(listed.size(), 9u);
    for (const char* unknown : {"cooked", "", "synth-interpolated ", "raw2"})
        EXPECT_EQ(StageFromWord(unknown), std::nullopt) << unknown;
    // A word is a word in any case.
    EXPECT_EQ(StageFromWord("Raw"), Stage::kRaw);
    EXPECT_EQ(StageFromWord("SYNTH-Interpolated"), StageFromWord("synth-interpolated"));
    // The words and labels users know stay what they were.
    EXPECT_EQ(StageWords([](Stage) { return true; }),
              "raw|spliced|filtered|smoothed|continuum-removed|synth|synth-interpolated|derived|"
              "features");
    EXPECT_EQ(StageWords(HasBands),
              "raw|spliced|filtered|smoothed|continuum-removed|synth|synth-interpolated|derived");
    // Stored settings and dumps carry the numbers: the stages added later take new ones.
    for (const auto& [stage, number] : std::vector<std::pair<Stage, int>>{
             {Stage::kRaw, 0}, {Stage::kFiltered, 1}, {Stage::kSmoothed, 2},
             {Stage::kSynthesized, 3}, {Stage::kDerived, 4}, {Stage::kFeatures, 5},
             {Stage::kInterpolated, 6}, {Stage::kSpliced, 7}, {Stage::kContinuumRemoved, 8}})
        EXPECT_EQ(static_cast<int>(stage), number) << Declaration(stage).word;
    EXPECT_STREQ(Declaration(Stage::kFeatures).label, "Feature Space");
    // What needs a sensor follows from what each stage is computed from.
    for (const auto& [stage, sensor] : std::vector<std::pair<Stage, bool>>{
             {Stage::kRaw, false}, {Stage::kSpliced, false}, {Stage::kSmoothed, false},
             {Stage::kContinuumRemoved, false}, {Stage::kSynthesized, true},
             {Stage::kInterpolated, true}, {Stage::kDerived, true}, {Stage::kFeatures, true}})
        EXPECT_EQ(NeedsSensor(stage), sensor) << Declaration(stage).word;
}

// The chain options both faces list come from the optional stages' declarations, and a mode
// word is read back whatever its case.
TEST(StageDeclarations, OptionalStagesDeclareTheirModes) {
    std::vector<std::string> options;
    for (const StageDeclaration* s : OptionalStages()) options.push_back(s->option->word);
    EXPECT_EQ(options, (std::vector<std::string>{"splice", "continuum"}));
    const StageOption& splice = *Declaration(Stage::kSpliced).option;
    const StageOption& continuum = *Declaration(Stage::kContinuumRemoved).option;
    EXPECT_EQ(ParseStageMode(splice, "off"), 0);
    EXPECT_EQ(ParseStageMode(splice, "Additive"), 1);
    EXPECT_EQ(ParseStageMode(continuum, "ON"), 1);
    EXPECT_TRUE(test::Refuses([&] { ParseStageMode(splice, "multiplicative"); },
                              "choose one of off, additive"));
    EXPECT_EQ(Declaration(Stage::kFiltered).input, Stage::kSpliced);
    EXPECT_EQ(Declaration(Stage::kSynthesized).input, Stage::kContinuumRemoved);
}

// Values on the 1 nm grid, f(wavelength) at each band.
template <class F>
BandVector GridOf(F f) {
    BandVector v(kFirstWavelength, kSpectrumBands);
    for (int w = kFirstWavelength; w <= kLastWavelength; ++w) v.Set(w, f(static_cast<double>(w)), w);
    return v;
}

// Settings in which one optional stage has a mode and the study's pairs.
struct OneStageOn {
    OneStageOn(Stage stage, int mode, StagePairs pairs = {}) {
        ChainSpec definition;
        definition.stages.resize(9);
        definition.stages[static_cast<size_t>(stage)] = StageSetting{mode, std::move(pairs)};
        chain = CompiledChain::Compile(std::move(definition));
        work.emplace(*chain);
    }
    StepInput Step() { return StepInput{*chain, *work}; }
    std::shared_ptr<const CompiledChain> chain;
    std::optional<ChainWork> work;
};

// Steps at both joins are removed to 1e-12: exactly where the detectors' spectrum is straight
// near the joins, and by the shifts numpy's straight-line fit gives on a curved one
// (optional_stages_reference.py). A spectrum without steps keeps its values.
TEST(SpliceCorrection, RemovesTheStepsAtTheJoins) {
    const auto line = [](double w) { return 0.2 + 1.5e-4 * (w - 350.0); };
    const auto curve = [](double w) {
        return 0.35 + 0.1 * std::sin(w / 150.0) + 0.02 * std::cos(w / 37.0);
    };
    const auto steps = [](double w) { return (w >= 1001 ? 0.05 : 0.0) - (w >= 1801 ? 0.03 : 0.0); };
    const double numpy_shift[2] = {-0.050020353932029749, 0.029951696443184184};
    const struct {
        const char* name;
        StagePairs joins;
        std::function<double(double)> measured;
        std::function<double(double)> expected;
    } cases[] = {
        {"straight with steps", {}, [&](double w) { return line(w) + steps(w); }, line},
        {"straight without steps", {}, line, line},
        {"curved with steps", {},
         [&](double w) { return curve(w) + steps(w); },
         [&](double w) {
             return curve(w) + steps(w) + (w >= 1001 ? numpy_shift[0] : 0.0) +
                    (w >= 1801 ? numpy_shift[1] : 0.0);
         }},
        {"the study's own join", {{700, 701}},
         [&](double w) { return line(w) + (w >= 701 ? 0.1 : 0.0); }, line},
        {"a band without value in the fit", {},
         [&](double w) { return w == 995 ? kNoValue : line(w) + steps(w); },
         [&](double w) { return w == 995 ? kNoValue : line(w); }},
    };

    for (const auto& c : cases) {
        const BandVector in = GridOf(c.measured);
        BandVector out(0, 0);
        OneStageOn on(Stage::kSpliced, 1, c.joins);
        ApplySpliceCorrection(on.Step(), in, out);
        for (int w = kFirstWavelength; w <= kLastWavelength; ++w)
            ASSERT_TRUE(test::SameValue(out.Value(w), c.expected(w), 1e-12)) << c.name << " at " << w;
        // Off, the stage is its input, bit for bit.
        OneStageOn off(Stage::kSpliced, 0, c.joins);
        ApplySpliceCorrection(off.Step(), in, out);
        EXPECT_TRUE(SameBits(out, in)) << c.name;
    }
}

TEST(SpliceCorrection, JoinsMustLeaveRoomToFitAndRunInOrder) {
    EXPECT_NO_THROW(CheckSpliceJoins(DefaultSpliceJoins()));
    EXPECT_NO_THROW(CheckSpliceJoins({{359, 360}, {2498, 2499}}));
    const struct {
        StagePairs joins;
        const char* says;
    } refused[] = {
        {{{1001, 1000}}, "1001-1000 must name the last band of one detector"},
        {{{358, 359}}, "358-359 must leave 10 bands before it"},
        {{{2499, 2500}}, "2499-2500 must leave 10 bands"},
        {{{1800, 1801}, {1000, 1001}}, "1000-1001 overlaps the one before it"},
    };
    for (const auto& r : refused)
        EXPECT_TRUE(test::Refuses([&] { CheckSpliceJoins(r.joins); }, r.says)) << r.says;
}

// The continuum-removed values equal value / hull with the upper hull qhull gives
// (optional_stages_reference.py), over the whole range and over two ranges; the bands without
// value split the hull, and bands outside the ranges have none.
TEST(ContinuumRemoval, EqualsTheQhullUpperHull) {
    const BandVector in = GridOf([](double w) {
        if (w >= 1350 && w <= 1360) return kNoValue;
        return 0.5 + 0.2 * std::sin(w / 80.0) - 0.1 * std::exp(-std::pow((w - 1400.0) / 40.0, 2));
    });
    const double n = kNoValue;
    const struct {
        const char* name;
        StagePairs ranges;
        int without_value;
        std::vector<std::pair<int, double>> scipy;
    } cases[] = {
        {"whole range", {}, 11,
         {{350, 1}, {447, 0.80758374202388317}, {544, 0.98241801373161952},
          {641, 0.99641998473439786}, {738, 0.77098757054843359}, {835, 0.47192164594940506},
          {932, 0.48760111873757889}, {1029, 0.79766330871676305}, {1126, 0.99944811188725069},
          {1223, 0.99995462092001053}, {1320, 0.98066853694238076}, {1417, 0.63876593394385139},
          {1514, 0.95301585563149249}, {1611, 1}, {1708, 0.88517865206427992},
          {1805, 0.55978167375971122}, {1902, 0.43503261641302815}, {1999, 0.6729354063842159},
          {2096, 0.96453927550725949}, {2193, 0.97392783726758758}, {2290, 0.713650089157019},
          {2387, 0.55613696112635425}, {2484, 0.90284590306506951}, {1349, 1}, {1361, 1},
          {1400, 0.60660329496528786}}},
        {"two ranges", {{400, 1300}, {1500, 2400}}, 348,
         {{350, n}, {447, 0.92195821679894907}, {544, 0.99884999198856073},
          {641, 0.99641998473439786}, {738, 0.77098757054843359}, {835, 0.47192164594940506},
          {932, 0.48760111873757889}, {1029, 0.79766330871676305}, {1126, 0.99944811188725069},
          {1223, 1}, {1320, n}, {1417, n}, {1514, 1}, {1611, 1}, {1708, 0.88517865206427992},
          {1805, 0.55978167375971122}, {1902, 0.43503261641302815}, {1999, 0.6729354063842159},
          {2096, 0.96453927550725949}, {2193, 1}, {2290, 0.88359674865476034},
          {2387, 0.92496652584010597}, {2484, n}, {1349, n}, {1361, n}, {1400, n}}},
    };

    for (const auto& c : cases) {
        BandVector out(0, 0);
        OneStageOn on(Stage::kContinuumRemoved, 1, c.ranges);
        RemoveContinuum(on.Step(), in, out);
        for (const auto& [w, expected] : c.scipy)
            EXPECT_TRUE(test::SameValue(out.Value(w), expected, 1e-12)) << c.name << " at " << w;
        int without = 0;
        for (int w = kFirstWavelength; w <= kLastWavelength; ++w) {
            without += !HasValue(out.Value(w));
            if (HasValue(out.Value(w))) {
                EXPECT_LE(out.Value(w), 1.0 + 1e-15) << c.name << w;
            }
        }
        EXPECT_EQ(without, c.without_value) << c.name;
        OneStageOn off(Stage::kContinuumRemoved, 0, c.ranges);
        RemoveContinuum(off.Step(), in, out);
        EXPECT_TRUE(SameBits(out, in)) << c.name;
    }
}

// A spectrum that is its own upper hull (concave, or straight) is all ones; a hull at zero
// gives no value rather than a division by zero.
TEST(ContinuumRemoval, ASpectrumThatIsItsOwnHullGivesOnes) {
    const std::pair<const char*, std::function<double(double)>> cases[] = {
        {"concave", [](double w) { return 0.6 - 1e-7 * (w - 1400.0) * (w - 1400.0); }},
        {"straight", [](double w) { return 0.1 + 1e-4 * (w - 350.0); }},
        {"one band", [](double w) { return w == 900 ? 0.4 : kNoValue; }},
    };

    OneStageOn on(Stage::kContinuumRemoved, 1);
    for (const auto& [name, f] : cases) {
        BandVector out(0, 0);
        RemoveContinuum(on.Step(), GridOf(f), out);
        for (int w = kFirstWavelength; w <= kLastWavelength; ++w)
            ASSERT_TRUE(test::SameValue(out.Value(w), HasValue(f(w)) ? 1.0 : kNoValue, 1e-12))
                << name << " at " << w;
    }
    BandVector out(0, 0);
    RemoveContinuum(on.Step(), GridOf([](double) { return 0.0; }), out);
    EXPECT_FALSE(HasValue(out.Value(1000)));
}

TEST(ContinuumRemoval, RangesMustRunUpwardsInsideTheGridAndInOrder) {
    EXPECT_NO_THROW(CheckContinuumRanges({{350, 1000}, {1001, 2499}}));
    const struct {
        StagePairs ranges;
        const char* says;
    } refused[] = {
        {{{900, 800}}, "900-800 must run upwards within 350-2499 nm"},
        {{{300, 800}}, "300-800 must run upwards"},
        {{{400, 2500}}, "400-2500 must run upwards"},
        {{{400, 1000}, {1000, 1200}}, "1000-1200 overlaps the one before it"},
    };
    for (const auto& r : refused)
        EXPECT_TRUE(test::Refuses([&] { CheckContinuumRanges(r.ranges); }, r.says)) << r.says;
}

// A spectrum held in memory is its stored values and metadata; the stages live in the chain.
TEST(Spectrum, HeldInMemoryCostsLessThan24KB) {
    EXPECT_LE(sizeof(Spectrum), 24u * 1024u);
}

// A sensor of data/sensors, read without a database.
std::shared_ptr<const Sensor> SensorFile(const char* name) {
    auto sensor = std::make_shared<GaussianSensor>();
    sensor->ReadFile(test::SourcePath("data/sensors/") + name + ".txt");
    return sensor;
}
std::shared_ptr<const Sensor> Landsat() { return SensorFile("landsat8_oli"); }
std::shared_ptr<const Sensor> Enmap() { return SensorFile("enmap"); }

// A chain of the definition, on Landsat 8 OLI unless `sensor` is false.
Chain ChainOf(ChainSpec definition, bool sensor = true) {
    if (sensor && !definition.sensor) definition.sensor = Landsat();
    return Chain(CompiledChain::Compile(std::move(definition)));
}

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

TEST(ChainStages, SmoothedEdgesAndExcludedRangeCarryNoValue) {
    for (int type : {1, 2}) {
        ChainSpec definition;
        definition.study_filter.AddRange(1350, 1450);
        definition.smoothing.type = type;
        Spectrum s;
        FillSmooth(s);
        Chain chain = ChainOf(definition);
        const BandVector& out = chain.Run(s, Stage::kSmoothed);
        for (int w : {350, 364, 1335, 1400, 1465, 2485, 2499})
            EXPECT_FALSE(HasValue(out.Value(w))) << "type " << type << " at " << w;
        for (int w : {365, 1334, 1466, 2484})
            EXPECT_GT(out.Value(w), 0.0) << "type " << type << " at " << w;
    }
}

// A Z profile lies on the sensor's bands already: the sensor stage is its own values, not a
// synthesis of reflectances it does not have.
TEST(ChainStages, AZProfileIsItsOwnSensorStage) {
    test::TempDir dir;
    const std::string path = dir.File("pixel.txt");
    std::ofstream(path) << "ENVI ASCII Plot File\nColumn 1: Wavelength\nColumn 2: Z Profile\n"
                           "442.98 0.03\n482.59 0.05\n561.33 0.08\n654.61 0.04\n864.57 0.36\n";
    ChainSpec definition;
    definition.sensor = Landsat();
    const auto profile = ReadZProfile(path, *definition.sensor, nullptr);
    Chain chain = ChainOf(definition);
    const BandVector& synth = chain.Run(*profile, Stage::kSynthesized);
    const double expected[] = {0.03, 0.05, 0.08, 0.04, 0.36};
    for (int k = 1; k <= 5; ++k) EXPECT_EQ(synth.Value(k), expected[k - 1]) << "band " << k;
    EXPECT_EQ(chain.Run(*profile, Stage::kDerived).Value(5), 0.36);
}

// Switched off, the optional stages pass their input on bit for bit, so every later stage is
// what it was before they existed; switched on, the filter reads the spliced values and the
// synthesis the continuum-removed ones.
TEST(ChainStages, OptionalStagesSitInTheChainAndPassTheirInputWhenOff) {
    Spectrum s;
    FillSmooth(s);
    std::array<float, kSpectrumBands> stepped{};
    for (int w = kFirstWavelength; w <= kLastWavelength; ++w)
        stepped[static_cast<size_t>(w - kFirstWavelength)] =
            s.reflectances_[static_cast<size_t>(w - kFirstWavelength)] + (w > 1000 ? 0.04f : 0.0f);
    s.SetReflectances(stepped.data());
    ChainSpec definition;
    definition.smoothing.type = 1;
    {
        Chain chain = ChainOf(definition);
        const BandVector raw = chain.Run(s, Stage::kRaw);
        EXPECT_TRUE(SameBits(chain.Run(s, Stage::kSpliced), raw));
        const BandVector smoothed = chain.Run(s, Stage::kSmoothed);
        EXPECT_TRUE(SameBits(chain.Run(s, Stage::kContinuumRemoved), smoothed));
    }
    definition.stages.resize(9);
    for (Stage stage : {Stage::kSpliced, Stage::kContinuumRemoved})
        definition.stages[static_cast<size_t>(stage)].mode = 1;
    Chain chain = ChainOf(definition);
    const BandVector& filtered = chain.Run(s, Stage::kFiltered);
    // The step of 0.04 is gone: across the join the spectrum moves as little as beside it.
    EXPECT_LT(std::fabs(filtered.Value(1001) - filtered.Value(1000)), 0.005);
    const BandVector removed = chain.Run(s, Stage::kContinuumRemoved);
    for (int w = 400; w <= 2400; w += 50) EXPECT_LE(removed.Value(w), 1.0 + 1e-12) << w;
    const auto expected = SynthesizeSensorBands(removed, *Landsat());
    const BandVector& synth = chain.Run(s, Stage::kSynthesized);
    int compared = 0;
    for (int k = synth.First(); k <= synth.Last(); ++k) {
        EXPECT_TRUE(test::SameValue(synth.Value(k), expected->Value(k))) << k;
        compared += HasValue(synth.Value(k));
    }
    EXPECT_GT(compared, 3);
}

TEST(ChainStages, GroupMeansFollowTheStageAndNeedMembers) {
    ChainSpec definition;
    definition.study_filter.AddRange(1350, 1450);
    definition.study_filter.AddRange(1800, 1950);
    Chain chain = ChainOf(definition);
    Site site(1, 2);
    site.AddMember(Constant(0.25f));
    site.AddMember(Constant(0.75f));
    const auto mean = StageMean(chain, site, Stage::kFiltered);
    for (const auto& [wavelength, value] : std::vector<std::pair<int, double>>{
             {1349, 0.5}, {1350, kNoValue}, {1450, kNoValue}, {1451, 0.5}, {1800, kNoValue},
             {1950, kNoValue}, {350, 0.5}})
        EXPECT_TRUE(test::SameValue(mean->Value(wavelength), value)) << wavelength;
    // The raw stage of the same group knows nothing of the filter.
    EXPECT_EQ(StageMean(chain, site, Stage::kRaw)->Value(1400), 0.5);
    EXPECT_THROW(StageMean(chain, site, Stage::kFeatures), OrvaneError);

    Site empty_site(3, 0);
    EXPECT_THROW(StageMean(chain, empty_site, Stage::kRaw), OrvaneError);
    EXPECT_THROW(FeatureMatrix(chain, empty_site, kFeatureDI), OrvaneError);
    EXPECT_THROW(MeanFeature(chain, empty_site, kFeatureDI), OrvaneError);
}

// A constant spectrum with one band without value: whatever a step sums (a window, a Gaussian
// response, a difference, a mean, a feature), a result with a value must be the constant's own
// result; had the band's marker entered a sum, it would pull the result away.
TEST(ChainStages, ABandWithoutValueNeverEntersASum) {
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
        ChainSpec definition;
        definition.smoothing.type = c.smoothing;
        definition.derivative.order = c.derivative;
        Chain chain = ChainOf(definition);
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

// A band without value changes only the smoothing windows and the Gaussian responses that
// hold it: every other smoothed and synthesized value is bit for bit the complete spectrum's,
// although the chain computes a spectrum with a value at every band by shorter ways.
TEST(ChainStages, AHoleChangesOnlyTheWindowsThatHoldIt) {
    constexpr int kHole = 1000;
    Spectrum complete;
    FillSmooth(complete);
    std::array<float, kSpectrumBands> values = complete.reflectances_;
    values[kHole - kFirstWavelength] = kStoredNoValue;
    Spectrum holed;
    holed.SetReflectances(values.data());
    const auto bits = [](double v) {
        std::uint64_t b;
        std::memcpy(&b, &v, sizeof b);
        return b;
    };
    for (int type : {1, 2}) {
        ChainSpec definition;
        definition.study_filter.AddRange(1350, 1450);
        definition.smoothing.type = type;
        definition.sensor = Enmap();
        const int half = (definition.smoothing.size - 1) / 2;
        Chain whole = ChainOf(definition);
        Chain with_hole = ChainOf(definition);
        const BandVector& a = whole.Run(complete, Stage::kSmoothed);
        const BandVector& b = with_hole.Run(holed, Stage::kSmoothed);
        for (int w = kFirstWavelength; w <= kLastWavelength; ++w) {
            if (std::abs(w - kHole) <= half) {
                EXPECT_FALSE(HasValue(b.Value(w))) << "type " << type << " at " << w;
            } else if (type == 1) {
                ASSERT_EQ(bits(a.Value(w)), bits(b.Value(w))) << w;
            } else {
                // The transform spreads the hole's zero over every sum as rounding.
                ASSERT_EQ(HasValue(a.Value(w)), HasValue(b.Value(w))) << w;
                if (HasValue(a.Value(w))) {
                    ASSERT_NEAR(a.Value(w), b.Value(w), 1e-12) << w;
                }
            }
        }
        if (type != 1) continue;
        const BandVector& sa = whole.Run(complete, Stage::kSynthesized);
        const BandVector& sb = with_hole.Run(holed, Stage::kSynthesized);
        int cut = 0;  // changed and still with a value: a window cut short of the hole
        for (int k = sa.First(); k <= sa.Last(); ++k) {
            if (bits(sa.Value(k)) == bits(sb.Value(k))) continue;
            cut += HasValue(sb.Value(k));
            // Three standard deviations of EnMAP's widest response stay below 20 nm.
            EXPECT_LE(std::fabs(sa.X(k) - kHole), half + 20) << "band " << k;
        }
        EXPECT_GT(cut, 0);
    }
}

TEST(ChainStages, WithoutASensorTheSensorStagesAreRefused) {
    Spectrum s;
    FillSmooth(s);
    Chain chain = ChainOf(ChainSpec{}, false);
    EXPECT_EQ(chain.Run(s, Stage::kSmoothed).Count(), kSpectrumBands);
    for (Stage stage : {Stage::kSynthesized, Stage::kDerived, Stage::kInterpolated})
        EXPECT_TRUE(test::Refuses([&] { chain.Run(s, stage); }, "no sensor"));
}

// Both faces and the library checks read the classifiers from one registry: each word names
// its classifier whatever its row, and the entry carries the label the window shows and what the
// library must hold for it.
TEST(ClassifierRegistry, EachWordNamesItsClassifierAndUnknownOnesAreRefused) {
    using R = ClassRequirement;
    const struct {
        const char* word;
        Classifier kind;
        const char* label;
        ClassRequirement requirement;
    } cases[] = {
        {"mahalanobis", Classifier::kMahalanobis, "Mahalanobis", R::kClassCovariances},
        {"Modified-Mahalanobis", Classifier::kModifiedMahalanobis, "Modified Mahalanobis",
         R::kClassCovariances},
        {"gsd", Classifier::kGeneralSquaredDistance, "Gen. Squared Dist", R::kPooledCovariance},
        {"SAM", Classifier::kSpectralAngle, "SAM", R::kMeans},
        {"mahalanobis-shrunk", Classifier::kMahalanobisShrunk, "Mahalanobis (shrunk)",
         R::kShrunkCovariances}};
    ASSERT_EQ(ClassifierRegistry().size(), std::size(cases));
    for (const auto& c : cases) {
        EXPECT_EQ(ParseClassifier(c.word), c.kind) << c.word;
        const ClassifierEntry& entry = ClassifierEntryOf(c.kind);
        EXPECT_STREQ(entry.label, c.label);
        EXPECT_EQ(entry.requirement, c.requirement) << c.word;
        EXPECT_EQ(entry.ranking, Ranking::kSmallerIsBetter) << c.word;
    }
    EXPECT_EQ(ClassifierWords(), "mahalanobis|modified-mahalanobis|gsd|sam|mahalanobis-shrunk");
    EXPECT_TRUE(test::Refuses([] { ParseClassifier("shrunk"); },
                              "Unknown classifier \"shrunk\"; choose one of mahalanobis, "
                              "modified-mahalanobis, gsd, sam, mahalanobis-shrunk."));
    // A number read back from elsewhere (a window's saved settings) that names no classifier.
    EXPECT_TRUE(test::Refuses([] { ClassifierEntryOf(static_cast<Classifier>(17)); },
                              "Unknown classifier number 17."));
}

// Either ranking puts values that are not numbers last, so an unmodelled class never wins.
TEST(ClassifierRegistry, RankingOrdersEitherWayAndNeverFirstANonNumber) {
    const double nan = std::nan("");
    const struct {
        Ranking ranking;
        double a, b;
        bool before;
    } cases[] = {
        {Ranking::kSmallerIsBetter, 1.0, 2.0, true},
        {Ranking::kSmallerIsBetter, 2.0, 1.0, false},
        {Ranking::kLargerIsBetter, 2.0, 1.0, true},
        {Ranking::kLargerIsBetter, 1.0, 2.0, false},
        {Ranking::kSmallerIsBetter, nan, 1.0, false},
        {Ranking::kSmallerIsBetter, 1.0, nan, true},
        {Ranking::kLargerIsBetter, nan, -1.0, false},
        {Ranking::kLargerIsBetter, -1.0, nan, true},
        {Ranking::kSmallerIsBetter, nan, nan, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RanksBefore(c.ranking, c.a, c.b), c.before) << c.a << " " << c.b;
    for (Ranking r : {Ranking::kSmallerIsBetter, Ranking::kLargerIsBetter})
        EXPECT_TRUE(RanksBefore(r, r == Ranking::kSmallerIsBetter ? 1e308 : -1e308,
                                UnrankedValue(r)));
}

// A vegetation-like spectrum with a red edge, water bands and noise; kStoredNoValue at a few
// bands, as instruments leave them.
std::vector<float> FieldSpectrum(std::mt19937& random, double shift) {
    std::normal_distribution<double> noise(0.0, 0.003);
    std::vector<float> values(kSpectrumBands);
    for (int k = 0; k < kSpectrumBands; ++k) {
        const double w = kFirstWavelength + k;
        const double edge = 0.45 / (1.0 + std::exp(-(w - 715.0 - shift) / 12.0));
        const double water = 0.2 * std::exp(-std::pow((w - 1450.0) / 60.0, 2)) +
                             0.25 * std::exp(-std::pow((w - 1940.0) / 70.0, 2));
        values[static_cast<size_t>(k)] =
            static_cast<float>(0.05 + edge - water * (0.5 + edge) + noise(random));
    }
    values[400] = kStoredNoValue;
    values[1811] = kStoredNoValue;
    return values;
}

// The study filter over the water bands, Savitzky-Golay smoothing of the given type, EnMAP,
// the first derivative by the given method and a DI feature space of three ranges.
ChainSpec FieldSpec(int smoothing_type, int derivative_method) {
    ChainSpec definition;
    definition.study_filter.AddRange(1340, 1460);
    definition.study_filter.AddRange(1790, 1960);
    definition.smoothing.type = smoothing_type;
    definition.smoothing.size = 15;
    definition.smoothing.polynomial_order = 3;
    definition.sensor = Enmap();
    definition.derivative.order = 1;
    definition.derivative.method = derivative_method;
    definition.derivative.size = 5;
    definition.derivative.polynomial_order = 2;
    auto fs = std::make_shared<FeatureSpace>();
    std::vector<FeatureSpace::BandRange> ranges(3);
    for (const auto& [i, w1, w2] : {std::tuple{0, 500, 600}, {1, 680, 760}, {2, 1100, 1300}})
        ranges[i].wavelength1 = w1, ranges[i].wavelength2 = w2;
    fs->Define(kFeatureDI, 3, ranges);
    fs->MapToSensor(*definition.sensor);
    definition.feature_space = fs;
    return definition;
}

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

std::vector<double> Values(const BandVector& v) {
    return std::vector<double>(v.Values(), v.Values() + v.Count());
}

// Two threads, each with its own Chain over one compiled chain, compute every stage and the
// classification of every spectrum bit for bit as one thread alone does.
TEST(CompiledChainThreads, ThreadsSharingOneChainComputeWhatOneComputes) {
    std::mt19937 random(7);
    std::vector<std::vector<float>> spectra;
    for (int i = 0; i < 48; ++i) spectra.push_back(FieldSpectrum(random, i % 2 ? 25.0 : 0.0));
    const Stage stages[] = {Stage::kSmoothed, Stage::kSynthesized, Stage::kInterpolated,
                            Stage::kDerived};
    for (int smoothing : {1, 2}) {
        for (int method : {kDerivativeIterative, kDerivativeSavGol}) {
            const auto compiled = CompiledChain::Compile(FieldSpec(smoothing, method));
            // The features of each group make a Mahalanobis model both threads classify by.
            Chain alone(compiled);
            std::vector<std::vector<double>> expected;
            Matrix features(3, static_cast<int>(spectra.size()));
            for (size_t i = 0; i < spectra.size(); ++i) {
                for (Stage stage : stages)
                    expected.push_back(Values(alone.RunGrid(spectra[i].data(), stage)));
                Spectrum s;
                std::copy(spectra[i].begin(), spectra[i].end(), s.reflectances_.begin());
                features.Column(static_cast<int>(i) + 1) = alone.Features(s, kFeatureDI);
            }
            std::vector<ClassStatistics> classes(2);
            for (int c = 0; c < 2; ++c) {
                Matrix group(3, 24);
                for (int j = 0; j < 24; ++j) group.Column(j + 1) = features.Column(2 * j + c + 1);
                ClassStatistics& statistics = classes[static_cast<size_t>(c)];
                statistics.n = 24;
                statistics.mean = RowMeans(group);
                statistics.cov = CovarianceOfColumns(group);
            }
            const ClassModels models(Classifier::kMahalanobis, classes);
            std::vector<int> winners;
            for (size_t i = 0; i < spectra.size(); ++i) {
                const ColumnVector x = features.Column(static_cast<int>(i) + 1);
                winners.push_back(Classify(models, x.Store()).winner);
            }

            std::vector<std::vector<double>> got[2];
            std::vector<int> got_winners[2];
            std::vector<std::thread> threads;
            for (int t = 0; t < 2; ++t) {
                threads.emplace_back([&, t] {
                    Chain own(compiled);
                    for (size_t i = 0; i < spectra.size(); ++i) {
                        for (Stage stage : stages)
                            got[t].push_back(Values(own.RunGrid(spectra[i].data(), stage)));
                        Spectrum s;
                        std::copy(spectra[i].begin(), spectra[i].end(), s.reflectances_.begin());
                        const ColumnVector x = own.Features(s, kFeatureDI);
                        got_winners[t].push_back(Classify(models, x.Store()).winner);
                    }
                });
            }
            for (std::thread& t : threads) t.join();
            for (int t = 0; t < 2; ++t) {
                ASSERT_EQ(got[t].size(), expected.size());
                for (size_t i = 0; i < expected.size(); ++i)
                    EXPECT_TRUE(SameBits(got[t][i], expected[i]))
                        << "thread " << t << ", vector " << i << ", smoothing " << smoothing
                        << ", method " << method;
                EXPECT_EQ(got_winners[t], winners);
            }
            // Both groups are told apart: the classification is not a constant.
            EXPECT_NE(std::count(winners.begin(), winners.end(), 0), 0);
            EXPECT_NE(std::count(winners.begin(), winners.end(), 1), 0);
        }
    }
}

// A vector on the sensor's bands (an image pixel) goes through the derivative and the features
// exactly as the synthesis of a field spectrum does; where the synthesis gives no value the
// pixel's value is not used either.
TEST(CompiledChainMath, SensorBandsRunAsTheirSynthesis) {
    std::mt19937 random(11);
    const std::vector<float> field = FieldSpectrum(random, 10.0);
    for (int method : {kDerivativeIterative, kDerivativeSavGol}) {
        const auto compiled = CompiledChain::Compile(FieldSpec(1, method));
        Chain chain(compiled);
        std::vector<double> pixel = Values(chain.RunGrid(field.data(), Stage::kSynthesized));
        const std::vector<double> derived = Values(chain.RunGrid(field.data(), Stage::kDerived));
        Spectrum s;
        std::copy(field.begin(), field.end(), s.reflectances_.begin());
        const ColumnVector features = chain.Features(s, kFeatureDI);
        // An image holds numbers where the chain keeps none (the water bands the filter
        // excludes, and their smoothing margins): those are not used.
        const BandVector& mask = *compiled->SensorMask();
        int masked = 0;
        for (size_t k = 0; k < pixel.size(); ++k) {
            if (std::isnan(mask.Values()[k])) {
                pixel[k] = 0.123;
                ++masked;
            }
        }
        EXPECT_GT(masked, 10);
        const int n = static_cast<int>(pixel.size());
        EXPECT_TRUE(SameBits(Values(chain.RunSensorBands(pixel.data(), n, Stage::kDerived)),
                             derived))
            << "method " << method;
        const ColumnVector from_pixel = chain.FeaturesFromSensorBands(pixel.data(), n);
        for (int i = 1; i <= 3; ++i) EXPECT_EQ(from_pixel(i), features(i)) << i;
    }
    Chain chain(CompiledChain::Compile(FieldSpec(1, kDerivativeIterative)));
    std::vector<double> short_pixel(10, 0.2);
    EXPECT_TRUE(test::Refuses([&] { chain.RunSensorBands(short_pixel.data(), 10, Stage::kDerived); },
                              "10 values"));
    std::vector<double> pixel(static_cast<size_t>(Enmap()->ElementCount()), 0.2);
    EXPECT_TRUE(test::Refuses(
        [&] {
            chain.RunSensorBands(pixel.data(), static_cast<int>(pixel.size()), Stage::kSmoothed);
        },
        "before the sensor's bands"));
}

// Equal settings make equal definitions and keys; each setting a chain computes from changes them,
// and the stored libraries' keys come from the definition's rows.
TEST(ChainSpecMath, KeysFollowEverySetting) {
    const ChainSpec base = FieldSpec(1, kDerivativeIterative);
    EXPECT_EQ(base, FieldSpec(1, kDerivativeIterative));
    std::vector<ChainSpec> changed(6, base);
    changed[0].study_filter.AddBand(2400);
    changed[1].smoothing.size = 17;
    changed[2].derivative.method = kDerivativeSavGol;
    changed[3].stages.resize(9);
    changed[3].stages[static_cast<size_t>(Stage::kContinuumRemoved)].mode = 1;
    changed[4].sensor = nullptr;
    auto other = std::make_shared<FeatureSpace>(*base.feature_space);
    other->Define(kFeatureDI, 2, {other->Ranges()[0], other->Ranges()[1]});
    changed[5].feature_space = other;
    for (size_t i = 0; i < changed.size(); ++i) {
        EXPECT_NE(changed[i], base) << i;
        EXPECT_NE(changed[i].Key(), base.Key()) << i;
    }
    ChainSpec stored = base;
    stored.study_id = 3;
    stored.smoothing.filter_id = 5;
    stored.derivative.id = 8;
    stored.stage_option_ids = {0, 0, 0, 0, 0, 0, 0, 12, 4};
    const LibraryKey key = stored.LibraryKeyOf();
    EXPECT_EQ(key.study, 3);
    EXPECT_EQ(key.smoothing_filter, 5);
    EXPECT_EQ(key.derivative, 8);
    EXPECT_EQ(key.stage_options, "4,12");
    EXPECT_EQ(stored.PcaKeyOf().stage_options, "4,12");
}

}  // namespace
}  // namespace orvane
