// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/linear_unmixing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/orvane_error.h"
#include "stats/mixture_edit.h"
#include "store/database.h"
#include "support/analysis_rig.h"
#include "support/mixing_study.h"
#include "support/refusal.h"
#include "support/scratch_database.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

using test::BandValues;

// Endmember values at the six sensor elements; elements 4 and 5 are far off to show that
// they take no part.
const BandValues kGrass = {0.05, 0.10, 0.04, 0.9, 0.9, 0.30};
const BandValues kSoil = {0.15, 0.20, 0.25, 0.1, 0.1, 0.35};
const BandValues kWater = {0.08, 0.06, 0.03, 0.5, 0.5, 0.01};

BandValues Scaled(const BandValues& v, double s) {
    BandValues out{};
    for (size_t k = 0; k < v.size(); ++k) out[k] = v[k] * s;
    return out;
}

BandValues Mix(double g, double s, double w) {
    BandValues out{};
    for (size_t k = 0; k < out.size(); ++k) out[k] = g * kGrass[k] + s * kSoil[k] + w * kWater[k];
    return out;
}

class UnmixTest : public test::AnalysisRig {
  protected:
    UnmixTest() : AnalysisRig("unmix") {}
    void SetUp() override {
        test::WriteMixingSensor(dir_.File("six.txt"));
        test::WriteMixingSensor(dir_.File("five.txt"), 5);
        ImportSensors({dir_.File("six.txt"), dir_.File("five.txt")});
    }

    // A study whose endmembers are grass, soil and water, each the mean of two spectra.
    int EndmemberStudy(const std::string& name) {
        Database& db = Admin();
        const int study = test::InsertStudyWithChainRows(db, name);
        for (const auto& [folder, values] :
             {std::pair{"grass", kGrass}, std::pair{"soil", kSoil}, std::pair{"water", kWater}})
            ids_[folder] = test::InsertMixingSpecies(db, study, folder, true,
                                                     {Scaled(values, 1.5), Scaled(values, 0.5)});
        return study;
    }

    void Use(int study, const std::string& sensor = "Mixing 6 bands") {
        ChainOptions chain;
        chain.study = std::to_string(study);
        chain.sensor = sensor;
        Apply(chain);
        UseStudy(study);
    }
    UnmixResult Run(int study, const std::string& sensor = "Mixing 6 bands",
                    const std::vector<int>& elements = DefaultUnmixElements()) {
        Use(study, sensor);
        return Unmix(*loader_, *session_, frontend_, &output_, elements);
    }

    std::map<std::string, int> ids_;
};

