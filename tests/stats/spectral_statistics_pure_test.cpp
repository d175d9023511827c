// SPDX-License-Identifier: GPL-3.0-or-later
// A classification's text and the shrunk Mahalanobis arithmetic on features held in memory,
// without a database.
#include "stats/spectral_statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "base/matrix_stats.h"
#include "stats/class_models.h"
#include "stats/classification_result.h"
#include "stats/result_record.h"
#include "support/analysis_rig.h"
#include "support/scratch_database.h"

namespace orvane {
namespace {

// Mahalanobis (shrunk) against scikit-learn (tests/stats/ledoit_wolf_reference.py): classes of
// 7, 6, 3 and 2 spectra in 5 features, the second in tens. Class c (3 spectra in 5 features)
// has no estimable sample covariance, yet its shrunk one is regular; class d's two spectra
// give intensity 0 and a covariance of rank 1, so it stays unmodelled.
// The verdict names the best class that has a value: an unmodelled class, or one whose value
// is not a number, is never the one a spectrum is "classified as".
TEST(ClassificationResultText, VerdictSkipsClassesWithoutAValue) {
    const double nan = std::nan("");
    const std::tuple<const char*, std::vector<ClassScore>, const char*> cases[] = {
        {"first modelled", {{"alpha", 0, 1, 0.5}, {"beta", 1, 1, 0.7}}, "classified as alpha"},
        {"unmodelled first", {{"alpha", 0, 0, 0.1}, {"beta", 1, 1, 0.7}}, "classified as beta"},
        {"no value first", {{"alpha", 0, 1, nan}, {"beta", 1, 1, 0.7}}, "classified as beta"},
        {"nothing modelled",
         {{"alpha", 0, 0, 0.1}, {"beta", 1, 1, INFINITY}},
         "not classified: no modelled class gave a value"}};
    for (const auto& [name, entries, verdict] : cases) {
        ClassificationResult r;
        r.entries = entries;
        EXPECT_EQ(r.Verdict(), verdict) << name;
    }
}

// A vote count reads from the winner down, each share with its unit; ties keep library order.
TEST(ClassificationResultText, SharesRankLargestFirstAsPercentages) {
    ClassificationResult r;
    for (const auto& [name, share] : {std::pair{"alpha", 25.0}, std::pair{"beta", 50.0},
                                      std::pair{"gamma", 25.0}}) {
        ClassScore e;
        e.name = name;
        e.share = share;
        r.entries.push_back(e);
    }
    r.SortByShare();
    EXPECT_EQ(r.Format(0), "1.  beta  -> 50.00 %\n2.  alpha  -> 25.00 %\n3.  gamma  -> 25.00 %\n");
}

// A ranking reads from the winning end of the classifier's values: ties keep library order and
// a value that is not a number comes last either way.
TEST(ClassificationResultText, DistancesRankFromTheClassifiersWinningEnd) {
    const double nan = std::nan("");
    const struct {
        Ranking ranking;
        const char* order;
    } cases[] = {{Ranking::kSmallerIsBetter, "beta gamma alpha delta epsilon "},
                 {Ranking::kLargerIsBetter, "alpha beta gamma delta epsilon "}};
    for (const auto& c : cases) {
        ClassificationResult r;
        for (const auto& [name, distance] :
             {std::pair{"alpha", 3.0}, std::pair{"beta", 1.0}, std::pair{"delta", nan},
              std::pair{"gamma", 1.0}, std::pair{"epsilon", nan}}) {
            ClassScore e;
            e.name = name;
            e.distance = distance;
            r.entries.push_back(e);
        }
        r.SortByDistance(c.ranking);
        std::string order;
        for (const ClassScore& e : r.entries) order += e.name + " ";
        EXPECT_EQ(order, c.order);
    }
}

TEST(ShrunkMahalanobisMath, LedoitWolfIntensitiesValuesAndWinnersAsScikitLearn) {
    const std::vector<std::vector<std::vector<double>>> rows = {
        {{0.12, 31.0, 0.40, 0.05, 1.10},
         {0.15, 28.0, 0.43, 0.07, 1.05},
         {0.11, 35.0, 0.38, 0.04, 1.20},
         {0.18, 30.0, 0.47, 0.06, 1.00},
         {0.14, 33.0, 0.41, 0.09, 1.15},
         {0.13, 29.0, 0.45, 0.05, 1.08},
         {0.16, 32.0, 0.39, 0.08, 1.12}},
        {{0.22, 25.0, 0.30, 0.12, 0.90},
         {0.25, 27.0, 0.28, 0.10, 0.95},
         {0.21, 24.0, 0.33, 0.15, 0.85},
         {0.27, 26.0, 0.29, 0.11, 0.80},
         {0.24, 23.0, 0.31, 0.13, 0.92},
         {0.23, 28.0, 0.27, 0.14, 0.88}},
        {{0.30, 40.0, 0.50, 0.20, 1.30},
         {0.35, 38.0, 0.55, 0.18, 1.25},
         {0.32, 42.0, 0.52, 0.22, 1.40}},
        {{0.05, 20.0, 0.20, 0.02, 0.70}, {0.07, 22.0, 0.21, 0.03, 0.72}}};
    const double probes[4][5] = {{0.14, 30.0, 0.42, 0.06, 1.10},
                                 {0.24, 26.0, 0.30, 0.12, 0.88},
                                 {0.31, 39.0, 0.51, 0.19, 1.28},
                                 {0.20, 30.0, 0.40, 0.10, 1.00}};
    const double inf = HUGE_VAL;
    const struct {
        double shrinkage;
        double values[4];  // for the four probes
    } expected[] = {
        {0.461115541997388,
         {-12.0855456215684, 64.223420480009, 135.9435991853557, -0.14174623656977658}},
        {0.8209916202307931,
         {87.16836089786877, -13.433481768543826, 268.7325966209252, 27.795598978798733}},
        {0.33211125785154066,
         {266.6664029424618, 253.24054258672507, -13.640275617460158, 143.3610063194161}},
        {0.0, {inf, inf, inf, inf}}};
    const int winners[4] = {0, 1, 2, 0};

    std::vector<Matrix> features;
    std::vector<ClassStatistics> classes;
    for (const auto& spectra : rows) {
        Matrix x(5, static_cast<int>(spectra.size()));
        for (size_t i = 0; i < spectra.size(); ++i)
            for (int k = 0; k < 5; ++k) x(k + 1, static_cast<int>(i) + 1) = spectra[i][k];
        features.push_back(x);
        classes.push_back({x.Ncols(), RowMeans(x), CovarianceOfColumns(x)});
    }
    std::vector<const Matrix*> pointers;
    for (const Matrix& x : features) pointers.push_back(&x);
    for (const ClassStatistics& c : classes) EXPECT_TRUE(std::isnan(c.shrinkage));
    SetLedoitWolfShrinkage(classes, pointers);

    EXPECT_EQ(ClassModels(Classifier::kMahalanobis, classes).ModelledCount(), 2);
    const ClassModels models(Classifier::kMahalanobisShrunk, classes);
    EXPECT_EQ(models.ModelledCount(), 3);
    EXPECT_EQ(models.Problem(3).substr(0, 37), "its shrunk covariance has rank 1 in 5");
    for (size_t c = 0; c < 4; ++c)
        EXPECT_NEAR(classes[c].shrinkage, expected[c].shrinkage, 1e-12) << c;
    for (int p = 0; p < 4; ++p) {
        double values[4];
        models.Values(probes[p], values);
        for (size_t c = 0; c < 4; ++c) {
            const double want = expected[c].values[p];
            if (std::isinf(want))
                EXPECT_EQ(values[c], want) << p << " " << c;
            else
                EXPECT_NEAR(values[c], want, 1e-9 * std::fabs(want)) << p << " " << c;
        }
        EXPECT_EQ(Classify(models, probes[p]).winner, winners[p]) << p;
    }

    // Cross-validation replaces one class; the standardisation of all changes with it, so the
    // other classes' values must be those of models fitted afresh.
    ClassModels refitted(Classifier::kMahalanobisShrunk, classes);
    std::vector<ClassStatistics> held_out = classes;
    const Matrix rest = features[0].Columns(2, 7);
    held_out[0] = {6, RowMeans(rest), CovarianceOfColumns(rest), 0.5};
    refitted.SetClass(0, held_out[0]);
    const ClassModels fresh(Classifier::kMahalanobisShrunk, held_out);
    for (const auto& probe : probes) {
        double got[4], want[4];
        refitted.Values(probe, got);
        fresh.Values(probe, want);
        for (size_t c = 0; c < 3; ++c) EXPECT_DOUBLE_EQ(got[c], want[c]) << c;
    }

    // One feature: every shrinkage gives the same covariance, so the intensity is 0; one
    // spectrum has none.
    const Matrix one = features[0].Row(2);
    EXPECT_EQ(LedoitWolfShrinkage(one, {{30.0}, {3.0}}), 0.0);
    EXPECT_TRUE(
        std::isnan(LedoitWolfShrinkage(features[0].Column(1), {{0, 0, 0, 0, 0}, {1, 1, 1, 1, 1}})));
}

// Reports errors as well as results, so a failed write can be seen.
class ErrorFrontend : public Frontend {
  public:
    void Report(const std::string&) override {}
    void Error(const std::string& text) override { errors.push_back(text); }
    std::vector<std::string> errors;
};

TEST(ResultRecordTest, JsonTwinReplacesTheExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"/out/Error Matrix.csv", "/out/Error Matrix.json"},
        {"/out/JM and B output.csv", "/out/JM and B output.json"},
        {"/o.d/pca_output", "/o.d/pca_output.json"},  // a dot in the folder only
        {"/out/.hidden", "/out/.hidden.json"},
        {"table.v2.csv", "table.v2.json"}};
    for (const auto& [result, json] : cases) EXPECT_EQ(JsonPathBeside(result), json) << result;
}

