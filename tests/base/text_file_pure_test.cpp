// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/text_file.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <cstdio>
#include <limits>
#include <random>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "base/config_file.h"
#include "base/number_text.h"
#include "base/orvane_error.h"
#include "base/output_folder.h"
#include "base/regular_file.h"
#include "base/replaced_file.h"
#include "base/report_buffer.h"
#include "base/shown_text.h"
#include "export/transposing_text_file.h"
#include "forms/workspace.h"
#include "support/refusal.h"
#include "support/scratch_database.h"

namespace orvane {
namespace {

std::string WriteFile(const test::TempDir& dir, const std::string& name,
                      const std::string& content) {
    std::ofstream(dir.File(name), std::ios::binary) << content;
    return dir.File(name);
}

// Each lookup gives found or not, and the value when found.
TEST(TextFile, KeyLookupWalksTheFileAsSpecified) {
    struct Lookup {
        std::string key;
        bool found;
        std::string value;
    };
    const std::tuple<const char*, std::string, std::vector<Lookup>> cases[] = {
        {"repeated key walks its occurrences",
         "filter_b 1400\nserver host\nfilter_b 1900\nfilter_b 2400\n",
         {{"filter_b", true, "1400"},
          {"filter_b", true, "1900"},
          {"filter_b", true, "2400"},
          {"filter_b", false, ""},
          {"filter_b", false, ""}}},
        {"rewinds for another key",
         "server h\nuser alice\npassword pw\ndatabase d\n",
         {{"database", true, "d"},
          {"server", true, "h"},
          {"password", true, "pw"},
          {"user", true, "alice"}}},
        {"rewinds after a failed lookup",
         "server h\nuser alice\n",
         {{"user", true, "alice"},
          {"missing", false, ""},
          {"user", true, "alice"},
          {"server", true, "h"}}},
        {"key on the last line without line end",
         "server h\nuser alice in wonderland",
         {{"user", true, "alice in wonderland"}, {"server", true, "h"}}},
        {"leading blanks stripped, trailing kept",
         "user     \t alice  \n",
         {{"user", true, "alice  "}}},
        {"carriage return is part of the line end",
         "user alice\r\nserver h\r\n",
         {{"user", true, "alice"}, {"server", true, "h"}}},
        {"key must start the line and end at a blank",
         "#user commented\n user indented\nusername long\nuser\tTab\nuser real\n",
         {{"user", true, "real"}, {"user", false, ""}}},
        {"prefix of another key does not match it",
         "filter_br 1350 1450\nfilter_b 1400\nfilter_br 1800 1950\n",
         {{"filter_b", true, "1400"},
          {"filter_b", false, ""},
          {"filter_br", true, "1350 1450"},
          {"filter_br", true, "1800 1950"},
          {"filter_br", false, ""}}}};
    test::TempDir dir;
    for (const auto& [name, content, lookups] : cases) {
        ConfigFile file(WriteFile(dir, "file.txt", content));
        file.Open();
        for (size_t i = 0; i < lookups.size(); ++i) {
            const Lookup& l = lookups[i];
            std::string value = "untouched";
            EXPECT_EQ(file.GetString(l.key, value), l.found) << name << ", lookup " << i;
            EXPECT_EQ(value, l.found ? l.value : "untouched") << name << ", lookup " << i;
        }
    }
}

TEST(TextFile, MeasuredLongLineIsReadWhole) {
    test::TempDir dir;
    const std::string long_value(198, 'v');
    ConfigFile config(WriteFile(dir, "c.txt", "a 1\nk " + long_value + "\nb 2\n"));
    config.Open();
    std::string value;
    ASSERT_TRUE(config.GetString("k", value));
    EXPECT_EQ(value, long_value);
    ASSERT_TRUE(config.GetString("b", value));
    EXPECT_EQ(value, "2");
}

TEST(TextFile, WriteFormats) {
    test::TempDir dir;
    const std::string path = dir.File("out.csv");
    TextFile file(path, '#');
    ASSERT_TRUE(file.OpenForWriting());
    file.SetDelimiter(",");
    file.WriteInt(-42);
    file.WriteDelimiter();
    file.WriteDouble(0.1);
    file.WriteDelimiter();
    file.WriteString("name");
    file.WriteEol();
    file.WriteDoubleLn(-1.0);
    file.WriteDoubleLn(123456.789);
    file.WriteStringLn("end");
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(test::FileText(path),
              "-42,1.00000000000000E-01,name\n-1.00000000000000E+00\n1.23456789000000E+05\nend\n");
}

// Result files have always held numbers as glibc's "%.14E" writes them; the faster formatter
// must give the same bytes, including decimal ties (rounded to even), subnormals, the largest
// values, signed zeros and what is not a number.
TEST(ScientificNumber, WritesWhatPrintfWrites) {
    std::vector<double> values = {0.0, -0.0, 1.0, -1.0, 0.1, 1e-300, 4.9e-324, 2.2250738585072014e-308,
                                  1.7976931348623157e308, 1234567890123455.0, 1234567890123465.0,
                                  0.000123456789012345, 9.999999999999995, 9.9999999999999953,
                                  std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN(),
                                  -std::numeric_limits<double>::quiet_NaN()};
    std::mt19937_64 bits(20261208);
    for (int i = 0; i < 200000; ++i) {
        const uint64_t word = bits();
        double value;
        std::memcpy(&value, &word, sizeof value);
        values.push_back(value);
        values.push_back(static_cast<double>(word % 100000000) / 1e6);  // reflectance-like
    }
    for (const double value : values) {
        char expected[64];
        std::snprintf(expected, sizeof expected, "%.14E", value);
        ASSERT_EQ(ScientificNumber(value), expected) << "bits of the value: " << std::hexfloat << value;
    }
}

TEST(TextFile, CloseReportsAWriteFailure) {
    // A few lines stay in the stream's buffer until closing; many fail on the way.
    for (const int lines : {1, 20000}) {
        TextFile full("/dev/full", '#');
        ASSERT_TRUE(full.OpenForWriting()) << lines;
        for (int i = 0; i < lines; ++i) full.WriteDoubleLn(i);
        EXPECT_FALSE(full.Close()) << lines;
    }
    // A transposed table is written when it closes: a disk that refuses it fails there too.
    TransposingTextFile table("/dev/full", '#');
    table.SetDelimiter(",");
    ASSERT_TRUE(table.OpenForWriting());
    for (int i = 0; i < 10000; ++i) table.WriteDoubleLn(i);
    EXPECT_FALSE(table.Close());
}

// Every name written into a csv file: a field a spreadsheet would run as a formula is shown as
// text, numbers stay numbers, and separators are quoted after the prefix is added.
TEST(TextFile, CsvFieldsCannotBecomeFormulas) {
    const std::pair<std::string, std::string> cases[] = {
        {"=cmd|' /C calc'!A0", "'=cmd|' /C calc'!A0"},
        {"+SUM(A1:A9)", "'+SUM(A1:A9)"},
        {"-A1", "'-A1"},
        {"@SUM(1)", "'@SUM(1)"},
        {"+5+A1", "'+5+A1"},  // starts like a number but is a formula
        {"-5 cm", "'-5 cm"},
        {"-", "'-"},
        {"\t=1", "'\t=1"},
        {"\r=1", "\"'\r=1\""},
        {"=1,2", "\"'=1,2\""},
        {"=\"x\"", "\"'=\"\"x\"\"\""},
        // Numbers and ordinary names are untouched.
        {"-5", "-5"},
        {"+5", "+5"},
        {"-0.25", "-0.25"},
        {"-1.5E-3", "-1.5E-3"},
        {".5", ".5"},
        {"Carex secta", "Carex secta"},
        {"a=b", "a=b"},
        {"o'neil", "o'neil"},
        {"a,b", "\"a,b\""},
        {"", ""}};
    for (const auto& [text, field] : cases) EXPECT_EQ(CsvQuoted(text), field) << text;
}

// Temporary files of a killed run are removed by the next write into the folder; anything a
// live run may still be writing, or that is not such a file, stays.
TEST(TextFileVersions, LeftoverTemporariesOfEarlierRunsAreRemoved) {
    test::TempDir dir;
    const timespec hour_ago[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
    const timespec later[2] = {{time(nullptr) + 3600, 0}, {time(nullptr) + 3600, 0}};
    enum Kind { kFile, kLocked, kLink, kFolder };
    const struct {
        const char* name;
        Kind kind;
        const timespec* times;
        bool removed;
    } cases[] = {
        {".orvane-a1B2c3", kFile, hour_ago, true},
        {".orvane-empty0", kFile, hour_ago, true},
        {".orvane-newer1", kFile, later, false},   // written after this run began
        {".orvane-locked", kLocked, hour_ago, false},  // a live run still writes it
        {".orvane-linkxx", kLink, hour_ago, false},
        {".orvane-folder", kFolder, hour_ago, false},
        {".orvane-toolong", kFile, hour_ago, false},
        {"orvane-a1B2c3", kFile, hour_ago, false},
        {"result.csv", kFile, hour_ago, false}};
    std::vector<int> locks;
    for (const auto& c : cases) {
        const std::string path = dir.File(c.name);
        if (c.kind == kLink) {
            ASSERT_EQ(symlink("result.csv", path.c_str()), 0);
        } else if (c.kind == kFolder) {
            std::filesystem::create_directory(path);
        } else {
            std::ofstream(path) << (std::string(c.name) == ".orvane-empty0" ? "" : "partial");
        }
        if (c.kind == kLocked) {
            locks.push_back(open(path.c_str(), O_RDONLY));
            ASSERT_EQ(flock(locks.back(), LOCK_EX), 0);
        }
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), c.times, AT_SYMLINK_NOFOLLOW), 0) << c.name;
    }
    TextFile file(dir.File("other.csv"), '#');
    ASSERT_TRUE(file.OpenForWriting());
    file.WriteStringLn("x");
    ASSERT_TRUE(file.Close());
    for (const auto& c : cases)
        EXPECT_EQ(std::filesystem::symlink_status(dir.File(c.name)).type() ==
                      std::filesystem::file_type::not_found,
                  c.removed)
            << c.name;
    for (int fd : locks) close(fd);
    // Once the run holding it is gone, the locked one goes too.
    EXPECT_EQ(RemoveLeftoverTemporaries(dir.Path()), 1);
}

