// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectra/band_vector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "base/orvane_error.h"
#include "chain/processing_chain.h"
#include "spectra/site.h"
#include "spectra/species.h"
#include "spectra/species_names.h"
#include "spectra/waveband_filter.h"
#include "support/band_values.h"

namespace orvane {
namespace {

// A study filter excluding the given wavelength ranges.
class StudyFilter : public ::testing::Test {
  protected:
    void UseFilter(const std::vector<std::pair<int, int>>& ranges) {
        for (const auto& [lower, upper] : ranges) filter_.AddRange(lower, upper);
    }

    WavebandFilter filter_;
};

// A grid piece from `first` with x = index and the given values.
BandVector Grid(int first, const std::vector<double>& values, const WavebandFilter* filter) {
    BandVector v(first, static_cast<int>(values.size()), filter);
    for (size_t i = 0; i < values.size(); ++i) {
        const int index = first + static_cast<int>(i);
        v.Set(index, values[i], static_cast<double>(index));
    }
    return v;
}

TEST(BandVector, ValuesOutsideTheRangeHaveNoValue) {
    BandVector grid(350, 2150);
    grid.FillValues(0.5);
    EXPECT_EQ(std::make_pair(grid.First(), grid.Last()), std::make_pair(350, 2499));
    for (const auto& [index, inside] : std::vector<std::pair<int, bool>>{
             {349, false}, {350, true}, {2499, true}, {2500, false}, {-2147483647, false},
             {0, false}}) {
        EXPECT_EQ(HasValue(grid.Value(index)), inside) << index;
        EXPECT_EQ(grid.InRange(index), inside) << index;
        if (inside) {
            EXPECT_EQ(grid.Value(index), 0.5) << index;
        }
    }
}

// Every number a computation can give is a value, -1.0 included; only NaN marks a band
// without one, and infinities are values that no sum may take.
TEST(BandVector, OnlyNaNIsNoValue) {
    for (double v : {-1.0, 0.0, -0.0, 1e-300, -5.5}) {
        EXPECT_TRUE(HasValue(v)) << v;
        EXPECT_TRUE(HasFiniteValue(v)) << v;
    }
    EXPECT_FALSE(HasValue(kNoValue));
    EXPECT_TRUE(HasValue(HUGE_VAL));
    EXPECT_FALSE(HasFiniteValue(HUGE_VAL));
    EXPECT_FALSE(HasFiniteValue(kNoValue));
}

// Values of bands 500..519 (x = index): two islands of values in a sea of markers, and band
// 512 excluded by the study's filter although it carries a value.
const std::vector<double> kIslands = {
    kNoValue, kNoValue, kNoValue, kNoValue, kNoValue, 0.5,      kNoValue,  // 500..506
    kNoValue, kNoValue, kNoValue, 0.7,      kNoValue, 0.3,      kNoValue,  // 507..513
    kNoValue, 0.9,      kNoValue, kNoValue, kNoValue, kNoValue,            // 514..519
};

TEST_F(StudyFilter, NextValidScansAsSpecified) {
    UseFilter({{507, 508}, {512, 512}, {517, 517}});
    const BandVector v = Grid(500, kIslands, &filter_);
    // Each case ends with the band found, -1 for none.
    const std::tuple<const char*, bool, int, bool, int> cases[] = {
        {"up to the first value", true, 500, false, 505},
        {"up across excluded, ignoring the filter", true, 506, true, 510},
        {"up stops at an excluded band", true, 506, false, -1},
        {"up: an excluded band with a value is taken", true, 511, false, 512},
        {"up runs past the end", true, 516, true, -1},
        {"up skips markers", true, 513, false, 515},
        {"down across excluded, ignoring the filter", false, 509, true, 505},
        {"down stops at an excluded band", false, 509, false, -1},
        {"down from the last stops at excluded", false, 519, false, -1}};
    for (const auto& [name, up, from, ignore_filter, found] : cases) {
        const std::optional<int> e =
            up ? v.NextValidUp(from, ignore_filter) : v.NextValidDown(from, ignore_filter);
        EXPECT_EQ(e.value_or(-1), found) << name;
    }
}

TEST(BandVector, WithoutAFilterNoBandIsExcluded) {
    const BandVector v = Grid(500, kIslands, nullptr);
    EXPECT_EQ(v.NextValidUp(506, false).value_or(-1), 510);
    EXPECT_EQ(v.NextValidDown(509, false).value_or(-1), 505);
}

// A mask over 590..620: kept bands 1.0, bands 600..610 marked; the study excludes 603.
TEST_F(StudyFilter, NearestFindsAsSpecified) {
    UseFilter({{603, 603}});
    std::vector<double> mask(31, 1.0);
    for (int w = 600; w <= 610; ++w) mask[static_cast<size_t>(w - 590)] = kNoValue;
    const BandVector v = Grid(590, mask, &filter_);
    // Each case ends with the band found, -1 for none.
    const std::tuple<const char*, double, int, bool, int> cases[] = {
        {"kept band itself", 595.4, 0, false, 595},
        {"tie goes to the higher index", 595.5, 1, false, 596},
        {"marked, upwards", 605.0, 0, true, 611},
        {"marked, downwards", 605.0, 1, true, 599},
        {"marked, other direction", 605.0, 2, true, -1},
        {"marked, downwards stops at excluded", 605.0, 1, false, -1},
        {"below the axis", 100.0, 0, false, 590}};
    for (const auto& [name, wavelength, direction, ignore_filter, found] : cases) {
        const std::optional<int> e = v.Nearest(wavelength, direction, ignore_filter);
        EXPECT_EQ(e.value_or(-1), found) << name;
    }
}

// Only entries closer than 2150 nm are taken; when none is, the first entry is the candidate,
// and a marked candidate continues as the direction says.
TEST(BandVector, NearestIgnoresEntries2150nmAway) {
    BandVector far(1, 3);
    far.Set(1, kNoValue, 3000.0);
    far.Set(2, 0.4, 3100.0);
    far.Set(3, 0.6, 3200.0);
    EXPECT_EQ(far.Nearest(500.0, 0, true).value_or(-1), 2);
    EXPECT_FALSE(far.Nearest(500.0, 1, true));
    EXPECT_EQ(far.Nearest(3190.0, 1, true).value_or(-1), 3);
    EXPECT_EQ(far.Nearest(5349.9, 0, true).value_or(-1), 3);
    EXPECT_EQ(far.Nearest(5350.0, 0, true).value_or(-1), 2);
}

TEST(BandVector, NearestTieOnEqualCentresTakesTheLaterElement) {
    BandVector sensor(1, 4);
    sensor.Set(1, 1.0, 450.0);
    sensor.Set(2, 1.0, 650.0);
    sensor.Set(3, 1.0, 650.0);
    sensor.Set(4, 1.0, 850.0);
    EXPECT_EQ(sensor.Nearest(640.0, 0, true).value_or(-1), 3);
    EXPECT_EQ(sensor.Nearest(750.0, 0, true).value_or(-1), 4);  // 650 and 850 tie: the higher index
    EXPECT_EQ(sensor.Nearest(550.0, 0, true).value_or(-1), 3);  // 450 and both 650s tie: the last
}

// The same rule for a sensor's elements: ties go to the later element; none within 2150 nm
// gives the first.
TEST(SensorElements, Nearest) {
    const test::MemorySensor s({480.5, 560.25, 560.75, 660.0});
    for (const auto& [wavelength, number] : std::vector<std::pair<double, int>>{
             {400, 1}, {560.5, 3}, {610.375, 4}, {2809.5, 4}, {2810.0, 1}})
        EXPECT_EQ(s.NearestElement(wavelength)->number, number) << wavelength;
    EXPECT_EQ(test::MemorySensor(std::vector<double>{}).NearestElement(500), nullptr);
}

// The running counts of bands without value, in groups of four with a remainder, against a
// count made band by band.
TEST(CountMissingBefore, EveryPatternAndLength) {
    for (int n = 0; n <= 13; ++n) {
        for (unsigned pattern = 0; pattern < (1u << n); pattern += n > 9 ? 37 : 1) {
            std::vector<double> v(static_cast<size_t>(n));
            for (int k = 0; k < n; ++k) v[static_cast<size_t>(k)] = (pattern >> k) & 1 ? kNoValue : -1.0;
            std::vector<int> m(static_cast<size_t>(n) + 1, -7);
            CountMissingBefore(v.data(), n, m.data());
            int expected = 0;
            ASSERT_EQ(m[0], 0);
            for (int k = 0; k < n; ++k) {
                expected += (pattern >> k) & 1;
                ASSERT_EQ(m[static_cast<size_t>(k) + 1], expected) << n << " " << pattern << " " << k;
            }
        }
    }
}

// The waveband filter's entries in memory (a study's stored ranges: processing_chain_test.cpp).
TEST(WavebandFilter, RangeBoundsAreIncluded) {
    WavebandFilter f;
    f.AddRange(1350, 1450);
    f.AddRange(1800, 1950);
    f.AddBand(1000);
    f.AddRange(700, 600);  // lower above upper: excludes nothing
    for (int w : {1350, 1400, 1450, 1800, 1950, 1000}) EXPECT_TRUE(f.Excludes(w)) << w;
    for (int w : {1349, 1451, 1799, 1951, 999, 1001, 600, 650, 700})
        EXPECT_FALSE(f.Excludes(w)) << w;
    EXPECT_FALSE(WavebandFilter().Excludes(1400));
}

TEST(WavebandFilter, HoldsAtMost100Entries) {
    WavebandFilter f;
    for (int i = 0; i < 50; ++i) f.AddBand(400 + i);
    for (int i = 0; i < 50; ++i) f.AddRange(1000 + 10 * i, 1005 + 10 * i);
    ASSERT_EQ(f.Count(), 100);
    EXPECT_THROW(f.AddBand(2000), OrvaneError);
    EXPECT_THROW(f.AddRange(2000, 2100), OrvaneError);
    EXPECT_EQ(f.Count(), 100);
    EXPECT_FALSE(f.Excludes(2000));
    EXPECT_EQ(f.At(99).upper, 1495);
    // Removing one keeps the others in order and makes room; positions beyond are ignored.
    f.Remove(50);
    f.Remove(100);
    f.Remove(-1);
    ASSERT_EQ(f.Count(), 99);
    EXPECT_EQ(f.At(49).band, 449);
    EXPECT_EQ(f.At(50).lower, 1010);
    EXPECT_FALSE(f.Excludes(1002));
    EXPECT_NO_THROW(f.AddBand(2000));
    EXPECT_TRUE(f.Excludes(2000));
}

// A spectrum whose raw values are one constant, except the bands listed as markers.
std::unique_ptr<Spectrum> Constant(float value, const std::vector<int>& marked = {}) {
    auto s = std::make_unique<Spectrum>();
    std::vector<float> values(kSpectrumBands, value);
    for (int w : marked) values[static_cast<size_t>(w - kFirstWavelength)] = -1.0f;
    s->SetReflectances(values.data());
    return s;
}

// Members with different masks: each band is averaged over the members with a value there.
TEST(BandMean, AveragesEachBandOverTheVectorsWithAValue) {
    const auto s1 = Constant(0.2f, {500, 700});
    const auto s2 = Constant(0.4f, {500});
    const auto s3 = Constant(0.9f, {500});
    BandMean mean;
    EXPECT_EQ(mean.Result(), nullptr);
    Chain chain{CompiledChain::Compile(ChainSpec{})};
    for (const auto* s : {s1.get(), s2.get(), s3.get()}) mean.Add(chain.Run(*s, Stage::kRaw));
    const auto result = mean.Result();
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(std::make_tuple(result->First(), result->Count(), result->ValidCount()),
              std::make_tuple(350, 2150, 2149));
    // Floats of the members: the mean is of the values as stored; 500 has none in any member.
    const double a = 0.2f, b = 0.4f, c = 0.9f;
    for (const auto& [wavelength, value] : std::vector<std::pair<int, double>>{
             {350, (a + b + c) / 3}, {2499, (a + b + c) / 3}, {500, kNoValue},
             {700, (b + c) / 2}}) {
        EXPECT_TRUE(test::SameValue(result->Value(wavelength), value)) << wavelength;
        EXPECT_EQ(result->X(wavelength), wavelength);
    }
    // The members are left as they were.
    EXPECT_EQ(chain.Run(*s2, Stage::kRaw).Value(350), b);
}

TEST(Species, GatherCollectsEverySpectrumSiteBySite) {
    Species species(3);
    std::vector<Spectrum*> expected;
    const int sizes[] = {2, 0, 3};
    int site_no = 10;
    for (int size : sizes) {
        auto site = std::make_unique<Site>(site_no++, size);
        for (int i = 0; i < size; ++i) {
            auto s = Constant(static_cast<float>(expected.size()));
            expected.push_back(s.get());
            site->AddMember(std::move(s));
        }
        species.AddSite(std::move(site));
    }
    EXPECT_EQ(species.TotalSpectra(), 5);
    species.GatherSpectra();
    ASSERT_EQ(species.MemberCount(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(species.Member(i), expected[static_cast<size_t>(i)]) << i;
        EXPECT_EQ(species.Member(i)->parent_species_, &species) << i;
    }
    EXPECT_EQ(species.Member(4)->parent_site_, species.SiteAt(2));

    // Gathering again does not list a spectrum twice.
    species.GatherSpectra();
    EXPECT_EQ(species.MemberCount(), 5);
}

// An unset name never leaves a label empty: the folder name stands in, and the note names
// exactly the species it stood in for.
TEST(SpeciesNames, TheFolderStandsInForAMissingNameAndTheNoteNamesIt) {
    Species species(0);
    species.folder_name_ = "PH";
    species.latin_name_ = "Phormium tenax";
    const std::tuple<int, const char*> cases[] = {
        {0, "PH"}, {1, "PH"}, {2, "Phormium tenax"}, {3, "PH"}};
    for (const auto& [type, shown] : cases) EXPECT_EQ(species.NameOfType(type), shown) << type;

    const std::vector<std::pair<std::string, std::string>> names = {
        {"AT", ""}, {"GS", "Grass"}, {"O\tPS", ""}};
    EXPECT_EQ(MissingNamesNote(names, 0),
              "2 of 3 species have no common name; their folder names are shown instead: AT, "
              "O\\tPS.");
    EXPECT_EQ(MissingNamesNote({{"GS", "Grass"}}, 2), "");
    EXPECT_EQ(MissingNamesNote(names, 3), "");
}

}  // namespace
}  // namespace orvane