TEST_F(UnmixTest, RecoversMixtureFractionsAndReportsRecordedAndErrors) {
    Run(EndmemberStudy("pure only"));  // without mixtures, only the heading
    EXPECT_EQ(frontend_.reports,
              std::vector<std::string>{"Spectral Unmixing\nChain: study \"pure only\"; sensor "
                                       "Mixing 6 bands; splice correction off (splice joins: 1000-1001 1800-1801); waveband filter none; smoothing none; continuum removal off (continuum ranges: the whole valid range)"});
    frontend_.reports.clear();

    Database& db = Admin();
    const int study = EndmemberStudy("mixed");
    const int mix = test::InsertMixingSpecies(db, study, "mix", false, {Mix(0.6, 0.3, 0.1)});
    // Off the endmembers' span: the least-squares values below are numpy's lstsq on the same
    // float reflectances.
    const int noisy =
        test::InsertMixingSpecies(db, study, "noisy", false, {{0.10, 0.12, 0.11, 0.3, 0.3, 0.20}});
    test::InsertMixingSpecies(db, study, "odd", false, {Mix(1.2, -0.2, 0.1)});
    test::InsertMixingSpecies(db, study, "pure", false, {Scaled(kSoil, 1.5), Scaled(kSoil, 0.5)});
    // The water fraction of "mix" is not recorded: no line, and 0 in the errors.
    test::InsertMixtureRow(db, mix, ids_["grass"], 0.6);
    test::InsertMixtureRow(db, mix, ids_["soil"], 0.3);
    test::InsertMixtureRow(db, noisy, ids_["water"], 0.3);
    test::InsertMixtureRow(db, noisy, ids_["grass"], 0.2);
    test::InsertMixtureRow(db, noisy, ids_["soil"], 0.5);

    const UnmixResult r = Run(study);
    EXPECT_EQ(r.endmembers, (std::vector<std::string>{"grass", "soil", "water"}));
    ASSERT_EQ(r.mixtures.size(), 4u);
    // The residual RMSE is y's distance from E's column space (Gram-Schmidt on the same float
    // reflectances, not the normal equations the estimates come from) over sqrt(4); it is 0
    // up to rounding for a mixture in the span. Only "odd" has estimates outside 0..1.
    const struct {
        const char* name;
        double a[3];
        double tolerance;
        double rmse;
        bool outside[3];
    } expected[] = {
        {"mix", {0.6, 0.3, 0.1}, 1e-6, 0.0, {false, false, false}},
        {"noisy", {0.246072802379, 0.34763211361, 0.439876554026}, 1e-9, 0.00032484709546215,
         {false, false, false}},
        {"odd", {1.2, -0.2, 0.1}, 1e-6, 0.0, {true, true, false}},
        {"pure", {0.0, 1.0, 0.0}, 1e-9, 0.0, {false, false, false}}};
    for (size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(r.mixtures[k].name, expected[k].name);
        ASSERT_EQ(r.mixtures[k].estimates.size(), 3u);
        ASSERT_EQ(r.mixtures[k].out_of_range.size(), 3u);
        for (size_t j = 0; j < 3; ++j) {
            EXPECT_NEAR(r.mixtures[k].estimates[j], expected[k].a[j], expected[k].tolerance)
                << expected[k].name << " " << j;
            EXPECT_EQ(r.mixtures[k].out_of_range[j], expected[k].outside[j])
                << expected[k].name << " " << j;
        }
        EXPECT_NEAR(r.mixtures[k].rmse, expected[k].rmse, 1e-8) << expected[k].name;
    }

    // An unrecorded fraction counts as 0 in the errors; without any record, no comparison.
    ASSERT_EQ(frontend_.reports.size(), 9u);
    EXPECT_EQ(frontend_.reports[2],
              "0.60  grass\n0.30  soil\n0.10  water\n"
              "residual RMSE over sensor elements 1, 2, 3, 6: 0.000000\n\nsimulated mixture "
              "abundances from database:\n0.60 grass\n0.30 soil\n\nabsolute errors:\n"
              "0.00  grass\n0.00  soil\n0.10  water\n");
    EXPECT_NE(
        frontend_.reports[4].find("residual RMSE over sensor elements 1, 2, 3, 6: 0.000325\n"),
        std::string::npos)
        << frontend_.reports[4];
    EXPECT_EQ(frontend_.reports[6],
              "1.20  grass  (outside 0-1)\n-0.20  soil  (outside 0-1)\n0.10  water\n"
              "residual RMSE over sensor elements 1, 2, 3, 6: 0.000000\n");
    EXPECT_EQ(frontend_.reports[8].find("outside"), std::string::npos) << frontend_.reports[8];

    // The table and its JSON twin (their layout and numbers are the demo session's): the
    // recorded fraction is empty or null where the mixture table has none, and 0 for an
    // endmember a recorded mixture does not list.
    ASSERT_EQ(r.csv_path, dir_.Path() + "/out/unmixing.csv");
    const std::vector<std::string> table = test::Lines(r.csv_path);
    ASSERT_EQ(table.size(), 13u);
    for (size_t row = 1; row < table.size(); ++row)
        EXPECT_EQ(test::Cells(table[row])[4].empty(), row > 6) << table[row];  // "odd", "pure"
    EXPECT_NE(table[3].find(",no,0,"), std::string::npos) << table[3];
    ASSERT_EQ(r.json_path, dir_.Path() + "/out/unmixing_output.json");
    const nlohmann::json j = test::ReadJson(r.json_path);
    const double recorded_mix[] = {0.6, 0.3, 0.0};
    for (size_t e = 0; e < 3; ++e) {
        EXPECT_EQ(j["mixtures"][0]["fractions"][e]["recorded"].get<double>(), recorded_mix[e]);
        EXPECT_TRUE(j["mixtures"][2]["fractions"][e]["recorded"].is_null()) << e;
    }
}

