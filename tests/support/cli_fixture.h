// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/cli_runner.h"
#include "support/scratch_database.h"

namespace orvane::test {

// A command line that must fail: the words, its exit status and part of its message.
struct CliRefusal {
    std::vector<std::string> args;
    int rc;
    std::string says;
};

// Success when the run ended with `rc` and said `says` on stderr.
inline ::testing::AssertionResult Refused(const CliOutcome& r, int rc, const std::string& says) {
    if (r.rc == rc && r.err.find(says) != std::string::npos) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "expected status " << rc << " and \"" << says << "\"; got " << r.rc << ": " << r.err;
}

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
    // Runs the words, which must succeed (the failure shows what was said).
    CliOutcome Ok(std::vector<std::string> args) {
        CliOutcome r = Cli(std::move(args));
        EXPECT_EQ(r.rc, 0) << r.err;
        return r;
    }
    // Runs each command line, which must end with its exit status and say its part on stderr.
    void ExpectRefusals(const std::vector<CliRefusal>& refusals) {
        for (const CliRefusal& c : refusals) EXPECT_TRUE(Refused(Cli(c.args), c.rc, c.says));
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
