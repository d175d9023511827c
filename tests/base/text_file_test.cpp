// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/text_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "base/config_file.h"
#include "chain/processing_session.h"
#include "support/scratch_database.h"

namespace orvane {
namespace {

std::string WriteFile(const test::TempDir& dir, const std::string& name,
                      const std::string& content) {
    const std::string path = dir.File(name);
    std::ofstream out(path, std::ios::binary);
    out << content;
    return path;
}

// One lookup and what it must give: found or not, and the value when found.
struct Lookup {
    std::string key;
    bool found;
    std::string value;
};

struct LookupCase {
    const char* name;
    std::string content;
    std::vector<Lookup> lookups;
};

// Names the case in failure messages instead of dumping its bytes.
void PrintTo(const LookupCase& c, std::ostream* os) { *os << c.name; }

class KeyLookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(KeyLookup, WalksTheFileAsSpecified) {
    const LookupCase& c = GetParam();
    test::TempDir dir;
    const std::string path = WriteFile(dir, "file.txt", c.content);
    ConfigFile file(path);
    file.Open();
    for (size_t i = 0; i < c.lookups.size(); ++i) {
        const Lookup& l = c.lookups[i];
        std::string value = "untouched";
        EXPECT_EQ(file.GetString(l.key, value), l.found) << "lookup " << i << " of " << l.key;
        EXPECT_EQ(value, l.found ? l.value : "untouched") << "lookup " << i << " of " << l.key;
    }
}

INSTANTIATE_TEST_SUITE_P(
    TextFile, KeyLookup,
    ::testing::Values(
        LookupCase{"RepeatedKeyWalksOccurrences",
                   "filter_b 1400\nserver host\nfilter_b 1900\nfilter_b 2400\n",
                   {{"filter_b", true, "1400"}, {"filter_b", true, "1900"},
                    {"filter_b", true, "2400"}, {"filter_b", false, ""}, {"filter_b", false, ""}}},
        LookupCase{"ConfigRewindsForAnotherKey",
                   "server h\nuser alice\npassword pw\ndatabase d\n",
                   {{"database", true, "d"}, {"server", true, "h"}, {"password", true, "pw"},
                    {"user", true, "alice"}}},
        LookupCase{"ConfigRewindsAfterAFailedLookup",
                   "server h\nuser alice\n",
                   {{"user", true, "alice"}, {"missing", false, ""}, {"user", true, "alice"},
                    {"server", true, "h"}}},
        LookupCase{"KeyOnLastLineWithoutLineEnd",
                   "server h\nuser alice in wonderland",
                   {{"user", true, "alice in wonderland"}, {"server", true, "h"}}},
        LookupCase{"LeadingBlanksStrippedTrailingKept",
                   "user     \t alice  \n",
                   {{"user", true, "alice  "}}},
        LookupCase{"CarriageReturnIsPartOfTheLineEnd",
                   "user alice\r\nserver h\r\n",
                   {{"user", true, "alice"}, {"server", true, "h"}}},
        LookupCase{"KeyMustStartTheLineAndEndAtABlank",
                   "#user commented\n user indented\nusername long\nuser\tTab\nuser real\n",
                   {{"user", true, "real"}, {"user", false, ""}}},
        LookupCase{"PrefixOfAnotherKeyDoesNotMatchIt",
                   "filter_br 1350 1450\nfilter_b 1400\nfilter_br 1800 1950\n",
                   {{"filter_b", true, "1400"}, {"filter_b", false, ""},
                    {"filter_br", true, "1350 1450"}, {"filter_br", true, "1800 1950"},
                    {"filter_br", false, ""}}}),
    [](const ::testing::TestParamInfo<LookupCase>& info) { return info.param.name; });

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

TEST(TextFile, CloseReportsAWriteFailure) {
    struct Case {
        const char* name;
        int lines;  // few stay in the stream's buffer until closing; many fail on the way
    };
    for (const Case& c : {Case{"buffered", 1}, Case{"beyond the buffer", 20000}}) {
        TextFile full("/dev/full", '#');
        ASSERT_TRUE(full.OpenForWriting()) << c.name;
        for (int i = 0; i < c.lines; ++i) full.WriteDoubleLn(i);
        EXPECT_FALSE(full.Close()) << c.name;
    }
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
    EXPECT_EQ(p.host, "db.example");
    EXPECT_EQ(p.user, "alice");
    EXPECT_EQ(p.password, "s3cret");
    EXPECT_EQ(p.database, "orvane");
    EXPECT_EQ(p.port, 3310u);

    ConfigFile sparse(WriteFile(dir, "c.txt", "# nothing but\nserver h\noutput_drive C:\\x\n"));
    sparse.Open();
    EXPECT_EQ(sparse.Connection().user, "");
    EXPECT_EQ(sparse.Connection().port, 3306u);
    EXPECT_EQ(sparse.OutputDrive(), "C:");
    EXPECT_EQ(sparse.OutputDir(), "");
}

// The configured default filter: every "filter_b" first, in file order, then every
// "filter_br", whatever order the lines stand in; none without either key.
TEST(ConfigFile, DefaultFilterBandsFirstThenRanges) {
    test::ScratchDatabase scratch("cfgfilter");
    struct Case {
        const char* name;
        std::string lines;
    };
    const Case cases[] = {
        {"bands then range", "filter_b 1400\nfilter_b 1900\nfilter_br 2350 2499\n"},
        {"range first", "filter_br 2350 2499\nfilter_b 1400\nfilter_b 1900\n"},
        {"negative upper", "filter_br 2350 -2499\nfilter_b 1400\nfilter_b 1900\n"},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        ConfigFile config(scratch.WriteConfig(dir.Path(), c.lines));
        config.Open();
        ProcessingSession session(config);
        const WavebandFilter& f = session.DefaultFilter();
        ASSERT_EQ(f.Count(), 3) << c.name;
        EXPECT_TRUE(f.At(0).kind == 0 && f.At(0).band == 1400) << c.name;
        EXPECT_TRUE(f.At(1).kind == 0 && f.At(1).band == 1900) << c.name;
        EXPECT_TRUE(f.At(2).kind == 1 && f.At(2).lower == 2350 && f.At(2).upper == 2499)
            << c.name;
    }
    test::TempDir dir;
    ConfigFile config(scratch.WriteConfig(dir.Path()));
    config.Open();
    EXPECT_EQ(ProcessingSession(config).DefaultFilter().Count(), 0);
}

}  // namespace
}  // namespace orvane
