// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/feature_space_store.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "base/frontend.h"
#include "base/orvane_error.h"
#include "chain/feature_space.h"
#include "chain/processing_session.h"
#include "spectra/sensor.h"
#include "store/array_codec.h"
#include "study/sensor_import.h"
#include "support/band_values.h"
#include "support/refusal.h"
#include "support/scratch_database.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

using Row = std::tuple<int, int, int>;  // band_range_id, band1, band2

FeatureSpaceDefinition Definition(int type, const std::string& name,
                                  const std::vector<std::pair<int, int>>& ranges,
                                  int dimension = 0) {
    FeatureSpaceDefinition def;
    def.dimension = dimension;
    def.type = type;
    def.name = name;
    def.description = "stored";
    for (const auto& [w1, w2] : ranges) {
        FeatureSpace::BandRange r;
        r.wavelength1 = w1;
        r.wavelength2 = w2;
        def.ranges.push_back(r);
    }
    return def;
}

class FeatureSpaceStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::InsertStudy(db(), "store");
        session_ = std::make_unique<ProcessingSession>(scratch_.Connect(), nullptr);
        SilentFrontend quiet;
        ImportSensor(*session_, quiet, test::TestData("sensors/landsat8_oli.txt"), 0);
        di_ = SaveFeatureSpace(*session_,
                               Definition(0, "red edge", {{650, 700}, {700, 760}, {860, 900}}))
                  .id;
        ntbi_ = SaveFeatureSpace(*session_, Definition(1, "ndvi", {{660, 860}})).id;
        Select(0, di_);
    }

    Database& db() { return scratch_.Admin(); }

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

    // The definition as an edit starts from it: the stored row with its ranges' ids.
    FeatureSpaceDefinition Stored(int fs) {
        session_->SetFeatureSpace(fs);
        const FeatureSpace& current = *session_->CurrentFeatureSpace();
        FeatureSpaceDefinition def{fs, current.Type(),  current.Name(), current.Description(),
                                   0,  current.Ranges()};
        return def;
    }

    std::string Text(const std::string& sql) {
        std::string value = "<none>";
        db().QueryText(sql, value);
        return value;
    }

    // Everything storing or deleting may write, as one comparable text.
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

    test::ScratchDatabase scratch_{"fsstore"};
    std::unique_ptr<ProcessingSession> session_;
    int di_ = 0;
    int ntbi_ = 0;
};

TEST_F(FeatureSpaceStoreTest, AnEditUpdatesKeepsInsertsAndDeletesRangesOfItsOwnOnly) {
    const std::vector<Row> before = Ranges(di_);
    const std::vector<Row> other = Ranges(ntbi_);
    FeatureSpaceDefinition def = Stored(di_);
    def.name = "red edge 2";
    def.ranges[0].wavelength1 = 660;
    def.ranges[0].wavelength2 = 710;
    def.ranges.erase(def.ranges.begin() + 1);
    def.ranges.push_back(Definition(0, "", {{1000, 1200}}).ranges[0]);
    // A range id of another feature space is a new row here, never a change of that one.
    def.ranges.back().band_range_id = std::get<0>(other[0]);

    EXPECT_EQ(SaveFeatureSpace(*session_, def).id, di_);
    const std::vector<Row> after = Ranges(di_);
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(after[0], Row(std::get<0>(before[0]), 660, 710));
    EXPECT_EQ(after[1], before[2]);
    EXPECT_GT(std::get<0>(after[2]), std::get<0>(before[2]));
    EXPECT_EQ(std::get<2>(after[2]), 1200);
    EXPECT_EQ(Ranges(ntbi_), other);
    EXPECT_EQ(Text(Sql("select concat_ws('|', name, dimension) from feature_space where "
                       "feature_space_id = %i",
                       di_)),
              "red edge 2|3");
    // Edited while current: the session sees the stored ranges at once.
    ASSERT_NE(session_->CurrentFeatureSpace(), nullptr);
    EXPECT_EQ(session_->CurrentFeatureSpace()->Ranges().size(), 3u);
}