// Keys in any order, with comments between them, give the same connection; missing keys stay
// empty and the port is the default.
TEST(ConfigFile, KeysInAnyOrderAndMissingKeys) {
    test::TempDir dir;
    ConfigFile config(WriteFile(dir, "b.txt",
                                "# connection\nport 3310\n#user mallory\ndatabase orvane\n"
                                "\n# the password below\npassword s3cret\nuser alice\n"
                                "server db.example"));
    config.Open();
    const ConnectionParams p = config.Connection();
    EXPECT_EQ(std::tie(p.host, p.user, p.password, p.database, p.port),
              std::make_tuple("db.example", "alice", "s3cret", "orvane", 3310u));

    ConfigFile sparse(WriteFile(dir, "c.txt", "# nothing but\nserver h\noutput_drive C:\\x\n"));
    sparse.Open();
    EXPECT_EQ(std::make_tuple(sparse.Connection().user, sparse.Connection().port,
                              sparse.OutputDrive(), sparse.OutputDir()),
              std::make_tuple("", 3306u, "C:", ""));
}

TEST(OutputFolder, PathForCreatesTheFolder) {
    test::TempDir dir;
    const std::string out = dir.File("out");
    const OutputFolder folder("", out);
    ASSERT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(folder.PathFor("report_window_output", "txt"), out + "/report_window_output.txt");
    EXPECT_TRUE(std::filesystem::is_directory(out));
    EXPECT_EQ(folder.PathFor("result", ""), out + "/result");

    const struct {
        std::string drive, dir, expected_folder;
    } cases[] = {
        {"", dir.File("a/b/c/"), dir.File("a/b/c")},
        {dir.Path(), "/split/by/drive", dir.File("split/by/drive")}};
    for (const auto& c : cases) {
        EXPECT_EQ(OutputFolder(c.drive, c.dir).PathFor("x", "csv"), c.expected_folder + "/x.csv");
        EXPECT_TRUE(std::filesystem::is_directory(c.expected_folder)) << c.expected_folder;
    }
    // A folder that cannot be made is an error, not a path into nowhere.
    const std::string blocker = dir.File("file");
    { std::ofstream(blocker) << "x"; }
    EXPECT_THROW(OutputFolder("", blocker + "/sub").PathFor("x", "csv"), OrvaneError);
}

