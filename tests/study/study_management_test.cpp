// SPDX-License-Identifier: GPL-3.0-or-later
#include "study/study_management.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chain/processing_session.h"
#include "store/database.h"
#include "support/recording_frontend.h"
#include "support/scratch_database.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

TEST(FolderBrowserStatusText, LongPathsShowTheirFirst35Characters) {
    const std::string p35(35, 'a');
    const struct {
        std::string path;
        std::string shown;
    } cases[] = {
        {"", ""},
        {p35, p35},
        {p35 + "b", p35 + "..."},
        {"/home/field/studies/2019/kauri-dieback/site01", "/home/field/studies/2019/kauri-dieb..."},
        // Characters, not bytes: an e-acute is never cut in half.
        {std::string(34, 'a') + "\xC3\xA9\xC3\xA9", std::string(34, 'a') + "\xC3\xA9..."},
    };
    for (const auto& c : cases) EXPECT_EQ(FolderBrowserStatusText(c.path), c.shown) << c.path;
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
    }
    int RowsOf(int study) {
        int n = 0;
        for (const char* table :
             {"spectrum", "site", "species", "waveband_filter_range", "waveband_filter",
              "derivative", "smoothing_filter", "library", "pca_data", "study"})
            n += Count(table, Sql("study_id = %i", study));
        n += Count("statistic", Sql("species_id in (select species_id from species where "
                                    "study_id = %i)",
                                    study));
        n += Count("mixture", Sql("species_id in (select species_id from species where "
                                  "study_id = %i)",
                                  study));
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
    EXPECT_EQ(session_.StudyId(), id);
    EXPECT_EQ(session_.StudyName(), fields.name);
    EXPECT_EQ(session_.MinSpectraPerSpecies(), 10000);
    ResultSet rows = session_.Db().Query(
        Sql("select name, description, datapath, min_no_of_spec_per_endmember from study where "
            "study_id = %i",
            id));
    ASSERT_TRUE(rows.Next());
    EXPECT_EQ(rows.String(0), fields.name);
    EXPECT_EQ(rows.String(1), fields.description);
    EXPECT_EQ(rows.String(2), fields.data_path);
    EXPECT_EQ(Count("smoothing_filter sf join smoothing_filter_type t on sf.sf_type_id = "
                    "t.sf_type_id",
                    Sql("t.type = 0 and study_id = %i", id)),
              1);
    EXPECT_EQ(Count("derivative d join derivative_calc_method m on d.deriv_calc_method_id = "
                    "m.deriv_calc_method_id",
                    Sql("m.type = 2 and study_id = %i", id)),
              1);
    EXPECT_EQ(Count("waveband_filter", Sql("study_id = %i", id)), 1);
    EXPECT_EQ(session_.SmoothingType(), 0);
}

TEST_F(Studies, CreateRefusesBadFieldsAndStoresNothing) {
    const struct {
        const char* what;
        StudyFields fields;
        const char* message;
    } cases[] = {
        {"too few samples", {"A", "", "/d", -1}, "between 0 and 10000"},
        {"too many samples", {"A", "", "/d", 10001}, "between 0 and 10000"},
        {"no name", {"", "", "/d", 15}, "name"},
        {"blank name", {"  ", "", "/d", 15}, "name"},
        {"name too long for its column", {std::string(256, 'n'), "", "/d", 15}, "name"},
    };
    for (const auto& c : cases) {
        try {
            Management().CreateStudy(c.fields);
            ADD_FAILURE() << c.what << ": created";
        } catch (const OrvaneError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
                << c.what << ": " << e.what();
        }
        for (const char* table : {"study", "smoothing_filter", "derivative", "waveband_filter"})
            EXPECT_EQ(Count(table), 0) << c.what << ": " << table;
    }
    EXPECT_EQ(Management().CreateStudy({"zero is allowed", "", "", 0}) > 0, true);
}

TEST_F(Studies, CreateRefusesANameThatDiffersOnlyInCaseOrTrailingBlanks) {
    const int first = Management().CreateStudy({"Field 2024", "", "/d", 15});
    const struct {
        const char* name;
        bool refused;
    } cases[] = {
        {"field 2024", true}, {"FIELD 2024  ", true}, {"Field 2024 ", true},
        {"Field  2024", false}, {"Field 2025", false},
    };
    for (const auto& c : cases) {
        try {
            Management().CreateStudy({c.name, "", "/d", 15});
            EXPECT_FALSE(c.refused) << c.name;
        } catch (const OrvaneError& e) {
            EXPECT_TRUE(c.refused) << c.name;
            EXPECT_EQ(std::string(e.what()),
                      Sql("There is a study \"Field 2024\" (id %i) already; give the new study a "
                          "name that differs by more than case or trailing blanks.",
                          first));
        }
    }
    EXPECT_EQ(Count("study"), 3);
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
    const std::vector<std::string> expected = {
        "Deleting all data of study 'Gone's' .... \n",
        "  Deleted 1 species, 1 site and 1 spectrum\n",
        "  Deleted 1 spectral library and 1 principal component analysis\n",
        "  Deleted the study's waveband filter, smoothing and derivative settings\n",
        "Study 'Gone's' has been removed from the database\n",
    };
    EXPECT_EQ(frontend_.reports, expected);

    // The last study gone leaves no current study.
    frontend_.answers = {true};
    EXPECT_TRUE(Management().DeleteCurrentStudy());
    EXPECT_EQ(session_.StudyId(), 0);
    EXPECT_THROW(Management().DeleteCurrentStudy(), OrvaneError);
}

TEST_F(Studies, Report) {
    Database& db = session_.Db();
    Management().CreateStudy({"Empty", "Nothing yet", "/data/empty", 12});
    EXPECT_EQ(Management().StudyReport(),
              "Report about study 'Empty':\n\nDescription:\nNothing yet\n\nDatapath:\n/data/empty"
              "\n\nNumber of minimum spectra per endmember:\n12\n\nNumber of species:\n0"
              "\n\nNumber of spectra:\n0");
    EXPECT_EQ(frontend_.reports.size(), 1u);

    const int full = Management().CreateStudy({"Full", "", "/data/full", 15});
    db.Execute(Sql("update study set description = NULL where study_id = %i", full));
    const int species = test::InsertSpecies(db, full, "Kauri");
    int site_no = 0;
    for (const char* date : {"2019-03-05 10:00:00", "2018-11-30 08:15:00"}) {
        const int site = test::InsertSite(db, full, species, ++site_no);
        db.Execute(Sql("update site set capture_date = '%s' where site_id = %i", date, site));
        test::InsertSpectrum(db, full, species, site, {1, 0, 0, 0, 1}, "");
    }
    EXPECT_EQ(Management().StudyReport(),
              "Report about study 'Full':\n\nDescription:\n\n\nDatapath:\n/data/full"
              "\n\nNumber of minimum spectra per endmember:\n15\n\nNumber of species:\n1"
              "\n\nNumber of spectra:\n2\n\nSpectra capturing timeframe:\n2018-11-30 08:15:00 - "
              "2019-03-05 10:00:00");
}

}  // namespace
}  // namespace orvane
