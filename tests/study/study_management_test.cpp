// SPDX-License-Identifier: GPL-3.0-or-later
#include "study/study_management.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "chain/processing_session.h"
#include "store/database.h"
#include "support/recording_frontend.h"
#include "support/refusal.h"
#include "support/scratch_database.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

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
    const struct {
        const char* name;
        bool refused;
    } cases[] = {
        {"FIELD 2024  ", true}, {"Field 2024 ", true}, {"Field  2024", false}
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
