// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace orvane::test {

struct CliOutcome {
    int rc;
    std::string out;
    std::string err;
};

// Runs the command-line interface in this process with the given words after the program name.
CliOutcome RunCliWords(const std::vector<std::string>& args);

}  // namespace orvane::test
