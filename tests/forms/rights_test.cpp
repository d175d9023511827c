// SPDX-License-Identifier: GPL-3.0-or-later
// Accounts of a lab: what each role may run, the server's refusals in the faces' words, readers
// that write nothing, the history of a study, and two editors changing one record.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/frontend.h"
#include "chain/feature_space_store.h"
#include "chain/processing_session.h"
#include "chain/smoothing_type.h"
#include "cli/cli.h"
#include "forms/abundance_settings.h"
#include "forms/command_rights.h"
#include "forms/feature_space_actions.h"
#include "forms/main_form.h"
#include "forms/study_browser.h"
#include "forms/workbench_document.h"
#include "forms/menu_command.h"
#include "spectra/species_names.h"
#include "stats/mixture_edit.h"
#include "store/record_history.h"
#include "study/sensor_import.h"
#include "support/cli_fixture.h"
#include "support/cli_runner.h"
#include "support/lab_account.h"
#include "support/mixing_study.h"
#include "support/refusal.h"
#include "support/scratch_database.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

using test::Contains;
using test::LabAccount;

// The studies Alpha (grass, soil and their mixture "mix") and Beta (moss), made by the
// database's owner, an account the lab does not list.
class Rights : public ::testing::Test {
  protected:
    void SetUp() override {
        alpha_ = test::InsertGrassSoilMixStudy(db(), "Alpha");
        beta_ = test::InsertStudyWithChainRows(db(), "Beta");
        test::InsertSpecies(db(), beta_, "moss");
    }

    Database& db() { return scratch_.Admin(); }

    // orvane-cli logged in as the account.
    test::CliOutcome Cli(const LabAccount& account, std::vector<std::string> args) {
        test::TempDir& dir = *dirs_.emplace_back(std::make_unique<test::TempDir>());
        args.insert(args.begin(), {"--config", account.WriteConfig(dir.Path())});
        return test::RunCliWords(args);
    }

    std::string Text(const std::string& sql) {
        std::string value;
        db().QueryText(sql, value);
        return value;
    }
    int Count(const std::string& sql) { return test::Count(db(), sql); }

    test::ScratchDatabase scratch_{"rights"};
    std::vector<std::unique_ptr<test::TempDir>> dirs_;
    int alpha_ = 0;
    int beta_ = 0;
};

// Each role against each command, with the refusal's words and the database left as it was, is
// the lab's matrix (tests/scripts/lab-accounts) and CommandRights's; here the commands that
// matrix does not run, and that a refusal names no server error.
TEST_F(Rights, EachRoleIsRefusedWhatItMayNotRunBeforeAnyWork) {
    LabAccount reader(scratch_, "reader"), editor(scratch_, "editor");
    const std::string r = reader.Name(), e = editor.Name();
    struct Case {
        const LabAccount& who;
        std::vector<std::string> args;
        std::string says;  // empty: the command runs
    };
    const std::vector<Case> cases = {
        {reader, {"mixture", "set", "mix", "--endmember", "grass", "--abundance", "0.5"},
         "Mixture set needs the editor role; the account " + r + " has the reader role."},
        // Refused before the sensor is even looked for.
        {editor, {"sensor", "delete", "id:99", "--yes"},
         "Sensor delete needs the admin role; the account " + e + " has the editor role."},
        {reader, {"studies"}, ""},
        {reader, {"species", "list", "--study", "Alpha"}, ""},
        {reader, {"study", "history", "--study", "Beta"}, ""},
    };
    for (const Case& c : cases) {
        const test::CliOutcome out = Cli(c.who, c.args);
        if (c.says.empty()) {
            EXPECT_EQ(out.rc, 0) << c.args[0] << ' ' << out.err;
        } else {
            EXPECT_TRUE(test::Refused(out, 1, c.says)) << c.args[0];
            EXPECT_FALSE(Contains(out.err, "denied")) << out.err;
        }
    }
    EXPECT_EQ(Count("select count(*) from mixture"), 0);
}

