// SPDX-License-Identifier: GPL-3.0-or-later
#include <iostream>

#include "cli/cli.h"

int main(int argc, char** argv) { return orvane::RunCli(argc, argv, std::cout, std::cerr); }
