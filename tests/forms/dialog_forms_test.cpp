// SPDX-License-Identifier: GPL-3.0-or-later
// What the window's dialogs and forms do on a study, without the window: an import's summary,
// the spectra plot's choice of species across studies, the feature-space dialog's working copy
// and the workspace's study (the texts alone: export_form_pure_test.cpp).
#include <gtest/gtest.h>
#include <fmt/format.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "base/frontend.h"
#include "base/orvane_error.h"
#include "chain/chain_options.h"
#include "chain/processing_session.h"
#include "forms/abundance_settings.h"
#include "forms/endmember_selection.h"
#include "forms/feature_space_actions.h"
#include "forms/main_form.h"
#include "forms/spectra_plot_form.h"
#include "forms/workbench_document.h"
#include "forms/workspace.h"
#include "study/sensor_import.h"
#include "study/study_loader.h"
#include "support/mixing_study.h"
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
    const std::tuple<int, int, std::vector<std::string>, bool> cases[] = {
        {SpectraPlotForm::kStudy, SpectraPlotRequest::kFolders, {}, true},
        {SpectraPlotForm::kStudy, SpectraPlotRequest::kFolders, {"kauri"}, false},
        {SpectraPlotForm::kStudy, SpectraPlotRequest::kAllSpecies, {}, false},
        {SpectraPlotForm::kLoaded, SpectraPlotRequest::kFolders, {}, false},
    };
    for (const auto& [source, selection, folders, nothing] : cases) {
        plot.source = source;
        plot.selection = selection;
        plot.folders = folders;
        EXPECT_EQ(!plot.NothingToPlot().empty(), nothing) << source << " " << selection;
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

std::vector<std::string> Texts(const SpeciesListBox& list) {
    std::vector<std::string> texts;
    for (const FormItem& item : list.Items()) texts.push_back(item.text);
    return texts;
}

using Names = std::vector<std::string>;

// A study with mixture species out of order and in mixed case, two endmembers, and a second
// study whose species must never show.
class MixingFormsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Database& db = scratch_.Admin();
        study_ = test::InsertStudyWithChainRows(db, "mixing");
        for (const char* folder : {"mixB", "Mixa", "mixc"})
            ids_[folder] = test::InsertMixingSpecies(db, study_, folder, false, {});
        for (const char* folder : {"soil", "grass"})
            ids_[folder] = test::InsertMixingSpecies(db, study_, folder, true, {});
        const int other = test::InsertStudyWithChainRows(db, "elsewhere");
        test::InsertMixingSpecies(db, other, "stranger", false, {});
        test::InsertMixingSpecies(db, other, "rock", true, {});
        session_ = std::make_unique<ProcessingSession>(scratch_.Connect(), nullptr);
        session_->SetStudy(study_);
    }

    int MixtureRows() { return test::Count(scratch_.Admin(), "select count(*) from mixture"); }

    test::ScratchDatabase scratch_{"mixingforms"};
    int study_ = 0;
    std::map<std::string, int> ids_;
    std::unique_ptr<ProcessingSession> session_;
};

// What marking and recording store is MixtureEditTest's; here the lists the dialogs keep.
TEST_F(MixingFormsTest, EndmemberSelectionMovesBetweenSortedLists) {
    EndmemberSelection s(*session_);
    s.Show();
    EXPECT_EQ(Texts(s.Classes()), (Names{"Mixa", "mixB", "mixc"}));
    EXPECT_EQ(Texts(s.Endmembers()), (Names{"grass", "soil"}));
    EXPECT_FALSE(s.ToEndmembers(-1));  // no selection stores nothing
    EXPECT_FALSE(s.ToClasses(5));
    ASSERT_TRUE(s.ToEndmembers(1));
    EXPECT_EQ(Texts(s.Endmembers()), (Names{"grass", "mixB", "soil"}));
    ASSERT_TRUE(s.ToClasses(0));
    EXPECT_EQ(Texts(s.Classes()), (Names{"grass", "Mixa", "mixc"}));

    // Emptied, the class list holds the placeholder, which does not move; a species moved
    // back replaces it.
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(s.ToEndmembers(0));
    EXPECT_EQ(Texts(s.Classes()), Names{EndmemberSelection::kNoSpecies});
    EXPECT_FALSE(s.ToEndmembers(0));
    ASSERT_TRUE(s.ToClasses(s.Endmembers().IndexOfText("soil")));
    EXPECT_EQ(Texts(s.Classes()), Names{"soil"});

    // Cancel stores back the flags of the last Show, both ways, and a new dialog sees them.
    s.Revert();
    EXPECT_EQ(Texts(s.Classes()), (Names{"Mixa", "mixB", "mixc"}));
    EXPECT_EQ(Texts(s.Endmembers()), (Names{"grass", "soil"}));
    EndmemberSelection again(*session_);
    again.Show();
    EXPECT_EQ(Texts(again.Endmembers()), (Names{"grass", "soil"}));
}

