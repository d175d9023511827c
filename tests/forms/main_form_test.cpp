// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/main_form.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <regex>
#include <tuple>

#include "base/orvane_error.h"
#include "chain/derivative_settings.h"
#include "chain/filter_details.h"
#include "chain/processing_session.h"
#include "chain/study_filter.h"
#include "forms/menu_command.h"
#include "forms/sensor_comparison_form.h"
#include "study/study_loader.h"
#include "support/recording_frontend.h"
#include "support/study_rows.h"
#include "support/text_spectrum_file.h"
#include "support/workbench_rows.h"

namespace orvane {
namespace {

using test::Contains;

// A workbench on a scratch database: sensors, starter feature spaces and studies as given,
// then the document and the form as start-up creates them.
class Workbench {
  public:
    Workbench(const std::string& tag, const std::vector<std::string>& sensors,
              const std::vector<std::string>& studies)
        : scratch_(tag) {
        test::ImportSensors(scratch_, sensors);
        test::LoadSeedFeatureSpaces(scratch_.Admin());
        for (const std::string& name : studies)
            study_ids_.push_back(test::InsertStudyWithChainRows(scratch_.Admin(), name));
        doc_ = std::make_unique<WorkbenchDocument>(scratch_.WriteConfig(dir_.Path()));
        form_ = std::make_unique<MainForm>(*doc_);
        form_->InitialUpdate();
    }

    int Count(const std::string& sql) { return test::Count(scratch_.Admin(), sql); }
    int FeatureSpaceId(const std::string& name) {
        return Count("select feature_space_id from feature_space where name = '" + name + "'");
    }

