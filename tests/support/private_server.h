// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <utility>

#include "support/scratch_database.h"

namespace orvane::test {

// scripts/orvane-db in a folder of its own: initialised and started by the constructor, stopped
// by the test or the destructor. For tests that stop the server under the program, never the
// shared throwaway one.
class PrivateServer {
  public:
    PrivateServer();
    ~PrivateServer();
    bool Running() const { return running_; }
    std::string Config() const { return home_.File("spectra_config.txt"); }
    std::string Log() const;
    bool Stop();
    bool Start();
    // Stops the server's process (SIGSTOP) and returns once the system has stopped it, so that
    // it answers nothing until Thaw(); false when it could not be stopped.
    bool Freeze();
    void Thaw();
    // Extra server options for the next Start(), split at spaces (for example TLS files).
    void SetServerOptions(std::string options) { options_ = std::move(options); }
    // The folder the server lives in, for files a test keeps beside it.
    const TempDir& Home() const { return home_; }

  private:
    int Script(const std::string& args) const;

    TempDir home_;
    std::string options_;
    bool running_ = false;
    int frozen_pid_ = 0;
};

}  // namespace orvane::test
