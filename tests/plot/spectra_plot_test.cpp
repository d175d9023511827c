// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/spectra_plot.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/orvane_error.h"
#include "support/analysis_rig.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

// Three species of constant spectra (values known exactly): "a" 0.2, 0.4 on site 1 and 0.9 on
// site 2; "b" 0.5 (below the study's minimum of 2); "c" 0.1, 0.3 and a disabled 0.7.
using Sites = std::vector<std::pair<int, std::vector<float>>>;
class SpectraPlotTest : public test::AnalysisRig {
  protected:
    SpectraPlotTest() : AnalysisRig("plots") {}
    void SetUp() override {
        Database& db = Admin();
        study_ = test::InsertStudy(db, "plots");
        db.Execute(
            Sql("update study set min_no_of_spec_per_endmember = 2 where study_id = %i", study_));
        for (const auto& [folder, sites] : {std::pair{"a", Sites{{1, {0.2f, 0.4f}}, {2, {0.9f}}}},
                                            std::pair{"b", Sites{{1, {0.5f}}}},
                                            std::pair{"c", Sites{{4, {0.1f, 0.3f, 0.7f}}}}})
            test::InsertConstantSpectra(db, study_, test::InsertSpecies(db, study_, folder), sites);
        db.Execute(Sql("update spectrum s, species sp set s.disabled = 1 where s.species_id = "
                       "sp.species_id and sp.folder_name = 'c' and s.spectrum_no = 3"));
        test::InsertWavebandFilter(db, study_, {{1000, 1099}});
        ImportSensors({test::SourcePath("data/sensors/landsat8_oli.txt")});
        UseStudy(study_);
    }

    SpectraPlot Plot(Stage stage, int selection, int details,
                     std::vector<std::string> folders = {}) {
        SpectraPlotRequest r;
        r.stage = stage;
        r.selection = selection;
        r.details = details;
        r.folders = std::move(folders);
        return StudySpectraPlot(*loader_, *session_, r, frontend_);
    }

    int study_ = 0;
};

TEST_F(SpectraPlotTest, CurvesPerSpectrumSiteOrSpeciesWithGapsAtExcludedBands) {
    using R = SpectraPlotRequest;
    const SpectraPlot spectra = Plot(Stage::kFiltered, R::kAllSpecies, kEverySpectrum);
    ASSERT_EQ(spectra.groups.size(), 3u);
    EXPECT_EQ(spectra.groups[0].name, "a");
    EXPECT_NE(spectra.groups[0].colour, spectra.groups[1].colour);
    ASSERT_EQ(spectra.curves.size(), 6u);  // the disabled spectrum is left out
    EXPECT_EQ(spectra.curves[2].label, "a site 2 spectrum 3");
    EXPECT_EQ(spectra.curves[5].group, 2);
    const PlotCurve& first = spectra.curves[0];
    ASSERT_EQ(first.x.size(), static_cast<size_t>(kSpectrumBands));
    EXPECT_EQ(first.x[999 - 350], 999.0);
    EXPECT_FLOAT_EQ(first.y[999 - 350], 0.2f);
    EXPECT_TRUE(std::isnan(first.y[1000 - 350]) && std::isnan(first.y[1099 - 350]));
    EXPECT_FLOAT_EQ(first.y[1100 - 350], 0.2f);
    EXPECT_TRUE(first.lower.empty());

    // Species means of the library species: "a" (0.2, 0.4, 0.9), "c" (0.1, 0.3).
    const SpectraPlot species = Plot(Stage::kFiltered, R::kLibrarySpecies, kSpeciesMean);
    ASSERT_EQ(species.curves.size(), 2u);
    EXPECT_EQ(species.groups[1].name, "c");
    const double sd_a = std::sqrt(((0.2 - 0.5) * (0.2 - 0.5) + 0.01 + 0.16) / 2);
    EXPECT_NEAR(species.curves[0].y[0], 0.5, 1e-7);
    EXPECT_NEAR(species.curves[0].upper[0], 0.5 + sd_a, 1e-7);
    EXPECT_NEAR(species.curves[1].lower[0], 0.2 - std::sqrt(0.02), 1e-7);
    EXPECT_TRUE(std::isnan(species.curves[1].upper[1050 - 350]));

    // Site means of chosen folders, in the order asked for.
    const SpectraPlot sites = Plot(Stage::kRaw, R::kFolders, kSiteMean, {"c", "a"});
    ASSERT_EQ(sites.curves.size(), 3u);
    EXPECT_EQ(sites.curves[0].label, "c site 4 mean");
    EXPECT_NEAR(sites.curves[2].y[0], 0.9, 1e-7);
    EXPECT_EQ(sites.curves[2].upper[0], sites.curves[2].y[0]);
    EXPECT_FALSE(std::isnan(sites.curves[0].y[1050 - 350]));  // raw has no gaps

    // A species keeps its colour whichever others are shown: "c" alone, or after "a", is
    // drawn as among all three.
    for (const std::vector<std::string>& folders :
         {std::vector<std::string>{"c"}, std::vector<std::string>{"a", "c"}}) {
        const SpectraPlot some = Plot(Stage::kRaw, R::kFolders, kEverySpectrum, folders);
        ASSERT_EQ(some.groups.size(), folders.size());
        EXPECT_EQ(some.groups.back().name, "c");
        EXPECT_EQ(some.groups.back().colour, spectra.groups[2].colour) << folders.size();
    }
    EXPECT_EQ(Plot(Stage::kFiltered, R::kLibrarySpecies, kEverySpectrum).groups[1].colour,
              spectra.groups[2].colour);

    EXPECT_THROW(Plot(Stage::kRaw, R::kFolders, kEverySpectrum, {"nope"}), OrvaneError);
    EXPECT_THROW(Plot(Stage::kFeatures, R::kAllSpecies, kEverySpectrum), OrvaneError);
}

