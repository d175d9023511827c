// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/bench_database.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "base/config_file.h"
#include "base/orvane_error.h"
#include "store/sql_script.h"

namespace orvane::bench {

BenchDatabase::BenchDatabase(const std::string& config_path, const std::string& tag) {
    ConfigFile config(config_path);
    config.Open();
    params_ = config.Connection();
    name_ = "orvane_bench_" + tag + std::to_string(getpid());
    params_.database = "";
    admin_ = std::make_unique<Database>(params_);
    admin_->Execute("DROP DATABASE IF EXISTS `" + name_ + "`");
    admin_->Execute("CREATE DATABASE `" + name_ + "` CHARACTER SET utf8mb4");
    admin_->Execute("USE `" + name_ + "`");
    RunSqlScript(*admin_, std::string(ORVANE_SOURCE_DIR) + "/db/schema.sql");
    params_.database = name_;
}

BenchDatabase::~BenchDatabase() {
    try {
        admin_->Execute("DROP DATABASE IF EXISTS `" + name_ + "`");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "could not drop %s: %s\n", name_.c_str(), e.what());
    }
}

std::string BenchConfigPath(const char* program) {
    const char* config = std::getenv("ORVANE_BENCH_CONFIG");
    if (config && *config) return config;
    std::fprintf(stderr,
                 "%s: ORVANE_BENCH_CONFIG must name the spectra_config.txt of a MariaDB server "
                 "(see bench/README.md).\n",
                 program);
    return "";
}

}  // namespace orvane::bench
