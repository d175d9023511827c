#include "forms/feature_space_actions.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "base/frontend.h"
#include "base/orvane_error.h"
#include "chain/processing_session.h"
#include "study/sensor_import.h"
#include "support/scratch_database.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

using Row = std::tuple<int, int, int>;  // band_range_id, band1, band2

class FeatureSpaceActionsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::InsertStudy(db(), "actions");
        session_ = std::make_unique<ProcessingSession>(scratch_.Connect(), nullptr);
        SilentFrontend quiet;
        ImportSensor(*session_, quiet, test::TestData("sensors/landsat8_oli.txt"), 0);
        di_ = Insert(0, "red edge", 3, {{650, 700}, {700, 760}, {860, 900}});
        ntbi_ = Insert(1, "ndvi", 1, {{660, 860}});
        Select(0, di_);
    }

    Database& db() { return scratch_.Admin(); }

    int Insert(int type, const std::string& name, int dimension,
               const std::vector<std::pair<int, int>>& ranges) {
        db().Execute(
            Sql("insert into feature_space (name, description, dimension, fs_type_id) "
                "values ('%s', 'stored', %i, (select fs_type_id from feature_space_type "
                "where type = %i))",
                db().Escape(name).c_str(), dimension, type));
        const int id = static_cast<int>(db().InsertId());
        for (const auto& [b1, b2] : ranges)
            db().Execute(
                Sql("insert into band_range (feature_space_id, band1, band2) values "
                    "(%i, %i, %i)",
                    id, b1, b2));
        return id;
    }

    void Select(int type, int id) {
        session_->SetFeatureSpaceType(type);
        session_->SetFeatureSpace(id);
    }

    std::vector<Row> Ranges(int fs) {
        std::vector<Row> rows;
        ResultSet r =
            db().Query(Sql("select band_range_id, band1, band2 from band_range where "
                           "feature_space_id = %i order by band_range_id",
                           fs));
        while (r.Next()) rows.emplace_back(r.Int(0), r.Int(1), r.Int(2));
        return rows;
    }

    std::vector<std::pair<int, int>> Bands(int fs) {
        std::vector<std::pair<int, int>> bands;
        for (const Row& r : Ranges(fs)) bands.emplace_back(std::get<1>(r), std::get<2>(r));
        return bands;
    }

    std::string Text(const std::string& sql) {
        std::string value = "<none>";
        db().QueryText(sql, value);
        return value;
    }

    // Everything the dialog may write, as one comparable text.
    std::string Snapshot() {
        std::string all;
        for (const char* sql :
             {"select concat_ws('|', feature_space_id, name, description, dimension, fs_type_id, "
              "build_date) from feature_space order by feature_space_id",
              "select concat_ws('|', band_range_id, feature_space_id, band1, band2) from "
              "band_range order by band_range_id",
              "select concat_ws('|', library_id, feature_space_id) from library",
              "select concat_ws('|', statistic_id, library_id) from statistic"}) {
            ResultSet r = db().Query(sql);
            while (r.Next()) all += r.String(0) + "\n";
            all += "--\n";
        }
        return all;
    }

    test::ScratchDatabase scratch_{"fsactions"};
    std::unique_ptr<ProcessingSession> session_;
    int di_ = 0;
    int ntbi_ = 0;
};

