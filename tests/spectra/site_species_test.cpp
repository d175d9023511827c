// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "spectra/site.h"
#include "spectra/species.h"

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
    for (const auto* s : {s1.get(), s2.get(), s3.get()}) mean.Add(*s->raw_);
    const auto result = mean.Result();
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->First(), 350);
    EXPECT_EQ(result->Count(), 2150);
    EXPECT_EQ(result->ValidCount(), 2149);
    struct Case {
        int wavelength;
        double mean;
    };
    // Floats of the members: the mean is of the values as stored.
    const double a = 0.2f, b = 0.4f, c = 0.9f;
    for (const Case& k : {Case{350, (a + b + c) / 3}, Case{2499, (a + b + c) / 3},
                          Case{500, kNoValue},  // no value in any member
                          Case{700, (b + c) / 2}}) {
        EXPECT_EQ(result->Value(k.wavelength), k.mean) << k.wavelength;
        EXPECT_EQ(result->X(k.wavelength), k.wavelength);
    }
    // The members are left as they were.
    EXPECT_EQ(s2->raw_->Value(350), b);
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

}  // namespace
}  // namespace orvane
