// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "support/cli_fixture.h"
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

// One line per row in the order of the ids, whatever a name holds.
TEST_F(CliInput, ListingsEscapeControlCharacters) {
    test::InsertStudy(scratch_.Admin(), "O'Brien's bush");
    const test::CliOutcome r = Cli({"studies"});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, std::to_string(study_) + "\tTab\\there\\nand there\n" +
                         std::to_string(study_ + 1) + "\tO'Brien's bush\n");
}

// The private server's configuration holds a password: its owner alone may read it.
TEST(PrivateServerConfig, IsReadableByItsOwnerOnly) {
    const std::string home = test::FileText(ORVANE_TEST_POINTER);
    struct stat st {};
    ASSERT_EQ(::stat((home.substr(0, home.find_last_not_of("\n") + 1) + "/spectra_config.txt").c_str(),
                     &st),
              0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

}  // namespace
}  // namespace orvane
