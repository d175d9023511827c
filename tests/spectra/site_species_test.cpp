#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

#include "base/orvane_error.h"
#include "chain/processing_session.h"
#include "spectra/site.h"
#include "spectra/species.h"
#include "support/scratch_database.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

// A spectrum whose raw values are one constant, except the bands listed as markers.
std::unique_ptr<Spectrum> Constant(const ProcessingSession* session, float value,
                                   const std::vector<int>& marked = {}) {
    auto s = std::make_unique<Spectrum>(session);
    std::vector<float> values(kSpectrumBands, value);
    for (int w : marked) values[static_cast<size_t>(w - kFirstWavelength)] = -1.0f;
    s->SetReflectances(values.data());
    return s;
}

TEST(Spectrum, NewSpectrumIsADummy) {
    Spectrum s(nullptr);
    s.name_ = "kauri_00001";
    EXPECT_EQ(s.DisplayName(), "dummy");
    s.dummy_ = 0;
    EXPECT_EQ(s.DisplayName(), "kauri_00001");
}

TEST(Site, RawStageMean) {
    Site site(nullptr, 4, 3);
    site.AddMember(Constant(nullptr, 0.2f, {500, 700}));
    site.AddMember(Constant(nullptr, 0.4f, {500}));
    site.AddMember(Constant(nullptr, 0.9f, {500}));
    const auto mean = site.StageMean(kStageRaw);
    ASSERT_NE(mean, nullptr);
    EXPECT_EQ(mean->First(), 350);
    EXPECT_EQ(mean->Count(), 2150);
    struct Case {
        int wavelength;
        double mean;
    };
    // Floats of the members: the mean is of the values as stored.
    const double a = 0.2f, b = 0.4f, c = 0.9f;
    for (const Case& k : {Case{350, (a + b + c) / 3}, Case{2499, (a + b + c) / 3},
                          Case{500, -1.0},  // no value in any member
                          Case{700, (-1.0 + b + c) / 3}}) {
        EXPECT_NEAR(mean->Value(k.wavelength), k.mean, 1e-15) << k.wavelength;
        EXPECT_EQ(mean->X(k.wavelength), k.wavelength);
    }
    EXPECT_EQ(mean->Value(500), -1.0);  // exactly the marker
    // The members are left as they were.
    EXPECT_EQ(site.Member(1)->raw_->Value(350), b);
}

class FilteredMean : public ::testing::Test {
  protected:
    FilteredMean() {
        auto db = scratch_.Connect();
        const int study = test::InsertStudy(*db, "s");
        test::InsertWavebandFilter(*db, study, {{1350, 1450}, {1800, 1950}});
        session_ = std::make_unique<ProcessingSession>(std::move(db), nullptr);
        session_->SetStudy(study);
    }
    test::ScratchDatabase scratch_{"stagemean"};
    std::unique_ptr<ProcessingSession> session_;
};

TEST_F(FilteredMean, BandExcludedInEveryMemberStaysMarked) {
    Site site(session_.get(), 1, 2);
    site.AddMember(Constant(session_.get(), 0.25f));
    site.AddMember(Constant(session_.get(), 0.75f));
    const auto mean = site.StageMean(kStageFiltered);
    struct Case {
        int wavelength;
        double mean;
    };
    for (const Case& k : {Case{1349, 0.5}, Case{1350, -1.0}, Case{1450, -1.0}, Case{1451, 0.5},
                          Case{1800, -1.0}, Case{1950, -1.0}, Case{350, 0.5}}) {
        EXPECT_EQ(mean->Value(k.wavelength), k.mean) << k.wavelength;
    }
    // The raw stage of the same group knows nothing of the filter.
    EXPECT_EQ(site.StageMean(kStageRaw)->Value(1400), 0.5);
}

TEST(Site, GroupWithoutMembersRaisesAnError) {
    Site empty_site(nullptr, 3, 0);
    EXPECT_THROW(empty_site.StageMean(kStageRaw), OrvaneError);
    EXPECT_THROW(empty_site.FeatureMatrix(kFeatureDI), OrvaneError);
    EXPECT_THROW(empty_site.MeanFeature(kFeatureDI), OrvaneError);

    Species species(nullptr, 2);
    species.AddSite(std::make_unique<Site>(nullptr, 1, 0));
    species.AddSite(std::make_unique<Site>(nullptr, 2, 0));
    species.GatherSpectra();
    EXPECT_EQ(species.MemberCount(), 0);
    EXPECT_THROW(species.StageMean(kStageRaw), OrvaneError);
    EXPECT_THROW(species.Covariance(kFeatureDI), OrvaneError);
}