// The elements Unmix uses: 1, 2, 3 and 6 until others are chosen, never none, and a kept
// choice read back only when it is one.
TEST_F(MixingFormsTest, EndmemberSelectionChoosesTheUnmixedElements) {
    EndmemberSelection s(*session_);
    EXPECT_EQ(s.Elements(), (std::vector<int>{1, 2, 3, 6}));
    EXPECT_EQ(s.ElementsText(), "1,2,3,6");
    EXPECT_TRUE(s.ElementChoices().empty());  // no sensor chosen
    EXPECT_EQ(s.ElementsNote(), "Unmixing uses the sensor elements 1, 2, 3 and 6.");
    const std::tuple<int, bool, bool, std::vector<int>> steps[] = {
        {4, true, true, {1, 2, 3, 4, 6}},
        {4, true, true, {1, 2, 3, 4, 6}},
        {1, false, true, {2, 3, 4, 6}},
        {5, false, true, {2, 3, 4, 6}},
    };
    for (const auto& [number, chosen, taken, after] : steps) {
        EXPECT_EQ(s.SetElementChosen(number, chosen), taken) << number;
        EXPECT_EQ(s.Elements(), after) << number;
    }
    EXPECT_FALSE(s.SetElementsText("2,x"));
    EXPECT_EQ(s.ElementsText(), "2,3,4,6");
    ASSERT_TRUE(s.SetElementsText(" 5, 2"));
    EXPECT_EQ(s.Elements(), (std::vector<int>{2, 5}));
    ASSERT_TRUE(s.SetElementChosen(2, false));
    EXPECT_FALSE(s.SetElementChosen(5, false));  // the last one stays
    EXPECT_EQ(s.Elements(), std::vector<int>{5});
    EXPECT_EQ(s.ElementsNote(), "Unmixing uses the sensor element 5.");
    s.DefaultElements();
    EXPECT_EQ(s.ElementsText(), "1,2,3,6");
}

// The dialog says that a complement is only in the field until saved, and warns about a
// mixture whose fractions do not add up to 1 without refusing to store it.
TEST_F(MixingFormsTest, AbundanceSettingsSaysWhatIsNotStoredAndWarnsAboutTheTotal) {
    AbundanceSettings a(*session_);
    a.Show();
    EXPECT_EQ(a.Note(), "");
    ASSERT_TRUE(a.SelectClass(a.Classes().IndexOfText("mixB")));
    ASSERT_TRUE(a.Add(0));
    ASSERT_TRUE(a.Add(0));
    EXPECT_EQ(a.Note(), "Warning: the fractions of mixB add up to 0, not 1.");
    a.SetAbundanceText("0.7");
    ASSERT_TRUE(a.Save(0));
    EXPECT_EQ(a.Note(), "Warning: the fractions of mixB add up to 0.7, not 1.");
    a.SelectEndmember(1);
    a.Complement();
    EXPECT_EQ(a.Note(),
              "The complement 0.3 is in the field only: Save stores it for the selected "
              "endmember (OK saves it too).\nWarning: the fractions of mixB add up to 0.7, not 1.");
    a.SetAbundanceText("0.2");  // typed over: no complement in the field any more
    EXPECT_EQ(a.Note(), "Warning: the fractions of mixB add up to 0.7, not 1.");
    a.Complement();
    ASSERT_TRUE(a.Save(1));
    EXPECT_EQ(a.Note(), "");

    // Another mixture left at 0.2 is still warned about while a third is shown; OK stores it.
    ASSERT_TRUE(a.SelectClass(a.Classes().IndexOfText("mixc")));
    ASSERT_TRUE(a.Add(0));
    a.SetAbundanceText("0.2");
    ASSERT_TRUE(a.Save(0));
    ASSERT_TRUE(a.SelectClass(a.Classes().IndexOfText("Mixa")));
    EXPECT_EQ(a.Note(), "Warning: the fractions of mixc add up to 0.2, not 1.");
    a.Ok(-1);
    EXPECT_EQ(MixtureRows(), 3);
}