TEST_F(FeatureSpaceActionsTest, ShowPreparesTitlesControlsAndTheWorkingList) {
    struct Case {
        int type, fs, mode;
        const char* title;
        const char* list_title;
        bool dimension_enabled;
        const char* name;
        int state;
        size_t lines;
    } cases[] = {
        {0, di_, 0, "Edit an existing DI Feature Space", "Band Ranges [nm]", false, "red edge", -4,
         3},
        {0, di_, 1, "Edit a copied DI Feature Space", "Band Ranges [nm]", false, "red edge_copy",
         -1, 3},
        {0, di_, 2, "Edit a new DI Feature Space", "Band Ranges [nm]", false, "", 0, 0},
        {1, ntbi_, 0, "Edit an existing NTBI Feature Space", "Bands [nm]", false, "ndvi", -4, 1},
        {1, ntbi_, 2, "Edit a new NTBI Feature Space", "Bands [nm]", false, "", 0, 0},
        {2, 0, 2, "Edit a new PCT Feature Space", "NA", true, "", 0, 0},
    };
    for (const Case& c : cases) {
        Select(c.type, c.fs);
        FeatureSpaceActions actions(*session_);
        actions.Show(c.mode);
        const std::string what = c.title;
        EXPECT_EQ(actions.Title(), c.title);
        EXPECT_EQ(actions.ListTitle(), c.list_title) << what;
        EXPECT_EQ(actions.DimensionEnabled(), c.dimension_enabled) << what;
        EXPECT_EQ(actions.ListEnabled(), !c.dimension_enabled) << what;
        EXPECT_EQ(actions.Name(), c.name) << what;
        EXPECT_EQ(actions.Description(), c.mode == 2 ? "" : "stored") << what;
        ASSERT_EQ(actions.Lines().size(), c.lines) << what;
        EXPECT_EQ(actions.Entries().size(), c.lines) << what;
        for (const auto& e : actions.Entries()) EXPECT_EQ(e.state, c.state) << what;
    }
    Select(0, di_);
    FeatureSpaceActions actions(*session_);
    actions.Show(0);
    EXPECT_EQ(actions.Lines(),
              (std::vector<std::string>{"650 - 700 nm", "700 - 760 nm", "860 - 900 nm"}));
    EXPECT_EQ(actions.Dimension(), 3);
}

TEST_F(FeatureSpaceActionsTest, CopyAndEditLeavesTheSourceUntouched) {
    const std::vector<Row> source = Ranges(di_);
    const std::string before = Text(
        Sql("select concat_ws('|', name, description, dimension, build_date) from feature_space "
            "where feature_space_id = %i",
            di_));
    FeatureSpaceActions actions(*session_);
    actions.Show(FeatureSpaceActions::kCopyAndEdit);
    ASSERT_TRUE(actions.Modify(0, 640, 690));
    ASSERT_TRUE(actions.Delete(1));
    actions.New(1500, 1700);
    EXPECT_EQ(actions.Dimension(), 3);
    EXPECT_TRUE(actions.DeletedIds().empty());
    const int copy = actions.Ok();

    EXPECT_NE(copy, di_);
    EXPECT_EQ(Ranges(di_), source);
    EXPECT_EQ(Text(Sql("select concat_ws('|', name, description, dimension, build_date) from "
                       "feature_space where feature_space_id = %i",
                       di_)),
              before);
    EXPECT_EQ(Bands(copy),
              (std::vector<std::pair<int, int>>{{640, 690}, {860, 900}, {1500, 1700}}));
    EXPECT_EQ(Text(Sql("select concat_ws('|', fs.name, description, dimension, type) from "
                       "feature_space fs, feature_space_type t where fs.fs_type_id = t.fs_type_id "
                       "and feature_space_id = %i",
                       copy)),
              "red edge_copy|stored|3|0");
    // The copy fits the sensor and has the form's type, so it becomes current.
    ASSERT_NE(session_->CurrentFeatureSpace(), nullptr);
    EXPECT_EQ(session_->FeatureSpaceId(), copy);
    EXPECT_EQ(session_->CurrentFeatureSpace()->Ranges().size(), 3u);
}