TEST(ResultRecordTest, NonFiniteNumbersAndBadTextStillGiveValidJson) {
    test::TempDir dir;
    ErrorFrontend frontend;
    ResultJson record;
    record["finite"] = JsonNumber(1.5);
    record["nan"] = JsonNumber(std::nan(""));
    record["inf"] = JsonNumber(-std::numeric_limits<double>::infinity());
    record["name"] = std::string("caf\xC3\xA9 \xFF");  // the last byte is not UTF-8
    const std::string path = WriteJsonBeside(dir.File("result.csv"), record, frontend);
    ASSERT_EQ(path, dir.File("result.json"));
    EXPECT_TRUE(frontend.errors.empty());
    const nlohmann::json back = test::ReadJson(path);
    EXPECT_EQ(back["finite"], 1.5);
    EXPECT_TRUE(back["nan"].is_null());
    EXPECT_TRUE(back["inf"].is_null());
    EXPECT_EQ(back["name"], "caf\xC3\xA9 \xEF\xBF\xBD");
}

TEST(ResultRecordTest, UnwritableFolderIsReportedAndGivesNoPath) {
    test::TempDir dir;
    ErrorFrontend frontend;
    EXPECT_EQ(WriteJsonBeside(dir.File("missing/result.csv"), ResultJson::object(), frontend),
              "");
    ASSERT_EQ(frontend.errors.size(), 1u);
    EXPECT_NE(frontend.errors[0].find("missing/result.json"), std::string::npos)
        << frontend.errors[0];
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
}

}  // namespace
}  // namespace orvane