TEST(Site, UnknownStageRaisesAnError) {
    Site site(nullptr, 1, 1);
    site.AddMember(Constant(nullptr, 0.5f));
    EXPECT_THROW(site.StageMean(99), OrvaneError);
}

TEST(Species, GatherCollectsEverySpectrumSiteBySite) {
    Species species(nullptr, 3);
    std::vector<Spectrum*> expected;
    const int sizes[] = {2, 0, 3};
    int site_no = 10;
    for (int size : sizes) {
        auto site = std::make_unique<Site>(nullptr, site_no++, size);
        for (int i = 0; i < size; ++i) {
            auto s = Constant(nullptr, static_cast<float>(expected.size()));
            expected.push_back(s.get());
            site->AddMember(std::move(s));
        }
        species.AddSite(std::move(site));
    }
    EXPECT_EQ(species.SiteCount(), 3);
    EXPECT_EQ(species.TotalSpectra(), 5);
    EXPECT_EQ(species.MemberCount(), 0);  // until gathered
    species.GatherSpectra();
    ASSERT_EQ(species.MemberCount(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(species.Member(i), expected[static_cast<size_t>(i)]) << i;
        EXPECT_EQ(species.Member(i)->parent_species_, &species) << i;
    }
    EXPECT_EQ(species.Member(0)->parent_site_, species.SiteAt(0));
    EXPECT_EQ(species.Member(4)->parent_site_, species.SiteAt(2));
    EXPECT_EQ(species.SiteAt(1)->parent_species_, &species);
    EXPECT_EQ(species.SiteWithNumber(12), species.SiteAt(2));
    EXPECT_EQ(species.SiteWithNumber(13), nullptr);

    // Gathering again does not list a spectrum twice.
    species.GatherSpectra();
    EXPECT_EQ(species.MemberCount(), 5);
    // The species mean runs over all gathered spectra: (0 + 1 + 2 + 3 + 4) / 5.
    EXPECT_EQ(species.StageMean(kStageRaw)->Value(1000), 2.0);
}

TEST(Species, NamesByNameType) {
    Species species(nullptr, 0);
    species.common_name_ = "Kauri";
    species.maori_name_ = "kauri";
    species.latin_name_ = "Agathis australis";
    species.folder_name_ = "AGAU";
    EXPECT_EQ(species.NameOfType(0), "Kauri");
    EXPECT_EQ(species.NameOfType(1), "kauri");
    EXPECT_EQ(species.NameOfType(2), "Agathis australis");
    EXPECT_EQ(species.NameOfType(3), "AGAU");
}

// Counts how often each object is destroyed.
std::map<const void*, int>* g_destroyed = nullptr;

class CountedSpectrum : public Spectrum {
  public:
    CountedSpectrum() : Spectrum(nullptr) {}
    ~CountedSpectrum() override { ++(*g_destroyed)[this]; }
};

class CountedSite : public Site {
  public:
    CountedSite(int n, int capacity) : Site(nullptr, n, capacity) {}
    ~CountedSite() override { ++(*g_destroyed)[this]; }
};

TEST(Species, DeletingASpeciesDeletesEachSpectrumOnce) {
    std::map<const void*, int> destroyed;
    g_destroyed = &destroyed;
    std::vector<const void*> spectra;
    std::vector<const void*> sites;
    {
        auto species = std::make_unique<Species>(nullptr, 3);
        for (int n = 1; n <= 3; ++n) {
            auto site = std::make_unique<CountedSite>(n, n);
            for (int i = 0; i < n; ++i) {
                auto s = std::make_unique<CountedSpectrum>();
                spectra.push_back(s.get());
                site->AddMember(std::move(s));
            }
            sites.push_back(site.get());
            species->AddSite(std::move(site));
        }
        species->GatherSpectra();
        species->GatherSpectra();
        EXPECT_TRUE(destroyed.empty());
    }
    EXPECT_EQ(destroyed.size(), spectra.size() + sites.size());
    for (const void* p : spectra) EXPECT_EQ(destroyed[p], 1);
    for (const void* p : sites) EXPECT_EQ(destroyed[p], 1);
    g_destroyed = nullptr;
}

}  // namespace
}  // namespace orvane