// The elements unmixed are the ones chosen: the same data give other estimates on other
// elements, and a fraction a hair below 0 is flagged with its sign. The expected values are
// exact least squares on the stored single-precision reflectances (Python fractions, the
// method that reproduces numpy's values of the test above):
//   E[b][j] = (f32(1.5 v) + f32(0.5 v)) / 2, y = f32(values); a = (E'E)^-1 E'y.
TEST_F(UnmixTest, UnmixesOnTheChosenElements) {
    Database& db = Admin();
    const int study = EndmemberStudy("chosen");
    test::InsertMixingSpecies(db, study, "noisy", false, {{0.10, 0.12, 0.11, 0.3, 0.3, 0.20}});
    test::InsertMixingSpecies(db, study, "tiny", false, {Mix(0.70001, 0.3, -0.00001)});
    Use(study);
    const struct {
        std::vector<int> elements;
        double noisy[3];
        double noisy_rmse;
        double tiny_water;
        const char* rmse_line;
    } cases[] = {
        {{1, 2, 3, 6},
         {0.246072802379099, 0.34763211360980983, 0.43987655402559495},
         0.0003248470954621534,
         -1.0014314016566397e-05,
         "residual RMSE over sensor elements 1, 2, 3, 6: "},
        {{3, 1, 2},  // any order: unmixed in ascending order
         {0.2317071745547796, 0.3487804950371691, 0.45121961806174177},
         0.0,
         -9.942664177530208e-06,
         "residual RMSE over sensor elements 1, 2, 3: "},
        {{1, 3, 5, 6},
         {0.155312338713762, 0.4236141067875686, 0.23780909722016313},
         0.0068513015226603765,
         NAN,
         "residual RMSE over sensor elements 1, 3, 5, 6: "},
    };
    for (const auto& c : cases) {
        frontend_.reports.clear();
        const UnmixResult r = Unmix(*loader_, *session_, frontend_, &output_, c.elements);
        std::vector<int> sorted = c.elements;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(r.elements, sorted);
        ASSERT_EQ(r.mixtures.size(), 2u);
        for (size_t j = 0; j < 3; ++j)
            EXPECT_NEAR(r.mixtures[0].estimates[j], c.noisy[j], 1e-9) << c.rmse_line << j;
        EXPECT_NEAR(r.mixtures[0].rmse, c.noisy_rmse, 1e-9) << c.rmse_line;
        ASSERT_EQ(frontend_.reports.size(), 5u);
        EXPECT_NE(frontend_.reports[2].find(c.rmse_line), std::string::npos) << c.rmse_line;
        EXPECT_EQ(test::ReadJson(r.json_path)["sensor_elements"], nlohmann::json(sorted));
        if (std::isnan(c.tiny_water)) continue;
        // The water fraction of "tiny" is about -1e-5: flagged, and printed so that its sign
        // shows, never as "0.00".
        EXPECT_NEAR(r.mixtures[1].estimates[2], c.tiny_water, 1e-9);
        EXPECT_EQ(r.mixtures[1].out_of_range, (std::vector<bool>{false, false, true}));
        EXPECT_EQ(frontend_.reports[4].rfind("0.70  grass\n0.30  soil\n-0.00001  water  "
                                             "(outside 0-1)\nresidual RMSE",
                                             0),
                  0u)
            << frontend_.reports[4];
    }

    const struct {
        std::vector<int> elements;
        const char* message;
    } refused[] = {
        {{}, "at least one sensor element"},
        {{0, 1, 2}, "elements are numbered from 1"},
        {{1, 2, 3, 7}, "has no element 7. Unmixing uses the elements 1, 2, 3 and 7"},
        {{2, 6}, "with 3 endmembers: the sensor elements 2 and 6 determine at most 2"},
        {{6}, "the sensor element 6 determines at most 1"},
        // Elements 4 and 5 hold the same value in every endmember.
        {{4, 5, 6}, "linearly dependent on the sensor elements 4, 5 and 6"},
    };
    for (const auto& c : refused) {
        frontend_.reports.clear();
        EXPECT_TRUE(test::Refuses(
            [&] { Unmix(*loader_, *session_, frontend_, &output_, c.elements); }, c.message))
            << c.message;
        EXPECT_TRUE(frontend_.reports.empty()) << c.message;
    }
}

