// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/data_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "base/run_program.h"
#include "support/scratch_database.h"

namespace orvane {
namespace {

std::string BuildFolder() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
}

// A program in the build folder reads the checkout; anywhere else, the installed files.
TEST(DataFiles, BuildFolderUsesTheSourceTreeAndElsewhereTheInstalledFolder) {
    const DataFiles dev = DataFiles::ForProgramIn(BuildFolder());
    EXPECT_FALSE(dev.installed);
    for (const std::string& path : {dev.db + "/schema.sql", dev.sensors + "/enmap.txt",
                                    dev.demo_study + "/PH", dev.db_tool})
        EXPECT_TRUE(std::filesystem::exists(path)) << path;
    EXPECT_EQ(dev.db_tool, test::SourcePath("scripts/orvane-db"));
    EXPECT_EQ(dev.DbToolCommand(), "scripts/orvane-db");

    const DataFiles installed = DataFiles::ForProgramIn("/usr/bin");
    EXPECT_TRUE(installed.installed);
    EXPECT_EQ(installed.db, "/usr/share/orvane/db");
    EXPECT_EQ(installed.sensors, "/usr/share/orvane/sensors");
    EXPECT_EQ(installed.demo_study, "/usr/share/orvane/demo-study");
    EXPECT_EQ(installed.db_tool, "/usr/bin/orvane-db");
    EXPECT_EQ(installed.cli, "/usr/bin/orvane-cli");
    EXPECT_EQ(installed.DbToolCommand(), "orvane-db");
}

// The first start runs orvane-db and reports what it said when it fails.
TEST(DataFiles, RunProgramGivesStatusOutputAndTheEnvironmentAsked) {
    const std::tuple<std::vector<std::string>, int, std::string> cases[] = {
        {{"/bin/sh", "-c", "echo out; echo err >&2; exit 3"}, 3, "out\nerr\n"},
        {{"/bin/sh", "-c", "printf %s \"$ORVANE_PROBE\""}, 0, "given"},
        {{"/bin/sh", "-c", "cat"}, 0, ""},  // standard input is closed, not the test's
        {{"/no/such/program"}, -1, "/no/such/program: No such file or directory"},
    };
    for (const auto& [argv, status, output] : cases) {
        const ProgramRun run = RunProgram(argv, {{"ORVANE_PROBE", "given"}});
        EXPECT_EQ(run.status, status) << argv.back();
        EXPECT_EQ(run.output, output) << argv.back();
    }
}

}  // namespace
}  // namespace orvane