TEST_F(FeatureSpaceStoreTest, NewSpacesAreStoredAsGivenAndCopiesKeepTheirSource) {
    const std::vector<Row> source = Ranges(di_);
    FeatureSpaceDefinition copy = Stored(di_);
    copy.id = 0;  // the ranges keep their source's ids, as a careless caller might leave them
    copy.name = "red edge_copy";
    const int copied = SaveFeatureSpace(*session_, copy).id;
    EXPECT_NE(copied, di_);
    EXPECT_EQ(Ranges(copied).size(), 3u);
    EXPECT_EQ(Ranges(di_), source);
    EXPECT_EQ(session_->FeatureSpaceId(), copied);

    // An NTBI saved while the session shows DI leaves the session's DI current.
    Select(0, di_);
    SaveFeatureSpace(*session_, Definition(1, "pairs", {{550, 680}, {680, 800}}));
    EXPECT_EQ(session_->FeatureSpaceId(), di_);

    // PCT spaces and quoted names are stored as given.
    Select(2, 0);
    const int id = SaveFeatureSpace(*session_, Definition(2, "pc3", {}, 3)).id;
    EXPECT_EQ(Text(Sql("select concat_ws('|', dimension, type) from feature_space fs, "
                       "feature_space_type t where fs.fs_type_id = t.fs_type_id and "
                       "feature_space_id = %i",
                       id)),
              "3|2");
    EXPECT_TRUE(Ranges(id).empty());
    // Without a principal component analysis no PCT space is offered.
    EXPECT_EQ(session_->CurrentFeatureSpace(), nullptr);

    Select(0, di_);
    FeatureSpaceDefinition quoted =
        Definition(0, "O'Brien's \"DI\"; drop table band_range; --", {{700, 750}});
    quoted.description = "back\\slash ' and `tick`";
    const int q = SaveFeatureSpace(*session_, quoted).id;
    EXPECT_EQ(Text(Sql("select concat(name, '|', description) from feature_space where "
                       "feature_space_id = %i", q)),
              quoted.name + "|" + quoted.description);
    EXPECT_EQ(session_->CurrentFeatureSpace()->Name(), quoted.name);
}

TEST_F(FeatureSpaceStoreTest, RefusedDefinitionsStoreNothing) {
    const struct {
        const char* name;
        int type;
        std::string fs_name;
        int ranges;
        int dimension;
        size_t description;
        const char* in_message;
    } cases[] = {
        {"blank name", 0, "  ", 1, 0, 0, "needs a name"},
        {"name of 81 characters", 0, std::string(81, 'n'), 1, 0, 0, "longer than 80"},
        {"description of 255 characters", 0, "long", 1, 0, 255, "at most 254"},
        {"DI without ranges", 0, "none", 0, 0, 0, "at least one band range"},
        {"101 ranges", 1, "many", 101, 0, 0, "at most 100"},
        {"more DI ranges than the sensor has bands", 0, "w", 20, 0, 0, "number of bands of sensor"},
        {"DI dimension other than its ranges", 0, "dim", 1, 4, 0, "is its number of band ranges"},
        {"PCT dimension beyond the sensor's bands", 2, "pc", 0, 9999, 0, "from 1 to"},
        {"PCT with ranges", 2, "pc", 1, 2, 0, "no band ranges"},
        {"a name another DI has, but for case and trailing blanks", 0, "Red Edge  ", 1, 0, 0,
         "already a DI feature space named \"red edge\""},
        {"a name of digits", 0, " 3 ", 1, 0, 0, "made of digits only"},
        {"a name that is not UTF-8", 1, "bad\xFF\xFE", 1, 0, 0,
         "\"bad\\xff\\xfe\" is not valid UTF-8"},
    };
    auto refused = [&](const std::string& name, const FeatureSpaceDefinition& def,
                       const std::string& in_message) {
        const std::string before = Snapshot();
        EXPECT_TRUE(test::Refuses([&] { SaveFeatureSpace(*session_, def); }, in_message)) << name;
        EXPECT_EQ(Snapshot(), before) << name;
    };
    for (const auto& c : cases) {
        std::vector<std::pair<int, int>> ranges;
        for (int i = 0; i < c.ranges; ++i) ranges.emplace_back(400 + 5 * i, 402 + 5 * i);
        FeatureSpaceDefinition def = Definition(c.type, c.fs_name, ranges, c.dimension);
        if (c.description > 0) def.description = std::string(c.description, 'd');
        Select(0, di_);
        refused(c.name, def, c.in_message);
    }
    const FeatureSpaceDefinition deleted = Stored(ntbi_);
    DeleteFeatureSpace(*session_, ntbi_);
    refused("an edit of a deleted feature space", deleted, "no longer exists");
    // Unique within a type only, and an edit may keep its own name.
    Select(0, di_);
    EXPECT_NE(SaveFeatureSpace(*session_, Definition(1, "red edge", {{400, 500}})).id, 0);
    EXPECT_EQ(SaveFeatureSpace(*session_, Stored(di_)).id, di_);
    // A digit name stored before such names were refused survives an edit that keeps it, but
    // neither a rename nor a copy may take one.
    db().Execute(Sql("update feature_space set name = '7' where feature_space_id = %i", di_));
    FeatureSpaceDefinition kept = Stored(di_);
    kept.description = "edited";
    EXPECT_EQ(SaveFeatureSpace(*session_, kept).id, di_);
    kept.name = "8";
    refused("a rename to digits", kept, "made of digits only");
    kept.id = 0;
    kept.name = "7";
    for (FeatureSpace::BandRange& r : kept.ranges) r.band_range_id = 0;
    refused("a copy under the digit name", kept, "made of digits only");
}