TEST_F(Rights, WhoamiNamesTheAccountItsRoleAndAnEditorsStudies) {
    LabAccount reader(scratch_, "reader"), editor(scratch_, "editor");
    editor.Grant(beta_);
    editor.Grant(alpha_);
    EXPECT_EQ(Cli(editor, {"whoami"}).out,
              "account: " + editor.Name() + "\nrole: editor\nstudies:\n  " +
                  std::to_string(alpha_) + "\tAlpha\n  " + std::to_string(beta_) + "\tBeta\n");
    EXPECT_EQ(Cli(reader, {"whoami"}).out, "account: " + reader.Name() + "\nrole: reader\n");
}

TEST_F(Rights, ServerRefusalsAreToldInTheCommandsWordsNeverAsSql) {
    // Not listed, so an admin for Orvane, but its grants only read: the server refuses.
    LabAccount grants_only(scratch_, "reader", false);
    test::CliOutcome out =
        Cli(grants_only, {"species", "rename", "grass", "--common", "x", "--study", "Alpha"});
    EXPECT_TRUE(test::Refused(out, 1,
                              "Species rename was refused: The database server does not let the "
                              "account " + grants_only.Name() + " change the table species."));
    EXPECT_FALSE(Contains(out.err, "command denied")) << out.err;

    // A feature space with a library of Beta: deleting it deletes that library, which the
    // schema's triggers refuse to an editor of Alpha alone.
    db().Execute(
        "insert into feature_space (dimension, name, description, build_date, fs_type_id) "
        "values (1, 'ndvi', '', now(), (select fs_type_id from feature_space_type where type = "
        "1))");
    const int fs = static_cast<int>(db().InsertId());
    db().Execute(Sql("insert into library (study_id, feature_space_id, smoothing_filter_id, "
                     "derivative_id, sensor_id) values (%i, %i, 1, 1, 1)",
                     beta_, fs));
    LabAccount editor(scratch_, "editor");
    editor.Grant(alpha_);
    out = Cli(editor, {"feature-space", "delete", "--feature-space", "id:" + std::to_string(fs),
                       "--yes"});
    EXPECT_TRUE(test::Refused(out, 1,
                              "Feature space delete changes the study \"Beta\", of which the "
                              "account " + editor.Name() + " is not an editor"));
    EXPECT_EQ(Count("select count(*) from library"), 1);

    // The window's words for the triggers' refusal of a reader whose grants would let it
    // write (as a hand-made account's might): the schema's triggers refuse it all the same.
    LabAccount reader(scratch_, "editor");
    db().Execute("update lab_account set role = 'reader' where account = '" + reader.Name() + "'");
    ProcessingSession session(reader.Connect(), nullptr);
    SpeciesRename names;
    names.common = "x";
    try {
        RenameSpecies(session.Db(), alpha_, "grass", names);
        ADD_FAILURE() << "the reader renamed a species";
    } catch (const AccessDenied& denied) {
        EXPECT_TRUE(denied.Reader());
        EXPECT_EQ(ServerRefusalText(denied, RuleOfMenu(kCmdSpeciesNames), session),
                  "Species rename needs the editor role; the account " + reader.Name() +
                      " has the reader role.");
    }
}

