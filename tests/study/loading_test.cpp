// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "base/frontend.h"
#include "base/orvane_error.h"
#include "chain/processing_chain.h"
#include "chain/processing_session.h"
#include "store/database.h"
#include "store/spectra_repository.h"
#include "study/study_loader.h"
#include "study/study_management.h"
#include "study/study_spectra.h"
#include "support/recording_frontend.h"
#include "support/refusal.h"
#include "support/scratch_database.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

class Loading : public ::testing::Test {
  protected:
    Loading()
        : scratch_("loading"),
          session_(scratch_.Connect(), nullptr),
          loader_(session_) {}

    Database& Db() { return session_.Db(); }

    // A spectrum row with reflectances that identify it (seed = its spectrum number).
    int AddSpectrum(int study, int species, int site, int no, int disabled = 0) {
        test::SpectrumValues v;
        v.spectrum_no = no;
        v.latitude = -36.0 - no / 1000.0;
        v.longitude = 174.0 + no / 1000.0;
        v.altitude = 10.0 * no;
        v.disabled = disabled;
        return test::InsertSpectrum(Db(), study, species, site, v,
                                    test::Blob(test::DistinctReflectances(no)));
    }

    test::ScratchDatabase scratch_;
    ProcessingSession session_;
    StudyLoader loader_;
};

TEST_F(Loading, SpeciesWithSitesAndOnlyEnabledSpectra) {
    const int study = test::InsertStudy(Db(), "s");
    const int species = test::InsertSpecies(Db(), study, "AGAU");
    const int other = test::InsertSpecies(Db(), study, "Other");
    const int site1 = test::InsertSite(Db(), study, species, 1);
    const int site2 = test::InsertSite(Db(), study, species, 2);
    const int other_site = test::InsertSite(Db(), study, other, 1);
    AddSpectrum(study, species, site1, 1);
    AddSpectrum(study, species, site1, 2, /*disabled=*/1);
    AddSpectrum(study, species, site1, 3);
    AddSpectrum(study, species, site2, 4, /*disabled=*/2);
    AddSpectrum(study, species, site2, 5);
    AddSpectrum(study, other, other_site, 6);

    auto loaded = loader_.LoadSpecies(species);
    EXPECT_EQ(loaded->folder_name_, "AGAU");
    ASSERT_EQ(loaded->SiteCount(), 2);
    for (int i : {0, 1})  // site 1 with two enabled spectra, site 2 with one
        EXPECT_EQ(std::make_pair(loaded->SiteAt(i)->SiteNumber(), loaded->SiteAt(i)->MemberCount()),
                  std::make_pair(i + 1, 2 - i));
    ASSERT_EQ(loaded->MemberCount(), 3);  // gathered, the disabled ones never loaded
    std::vector<int> numbers;
    for (int i = 0; i < loaded->MemberCount(); ++i) {
        const Spectrum* s = loaded->Member(i);
        numbers.push_back(s->number_);
        EXPECT_EQ(s->parent_species_, loaded.get());
        EXPECT_EQ(s->reflectances_[0], test::DistinctReflectances(s->number_)[0]);
    }
    EXPECT_EQ(numbers, (std::vector<int>{1, 3, 5}));
    EXPECT_EQ(loaded->Member(2)->parent_site_, loaded->SiteAt(1));
    EXPECT_EQ(loaded->SiteAt(0)->parent_species_, loaded.get());
}

// A spectrum without a stored position keeps the position it was created with, not the one
// of the spectrum read before it.
TEST_F(Loading, MissingPositionIsNotTakenFromThePreviousRow) {
    const int study = test::InsertStudy(Db(), "s");
    const int species = test::InsertSpecies(Db(), study, "Kauri");
    const int site = test::InsertSite(Db(), study, species, 3);
    AddSpectrum(study, species, site, 1);
    const int bare = AddSpectrum(study, species, site, 2);
    Db().Execute(
        Sql("update spectrum set latitude = NULL, longitude = NULL, altitude = NULL "
            "where spectrum_id = %i",
            bare));
    auto loaded = loader_.LoadSite(site);
    ASSERT_EQ(loaded->MemberCount(), 2);
    EXPECT_DOUBLE_EQ(loaded->Member(0)->latitude_, -36.001);
    EXPECT_DOUBLE_EQ(loaded->Member(0)->altitude_, 10.0);
    const auto alone = loader_.LoadSpectrum(bare);
    for (const Spectrum* s : {loaded->Member(1), alone.get()})
        EXPECT_EQ(std::make_tuple(s->number_, s->latitude_, s->longitude_, s->altitude_),
                  std::make_tuple(2, 0.0, 0.0, 0.0));
    EXPECT_THROW(loader_.LoadSpectrum(bare + 1000), OrvaneError);
}