TEST_F(FeatureSpaceStoreTest, DeleteTakesLibrariesAndTheirStatisticsAlong) {
    for (int fs : {di_, di_, ntbi_}) {
        db().Execute(
            Sql("insert into library (study_id, feature_space_id, smoothing_filter_id, "
                "derivative_id, sensor_id) values (1, %i, 1, 1, 1)",
                fs));
        const int lib = static_cast<int>(db().InsertId());
        db().Execute(Sql("insert into statistic (library_id, species_id) values (%i, 1), (%i, 2)",
                         lib, lib));
    }
    const std::string before = Snapshot();
    EXPECT_THROW(DeleteFeatureSpace(*session_, 9999), OrvaneError);
    EXPECT_EQ(Snapshot(), before);

    DeleteFeatureSpace(*session_, di_);
    EXPECT_EQ(test::Count(db(), Sql("select count(*) from feature_space where "
                                    "feature_space_id = %i",
                                    di_)),
              0);
    EXPECT_TRUE(Ranges(di_).empty());
    EXPECT_EQ(Text("select group_concat(feature_space_id) from library"), std::to_string(ntbi_));
    EXPECT_EQ(Text("select count(*) from statistic"), "2");
    EXPECT_EQ(Ranges(ntbi_).size(), 1u);
    // The deleted space was current and no other DI is offered.
    EXPECT_EQ(session_->CurrentFeatureSpace(), nullptr);
}

using test::Derived;

class FeatureSpacePCT : public ::testing::Test {
  protected:
    void SetUp() override {
        study_ = test::InsertStudy(db(), "pct");
        session_ = std::make_unique<ProcessingSession>(scratch_.Connect(), nullptr);
        SilentFrontend quiet;
        ImportSensor(*session_, quiet, test::TestData("sensors/landsat8_oli.txt"), 0);
        session_->SetStudy(study_);
        session_->SetSmoothingType(0);
        session_->SetDerivativeOrder(0);
    }

    Database& db() { return scratch_.Admin(); }

