// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/cli_runner.h"
#include "support/scratch_database.h"

namespace orvane::test {

// A scratch database with its configuration file; Cli runs the interface on it with `prefix`
// before the words of each call.
class CliFixture : public ::testing::Test {
  protected:
    explicit CliFixture(const std::string& tag, std::vector<std::string> prefix = {})
        : scratch_(tag), config_(scratch_.WriteConfig(dir_.Path())), prefix_(std::move(prefix)) {}

    CliOutcome Cli(std::vector<std::string> args) {
        args.insert(args.begin(), prefix_.begin(), prefix_.end());
        args.insert(args.begin(), {"--config", config_});
        return RunCliWords(args);
    }
    int Count(const std::string& table) {
        return test::Count(scratch_.Admin(), "select count(*) from " + table);
    }

    TempDir dir_;
    ScratchDatabase scratch_;
    std::string config_;
    std::vector<std::string> prefix_;
};

}  // namespace orvane::test
