// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/sensor_comparison.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "stats/discriminant_analysis.h"
#include "stats/separability.h"
#include "stats/spectral_statistics.h"
#include "support/analysis_rig.h"
#include "support/feature_study.h"
#include "support/refusal.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

// Three species of known features on three sensors: "Three test bands" sees them exactly,
// "Broad blue" mixes its first band across the step at 700 nm (other features, other
// distances), and "One band" has too few bands for the two-feature space.
class SensorComparisonTest : public test::AnalysisRig {
  protected:
    SensorComparisonTest() : AnalysisRig("compare") {}
    void SetUp() override {
        Database& db = Admin();
        const int study = test::InsertStudyWithChainRows(db, "comparison study");
        test::InsertFeatureSpecies(db, study, "gamma", {{1, {{0.5, -0.3}, {0.6, -0.2}, {0.55, -0.35}}}});
        test::InsertFeatureSpecies(db, study, "alpha",
                                   {{1, {{0.10, 0.20}, {0.30, 0.10}}}, {2, {{0.20, 0.40}, {0.15, 0.25}}}});
        test::InsertFeatureSpecies(
            db, study, "beta", {{1, {{-0.20, 0.00}, {0.00, -0.20}, {-0.10, -0.10}, {-0.05, 0.05}}}});
        fs_ = test::InsertPairFeatureSpace(db);
        test::WriteThreeBandSensor(dir_.File("narrow.txt"));
        std::ofstream(dir_.File("broad.txt")) << "Broad blue\nA wide first band\n"
                                                 "band,avg_wavelength,fwhm,mark\n"
                                                 "1,700,100,C\n2,1000,2,C\n3,2000,2,C\n";
        std::ofstream(dir_.File("one.txt"))
            << "One band\nA single band\nband,avg_wavelength,fwhm,mark\n1,1000,2,C\n";
        ImportSensors({dir_.File("narrow.txt"), dir_.File("broad.txt"), dir_.File("one.txt")});
        for (const auto& sensor : session_->Sensors()) {
            if (sensor->Name() == "Three test bands") narrow_ = sensor->SensorId();
            if (sensor->Name() == "Broad blue") broad_ = sensor->SensorId();
            if (sensor->Name() == "One band") one_ = sensor->SensorId();
        }
        ChainOptions chain;
        chain.study = std::to_string(study);
        chain.sensor = std::to_string(narrow_);
        chain.feature_space_type = 1;
        chain.feature_space = std::to_string(fs_);
        Apply(chain);
        UseStudy(study);
    }

    SensorComparison Compare(std::vector<int> sensors, Frontend* frontend = nullptr,
                             const std::string& validation = "resubstitution") {
        SensorComparisonOptions options;
        options.sensor_ids = std::move(sensors);
        options.validation = validation;
        return CompareSensors(*session_, *loader_, output_, frontend ? *frontend : frontend_,
                              options);
    }

    // The session as the window left it: the sensor it chose, with the feature space mapped
    // to that sensor's bands.
    void ExpectSessionOn(int sensor, const std::string& when) {
        ASSERT_NE(session_->CurrentSensor(), nullptr) << when;
        EXPECT_EQ(session_->CurrentSensor()->SensorId(), sensor) << when;
        EXPECT_EQ(session_->FeatureSpaceId(), fs_) << when;
    }

    void UseSensor(int sensor) {
        ChainOptions chain;
        chain.sensor = std::to_string(sensor);
        Apply(chain);
    }

    int fs_ = 0;
    int narrow_ = 0;
    int broad_ = 0;
    int one_ = 0;
};