const std::string kSep = ReportBuffer::kSeparator;

TEST(ReportBuffer, DropsTheOldestTextOnlyWhenTheEntryDoesNotFit) {
    // Each entry takes 99 characters with its separator; 199 characters fit in 200.
    const size_t n = 99 - kSep.size();
    const std::string a(n, 'a'), b(n, 'b'), c(n, 'c'), d(n + 1, 'd');
    const std::tuple<const char*, std::vector<std::string>, std::string> cases[] = {
        {"two fill it exactly", {a, b}, a + kSep + b + kSep},
        {"a third pushes out the first", {a, b, c}, b + kSep + c + kSep},
        {"one longer cuts 100 from the front",
         {a, b, d},
         (a + kSep + b + kSep).substr(100) + d + kSep}};
    for (const auto& [name, entries, expected] : cases) {
        ReportBuffer buffer(200);
        for (const std::string& e : entries) buffer.Append(e);
        EXPECT_EQ(buffer.Text(), expected) << name;
        EXPECT_LE(buffer.Text().size(), 199u) << name;
    }
}

TEST(ReportBuffer, AnEntryLongerThanTheBufferKeepsItsEnd) {
    ReportBuffer buffer(200);
    buffer.Append("old");
    std::string huge;
    for (int i = 0; i < 100; ++i) huge += std::to_string(i) + ",";
    buffer.Append(huge);
    const std::string& kept = buffer.Text();
    EXPECT_EQ(kept.size(), 199u);
    EXPECT_EQ(kept, huge.substr(huge.size() - (199 - kSep.size())) + kSep);
}

