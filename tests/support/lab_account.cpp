// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/lab_account.h"

#include <pwd.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>


namespace orvane::test {

namespace {

// The tables an editor changes: the study-owned ones and the feature spaces.
constexpr const char* kEditorTables[] = {
    "study", "species", "site", "spectrum", "smoothing_filter", "derivative", "stage_option",
    "stage_pair", "waveband_filter", "waveband_filter_range", "library", "statistic",
    "pca_data", "mixture", "feature_space", "band_range"};

// scripts/orvane-db gives the system user that runs the server (the one running the tests)
// the administrator account of the same name, reached through the socket.
std::string ServerAdminName() {
    const passwd* user = getpwuid(geteuid());
    if (!user) throw std::runtime_error("the system user running the tests has no name");
    return user->pw_name;
}

}  // namespace

void RunAsServerAdmin(const std::string& sql) {
    const std::string socket = TestServerHome() + "/mariadb.sock";
    std::filesystem::path file = std::filesystem::temp_directory_path() /
                                 ("orvane-admin-" + std::to_string(getpid()) + ".sql");
    {
        std::ofstream out(file);
        out << sql << '\n';
    }
    const std::string command = "mariadb --no-defaults --socket='" + socket + "' -u'" +
                                ServerAdminName() + "' < '" + file.string() + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) throw std::runtime_error("cannot run the mariadb client");
    std::string said;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe)) said += buffer;
    const int rc = pclose(pipe);
    std::filesystem::remove(file);
    if (rc != 0) throw std::runtime_error("the server's administrator could not run SQL: " + said);
}

LabAccount::LabAccount(ScratchDatabase& scratch, const std::string& role, bool listed)
    : scratch_(scratch) {
    static std::atomic<int> counter{0};
    name_ = "orvt_" + role.substr(0, 1) + std::to_string(getpid()) + "_" +
            std::to_string(counter++);
    password_ = "pw" + name_;
    const std::string db = "`" + scratch.Name() + "`";
    std::string sql;
    for (const char* host : {"127.0.0.1", "localhost"}) {
        const std::string who = "'" + name_ + "'@'" + host + "'";
        sql += "CREATE OR REPLACE USER " + who + " IDENTIFIED BY '" + password_ + "';\n";
        sql += "GRANT SELECT ON " + db + ".* TO " + who + ";\n";
        if (role == "admin") sql += "GRANT ALL PRIVILEGES ON " + db + ".* TO " + who + ";\n";
        if (role == "editor")
            for (const char* table : kEditorTables)
                sql += "GRANT INSERT, UPDATE, DELETE ON " + db + ".`" + table + "` TO " + who +
                       ";\n";
    }
    RunAsServerAdmin(sql);
    if (listed)
        scratch_.Admin().Execute("insert into lab_account (account, role) values ('" + name_ +
                                 "', '" + role + "')");
}

LabAccount::~LabAccount() {
    try {
        RunAsServerAdmin("DROP USER IF EXISTS '" + name_ + "'@'127.0.0.1', '" + name_ +
                         "'@'localhost';");
    } catch (...) {
        // A server stopped by the test takes its accounts with it.
    }
}

ConnectionParams LabAccount::Params() const {
    ConnectionParams params = scratch_.Params();
    params.user = name_;
    params.password = password_;
    return params;
}

std::unique_ptr<Database> LabAccount::Connect() const {
    return std::make_unique<Database>(Params());
}

std::string LabAccount::WriteConfig(const std::string& dir) const {
    const ConnectionParams p = Params();
    const std::string path = dir + "/spectra_config.txt";
    std::ofstream out(path);
    out << "server " << p.host << "\nport " << p.port << "\nuser " << p.user << "\npassword "
        << p.password << "\ndatabase " << p.database << "\noutput_dir " << dir << "/output\n";
    out.close();
    std::filesystem::permissions(
        path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    return path;
}

void LabAccount::Grant(int study_id) {
    scratch_.Admin().Execute("insert into study_member (study_id, account) values (" +
                             std::to_string(study_id) + ", '" + name_ + "')");
}

}  // namespace orvane::test
