// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/feature_space.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/frontend.h"
#include "chain/processing_session.h"
#include "study/sensor_import.h"
#include "spectra/sensor.h"
#include "support/band_values.h"
#include "store/array_codec.h"
#include "support/refusal.h"
#include "support/scratch_database.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

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
