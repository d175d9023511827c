// SPDX-License-Identifier: GPL-3.0-or-later
#include "study/study_spectra.h"

#include <gtest/gtest.h>

#include "base/orvane_error.h"
#include "support/scratch_database.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

class StudySpectraTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Database& db = scratch_.Admin();
        study_ = test::InsertStudy(db, "browse");
        other_ = test::InsertStudy(db, "other");
        // Inserted out of order: the listing sorts by folder, site and number.
        Add(study_, "zeta", 2, 1);
        Add(study_, "alpha", 3, 2);
        Add(study_, "alpha", 1, 5);
        Add(study_, "alpha", 1, 4);
        foreign_ = Add(other_, "alpha", 1, 1);
        db.Execute(Sql("update site set capture_date = 20180302102211 where study_id = %i and "
                       "site_no = 3",
                       study_));
    }

    int Add(int study, const std::string& folder, int site_no, int number) {
        Database& db = scratch_.Admin();
        int species = test::Count(db, Sql("select max(species_id) from species where study_id = "
                                          "%i and folder_name = '%s'",
                                          study, folder.c_str()));
        if (species <= 0) species = test::InsertSpecies(db, study, folder);
        int site = test::Count(
            db, Sql("select max(site_id) from site where species_id = %i and site_no = %i",
                    species, site_no));
        if (site <= 0) site = test::InsertSite(db, study, species, site_no);
        test::SpectrumValues row;
        row.spectrum_no = number;
        row.latitude = -41.5;
        return test::InsertSpectrum(db, study, species, site, row,
                                    test::Blob(test::DistinctReflectances(number)));
    }

    std::vector<std::string> Keys(const std::vector<StoredSpectrum>& list) {
        std::vector<std::string> keys;
        for (const StoredSpectrum& s : list)
            keys.push_back(s.species + "/" + std::to_string(s.site_no) + "/" +
                           std::to_string(s.spectrum_no) + (s.disabled ? " off" : ""));
        return keys;
    }

    test::ScratchDatabase scratch_{"browse"};
    int study_ = 0;
    int other_ = 0;
    int foreign_ = 0;
};

TEST_F(StudySpectraTest, ListsInTreeOrderWithFilters) {
    Database& db = scratch_.Admin();
    const std::vector<StoredSpectrum> all = ListStudySpectra(db, study_);
    EXPECT_EQ(Keys(all),
              (std::vector<std::string>{"alpha/1/4", "alpha/1/5", "alpha/3/2", "zeta/2/1"}));
    EXPECT_EQ(all[2].capture_time, "2018-03-02 10:22:11");
    EXPECT_EQ(all[0].capture_time, "");
    EXPECT_EQ(all[0].latitude, -41.5);
    EXPECT_EQ(Keys(ListStudySpectra(db, study_, std::string("alpha"), 1)),
              (std::vector<std::string>{"alpha/1/4", "alpha/1/5"}));
    EXPECT_TRUE(ListStudySpectra(db, study_, std::string("a' or '1'='1")).empty());
}

TEST_F(StudySpectraTest, DisableAndEnableCountOnlyRealChangesAndRefuseForeignIds) {
    Database& db = scratch_.Admin();
    const std::vector<StoredSpectrum> all = ListStudySpectra(db, study_);
    const int a = all[0].spectrum_id;
    const int b = all[1].spectrum_id;
    auto changed_at = [&] {
        std::string text;
        db.QueryText(Sql("select spectra_changed_at from study where study_id = %i", study_), text);
        return text;
    };
    EXPECT_EQ(changed_at(), "");

    EXPECT_EQ(SetSpectraDisabled(db, study_, {a, b, a}, true), 2);
    const std::string first = changed_at();
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(Keys(ListStudySpectra(db, study_))[1], "alpha/1/5 off");
    // Nothing changes state, so the study's spectra did not change either.
    EXPECT_EQ(SetSpectraDisabled(db, study_, {a}, true), 0);
    EXPECT_EQ(changed_at(), first);

    // An id of another study (or none at all) changes nothing, not even the valid ones.
    EXPECT_THROW(SetSpectraDisabled(db, study_, {b, foreign_}, false), OrvaneError);
    EXPECT_THROW(SetSpectraDisabled(db, study_, {b, 999999}, false), OrvaneError);
    EXPECT_EQ(Keys(ListStudySpectra(db, study_))[1], "alpha/1/5 off");
    EXPECT_EQ(test::Count(db, Sql("select disabled from spectrum where spectrum_id = %i", foreign_)),
              0);

    EXPECT_EQ(SetSpectraDisabled(db, study_, {a, b}, false), 2);
    EXPECT_GT(changed_at(), first);
}

}  // namespace
}  // namespace orvane