TEST_F(SensorComparisonTest, TableAgreesWithSeparateRunsAndIndependentDistances) {
    const SensorComparison table = Compare({broad_, narrow_});
    ExpectSessionOn(narrow_, "after the comparison");
    ASSERT_EQ(table.rows.size(), 2u);
    EXPECT_EQ(table.feature_space, "pairs");
    EXPECT_EQ(table.dimension, 2);
    const SensorComparisonRow& broad = table.rows[0];
    const SensorComparisonRow& narrow = table.rows[1];
    EXPECT_EQ(broad.sensor, "Broad blue");
    EXPECT_EQ(narrow.sensor, "Three test bands");
    EXPECT_TRUE(broad.library_built && narrow.library_built);

    // The narrow sensor sees the constructed features exactly; B, JM and the Mahalanobis
    // resubstitution worked out in plain double arithmetic from the same float reflectances
    // (every spectrum classified correctly; B alpha-beta 3.5660, alpha-gamma 6.3721,
    // beta-gamma 10.7505).
    EXPECT_EQ(narrow.classes, 3);
    EXPECT_EQ(narrow.classes_modelled, 3);
    EXPECT_DOUBLE_EQ(narrow.overall_accuracy, 100.0);
    EXPECT_DOUBLE_EQ(narrow.kappa, 1.0);
    EXPECT_EQ(narrow.validation, "resubstitution");
    EXPECT_EQ(narrow.jm_pairs, 3);
    EXPECT_NEAR(narrow.min_jm, 1.943461955242733, 1e-9);
    EXPECT_NEAR(narrow.mean_jm, 1.9800006671913082, 1e-9);
    EXPECT_EQ(narrow.closest_first, "alpha");
    EXPECT_EQ(narrow.closest_second, "beta");
    // A sensor that was not really switched to would repeat the narrow figures.
    EXPECT_GT(std::fabs(broad.min_jm - narrow.min_jm), 1e-3);

    // Each sensor on its own through the discriminant analysis and the pairwise distances; the
    // libraries the comparison built are the current ones and are reused.
    for (const SensorComparisonRow& row : table.rows) {
        UseSensor(row.sensor_id);
        SpectralStatistics library(*session_, *loader_);
        library.LoadLibrary();
        ASSERT_STREQ(library.StatusText(), "Ready") << row.sensor;
        const AccuracyResult da = RunDiscriminantAnalysis(library, *loader_, output_, frontend_, 3);
        EXPECT_DOUBLE_EQ(row.overall_accuracy, da.overall_accuracy) << row.sensor;
        EXPECT_DOUBLE_EQ(row.kappa, da.kappa) << row.sensor;
        const Matrix b = PairwiseBhattacharyya(library);
        const double jm[] = {JeffriesMatusita(b(1, 2)), JeffriesMatusita(b(1, 3)),
                             JeffriesMatusita(b(2, 3))};
        EXPECT_DOUBLE_EQ(row.min_jm, std::min({jm[0], jm[1], jm[2]})) << row.sensor;
        EXPECT_NEAR(row.mean_jm, (jm[0] + jm[1] + jm[2]) / 3, 1e-15) << row.sensor;
        EXPECT_LE(0.0, row.min_jm);
        EXPECT_LE(row.min_jm, row.mean_jm);
        EXPECT_LE(row.mean_jm, 2.0);
    }

    // The file: a header, then one row per sensor in the order asked.
    ASSERT_FALSE(table.path.empty());
    EXPECT_EQ(std::filesystem::path(table.path).filename(), "sensor_comparison.csv");
    const std::vector<std::string> lines = test::Lines(table.path);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0],
              "Sensor,Sensor Id,Classes,Classes Modelled,Overall Accuracy,Kappa,Validation,"
              "Min JM,Mean JM,JM Pairs,Min JM Class 1,Min JM Class 2");
    const std::vector<std::string> cells = test::Cells(lines[2]);
    ASSERT_EQ(cells.size(), 12u);
    EXPECT_EQ(cells[0], "Three test bands");
    EXPECT_EQ(cells[1], std::to_string(narrow_));
    EXPECT_EQ(cells[3], "3");
    EXPECT_DOUBLE_EQ(std::stod(cells[4]), 100.0);
    EXPECT_EQ(cells[6], "resubstitution");
    EXPECT_NEAR(std::stod(cells[7]), 1.943461955242733, 1e-12);
    EXPECT_EQ(cells[10] + "/" + cells[11], "alpha/beta");
    EXPECT_EQ(test::Cells(lines[1])[0], "Broad blue");

    // A second comparison reuses both libraries and reports the same table.
    UseSensor(narrow_);
    const SensorComparison again = Compare({broad_, narrow_});
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_FALSE(again.rows[i].library_built);
        EXPECT_EQ(again.rows[i].min_jm, table.rows[i].min_jm);
    }
    const std::string& report = frontend_.reports.back();
    EXPECT_NE(report.find("Sensor Comparison"), std::string::npos) << report;
    EXPECT_NE(report.find("Three test bands  "), std::string::npos) << report;
    EXPECT_NE(report.find("alpha / beta"), std::string::npos) << report;

    // Validated: each row is the sensor's own leave-one-out discriminant analysis, and the JSON
    // twin holds the same rows.
    UseSensor(narrow_);
    frontend_.reports.clear();
    const SensorComparison loo = Compare({broad_, narrow_}, nullptr, "loo");
    // gamma has d + 1 = 3 spectra, so each of its held-out spectra leaves it unmodelled; each
    // sensor's note says so before the table.
    for (const char* sensor : {"Broad blue", "Three test bands"}) {
        const std::string heading = "Sensor \"" + std::string(sensor) + "\": ";
        EXPECT_EQ(std::count_if(frontend_.reports.begin(), frontend_.reports.end(),
                                [&](const std::string& t) {
                                    return t.rfind(heading, 0) == 0 &&
                                           t.find("gamma: unmodelled in 3 of 11 held-out sets") !=
                                               std::string::npos;
                                }),
                  1)
            << sensor;
    }
    for (const SensorComparisonRow& row : loo.rows) {
        EXPECT_EQ(row.validation, "leave-one-out");
        UseSensor(row.sensor_id);
        SpectralStatistics library(*session_, *loader_);
        library.LoadLibrary();
        const AccuracyResult da = RunDiscriminantAnalysis(library, *loader_, output_, frontend_,
                                                          3, ParseValidation("loo"));
        EXPECT_DOUBLE_EQ(row.overall_accuracy, da.overall_accuracy) << row.sensor;
        EXPECT_DOUBLE_EQ(row.kappa, da.kappa) << row.sensor;
    }
    const nlohmann::json j = test::ReadJson(dir_.Path() + "/out/sensor_comparison.json");
    EXPECT_EQ(j["analysis"], "sensor comparison");
    EXPECT_EQ(j["provenance"]["validation"], "leave-one-out");
    ASSERT_EQ(j["rows"].size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(j["rows"][i]["sensor"]["name"], loo.rows[i].sensor);
        EXPECT_EQ(j["rows"][i]["overall_accuracy"].get<double>(), loo.rows[i].overall_accuracy);
        EXPECT_EQ(j["rows"][i]["min_jm"].get<double>(), loo.rows[i].min_jm);
    }
    EXPECT_EQ(j["rows"][1]["closest_pair"], nlohmann::json({"alpha", "beta"}));
}

