// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/data_files.h"

#include <filesystem>
#include <system_error>

// The build names the real folders; a build of the core without them (the fuzz targets) gets
// the package's and never a build folder.
#ifndef ORVANE_BUILD_DIR
#define ORVANE_BUILD_DIR ""
#define ORVANE_SOURCE_TREE ""
#endif
#ifndef ORVANE_INSTALL_DATADIR
#define ORVANE_INSTALL_DATADIR "/usr/share"
#define ORVANE_INSTALL_BINDIR "/usr/bin"
#endif

namespace orvane {

DataFiles DataFiles::ForProgramIn(const std::string& program_dir) {
    namespace fs = std::filesystem;
    std::error_code error;
    DataFiles files;
    const bool in_build = !program_dir.empty() && *ORVANE_BUILD_DIR &&
                          fs::equivalent(program_dir, ORVANE_BUILD_DIR, error) && !error;
    if (in_build) {
        const std::string source = ORVANE_SOURCE_TREE;
        files.db = source + "/db";
        files.sensors = source + "/data/sensors";
        files.demo_study = source + "/examples/demo-study";
        files.db_tool = source + "/scripts/orvane-db";
        files.cli = program_dir + "/orvane-cli";
        files.manual = source + "/README.md";
        return files;
    }
    const std::string share = ORVANE_INSTALL_DATADIR "/orvane";
    files.installed = true;
    files.db = share + "/db";
    files.sensors = share + "/sensors";
    files.demo_study = share + "/demo-study";
    files.manual = share + "/manual/README.md";
    // The tools beside the program, or where the package put them when it runs from elsewhere.
    const std::string bin = program_dir.empty() ? ORVANE_INSTALL_BINDIR : program_dir;
    files.db_tool = bin + "/orvane-db";
    files.cli = bin + "/orvane-cli";
    if (!fs::exists(files.db_tool, error)) files.db_tool = ORVANE_INSTALL_BINDIR "/orvane-db";
    if (!fs::exists(files.cli, error)) files.cli = ORVANE_INSTALL_BINDIR "/orvane-cli";
    return files;
}

DataFiles DataFiles::ForThisProgram() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return ForProgramIn(error ? std::string() : self.parent_path().string());
}

std::string DataFiles::DbToolCommand() const { return installed ? "orvane-db" : "scripts/orvane-db"; }

}  // namespace orvane
