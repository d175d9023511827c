// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/cli_runner.h"

#include <sstream>

#include "cli/cli.h"

namespace orvane::test {

CliOutcome RunCliWords(const std::vector<std::string>& args) {
    std::vector<const char*> argv = {"orvane-cli"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    std::ostringstream out;
    std::ostringstream err;
    const int rc = RunCli(static_cast<int>(argv.size()), argv.data(), out, err);
    return {rc, out.str(), err.str()};
}

}  // namespace orvane::test