TEST_F(Loading, EveryDisabledSpectrumStillYieldsTheSites) {
    const int study = test::InsertStudy(Db(), "s");
    const int species = test::InsertSpecies(Db(), study, "Gone");
    for (int n = 1; n <= 3; ++n) {
        const int site = test::InsertSite(Db(), study, species, n);
        AddSpectrum(study, species, site, 10 * n, 1);
        AddSpectrum(study, species, site, 10 * n + 1, 1);
    }
    test::InsertSite(Db(), study, species, 4);  // a site without any spectrum row
    auto loaded = loader_.LoadSpecies(species);
    EXPECT_EQ(std::make_tuple(loaded->SiteCount(), loaded->TotalSpectra(), loaded->MemberCount()),
              std::make_tuple(4, 0, 0));
    Chain chain(session_.Compiled());
    EXPECT_THROW(StageMean(chain, *loaded, Stage::kRaw), OrvaneError);
}

TEST_F(Loading, NullNamesStayEmpty) {
    const int study = test::InsertStudy(Db(), "s");
    const struct {
        std::optional<std::string> common, latin, maori;
    } cases[] = {
        {std::nullopt, std::nullopt, std::nullopt},
        {std::string("Rimu"), std::nullopt, std::string("rimu")},
        {std::string(""), std::string("D. c."), std::nullopt}};
    int n = 0;
    for (const auto& c : cases) {
        const std::string folder = "folder " + std::to_string(++n) + " O'Neill";
        const int id = test::InsertSpecies(Db(), study, folder, c.common, c.latin, c.maori);
        auto loaded = loader_.LoadSpecies(id);
        EXPECT_EQ(std::tie(loaded->folder_name_, loaded->common_name_, loaded->latin_name_,
                           loaded->maori_name_),
                  std::make_tuple(folder, c.common.value_or(""), c.latin.value_or(""),
                                  c.maori.value_or("")));
    }
    // A species id without a row gives an empty species.
    auto none = loader_.LoadSpecies(987654);
    EXPECT_EQ(std::make_pair(none->folder_name_, none->SiteCount()),
              std::make_pair(std::string(), 0));
}

// What a test compares of a spectrum read back, and of its place.
using Read = std::tuple<int, int, double, double, double, std::vector<float>>;
Read ReadOf(const Spectrum& s) {
    return {s.spectrum_id_, s.number_, s.latitude_, s.longitude_, s.altitude_,
            std::vector<float>(s.reflectances_.begin(), s.reflectances_.end())};
}

