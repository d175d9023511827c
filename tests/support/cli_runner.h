// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace orvane::test {

struct CliOutcome {
    int rc;
    std::string out;
    std::string err;
};

// Runs the command-line interface in this process with the given words after the program name.
inline CliOutcome RunCliWords(const std::vector<std::string>& args) {
    std::vector<const char*> argv = {"orvane-cli"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    std::ostringstream out, err;
    const int rc = RunCli(static_cast<int>(argv.size()), argv.data(), out, err);
    return {rc, out.str(), err.str()};
}

}  // namespace orvane::test