    int InsertPca(int dim, const Matrix& vectors, int study) {
        db().Execute(
            Sql("insert into pca_data (study_id, sensor_id, smoothing_filter_id, "
                "derivative_id, dim) values (%i, %i, %i, %i, %i)",
                study, session_->CurrentSensor()->SensorId(), session_->SmoothingFilterId(),
                session_->DerivativeId(), dim));
        const int id = static_cast<int>(db().InsertId());
        ColumnVector values(dim);
        for (int i = 1; i <= dim; ++i) values(i) = i;
        const std::string v = EncodeMatrix(values);
        const std::string m = EncodeMatrix(vectors);
        db().WriteBlob(Sql("update pca_data set eigenvalues = ? where pca_data_id = %i", id),
                       v.data(), v.size());
        db().WriteBlob(Sql("update pca_data set eigenvectors = ? where pca_data_id = %i", id),
                       m.data(), m.size());
        return id;
    }

    int InsertPct(int dimension) {
        db().Execute(
            Sql("insert into feature_space (name, dimension, fs_type_id) values ('pc', "
                "%i, (select fs_type_id from feature_space_type where type = 2))",
                dimension));
        return static_cast<int>(db().InsertId());
    }

    static Matrix Counting(int n) {
        Matrix m(n, n);
        for (int r = 1; r <= n; ++r)
            for (int c = 1; c <= n; ++c) m(r, c) = (r - 1) * n + c;
        return m;
    }

    test::ScratchDatabase scratch_{"pct"};
    int study_ = 0;
    std::unique_ptr<ProcessingSession> session_;
};

TEST_F(FeatureSpacePCT, TransformTakesTheStoredColumnsFromTheLastBackwards) {
    // Stored eigenvectors [[1 2 3] [4 5 6] [7 8 9]]: rows of the transform are columns 3, 2.
    InsertPca(3, Counting(3), study_);
    FeatureSpace fs;
    fs.Load(session_->Db(), session_->Settings(), InsertPct(2));
    const Matrix& t = fs.Transform();
    ASSERT_EQ(std::make_pair(t.Nrows(), t.Ncols()), std::make_pair(2, 3));
    EXPECT_EQ(std::vector<double>(t.Store(), t.Store() + 6),
              (std::vector<double>{3, 6, 9, 2, 5, 8}));

    // Valid values (1, 0, 2): (3, 6, 9).(1, 0, 2) = 21 and (2, 5, 8).(1, 0, 2) = 18.
    Matrix out;
    fs.PCTFeatures(Derived({450, 550, 650, 750}, {1.0, kNoValue, 0.0, 2.0}), out);
    ASSERT_EQ(out.Nrows(), 2);
    EXPECT_EQ(std::make_pair(out(1, 1), out(2, 1)), std::make_pair(21.0, 18.0));

    // Four valid bands against a transform of three.
    EXPECT_TRUE(test::Refuses(
        [&] { fs.PCTFeatures(Derived({450, 550, 650, 750}, {1.0, 0.5, 0.0, 2.0}), out); },
        "expects 3 bands"));
}

TEST_F(FeatureSpacePCT, MissingOrUnfitAnalysisIsRefusedWithAMessage) {
    const struct {
        const char* name;
        int pca_dim;    // 0: no analysis row
        int pca_study;  // another study's analysis does not count
        int blob_size;  // size of the stored eigenvector matrix
        int dimension;
        const char* in_message;
    } cases[] = {
        {"no analysis", 0, 0, 0, 2, "run the principal component analysis first"},
        {"analysis of another study", 3, -1, 3, 2, "run the principal component analysis first"},
        {"more components than the analysis", 3, 0, 3, 4, "has only 3"},
        {"stored matrix of the wrong size", 3, 0, 2, 2, "eigenvectors of PCA data"}};
    for (const auto& c : cases) {
        db().Execute("delete from pca_data");
        if (c.pca_dim > 0)
            InsertPca(c.pca_dim, Counting(c.blob_size), c.pca_study < 0 ? study_ + 1 : study_);
        FeatureSpace fs;
        const int id = InsertPct(c.dimension);
        EXPECT_TRUE(test::Refuses([&] { fs.Load(session_->Db(), session_->Settings(), id); }, c.in_message))
            << c.name;
    }
}

}  // namespace
}  // namespace orvane
