// SPDX-License-Identifier: GPL-3.0-or-later
// What the window's dialogs and forms do on a study, without the window: an import's summary,
// the spectra plot's choice of species across studies, the feature-space dialog's working copy
// and the workspace's study (the texts alone: export_form_pure_test.cpp).
#include <gtest/gtest.h>
#include <fmt/format.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "base/frontend.h"
#include "base/orvane_error.h"
#include "chain/chain_options.h"
#include "chain/processing_session.h"
#include "forms/feature_space_actions.h"
#include "forms/main_form.h"
#include "forms/spectra_plot_form.h"
#include "forms/workbench_document.h"
#include "forms/workspace.h"
#include "study/sensor_import.h"
#include "study/study_loader.h"
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

class WorkspaceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        north_ = test::InsertStudyWithChainRows(scratch_.Admin(), "North");
        south_ = test::InsertStudyWithChainRows(scratch_.Admin(), "South");
        workspace_ = std::make_unique<Workspace>(scratch_.WriteConfig(dir_.Path()));
    }

    test::ScratchDatabase scratch_{"workspace"};
    test::TempDir dir_;
    int north_ = 0;
    int south_ = 0;
    std::unique_ptr<Workspace> workspace_;
};

// However a study becomes current, the loader that imports into and reads from it follows:
// a loader left on the previous study would import one study's files into another. An unknown
// study is refused and the current one stays.
TEST_F(WorkspaceTest, TheLoaderFollowsTheCurrentStudyHoweverItWasChosen) {
    Workspace& w = *workspace_;
    EXPECT_EQ(w.Session().StudyId(), north_);
    EXPECT_EQ(w.Loader().StudyId(), north_);
    struct Case {
        const char* how;
        std::function<void()> choose;
        int study;
    };
    for (const Case& c : std::vector<Case>{
             {"by name", [&] { w.OpenStudy(std::string("South")); }, south_},
             {"by id", [&] { w.OpenStudy(north_); }, north_},
             {"by the chain options",
              [&] {
                  ChainOptions options;
                  options.study = "South";
                  ApplyChainOptions(w.Session(), options);
              },
              south_},
             {"through the session alone", [&] { w.Session().SetStudy(north_); }, north_},
         }) {
        c.choose();
        EXPECT_EQ(w.Session().StudyId(), c.study) << c.how;
        EXPECT_EQ(w.Loader().StudyId(), c.study) << c.how;
    }
    EXPECT_THROW(w.OpenStudy(std::string("Nowhere")), OrvaneError);
    EXPECT_EQ(w.Session().StudyId(), north_);
    EXPECT_EQ(w.Loader().StudyId(), north_);
}

// What the dialog adds to storing: its working list, the modes and the state between OKs.
class FeatureSpaceActionsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::InsertStudy(scratch_.Admin(), "actions");
        session_ = std::make_unique<ProcessingSession>(scratch_.Connect(), nullptr);
        SilentFrontend quiet;
        ImportSensor(*session_, quiet, test::TestData("sensors/landsat8_oli.txt"), 0);
        FeatureSpaceActions actions(*session_);
        actions.Show(FeatureSpaceActions::kNew);
        actions.SetName("red edge");
        actions.SetDescription("stored");
        for (int w : {650, 700, 860}) actions.New(w, w + 50);
        di_ = actions.Ok();
    }

    test::ScratchDatabase scratch_{"fsactions"};
    std::unique_ptr<ProcessingSession> session_;
    int di_ = 0;
};

TEST_F(FeatureSpaceActionsTest, ModesFillTheWorkingCopy) {
    FeatureSpaceActions actions(*session_);
    actions.Show(FeatureSpaceActions::kCopyAndEdit);
    EXPECT_EQ(actions.Title(), "Edit a copied DI Feature Space");
    EXPECT_EQ(actions.Name(), "red edge_copy");
    EXPECT_EQ(actions.Lines(),
              (std::vector<std::string>{"650 - 700 nm", "700 - 750 nm", "860 - 910 nm"}));
    EXPECT_FALSE(actions.DimensionEnabled());
    EXPECT_THROW(actions.SetDimension(5), OrvaneError);

    session_->SetFeatureSpaceType(2);
    actions.Show(FeatureSpaceActions::kNew);
    EXPECT_EQ(actions.Title(), "Edit a new PCT Feature Space");
    EXPECT_TRUE(actions.Name().empty());
    EXPECT_TRUE(actions.DimensionEnabled());
    EXPECT_THROW(actions.New(400, 500), OrvaneError);

    session_->SetFeatureSpace(0);
    EXPECT_THROW(actions.Show(FeatureSpaceActions::kEdit), OrvaneError);
}

TEST_F(FeatureSpaceActionsTest, TheListStaysAlignedAndOkSavesTheShownSpaceOnce) {
    FeatureSpaceActions actions(*session_);
    actions.Show(FeatureSpaceActions::kEdit);
    ASSERT_TRUE(actions.Modify(0, 660, 710));
    ASSERT_TRUE(actions.Delete(1));
    EXPECT_FALSE(actions.Delete(7));
    EXPECT_FALSE(actions.Modify(-1, 1, 2));
    actions.New(1000, 1200);
    EXPECT_EQ(actions.Lines(),
              (std::vector<std::string>{"660 - 710 nm", "860 - 910 nm", "1000 - 1200 nm"}));
    EXPECT_EQ(actions.Dimension(), 3);
    EXPECT_EQ(actions.LastWavelength1(), 1000);

    // The form's selection changes while the dialog is open; OK still saves the shown one.
    session_->SetFeatureSpaceType(1);
    session_->SetFeatureSpace(0);
    EXPECT_EQ(actions.Ok(), di_);
    EXPECT_THROW(actions.Ok(), OrvaneError);
    session_->SetFeatureSpace(di_);
    EXPECT_EQ(session_->CurrentFeatureSpace()->Ranges().size(), 3u);

    actions.Show(FeatureSpaceActions::kNew);
    actions.SetName("many");
    for (int i = 0; i < 100; ++i) actions.New(400 + i, 401 + i);
    EXPECT_THROW(actions.New(900, 901), OrvaneError);
    EXPECT_EQ(actions.Lines().size(), 100u);
}

}  // namespace
}  // namespace orvane