// Every refusal says why, reports nothing and gives no estimates.
TEST_F(UnmixTest, RefusalsNameTheCause) {
    Database& db = Admin();
    const struct {
        const char* what;
        std::function<int()> arrange;
        const char* sensor;
        const char* message;
    } cases[] = {
        {"five elements", [&] { return EndmemberStudy("five"); }, "Mixing 5 bands",
         "has no element 6"},
        {"five endmembers",
         [&] {
             const int s = EndmemberStudy("crowded");
             test::InsertMixingSpecies(db, s, "moss", true, {Mix(0.5, 0.5, 0)});
             test::InsertMixingSpecies(db, s, "rock", true, {Mix(0, 0.5, 0.5)});
             return s;
         },
         "Mixing 6 bands", "with 5 endmembers"},
        {"dependent endmembers",
         [&] {
             const int s = EndmemberStudy("dependent");
             test::InsertMixingSpecies(db, s, "twin", true, {Mix(0.5, 0.5, 0)});
             return s;
         },
         "Mixing 6 bands", "linearly dependent"},
        {"no value at an element",
         [&] {
             const int s = EndmemberStudy("filtered");
             int filter = 0;
             db.QueryInt(
                 Sql("select waveband_filter_id from waveband_filter where study_id = %i", s),
                 filter);
             db.Execute(
                 Sql("insert into waveband_filter_range (study_id, waveband_filter_id, "
                     "lower_wavelength, upper_wavelength) values (%i, %i, 640, 660)",
                     s, filter));
             return s;
         },
         "Mixing 6 bands", "\"grass\" has no value at sensor element 3"},
        {"mixture without spectra",
         [&] {
             const int s = EndmemberStudy("empty mixture");
             test::InsertMixingSpecies(db, s, "bare", false, {});
             return s;
         },
         "Mixing 6 bands", "mixture species \"bare\" has no enabled spectra"}};
    for (const auto& c : cases) {
        frontend_.reports.clear();
        const int study = c.arrange();
        EXPECT_TRUE(test::Refuses([&] { Run(study, c.sensor); }, c.message)) << c.what;
        EXPECT_TRUE(frontend_.reports.empty()) << c.what;
    }
}

using Names = std::vector<std::string>;
using Pairs = std::vector<std::pair<std::string, std::string>>;

class MixtureEditTest : public ::testing::Test {
  protected:
    void SetUp() override {
        study_ = test::InsertGrassSoilMixStudy(db(), "mixing");
        // Folders out of order and in mixed case, and a study whose species never show.
        for (const char* folder : {"Mixa", "mixB"})
            test::InsertMixingSpecies(db(), study_, folder, false, {});
        test::InsertMixingSpecies(db(), test::InsertStudyWithChainRows(db(), "other"), "rock", true,
                                  {});
    }

    Database& db() { return scratch_.Admin(); }
    // Flags and mixture rows, as one comparable text.
    std::string Snapshot() {
        std::string all;
        for (const char* sql : {"select concat_ws('|', species_id, endmember) from species",
                                "select concat_ws('|', mixture_id, endmember_id, abundance) "
                                "from mixture"}) {
            ResultSet r = db().Query(sql);
            while (r.Next()) all += r.String(0) + "\n";
        }
        return all;
    }

    test::ScratchDatabase scratch_{"mixtureedit"};
    int study_ = 0;
};

TEST_F(MixtureEditTest, EndmembersAreMarkedByNameAndMixturesRecordTheirAbundances) {
    EXPECT_EQ(SpeciesFolders(db(), study_, false), (Names{"grass", "mix", "Mixa", "mixB", "soil"}));
    EXPECT_EQ(MarkEndmembers(db(), study_, {"soil", "grass", "soil"}, true),
              (std::vector<bool>{true, true, false}));
    EXPECT_EQ(SpeciesFolders(db(), study_, true), (Names{"grass", "soil"}));
    EXPECT_EQ(MarkEndmembers(db(), study_, {"soil", "mix"}, false),
              (std::vector<bool>{true, false}));
    EXPECT_EQ(SpeciesFolders(db(), study_, true), Names{"grass"});

    // A mixture records its endmembers' abundances.
    MarkEndmembers(db(), study_, {"soil"}, true);
    SetMixtureAbundance(db(), study_, "mix", "soil", "0.5");
    MixtureMakeUp made = SetMixtureAbundance(db(), study_, "mix", "grass", " 0.25 ");
    EXPECT_EQ(made.abundances, (Pairs{{"grass", "0.25"}, {"soil", "0.5"}}));
    EXPECT_EQ(made.total, "0.75");
    made = SetMixtureAbundance(db(), study_, "mix", "soil", "0.75");
    EXPECT_EQ(made.total, "1");
    made = RemoveFromMixture(db(), study_, "mix", "soil");
    EXPECT_EQ(made.abundances, (Pairs{{"grass", "0.25"}}));
    EXPECT_EQ(ShowMixture(db(), study_, "mix").total, "0.25");
    EXPECT_TRUE(ShowMixture(db(), study_, "Mixa").abundances.empty());
}