// The window disables what the account may not run, saying why, and shows who is logged in.
TEST_F(Rights, TheWindowDisablesWhatTheRoleMayNotRun) {
    LabAccount reader(scratch_, "reader"), editor(scratch_, "editor");
    editor.Grant(beta_);
    test::TempDir dir_r, dir_e;
    WorkbenchDocument as_reader(reader.WriteConfig(dir_r.Path()));
    MainForm form(as_reader);
    form.InitialUpdate();
    EXPECT_EQ(form.AccountText(), reader.Name() + " (reader)");
    EXPECT_EQ(form.CommandDisabledReason(kCmdImportSpectra),
              "Import needs the editor role; the account " + reader.Name() + " has the reader role.");
    EXPECT_EQ(form.CommandDisabledReason(kCmdImportSensor),
              "Sensor import needs the admin role; the account " + reader.Name() +
                  " has the reader role.");
    EXPECT_TRUE(form.CommandEnabled(kCmdStudyReport));
    EXPECT_EQ(StudyBrowser(as_reader, form).ChangeRefusal(),
              "Spectra disable needs the editor role; the account " + reader.Name() +
                  " has the reader role.");

    WorkbenchDocument as_editor(editor.WriteConfig(dir_e.Path()));
    MainForm editors(as_editor);
    editors.InitialUpdate();
    ASSERT_TRUE(editors.MakeStudyCurrent(alpha_));
    EXPECT_TRUE(Contains(editors.CommandDisabledReason(kCmdSpeciesNames),
                         "Species rename changes the study \"Alpha\", of which the account " +
                             editor.Name() + " is not an editor"));
    EXPECT_TRUE(editors.CommandEnabled(kCmdCreateStudy));
    editors.SelectSmoothing(static_cast<int>(SmoothingType::kMovingWindow));
    EXPECT_FALSE(editors.SmoothingEditEnabled());  // the window's size is stored with the study
    ASSERT_TRUE(editors.MakeStudyCurrent(beta_));
    EXPECT_TRUE(editors.CommandEnabled(kCmdSpeciesNames));
    EXPECT_TRUE(editors.SmoothingEditEnabled());
}

// Choosing a smoothing, a derivative or a stage mode the study has no row for would make one;
// an account that may not change the study gets the new row's values in memory instead.
TEST_F(Rights, AccountsThatMayNotChangeAStudyChooseItsSettingsWithoutWriting) {
    LabAccount reader(scratch_, "reader"), other_editor(scratch_, "editor"),
        editor(scratch_, "editor");
    other_editor.Grant(beta_);
    editor.Grant(alpha_);
    const std::string rows = Sql(
        "select (select count(*) from smoothing_filter where study_id = %i) + (select count(*) "
        "from derivative where study_id = %i) + (select count(*) from stage_option where "
        "study_id = %i)",
        alpha_, alpha_, alpha_);
    const int before = Count(rows);
    for (const LabAccount* who : {&reader, &other_editor}) {
        ProcessingSession session(who->Connect(), nullptr);
        session.SetStudy(alpha_);
        EXPECT_FALSE(session.MayChangeStudy());
        session.SetSmoothingType(static_cast<int>(SmoothingType::kMovingWindow));
        session.SetDerivativeOrder(2);
        session.SetStageMode(Stage::kSpliced, 1);
        EXPECT_EQ(session.SmoothingFilterId(), 0) << who->Name();
        EXPECT_EQ(session.Settings().smoothing.size, 31);
        EXPECT_EQ(session.Settings().smoothing.polynomial_order, 4);
        EXPECT_EQ(session.DerivativeOrder(), 2);
        EXPECT_EQ(session.DerivativeId(), 0);
        EXPECT_EQ(Count(rows), before) << who->Name();
    }
    // The study's own editor stores them as before.
    ProcessingSession session(editor.Connect(), nullptr);
    session.SetStudy(alpha_);
    session.SetSmoothingType(static_cast<int>(SmoothingType::kMovingWindow));
    EXPECT_NE(session.SmoothingFilterId(), 0);
    EXPECT_EQ(Count(rows), before + 1);
}

