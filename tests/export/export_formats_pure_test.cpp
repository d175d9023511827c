// SPDX-License-Identifier: GPL-3.0-or-later
// The export formats' registry and summary, and the plain numbers they write (exports of a
// study: export_spectra_test.cpp).
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>

#include "base/number_text.h"
#include "export/export_formats.h"
#include "export/export_spectra.h"
#include "support/refusal.h"
#include "support/scratch_database.h"

namespace orvane {
namespace {

// The registry ties each format's word to its id, and the summary lays the counts out as the
// format's transposition rule does: a format that always or never transposes ignores the
// check box.
TEST(ExportFormats, EachWordNamesOneFormatAndTheSummaryFollowsItsLayout) {
    std::set<std::string> words;
    std::set<int> ids;
    for (const ExportFormatEntry& f : ExportFormatRegistry()) {
        EXPECT_TRUE(words.insert(f.word).second) << f.word;
        EXPECT_TRUE(ids.insert(f.id).second) << f.word;
        EXPECT_EQ(FindExportFormat(f.id), &f) << f.word;
    }
    EXPECT_EQ(FindExportFormat(9), nullptr);
    EXPECT_EQ(ExportFormatWords(), "csv|arff|envi|envi-sli");

    const struct {
        int format;
        bool transpose;
        const char* text;
    } cases[] = {
        {ExportSettings::kCsv, false, "Wrote out/x.csv\n3 rows, 5 columns of values"},
        {ExportSettings::kCsv, true, "Wrote out/x.csv\n5 rows, 3 columns of values"},
        {ExportSettings::kArff, false, "Wrote out/x.csv\n3 rows, 5 columns of values"},
        {ExportSettings::kEnvi, false, "Wrote out/x.csv\n5 rows, 3 columns of values"},
        {ExportSettings::kEnviSli, true,
         "Wrote out/x.csv and out/x.hdr\n3 rows, 5 columns of values"},
    };
    ExportResult result;
    result.path = "out/x.csv";
    result.rows = 3;
    result.columns = 5;
    for (const auto& c : cases) {
        ExportSettings s;
        s.format = c.format;
        s.transpose = c.transpose;
        EXPECT_TRUE(test::Contains(ExportSummary(result, s), c.text))
            << c.format << ": " << ExportSummary(result, s);
    }

    ExportSettings unknown;
    unknown.format = 9;
    EXPECT_TRUE(test::Refuses([&] { unknown.Validate(); }, "Export: unknown format"));
    ExportSettings arff;
    arff.format = ExportSettings::kArff;
    arff.transpose = true;
    EXPECT_TRUE(test::Refuses([&] { arff.Validate(); }, "an ARFF file cannot be transposed"));
}

// Fixed notation, as short as reading back exactly allows, for values an export meets.
TEST(PlainNumber, ShortestFixedDecimalThatReadsBackExactly) {
    const struct {
        double value;
        const char* text;
    } cases[] = {{442.7, "442.7"},   {442.98, "442.98"}, {0.1 + 0.2, "0.30000000000000004"},
                 {-5.0, "-5"},       {3.2e-6, "0.0000032"}, {1e21, "1000000000000000000000"},
                 {0.0, "0"},         {-0.015625, "-0.015625"}};
    for (const auto& c : cases) {
        EXPECT_EQ(PlainNumber(c.value), c.text);
        EXPECT_EQ(std::strtod(PlainNumber(c.value).c_str(), nullptr), c.value) << c.text;
    }
}

}  // namespace
}  // namespace orvane
