// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/scratch_database.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "base/config_file.h"
#include "base/shown_text.h"

namespace orvane::test {

namespace {
[[noreturn]] void ThrowNoDatabase(const std::string& how) { throw std::runtime_error(how); }

NoDatabaseHandler no_database = ThrowNoDatabase;

std::string PointerPath() {
    const char* pointer = std::getenv("ORVANE_TEST_POINTER");
    return pointer && *pointer ? pointer : ORVANE_TEST_POINTER;
}

// The server's folder as the pointer names it; empty when there is no pointer or no server
// configuration in the folder it names.
std::string PointedHome() {
    std::ifstream in(PointerPath());
    if (!in) return "";
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string home = TrimmedText(ss.str());
    if (home.empty() || !std::filesystem::is_regular_file(home + "/spectra_config.txt")) return "";
    return home;
}

// Connection values of the throwaway server that the test fixture started.
ConnectionParams TestServer() {
    ConfigFile config(TestServerHome() + "/spectra_config.txt");
    config.Open();
    return config.Connection();
}
}  // namespace

std::string HowToRunDatabaseTests() {
    return "No test database: " + PointerPath() +
           " does not name a running throwaway server. Run the tests with "
           "\"ctest --preset release\" (its testdb fixture starts and stops the server), or "
           "start one with \"tests/support/test-db start " +
           PointerPath() +
           " build/release/orvane-cli\" (stop it with \"tests/support/test-db stop " +
           PointerPath() + "\"); $ORVANE_TEST_POINTER names another pointer file.";
}

void SetNoDatabaseHandler(NoDatabaseHandler handler) { no_database = handler; }

bool TestServerAvailable() { return !PointedHome().empty(); }

std::string TestServerHome() {
#ifdef ORVANE_PURE_TESTS
    // orvane_pure_tests runs without a server, and must even where one is running.
    throw std::logic_error(
        "this test needs the test database, but it is built into orvane_pure_tests (its file is "
        "named *_pure_test.cpp), which runs without a server: move it to a file not named so");
#endif
    const std::string home = PointedHome();
    if (home.empty()) {
        no_database(HowToRunDatabaseTests());
        // A handler that returns leaves the caller nothing to connect to.
        throw std::runtime_error(HowToRunDatabaseTests());
    }
    return home;
}

std::string SourcePath(const std::string& relative) {
    return std::string(ORVANE_SOURCE_DIR) + "/" + relative;
}

std::string TestData(const std::string& relative) {
    return std::string(ORVANE_TEST_DATA) + "/" + relative;
}

int Count(Database& db, const std::string& sql) {
    int n = -1;
    db.QueryInt(sql, n);
    return n;
}

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

ScratchDatabase::ScratchDatabase(const std::string& tag) {
    static std::atomic<int> counter{0};
    name_ = "orvane_t_" + tag + "_" + std::to_string(getpid()) + "_" + std::to_string(counter++);
    ConnectionParams params = TestServer();
    params.database = "";
    admin_ = std::make_unique<Database>(params);
    admin_->Execute("DROP DATABASE IF EXISTS `" + name_ + "`");
    admin_->Execute("CREATE DATABASE `" + name_ + "` CHARACTER SET utf8mb4");
    admin_->Execute("USE `" + name_ + "`");
    orvane::RunSqlScript(*admin_, SourcePath("db/schema.sql"));
}

ScratchDatabase::~ScratchDatabase() {
    try {
        admin_->Execute("DROP DATABASE IF EXISTS `" + name_ + "`");
    } catch (...) {
        // A test that stopped the server leaves its database behind with the server's folder.
    }
}

ConnectionParams ScratchDatabase::Params() const {
    ConnectionParams params = TestServer();
    params.database = name_;
    return params;
}

std::unique_ptr<Database> ScratchDatabase::Connect() const {
    return std::make_unique<Database>(Params());
}

std::string ScratchDatabase::WriteConfig(const std::string& dir, const std::string& extra) const {
    const ConnectionParams p = Params();
    const std::string path = dir + "/spectra_config.txt";
    std::ofstream out(path);
    out << "# test configuration\n"
        << "server " << p.host << "\n"
        << "port " << p.port << "\n"
        << "user " << p.user << "\n"
        << "password " << p.password << "\n"
        << "database " << p.database << "\n"
        << "output_dir " << dir << "/output\n"
        << extra;
    out.close();
    // Private, as scripts/orvane-db writes it: a readable one draws a warning.
    std::filesystem::permissions(
        path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    return path;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvane-t-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

}  // namespace orvane::test