TEST_F(Rights, HistoryNamesWhoMadeAndLastChangedEachRecord) {
    LabAccount editor(scratch_, "editor");
    editor.Grant(alpha_);
    ASSERT_EQ(Cli(editor, {"species", "rename", "grass", "--latin", "Poa", "--study", "Alpha"}).rc,
              0);
    const std::string owner = scratch_.Params().user;
    const std::vector<RecordHistory> history = StudyHistory(db(), alpha_);
    ASSERT_EQ(history.size(), 4u);  // the study and its three species
    EXPECT_EQ(history[0].kind, "study");
    EXPECT_EQ(history[0].created_by, owner);
    EXPECT_GT(history[0].created_at, 0);
    EXPECT_EQ(history[1].name, "grass");
    EXPECT_EQ(history[1].created_by, owner);
    EXPECT_EQ(history[1].changed_by, editor.Name());
    EXPECT_EQ(history[1].version, 2);
    EXPECT_GE(history[1].changed_at, history[1].created_at);

    const test::CliOutcome out = Cli(editor, {"study", "history", "--study", "Alpha"});
    ASSERT_EQ(out.rc, 0) << out.err;
    EXPECT_EQ(out.out.substr(0, out.out.find('\n')), "History of the study \"Alpha\"");
    bool found = false;
    for (size_t at = 0; at < out.out.size();) {
        const size_t end = out.out.find('\n', at);
        const std::string line = out.out.substr(at, end - at);
        if (line.rfind("species", 0) == 0 && Contains(line, "grass")) {
            found = true;
            EXPECT_TRUE(Contains(line, editor.Name()) && Contains(line, " UTC") &&
                        line.back() == '2')
                << line;
        }
        at = end + 1;
    }
    EXPECT_TRUE(found) << out.out;
    // The study report shows the same table.
    const test::CliOutcome report = Cli(editor, {"study", "report", "--study", "Alpha"});
    EXPECT_TRUE(Contains(report.out, "\n\nHistory:\nrecord ")) << report.out;
    EXPECT_TRUE(Contains(report.out, editor.Name())) << report.out;
}

// Two editors change one record; the second, whose copy is older, stores nothing, is told who
// changed it and when, and sees the newer values.
class TwoEditors : public Rights {
  protected:
    void SetUp() override {
        Rights::SetUp();
        a_.Grant(alpha_);
        b_.Grant(alpha_);
    }
    LabAccount a_{scratch_, "editor"};
    LabAccount b_{scratch_, "editor"};
};

TEST_F(TwoEditors, OfAFeatureSpace) {
    ProcessingSession owner(scratch_.Connect(), nullptr);
    SilentFrontend quiet;
    ImportSensor(owner, quiet, test::TestData("sensors/landsat8_oli.txt"), 0);
    FeatureSpaceDefinition def;
    def.type = 1;
    def.name = "ndvi";
    def.ranges = {FeatureSpace::BandRange{}};
    def.ranges[0].wavelength1 = 660;
    def.ranges[0].wavelength2 = 860;
    const int fs = SaveFeatureSpace(owner, def).id;
    int sensor = 0;
    db().QueryInt("select sensor_id from sensor", sensor);

    auto open = [&](const LabAccount& who) {
        auto session = std::make_unique<ProcessingSession>(who.Connect(), nullptr);
        session->SetStudy(alpha_);
        session->SetSensor(sensor);
        session->SetFeatureSpaceType(1);
        session->SetFeatureSpace(fs);
        return session;
    };
    std::unique_ptr<ProcessingSession> sa = open(a_), sb = open(b_);
    FeatureSpaceActions edit_a(*sa), edit_b(*sb);
    edit_a.Show(FeatureSpaceActions::kEdit);
    edit_b.Show(FeatureSpaceActions::kEdit);
    edit_b.SetName("ndvi red edge");
    edit_b.Ok();
    edit_a.SetDescription("A's words");
    const std::string said = test::RefusalMessage([&] { edit_a.Ok(); });
    EXPECT_TRUE(Contains(said, "The feature space \"ndvi red edge\" changed since it was read: " +
                                   b_.Name() + " changed it at "))
        << said;
    EXPECT_EQ(edit_a.Name(), "ndvi red edge");  // the dialog shows the newer values
    EXPECT_EQ(Text(Sql("select name from feature_space where feature_space_id = %i", fs)),
              "ndvi red edge");
    // Made again on the newer values, A's change is stored.
    edit_a.SetDescription("A's words");
    EXPECT_EQ(edit_a.Ok(), fs);
    EXPECT_EQ(Text(Sql("select concat(name, '|', description, '|', row_version, '|', changed_by) "
                       "from feature_space where feature_space_id = %i",
                       fs)),
              "ndvi red edge|A's words|3|" + a_.Name());
}