TEST_F(FeatureSpaceActionsTest, EditUpdatesInsertsAndDeletesTheRightRows) {
    const std::vector<Row> before = Ranges(di_);
    const std::vector<Row> other = Ranges(ntbi_);
    FeatureSpaceActions actions(*session_);
    actions.Show(FeatureSpaceActions::kEdit);
    actions.SetName("red edge 2");
    ASSERT_TRUE(actions.Modify(0, 655, 705));
    ASSERT_TRUE(actions.Modify(0, 660, 710));  // modified twice: still one update
    actions.New(1000, 1100);
    ASSERT_TRUE(actions.Modify(3, 1000, 1200));  // an entry to insert stays one
    ASSERT_TRUE(actions.Delete(1));
    EXPECT_FALSE(actions.Delete(7));
    EXPECT_FALSE(actions.Modify(-1, 1, 2));
    EXPECT_EQ(actions.Entries()[0].state, FeatureSpaceActions::kToUpdate);
    EXPECT_EQ(actions.Entries()[2].state, FeatureSpaceActions::kToInsert);
    EXPECT_EQ(actions.DeletedIds(), std::vector<int>{std::get<0>(before[1])});

    // The form's selection changes while the dialog is open; OK still saves the shown one.
    Select(1, ntbi_);
    EXPECT_EQ(actions.Ok(), di_);

    const std::vector<Row> after = Ranges(di_);
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(after[0], Row(std::get<0>(before[0]), 660, 710));
    EXPECT_EQ(after[1], before[2]);
    EXPECT_EQ(std::get<1>(after[2]), 1000);
    EXPECT_EQ(std::get<2>(after[2]), 1200);
    EXPECT_GT(std::get<0>(after[2]), std::get<0>(before[2]));
    EXPECT_EQ(Ranges(ntbi_), other);
    EXPECT_EQ(Text(Sql("select concat_ws('|', name, dimension) from feature_space where "
                       "feature_space_id = %i",
                       di_)),
              "red edge 2|3");
    // The form shows NTBI now, so its current feature space stays.
    EXPECT_EQ(session_->FeatureSpaceId(), ntbi_);

    // Edited while current: the session sees the stored ranges without a new selection.
    Select(0, di_);
    actions.Show(FeatureSpaceActions::kEdit);
    actions.Delete(0);
    actions.Ok();
    ASSERT_NE(session_->CurrentFeatureSpace(), nullptr);
    EXPECT_EQ(session_->CurrentFeatureSpace()->Ranges().size(), 2u);
    EXPECT_EQ(session_->CurrentFeatureSpace()->Dimension(), 2);
}

TEST_F(FeatureSpaceActionsTest, NewFeatureSpacesOfEachType) {
    FeatureSpaceActions actions(*session_);
    Select(1, ntbi_);
    actions.Show(FeatureSpaceActions::kNew);
    actions.SetName("two pairs");
    actions.New(550, 680);
    EXPECT_EQ(actions.LastWavelength1(), 550);
    actions.New(680, 800);
    EXPECT_THROW(actions.SetDimension(5), OrvaneError);
    const int ntbi = actions.Ok();
    EXPECT_EQ(Bands(ntbi), (std::vector<std::pair<int, int>>{{550, 680}, {680, 800}}));
    EXPECT_EQ(session_->FeatureSpaceId(), ntbi);

    // The sub-dialog remembers its last values across openings of the dialog.
    Select(2, 0);
    actions.Show(FeatureSpaceActions::kNew);
    EXPECT_EQ(actions.LastWavelength1(), 680);
    EXPECT_EQ(actions.LastWavelength2(), 800);
    EXPECT_THROW(actions.New(400, 500), OrvaneError);
    actions.SetName("pc3");
    actions.SetDimension(3);
    const int pct = actions.Ok();
    EXPECT_EQ(Text(Sql("select concat_ws('|', dimension, type) from feature_space fs, "
                       "feature_space_type t where fs.fs_type_id = t.fs_type_id and "
                       "feature_space_id = %i",
                       pct)),
              "3|2");
    EXPECT_TRUE(Ranges(pct).empty());
    // Without a principal component analysis no PCT space is offered.
    EXPECT_EQ(session_->CurrentFeatureSpace(), nullptr);
    // A saved working copy is not stored twice by a second OK.
    EXPECT_THROW(actions.Ok(), OrvaneError);
}