TEST_F(MixtureEditTest, RefusalsChangeNothing) {
    MarkEndmembers(db(), study_, {"grass"}, true);
    SetMixtureAbundance(db(), study_, "mix", "grass", "0.5");
    const struct {
        const char* name;
        std::function<void()> act;
        const char* in_message;
    } cases[] = {
        {"an unknown folder among known ones",
         [&] { MarkEndmembers(db(), study_, {"soil", "sand"}, true); },
         "no species \"sand\"; nothing was changed"},
        {"an endmember as the mixture",
         [&] { SetMixtureAbundance(db(), study_, "grass", "grass", "0.3"); },
         "\"grass\" is not a mixture species"},
        {"a mixture species as the endmember",
         [&] { SetMixtureAbundance(db(), study_, "mix", "soil", "0.3"); },
         "\"soil\" is not an endmember of the study"},
        {"an endmember the mixture does not record",
         [&] { RemoveFromMixture(db(), study_, "Mixa", "grass"); },
         "The mixture \"Mixa\" records no endmember \"grass\"."},
        {"a species of another study", [&] { ShowMixture(db(), study_, "rock"); },
         "not a mixture species"},
    };
    for (const auto& c : cases) {
        const std::string before = Snapshot();
        EXPECT_TRUE(test::Refuses(c.act, c.in_message)) << c.name;
        EXPECT_EQ(Snapshot(), before) << c.name;
    }
    for (const char* text : {"abc", "", "0.3x", "0,3", "nan", "inf", "1e999", "lots"}) {
        const std::string before = Snapshot();
        EXPECT_THROW(SetMixtureAbundance(db(), study_, "mix", "grass", text), OrvaneError) << text;
        EXPECT_EQ(Snapshot(), before) << text;
    }
}

// An abundance is stored as the double it reads as, never rounded to a few decimals or to the
// server's decimal range, and is checked: each from 0 to 1, a mixture's total at most 1.
TEST_F(MixtureEditTest, AbundancesAreStoredExactlyAndChecked) {
    MarkEndmembers(db(), study_, {"grass", "soil", "Mixa"}, true);
    for (const char* text :
         {"0.0000004", "0.1234567891", "1", "0", " 0.25 ", "0.3333333333333333"}) {
        const MixtureMakeUp made = SetMixtureAbundance(db(), study_, "mix", "grass", text);
        ASSERT_EQ(made.abundances.size(), 1u) << text;
        EXPECT_EQ(std::strtod(made.abundances[0].second.c_str(), nullptr),
                  std::strtod(text, nullptr))
            << text << " stored as " << made.abundances[0].second;
    }

    SetMixtureAbundance(db(), study_, "mix", "grass", "0.7");
    const struct {
        const char* endmember;
        const char* text;
        const char* in_message;
    } refused[] = {
        {"grass", "-5", "not from 0 to 1"},
        {"grass", "-0.1", "not from 0 to 1"},
        {"grass", "1.0000001", "not from 0 to 1"},
        {"grass", "1e100", "not from 0 to 1"},
        {"grass", "1e-400", "too small"},
        {"soil", "0.3000001", "more than 1"},
        {"soil", "1", "at most 0.3"},
    };
    for (const auto& c : refused) {
        const std::string before = Snapshot();
        const auto set = [&] { SetMixtureAbundance(db(), study_, "mix", c.endmember, c.text); };
        EXPECT_TRUE(test::Refuses(set, c.in_message)) << c.text;
        EXPECT_TRUE(test::Refuses(set, "nothing was saved")) << c.text;
        EXPECT_EQ(Snapshot(), before) << c.text;
    }
    // Decimal fractions that total 1 pass although their doubles may sum a little above it.
    SetMixtureAbundance(db(), study_, "mix", "grass", "0.33");
    SetMixtureAbundance(db(), study_, "mix", "soil", "0.56");
    EXPECT_EQ(SetMixtureAbundance(db(), study_, "mix", "Mixa", "0.11").abundances.size(), 3u);

    // A total above 1 from older data may be lowered, not raised.
    db().Execute("update mixture set abundance = 0.9");
    EXPECT_NO_THROW(SetMixtureAbundance(db(), study_, "mix", "soil", "0.5"));
    EXPECT_THROW(SetMixtureAbundance(db(), study_, "mix", "soil", "0.6"), OrvaneError);
}

}  // namespace
}  // namespace orvane