// Whatever stops a comparison, the session stays on its sensor and feature space and no table
// is written; a sensor that cannot hold the feature space is refused before any library is
// built.
// One bar for the whole comparison: each sensor's build and check fill their share of it in
// turn, so it never falls back to 0 for the next sensor or phase, and it ends full.
TEST_F(SensorComparisonTest, ProgressRisesOnceAcrossEverySensorAndPhase) {
    test::RecordingFrontend recording;
    std::vector<int> shown;
    recording.Progress().SetListener(
        [&](const std::string&, int percent) { shown.push_back(percent); });
    Compare({broad_, narrow_}, &recording);
    recording.Progress().SetListener(nullptr);
    ASSERT_FALSE(shown.empty());
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end())) << ::testing::PrintToString(shown);
    EXPECT_EQ(shown.back(), 100);
    // Both sensors' phases were heard, not only the last one's.
    EXPECT_TRUE(std::any_of(shown.begin(), shown.end(), [](int p) { return p > 0 && p <= 50; }))
        << ::testing::PrintToString(shown);
}

TEST_F(SensorComparisonTest, RefusalsAndCancelLeaveTheSessionOnItsSensor) {
    struct CancelAfterFirstClass : test::RecordingFrontend {
        bool Cancelled() override { return !steps.empty(); }
    };
    const struct {
        const char* name;
        std::vector<int> sensors;
        std::string validation;
        bool cancel;
        const char* message;
    } cases[] = {
        {"no sensor", {}, "resubstitution", false, "at least one sensor"},
        {"a sensor twice", {narrow_, broad_, narrow_}, "resubstitution", false, "listed twice"},
        {"an unknown sensor", {narrow_, 99999}, "resubstitution", false, "not loaded"},
        {"too few bands", {narrow_, one_}, "resubstitution", false,
         "2 features, more than the 1 bands of sensor \"One band\""},
        {"an unknown validation", {narrow_}, "jackknife", false, "Unknown validation"},
        {"cancelled", {narrow_, broad_}, "resubstitution", true, ""},
    };
    UseSensor(broad_);
    for (const auto& c : cases) {
        CancelAfterFirstClass cancelling;
        const auto run = [&] {
            Compare(c.sensors, c.cancel ? &cancelling : nullptr, c.validation);
        };
        EXPECT_TRUE(c.cancel ? test::EndsCancelled(run) : test::Refuses(run, c.message))
            << c.name;
        ExpectSessionOn(broad_, c.name);
        EXPECT_FALSE(std::filesystem::exists(output_.PathFor("sensor_comparison", "csv")))
            << c.name;
        if (!c.cancel) {
            EXPECT_EQ(Count("select count(*) from library"), 0) << c.name;
        }
    }
}