TEST_F(FeatureSpaceActionsTest, QuotesInNameAndDescriptionAreStoredAsTyped) {
    const std::string name = "O'Brien's \"DI\"; drop table band_range; --";
    const std::string description = "back\\slash ' and `tick`";
    FeatureSpaceActions actions(*session_);
    actions.Show(FeatureSpaceActions::kNew);
    actions.SetName(name);
    actions.SetDescription(description);
    actions.New(700, 750);
    const int id = actions.Ok();
    EXPECT_EQ(Text(Sql("select name from feature_space where feature_space_id = %i", id)), name);
    EXPECT_EQ(Text(Sql("select description from feature_space where feature_space_id = %i", id)),
              description);
    EXPECT_EQ(Ranges(di_).size(), 3u);
    ASSERT_NE(session_->CurrentFeatureSpace(), nullptr);
    EXPECT_EQ(session_->CurrentFeatureSpace()->Name(), name);
}

TEST_F(FeatureSpaceActionsTest, RefusedSettingsChangeNothing) {
    struct Case {
        const char* name;
        std::function<void(FeatureSpaceActions&)> act;
        const char* in_message;
    };
    const Case cases[] = {
        {"101st band range",
         [](FeatureSpaceActions& a) {
             a.Show(2);
             a.SetName("many");
             for (int i = 0; i < 100; ++i) a.New(400 + i, 401 + i);
             try {
                 a.New(900, 901);
             } catch (const OrvaneError&) {
                 EXPECT_EQ(a.Entries().size(), 100u);
                 EXPECT_EQ(a.Lines().size(), 100u);
                 throw;
             }
         },
         "at most 100"},
        {"empty name",
         [](FeatureSpaceActions& a) {
             a.Show(2);
             a.New(400, 500);
             a.Ok();
         },
         "needs a name"},
        {"blank name",
         [](FeatureSpaceActions& a) {
             a.Show(1);
             a.SetName("   ");
             a.Ok();
         },
         "needs a name"},
        {"name of 81 characters",
         [](FeatureSpaceActions& a) {
             a.Show(0);
             a.SetName(std::string(81, 'n'));
             a.Ok();
         },
         "longer than 80"},
        {"description of 255 characters",
         [](FeatureSpaceActions& a) {
             a.Show(0);
             a.Delete(0);
             a.SetDescription(std::string(255, 'd'));
             a.Ok();
         },
         "at most 254"},
        {"DI without ranges",
         [](FeatureSpaceActions& a) {
             a.Show(1);
             while (a.Delete(0)) {
             }
             a.Ok();
         },
         "at least one band range"},
        {"PCT dimension 0",
         [this](FeatureSpaceActions& a) {
             Select(2, 0);
             a.Show(2);
             a.SetName("pc");
             a.SetDimension(0);
             a.Ok();
         },
         "at least 1"},
        {"PCT dimension beyond the sensor's bands",
         [this](FeatureSpaceActions& a) {
             Select(2, 0);
             a.Show(2);
             a.SetName("pc");
             a.SetDimension(9999);
             a.Ok();
         },
         "from 1 to"},
        {"more DI ranges than the sensor has bands",
         [](FeatureSpaceActions& a) {
             a.Show(2);
             a.SetName("wide");
             for (int i = 0; i < 20; ++i) a.New(400 + 10 * i, 405 + 10 * i);
             a.Ok();
         },
         "at most"},
        {"a name another DI feature space has",
         [](FeatureSpaceActions& a) {
             a.Show(2);
             a.SetName("red edge");
             a.New(400, 500);
             a.Ok();
         },
         "already a DI feature space named \"red edge\""},
        {"a name another DI feature space has, but for case and trailing blanks",
         [](FeatureSpaceActions& a) {
             a.Show(2);
             a.SetName("Red Edge  ");
             a.New(400, 500);
             a.Ok();
         },
         "already a DI feature space named \"red edge\""},
        {"a copy renamed to its source's name",
         [](FeatureSpaceActions& a) {
             a.Show(1);
             a.SetName("red edge");
             a.Ok();
         },
         "already a DI"},
        {"edit without a current feature space",
         [this](FeatureSpaceActions& a) {
             session_->SetFeatureSpace(0);
             a.Show(0);
         },
         "no current feature space"},
        {"copy without a current feature space",
         [this](FeatureSpaceActions& a) {
             session_->SetFeatureSpace(0);
             a.Show(1);
         },
         "no current feature space"},
        {"OK before the dialog was shown", [](FeatureSpaceActions& a) { a.Ok(); }, "not been"},
        {"edited feature space deleted meanwhile",
         [this](FeatureSpaceActions& a) {
             const int extra = Insert(0, "extra", 1, {{500, 600}});
             Select(0, extra);
             a.Show(0);
             a.Modify(0, 1, 2);
             DeleteFeatureSpace(*session_, extra);
             const std::string snapshot = Snapshot();
             try {
                 a.Ok();
             } catch (const OrvaneError&) {
                 EXPECT_EQ(Snapshot(), snapshot);
                 throw;
             }
         },
         "no longer exists"},
        {"delete of an unknown id",
         [this](FeatureSpaceActions&) { DeleteFeatureSpace(*session_, 9999); },
         "no feature space with id 9999"},
    };
    for (const Case& c : cases) {
        Select(0, di_);
        const std::string before = Snapshot();
        FeatureSpaceActions actions(*session_);
        try {
            c.act(actions);
            ADD_FAILURE() << c.name << ": not refused";
        } catch (const OrvaneError& e) {
            EXPECT_NE(std::string(e.what()).find(c.in_message), std::string::npos)
                << c.name << ": " << e.what();
        }
        if (std::string(c.name) != "edited feature space deleted meanwhile") {
            EXPECT_EQ(Snapshot(), before) << c.name;
        }
    }
}

