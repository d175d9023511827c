// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

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

  private:
    int Script(const std::string& args) const;

    TempDir home_;
    bool running_ = false;
};

}  // namespace orvane::test
