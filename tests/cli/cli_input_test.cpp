// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "cli/cli_context.h"
#include "spectra/spectrum_file.h"
#include "chain/chain_stage.h"
#include "chain/classifiers.h"
#include "chain/derivative_settings.h"
#include "chain/smoothing_type.h"
#include "export/export_formats.h"
#include "export/export_spectra.h"
#include "spectra/species_names.h"
#include "spectra/spectrum.h"
#include "stats/separability.h"
#include "study/sensor_import.h"
#include "support/cli_fixture.h"
#include "support/instrument_file.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

using test::Contains;

class CliInput : public test::CliFixture {
  protected:
    CliInput() : CliFixture("cli_input") {
        study_ = test::InsertStudy(scratch_.Admin(), "Tab\there\nand there", dir_.Path());
    }
    int study_ = 0;
};

// Every typed number is read whole and checked; a refusal names the option and stores nothing.
TEST_F(CliInput, NumbersThatDoNotFitAreRefusedByName) {
    const struct {
        std::vector<std::string> args;
        const char* in_error;
    } cases[] = {
        {{"study", "create", "--name", "n", "--path", "/tmp", "--min-samples", "4294967306"},
         "--min-samples must be a whole number from 0 to 10000"},
        {{"filter", "set", "99999999999-5"}, "\"99999999999\" is out of range"},
        {{"filter", "set", "1350-14x0"}, "is not one"},
        {{"--smoothing", "sg-mw", "smoothing", "set", "--order", "2147483647"}, "--order"},
        {{"--derivative", "99999999999", "filter", "show"}, "--derivative"},
        {{"export", "--format", "arff", "--transpose"}, "cannot be transposed"},
    };
    for (const auto& c : cases) {
        const test::CliOutcome r = Cli(c.args);
        EXPECT_NE(r.rc, 0) << c.args[0];
        EXPECT_TRUE(Contains(r.err, c.in_error)) << c.args[0] << ": " << r.err;
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
    r = Cli({"--study", "Hostile", "import"});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "Processing " + shown + "\n")) << r.out;
    outcomes.push_back(r);

    // One line per file, the comment's line end and sequences escaped.
    r = Cli({"open", path});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
    EXPECT_TRUE(Contains(r.out, "\tfirst\\nsecond\\x1b]0;title\\x07\n")) << r.out;
    outcomes.push_back(r);

    const std::string sensor = dir_.File("sensor.txt");
    std::ofstream(sensor) << "Sensor\x1b[2J\x7f\nbands\nband,avg_wavelength,fwhm,calibrated\n"
                          << "1,442.98,15.96,C\n2,482.59,60.07,C\n3,561.33,57.33,C\n";
    r = Cli({"sensor", "import", sensor});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, "Sensor\\x1b[2J\\x7f sensor added to database\n");
    outcomes.push_back(r);

    r = Cli({"feature-space", "new", "--fs-type", "DI", "--name", hostile, "--range", "450-500"});
    EXPECT_EQ(r.rc, 0) << r.err;
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
// The command line's help and the window's file dialogs name every reader of the list, each
// where its files are loaded, in the words they have always used.
TEST(SpectrumReaders, HelpTextsAndFileDialogsNameEveryReader) {
    std::map<std::string, std::string> help;
    for (const auto& commands : {SpectraCommands(), LibraryCommands(), StudyCommands()})
        for (const Command& command : commands) help[command.name] = command.summary;
    const std::string field_filter = ReaderFileFilter(ReaderBands::kFieldGrid);
    const std::string sensor_filter = ReaderFileFilter(ReaderBands::kSensorBands);
    const std::string listed = ReaderExtensions(ReaderBands::kFieldGrid, "or");
    EXPECT_NE(help["import"].find("the extension " + listed + " in any case"), std::string::npos);
    for (const SpectrumReader& reader : SpectrumReaders()) {
        SCOPED_TRACE(std::string(reader.name));
        const bool field = reader.Bands() == ReaderBands::kFieldGrid;
        for (const char* command : {"open", "classify"}) {
            EXPECT_NE(help[command].find(reader.name), std::string::npos) << command;
            EXPECT_NE(help[command].find(reader.files), std::string::npos) << command;
        }
        EXPECT_EQ(help["import"].find(reader.name) != std::string::npos, field);
        for (std::string_view extension : reader.extensions) {
            const std::string pattern = "*." + std::string(extension);
            EXPECT_EQ(field_filter.find(pattern) != std::string::npos, field) << pattern;
            EXPECT_EQ(sensor_filter.find(pattern) != std::string::npos, !field) << pattern;
            EXPECT_EQ(listed.find("." + std::string(extension)) != std::string::npos, field);
        }
    }
    EXPECT_EQ(field_filter, "Field spectra (*.asd *.sig *.sed *.[0-9]*);;All files (*)");
    EXPECT_EQ(sensor_filter, "ENVI Z profiles (*.txt);;All files (*)");
    EXPECT_NE(help["open"].find("Read field spectra (binary instrument files, SIG and SED text "
                                "files) and ENVI Z profiles (on the current sensor), as"),
              std::string::npos);
    EXPECT_NE(help["import"].find("instrument files (binary, SIG or SED, told apart by their "
                                  "content)"),
              std::string::npos);
    EXPECT_EQ(listed, ".asd, .sig or .sed");
}

}  // namespace orvane