TEST_F(FeatureSpaceActionsTest, NamesAreUniqueWithinATypeOnly) {
    // The NTBI "ndvi" does not stop a DI of that name, and an edit may keep its own name.
    FeatureSpaceActions actions(*session_);
    actions.Show(2);
    actions.SetName("ndvi");
    actions.New(400, 500);
    EXPECT_NE(actions.Ok(), 0);
    Select(0, di_);
    actions.Show(0);
    actions.SetDescription("renamed nothing");
    EXPECT_EQ(actions.Ok(), di_);
}

TEST_F(FeatureSpaceActionsTest, DeleteRemovesLibrariesAndTheirStatistics) {
    for (int fs : {di_, di_, ntbi_}) {
        db().Execute(
            Sql("insert into library (study_id, feature_space_id, smoothing_filter_id, "
                "derivative_id, sensor_id) values (1, %i, 1, 1, 1)",
                fs));
        const int lib = static_cast<int>(db().InsertId());
        db().Execute(Sql("insert into statistic (library_id, species_id) values (%i, 1), (%i, 2)",
                         lib, lib));
    }
    DeleteFeatureSpace(*session_, di_);
    EXPECT_EQ(Text(Sql("select count(*) from feature_space where feature_space_id = %i", di_)),
              "0");
    EXPECT_TRUE(Ranges(di_).empty());
    EXPECT_EQ(Text("select group_concat(feature_space_id) from library"), std::to_string(ntbi_));
    EXPECT_EQ(Text("select count(*) from statistic s join library l using (library_id)"), "2");
    EXPECT_EQ(Text("select count(*) from statistic"), "2");
    EXPECT_EQ(Ranges(ntbi_).size(), 1u);
    // The deleted space was current; the session falls back to what the form would offer.
    EXPECT_EQ(session_->CurrentFeatureSpace(), nullptr);
}

}  // namespace
}  // namespace orvane
