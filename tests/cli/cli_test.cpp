// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "chain/chain_stage.h"
#include "chain/classifiers.h"
#include "chain/derivative_settings.h"
#include "chain/smoothing_type.h"
#include "cli/cli_context.h"
#include "export/export_formats.h"
#include "export/export_spectra.h"
#include "spectra/species_names.h"
#include "spectra/spectrum.h"
#include "spectra/spectrum_file.h"
#include "stats/separability.h"
#include "study/sensor_import.h"
#include "support/cli_fixture.h"
#include "support/instrument_file.h"
#include "support/mixing_study.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

using Outcome = test::CliOutcome;
using test::Contains;


class CliOnDatabase : public test::CliFixture {
  protected:
    CliOnDatabase() : CliFixture("cli") {}
};

TEST_F(CliOnDatabase, SensorImportListAndDelete) {
    EXPECT_EQ(Cli({"sensors"}).out, "");
    Outcome r =
        Cli({"sensor", "import", test::TestData("sensors/landsat8_oli.txt"), "--type", "gaussian"});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, "Landsat 8 OLI sensor added to database\n");
    r = Ok({"sensor", "import", "--type=ratio", test::TestData("sensors/landsat8_oli_ratio.txt")});
    int first = 0;
    scratch_.Admin().QueryInt("select min(sensor_id) from sensor", first);
    r = Cli({"sensors"});
    EXPECT_EQ(r.out, std::to_string(first) + "\tLandsat 8 OLI\t0\t7\n" + std::to_string(first + 1) +
                         "\tLandsat 8 OLI (response table)\t1\t7\n");

    r = Cli({"sensor", "delete", "Landsat 8 OLI"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(Contains(r.err, "add --yes")) << r.err;
    r = Ok({"sensor", "delete", "Landsat 8 OLI", "--yes"});
    EXPECT_TRUE(Contains(r.out, "Sensor \"Landsat 8 OLI\" deleted with 0 spectral libraries"))
        << r.out;
    EXPECT_EQ(Count("sensor"), 1);

    ExpectRefusals({{{"sensor", "import", "x.txt", "--type", "triangle"}, 2, "--type"},
                    {{"sensor", "import"}, 2, "usage: orvane-cli sensor import"},
                    {{"sensor", "import", "x.txt", "y.txt"}, 2, "one FILE"},
                    {{"sensor", "import", "x.txt", "--type"}, 2, "needs a value"}});
    EXPECT_EQ(Count("sensor"), 1);
}

// What storing refuses and leaves is FeatureSpaceStoreTest's; here the commands are wired.
TEST_F(CliOnDatabase, FeatureSpaceNewCopyEditDelete) {
    scratch_.Admin().Execute("insert into study (name) values ('fs')");
    ASSERT_EQ(Cli({"sensor", "import", test::TestData("sensors/landsat8_oli.txt")}).rc, 0);
    auto query = [&](const std::string& sql) {
        std::string text;
        scratch_.Admin().QueryText(sql, text);
        return text;
    };
    auto id_of = [&](const std::string& name) {
        return query("select feature_space_id from feature_space where name = '" +
                     scratch_.Admin().Escape(name) + "'");
    };
    auto bands = [&](const std::string& id) {
        return query("select group_concat(band1, '-', band2 order by band_range_id) from "
                     "band_range where feature_space_id = " + id);
    };

    Outcome r = Ok({"feature-space", "new", "--fs-type", "DI", "--name", "O'Neil edge", "--range",
                    "650-700", "--range", "860-900", "--description", "two"});
    const std::string di = id_of("O'Neil edge");
    EXPECT_EQ(r.out, "Feature space " + di + " saved: O'Neil edge\n");
    EXPECT_EQ(bands(di), "650-700,860-900");
    ASSERT_EQ(Cli({"feature-space", "copy", "--feature-space", di, "--range", "500-600"}).rc, 0);
    EXPECT_EQ(bands(id_of("O'Neil edge_copy")), "500-600");
    r = Ok({"feature-space", "edit", "--feature-space", di, "--name", "edge", "--range", "700-750",
            "--range", "750-800", "--range", "800-850"});
    EXPECT_EQ(bands(di), "700-750,750-800,800-850");
    EXPECT_TRUE(Contains(Cli({"feature-space", "show", "--feature-space", di}).out,
                         "dimension\t3\ndescription\ttwo\n"));

    ExpectRefusals({{{"feature-space", "delete", "--feature-space", di}, 2, "--yes"},
                    {{"feature-space", "new", "--name", "x", "--range", "400"}, 2, "LOWER-UPPER"}});
    r = Ok({"feature-space", "delete", "--feature-space", di, "--yes"});
    EXPECT_EQ(r.out, "Feature space " + di + " deleted: edge\n");
    EXPECT_EQ(Count("feature_space"), 1);

    // A feature space the sensor cannot serve (stored before dimensions were checked) is
    // listed with --all only, and can be deleted by name.
    scratch_.Admin().Execute(
        "insert into feature_space (name, dimension, fs_type_id) values ('big', 9999, (select "
        "fs_type_id from feature_space_type where type = 2))");
    EXPECT_FALSE(Contains(Cli({"feature-space", "list", "--fs-type", "PCT"}).out, "big"));
    r = Cli({"feature-space", "list", "--all"});
    EXPECT_TRUE(Contains(r.out, "\tPCT\t9999\tbig\n")) << r.out;
    EXPECT_EQ(Cli({"feature-space", "delete", "--feature-space", "big", "--yes"}).rc, 0);
    EXPECT_EQ(Count("feature_space"), 1);
}

// Two endmember candidates and a mixture of them (0.7 grass, 0.3 soil) on the six-band sensor.
class CliMixing : public test::CliFixture {
  protected:
    CliMixing() : CliFixture("climixing", {"--study", "field"}) {}

    void SetUp() override {
        test::InsertGrassSoilMixStudy(scratch_.Admin(), "field");
        test::WriteMixingSensor(dir_.File("six.txt"));
        ASSERT_EQ(Cli({"sensor", "import", dir_.File("six.txt")}).rc, 0);
    }
};

TEST_F(CliMixing, MarkRecordUnmixAndRefuse) {
    test::CliOutcome r = Ok({"endmember", "add", "grass", "soil"});
    EXPECT_EQ(r.out, "Endmember: grass\nEndmember: soil\n");

    r = Ok({"mixture", "set", "mix", "--endmember", "grass", "--abundance", "0.7"});
    EXPECT_EQ(r.out, "grass\t0.7\ntotal\t0.7\n");
    ASSERT_EQ(Cli({"mixture", "set", "mix", "--endmember", "soil", "--abundance", "0.25"}).rc, 0);
    r = Cli({"mixture", "set", "mix", "--endmember", "soil", "--abundance", "0.3"});
    EXPECT_EQ(r.out, "grass\t0.7\nsoil\t0.3\ntotal\t1\n");
    EXPECT_EQ(Count("mixture"), 2);

    r = Ok({"unmix"});
    EXPECT_EQ(r.out,
              "Spectral Unmixing\nChain: study \"field\"; sensor Mixing 6 bands; splice correction off (splice joins: 1000-1001 1800-1801); waveband filter none; smoothing none; continuum removal off (continuum ranges: the whole valid range)\n"
              "mix\n0.70  grass\n0.30  soil\n"
              "residual RMSE over sensor elements 1, 2, 3, 6: 0.000000\n\nsimulated mixture "
              "abundances from database:\n0.70 grass\n0.30 soil\n\nabsolute errors:\n"
              "0.00  grass\n0.00  soil\n");

    // Other elements, as the window's choice: the residual line names them.
    r = Ok({"unmix", "--elements", "6, 1,2"});
    EXPECT_TRUE(Contains(r.out,
                         "0.70  grass\n0.30  soil\nresidual RMSE over sensor elements "
                         "1, 2, 6: 0.000000\n"))
        << r.out;
    // What the elements must be to unmix is UnmixTest's; here what the command line reads.
    ExpectRefusals({{{"unmix", "--elements", "0"}, 1, "\"0\" is no choice of sensor elements"},
                    {{"unmix", "--elements", "1,1"}, 1, "names sensor element 1 twice"}});
    EXPECT_TRUE(Contains(Cli({"unmix", "--help"}).out, "--elements N,N,...")) << r.out;

    r = Cli({"mixture", "remove", "mix", "--endmember", "soil"});
    EXPECT_EQ(r.out, "grass\t0.7\ntotal\t0.7\n");
    r = Cli({"endmember", "remove", "soil"});
    EXPECT_EQ(r.out, "Mixture species: soil\n");

    // What the core refuses is MixtureEditTest's; here the exit codes and the usage errors,
    // and that nothing changes.
    test::InsertStudyWithChainRows(scratch_.Admin(), "empty");
    ExpectRefusals({
        {{"endmember", "add"}, 2, "endmember add needs at least one FOLDER"},
        {{"mixture", "set", "mix", "--endmember", "grass", "--abundance", "lots"}, 1, "lots"},
        {{"mixture", "set", "mix", "--endmember", "grass", "--abundance", "-5"}, 1, "0 to 1"},
        {{"mixture", "set", "mix", "--abundance", "0.3"}, 2, "needs --endmember FOLDER"},
        {{"mixture", "show"}, 2, "needs one mixture FOLDER"},
        // The core names no command; the CLI adds its own.
        {{"unmix", "--study", "empty"},
         1,
         "mark species of the study as endmembers first (orvane-cli endmember add FOLDER...)."},
    });
    EXPECT_EQ(Cli({"endmember", "list"}).out, "grass\n");
    EXPECT_EQ(Count("mixture"), 1);
}

// The study commands and the import, run in-process on the demo study.
class CliStudy : public test::CliFixture {
  protected:
    CliStudy() : CliFixture("clistudy") {}
};

TEST_F(CliStudy, CreateImportReportDeleteAndSkip) {
    ExpectRefusals({{{"study", "create", "--path", "/d"}, 2, "--name"},
                    {{"study", "create", "--name", "A"}, 2, "--path"},
                    {{"study", "report"}, 1, "no study"}});
    const std::string demo = test::SourcePath("examples/demo-study");
    Outcome r = Ok({"study", "create", "--name", "Demo", "--path", demo, "--description",
                    "four classes", "--min-samples", "8"});
    int id = 0;
    scratch_.Admin().QueryInt("select study_id from study", id);
    EXPECT_EQ(r.out, std::to_string(id) + "\tDemo\n");

    r = Ok({"--study", "Demo", "import"});
    EXPECT_EQ(r.out,
              "Processing AT\nProcessing GS\nProcessing OPS\nProcessing PH\n"
              "Added 4 species, 17 sites and 149 spectra; 0 skipped\n");
    EXPECT_EQ(Count("spectrum"), 149);

    r = Ok({"study", "report"});
    // The history that ends the report is the test of its own file (forms/rights_test).
    r.out = r.out.substr(0, r.out.find("\n\nHistory:\n")) + "\n";
    EXPECT_EQ(r.out, "Report about study 'Demo':\n\nDescription:\nfour classes\n\nDatapath:\n" +
                         demo +
                         "\n\nNumber of minimum spectra per endmember:\n8\n\nNumber of species:\n4"
                         "\n\nNumber of spectra:\n149\n\nSpectra capturing timeframe:\n"
                         "2019-03-05 09:00:00 - 2019-03-11 09:00:00\n");

    // Without --yes nothing goes, and the user is told how to confirm.
    r = Cli({"study", "delete", "--study", "Demo"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(Contains(r.err, "The study 'Demo' including all spectral data will be deleted"))
        << r.err;
    EXPECT_TRUE(Contains(r.err, "add --yes")) << r.err;
    EXPECT_EQ(Count("spectrum"), 149);

    r = Ok({"study", "delete", "--yes"});
    // The window's "Click OK" has no place where a flag answers.
    EXPECT_FALSE(Contains(r.out + r.err, "Click OK")) << r.err;
    EXPECT_TRUE(Contains(r.out, "Study 'Demo' has been removed from the database\n")) << r.out;
    EXPECT_EQ(Count("study"), 0);
    EXPECT_EQ(Count("spectrum"), 0);

    // An import that skipped files ends with status 3.
    test::WriteInstrumentFile(dir_.File("tree/Kauri/site1/k.001"));
    std::ofstream(dir_.File("tree/Kauri/site1/k.002"), std::ios::binary) << "short";
    ASSERT_EQ(Cli({"study", "create", "--name", "Tree", "--path", dir_.File("tree")}).rc, 0);
    r = Cli({"import"});
    EXPECT_EQ(r.rc, 3) << r.err;
    EXPECT_TRUE(Contains(r.out, "Added 1 species, 1 sites and 1 spectra; 1 skipped")) << r.out;
}

// A study named with digits once took the place of another study's id: "study delete --yes"
// deleted the study the user did not mean.
TEST_F(CliStudy, DigitNamesAreRefusedAndNeverPickAnotherStudy) {
    for (const char* name : {"Alpha", "Beta"})
        ASSERT_EQ(Cli({"study", "create", "--name", name, "--path", "/d"}).rc, 0);
    // Which names are refused is NewNames's; here that study creation checks them.
    ExpectRefusals({{{"study", "create", "--name", "2", "--path", "/d"}, 1,
                     "The study name \"2\" is made of digits only"},
                    {{"study", "create", "--name", "bad\xFF\xFE", "--path", "/d"}, 1,
                     "\"bad\\xff\\xfe\" is not valid UTF-8"}});
    EXPECT_EQ(Count("study"), 2);

    // A study that got the name "1" before such names were refused (id 3) is reached by
    // name:1, and bare "1" picks neither it nor study 1.
    scratch_.Admin().Execute("insert into study (name, datapath) values ('1', '/d')");
    Outcome r = Cli({"--study", "1", "study", "delete", "--yes"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(Contains(r.err, "\"1\" is ambiguous: it is the id of a study, and study 3 is "
                                "named \"1\"; give id:1 for the id or name:1 for the name."))
        << r.err;
    EXPECT_EQ(Count("study"), 3);
    r = Cli({"--study", "id:1", "study", "report"});
    EXPECT_TRUE(Contains(r.out, "Report about study 'Alpha'")) << r.out << r.err;
    r = Ok({"study", "delete", "--study", "name:1", "--yes"});
    EXPECT_EQ(Count("study where name = 'Alpha'"), 1);
    EXPECT_EQ(Count("study where study_id = 3"), 0);
    // With the clash gone, bare digits are the id again.
    ASSERT_EQ(Cli({"study", "delete", "--study", "2", "--yes"}).rc, 0);
    EXPECT_EQ(Count("study where name = 'Beta'"), 0);
    EXPECT_EQ(Count("study"), 1);
}

// Two runs of the real program on one study at once both end well, and each species and
// spectrum is stored once.
TEST_F(CliStudy, TwoImportsOfOneStudyAtOnceStoreEachSpectrumOnce) {
    const std::string demo = test::SourcePath("examples/demo-study");
    for (const std::string name : {"Demo1", "Demo2", "Demo3"}) {
        ASSERT_EQ(Cli({"study", "create", "--name", name, "--path", demo}).rc, 0);
        const std::string command = std::string(ORVANE_CLI_PATH) + " --config " + config_ +
                                    " --study " + name + " import >/dev/null 2>&1";
        FILE* runs[2] = {popen(command.c_str(), "r"), popen(command.c_str(), "r")};
        for (FILE* run : runs) {
            ASSERT_NE(run, nullptr);
            const int status = pclose(run);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << name;
        }
        const std::string of_study =
            " where study_id = (select study_id from study where name = '" + name + "')";
        EXPECT_EQ(Count("spectrum" + of_study), 149);
        EXPECT_EQ(Count("species" + of_study), 4);
    }
}

class CliInput : public test::CliFixture {
  protected:
    CliInput() : CliFixture("cli_input") {
        study_ = test::InsertStudy(scratch_.Admin(), "Tab\there\nand there", dir_.Path());
    }
    int study_ = 0;
};

// Every typed number is read whole and checked; a refusal names the option and stores nothing.
TEST_F(CliInput, NumbersThatDoNotFitAreRefusedByName) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"study", "create", "--name", "n", "--path", "/tmp", "--min-samples", "4294967306"},
         "--min-samples must be a whole number from 0 to 10000"},
        {{"filter", "set", "99999999999-5"}, "\"99999999999\" is out of range"},
        {{"filter", "set", "1350-14x0"}, "is not one"},
        {{"--smoothing", "sg-mw", "smoothing", "set", "--order", "2147483647"}, "--order"},
        {{"--derivative", "99999999999", "filter", "show"}, "--derivative"},
        {{"export", "--format", "arff", "--transpose"}, "cannot be transposed"},
    };
    for (const auto& [args, in_error] : cases) {
        const test::CliOutcome r = Cli(args);
        EXPECT_NE(r.rc, 0) << args[0];
        EXPECT_TRUE(Contains(r.err, in_error)) << args[0] << ": " << r.err;
    }
    EXPECT_EQ(Count("study"), 1);
    EXPECT_EQ(Count("waveband_filter_range"), 0);

    // So is every number of the configuration file, named by its key.
    const std::string good = test::FileText(config_);
    std::string portless = good;
    const size_t port = portless.find("port ");
    if (port != std::string::npos) portless.erase(port, portless.find('\n', port) + 1 - port);
    for (const char* line : {"port 3306x", "port 65536", "filter_br 1 -2147483648"}) {
        const std::string path = dir_.File("bad_config.txt");
        std::ofstream(path) << line << "\n" << (line[0] == 'p' ? portless : good);
        const test::CliOutcome r = test::RunCliWords({"--config", path, "studies"});
        EXPECT_EQ(r.rc, 1) << line;
        const std::string key = std::string(line).substr(0, std::string(line).find(' '));
        EXPECT_TRUE(Contains(r.err, "configuration key \"" + key + "\"")) << line << ": " << r.err;
    }
}

// Each option that takes a declared choice accepts every word of its table, in any case; a
// word that is no choice is a usage error naming it and every choice.
TEST_F(CliInput, ChoiceWordsAreAcceptedInAnyCase) {
    std::vector<std::string> formats, classifiers, continuum;
    for (const ExportFormatEntry& f : ExportFormatRegistry()) formats.push_back(f.word);
    for (const ClassifierEntry& c : ClassifierRegistry()) classifiers.push_back(c.word);
    for (const char* m : Declaration(Stage::kContinuumRemoved).option->modes)
        continuum.push_back(m);
    const std::string svg = dir_.File("plot.svg");
    // "W" stands for the word.
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> choices;
        std::vector<std::string> also = {};  // accepted, but not offered
    } cases[] = {
        {{"export", "--details", "W"}, kSpectraDetails.WordList()},
        {{"plot", "--stage", "raw", "--details", "W", "--output", svg}, kSpectraDetails.WordList()},
        {{"export", "--species", "W"}, kRestrictions.WordList()},
        {{"export", "--names", "W"}, kExportNameTypes.WordList(), {"maori"}},
        {{"separability", "--names", "W"}, kNameTypes.WordList(), {"maori"}},
        {{"export", "--number-format", "W"}, kNumberFormats.WordList()},
        {{"export", "--format", "W"}, formats},
        {{"--smoothing", "W", "filter", "show"}, kSmoothingTypes.WordList()},
        {{"--method", "W", "filter", "show"}, kDerivativeMethods.WordList()},
        {{"--fs-type", "W", "filter", "show"}, kFeatureTypes.WordList()},
        {{"feature-space", "delete", "--feature-space", "no-such-space", "--fs-type", "W", "--yes"},
         kFeatureTypes.WordList()},
        {{"--classifier", "W", "filter", "show"}, classifiers},
        {{"--continuum", "W", "filter", "show"}, continuum},
        {{"sensor", "import", "--type", "W", dir_.File("no-such-sensor.txt")},
         kImportResponseTypes.WordList()},
        {{"separability", "--distance", "W"}, kDistances.WordList()},
    };
    // Every other letter flipped: "sItE-MeAn", "Di".
    const auto flipped = [](std::string word) {
        for (size_t i = 0; i < word.size(); ++i) {
            const auto c = static_cast<unsigned char>(word[i]);
            word[i] = static_cast<char>(i % 2 ? std::toupper(c) : std::tolower(c));
        }
        return word;
    };
    const auto with = [](std::vector<std::string> args, const std::string& word) {
        std::replace(args.begin(), args.end(), std::string("W"), word);
        return args;
    };
    for (const auto& c : cases) {
        const std::string option =
            c.args[std::find(c.args.begin(), c.args.end(), "W") - c.args.begin() - 1];
        std::vector<std::string> accepted = c.choices;
        accepted.insert(accepted.end(), c.also.begin(), c.also.end());
        for (const std::string& word : accepted) {
            const std::string typed = flipped(word);
            const test::CliOutcome r = Cli(with(c.args, typed));
            EXPECT_FALSE(Contains(r.err, "\"" + typed + "\""))
                << option << " " << typed << ": " << r.err;
        }
        const test::CliOutcome r = Cli(with(c.args, "no-such-word"));
        EXPECT_EQ(r.rc, 2) << option << ": a usage error";
        EXPECT_TRUE(Contains(r.err, "\"no-such-word\"")) << option << ": " << r.err;
        for (const std::string& word : c.choices)
            EXPECT_TRUE(Contains(r.err, word))
                << option << " does not name " << word << ": " << r.err;
    }
}