TEST(ReportBuffer, SaveWritesTheWholeTextAndReportsAFileItCannotCreate) {
    test::TempDir dir;
    ReportBuffer buffer;
    buffer.Append("first line\nsecond line");
    buffer.Append("Changed Feature Space to NTBI");
    const std::string path = dir.File("report_window_output.txt");
    std::ofstream(path) << "an earlier, much longer report that must not survive\n";
    buffer.Save(path);
    EXPECT_EQ(test::FileText(path), buffer.Text());

    const std::string unwritable = dir.File("no-such-folder/report_window_output.txt");
    EXPECT_TRUE(test::Refuses([&] { buffer.Save(unwritable); },
                              "Could not open file:\n" + unwritable));
}

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
    // A text, then what EscapeControls and EscapeEntryControls make of it.
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"a\tb\nc\rd\x01"
         "e\\f",
         "a\\tb\\nc\\rd\\x01e\\f", "a\tb\nc\\rd\\x01e\\f"},
        {"red\x1b[31m\x7f", "red\\x1b[31m\\x7f", "red\\x1b[31m\\x7f"},
        {"bad\xff\x9b"
         "2J\xc3",
         "bad\\xff\\x9b2J\\xc3", "bad\\xff\\x9b2J\\xc3"},
        {"csi\xc2\x9b"
         "2J",
         "csi\\u009B2J", "csi\\u009B2J"},
        {"Kauri \xc2\xa0\xc3\xa9", "Kauri \xc2\xa0\xc3\xa9", "Kauri \xc2\xa0\xc3\xa9"},
        {std::string("nul\0end", 7), "nul\\x00end", "nul\\x00end"},
    };
    for (const auto& [text, name, entry] : cases) {
        EXPECT_EQ(EscapeControls(text), name) << name;
        EXPECT_EQ(EscapeEntryControls(text), entry) << name;
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
    const std::pair<const char*, const char*> refused[] = {
        {"port 70000", "\"port\""},
        {"port 3306x", "\"port\""},
        {"ssl_verify maybe", "\"ssl_verify\""},
        {"filter_b 14OO", "\"filter_b\""},
        {"filter_br 1 -2147483648", "\"filter_br\""},  // overflowed std::abs
        {"filter_br 1800", "\"filter_br\""},
        {"filter_b -5", "\"filter_b\""}};
    for (const auto& [line, key] : refused) {
        std::unique_ptr<ConfigFile> config = Open(std::string("server h\n") + line + "\n");
        EXPECT_TRUE(test::Refuses(
            [&] {
                config->Connection();
                config->DefaultFilter();
            },
            key))
            << line;
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
    // Relative files are those beside the configuration, as a lab's account folder holds them.
    const ConnectionParams beside = Open("ssl_ca ca.pem\nssl_cert ../c.pem\nssl_key k.pem\n")->Connection();
    EXPECT_EQ(std::tie(beside.ssl_ca, beside.ssl_cert, beside.ssl_key),
              std::make_tuple(dir_.File("ca.pem"), dir_.Path() + "/../c.pem", dir_.File("k.pem")));
}

// The file holds the password: one others may read is used, with a warning naming the fix.
TEST_F(Configuration, AFileOthersMayReadIsUsedWithAWarningNamingTheFix) {
    using std::filesystem::perms;
    const std::pair<perms, bool> cases[] = {
        {perms::owner_read | perms::owner_write, false},
        {perms::owner_read, false},
        {perms::owner_read | perms::owner_write | perms::group_read, true},
        {perms::owner_read | perms::others_read, true},
        {perms::owner_all | perms::group_all | perms::others_all, true}};
    const std::string path = dir_.File("spectra_config.txt");
    for (const auto& [mode, warned] : cases) {
        std::ofstream(path) << "server h\npassword secret\n";
        std::filesystem::permissions(path, mode);
        ConfigFile config(path);
        config.Open();
        EXPECT_EQ(config.Connection().host, "h");
        std::string said;
        for (const std::string& w : config.Warnings()) said += w;
        EXPECT_EQ(said.find("chmod 600 " + path) != std::string::npos, warned)
            << static_cast<int>(mode) << ": " << said;
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
