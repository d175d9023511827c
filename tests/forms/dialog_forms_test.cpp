// SPDX-License-Identifier: GPL-3.0-or-later
// What the window's dialogs say on a study, without the window: an import's summary and the
// spectra plot's choice of species across studies (the texts alone: dialog_texts_pure_test.cpp).
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "chain/processing_session.h"
#include "forms/main_form.h"
#include "forms/spectra_plot_form.h"
#include "forms/workbench_document.h"
#include "support/recording_frontend.h"
#include "support/scratch_database.h"
#include "support/study_rows.h"
#include "support/workbench_rows.h"

namespace orvane {
namespace {

// Two studies; the first one's folder holds the species "kauri" (one readable spectrum) and a
// stray file beside it that the import skips.
class DialogForms : public ::testing::Test {
  protected:
    void SetUp() override {
        test::ImportSensors(scratch_, {"landsat8_oli"});
        test::LoadSeedFeatureSpaces(scratch_.Admin());
        data_ = dir_.Path() + "/study";
        std::filesystem::create_directories(data_ + "/kauri/site1");
        std::filesystem::copy_file(test::TestData("asd/as6/v6sample00000.asd"),
                                   data_ + "/kauri/site1/v6sample00000.asd");
        std::ofstream(data_ + "/notes.txt") << "field notes\n";
        const int first = test::InsertStudyWithChainRows(scratch_.Admin(), "Kaimai ridge");
        test::InsertStudyWithChainRows(scratch_.Admin(), "Coastal dunes");
        scratch_.Admin().Execute(fmt::format("update study set datapath = '{}' where study_id = {}",
                                             scratch_.Admin().Escape(data_), first));
        doc_ = std::make_unique<WorkbenchDocument>(scratch_.WriteConfig(dir_.Path()));
        form_ = std::make_unique<MainForm>(*doc_);
        form_->InitialUpdate();
    }
    int Select(const std::string& name) {
        for (size_t i = 0; i < form_->Studies().items.size(); ++i)
            if (form_->Studies().items[i].text == name) form_->SelectStudy(static_cast<int>(i));
        return doc_->Session().StudyId();
    }

    test::ScratchDatabase scratch_{"dialogs"};
    test::TempDir dir_;
    std::string data_;
    std::unique_ptr<WorkbenchDocument> doc_;
    std::unique_ptr<MainForm> form_;
};

TEST_F(DialogForms, AWindowImportEndsWithTheSummaryAndTheSkippedList) {
    Select("Kaimai ridge");
    test::RecordingFrontend frontend;
    form_->ImportSpectra(frontend);
    ASSERT_FALSE(frontend.reports.empty());
    EXPECT_EQ(frontend.reports.back(),
              "Added 1 species, 1 sites and 1 spectra; 1 skipped:\n  " + data_ +
                  "/notes.txt: it is a file where only species folders belong\n");
}

TEST_F(DialogForms, ThePlotDropsCheckedSpeciesTheNewStudyLacks) {
    Select("Kaimai ridge");
    test::RecordingFrontend frontend;
    form_->ImportSpectra(frontend);
    SpectraPlotForm plot(*doc_);
    plot.selection = SpectraPlotRequest::kFolders;
    plot.folders = {"kauri", "AT"};
    EXPECT_EQ(plot.FollowStudy(), std::vector<std::string>{"kauri"});
    EXPECT_EQ(plot.folders, std::vector<std::string>{"kauri"});
    EXPECT_EQ(plot.NothingToPlot(), "");

    // The other study has no species: nothing stays checked, and the plot says so instead of
    // asking the server for a species of the former study.
    Select("Coastal dunes");
    EXPECT_TRUE(plot.FollowStudy().empty());
    EXPECT_TRUE(plot.folders.empty());
    EXPECT_NE(plot.NothingToPlot().find("No species are checked"), std::string::npos);

    // Only the study's checked species can leave nothing to plot.
    Select("Kaimai ridge");
    const struct {
        int source;
        int selection;
        std::vector<std::string> folders;
        bool nothing;
    } cases[] = {
        {SpectraPlotForm::kStudy, SpectraPlotRequest::kFolders, {}, true},
        {SpectraPlotForm::kStudy, SpectraPlotRequest::kFolders, {"kauri"}, false},
        {SpectraPlotForm::kStudy, SpectraPlotRequest::kAllSpecies, {}, false},
        {SpectraPlotForm::kLoaded, SpectraPlotRequest::kFolders, {}, false},
    };
    for (const auto& c : cases) {
        plot.source = c.source;
        plot.selection = c.selection;
        plot.folders = c.folders;
        EXPECT_EQ(!plot.NothingToPlot().empty(), c.nothing) << c.source << " " << c.selection;
    }

    // The remembered stage word is read in any case, as the command line reads it; an unknown
    // one keeps the stage.
    plot.RestoreStage("Continuum-REMOVED", -1);
    EXPECT_EQ(plot.StageWord(), "continuum-removed");
    plot.RestoreStage("no-such-stage", -1);
    EXPECT_EQ(plot.StageWord(), "continuum-removed");
}

}  // namespace
}  // namespace orvane