// Spectra read in batches are the ones LoadSpectrum gives one by one, disabled ones too, in
// id order across batch boundaries, each with its place; a spectrum whose site row is gone
// has none.
TEST_F(Loading, SpectraInBatchesMatchThoseReadOneByOne) {
    const int study = test::InsertStudy(Db(), "s");
    const int species = test::InsertSpecies(Db(), study, "AGAU");
    const int other = test::InsertSpecies(Db(), study, "Other");
    const int site1 = test::InsertSite(Db(), study, species, 1);
    const int site2 = test::InsertSite(Db(), study, species, 2);
    const int other_site = test::InsertSite(Db(), study, other, 7);
    const int gone_site = test::InsertSite(Db(), study, other, 8);
    std::vector<int> ids = {AddSpectrum(study, species, site1, 1),
                            AddSpectrum(study, other, other_site, 2),
                            AddSpectrum(study, species, site1, 3, /*disabled=*/1),
                            AddSpectrum(study, species, site2, 4),
                            AddSpectrum(study, other, gone_site, 5),
                            AddSpectrum(study, species, site2, 6)};
    Db().Execute(Sql("delete from site where site_id = %i", gone_site));
    std::vector<Read> one_by_one;
    for (int id : ids) one_by_one.push_back(ReadOf(*loader_.LoadSpectrum(id)));
    const std::vector<std::tuple<bool, std::string, int>> places = {
        {true, "AGAU", 1}, {true, "Other", 7}, {true, "AGAU", 1},
        {true, "AGAU", 2}, {false, "", 0},     {true, "AGAU", 2}};
    for (size_t batch : {size_t{1}, size_t{4}, size_t{6}, kSpectraBatch}) {
        std::vector<Read> batched;
        std::vector<std::tuple<bool, std::string, int>> placed;
        loader_.ForEachSpectrum(
            ids,
            [&](Spectrum& s, const SpectrumRecord& row) {
                batched.push_back(ReadOf(s));
                placed.emplace_back(row.placed, row.folder, row.site_no);
            },
            batch);
        EXPECT_EQ(batched, one_by_one) << "batch " << batch;
        EXPECT_EQ(placed, places) << "batch " << batch;
    }
    int calls = 0;
    loader_.ForEachSpectrum({}, [&](Spectrum&, const SpectrumRecord&) { ++calls; }, 2);
    EXPECT_EQ(calls, 0);
}

// An id without a spectrum is named, whether the rows after it are still coming (the stream is
// dropped and the connection serves the next statement) or the list ends with it.
TEST_F(Loading, MissingSpectrumInABatchIsNamed) {
    const int study = test::InsertStudy(Db(), "s");
    const int species = test::InsertSpecies(Db(), study, "AGAU");
    const int site = test::InsertSite(Db(), study, species, 1);
    std::vector<int> ids;
    for (int n = 1; n <= 5; ++n) ids.push_back(AddSpectrum(study, species, site, n));
    Db().Execute(Sql("delete from spectrum where spectrum_id = %i", ids[1]));
    const auto ignore = [](Spectrum&, const SpectrumRecord&) {};
    EXPECT_TRUE(test::Refuses([&] { loader_.ForEachSpectrum(ids, ignore, 4); },
                              "There is no spectrum with id " + std::to_string(ids[1]) + "."));
    EXPECT_TRUE(test::Refuses([&] { loader_.ForEachSpectrum({ids[0], ids[4] + 1}, ignore, 2); },
                              "There is no spectrum with id " + std::to_string(ids[4] + 1) + "."));
    // A callback that stops half way through a batch leaves the connection usable.
    EXPECT_THROW(loader_.ForEachSpectrum(
                     {ids[0], ids[2], ids[3]},
                     [](Spectrum&, const SpectrumRecord&) { throw OrvaneError("stop"); }, 3),
                 OrvaneError);
    EXPECT_EQ(loader_.LoadSpecies(species)->MemberCount(), 4);
}

// A streamed species gives the spectra, site numbers and names LoadSpecies gives: disabled
// spectra, a site without spectra and a site with only disabled ones give nothing.
TEST_F(Loading, StreamedSpeciesGivesTheLoadedSpectra) {
    const int study = test::InsertStudy(Db(), "s");
    const int species = test::InsertSpecies(Db(), study, "AGAU", std::string("Kauri"));
    const int site1 = test::InsertSite(Db(), study, species, 1);
    test::InsertSite(Db(), study, species, 2);
    const int site3 = test::InsertSite(Db(), study, species, 3);
    const int site4 = test::InsertSite(Db(), study, species, 4);
    AddSpectrum(study, species, site4, 1);
    AddSpectrum(study, species, site1, 2);
    AddSpectrum(study, species, site1, 3, /*disabled=*/1);
    AddSpectrum(study, species, site3, 4, /*disabled=*/1);
    AddSpectrum(study, species, site1, 5);
    AddSpectrum(study, species, site4, 6);
    auto loaded = loader_.LoadSpecies(species);
    std::vector<std::pair<int, Read>> expected;
    for (int i = 0; i < loaded->SiteCount(); ++i)
        for (int m = 0; m < loaded->SiteAt(i)->MemberCount(); ++m)
            expected.emplace_back(loaded->SiteAt(i)->SiteNumber(),
                                  ReadOf(*loaded->SiteAt(i)->Member(m)));
    ASSERT_EQ(expected.size(), 4u);
    std::vector<std::pair<int, Read>> streamed;
    auto named = loader_.StreamSpecies(species, [&](const Species& sp, int site_no, Spectrum& s) {
        EXPECT_EQ(sp.common_name_, "Kauri");
        streamed.emplace_back(site_no, ReadOf(s));
    });
    EXPECT_EQ(streamed, expected);
    EXPECT_EQ(std::tie(named->folder_name_, named->common_name_),
              std::tie(loaded->folder_name_, loaded->common_name_));
}

