// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include "base/config_file.h"
#include "base/number_text.h"
#include "base/orvane_error.h"
#include "base/regular_file.h"
#include "base/shown_text.h"
#include "base/text_file.h"
#include "forms/workspace.h"
#include "support/refusal.h"
#include "support/scratch_database.h"

namespace orvane {
namespace {

using test::Contains;

TEST(ParseInt, TakesTheWholeTextInRangeOrRefusesItNamingTheOption) {
    EXPECT_EQ(ParseInt(" -7 ", -10, 10, "--n"), -7);
    const struct {
        const char* text;
        int low, high;
    } cases[] = {
        {"4294967306", 0, 10000}, {"2147483648", -5, 2147483647},  // wrapped into range
        {"12abc", 0, 100}, {"", 0, 100}, {"1e3", 0, 10000}, {"101", 0, 100}};
    for (const auto& c : cases) {
        const auto parse = [&] { ParseInt(c.text, c.low, c.high, "--n"); };
        EXPECT_TRUE(test::Refuses(parse, "--n must be a whole number from")) << c.text;
        EXPECT_TRUE(test::Refuses(parse, std::string("\"") + c.text + "\""));
    }
    EXPECT_THROW(ParseReal("nan", 0, 1, "x"), OrvaneError);
    EXPECT_THROW(ParseReal("inf", 0, 1e300, "x"), OrvaneError);
    EXPECT_DOUBLE_EQ(ParseReal(" 4e-7", 0, 1, "x"), 4e-7);
    const NumberPair pair = ParseIntRange("1350 - 1450", 0, 100000, "range");
    EXPECT_EQ(std::make_pair(pair.first, pair.second), std::make_pair(1350, 1450));
    EXPECT_THROW(ParseIntRange("99999999999-5", 0, 100000, "range"), OrvaneError);
}

// One rule for every printed name: controls and bytes that are not UTF-8 escaped, UTF-8 and
// backslashes as they are; a whole entry keeps its own line ends and tabs.
TEST(UserInput, ControlCharactersAreShownEscaped) {
    const struct {
        std::string text;
        std::string name;   // EscapeControls
        std::string entry;  // EscapeEntryControls
    } cases[] = {
        {"a\tb\nc\rd\x01" "e\\f", "a\\tb\\nc\\rd\\x01e\\f", "a\tb\nc\\rd\\x01e\\f"},
        {"red\x1b[31m\x7f", "red\\x1b[31m\\x7f", "red\\x1b[31m\\x7f"},
        {"bad\xff\x9b" "2J\xc3", "bad\\xff\\x9b2J\\xc3", "bad\\xff\\x9b2J\\xc3"},
        {"csi\xc2\x9b" "2J", "csi\\u009B2J", "csi\\u009B2J"},
        {"Kauri \xc2\xa0\xc3\xa9", "Kauri \xc2\xa0\xc3\xa9", "Kauri \xc2\xa0\xc3\xa9"},
        {std::string("nul\0end", 7), "nul\\x00end", "nul\\x00end"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EscapeControls(c.text), c.name) << c.name;
        EXPECT_EQ(EscapeEntryControls(c.text), c.entry) << c.name;
    }
}

class Configuration : public ::testing::Test {
  protected:
    std::unique_ptr<ConfigFile> Open(const std::string& text) {
        const std::string path = dir_.File("spectra_config.txt");
        std::ofstream(path) << text;
        auto config = std::make_unique<ConfigFile>(path);
        config->Open();
        return config;
    }
    test::TempDir dir_;
};

TEST_F(Configuration, NumbersAndFlagsAreReadWholeAndNamedWhenWrong) {
    const struct {
        const char* line;
        const char* key;
    } refused[] = {
        {"port 70000", "\"port\""},           {"port 3306x", "\"port\""},
        {"ssl_verify maybe", "\"ssl_verify\""}, {"filter_b 14OO", "\"filter_b\""},
        {"filter_br 1 -2147483648", "\"filter_br\""},  // overflowed std::abs
        {"filter_br 1800", "\"filter_br\""},    {"filter_b -5", "\"filter_b\""}};
    for (const auto& c : refused) {
        std::unique_ptr<ConfigFile> config = Open(std::string("server h\n") + c.line + "\n");
        EXPECT_TRUE(test::Refuses(
            [&] {
                config->Connection();
                config->DefaultFilter();
            },
            c.key))
            << c.line;
    }
}

TEST_F(Configuration, TlsSettingsCommentsAndTheDefaultPort) {
    std::unique_ptr<ConfigFile> config = Open(
        "server db.lab.example\nuser u\nssl_ca /etc/lab/ca.pem\nssl_cert /home/u/c.pem\n"
        "ssl_key /home/u/k.pem\nssl_verify true  # check the host\nfilter_b 1400 # water\n"
        "filter_br 1800-1950\nfilter_br 2400 2499\n");
    const ConnectionParams p = config->Connection();
    EXPECT_EQ(std::tie(p.port, p.ssl_ca, p.ssl_cert, p.ssl_key, p.ssl_verify),
              std::make_tuple(3306u, "/etc/lab/ca.pem", "/home/u/c.pem", "/home/u/k.pem",
                              std::optional<bool>(true)));
    const std::vector<ConfigFile::FilterEntry> filter = config->DefaultFilter();
    ASSERT_EQ(filter.size(), 3u);
    EXPECT_TRUE(filter[0].single && filter[0].lower == 1400);
    EXPECT_TRUE(!filter[1].single && filter[1].lower == 1800 && filter[1].upper == 1950);
    EXPECT_TRUE(!filter[2].single && filter[2].lower == 2400 && filter[2].upper == 2499);
    EXPECT_EQ(Open("port 3307 # private\n")->Connection().port, 3307u);
    // Left out and given false differ: only an explicit false gives up the host name check.
    EXPECT_EQ(Open("ssl_ca /ca.pem\n")->Connection().ssl_verify, std::nullopt);
    EXPECT_EQ(Open("ssl_verify no\n")->Connection().ssl_verify, std::optional<bool>(false));
}

// The file holds the password: one others may read is used, with a warning naming the fix.
TEST_F(Configuration, AFileOthersMayReadIsUsedWithAWarningNamingTheFix) {
    using std::filesystem::perms;
    const struct {
        perms mode;
        bool warned;
    } cases[] = {{perms::owner_read | perms::owner_write, false},
                 {perms::owner_read, false},
                 {perms::owner_read | perms::owner_write | perms::group_read, true},
                 {perms::owner_read | perms::others_read, true},
                 {perms::owner_all | perms::group_all | perms::others_all, true}};
    const std::string path = dir_.File("spectra_config.txt");
    for (const auto& c : cases) {
        std::ofstream(path) << "server h\npassword secret\n";
        std::filesystem::permissions(path, c.mode);
        ConfigFile config(path);
        config.Open();
        EXPECT_EQ(config.Connection().host, "h");
        std::string said;
        for (const std::string& w : config.Warnings()) said += w;
        EXPECT_EQ(said.find("chmod 600 " + path) != std::string::npos, c.warned)
            << static_cast<int>(c.mode) << ": " << said;
    }
    // A path the shell would split is quoted in the suggested command.
    const std::string odd = dir_.File("my lab's config.txt");
    std::ofstream(odd) << "server h\n";
    std::filesystem::permissions(odd, perms::owner_read | perms::group_read);
    ConfigFile config(odd);
    config.Open();
    ASSERT_EQ(config.Warnings().size(), 1u);
    EXPECT_NE(config.Warnings()[0].find("chmod 600 '" + dir_.Path() + "/my lab'\\''s config.txt'"),
              std::string::npos)
        << config.Warnings()[0];
}

// The command line prints the configuration's warnings even when the server then cannot be
// reached, so the workspace must hand them over before it connects; a missing file is named.
TEST(WorkspaceStartup, ConfigurationWarningsComeOutBeforeAFailedConnection) {
    test::TempDir dir;
    const std::string path = dir.File("spectra_config.txt");
    std::ofstream(path) << "server 127.0.0.1\nport 1\nuser nobody\npassword x\ndatabase none\n"
                        << "output_dir " << dir.Path() << "/output\n";
    std::filesystem::permissions(path, std::filesystem::perms::others_read,
                                 std::filesystem::perm_options::add);
    std::vector<std::string> seen;
    EXPECT_THROW(Workspace(path, [&seen](const std::string& w) { seen.push_back(w); }),
                 ConnectError);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(Contains(seen[0], "chmod 600 " + path)) << seen[0];
    // A missing configuration is named.
    EXPECT_THROW(Workspace(dir.File("absent.txt")), FileNotFoundError);
    EXPECT_TRUE(test::Refuses([&] { Workspace absent(dir.File("absent.txt")); }, "absent.txt"));
}

// The earlier file stays byte for byte until the new one is complete.
TEST(TextFileVersions, AnAbandonedOrFailedWriteKeepsTheEarlierFile) {
    test::TempDir dir;
    const std::string path = dir.File("result.csv");
    std::ofstream(path) << "earlier,good\n";
    {
        TextFile file(path, '#');
        ASSERT_TRUE(file.OpenForWriting());
        file.WriteStringLn("half");
        EXPECT_EQ(test::FileText(path), "earlier,good\n");
    }  // destroyed without Close, as when an export stops half way
    EXPECT_EQ(test::FileText(path), "earlier,good\n");
    const auto entries = std::distance(std::filesystem::directory_iterator(dir.Path()),
                                       std::filesystem::directory_iterator());
    EXPECT_EQ(entries, 1) << "no temporary file is left behind";

    TextFile file(path, '#');
    ASSERT_TRUE(file.OpenForWriting());
    file.WriteStringLn("new");
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(test::FileText(path), "new\n");

    TextFile nowhere(dir.File("absent/folder/x.csv"), '#');
    EXPECT_FALSE(nowhere.OpenForWriting());
    EXPECT_EQ(nowhere.FailureReason(), "No such file or directory");
    EXPECT_TRUE(Contains(CannotWriteMessage("x.csv", nowhere.FailureReason()),
                         "before exporting data.\nNo such file or directory"));
}

TEST(FitFileName, LongNamesAreCutAtACharacterBoundary) {
    test::TempDir dir;
    std::string emoji;
    for (int i = 0; i < 70; ++i) emoji += "\xF0\x9F\x8C\xBF";  // 280 bytes, 70 characters
    const std::string name = FitFileName(dir.Path(), emoji + "_smoothed_all_species", "csv");
    EXPECT_LE(name.size(), 255u);
    EXPECT_EQ(name.substr(name.size() - 4), ".csv");
    EXPECT_EQ((name.size() - 4) % 4, 0u) << "a character was cut in two";
    std::ofstream(dir.File(name)) << "x";
    EXPECT_TRUE(std::filesystem::exists(dir.File(name)));
    EXPECT_EQ(FitFileName(dir.Path(), "short", "csv"), "short.csv");
}

}  // namespace
}  // namespace orvane
