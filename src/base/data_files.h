// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace orvane {

// Where the files that come with Orvane lie: the schema, migrations and seed, the sensor
// definitions, the demo study and the private-database tool. An installed program finds them
// in the data folder it was built for (/usr/share/orvane); a program run from its build folder
// uses the source tree, so development never depends on what is installed.
struct DataFiles {
    bool installed = false;
    std::string db;          // schema.sql, seed.sql, migrations/
    std::string sensors;     // sensor definition files
    std::string demo_study;  // the demo study's folder tree
    std::string db_tool;     // orvane-db
    std::string cli;         // orvane-cli beside the running program
    std::string manual;      // README.md, with the pictures it shows beside it

    // The files for a program in `program_dir`: the source tree when that is the build folder,
    // else the installed data folder and the programs beside it.
    static DataFiles ForProgramIn(const std::string& program_dir);
    // The files for the running program.
    static DataFiles ForThisProgram();
    // How a user runs the private-database tool: "orvane-db" installed, else the checkout's
    // script.
    std::string DbToolCommand() const;
};

}  // namespace orvane