// Edits of several mixtures stay in the dialog until OK stores them all; Cancel (or showing
// the dialog again) leaves the database as it was, and OK saves an abundance typed but not
// yet saved, or refuses it and stores nothing.
TEST_F(MixingFormsTest, AbundanceSettingsStoresOnOkOnly) {
    const auto rows = [this] {
        return test::Count(scratch_.Admin(),
                           "select count(*) from mixture where abundance > 0.19 and "
                           "abundance < 0.21");
    };
    AbundanceSettings a(*session_);
    a.Show();
    ASSERT_TRUE(a.SelectClass(a.Classes().IndexOfText("mixB")));
    ASSERT_TRUE(a.Add(0));
    a.SetAbundanceText("0.2");
    ASSERT_TRUE(a.Save(0));
    ASSERT_TRUE(a.SelectClass(a.Classes().IndexOfText("mixc")));
    ASSERT_TRUE(a.Add(0));
    a.SetAbundanceText("0.2");
    ASSERT_TRUE(a.Save(0));
    EXPECT_TRUE(a.Changed());
    a.Cancel();
    EXPECT_EQ(MixtureRows(), 0);
    // The lists after Cancel are the stored ones again.
    a.Show();
    ASSERT_TRUE(a.SelectClass(a.Classes().IndexOfText("mixB")));
    EXPECT_TRUE(a.Selected().Empty());

    ASSERT_TRUE(a.Add(0));
    a.SelectEndmember(0);
    a.SetAbundanceText("0.2");  // typed, not saved: OK saves it
    ASSERT_TRUE(a.SelectClass(a.Classes().IndexOfText("mixc")));
    ASSERT_TRUE(a.Add(1));
    a.SetAbundanceText("0.2");
    a.Ok(0);
    EXPECT_EQ(rows(), 1);  // mixB's typed value was dropped by choosing another mixture
    EXPECT_EQ(MixtureRows(), 2);
    EXPECT_FALSE(a.Changed());

    a.SetAbundanceText("1.5");
    EXPECT_THROW(a.Ok(0), OrvaneError);
    a.SetAbundanceText("0.2");
    ASSERT_TRUE(a.Remove(0));
    a.Show();  // shown again without OK: the removal is dropped
    EXPECT_EQ(MixtureRows(), 2);
    ASSERT_TRUE(a.SelectClass(a.Classes().IndexOfText("mixB")));
    EXPECT_EQ(a.Selected().Count(), 1);
    EXPECT_EQ(a.TotalText(), "0");
}

TEST_F(MixingFormsTest, AbundanceSettingsEditsTheChosenMixtureOnly) {
    AbundanceSettings a(*session_);
    a.Show();
    EXPECT_EQ(Texts(a.Classes()), (Names{"Mixa", "mixB", "mixc"}));
    EXPECT_FALSE(a.Add(0));  // no mixture chosen yet
    ASSERT_TRUE(a.SelectClass(a.Classes().IndexOfText("mixB")));
    EXPECT_EQ(a.CurrentMixture(), ids_["mixB"]);
    ASSERT_TRUE(a.Add(1));
    ASSERT_TRUE(a.Add(0));
    EXPECT_TRUE(a.Available().Empty());
    a.SetAbundanceText(" 0.25 ");
    EXPECT_TRUE(a.Save(0));
    a.SetAbundanceText("0.9");
    EXPECT_FALSE(a.Save(-1));  // without a selected endmember nothing is stored
    a.SelectEndmember(0);
    EXPECT_EQ(a.AbundanceText(), "0.25");
    // Save takes the core's check and stores the value as typed; Complement fills the rest
    // exactly, so that saving it makes the total 1 and no more.
    for (const char* refused : {"1.5", "-0.25", "nan"}) {
        a.SetAbundanceText(refused);
        EXPECT_THROW(a.Save(0), OrvaneError) << refused;
    }
    a.SetAbundanceText("0.0000004");
    EXPECT_TRUE(a.Save(0));
    a.SelectEndmember(0);
    EXPECT_EQ(std::strtod(a.AbundanceText().c_str(), nullptr), 4e-7) << a.AbundanceText();
    a.Complement();
    EXPECT_EQ(a.AbundanceText(), "0.9999996");
    EXPECT_TRUE(a.Save(1));
    EXPECT_EQ(a.TotalText(), "1");
    a.SetAbundanceText("0.0000005");
    EXPECT_THROW(a.Save(0), OrvaneError);
    EXPECT_EQ(a.TotalText(), "1");
    ASSERT_TRUE(a.Remove(0));
    EXPECT_FALSE(a.Remove(3));
    EXPECT_EQ(MixtureRows(), 0);  // nothing is stored before OK
    a.Ok(-1);
    EXPECT_EQ(MixtureRows(), 1);

    // Species made endmembers leave the class list the next time it is shown; the
    // placeholder is no mixture.
    EndmemberSelection s(*session_);
    s.Show();
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(s.ToEndmembers(0));
    a.Show();
    EXPECT_EQ(Texts(a.Classes()), Names{AbundanceSettings::kNoSpecies});
    EXPECT_FALSE(a.SelectClass(0));
}

}  // namespace
}  // namespace orvane
