// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/csv_table.h"

#include <gtest/gtest.h>

#include "base/text_file.h"

namespace orvane {
namespace {

using Fields = std::vector<std::string>;

TEST(CsvTable, ReadsWhatSpreadsheetsAndOurWritersWrite) {
    // A name as the result files quote it reads back whole, line end, comma and quotes in it.
    const std::string name = "a, \"b\"\nc";
    CsvTable t = ParseCsvText("x,name\r\n1," + CsvQuoted(name) + "\r\n\r\n 2 , plain \r\n",
                              "t.csv", "Table");
    EXPECT_EQ(t.separator, ',');
    ASSERT_EQ(t.records.size(), 3u);
    EXPECT_EQ(t.records[1].fields, (Fields{"1", name}));
    EXPECT_EQ(t.records[2].line, 5);  // after the quoted line end and the blank line
    EXPECT_EQ(t.records[2].fields, (Fields{"2", "plain"}));
    // A spreadsheet set to a language with a decimal comma separates by semicolons.
    t = ParseCsvText("\xEF\xBB\xBFx;y\n1,5;2\n", "t.csv", "Table");
    EXPECT_EQ(t.separator, ';');
    EXPECT_EQ(t.records[0].fields, (Fields{"x", "y"}));
    EXPECT_EQ(t.records[1].fields, (Fields{"1,5", "2"}));
    t = ParseCsvText("x\ty\n\"\"\t\n", "t.csv", "Table");
    EXPECT_EQ(t.records[1].fields, (Fields{"", ""}));
}

TEST(CsvTable, RefusesQuotesThatShiftColumns) {
    const struct {
        const char* text;
        const char* says;
    } cases[] = {{"a,b\n1,\"2\n", "Table t.csv: line 2: a quote opens a field that is never"},
                 {"a,b\n1,2\"3\"\n", "line 2: a quote inside a field"},
                 {"a,b\n1,\"2\"3\n", "line 2: text follows a closing quote"}};
    for (const auto& c : cases) {
        try {
            ParseCsvText(c.text, "t.csv", "Table");
            ADD_FAILURE() << "accepted " << c.text;
        } catch (const std::exception& e) {
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
        }
    }
}

}  // namespace
}  // namespace orvane