TEST_F(TwoEditors, OfSpeciesNames) {
    std::unique_ptr<Database> da = a_.Connect(), dbb = b_.Connect();
    int read = 0;
    for (const SpeciesNames& s : ListSpeciesNames(*da, alpha_))
        if (s.folder == "grass") read = s.row_version;
    SpeciesRename by_b;
    by_b.common = "Meadow grass";
    RenameSpecies(*dbb, alpha_, "grass", by_b);
    SpeciesRename by_a;
    by_a.common = "Lawn";
    by_a.read_version = read;
    EXPECT_TRUE(test::Refuses([&] { RenameSpecies(*da, alpha_, "grass", by_a); },
                              "The species \"grass\" changed since it was read: " + b_.Name() +
                                  " changed it at "));
    EXPECT_EQ(Text("select common_name from species where folder_name = 'grass'"),
              "Meadow grass");
}

TEST_F(TwoEditors, OfAbundances) {
    db().Execute(Sql("update species set endmember = 'Y' where study_id = %i and folder_name <> "
                     "'mix'",
                     alpha_));
    int mix = 0, grass = 0, soil = 0;
    db().QueryInt("select species_id from species where folder_name = 'mix'", mix);
    db().QueryInt("select species_id from species where folder_name = 'grass'", grass);
    db().QueryInt("select species_id from species where folder_name = 'soil'", soil);
    test::InsertMixtureRow(db(), mix, grass, 0.7);
    test::InsertMixtureRow(db(), mix, soil, 0.3);

    ProcessingSession sa(a_.Connect(), nullptr);
    sa.SetStudy(alpha_);
    AbundanceSettings dialog(sa);
    dialog.Show();
    ASSERT_TRUE(dialog.SelectClass(0));  // mix, the one mixture species
    dialog.SelectEndmember(0);           // grass
    dialog.SetAbundanceText("0.6");
    dialog.Save(0);

    std::unique_ptr<Database> dbb = b_.Connect();
    SetMixtureAbundance(*dbb, alpha_, "mix", "grass", "0.65");
    EXPECT_TRUE(test::Refuses([&] { dialog.Ok(0); },
                              "The mixture \"mix\" changed since it was read: " + b_.Name() +
                                  " changed it at "));
    EXPECT_EQ(Text(Sql("select abundance from mixture where species_id = %i and endmember_id = "
                       "%i",
                       mix, grass)),
              "0.65");
    dialog.SelectEndmember(0);
    EXPECT_EQ(dialog.AbundanceText(), "0.65");  // the newer value is shown
    EXPECT_FALSE(dialog.Changed());
    // Made on the newer values, A's changes are stored, one OK after another.
    dialog.SetAbundanceText("0.6");
    dialog.Ok(0);
    dialog.SelectEndmember(1);  // soil
    dialog.SetAbundanceText("0.4");
    dialog.Ok(1);
    EXPECT_EQ(Text(Sql("select group_concat(abundance order by endmember_id) from mixture where "
                       "species_id = %i",
                       mix)),
              grass < soil ? "0.6,0.4" : "0.4,0.6");
}

// Every command of the command line is judged by a declared rule.
TEST(CommandRules, CoverEveryCommand) {
    for (const std::string& name : CliCommandNames())
        EXPECT_NE(RuleOfCommand(name), nullptr) << name;
}

}  // namespace
}  // namespace orvane
