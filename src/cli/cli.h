// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace orvane {

// The exit status of a run the user cancelled; every other status keeps its meaning.
constexpr int kExitCancelled = 4;

// The whole command-line program, with its streams given so that tests can run it in-process.
// Returns the exit status.
int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

// The names of every command, as --help lists them ("library build").
std::vector<std::string> CliCommandNames();

}  // namespace orvane