// The window's form listens to chain changes and answers each by choosing its list's first
// feature space and reloading its library; the comparison's own switches of sensor must not
// reach it, whether the comparison ends well or is refused, and every chain setting the user
// chose is the same afterwards.
TEST_F(SensorComparisonTest, ChainSettingsAndTheirListenerAreLeftAsTheyWere) {
    session_->SetClassifier(Classifier::kSpectralAngle);
    int heard = 0;
    session_->SetChainChangedListener([&] {
        ++heard;
        session_->SetFeatureSpace(0);
    });
    const auto state = [&] {
        return std::make_tuple(session_->CurrentSensor()->SensorId(), session_->FeatureSpaceId(),
                               session_->FeatureSpaceType(), session_->ClassifierInUse(),
                               session_->StageMode(Stage::kContinuumRemoved),
                               session_->StageMode(Stage::kSpliced),
                               session_->SmoothingType(), session_->DerivativeOrder());
    };
    const struct {
        const char* name;
        std::vector<int> sensors;
    } cases[] = {
        {"compared", {broad_, narrow_}},
        {"refused after switching", {broad_, one_}},
    };
    for (const auto& c : cases) {
        const auto before = state();
        SensorComparison table;
        try {
            table = Compare(c.sensors);
        } catch (const OrvaneError&) {
        }
        // Its heading states the chain the rows share; each row names its own sensor.
        if (!table.rows.empty()) {
            EXPECT_EQ(table.chain.rfind("Chain: study \"comparison study\"; splice correction off",
                                        0),
                      0u)
                << table.chain;
        }
        EXPECT_EQ(heard, 0) << c.name;
        EXPECT_EQ(state(), before) << c.name;
        // The listener is back in place for the user's next change.
        session_->NotifyChainChanged();
        EXPECT_EQ(heard, 1) << c.name;
        heard = 0;
        session_->SetFeatureSpace(fs_);
    }
    session_->SetChainChangedListener(nullptr);
}

}  // namespace
}  // namespace orvane