TEST_F(SpectraPlotTest, SensorStagesPlotTheUsableBandCentresAndChosenSpectra) {
    const SpectraPlot synth =
        Plot(Stage::kSynthesized, SpectraPlotRequest::kAllSpecies, kSpeciesMean);
    EXPECT_TRUE(synth.markers);
    ASSERT_FALSE(synth.curves.empty());
    // Landsat 8 OLI: seven calibrated bands, the first centred at 442.98 nm.
    ASSERT_EQ(synth.curves[0].x.size(), 7u);
    EXPECT_DOUBLE_EQ(synth.curves[0].x[0], 442.98);
    EXPECT_NE(synth.title.find("Landsat 8 OLI"), std::string::npos);

    // Chosen one by one, a disabled spectrum is plotted too, in its species' colour.
    const int disabled = Count("select spectrum_id from spectrum where disabled = 1");
    const SpectraPlot chosen = StoredSpectraPlot(*loader_, *session_, {disabled}, Stage::kRaw);
    ASSERT_EQ(chosen.curves.size(), 1u);
    EXPECT_EQ(chosen.curves[0].label, "c site 4 spectrum 3");
    EXPECT_FLOAT_EQ(chosen.curves[0].y[0], 0.7f);
}

// A plot's title names only computations that happened: a stage the settings skip is named by
// the stage whose values it passes on, with what was skipped, and the stage list marks it.
TEST_F(SpectraPlotTest, TitlesNeverNameASkippedStageAndTheListMarksIt) {
    using R = SpectraPlotRequest;
    const std::string sensor = session_->CurrentSensor()->Name();
    const struct {
        Stage stage;
        int continuum;
        int splice;
        int smoothing;
        int derivative;
        std::string title;  // after "<study> - "
        std::string listed;
        const char* y_label;
    } cases[] = {
        {Stage::kContinuumRemoved, 0, 0, 1, 0, "Smoothed (Continuum Removal off)",
         "Continuum Removed (off)", "Reflectance"},
        {Stage::kContinuumRemoved, 0, 0, 0, 0, "Filtered (no smoothing; Continuum Removal off)",
         "Continuum Removed (off)", "Reflectance"},
        {Stage::kContinuumRemoved, 1, 0, 0, 0, "Continuum Removed", "Continuum Removed",
         "Reflectance / continuum"},
        {Stage::kSmoothed, 1, 0, 0, 0, "Filtered (no smoothing)", "Smoothed",
         "Reflectance"},
        {Stage::kSmoothed, 0, 0, 1, 0, "Smoothed", "Smoothed", "Reflectance"},
        {Stage::kSpliced, 0, 0, 0, 0, "Raw (Splice Correction off)", "Spliced (off)",
         "Reflectance"},
        {Stage::kSpliced, 0, 1, 0, 0, "Spliced", "Spliced", "Reflectance"},
        {Stage::kSynthesized, 1, 0, 0, 0, "Synthesized (" + sensor + ")", "Synthesized",
         "Reflectance / continuum"},
        {Stage::kDerived, 0, 0, 0, 0, "Synthesized (" + sensor + "; derivative order 0)",
         "Derived", "Reflectance"},
        {Stage::kDerived, 0, 0, 0, 1, "Derived (" + sensor + ")", "Derived",
         "Derivative of order 1"},
    };
    for (const auto& c : cases) {
        session_->SetStageMode(Stage::kContinuumRemoved, c.continuum);
        session_->SetStageMode(Stage::kSpliced, c.splice);
        session_->SetSmoothingType(c.smoothing);
        session_->SetDerivativeOrder(c.derivative);
        const SpectraPlot plot = Plot(c.stage, R::kAllSpecies, kSpeciesMean);
        const std::string expected = " - " + c.title;
        SCOPED_TRACE(plot.title);
        ASSERT_GE(plot.title.size(), expected.size());
        EXPECT_EQ(plot.title.substr(plot.title.size() - expected.size()), expected);
        EXPECT_EQ(PlotStageLabel(*session_, c.stage), c.listed);
        EXPECT_EQ(plot.y_label, c.y_label);
    }
}

}  // namespace
}  // namespace orvane