// Names, comments and paths that come from the disk or the database are printed with their
// control characters escaped: each line of a listing stays one line, no sequence reaches the
// terminal, and the window's report gets the same text.
TEST_F(CliInput, StoredTextIsPrintedEscaped) {
    const std::string hostile = "a\nb\tc\x1b[31md\x7f";
    const std::string shown = "a\\nb\\tc\\x1b[31md\\x7f";
    auto raw_controls = [](const std::string& text) {
        for (char c : text)
            if ((static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t') || c == '\x7f')
                return true;
        return false;
    };
    std::vector<test::CliOutcome> outcomes;

    // One line per row in the order of the ids, whatever a name holds.
    test::InsertStudy(scratch_.Admin(), "O'Brien's bush");
    test::CliOutcome r = Cli({"studies"});
    EXPECT_EQ(r.out, std::to_string(study_) + "\tTab\\there\\nand there\n" +
                         std::to_string(study_ + 1) + "\tO'Brien's bush\n");
    outcomes.push_back(r);
    test::InstrumentFile file;
    file.comment = "first\nsecond\x1b]0;title\x07";
    const std::string path = dir_.File("data/" + hostile + "/site01/gs00011.asd");
    test::WriteInstrumentFile(path, file);
    ASSERT_EQ(Cli({"study", "create", "--name", "Hostile", "--path", dir_.File("data")}).rc, 0);
    r = Ok({"--study", "Hostile", "import"});
    EXPECT_TRUE(Contains(r.out, "Processing " + shown + "\n")) << r.out;
    outcomes.push_back(r);

    // One line per file, the comment's line end and sequences escaped.
    r = Ok({"open", path});
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
    EXPECT_TRUE(Contains(r.out, "\tfirst\\nsecond\\x1b]0;title\\x07\n")) << r.out;
    outcomes.push_back(r);

    const std::string sensor = dir_.File("sensor.txt");
    std::ofstream(sensor) << "Sensor\x1b[2J\x7f\nbands\nband,avg_wavelength,fwhm,calibrated\n"
                          << "1,442.98,15.96,C\n2,482.59,60.07,C\n3,561.33,57.33,C\n";
    r = Ok({"sensor", "import", sensor});
    EXPECT_EQ(r.out, "Sensor\\x1b[2J\\x7f sensor added to database\n");
    outcomes.push_back(r);

    r = Ok({"feature-space", "new", "--fs-type", "DI", "--name", hostile, "--range", "450-500"});
    EXPECT_TRUE(Contains(r.out, " saved: " + shown + "\n")) << r.out;
    outcomes.push_back(r);
    outcomes.push_back(Cli({"feature-space", "list", "--all"}));
    EXPECT_TRUE(Contains(outcomes.back().out, "\t" + shown + "\n")) << outcomes.back().out;
    outcomes.push_back(Cli({"--study", "Hostile", "spectra", "list"}));
    EXPECT_TRUE(Contains(outcomes.back().out, "\t" + shown + "\t")) << outcomes.back().out;
    outcomes.push_back(Cli({"--study", "Hostile", "endmember", "add", hostile}));
    EXPECT_EQ(outcomes.back().out, "Endmember: " + shown + "\n");
    outcomes.push_back(Cli({"--study", "Hostile", "endmember", "list"}));
    EXPECT_EQ(outcomes.back().out, shown + "\n");

    for (const test::CliOutcome& o : outcomes) {
        EXPECT_FALSE(raw_controls(o.out)) << o.out;
        EXPECT_FALSE(raw_controls(o.err)) << o.err;
    }
}

// The private server's configuration holds a password: its owner alone may read it.
TEST(PrivateServerConfig, IsReadableByItsOwnerOnly) {
    const std::string home = test::TestServerHome();
    struct stat st {};
    ASSERT_EQ(::stat((home + "/spectra_config.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

}  // namespace
}  // namespace orvane
