// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/report_buffer.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/refusal.h"
#include "support/scratch_database.h"

namespace orvane {
namespace {

const std::string kSep = ReportBuffer::kSeparator;

TEST(ReportBuffer, DropsTheOldestTextOnlyWhenTheEntryDoesNotFit) {
    // Each entry takes 99 characters with its separator; 199 characters fit in 200.
    const size_t n = 99 - kSep.size();
    const std::string a(n, 'a'), b(n, 'b'), c(n, 'c'), d(n + 1, 'd');
    struct Case {
        const char* name;
        std::vector<std::string> entries;
        std::string expected;
    };
    const Case cases[] = {
        {"two fill it exactly", {a, b}, a + kSep + b + kSep},
        {"a third pushes out the first", {a, b, c}, b + kSep + c + kSep},
        {"one longer cuts 100 from the front",
         {a, b, d},
         (a + kSep + b + kSep).substr(100) + d + kSep}};
    for (const Case& c : cases) {
        ReportBuffer buffer(200);
        for (const std::string& e : c.entries) buffer.Append(e);
        EXPECT_EQ(buffer.Text(), c.expected) << c.name;
        EXPECT_LE(buffer.Text().size(), 199u) << c.name;
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

}  // namespace
}  // namespace orvane
