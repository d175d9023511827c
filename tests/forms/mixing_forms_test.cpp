// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdlib>

#include "base/orvane_error.h"
#include "chain/processing_session.h"
#include "forms/abundance_settings.h"
#include "forms/endmember_selection.h"
#include "support/mixing_study.h"
#include "support/scratch_database.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

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
    const struct {
        int number;
        bool chosen;
        bool taken;
        std::vector<int> after;
    } steps[] = {
        {4, true, true, {1, 2, 3, 4, 6}},
        {4, true, true, {1, 2, 3, 4, 6}},
        {1, false, true, {2, 3, 4, 6}},
        {5, false, true, {2, 3, 4, 6}},
    };
    for (const auto& step : steps) {
        EXPECT_EQ(s.SetElementChosen(step.number, step.chosen), step.taken) << step.number;
        EXPECT_EQ(s.Elements(), step.after) << step.number;
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
