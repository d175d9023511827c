// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <memory>
#include <tuple>
#include <utility>
#include <vector>

#include "chain/processing_chain.h"
#include "spectra/site.h"
#include "spectra/species.h"
#include "spectra/species_names.h"
#include "support/band_values.h"

namespace orvane {
namespace {

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
