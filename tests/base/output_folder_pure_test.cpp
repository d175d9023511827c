// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/output_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/orvane_error.h"
#include "support/scratch_database.h"

namespace orvane {
namespace {

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

}  // namespace
}  // namespace orvane
