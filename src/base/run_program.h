// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
#include <string>
#include <vector>

namespace orvane {

// What a program run to its end said and how it ended.
struct ProgramRun {
    int status = -1;     // the exit status; -1 when it could not start or was killed
    std::string output;  // standard output and standard error, interleaved as written
};

// Runs `argv` (argv[0] a path) with the environment of this process plus `environment`,
// standard input closed, and waits for it. Never throws for the program's failure: the
// caller reads the status.
ProgramRun RunProgram(const std::vector<std::string>& argv,
                      const std::map<std::string, std::string>& environment = {});

}  // namespace orvane