// A missing study must not leave the previous study's folder behind for an import to walk.
TEST_F(Loading, MissingStudyLeavesNoFolderToImport) {
    loader_.SetStudy(test::InsertStudy(Db(), "with folder", "/tmp"));
    loader_.SetStudy(987654);
    SilentFrontend frontend;
    EXPECT_TRUE(test::Refuses([&] { loader_.ImportStudySpectra(frontend); }, "no data folder"));
}

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

class Studies : public ::testing::Test {
  protected:
    Studies() : scratch_("studies"), session_(scratch_.Connect(), nullptr) {}

    StudyManagement Management() { return StudyManagement(session_, frontend_); }
    int Count(const std::string& table, const std::string& where = "1") {
        return test::Count(session_.Db(), "select count(*) from " + table + " where " + where);
    }
    // Every row a study can own, so that a deletion can be checked table by table.
    void FillStudy(int study) {
        Database& db = session_.Db();
        const int species = test::InsertSpecies(db, study, "Kauri");
        const int site = test::InsertSite(db, study, species, 1);
        test::InsertSpectrum(db, study, species, site, {},
                             test::Blob(test::DistinctReflectances(1)));
        test::InsertWavebandFilter(db, study, {{1350, 1450}});
        db.Execute(
            Sql("insert into library (study_id, feature_space_id, smoothing_filter_id, "
                "derivative_id, sensor_id) values (%i, 1, 1, 1, 1)",
                study));
        db.Execute(Sql("insert into statistic (library_id, species_id) values (%i, %i)",
                       static_cast<int>(db.InsertId()), species));
        db.Execute(Sql("insert into mixture (species_id, endmember_id) values (%i, %i)", species,
                       species));
        db.Execute(
            Sql("insert into pca_data (study_id, sensor_id, smoothing_filter_id, "
                "derivative_id) values (%i, 1, 1, 1)",
                study));
        db.Execute(Sql("insert into stage_option (study_id, stage, mode) values (%i, 7, 1)", study));
        db.Execute(Sql("insert into stage_pair (study_id, stage, lower_wavelength, "
                       "upper_wavelength) values (%i, 7, 990, 991)",
                       study));
    }
    int RowsOf(int study) {
        int n = 0;
        for (const char* table :
             {"spectrum", "site", "species", "waveband_filter_range", "waveband_filter",
              "derivative", "smoothing_filter", "stage_option", "stage_pair", "library", "pca_data",
              "study"})
            n += Count(table, Sql("study_id = %i", study));
        for (const char* table : {"statistic", "mixture"})
            n += Count(table, Sql("species_id in (select species_id from species where "
                                  "study_id = %i)", study));
        return n;
    }

    test::ScratchDatabase scratch_;
    ProcessingSession session_;
    test::RecordingFrontend frontend_;
};

TEST_F(Studies, CreateStoresTheStudyWithItsChainRowsAndMakesItCurrent) {
    StudyFields fields;
    fields.name = "O'Neill's \"kauri\" plots";
    fields.description = "it's a test; drop table study; --";
    fields.data_path = "C:\\data\\kauri's";
    fields.min_samples = 10000;
    const int id = Management().CreateStudy(fields);
    EXPECT_EQ(std::make_tuple(session_.StudyId(), session_.StudyName(),
                              session_.MinSpectraPerSpecies(), session_.SmoothingType()),
              std::make_tuple(id, fields.name, 10000, 0));
    EXPECT_EQ(Count("study", Sql("datapath = '%s' and description = '%s'",
                                 session_.Db().Escape(fields.data_path).c_str(),
                                 session_.Db().Escape(fields.description).c_str())),
              1);
    EXPECT_EQ(Count("smoothing_filter sf join smoothing_filter_type t on sf.sf_type_id = "
                    "t.sf_type_id",
                    Sql("t.type = 0 and study_id = %i", id)),
              1);
    EXPECT_EQ(Count("derivative d join derivative_calc_method m on d.deriv_calc_method_id = "
                    "m.deriv_calc_method_id",
                    Sql("m.type = 2 and study_id = %i", id)),
              1);
    EXPECT_EQ(Count("waveband_filter", Sql("study_id = %i", id)), 1);
}

