// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

#include "store/database.h"

namespace orvane::bench {

// A scratch database `orvane_bench_<tag><pid>` with the schema loaded, on the server of a
// configuration file; dropped when the object goes.
class BenchDatabase {
  public:
    BenchDatabase(const std::string& config_path, const std::string& tag);
    ~BenchDatabase();
    BenchDatabase(const BenchDatabase&) = delete;
    BenchDatabase& operator=(const BenchDatabase&) = delete;

    Database& Admin() { return *admin_; }
    // Connection values for a new connection to the scratch database.
    const ConnectionParams& Params() const { return params_; }

  private:
    std::string name_;
    ConnectionParams params_;
    std::unique_ptr<Database> admin_;
};

// The configuration named by ORVANE_BENCH_CONFIG; prints how to set it and returns "" when
// it is not set.
std::string BenchConfigPath(const char* program);

}  // namespace orvane::bench