    test::ScratchDatabase scratch_;
    test::TempDir dir_;
    std::vector<int> study_ids_;
    std::unique_ptr<WorkbenchDocument> doc_;
    std::unique_ptr<MainForm> form_;
};

// The window's report shows the start-up warnings, here a configuration others may read.
TEST(MainFormStartup, TheReportShowsAConfigurationOthersMayRead) {
    test::ScratchDatabase scratch("formwarn");
    test::TempDir dir;
    const std::string path = scratch.WriteConfig(dir.Path());
    std::filesystem::permissions(path, std::filesystem::perms::others_read,
                                 std::filesystem::perm_options::add);
    WorkbenchDocument doc(path);
    MainForm form(doc);
    form.InitialUpdate();
    EXPECT_TRUE(Contains(doc.ReportText().Text(), "chmod 600 " + path)) << doc.ReportText().Text();
}

class MainFormTest : public ::testing::Test {
  protected:
    Workbench bench_{"form", {"landsat8_oli", "enmap"}, {"Kaimai ridge", "Coastal dunes"}};
    WorkbenchDocument& doc_ = *bench_.doc_;
    MainForm& form_ = *bench_.form_;
    ProcessingSession& session_ = bench_.doc_->Session();
};

TEST_F(MainFormTest, DerivativeControlsFollowTheOrderAndTheStoredMethod) {
    const struct {
        const char* what;
        bool is_method;  // otherwise an order
        int value;
        bool accepted;
        int order;
        bool method_enabled;
        bool edit_enabled;
    } steps[] = {
        {"order 2", false, 2, true, 2, true, false},
        {"SavGol", true, 1, true, 2, true, true},
        {"back to order 0", false, 0, true, 0, false, false},
        // Order 2's row keeps SavGol, so the form shows it again.
        {"order 2 again", false, 2, true, 2, true, true},
        {"order 3 is new: iterative", false, 3, true, 3, true, false},
        {"order 31 is refused", false, 31, false, 3, true, false},
    };
    for (const auto& s : steps) {
        bool accepted = true;
        if (s.is_method)
            form_.SetDerivativeMethod(s.value);
        else
            accepted = form_.SetDerivativeOrder(s.value);
        EXPECT_EQ(accepted, s.accepted) << s.what;
        EXPECT_EQ(form_.DerivativeOrder(), s.order) << s.what;
        EXPECT_EQ(session_.DerivativeOrder(), s.order) << s.what;
        EXPECT_EQ(form_.DerivativeMethodEnabled(), s.method_enabled) << s.what;
        EXPECT_EQ(form_.DerivativeEditEnabled(), s.edit_enabled) << s.what;
    }
}

// The Chain Settings menu's optional stages: a mode chosen reaches the session and comes back
// with the selections; typed pairs are stored for the study, a bad text stores nothing.
TEST_F(MainFormTest, OptionalStageMenusSetModesAndPairs) {
    std::vector<StageMenu> menus = form_.StageMenus();
    ASSERT_EQ(menus.size(), 2u);
    EXPECT_EQ(menus[0].label, "Splice Correction");
    EXPECT_EQ(menus[0].modes, (std::vector<std::string>{"off", "additive"}));
    EXPECT_EQ(menus[1].label, "Continuum Removal");
    EXPECT_EQ(menus[1].mode, 0);

    form_.SetStageMode(Stage::kContinuumRemoved, 1);
    EXPECT_EQ(session_.StageMode(Stage::kContinuumRemoved), 1);
    const FormSelections chosen = form_.Selections();
    form_.SetStageMode(Stage::kContinuumRemoved, 0);
    form_.RestoreSelections(chosen);
    EXPECT_EQ(session_.StageMode(Stage::kContinuumRemoved), 1);

    form_.SetStagePairs(Stage::kSpliced, " 990-991, 1790 - 1791 ");
    EXPECT_EQ(form_.StageMenus()[0].pairs_text, "990-991 1790-1791");
    for (const char* bad : {"990-991 x", "1790-1791 990-991", "1000"})
        EXPECT_THROW(form_.SetStagePairs(Stage::kSpliced, bad), OrvaneError) << bad;
    EXPECT_EQ(form_.StageMenus()[0].pairs_text, "990-991 1790-1791");
    EXPECT_EQ(bench_.Count("select count(*) from stage_pair"), 2);
    form_.SetStagePairs(Stage::kSpliced, "");
    EXPECT_EQ(form_.StageMenus()[0].pairs_text, "");
}

// The lists' texts are the window test's; here the session follows the selections, from the
// start-up on.
TEST_F(MainFormTest, StartUpAndStudyChangeBringTheChainControlsToTheStudy) {
    EXPECT_EQ(session_.StudyId(), bench_.study_ids_[0]);
    EXPECT_EQ(form_.Sensors().SelectedData(), session_.CurrentSensor()->SensorId());
    EXPECT_EQ(session_.FeatureSpaceId(), bench_.FeatureSpaceId("Full range curvature"));
    EXPECT_EQ(doc_.ReportText().Text(), "");
    // The first study has its chain rows from the start, not only after a control changes.
    EXPECT_EQ(session_.DerivativeId(),
              bench_.Count(Sql("select derivative_id from derivative where study_id = %i and "
                               "derivative_order = 0",
                               bench_.study_ids_[0])));
    form_.SelectSmoothing(1);
    ASSERT_TRUE(form_.SetDerivativeOrder(2));
    form_.SelectStudy(1);
    const int second = bench_.study_ids_[1];
    EXPECT_EQ(session_.StudyId(), second);
    EXPECT_EQ(doc_.Loader().StudyId(), second);
    EXPECT_EQ(bench_.Count(Sql("select count(*) from smoothing_filter sf, smoothing_filter_type "
                               "t where sf.sf_type_id = t.sf_type_id and t.type = 1 and "
                               "sf.study_id = %i",
                               second)),
              1);
    EXPECT_EQ(bench_.Count(Sql("select derivative_id from derivative where study_id = %i and "
                               "derivative_order = 2",
                               second)),
              session_.DerivativeId());

    EXPECT_TRUE(form_.MakeStudyCurrent(bench_.study_ids_[0]));
    EXPECT_FALSE(form_.MakeStudyCurrent(99999));
    EXPECT_EQ(form_.Studies().selected, 0);
    EXPECT_EQ(session_.StudyId(), bench_.study_ids_[0]);
}

// The rows that go with a feature space are FeatureSpaceActionsTest's; here the form follows.
TEST_F(MainFormTest, DeletingTheFeatureSpaceMovesTheFormToTheNextOne) {
    const int doomed = bench_.FeatureSpaceId("Full range curvature");
    const int kept = bench_.FeatureSpaceId("VNIR-SWIR curvature");
    ASSERT_TRUE(form_.CommandEnabled(kCmdFeatureSpaceDelete));
    test::RecordingFrontend asked;
    asked.answers = {false, true};
    EXPECT_FALSE(form_.DeleteFeatureSpace(asked));
    EXPECT_EQ(session_.FeatureSpaceId(), doomed);
    EXPECT_TRUE(form_.DeleteFeatureSpace(asked));
    ASSERT_EQ(asked.questions.size(), 2u);
    EXPECT_TRUE(Contains(asked.questions[0], "\"Full range curvature\"")) << asked.questions[0];
    EXPECT_EQ(
        bench_.Count(Sql("select count(*) from feature_space where feature_space_id = %i", doomed)),
        0);
    ASSERT_EQ(form_.FeatureSpaces().Count(), 1);
    EXPECT_EQ(form_.FeatureSpaces().items[0].text, "VNIR-SWIR curvature");
    EXPECT_EQ(session_.FeatureSpaceId(), kept);
}

TEST_F(MainFormTest, TheClassifierListOffersEveryClassifier) {
    std::vector<std::string> labels;
    for (const FormItem& item : form_.Classifiers().items) labels.push_back(item.text);
    EXPECT_EQ(labels,
              (std::vector<std::string>{"Mahalanobis", "Modified Mahalanobis", "Gen. Squared Dist",
                                        "SAM", "Mahalanobis (shrunk)"}));
    // Each row chooses the classifier its item data names, and the saved selection keeps that
    // classifier whatever row it is shown in.
    for (int row = 0; row < form_.Classifiers().Count(); ++row) {
        const FormItem& item = form_.Classifiers().items[static_cast<size_t>(row)];
        form_.SelectClassifier(row);
        EXPECT_EQ(session_.ClassifierInUse(), static_cast<Classifier>(item.data)) << item.text;
        EXPECT_EQ(item.text, ClassifierEntryOf(session_.ClassifierInUse()).label);
        EXPECT_EQ(form_.Selections().classifier, item.data) << item.text;
    }
    FormSelections saved = form_.Selections();
    saved.classifier = static_cast<int>(Classifier::kSpectralAngle);
    form_.RestoreSelections(saved);
    EXPECT_EQ(session_.ClassifierInUse(), Classifier::kSpectralAngle);
    EXPECT_EQ(form_.Classifiers().SelectedData(), static_cast<int>(Classifier::kSpectralAngle));
    // A saved number that names no classifier keeps the current one.
    saved.classifier = 17;
    form_.RestoreSelections(saved);
    EXPECT_EQ(session_.ClassifierInUse(), Classifier::kSpectralAngle);
}

TEST_F(MainFormTest, DeletingTheSensorMovesTheFormToTheNextOne) {
    const int doomed = session_.CurrentSensor()->SensorId();
    const int next = form_.Sensors().items[1].data;
    test::RecordingFrontend asked;
    asked.answers = {true};
    EXPECT_TRUE(form_.DeleteCurrentSensor(asked));
    EXPECT_EQ(form_.Sensors().Count(), 1);
    EXPECT_EQ(session_.CurrentSensor()->SensorId(), next);
    EXPECT_EQ(bench_.Count(Sql("select count(*) from sensor_element where sensor_id = %i", doomed)),
              0);
    asked.answers = {true};
    EXPECT_TRUE(form_.DeleteCurrentSensor(asked));
    EXPECT_FALSE(form_.HasSensor());
    EXPECT_FALSE(form_.CommandEnabled(kCmdDeleteSensor));
    EXPECT_EQ(session_.CurrentFeatureSpace(), nullptr);
}

// The window's report is shown and saved as text: an entry keeps its own line ends, a stored
// name inside it stays on its line, and no control character reaches the text.
// A change of the chain refills the feature-space list; when that moves the selection away from
// the feature space the user chose, the report says so once, with the cause.
TEST_F(MainFormTest, ChainChangesThatResetTheFeatureSpaceSaySoInOneLine) {
    const std::string enmap = form_.Sensors().items[1].text;
    const struct {
        const char* what;
        int chosen;  // the feature space chosen before the change
        std::function<void()> change;
        std::string cause;  // empty: nothing reset, nothing said
    } cases[] = {
        {"derivative order", 1, [&] { form_.SetDerivativeOrder(1); },
         "because the derivative order changed to 1."},
        {"smoothing", 1, [&] { form_.SelectSmoothing(1); },
         "because the smoothing changed to Savitzky-Golay (MW)."},
        {"sensor", 1, [&] { form_.SelectSensor(1); },
         "because the sensor changed to \"" + enmap + "\"."},
        {"chain changed elsewhere", 1, [&] { session_.NotifyChainChanged(); },
         "because the processing chain changed."},
        {"already the first", 0, [&] { form_.SetDerivativeOrder(2); }, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_GE(form_.FeatureSpaces().Count(), 2);
        form_.SelectFeatureSpace(c.chosen);
        const std::string was = form_.FeatureSpaces().items[static_cast<size_t>(c.chosen)].text;
        const size_t start = doc_.ReportText().Text().size();
        c.change();
        const std::string added = doc_.ReportText().Text().substr(start);
        EXPECT_EQ(form_.FeatureSpaces().selected, 0);
        if (c.cause.empty()) {
            EXPECT_FALSE(Contains(added, "reset to")) << added;
            continue;
        }
        const std::string line = "Feature space \"" + was + "\" reset to \"" +
                                 form_.FeatureSpaces().items[0].text + "\" " + c.cause;
        EXPECT_TRUE(Contains(added, line)) << added;
        EXPECT_EQ(added.find("reset to"), added.rfind("reset to")) << added;
    }
    // Restoring the last run's choices is no change the user needs told about.
    FormSelections last = form_.Selections();
    form_.SelectFeatureSpace(1);
    last.derivative_order = 3;
    const size_t start = doc_.ReportText().Text().size();
    form_.RestoreSelections(last);
    EXPECT_EQ(doc_.ReportText().Text().substr(start), "");
}

TEST_F(MainFormTest, ReportEntriesHoldNoRawControlCharacters) {
    struct ToDocument : SilentFrontend {
        explicit ToDocument(WorkbenchDocument& doc) : doc(doc) {}
        void Report(const std::string& text) override { doc.Report(text); }
        WorkbenchDocument& doc;
    } window(doc_);
    bench_.scratch_.Admin().Execute(
        Sql("update study set name = 'Kaimai\nridge\x1b[31m\x7f' where study_id = %i",
            bench_.study_ids_[0]));
    form_.StudyReport(window);
    doc_.Report("entry\twith\x1b]0;title\x07 layout\n");
    const std::string& text = doc_.ReportText().Text();
    EXPECT_TRUE(Contains(text, "Report about study 'Kaimai\\nridge\\x1b[31m\\x7f':\n")) << text;
    EXPECT_TRUE(Contains(text, "entry\twith\\x1b]0;title\\x07 layout\n")) << text;
}

TEST(MainFormStartUp, WithoutStudiesTheChainControlsWriteNothing) {
    Workbench bench("formnostudy", {"landsat8_oli"}, {});
    MainForm& form = *bench.form_;
    EXPECT_EQ(form.Studies().Count(), 0);
    EXPECT_TRUE(Contains(bench.doc_->ReportText().Text(), "There is no study in the database"));
    EXPECT_FALSE(form.ChainControlsEnabled());
    EXPECT_FALSE(form.CommandEnabled(kCmdWavebandFilterSetup));
    form.SelectSmoothing(1);
    form.SetDerivativeOrder(2);
    EXPECT_EQ(bench.Count("select count(*) from smoothing_filter"), 0);
    EXPECT_EQ(bench.Count("select count(*) from derivative"), 0);
}

// File > Open loads SIG and SED files beside the binary ones into the Loaded Spectra.
TEST_F(MainFormTest, OpenLoadsEveryFieldSpectrumFormat) {
    test::SigFile sig;
    sig.channels = test::Unmatched(test::ThreeDetectors());
    test::SedFile sed;
    sed.channels = sig.channels;
    test::WriteTextFile(bench_.dir_.File("leaf_00012.sig"), test::SigText(sig));
    test::WriteTextFile(bench_.dir_.File("plot3.0005.sed"), test::SedText(sed));
    doc_.LoadSpectrumFile(bench_.dir_.File("leaf_00012.sig"));
    doc_.LoadSpectrumFile(bench_.dir_.File("plot3.0005.sed"));
    ASSERT_EQ(doc_.LoadedSpectra().size(), 2u);
    EXPECT_EQ(doc_.LoadedSpectra()[0]->DisplayName(), "leaf_00012.sig");
    EXPECT_EQ(doc_.LoadedSpectra()[1]->number_, 5);
    EXPECT_NEAR(doc_.LoadedSpectra()[1]->reflectances_[0], 0.24448905109489058, 1e-7);
}

// Compare Sensors switches the shared session from sensor to sensor; the form must show the
// user's own choices afterwards, not the first feature space of its list nor a library status
// of another sensor. The study has no spectra, so the comparison is refused, but only after it
// has tried every sensor, which is what used to reset the form.
TEST_F(MainFormTest, SensorComparisonLeavesTheFormsChoicesAsTheyWere) {
    form_.SetFeatureSpaceType(kFeatureNTBI);
    const int chosen = form_.FeatureSpaces().IndexOf(bench_.FeatureSpaceId("Vegetation indices"));
    ASSERT_GT(chosen, 0) << "a feature space other than the list's first";
    form_.SelectFeatureSpace(chosen);
    form_.SelectClassifier(2);
    const FormSelections before = form_.Selections();
    const std::string status = form_.LibraryStatus();
    const int generation = form_.ChainGeneration();
    SensorComparisonForm comparison(doc_);
    comparison.Refresh();
    for (int i = 0; i < comparison.Sensors().Count(); ++i) comparison.SetChosen(i, true);
    ASSERT_EQ(comparison.DisabledReason(), "");
    SilentFrontend quiet;
    const size_t start = doc_.ReportText().Text().size();
    try {
        comparison.Run(quiet);
    } catch (const OrvaneError&) {
    }
    const auto fields = [](const FormSelections& f) {
        return std::tie(f.study_id, f.sensor_id, f.smoothing, f.derivative_order,
                        f.derivative_method, f.feature_space_type, f.feature_space_id,
                        f.classifier, f.stage_modes);
    };
    EXPECT_EQ(fields(form_.Selections()), fields(before));
    EXPECT_EQ(session_.FeatureSpaceId(), before.feature_space_id);
    EXPECT_EQ(session_.CurrentSensor()->SensorId(), before.sensor_id);
    EXPECT_EQ(form_.LibraryStatus(), status);
    EXPECT_EQ(form_.ChainGeneration(), generation);
    EXPECT_EQ(doc_.ReportText().Text().substr(start), "");
}

// Every change of a chain setting leaves a timed line in the report saying what the setting
// is now, whether the form's controls, the Chain Settings menu or a dialog changed it.
TEST_F(MainFormTest, EveryChainSettingChangeIsLoggedWithItsTime) {
    const std::string enmap = form_.Sensors().items[1].text;
    const struct {
        const char* what;
        std::function<void()> change;
        std::string line;
    } cases[] = {
        {"sensor", [&] { form_.SelectSensor(1); }, "Sensor: " + enmap},
        {"smoothing", [&] { form_.SelectSmoothing(1); },
         "Smoothing: Savitzky-Golay (MW), 31 bands, polynomial order 4"},
        {"smoothing window", [&] { ApplySmoothingDetails(session_, 11, 2); },
         "Smoothing: Savitzky-Golay (MW), 11 bands, polynomial order 2"},
        {"derivative order", [&] { form_.SetDerivativeOrder(2); }, "Derivative: order 2, "},
        {"derivative method", [&] { form_.SetDerivativeMethod(kDerivativeSavGol); },
         "Derivative: order 2, Savitzky-Golay"},
        {"waveband filter",
         [&] {
             WavebandFilter filter;
             filter.AddRange(1340, 1450);
             ReplaceStudyFilter(session_, filter);
         },
         "Waveband filter: 1340-1450 nm"},
        {"feature-space type", [&] { form_.SetFeatureSpaceType(kFeatureNTBI); },
         "Feature space type: NTBI"},
        {"feature space", [&] { form_.SelectFeatureSpace(1); },
         "Feature space: \"Vegetation indices\" (4 features)"},
        {"classifier", [&] { form_.SelectClassifier(3); },
         std::string("Classifier: ") + form_.Classifiers().items[3].text},
        {"continuum removal", [&] { form_.SetStageMode(Stage::kContinuumRemoved, 1); },
         "Continuum Removal: on (continuum ranges: the whole valid range)"},
        {"splice joins", [&] { form_.SetStagePairs(Stage::kSpliced, "990-991"); },
         "Splice Correction: off (splice joins: 990-991)"},
        {"study", [&] { form_.SelectStudy(1); }, "Study: \"Coastal dunes\""},
    };
    const std::regex time("\\[[0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\] ");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const size_t start = doc_.ReportText().Text().size();
        c.change();
        const std::string added = doc_.ReportText().Text().substr(start);
        // The setting's line, either an entry's first after its time or one continuing it
        // under the time.
        const std::regex timed("(^|\n)\\[[0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\] " +
                               std::regex_replace(c.line, std::regex(R"([.^$|()\[\]{}*+?\\])"),
                                                  R"(\$&)"));
        EXPECT_TRUE(std::regex_search(added, timed) ||
                    Contains(added, "\n" + std::string(kEntryTimeWidth, ' ') + c.line))
            << added;
        EXPECT_TRUE(std::regex_search(added, time)) << added;
    }
}

}  // namespace
}  // namespace orvane