TEST_F(Studies, CreateRefusesBadFieldsAndStoresNothing) {
    const struct {
        const char* what;
        StudyFields fields;
        const char* message;
    } cases[] = {
        {"too few samples", {"A", "", "/d", -1}, "between 0 and 10000"},
        {"too many samples", {"A", "", "/d", 10001}, "between 0 and 10000"},
        {"blank name", {"  ", "", "/d", 15}, "name"},
        {"name too long for its column", {std::string(256, 'n'), "", "/d", 15}, "name"}};
    for (const auto& c : cases) {
        EXPECT_TRUE(test::Refuses([&] { Management().CreateStudy(c.fields); }, c.message))
            << c.what;
        for (const char* table : {"study", "smoothing_filter", "derivative", "waveband_filter"})
            EXPECT_EQ(Count(table), 0) << c.what << ": " << table;
    }
    EXPECT_EQ(Management().CreateStudy({"zero is allowed", "", "", 0}) > 0, true);
}

TEST_F(Studies, CreateRefusesANameThatDiffersOnlyInCaseOrTrailingBlanks) {
    const int first = Management().CreateStudy({"Field 2024", "", "/d", 15});
    const std::pair<const char*, bool> cases[] = {
        {"FIELD 2024  ", true}, {"Field 2024 ", true}, {"Field  2024", false}};
    for (const auto& [name, refused] : cases) {
        const char* created = name;
        EXPECT_EQ(test::RefusalMessage([&] { Management().CreateStudy({created, "", "/d", 15}); }),
                  refused ? Sql("There is a study \"Field 2024\" (id %i) already; give the new "
                                "study a name that differs by more than case or trailing blanks.",
                                first)
                          : "")
            << name;
    }
    EXPECT_EQ(Count("study"), 2);
}

TEST_F(Studies, DeleteAsksThenRemovesEverythingOfTheStudyAndNothingElse) {
    const int keep = Management().CreateStudy({"Keep", "", "/keep", 15});
    FillStudy(keep);
    const int gone = Management().CreateStudy({"Gone's", "", "/gone", 15});
    FillStudy(gone);
    const int kept_rows = RowsOf(keep);

    frontend_.answers = {false};
    EXPECT_FALSE(Management().DeleteCurrentStudy());
    // The core warns; how to answer is each face's own line.
    EXPECT_EQ(frontend_.questions,
              std::vector<std::string>{"Warning: \nThe study 'Gone's' including all spectral "
                                       "data will be deleted!"});
    EXPECT_TRUE(frontend_.reports.empty());
    EXPECT_EQ(RowsOf(gone), kept_rows);

    frontend_.answers = {true};
    EXPECT_TRUE(Management().DeleteCurrentStudy());
    EXPECT_EQ(RowsOf(gone), 0);
    EXPECT_EQ(RowsOf(keep), kept_rows);
    EXPECT_EQ(session_.StudyId(), keep);
    EXPECT_EQ(frontend_.reports,
              (std::vector<std::string>{
                  "Deleting all data of study 'Gone's' .... \n",
                  "  Deleted 1 species, 1 site and 1 spectrum\n",
                  "  Deleted 1 spectral library and 1 principal component analysis\n",
                  "  Deleted the study's waveband filter, splice, smoothing, continuum and "
                  "derivative settings\n",
                  "Study 'Gone's' has been removed from the database\n"}));

    // The last study gone leaves no current study.
    frontend_.answers = {true};
    EXPECT_TRUE(Management().DeleteCurrentStudy());
    EXPECT_EQ(session_.StudyId(), 0);
    EXPECT_THROW(Management().DeleteCurrentStudy(), OrvaneError);
}

}  // namespace
}  // namespace orvane
