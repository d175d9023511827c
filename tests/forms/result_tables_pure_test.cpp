// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "forms/result_tables.h"
#include "stats/discriminant_analysis.h"
#include "stats/linear_unmixing.h"
#include "stats/sensor_comparison.h"

namespace orvane {
namespace {

using Row = std::vector<std::string>;

// Five "grass" and five "soil" references; one grass spectrum was classified as soil.
AccuracyResult TwoClassAccuracy() {
    AccuracyResult result;
    result.names = {"grass", "soil"};
    result.counts = {{4, 0}, {1, 5}};  // rows classified as, columns reference
    result.kappa = 0.8;
    result.validation = "leave-one-out";
    return result;
}

TEST(ResultTablesTest, ErrorMatrixReadsClassifiedAsDownReferenceAcross) {
    const ResultTable t = ErrorMatrixTable(TwoClassAccuracy());
    EXPECT_EQ(t.columns, (Row{"grass", "soil", "Row Total", "User's Accuracy"}));
    EXPECT_EQ(t.rows, (Row{"grass", "soil", "Column Total", "Producer's Accuracy"}));
    // grass: 4 of 4 called grass are grass (user's 100 %), 4 of 5 grass found (producer's 80 %).
    EXPECT_EQ(t.cells[0], (Row{"4", "0", "4", "100.00 %"}));
    EXPECT_EQ(t.cells[1], (Row{"1", "5", "6", "83.33 %"}));
    EXPECT_EQ(t.cells[2], (Row{"5", "5", "10", ""}));
    EXPECT_EQ(t.cells[3], (Row{"80.00 %", "100.00 %", "", ""}));
    ASSERT_EQ(t.notes.size(), 3u);
    EXPECT_EQ(t.notes[0].second, "90.00 %");
    EXPECT_EQ(t.notes[1].second, "0.8000");
    EXPECT_EQ(t.notes[2].second, "leave-one-out");
}

// Another study's spectra validate the library: the table says so rather than "resubstitution",
// and takes a tab of its own beside the discriminant analysis's.
TEST(ResultTablesTest, IndependentSetIsItsOwnTableNamingTheStudy) {
    AccuracyResult result = TwoClassAccuracy();
    result.validation = "resubstitution";  // what the run records for its statistics
    const ResultTable t = IndependentSetTable(result, "Spring survey");
    EXPECT_NE(t.title, ErrorMatrixTable(result).title);
    EXPECT_EQ(t.rows, ErrorMatrixTable(result).rows);
    EXPECT_EQ(t.cells, ErrorMatrixTable(result).cells);
    ASSERT_EQ(t.notes.size(), 3u);
    EXPECT_EQ(t.notes[2], (std::pair<std::string, std::string>{
                              "Validation", "independent set: study 'Spring survey'"}));
}

TEST(ResultTablesTest, ErrorMatrixWithoutCountsHasNoAccuracyRatherThanDividingByZero) {
    AccuracyResult result;
    result.names = {"a", "b"};
    result.counts = {{0, 0}, {0, 0}};
    result.kappa = std::numeric_limits<double>::quiet_NaN();
    const ResultTable t = ErrorMatrixTable(result);
    EXPECT_EQ(t.cells[0][3], "n/a");
    EXPECT_EQ(t.cells[3][0], "n/a");
    EXPECT_EQ(t.notes[0].second, "n/a");
    EXPECT_EQ(t.notes[1].second, "n/a");
    EXPECT_EQ(t.notes[2].second, "resubstitution");
}

TEST(ResultTablesTest, TabTextAndCsvCarryHeaderRowsAndNotes) {
    AccuracyResult result = TwoClassAccuracy();
    result.names = {"grass, tall", "so\til"};
    const ResultTable t = ErrorMatrixTable(result);
    const std::string tab = t.TabText();
    EXPECT_EQ(tab.substr(0, tab.find('\n')),
              "Classified as \\ Reference\tgrass, tall\tso il\tRow Total\tUser's Accuracy");
    EXPECT_NE(tab.find("\nso il\t1\t5\t6\t83.33 %\n"), std::string::npos) << tab;
    EXPECT_NE(tab.find("\n\nOverall Accuracy\t90.00 %\n"), std::string::npos) << tab;
    const std::string csv = t.Csv();
    EXPECT_EQ(csv.rfind("Classified as \\ Reference,\"grass, tall\",", 0), 0u) << csv;
    EXPECT_NE(csv.find("\n\"grass, tall\",4,0,4,100.00 %\n"), std::string::npos) << csv;
}

TEST(ResultTablesTest, SeparabilityGivesTwoLabelledTablesOnOneColourScale) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    Matrix b(3, 3);
    b << 0.0 << std::log(2.0) << inf  //
      << std::log(2.0) << 0.0 << nan  //
      << inf << nan << 0.0;
    const std::vector<ResultTable> tables = SeparabilityTables({"a", "b", "c"}, b);
    ASSERT_EQ(tables.size(), 2u);
    const ResultTable& jm = tables[0];
    const ResultTable& bt = tables[1];
    EXPECT_EQ(jm.title, "JM Distance");
    EXPECT_EQ(bt.title, "B Distance");
    for (const ResultTable* t : {&jm, &bt}) {
        EXPECT_EQ(t->rows, (Row{"a", "b", "c"}));
        EXPECT_EQ(t->columns, (Row{"a", "b", "c"}));
        EXPECT_EQ(t->cells[1][1], "-");
        EXPECT_EQ(t->cells[1][2], "n/a");
        EXPECT_LT(t->scale[1][2], 0.0) << "an unmodelled pair has no colour";
        EXPECT_LT(t->scale[0][0], 0.0);
        EXPECT_DOUBLE_EQ(t->scale[0][1], 0.5);  // JM 1 of 2
        EXPECT_DOUBLE_EQ(t->scale[2][0], 1.0);
    }
    EXPECT_EQ(jm.cells[0][1], "1.0000");
    EXPECT_EQ(jm.cells[1][0], "1.0000");
    EXPECT_EQ(jm.cells[0][2], "2.0000");
    EXPECT_EQ(bt.cells[0][1], "0.6931");
    EXPECT_EQ(bt.cells[2][0], "Inf");
}

TEST(ResultTablesTest, UnmixingAndSensorComparisonRows) {
    UnmixResult unmix;
    unmix.elements = {1, 2, 3, 6};
    unmix.endmembers = {"grass", "soil"};
    unmix.mixtures.push_back({"mix", {0.7, 0.35}, true, {0.7, 0.3}, {false, false}, 0.0125, ""});
    unmix.mixtures.push_back({"other", {2.04, -0.8}, false, {}, {true, true}, 0.25, ""});
    // The flags are the table's own reading of the estimates, by the report's rule: -1e-9
    // is 0 and unflagged, -2e-6 is flagged and shown with its sign.
    unmix.mixtures.push_back({"edge", {-1e-9, 1.0 + 4e-9}, false, {}, {}, 1e-7, ""});
    unmix.mixtures.push_back({"below", {-2e-6, 1.0}, false, {}, {}, 0.0, ""});
    const ResultTable u = UnmixingTable(unmix);
    EXPECT_EQ(u.columns, (Row{"grass", "soil", "Sum", "Residual RMSE", "Outside 0-1",
                              "grass (recorded)", "soil (recorded)"}));
    EXPECT_EQ(u.rows, (Row{"mix", "other", "edge", "below"}));
    EXPECT_EQ(u.cells[0], (Row{"0.7000", "0.3500", "1.0500", "0.012500", "", "0.7000", "0.3000"}));
    EXPECT_EQ(u.cells[1], (Row{"2.0400", "-0.8000", "1.2400", "0.250000", "grass, soil", "", ""}));
    EXPECT_EQ(u.cells[2], (Row{"0.0000", "1.000000004", "1.0000", "0.000000", "soil", "", ""}));
    EXPECT_EQ(u.cells[3], (Row{"-0.000002", "1.0000", "1.0000", "0.000000", "grass", "", ""}));
    ASSERT_EQ(u.notes.size(), 2u);
    EXPECT_EQ(u.notes[0], (std::pair<std::string, std::string>{"Sensor elements", "1, 2, 3, 6"}));
    EXPECT_EQ(u.notes[1].first, "Outside 0-1");

    SensorComparison comparison;
    comparison.study = "Demo";
    comparison.feature_space = "NDVI";
    comparison.feature_space_type = "NTBI";
    comparison.dimension = 1;
    SensorComparisonRow row;
    row.sensor = "Sentinel-2";
    row.classes = 3;
    row.classes_modelled = 3;
    row.overall_accuracy = 87.5;
    row.kappa = std::numeric_limits<double>::quiet_NaN();
    row.validation = "resubstitution";
    row.min_jm = 1.25;
    row.mean_jm = 1.5;
    row.jm_pairs = 3;
    row.closest_first = "grass";
    row.closest_second = "soil";
    comparison.rows.push_back(row);
    const ResultTable s = SensorComparisonTable(comparison);
    EXPECT_EQ(s.rows, (Row{"Sentinel-2"}));
    EXPECT_EQ(s.cells[0], (Row{"3", "3", "87.50 %", "n/a", "resubstitution", "1.2500", "1.5000",
                               "3", "grass / soil"}));
    EXPECT_EQ(s.notes[1].second, "NDVI (NTBI, 1 features)");
}

}  // namespace
}  // namespace orvane
