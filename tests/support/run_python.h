// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "support/scratch_database.h"

namespace orvane::test {

// Runs a python3 script (written into `dir`) on the arguments, each one word, and returns what
// it printed on either output; a failure (a missing module too) fails the test with that text.
inline std::string RunPython(const TempDir& dir, const std::string& script,
                             const std::vector<std::string>& arguments) {
    std::ofstream(dir.File("check.py")) << script;
    std::string command = "/usr/bin/python3 '" + dir.File("check.py") + "'";
    for (const std::string& a : arguments) command += " '" + a + "'";
    command += " >'" + dir.File("check.txt") + "' 2>&1";
    const int status = std::system(command.c_str());
    const std::string printed = FileText(dir.File("check.txt"));
    EXPECT_EQ(status, 0) << printed;
    return printed;
}

}  // namespace orvane::test
